#include "editors/single_key_page.h"

#include "editors/editor_look.h"
#include "model/key_codes.h"
#include "skin/skin_layout.h"
#include "widgets/skin_combo.h"
#include "widgets/skin_look.h"

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <algorithm>
#include <initializer_list>
#include <iterator>
#include <string_view>

namespace velkan::editors {
namespace {

constexpr model::KeyCode kPrintScreen = 0x137;
// Left and right Windows key and the menu key: captured whatever the radios say.
constexpr std::uint8_t kWindowsKeyVks[] = {0x5B, 0x5C, 0x5D};
constexpr double kCapturedKeyPointSize = 14;
// The skin has no place for the mouse list: it sits right of its radio's label, as far as
// the captured-key field reaches.
constexpr int kMouseListGap = 8;

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
constexpr int kMouseChoiceCount = static_cast<int>(std::size(kMouseChoices));

std::optional<int> mouseEntryOf(model::KeyCode code) {
    const auto found = std::find_if(std::begin(kMouseChoices), std::end(kMouseChoices),
                                    [code](const MouseChoice& c) { return c.code == code; });
    if (found == std::end(kMouseChoices)) {
        return std::nullopt;
    }
    return static_cast<int>(found - std::begin(kMouseChoices));
}

bool isWindowsKey(std::uint8_t vk) {
    return std::find(std::begin(kWindowsKeyVks), std::end(kWindowsKeyVks), vk) !=
           std::end(kWindowsKeyVks);
}

} // namespace

SingleKeyPage::SingleKeyPage(QWidget& dialog, const std::filesystem::path& iniPath,
                             const lang::TextLookup& texts)
    : dialog_(dialog), texts_(texts) {
    keyboardLabel_ = newPageLabel(dialog, "keyboardLabel", iniPath, "FUNC_KEY_RADIO_KB_STATIC");
    mouseLabel_ = newPageLabel(dialog, "mouseLabel", iniPath, "FUNC_KEY_RADIO_MOU_STATIC");
    singlePrompt_ = newPageLabel(dialog, "singlePrompt", iniPath, "TISHI_SINGLE_STATIC");
    editedKeyLabel_ = newPageLabel(dialog, "editedKeyLabel", iniPath, "KEY_SETTING");

    capturedKey_ = new QLineEdit(&dialog);
    capturedKey_->setObjectName(QStringLiteral("capturedKey"));
    widgets::applySkinLook(*capturedKey_);
    capturedKey_->setReadOnly(true);
    capturedKey_->setAlignment(Qt::AlignCenter);
    capturedKey_->setFont(editorFont(kCapturedKeyPointSize));
    skin::placeControl(*capturedKey_, iniPath, skin::kButtonSection, "FUNC_KEY_INPUT");
    createRadios(iniPath);
    createMouseList(iniPath);
}

SingleKeyPage::~SingleKeyPage() = default;

// The radios show no caption and no background of their own: their labels lie beside them.
void SingleKeyPage::createRadios(const std::filesystem::path& iniPath) {
    const auto addRadio = [this, &iniPath](const char* name, const char* skinKey, bool keyboard) {
        auto* radio = new QRadioButton(&dialog_);
        radio->setObjectName(QString::fromLatin1(name));
        skin::placeControl(*radio, iniPath, skin::kButtonSection, skinKey);
        connect(radio, &QRadioButton::clicked, this, [this, keyboard] {
            chooseKeyboard(keyboard);
            emit chosen();
        });
        return radio;
    };
    keyboardRadio_ = addRadio("keyboardRadio", "FUNC_KEY_RADIO_KB", true);
    mouseRadio_ = addRadio("mouseRadio", "FUNC_KEY_RADIO_MOU", false);
}

void SingleKeyPage::createMouseList(const std::filesystem::path& iniPath) {
    mouseList_ = newPageList(dialog_, "mouseList");
    // Choosing an entry is an edit; entries the dialog selects itself are not.
    connect(mouseList_, &QComboBox::activated, this, &SingleKeyPage::modified);
    const QRect mouseLabel =
        skin::readSkinRect(iniPath, skin::kButtonSection, "FUNC_KEY_RADIO_MOU_STATIC");
    const QRect keyField = skin::readSkinRect(iniPath, skin::kButtonSection, "FUNC_KEY_INPUT");
    const int listHeight =
        skin::readSkinRect(iniPath, skin::kButtonSection, "FUNC_MEDIA_SELECT").height();
    const int listLeft = mouseLabel.x() + mouseLabel.width() + kMouseListGap;
    mouseList_->setGeometry(listLeft, mouseLabel.center().y() - listHeight / 2,
                            std::max(keyField.x() + keyField.width() - listLeft, 0), listHeight);
    for (int i = 0; i < kMouseChoiceCount; ++i) {
        mouseList_->addItem(QString());
    }
}

void SingleKeyPage::reloadTexts(const QString& editedKey) {
    const auto text = [this](std::string_view key) {
        return QString::fromStdString(texts_.text(key));
    };
    keyboardLabel_->setText(text("IDS_MACRO_KB_KEY"));
    mouseLabel_->setText(text("IDS_MACRO_MOU_KEY"));
    singlePrompt_->setText(text("SINGLE_STATIC"));
    editedKeyLabel_->setText(editedKey);
    fitPrompt(*singlePrompt_);
    for (int i = 0; i < kMouseChoiceCount; ++i) {
        mouseList_->setItemText(i, text(kMouseChoices[static_cast<std::size_t>(i)].textKey));
    }
    showCapturedKey();
}

void SingleKeyPage::setVisible(bool visible) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             singlePrompt_, capturedKey_, keyboardRadio_, mouseRadio_, keyboardLabel_, mouseLabel_,
             mouseList_, editedKeyLabel_}) {
        control->setVisible(visible);
    }
}

