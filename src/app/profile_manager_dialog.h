// The profile manager: a list of profile files the user adds to, loads into and deletes from,
// stored in the application's profile store on Apply, where the selected row also becomes the
// keyboard's active profile. The main window opens it and asks it to switch profiles.
#pragma once

#include "device/device_link.h"
#include "lang/prompts.h"
#include "lang/text_lookup.h"
#include "skin/skinned_dialog.h"
#include "storage/app_profile.h"
#include "storage/keyboard_session.h"
#include "storage/profile_list.h"

#include <filesystem>
#include <functional>
#include <map>
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
    static constexpr int kTemplateId = 131;
    static constexpr int kListId = 1007;
    static constexpr int kLoadId = 1008;
    static constexpr int kAddId = 1010;
    static constexpr int kDeleteId = 1011;
    static constexpr int kApplyId = 1012;
    static constexpr int kTestId = 1013;

    struct Parts {
        storage::KeyboardSession& session;
        device::DeviceLink& link;
        lang::Prompts& prompts;
        const lang::TextLookup& texts;
        storage::AppProfile& appProfile;
        std::filesystem::path workingFile;
        // The main window's editors and Apply, for every profile switch.
        storage::ProfileSwitchHooks switchHooks;
        // After Apply has made another profile active: the main window's lighting state
        // follows the keyboard, and its Apply goes off, the model now being the keyboard's.
        std::function<void()> refreshLighting;
        std::function<void()> disableApply;
    };

    ProfileManagerDialog(QWidget* parent, std::filesystem::path iniPath,
                         std::filesystem::path iniFolder, Parts parts);

    // Fills the list, selects the keyboard's active profile and runs the window modally.
    int openProfileManager();

    // The main window's profile buttons and profile list menu: makes key profile 0-2 the
    // keyboard's active one (see storage::switchKeyProfile).
    bool switchProfile(int profile);

    QWidget* control(int controlId) const;
    skin::ImageButton* button(int controlId) const;

protected:
    bool onInitDialog() override;
    void reloadTexts(int languageIndex) override;

private:
    void createControls();
    void showTexts();
    void onCommand(int controlId);
    void fillList();
    void appendRow(const storage::ProfileRow& row);
    void markActiveRow(int activeRow);
    void deleteSelectedRow();
    void apply();
    void setDirty(bool dirty);

    Parts parts_;
    std::map<int, QWidget*> controls_;
    widgets::SkinList* list_ = nullptr;
    std::vector<storage::ProfileRow> rows_;
    bool dirty_ = false;
};

} // namespace velkan::app
