// The command sequences of every situation in which the program talks to the keyboard, on top
// of the model and the files: what happens when the keyboard arrives, when the user applies,
// switches or selects a profile, restores the defaults, when the keyboard reports a lighting
// change or a reset, and the hand-off to the firmware loader. Windows and the command-line
// tool call these; where a sequence hands over to a window it calls the SessionView.
//
// All of it runs on one thread: the program's keyboard worker, or the command-line tool's main
// thread. The keyboard lock, held for each whole sequence, keeps it apart from the presence
// monitor's arrival commands and from other programs.
#pragma once

#include "device/device_link.h"
#include "lang/text_lookup.h"
#include "model/key_assignment.h"
#include "model/lighting.h"
#include "protocol/device_mirrors.h"
#include "storage/colour_files.h"

#include <filesystem>

namespace velkan::storage {

// What the sequences tell whoever shows the keyboard's contents; called on the sequence's
// thread.
class SessionView {
public:
    virtual ~SessionView() = default;
    // The profile buttons and the current page now show `profile`.
    virtual void showProfile(int profile) = 0;
    // The key model was replaced or reset: redraw the key buttons.
    virtual void keyModelChanged() = 0;
    // The lighting copy was read back or changed: redraw the lighting panel.
    virtual void lightingChanged() = 0;
};

class KeyboardSession {
public:
    struct Parts {
        device::DeviceLink& link;
        protocol::DeviceMirrors& mirrors;
        model::KeyConfiguration& configuration;
        model::Lighting& lighting;
        const ColourFiles& colourFiles;
        const lang::TextLookup& texts;
        SessionView& view;
        std::filesystem::path workingFile;
    };
    explicit KeyboardSession(Parts parts);

    // After the presence monitor has read the factory table and the macro capacity: reads the
    // key tables and macros back into the working file and the model (a fresh profile when
    // that fails), shows the active profile, and reads the lighting back with the per-key
    // colours of the current page sent first when the keyboard offers per-key colours.
    void readBackAfterArrival();

    // Copies the edited model and writes it to the keyboard: the active profile's key table,
    // or all three.
    model::KeyWriteOutcome applyKeyConfiguration(bool allProfiles);

    // The main window's profile button: the page becomes `profile`, the lighting is read back
    // (and the page's per-key colours sent when offered), and only when the keyboard's active
    // profile differs, the profile is selected.
    void switchToProfile(int profile);
    // Its first half: the page becomes `profile`, the lighting is read back and the page's
    // per-key colours sent when offered. False for a profile outside 0-2.
    bool showLightingPage(int profile);
    // Makes `profile` the keyboard's active one and loads the working file into the model.
    void selectProfile(int profile);

    // Every profile back to the factory state: assignments cleared, default lighting page
    // sent, factory key table written to its bank. The caller then applies.
    void restoreDefaults();

    // Keyboard events.
    void onLightingChangedOnKeyboard();
    void onKeyboardReset();

    // Asks the keyboard to leave normal operation for its firmware loader.
    bool enterBootMode();

    int currentPage() const { return page_; }

private:
    void plainLightingReadBack();
    void loadWorkingFileOrFresh(bool readKeyboardFirst);
    void clearAllAssignments();

    Parts parts_;
    int page_ = 0;
};

} // namespace velkan::storage
