#include "app/secondary_windows.h"

#include "app/about_dialog.h"
#include "app/firmware_update_dialog.h"
#include "app/profile_manager_dialog.h"
#include "editors/key_assignment_dialog.h"
#include "platform/process.h"
#include "skin/skinned_dialog.h"
#include "storage/profile_file.h"

#include <QApplication>
#include <algorithm>

namespace velkan::app {

SecondaryWindows::SecondaryWindows(Parts parts) {
    const AppPaths& paths = parts.globals.paths;
    KeyboardController& keyboard = parts.keyboard;
    about_ = std::make_unique<AboutDialog>(parts.texts, parts.openHelp);
    profileManager_ = std::make_unique<ProfileManagerDialog>(
        &parts.owner, paths.profileSkin, paths.skinFolder,
        ProfileManagerDialog::Parts{parts.prompts, parts.texts, parts.globals.appProfile,
                                    storage::workingFilePath(),
                                    [&keyboard] { return keyboard.activeProfile(); },
                                    parts.selectProfile, parts.importProfile});
    firmwareUpdate_ = std::make_unique<FirmwareUpdateDialog>(
        &parts.owner, FirmwareUpdateDialog::Parts{
                          paths.updateSkin, paths.skinFolder,
                          [&keyboard, owner = &parts.owner](std::function<void(bool)> answer) {
                              keyboard.enterBootMode({owner, std::move(answer)});
                          },
                          keyboard.keys(), parts.prompts, parts.texts, paths.packageFolder});
    keyEditor_ = std::make_unique<editors::KeyAssignmentDialog>(
        &parts.owner,
        editors::KeyAssignmentDialog::Parts{
            paths.compositeSkin, paths.skinFolder, keyboard.keys(),
            [&keyboard] { return std::clamp(keyboard.activeProfile(), 0, 2); }, parts.keyButtonRect,
            parts.prompts, parts.texts, parts.globals.appProfile, parts.keyEdited,
            [&prompts = parts.prompts, &texts = parts.texts] {
                const bool started = platform::startOnScreenKeyboard();
                if (!started) {
                    prompts.message(texts.text("MAIN_OSK_FAILED"));
                }
                return started;
            },
            parts.openDocument, paths.helpFolder});
}

SecondaryWindows::~SecondaryWindows() = default;

void SecondaryWindows::reloadTexts() {
    if (about_->isVisible()) {
        about_->reloadTexts();
    }
}

void SecondaryWindows::closeAll() {
    about_->reject();
    if (profileManager_->isVisible()) {
        profileManager_->reject();
    }
}

} // namespace velkan::app
