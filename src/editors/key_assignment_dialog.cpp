#include "editors/key_assignment_dialog.h"

#include "editors/macro_page.h"
#include "model/key_codes.h"
#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "widgets/skin_combo.h"
#include "widgets/skin_look.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QRadioButton>
#include <QScreen>
#include <QString>
#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <string_view>
#include <utility>

namespace velkan::editors {
namespace {

using model::AssignmentType;

constexpr model::KeyCode kPrintScreen = 0x137;
// Left and right Windows key and the menu key: captured whatever the radios say.
constexpr std::uint8_t kWindowsKeyVks[] = {0x5B, 0x5C, 0x5D};
constexpr int kExtraKeysPerBank = model::kExtraKeyCount / 2;

struct MouseChoice {
    model::KeyCode code;
    std::string_view textKey;
};
constexpr MouseChoice kMouseChoices[] = {
    {0x171, lang::textKey("IDS_KEYBOARD_MOU_LEFT")},
    {0x172, lang::textKey("IDS_KEYBOARD_MOU_RIGHT")},
    {0x173, lang::textKey("IDS_KEYBOARD_MOU_MIDDLE")},
    {0x161, lang::textKey("IDS_KEYBOARD_ROLL_UP")},
    {0x162, lang::textKey("IDS_KEYBOARD_ROLL_DOWN")},
};

using Controls = KeyAssignmentDialog::Controls;
using ButtonMember = Controls::Button Controls::*;
using LabelMember = QLabel* Controls::*;

struct ButtonPlace {
    ButtonMember member;
    const char* skinKey;
    const char* name;
};
// The buttons drawn from the key pictures, with their skin keys.
constexpr ButtonPlace kButtonPlaces[] = {
    {&Controls::pagePicture, "CONTROL_MASK", "pagePicture"},
    {&Controls::title, "CONTROL_TITLE", "title"},
    {&Controls::onScreenKeyboardButton, "CONTROL_OSK", "onScreenKeyboardButton"},
    {&Controls::clearButton, "CONTROL_CLEAR", "clearButton"},
    {&Controls::mediaPageButton, "CONTROL_MEDIA", "mediaPageButton"},
    {&Controls::macroPageButton, "CONTROL_MACRO", "macroPageButton"},
    {&Controls::keyPageButton, "CONTROL_KEY", "keyPageButton"},
    {&Controls::functionPageButton, "CONTROL_FUNCTION", "functionPageButton"},
    {&Controls::okButton, "CONTROL_OK", "okButton"},
    {&Controls::cancelButton, "CONTROL_CANCEL", "cancelButton"},
};
// Opened for a macro, the buttons of the other pages wear the second macro pictures, and all
// but the title are disabled.
constexpr ButtonMember kMacroOnlyRestyled[] = {&Controls::keyPageButton, &Controls::mediaPageButton,
                                               &Controls::functionPageButton, &Controls::title,
                                               &Controls::clearButton};

struct Caption {
    ButtonMember member;
    std::string_view textKey;
};
constexpr Caption kCaptions[] = {
    {&Controls::keyPageButton, lang::textKey("SINGLE_KEY")},
    {&Controls::macroPageButton, lang::textKey("MACRO_SETTING")},
    {&Controls::mediaPageButton, lang::textKey("MULTI_MEDIA")},
    {&Controls::functionPageButton, lang::textKey("FUNCTION_KEY")},
    {&Controls::okButton, lang::textKey("MACRO_OK")},
    {&Controls::cancelButton, lang::textKey("MACRO_CANCLE")},
};

struct ToolTip {
    ButtonMember member;
    std::string_view textKey;
};
constexpr ToolTip kToolTips[] = {
    {&Controls::onScreenKeyboardButton, lang::textKey("COMPOSITE_PROMPT_OSK")},
    {&Controls::clearButton, lang::textKey("KEY_CLEAR_PROMPT")},
};

struct LabelPlace {
    LabelMember member;
    const char* skinKey;
    const char* name;
    std::string_view textKey; // empty: the label shows the edited key's name
};
constexpr LabelPlace kLabels[] = {
    {&Controls::keyboardLabel, "FUNC_KEY_RADIO_KB_STATIC", "keyboardLabel",
     lang::textKey("IDS_MACRO_KB_KEY")},
    {&Controls::mouseLabel, "FUNC_KEY_RADIO_MOU_STATIC", "mouseLabel",
     lang::textKey("IDS_MACRO_MOU_KEY")},
    {&Controls::singlePrompt, "TISHI_SINGLE_STATIC", "singlePrompt",
     lang::textKey("SINGLE_STATIC")},
    {&Controls::mediaPrompt, "MEDIA_SETTING_TISHI", "mediaPrompt",
     lang::textKey("MEDIA_EDIT_TISHI")},
    {&Controls::functionPrompt, "FUNCTION_KEY_SETTING_TISHI", "functionPrompt",
     lang::textKey("FUNCTION_TISHI")},
    {&Controls::macroNameLabel, "MARCO_NAME_SETTING", "macroNameLabel",
     lang::textKey("MACRO_NAME_SETTING")},
    {&Controls::editedKeyLabel, "KEY_SETTING", "editedKeyLabel", {}},
};
constexpr double kLabelPointSize = 10.8;
// Texts longer than their place, as in other languages, shrink down to this.
constexpr double kSmallestLabelPointSize = 7;
constexpr double kCapturedKeyPointSize = 14;
constexpr double kListPointSize = 12;
// The skin has no place for the mouse list: it sits right of its radio's label, as far as
// the captured-key field reaches.
constexpr int kMouseListGap = 8;

struct PictureFiles {
    const char* normal;
    const char* over;
    const char* down;
    const char* disabled;
};
constexpr PictureFiles kKeyPictures{"key_normal.jpg", "key_over.jpg", "key_down.jpg",
                                    "key_normal.jpg"};
constexpr PictureFiles kMacroPictures{"macro_normal.jpg", "macro_over.jpg", "macro_down.jpg",
                                      "macro_disable.jpg"};
constexpr PictureFiles kMacroOnlyPictures{"macro2_normal.jpg", "macro2_over.jpg", "macro2_down.jpg",
                                          "macro2_disable.jpg"};
constexpr PictureFiles kMediaPictures{"media_normal.jpg", "media_over.jpg", "media_down.jpg",
                                      "media_normal.jpg"};
constexpr PictureFiles kFunctionPictures{"function_normal.jpg", "function_over.jpg",
                                         "function_down.jpg", "function_normal.jpg"};

// A current page's button looks pressed.
skin::ButtonPictures picturesOf(const std::filesystem::path& folder, const PictureFiles& files) {
    const QPixmap down = skin::skinPicture(folder / files.down);
    return {skin::skinPicture(folder / files.normal), skin::skinPicture(folder / files.over), down,
            skin::skinPicture(folder / files.disabled), down};
}

QFont dialogFont(double pointSize) {
    QFont font(widgets::skinFontFamily());
    font.setPointSizeF(pointSize);
    font.setWeight(QFont::Normal);
    return font;
}

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
}

// The record a key button stands for: a G key's by its place, a main key's by its key code.
std::optional<model::KeyIndex> keyIndexOfButton(int controlId) {
    const auto& extraKeys = model::ExtraKeyControlIds();
    if (const auto extra = std::find(extraKeys.begin(), extraKeys.end(), controlId);
        extra != extraKeys.end()) {
        return model::shownExtraKeyIndex(static_cast<int>(extra - extraKeys.begin()));
    }
    const auto& positions = model::KeyPositionList();
    const auto found =
        std::find_if(positions.begin(), positions.end(),
                     [controlId](const model::KeyPosition& p) { return p.controlId == controlId; });
    if (found == positions.end()) {
        return std::nullopt;
    }
    return model::keyIndexFromCode(found->code);
}

// Stored values come from profile files as well: anything outside the key code range names
// no key.
model::KeyCode keyCodeOfValue(std::int32_t value) {
    return value >= 0 && value <= 0xFFFF ? static_cast<model::KeyCode>(value) : 0;
}

// The list entry a stored value selects; entry 0 for a value the list does not have.
int entryOfValue(std::int32_t value, int count) {
    return value >= 0 && value < count ? value : 0;
}

std::optional<int> mouseEntryOf(model::KeyCode code) {
    const auto found = std::find_if(std::begin(kMouseChoices), std::end(kMouseChoices),
                                    [code](const MouseChoice& c) { return c.code == code; });
    if (found == std::end(kMouseChoices)) {
        return std::nullopt;
    }
    return static_cast<int>(found - std::begin(kMouseChoices));
}

// The kinds of assignment the pages make. Others (a program to start, a text to type) come
// from files, and the dialog keeps them until the user chooses something else for the key.
bool isPageOfDialog(AssignmentType type) {
    switch (type) {
    case AssignmentType::defaultAction:
    case AssignmentType::singleKey:
    case AssignmentType::playMacro:
    case AssignmentType::multimedia:
    case AssignmentType::keyboardFunction:
        return true;
    default:
        return false;
    }
}

bool isWindowsKey(std::uint8_t vk) {
    return std::find(std::begin(kWindowsKeyVks), std::end(kWindowsKeyVks), vk) !=
           std::end(kWindowsKeyVks);
}

} // namespace

