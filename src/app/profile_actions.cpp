#include "app/profile_actions.h"

#include "storage/profile_file.h"
#include "storage/profile_list.h"

#include <utility>

namespace velkan::app {

ProfileActions::ProfileActions(Parts parts, QObject* parent)
    : QObject(parent), parts_(std::move(parts)) {}

std::optional<bool> ProfileActions::askApplyBeforeSwitch() {
    if (const editors::KeyEditor* editor = parts_.editor(); editor && editor->openCount() > 0) {
        // It would edit the profile being replaced.
        parts_.prompts.message(parts_.texts.text("PROFILE_SEELCT_PROMPT2"));
        return std::nullopt;
    }
    if (!parts_.keyboard.present()) {
        return std::nullopt;
    }
    return parts_.unappliedEdits() &&
           parts_.prompts.askYesNo(parts_.texts.text("PROFILE_SELECT_PROMPT"));
}

void ProfileActions::choose(int profile) {
    emit profileMarked(profile);
    std::optional<bool> applyFirst = false;
    // The profile already in use keeps its edits: only a switch asks about them.
    if (parts_.keyboard.activeProfile() != profile) {
        applyFirst = askApplyBeforeSwitch();
        if (!applyFirst) {
            emit profileMarked(parts_.keyboard.activeProfile());
            return;
        }
    }
    parts_.keyboard.chooseProfile(
        profile, *applyFirst,
        {this, [this, profile](ProfileChange change) { finished(profile, change); }});
}

void ProfileActions::select(int profile, std::function<void(bool)> then) {
    const std::optional<bool> applyFirst = askApplyBeforeSwitch();
    if (!applyFirst) {
        then(false);
        return;
    }
    parts_.keyboard.selectProfile(
        profile, *applyFirst, {this, [this, profile, then = std::move(then)](ProfileChange change) {
                                   finished(profile, change);
                                   then(change != ProfileChange::refused);
                               }});
}

void ProfileActions::finished(int profile, ProfileChange change) {
    switch (change) {
    case ProfileChange::alreadyActive:
        break;
    case ProfileChange::refused:
        emit profileMarked(parts_.keyboard.activeProfile());
        break;
    case ProfileChange::switched:
        emit profileMarked(profile);
        emit switched();
        break;
    }
}

void ProfileActions::restoreDefaults() {
    if (parts_.prompts.askYesNo(parts_.texts.text("MAIN_PROMPT_DEFAULT"))) {
        parts_.keyboard.restoreDefaults();
    }
}

void ProfileActions::importProfile() {
    const auto path = parts_.prompts.chooseFile(storage::profileFileRequest(false, "*.fwc", {}));
    if (path) {
        importFile(*path);
    }
}

void ProfileActions::importFile(const std::filesystem::path& file) {
    // One box for a file that is not a profile: the import's own.
    if (storage::checkProfileFile(file) != storage::ProfileCheck::valid) {
        parts_.prompts.message(parts_.texts.text("MAIN_PROMPT_INPORT"));
        return;
    }
    parts_.keyboard.importProfile(file);
}

void ProfileActions::exportProfile() {
    const auto path = parts_.prompts.chooseFile(storage::profileFileRequest(true, "*.fwc", {}));
    if (path) {
        (void)storage::saveProfileFile(*path, parts_.keyboard.keys(), true);
    }
}

} // namespace velkan::app
