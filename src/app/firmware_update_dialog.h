// The firmware update hand-off: backs the keyboard's configuration up to a profile file, lets
// the user pick the updater program, switches the keyboard into its boot mode and starts the
// updater. The program never writes firmware itself, and once the keyboard has taken the
// boot-mode request this window sends it nothing more, whether or not the updater starts.
#pragma once

#include "lang/prompts.h"
#include "lang/text_lookup.h"
#include "model/key_assignment.h"
#include "platform/process.h"
#include "skin/skinned_dialog.h"

#include <filesystem>
#include <functional>

class QLabel;

namespace velkan::skin {
class ImageButton;
}

namespace velkan::widgets {
class SkinCombo;
}

namespace velkan::app {

class FirmwareUpdateDialog : public skin::SkinnedDialog {
    Q_OBJECT

public:
    // True when the program is running.
    using ProgramStarter = std::function<bool(const std::filesystem::path&)>;

    struct Parts {
        std::filesystem::path iniPath; // "Skins/UpdateDlg.ini"
        std::filesystem::path iniFolder;
        // The boot-mode request; `answer` hears, later, whether the keyboard took it.
        std::function<void(std::function<void(bool entered)> answer)> enterBootMode;
        // What the backup reads the keyboard through.
        model::KeyConfiguration& configuration;
        lang::Prompts& prompts;
        const lang::TextLookup& texts;
        // Where the updaters are delivered; the chooser opens there.
        std::filesystem::path packageFolder;
        ProgramStarter startProgram = [](const std::filesystem::path& program) {
            return platform::startDetached(program, {});
        };
    };

    // The main window makes one for the life of the program, so the chosen updater is kept
    // from one opening to the next.
    FirmwareUpdateDialog(QWidget* parent, Parts parts);

    // Empty until the user has chosen one, and again after a hand-off or a cancelled choice.
    const std::filesystem::path& updaterPath() const { return updaterPath_; }

protected:
    bool onInitDialog() override;
    void reloadTexts(int languageIndex) override;

private:
    void createControls();
    skin::ImageButton* addButton(const char* name, void (FirmwareUpdateDialog::*slot)());
    void showTexts();
    void backUpKeyboard();
    void chooseUpdater();
    void handOverToUpdater();
    void setWaitingForKeyboard(bool waiting);
    void startUpdater(const std::filesystem::path& updater, bool bootModeEntered);
    void cancelUpdate();
    void showUpdaterPath();

    Parts parts_;
    std::filesystem::path updaterPath_;
    // Owned by the window.
    skin::ImageButton* backupButton_ = nullptr;
    skin::ImageButton* chooseButton_ = nullptr;
    skin::ImageButton* updateButton_ = nullptr;
    skin::ImageButton* cancelButton_ = nullptr;
    QLabel* textLine_ = nullptr;
    widgets::SkinCombo* pathField_ = nullptr;
};

} // namespace velkan::app