std::string keyButtonName(model::KeyIndex index, const lang::TextLookup& texts) {
    if (index >= model::kFirstExtraKeyIndex) {
        return "G" + std::to_string((index - model::kFirstExtraKeyIndex) % kExtraKeysPerBank + 1);
    }
    return model::keyNameFromCode(model::keyCodeFromIndex(index), texts);
}

std::string keyButtonToolTip(model::KeyIndex index, const model::KeyAssignment& record,
                             const model::MacroList& macros, const lang::TextLookup& texts) {
    std::string tip = keyButtonName(index, texts);
    if (record.type == 0) {
        return tip;
    }
    tip += texts.text("KEY_PROMPT_SET");
    switch (static_cast<AssignmentType>(record.type)) {
    case AssignmentType::singleKey:
        tip += texts.text("KEY_PROMPT_SINGLE") +
               model::keyNameFromCode(keyCodeOfValue(record.value), texts) + ")";
        break;
    case AssignmentType::playMacro: {
        const auto macro = std::find_if(macros.begin(), macros.end(),
                                        [&](const auto& m) { return m.id == record.value; });
        tip +=
            texts.text("KEY_PROMPT_MACRO") + (macro == macros.end() ? "" : macro->nameUtf8()) + ")";
        break;
    }
    case AssignmentType::multimedia: {
        const auto& media = model::MediaKeyTable();
        const bool known = record.value >= 0 && record.value < static_cast<int>(media.size());
        tip += texts.text("KEY_PROMPT_MEDIA") +
               (known ? model::keyNameFromCode(media[static_cast<std::size_t>(record.value)].code,
                                               texts)
                      : "") +
               ")";
        break;
    }
    case AssignmentType::keyboardFunction: {
        const bool known = record.value >= 0 && record.value < model::kFunctionKeyCount;
        tip += texts.text("KEY_PROMPT_FUNCTION") +
               (known ? texts.text(model::functionKeyLanguageKey(record.value)) : "") + ")";
        break;
    }
    default:
        break;
    }
    return tip;
}

