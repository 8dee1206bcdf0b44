// What the device threads tell the rest of the program about the keyboard: events only. The
// program decides what each one shows (the window, its timers, the tray picture, a message);
// tests record them. Every call comes from the presence monitor's or the input-report reader's
// thread.
#pragma once

namespace velkan::device {

// How a keyboard came to be reported present.
enum class Arrival {
    atStart,   // found by the monitor's first search
    pluggedIn, // found later
};

// The tray picture the keyboard asks for.
enum class TrayImage {
    usual,     // the one of the connection state
    alternate, // the keyboard's other picture
};

// Things the user should be told about the keyboard.
enum class KeyboardProblem {
    noPermission,           // plugged in, but this user may not open it
    defaultTableUnreadable, // the factory key table could not be read; the built-in one is used
};

class KeyboardEvents {
public:
    virtual ~KeyboardEvents() = default;

    // The keyboard is here and its mirrors are read. The program reads its configuration back
    // afterwards, on a thread of its own; the call does not wait for that.
    virtual void keyboardArrived(Arrival arrival) = 0;
    // The keyboard is gone.
    virtual void keyboardRemoved() = 0;
    // The user changed the lighting on the keyboard itself.
    virtual void lightingChangedOnKeyboard() = 0;
    // The keyboard went back to its factory settings.
    virtual void keyboardReset() = 0;
    virtual void trayImageWanted(TrayImage image) = 0;
    virtual void problemFound(KeyboardProblem problem) = 0;
};

// The commands the presence monitor sends when it finds the keyboard; the protocol layer
// implements them.
class ArrivalCommands {
public:
    virtual ~ArrivalCommands() = default;
    // Start-up probe: one read of the information block, result unused.
    virtual void probeDeviceInfo() = 0;
    // Reads the factory key table and the macro capacity into their mirrors.
    virtual void readArrivalMirrors(KeyboardEvents& events) = 0;
};

} // namespace velkan::device
