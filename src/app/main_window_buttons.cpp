#include "app/main_window_buttons.h"

#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "skin/skinned_dialog.h"
#include "widgets/skin_look.h"

#include <QString>

namespace velkan::app {

namespace {

using Member = MainWindowButtons::Button MainWindowButtons::*;

struct Place {
    Member member;
    const char* skinKey;
    const char* name;
};

constexpr Place kPlaces[] = {
    {&MainWindowButtons::ok, "CONTROL_OK", "okButton"},
    {&MainWindowButtons::cancel, "CONTROL_CANCEL", "cancelButton"},
    {&MainWindowButtons::profiles, "FUNC_PROFILES", "profilesButton"},
    {&MainWindowButtons::apply, "CONTROL2_APPLY", "applyButton"},
    {&MainWindowButtons::macro, "FUNC_MACRO", "macroButton"},
    {&MainWindowButtons::link, "VOLTRA_LINK", "linkButton"},
    {&MainWindowButtons::help, "CONTROL_HELP", "helpButton"},
    {&MainWindowButtons::minimise, "CONTROL_MINIMIZE", "minimiseButton"},
    {&MainWindowButtons::close, "CONTROL_CLOSE", "closeButton"},
    {&MainWindowButtons::menu, "CONTROL_MENU", "menuButton"},
    {&MainWindowButtons::flipShown, "FLIP_0", "flipShown"},
    {&MainWindowButtons::flip1, "FLIP_1", "flipButton1"},
    {&MainWindowButtons::flip2, "FLIP_2", "flipButton2"},
    {&MainWindowButtons::profile1, "FUNC_PROFILE1", "profileButton1"},
    {&MainWindowButtons::profile2, "FUNC_PROFILE2", "profileButton2"},
    {&MainWindowButtons::profile3, "FUNC_PROFILE3", "profileButton3"},
    {&MainWindowButtons::defaults, "FUNC_DEFAULT", "defaultsButton"},
    {&MainWindowButtons::colourSwitch, "FUNC_SWITCH", "switchButton"},
    {&MainWindowButtons::community1, "CONTROL_Facebook", "communityButton1"},
    {&MainWindowButtons::community2, "CONTROL_twitter", "communityButton2"},
    {&MainWindowButtons::version, "VOLTRA_VER", "versionBadge"},
};

// Pictures of the lock lights and the version: shown, never pressed.
constexpr const char* kIndicators[] = {"LOCK_CAPS", "LOCK_NUM", "LOCK_SCROLL", "LOCK_AB"};

struct Caption {
    Member member;
    std::string_view textKey;
    int pointSize;
};

constexpr Caption kCaptions[] = {
    {&MainWindowButtons::profile1, lang::textKey("PROFILE_1"), 10},
    {&MainWindowButtons::profile2, lang::textKey("PROFILE_2"), 10},
    {&MainWindowButtons::profile3, lang::textKey("PROFILE_3"), 10},
    {&MainWindowButtons::macro, lang::textKey("PROFILE_MACRO"), 10},
    {&MainWindowButtons::defaults, lang::textKey("PROFILE_DEFAULT"), 10},
    {&MainWindowButtons::ok, lang::textKey("PROFILE_OK"), 10},
    {&MainWindowButtons::cancel, lang::textKey("PROFILE_CANCLE"), 10},
    {&MainWindowButtons::apply, lang::textKey("PROFILE_APPLY"), 8},
};

struct ToolTip {
    Member member;
    std::string_view textKey;
};

constexpr ToolTip kToolTips[] = {
    {&MainWindowButtons::minimise, lang::textKey("MAIN_MINIMIZE_PROMPT")},
    {&MainWindowButtons::menu, lang::textKey("MAIN_MENU_PROMPT")},
    {&MainWindowButtons::close, lang::textKey("MAIN_CLOSE_PROMPT")},
    {&MainWindowButtons::help, lang::textKey("MAIN_HELP_PROMPT")},
    {&MainWindowButtons::flipShown, lang::textKey("MAIN_FLIP_PROMPT")},
    {&MainWindowButtons::flip1, lang::textKey("MAIN_FLIP_PROMPT")},
    {&MainWindowButtons::flip2, lang::textKey("MAIN_FLIP_PROMPT")},
    {&MainWindowButtons::community1, lang::textKey("MAIN_COMMUNITY_PROMPT")},
    {&MainWindowButtons::community2, lang::textKey("MAIN_NEWS_PROMPT")},
    {&MainWindowButtons::apply, lang::textKey("MAIN_APPLY_PROMPT")},
};

skin::ButtonTextStyle captionStyle(int pointSize) {
    skin::ButtonTextStyle style;
    style.on = true;
    style.pointSize = pointSize;
    style.face = widgets::skinFontFamily();
    style.normal = style.over = style.down = style.selected = QColor(236, 240, 246);
    style.disabled = QColor(120, 126, 136);
    return style;
}

skin::ImageButton* placed(skin::SkinnedDialog& window, const char* skinKey, const char* name) {
    skin::ImageButton* button = placeMainButton(window, skinKey);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

skin::ImageButton* placeMainButton(skin::SkinnedDialog& window, std::string_view skinKey) {
    auto* button = new skin::ImageButton(&window);
    const std::filesystem::path& folder = window.iniFolder();
    const skin::ButtonPictures pictures{
        skin::skinPicture(folder / "main_normal.jpg"), skin::skinPicture(folder / "main_over.jpg"),
        skin::skinPicture(folder / "main_down.jpg"), skin::skinPicture(folder / "main_disable.jpg"),
        skin::skinPicture(folder / "main_down.jpg")};
    skin::placeImageButton(*button, window.iniPath(), skin::kButtonSection, skinKey, pictures);
    return button;
}

MainWindowButtons MainWindowButtons::create(skin::SkinnedDialog& window) {
    MainWindowButtons buttons;
    for (const Place& place : kPlaces) {
        buttons.*place.member = placed(window, place.skinKey, place.name);
    }
    for (const char* indicator : kIndicators) {
        placed(window, indicator, indicator)->setEnabled(false);
    }
    for (const Caption& caption : kCaptions) {
        (buttons.*caption.member)->setTextStyle(captionStyle(caption.pointSize));
    }
    buttons.colourSwitch->setTextStyle(captionStyle(10));
    buttons.version->setEnabled(false);
    buttons.version->setTextStyle(captionStyle(8));
    return buttons;
}

void MainWindowButtons::showTexts(const lang::TextLookup& texts) const {
    for (const Caption& caption : kCaptions) {
        (this->*caption.member)->setText(QString::fromStdString(texts.text(caption.textKey)));
    }
    for (const ToolTip& tip : kToolTips) {
        (this->*tip.member)->setToolTipText(QString::fromStdString(texts.text(tip.textKey)));
    }
    version->setText(QString::fromStdString(texts.text("MAIN_VERSION_TEXT") + " " VELKAN_VERSION));
}

void MainWindowButtons::showColourMode(const lang::TextLookup& texts, bool colourMode) const {
    colourSwitch->setText(QString::fromStdString(
        texts.text(colourMode ? "MAIN_SWITCH_COLOR_TEXT" : "MAIN_SWITCH_FUNCTION_TEXT")));
}

void MainWindowButtons::markProfile(int profile) const {
    const auto buttons = profileButtons();
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        buttons[i]->setSelectedLook(static_cast<int>(i) == profile);
    }
}

} // namespace velkan::app