QPoint dialogPlaceBesideKey(const QRect& button, QSize dialog, QSize screen) {
    const int left = button.x();
    const int top = button.y();
    const int right = button.x() + button.width();
    const int bottom = button.y() + button.height();
    const QPoint places[] = {{right, bottom},
                             {right, top - dialog.height()},
                             {left - dialog.width(), bottom},
                             {left - dialog.width(), top - dialog.height()}};
    for (const QPoint& place : places) {
        if (place.x() >= 0 && place.y() >= 0 && place.x() + dialog.width() <= screen.width() &&
            place.y() + dialog.height() <= screen.height()) {
            return place;
        }
    }
    return places[0];
}

KeyAssignmentDialog::KeyAssignmentDialog(QWidget* parent, Parts parts)
    : SkinnedDialog(kTemplateId, parent, parts.iniPath, parts.iniFolder), parts_(std::move(parts)) {
    macroPage_ = std::make_unique<MacroPage>(MacroPage::Parts{
        *this, parts_.iniPath, parts_.iniFolder, parts_.configuration, parts_.prompts, parts_.texts,
        parts_.appProfile, [this] { setModified(true); }});
}

KeyAssignmentDialog::~KeyAssignmentDialog() = default;

void KeyAssignmentDialog::edit(const SelectedKey& key, bool openedForMacro) {
    if (beginEditing(key, openedForMacro)) {
        exec();
    }
}

