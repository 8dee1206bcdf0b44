// What the device link's threads ask of the rest of the program. The main window implements
// it (its private messages, timers, tray icon and prompts); tests implement it with a recorder.
// Every call comes from the presence monitor's or the input-report reader's thread.
#pragma once

#include <string_view>

namespace velkan::device {

// Tray images: no keyboard, keyboard connected, and the alternate image the keyboard can ask
// for.
inline constexpr int kTrayIconNoKeyboard = 128;
inline constexpr int kTrayIconConnected = 141;
inline constexpr int kTrayIconAlternate = 142;

class DeviceLinkClient {
public:
    virtual ~DeviceLinkClient() = default;

    // The keyboard is here: read its configuration back. Returns once the main window has
    // handled it (a synchronous message).
    virtual void keyboardArrived() = 0;
    // The keyboard is gone: close open editors. Returns once handled.
    virtual void keyboardRemoved() = 0;
    // Posted: show the main window (first arrival only).
    virtual void showMainWindow() = 0;
    virtual void hideMainWindow() = 0;
    // Zero-delay one-shot timers of the main window; restarting one before it fires makes it
    // fire once.
    virtual void startLightingReadBackTimer() = 0;
    virtual void startKeyboardResetTimer() = 0;
    virtual void setTrayIcon(int image) = 0;
    // A message box with the language text of `languageKey` and an OK button.
    virtual void showMessage(std::string_view languageKey) = 0;
};

// The commands the presence monitor sends when it finds the keyboard; the protocol layer
// implements them.
class ArrivalCommands {
public:
    virtual ~ArrivalCommands() = default;
    // Start-up probe: one read of the information block, result unused.
    virtual void probeDeviceInfo() = 0;
    // Reads the factory key table and the macro capacity into their mirrors.
    virtual void readArrivalMirrors(DeviceLinkClient& client) = 0;
};

} // namespace velkan::device
