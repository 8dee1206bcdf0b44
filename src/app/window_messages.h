// The private messages of the main window, each with the tag its wParam must carry, and the
// commands of its menus.
#pragma once

#include <QtGlobal>

namespace velkan::app {

struct TaggedMessage {
    quint32 message;
    quintptr tag;
};

// From a second instance or the presence monitor: show the window.
inline constexpr TaggedMessage kOpenRequest{0x5350, 0x4F50454E};
// From an instance started with "/Kill": run the exit routine.
inline constexpr TaggedMessage kKillRequest{0x4D4B, 0x4C4C494B};
// Posted to itself at the end of initialisation.
inline constexpr TaggedMessage kInitMessage{0x4D4E, 0x494E4954};
// The keyboard arrived: reload the profile state from it.
inline constexpr TaggedMessage kReloadProfiles{0x5452, 0x50524F46};
// The G keys' assignments were read back: refresh their marks.
inline constexpr TaggedMessage kRefreshExtraKeys{0x5045, 0x004C4544};
// The keyboard went away: close the secondary windows (any wParam).
inline constexpr quint32 kCloseSecondaryWindows = 0x4753;
// A skinned slider moved; wParam is the slider's id.
inline constexpr quint32 kSliderMessage = 0x28D1;
// Posted by another program of the user: apply (any wParam).
inline constexpr quint32 kExternalApply = 0x001E;

// The tray icon's callback message and id (also the number of its menu).
inline constexpr int kTrayCallbackMessage = 1725;
inline constexpr int kTrayIconId = 140;

namespace command {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kAboutSystem = 16; // the system menu's About item
inline constexpr int kOpenWindow = 32771;
inline constexpr int kAbout = 32773;
inline constexpr int kTrayExit = 32774;
inline constexpr int kImport = 32776;
inline constexpr int kExport = 32777;
inline constexpr int kMenuExit = 32779;
inline constexpr int kFirmwareUpdate = 32780;
} // namespace command

} // namespace velkan::app