void KeyAssignmentDialog::cancelIfOpen() {
    if (open_) {
        reject();
    }
}

bool KeyAssignmentDialog::beginEditing(const SelectedKey& key, bool openedForMacro) {
    if (open_) {
        return false;
    }
    const auto index = keyIndexOfButton(key.controlId);
    if (!index || !initialise()) {
        return false;
    }
    keyIndex_ = *index;
    macroOnly_ = openedForMacro;
    // Before the keyboard has been read the main window shows the first profile.
    profile_ = std::clamp(parts_.currentProfile ? parts_.currentProfile() : 0, 0,
                          model::kProfileCount - 1);
    open_ = true;
    qApp->installEventFilter(this);

    placeButtons();
    for (widgets::SkinCombo* list : {c_.mouseList, c_.mediaList, c_.functionList}) {
        list->setCurrentIndex(0);
    }
    capturedCode_ = 0;
    readRecord();
    const bool macroRecord = page_ == AssignmentType::playMacro;
    macroPage_->loadWorkingCopies(macroRecord ? keyCodeOfValue(storedValue_) : 0);
    if (macroOnly_) {
        page_ = AssignmentType::playMacro;
    }
    showPage(true);
    setModified(false);
    placeWindow(key.controlId);
    changeLanguage(languageIndex_);
    return true;
}

bool KeyAssignmentDialog::onInitDialog() {
    createControls();
    return true;
}

void KeyAssignmentDialog::createControls() {
    createButtons();
    createKeyPage();
    c_.mediaList = addList("mediaList");
    skin::placeControl(*c_.mediaList, iniPath(), skin::kButtonSection, "FUNC_MEDIA_SELECT");
    c_.functionList = addList("functionList");
    skin::placeControl(*c_.functionList, iniPath(), skin::kButtonSection, "FUNC_FUNCTION_SELECT");
    for (std::size_t i = 0; i < model::MediaKeyTable().size(); ++i) {
        c_.mediaList->addItem(QString());
    }
    for (int i = 0; i < model::kFunctionKeyCount; ++i) {
        c_.functionList->addItem(QString());
    }
    macroPage_->createControls();
}

