// What the user does with whole profiles from the main window: switch the keyboard's profile
// (the profile buttons, the profile list, the profile manager, the per-key view), restore the
// defaults, import and export profile files. The questions are asked here, before anything is
// asked of the keyboard, so nothing switches while a question is on screen.
#pragma once

#include "app/keyboard_controller.h"
#include "editors/key_editor.h"
#include "lang/prompts.h"
#include "lang/text_lookup.h"

#include <QObject>
#include <functional>
#include <optional>

namespace velkan::app {

class ProfileActions : public QObject {
    Q_OBJECT

public:
    struct Parts {
        KeyboardController& keyboard;
        lang::Prompts& prompts;
        const lang::TextLookup& texts;
        // The editor key clicks go to; profiles are not switched while it is open.
        std::function<const editors::KeyEditor*()> editor;
        // Apply is on: the model holds edits the keyboard has not got.
        std::function<bool()> unappliedEdits;
    };

    ProfileActions(Parts parts, QObject* parent);

    // A profile button or the profile list: the lighting page of `profile`, and its key table
    // when another profile is active.
    void choose(int profile);
    // Makes `profile` the keyboard's active one; `then` hears, later, whether it is.
    void select(int profile, std::function<void(bool switched)> then);
    void restoreDefaults();
    // Asks for a profile file, then imports it.
    void importProfile();
    // Writes the profile file into the keyboard; a file that is not a profile is refused.
    void importFile(const std::filesystem::path& file);
    void exportProfile();

signals:
    // The profile button to show as the current one.
    void profileMarked(int profile);
    // The model is now the new profile's, as the keyboard holds it.
    void switched();

private:
    // Whether the edits go to the keyboard before a switch; nothing when the switch must not
    // go ahead.
    std::optional<bool> askApplyBeforeSwitch();
    void finished(int profile, ProfileChange change);

    Parts parts_;
};

} // namespace velkan::app