void SingleKeyPage::focus() {
    capturedKey_->setFocus();
}

void SingleKeyPage::reset() {
    mouseList_->setCurrentIndex(0);
    capturedCode_ = 0;
}

void SingleKeyPage::showStoredKey(model::KeyCode code) {
    if (const auto mouse = mouseEntryOf(code)) {
        mouseList_->setCurrentIndex(*mouse);
        capturedCode_ = 0;
        chooseKeyboard(false);
    } else {
        capturedCode_ = code;
        chooseKeyboard(true);
    }
    showCapturedKey();
}

void SingleKeyPage::clear() {
    capturedCode_ = 0;
    showCapturedKey();
    chooseKeyboard(true);
}

bool SingleKeyPage::mouseChosen() const {
    return mouseRadio_->isChecked();
}

model::KeyCode SingleKeyPage::chosenCode() const {
    if (!mouseChosen()) {
        return capturedCode_;
    }
    const int entry = mouseList_->currentIndex();
    return kMouseChoices[static_cast<std::size_t>(entry >= 0 && entry < kMouseChoiceCount ? entry
                                                                                          : 0)]
        .code;
}

void SingleKeyPage::chooseKeyboard(bool keyboard) {
    // Radios of one parent exclude each other: turning one on turns the other off.
    (keyboard ? keyboardRadio_ : mouseRadio_)->setChecked(true);
    capturedKey_->setEnabled(keyboard);
    mouseList_->setEnabled(!keyboard);
}

void SingleKeyPage::showCapturedKey() {
    capturedKey_->setText(
        capturedCode_ == 0 ? QString()
                           : QString::fromStdString(model::keyNameFromCode(capturedCode_, texts_)));
}

bool SingleKeyPage::captureKey(const std::optional<platform::NativeKeyEvent>& native) {
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
    if (taken && keyboardRadio_->isChecked()) {
        takeKey(code);
    }
    return true;
}

void SingleKeyPage::takeKey(model::KeyCode code) {
    capturedCode_ = code;
    showCapturedKey();
    emit chosen();
    emit modified();
}

} // namespace velkan::editors