void KeyAssignmentDialog::createButtons() {
    const auto add = [this](ButtonMember member, const char* name) {
        auto* created = new skin::ImageButton(this);
        created->setObjectName(QString::fromLatin1(name));
        c_.*member = created;
        return created;
    };
    for (const ButtonPlace& place : kButtonPlaces) {
        add(place.member, place.name);
    }
    for (const Caption& caption : kCaptions) {
        (c_.*caption.member)->setTextStyle(editorCaptionStyle());
    }
    c_.title->setTextStyle(editorCaptionStyle());
    add(&Controls::applyButton, "applyButton")->hide();
    // The page picture and the title plate are pictures: the window is dragged by them.
    for (skin::ImageButton* picture : {c_.pagePicture, c_.title}) {
        picture->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    const auto onClick = [this](skin::ImageButton* button, auto slot) {
        connect(button, &QAbstractButton::clicked, this, slot);
    };
    onClick(c_.okButton, [this] {
        apply();
        accept();
    });
    onClick(c_.cancelButton, [this] { reject(); });
    onClick(c_.applyButton, [this] { apply(); });
    onClick(c_.keyPageButton, [this] { choosePage(AssignmentType::singleKey); });
    onClick(c_.macroPageButton, [this] { choosePage(AssignmentType::playMacro); });
    onClick(c_.mediaPageButton, [this] { choosePage(AssignmentType::multimedia); });
    onClick(c_.functionPageButton, [this] { choosePage(AssignmentType::keyboardFunction); });
    onClick(c_.clearButton, [this] { clearKey(); });
    onClick(c_.onScreenKeyboardButton, [this] {
        if (parts_.startOnScreenKeyboard) {
            parts_.startOnScreenKeyboard();
        }
    });
}

void KeyAssignmentDialog::createKeyPage() {
    const auto& ini = iniPath();
    for (const LabelPlace& place : kLabels) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(place.name));
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, QColor(228, 228, 228));
        label->setPalette(palette);
        label->setFont(dialogFont(kLabelPointSize));
        skin::placeControl(*label, ini, skin::kButtonSection, place.skinKey);
        c_.*place.member = label;
    }

    c_.capturedKey = new QLineEdit(this);
    c_.capturedKey->setObjectName(QStringLiteral("capturedKey"));
    widgets::applySkinLook(*c_.capturedKey);
    c_.capturedKey->setReadOnly(true);
    c_.capturedKey->setAlignment(Qt::AlignCenter);
    c_.capturedKey->setFont(dialogFont(kCapturedKeyPointSize));
    skin::placeControl(*c_.capturedKey, ini, skin::kButtonSection, "FUNC_KEY_INPUT");

    // The radios show no caption and no background of their own: their labels lie beside them.
    const auto addRadio = [this, &ini](const char* name, const char* skinKey, bool keyboard) {
        auto* radio = new QRadioButton(this);
        radio->setObjectName(QString::fromLatin1(name));
        skin::placeControl(*radio, ini, skin::kButtonSection, skinKey);
        connect(radio, &QRadioButton::clicked, this, [this, keyboard] {
            chooseKeyboard(keyboard);
            page_ = AssignmentType::singleKey;
        });
        return radio;
    };
    c_.keyboardRadio = addRadio("keyboardRadio", "FUNC_KEY_RADIO_KB", true);
    c_.mouseRadio = addRadio("mouseRadio", "FUNC_KEY_RADIO_MOU", false);

    c_.mouseList = addList("mouseList");
    const QRect mouseLabel =
        skin::readSkinRect(ini, skin::kButtonSection, "FUNC_KEY_RADIO_MOU_STATIC");
    const QRect keyField = skin::readSkinRect(ini, skin::kButtonSection, "FUNC_KEY_INPUT");
    const int listHeight =
        skin::readSkinRect(ini, skin::kButtonSection, "FUNC_MEDIA_SELECT").height();
    const int listLeft = mouseLabel.x() + mouseLabel.width() + kMouseListGap;
    c_.mouseList->setGeometry(listLeft, mouseLabel.center().y() - listHeight / 2,
                              std::max(keyField.x() + keyField.width() - listLeft, 0), listHeight);
    for (std::size_t i = 0; i < std::size(kMouseChoices); ++i) {
        c_.mouseList->addItem(QString());
    }
}

widgets::SkinCombo* KeyAssignmentDialog::addList(const char* name) {
    auto* list = new widgets::SkinCombo(widgets::ComboKind::Plain, this);
    list->setObjectName(QString::fromLatin1(name));
    list->setFont(dialogFont(kListPointSize));
    // Choosing an entry is an edit; entries the dialog selects itself are not.
    connect(list, &QComboBox::activated, this, [this] { setModified(true); });
    return list;
}

// Every opening places the buttons afresh: an opening for a macro gives some of them other
// pictures and disables them.
void KeyAssignmentDialog::placeButtons() {
    const auto& ini = iniPath();
    const auto keyPictures = picturesOf(iniFolder(), kKeyPictures);
    const auto macroOnlyPictures = picturesOf(iniFolder(), kMacroOnlyPictures);
    for (const ButtonPlace& place : kButtonPlaces) {
        skin::ImageButton& placed = *(c_.*place.member);
        const bool restyled =
            macroOnly_ && std::find(std::begin(kMacroOnlyRestyled), std::end(kMacroOnlyRestyled),
                                    place.member) != std::end(kMacroOnlyRestyled);
        placed.setEnabled(!restyled || place.member == &Controls::title);
        skin::placeImageButton(placed, ini, skin::kButtonSection, place.skinKey,
                               restyled ? macroOnlyPictures : keyPictures);
    }
}

