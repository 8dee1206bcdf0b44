// The profile manager: a list of profile files the user adds to, loads into and deletes from,
// stored in the application's profile store on Apply, where the selected row also becomes the
// keyboard's active profile. The main window opens it and asks it to switch profiles.
#pragma once

#include "lang/prompts.h"
#include "lang/text_lookup.h"
#include "skin/skinned_dialog.h"
#include "storage/app_profile.h"
#include "storage/profile_list.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

namespace velkan::skin {
class ImageButton;
}

namespace velkan::widgets {
class SkinList;
}

namespace velkan::app {

class ProfileManagerDialog : public skin::SkinnedDialog {
    Q_OBJECT

public:
    struct Parts {
        lang::Prompts& prompts;
        const lang::TextLookup& texts;
        storage::AppProfile& appProfile;
        std::filesystem::path workingFile;
        // The keyboard's active profile as last known; -1 when unknown.
        std::function<int()> activeProfile;
        // The main window's profile switch; `then` hears, later, whether the keyboard took it.
        std::function<void(int profile, std::function<void(bool switched)> then)> selectProfile;
        // The main window's import of a profile file into the keyboard, with its check.
        std::function<void(const std::filesystem::path& file)> importProfile;
    };

    ProfileManagerDialog(QWidget* parent, std::filesystem::path iniPath,
                         std::filesystem::path iniFolder, Parts parts);

    // Fills the list, selects the keyboard's active profile and runs the window modally.
    int openProfileManager();

protected:
    bool onInitDialog() override;
    void reloadTexts(int languageIndex) override;

private:
    void createControls();
    void showTexts();
    void addNewProfile();
    void loadProfile();
    void acceptChanges();
    void fillList();
    // `profile`: the keyboard profile the row stands for; none for a file the user added.
    void appendRow(const storage::ProfileRow& row, std::optional<int> profile = std::nullopt);
    QString rowName(std::size_t row) const;
    void markActiveRow(int activeProfile);
    void deleteSelectedRow();
    void apply();
    void setDirty(bool dirty);

    Parts parts_;
    // Named after their members, so tests find them.
    skin::ImageButton* addButton_ = nullptr;
    skin::ImageButton* loadButton_ = nullptr;
    skin::ImageButton* deleteButton_ = nullptr;
    skin::ImageButton* applyButton_ = nullptr;
    skin::ImageButton* okButton_ = nullptr;
    skin::ImageButton* cancelButton_ = nullptr;
    widgets::SkinList* list_ = nullptr;
    std::vector<storage::ProfileRow> rows_;
    std::vector<std::optional<int>> rowProfiles_; // beside rows_
    bool dirty_ = false;
};

} // namespace velkan::app
