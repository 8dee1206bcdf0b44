// The windows the main window opens: About, the profile manager, the firmware hand-off and the
// key assignment dialog. Made once for the life of the program, so what the user chose in
// them is kept from one opening to the next, and closed together when the keyboard goes.
#pragma once

#include "app/app_globals.h"
#include "app/keyboard_controller.h"
#include "lang/prompts.h"
#include "lang/text_lookup.h"

#include <QRect>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

class QWidget;

namespace velkan::editors {
class KeyAssignmentDialog;
}

namespace velkan::app {

class AboutDialog;
class FirmwareUpdateDialog;
class ProfileManagerDialog;

class SecondaryWindows {
public:
    struct Parts {
        QWidget& owner;
        AppGlobals& globals;
        const lang::TextLookup& texts;
        lang::Prompts& prompts;
        KeyboardController& keyboard;
        std::function<bool(const std::string& document)> openDocument;
        std::function<void()> openHelp;
        // The main window's profile switch.
        std::function<void(int profile, std::function<void(bool switched)> then)> selectProfile;
        // The main window's import of a profile file.
        std::function<void(const std::filesystem::path& file)> importProfile;
        // A key assignment was stored in the model.
        std::function<void()> keyEdited;
        std::function<QRect(model::KeyButton)> keyButtonRect;
    };

    explicit SecondaryWindows(Parts parts);
    ~SecondaryWindows();
    SecondaryWindows(const SecondaryWindows&) = delete;
    SecondaryWindows& operator=(const SecondaryWindows&) = delete;

    AboutDialog& about() { return *about_; }
    ProfileManagerDialog& profileManager() { return *profileManager_; }
    FirmwareUpdateDialog& firmwareUpdate() { return *firmwareUpdate_; }
    editors::KeyAssignmentDialog& keyEditor() { return *keyEditor_; }

    // The texts of the open About box; the key editor hears of a new language from the main
    // window, which may have given the keys to another editor.
    void reloadTexts();
    // Closes the About box and the profile manager as their Cancel would.
    void closeAll();

private:
    std::unique_ptr<AboutDialog> about_;
    std::unique_ptr<ProfileManagerDialog> profileManager_;
    std::unique_ptr<FirmwareUpdateDialog> firmwareUpdate_;
    std::unique_ptr<editors::KeyAssignmentDialog> keyEditor_;
};

} // namespace velkan::app