void KeyAssignmentDialog::reloadTexts(int languageIndex) {
    languageIndex_ = languageIndex;
    if (c_.capturedKey == nullptr) {
        return; // nothing to show the texts on before the first opening
    }
    const lang::TextLookup& texts = parts_.texts;
    const auto text = [&texts](std::string_view key) { return fromUtf8(texts.text(key)); };
    c_.title->setText(macroOnly_ ? text("MACRO_EDIT_TISHI") : text("KEY_SETTING_TISHI"));
    for (const Caption& caption : kCaptions) {
        (c_.*caption.member)->setText(text(caption.textKey));
    }
    for (const ToolTip& tip : kToolTips) {
        (c_.*tip.member)->setToolTipText(text(tip.textKey));
    }
    for (const LabelPlace& place : kLabels) {
        (c_.*place.member)
            ->setText(place.textKey.empty() ? fromUtf8(keyButtonName(keyIndex_, texts))
                                            : text(place.textKey));
    }
    fitPrompts();
    for (std::size_t i = 0; i < std::size(kMouseChoices); ++i) {
        c_.mouseList->setItemText(static_cast<int>(i), text(kMouseChoices[i].textKey));
    }
    const auto& media = model::MediaKeyTable();
    for (std::size_t i = 0; i < media.size(); ++i) {
        c_.mediaList->setItemText(static_cast<int>(i),
                                  fromUtf8(model::keyNameFromCode(media[i].code, texts)));
    }
    for (int i = 0; i < model::kFunctionKeyCount; ++i) {
        c_.functionList->setItemText(i, text(model::functionKeyLanguageKey(i)));
    }
    showCapturedKey();
    macroPage_->reloadTexts();
}

// The texts on the page picture say in a sentence what to do: wrapped, and smaller where even
// that is not enough, but never cut.
void KeyAssignmentDialog::fitPrompts() {
    for (QLabel* prompt : {c_.singlePrompt, c_.mediaPrompt, c_.functionPrompt, c_.macroNameLabel}) {
        widgets::fitLabelText(*prompt, kLabelPointSize, kSmallestLabelPointSize);
    }
}

void KeyAssignmentDialog::readRecord() {
    const model::KeyAssignment& record =
        parts_.configuration.edited.image.record(profile_, keyIndex_);
    page_ = static_cast<AssignmentType>(record.type);
    storedValue_ = record.value;
}

bool KeyAssignmentDialog::isKeyPage() const {
    return page_ != AssignmentType::playMacro && page_ != AssignmentType::multimedia &&
           page_ != AssignmentType::keyboardFunction;
}

void KeyAssignmentDialog::showPage(bool withStoredValue) {
    setPagePicture();
    if (withStoredValue) {
        switch (page_) {
        case AssignmentType::playMacro:
            break; // the macro page selected the stored macro when it loaded
        case AssignmentType::multimedia:
            c_.mediaList->setCurrentIndex(
                entryOfValue(storedValue_, static_cast<int>(model::MediaKeyTable().size())));
            break;
        case AssignmentType::keyboardFunction:
            c_.functionList->setCurrentIndex(entryOfValue(storedValue_, model::kFunctionKeyCount));
            break;
        default:
            showStoredKey();
            break;
        }
    }
    setPageVisibility();
    if (isKeyPage()) {
        c_.capturedKey->setFocus();
    } else if (page_ == AssignmentType::multimedia) {
        c_.mediaList->setFocus();
    } else if (page_ == AssignmentType::keyboardFunction) {
        c_.functionList->setFocus();
    }
}

// A mouse action shows on the mouse list, any other key by its name; the text always names
// the code Apply would store.
void KeyAssignmentDialog::showStoredKey() {
    // The value of a kept record names no key.
    const model::KeyCode code = isPageOfDialog(page_) ? keyCodeOfValue(storedValue_) : 0;
    if (const auto mouse = mouseEntryOf(code)) {
        c_.mouseList->setCurrentIndex(*mouse);
        capturedCode_ = 0;
        chooseKeyboard(false);
    } else {
        capturedCode_ = code;
        chooseKeyboard(true);
    }
    showCapturedKey();
}

void KeyAssignmentDialog::showCapturedKey() {
    c_.capturedKey->setText(capturedCode_ == 0
                                ? QString()
                                : fromUtf8(model::keyNameFromCode(capturedCode_, parts_.texts)));
}

void KeyAssignmentDialog::setPagePicture() {
    const PictureFiles* files = &kKeyPictures;
    if (page_ == AssignmentType::playMacro) {
        files = &kMacroPictures;
    } else if (page_ == AssignmentType::multimedia) {
        files = &kMediaPictures;
    } else if (page_ == AssignmentType::keyboardFunction) {
        files = &kFunctionPictures;
    }
    skin::placeImageButton(*c_.pagePicture, iniPath(), skin::kButtonSection, "CONTROL_MASK",
                           picturesOf(iniFolder(), *files));
}

void KeyAssignmentDialog::setPageVisibility() {
    const bool keyPage = isKeyPage();
    const bool macroPage = page_ == AssignmentType::playMacro;
    const bool mediaPage = page_ == AssignmentType::multimedia;
    const bool functionPage = page_ == AssignmentType::keyboardFunction;
    for (QWidget* control : std::initializer_list<QWidget*>{
             c_.singlePrompt, c_.capturedKey, c_.keyboardRadio, c_.mouseRadio, c_.keyboardLabel,
             c_.mouseLabel, c_.mouseList, c_.editedKeyLabel}) {
        control->setVisible(keyPage);
    }
    c_.mediaPrompt->setVisible(mediaPage);
    c_.mediaList->setVisible(mediaPage);
    c_.functionPrompt->setVisible(functionPage);
    c_.functionList->setVisible(functionPage);
    c_.macroNameLabel->setVisible(macroPage);
    macroPage_->setVisible(macroPage);
    c_.keyPageButton->setSelectedLook(keyPage);
    c_.macroPageButton->setSelectedLook(macroPage);
    c_.mediaPageButton->setSelectedLook(mediaPage);
    c_.functionPageButton->setSelectedLook(functionPage);
}

void KeyAssignmentDialog::choosePage(AssignmentType page) {
    const bool current =
        page == AssignmentType::singleKey
            ? page_ == AssignmentType::singleKey || page_ == AssignmentType::defaultAction
            : page_ == page;
    if (current) {
        return;
    }
    page_ = page;
    showPage(false);
    setModified(true);
}

void KeyAssignmentDialog::chooseKeyboard(bool keyboard) {
    // Radios of one parent exclude each other: turning one on turns the other off.
    (keyboard ? c_.keyboardRadio : c_.mouseRadio)->setChecked(true);
    c_.capturedKey->setEnabled(keyboard);
    c_.mouseList->setEnabled(!keyboard);
}

// The key gets its own function back.
void KeyAssignmentDialog::clearKey() {
    choosePage(AssignmentType::singleKey);
    capturedCode_ = 0;
    showCapturedKey();
    page_ = AssignmentType::defaultAction;
    chooseKeyboard(true);
    setModified(true);
}

void KeyAssignmentDialog::placeWindow(int controlId) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen != nullptr ? screen->geometry().size() : QSize();
    if (macroOnly_) {
        move((screenSize.width() - width()) / 2, (screenSize.height() - height()) / 2);
        return;
    }
    const QRect keyButton = parts_.keyButtonRect ? parts_.keyButtonRect(controlId) : QRect();
    move(dialogPlaceBesideKey(keyButton, size(), screenSize));
}

void KeyAssignmentDialog::setModified(bool modified) {
    c_.applyButton->setEnabled(modified);
}

model::KeyAssignment KeyAssignmentDialog::builtRecord() const {
    model::KeyAssignment built;
    built.type = static_cast<std::uint16_t>(page_);
    if (keyIndex_ >= model::kFirstExtraKeyIndex) {
        built.aux = model::extraKeyTag(keyIndex_ - model::kFirstExtraKeyIndex);
    }
    switch (page_) {
    case AssignmentType::singleKey:
        if (c_.mouseRadio->isChecked()) {
            built.value = kMouseChoices[static_cast<std::size_t>(entryOfValue(
                                            c_.mouseList->currentIndex(),
                                            static_cast<int>(std::size(kMouseChoices))))]
                              .code;
            break;
        }
        built.value = capturedCode_;
        // A key given its own function does what the keyboard's table says.
        if (capturedCode_ == 0 || model::keyIndexFromCode(capturedCode_) == keyIndex_) {
            built.type = static_cast<std::uint16_t>(AssignmentType::defaultAction);
        }
        break;
    case AssignmentType::playMacro:
        if (const std::uint16_t id = macroPage_->selectedMacroId(); id != 0) {
            built.value = id;
            built.aux = macroPage_->cycles();
        } else {
            built.type = static_cast<std::uint16_t>(AssignmentType::defaultAction);
        }
        break;
    case AssignmentType::multimedia:
        built.value = std::max(c_.mediaList->currentIndex(), 0);
        break;
    case AssignmentType::keyboardFunction:
        built.value = std::max(c_.functionList->currentIndex(), 0);
        break;
    default:
        break;
    }
    return built;
}

void KeyAssignmentDialog::apply() {
    macroPage_->commit();
    if (isPageOfDialog(page_)) {
        const model::KeyAssignment built = builtRecord();
        model::KeyModel& edited = parts_.configuration.edited;
        // The marker and reserved fields belong to the colour mode and stay as they are.
        model::KeyAssignment& record = edited.image.record(profile_, keyIndex_);
        record.type = built.type;
        record.aux = built.aux;
        record.value = built.value;
        edited.strings
            .entries[static_cast<std::size_t>(profile_) * model::kRecordsPerBank + keyIndex_]
            .clear();
    }
    setModified(false);
    if (parts_.recordWritten) {
        parts_.recordWritten();
    }
}

void KeyAssignmentDialog::done(int result) {
    if (open_) {
        closeEditor();
    }
    SkinnedDialog::done(result);
}

void KeyAssignmentDialog::closeEditor() {
    qApp->removeEventFilter(this);
    macroPage_->freeWorkingCopies();
    setModified(false);
    open_ = false;
}

bool KeyAssignmentDialog::eventFilter(QObject* watched, QEvent* event) {
    if (!open_ || !watched->isWidgetType()) {
        return false;
    }
    auto* widget = static_cast<QWidget*>(watched);
    if (widget != this && !isAncestorOf(widget)) {
        return false;
    }
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Taken keys go to the dialog as key events, never to a shortcut.
        if (isKeyPage() || macroPage_->recording()) {
            event->accept();
            return true;
        }
        return false;
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
        return filterKey(watched, static_cast<const QKeyEvent&>(*event));
    default:
        return false;
    }
}

bool KeyAssignmentDialog::filterKey(QObject* target, const QKeyEvent& event) {
    const bool release = event.type() == QEvent::KeyRelease;
    const auto native = platform::translateNativeKey(
        event.nativeScanCode(), event.nativeVirtualKey(), release, event.isAutoRepeat());
    if (page_ == AssignmentType::playMacro && macroPage_->recording() && native &&
        macroPage_->recordKey(*native)) {
        return true;
    }
    if (isKeyPage() && captureKey(native)) {
        return true;
    }
    switch (event.key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        // They end an edit on the macro page; nothing else on the dialog sees them.
        return !macroPage_->takesEditKeys(*target);
    case Qt::Key_F1:
        if (!release && !event.isAutoRepeat() && parts_.openDocument) {
            parts_.openDocument((parts_.helpFolder / "index.html").string());
        }
        return true;
    default:
        return false;
    }
}

// The single-key capture; true when the event is swallowed. Keys without a name and the
// multimedia keys keep working.
bool KeyAssignmentDialog::captureKey(const std::optional<platform::NativeKeyEvent>& native) {
    if (!native) {
        return false;
    }
    const model::KeyCode code = model::keyCodeFromKeyEvent(native->vk, native->keyData);
    // Print Screen reaches programs as its release alone.
    const bool taken = code == kPrintScreen || (!native->isRelease() && !native->isAutoRepeat());
    if (isWindowsKey(native->vk)) {
        if (taken) {
            takeKey(code);
        }
        return true;
    }
    if (code == 0 || platform::isPassThroughKey(*native)) {
        return false;
    }
    if (taken && c_.keyboardRadio->isChecked()) {
        takeKey(code);
    }
    return true;
}

void KeyAssignmentDialog::takeKey(model::KeyCode code) {
    capturedCode_ = code;
    showCapturedKey();
    page_ = AssignmentType::singleKey;
    setModified(true);
}

void KeyAssignmentDialog::keyPressEvent(QKeyEvent* event) {
    event->accept();
}

void KeyAssignmentDialog::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
}

} // namespace velkan::editors
