#include "editors/key_assignment_dialog.h"

#include "editors/choice_list_page.h"
#include "editors/editor_look.h"
#include "editors/macro_page.h"
#include "editors/page_chooser.h"
#include "editors/single_key_page.h"
#include "model/key_codes.h"
#include "skin/image_button.h"
#include "skin/skin_layout.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QString>
#include <QStringList>
#include <algorithm>
#include <iterator>
#include <string_view>
#include <utility>

namespace velkan::editors {
namespace {

using model::AssignmentType;

using Controls = KeyAssignmentDialog::Controls;
using ButtonMember = Controls::Button Controls::*;

struct ButtonPlace {
    ButtonMember member;
    const char* skinKey;
    const char* name;
};
// The frame's buttons, drawn from the key pictures, with their skin keys.
constexpr ButtonPlace kButtonPlaces[] = {
    {&Controls::title, "CONTROL_TITLE", "title"},
    {&Controls::onScreenKeyboardButton, "CONTROL_OSK", "onScreenKeyboardButton"},
    {&Controls::clearButton, "CONTROL_CLEAR", "clearButton"},
    {&Controls::okButton, "CONTROL_OK", "okButton"},
    {&Controls::cancelButton, "CONTROL_CANCEL", "cancelButton"},
};
// Opened for a macro, these wear the second macro pictures, and the clear button is disabled.
constexpr ButtonMember kMacroOnlyRestyled[] = {&Controls::title, &Controls::clearButton};

struct Caption {
    ButtonMember member;
    std::string_view textKey;
};
constexpr Caption kCaptions[] = {
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

constexpr ChoiceListPage::Names kMediaNames{"mediaPrompt", "MEDIA_SETTING_TISHI", "mediaList",
                                            "FUNC_MEDIA_SELECT"};
constexpr ChoiceListPage::Names kFunctionNames{"functionPrompt", "FUNCTION_KEY_SETTING_TISHI",
                                               "functionList", "FUNC_FUNCTION_SELECT"};

QString fromUtf8(const std::string& text) {
    return QString::fromStdString(text);
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

} // namespace

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
    : SkinnedDialog(parent, parts.iniPath, parts.iniFolder), parts_(std::move(parts)) {
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
    if (!model::isKeyImageIndex(key.keyIndex) || !initialise()) {
        return false;
    }
    keyIndex_ = key.keyIndex;
    macroOnly_ = openedForMacro;
    // Before the keyboard has been read the main window shows the first profile.
    profile_ = std::clamp(parts_.currentProfile ? parts_.currentProfile() : 0, 0,
                          model::kProfileCount - 1);
    open_ = true;
    qApp->installEventFilter(this);

    placeButtons();
    pageChooser_->place(macroOnly_);
    singleKeyPage_->reset();
    mediaPage_->select(0);
    functionPage_->select(0);
    readRecord();
    const bool macroRecord = page_ == AssignmentType::playMacro;
    macroPage_->loadWorkingCopies(macroRecord ? keyCodeOfValue(storedValue_) : 0);
    if (macroOnly_) {
        page_ = AssignmentType::playMacro;
    }
    showPage(true);
    setModified(false);
    placeWindow(key.button);
    changeLanguage(languageIndex_);
    return true;
}

bool KeyAssignmentDialog::onInitDialog() {
    createButtons();
    connectButtons();
    createPages();
    return true;
}

void KeyAssignmentDialog::createButtons() {
    pageChooser_ = std::make_unique<PageChooser>(*this, iniPath(), iniFolder(), parts_.texts);
    connect(pageChooser_.get(), &PageChooser::pageChosen, this, &KeyAssignmentDialog::choosePage);
    for (const ButtonPlace& place : kButtonPlaces) {
        c_.*place.member = newEditorButton(*this, place.name);
    }
    for (const Caption& caption : kCaptions) {
        (c_.*caption.member)->setTextStyle(editorCaptionStyle());
    }
    c_.title->setTextStyle(editorCaptionStyle());
    c_.applyButton = newEditorButton(*this, "applyButton");
    c_.applyButton->hide();
    // The title plate is a picture: the window is dragged by it.
    c_.title->setAttribute(Qt::WA_TransparentForMouseEvents);
}

void KeyAssignmentDialog::connectButtons() {
    const auto onClick = [this](skin::ImageButton* button, auto slot) {
        connect(button, &QAbstractButton::clicked, this, slot);
    };
    onClick(c_.okButton, [this] {
        apply();
        accept();
    });
    onClick(c_.cancelButton, [this] { reject(); });
    onClick(c_.applyButton, [this] { apply(); });
    onClick(c_.clearButton, [this] { clearKey(); });
    onClick(c_.onScreenKeyboardButton, [this] {
        if (parts_.startOnScreenKeyboard) {
            parts_.startOnScreenKeyboard();
        }
    });
}

void KeyAssignmentDialog::createPages() {
    const auto& ini = iniPath();
    singleKeyPage_ = std::make_unique<SingleKeyPage>(*this, ini, parts_.texts);
    connect(singleKeyPage_.get(), &SingleKeyPage::chosen, this,
            [this] { page_ = AssignmentType::singleKey; });
    mediaPage_ = std::make_unique<ChoiceListPage>(*this, ini, kMediaNames,
                                                  static_cast<int>(model::MediaKeyTable().size()));
    functionPage_ =
        std::make_unique<ChoiceListPage>(*this, ini, kFunctionNames, model::kFunctionKeyCount);
    const auto markModified = [this] { setModified(true); };
    connect(singleKeyPage_.get(), &SingleKeyPage::modified, this, markModified);
    for (const ChoiceListPage* page : {mediaPage_.get(), functionPage_.get()}) {
        connect(page, &ChoiceListPage::modified, this, markModified);
    }
    c_.macroNameLabel = newPageLabel(*this, "macroNameLabel", ini, "MARCO_NAME_SETTING");
    macroPage_->createControls();
}

// Every opening places the buttons afresh: an opening for a macro gives some of them other
// pictures and disables them.
void KeyAssignmentDialog::placeButtons() {
    const auto& ini = iniPath();
    const auto keyPictures = editorPictures(iniFolder(), kKeyPictures);
    const auto macroOnlyPictures = editorPictures(iniFolder(), kMacroOnlyPictures);
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
    if (!singleKeyPage_) {
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
    pageChooser_->reloadTexts();
    singleKeyPage_->reloadTexts(fromUtf8(keyButtonName(keyIndex_, texts)));
    QStringList media;
    for (const model::MediaKey& key : model::MediaKeyTable()) {
        media << fromUtf8(model::keyNameFromCode(key.code, texts));
    }
    mediaPage_->reloadTexts(text("MEDIA_EDIT_TISHI"), media);
    QStringList functions;
    for (int i = 0; i < model::kFunctionKeyCount; ++i) {
        functions << text(model::functionKeyLanguageKey(i));
    }
    functionPage_->reloadTexts(text("FUNCTION_TISHI"), functions);
    c_.macroNameLabel->setText(text("MACRO_NAME_SETTING"));
    fitPrompt(*c_.macroNameLabel);
    macroPage_->reloadTexts();
}

void KeyAssignmentDialog::readRecord() {
    const model::KeyAssignment& record =
        parts_.configuration.edited.image.record(profile_, keyIndex_);
    page_ = static_cast<AssignmentType>(record.type);
    storedValue_ = record.value;
}

bool KeyAssignmentDialog::isKeyPage() const {
    return isSingleKeyPage(page_);
}

void KeyAssignmentDialog::showPage(bool withStoredValue) {
    pageChooser_->show(page_);
    if (withStoredValue) {
        switch (page_) {
        case AssignmentType::playMacro:
            break; // the macro page selected the stored macro when it loaded
        case AssignmentType::multimedia:
            mediaPage_->select(storedValue_);
            break;
        case AssignmentType::keyboardFunction:
            functionPage_->select(storedValue_);
            break;
        default:
            // The value of a kept record names no key.
            singleKeyPage_->showStoredKey(isPageOfDialog(page_) ? keyCodeOfValue(storedValue_) : 0);
            break;
        }
    }
    setPageVisibility();
    if (isKeyPage()) {
        singleKeyPage_->focus();
    } else if (page_ == AssignmentType::multimedia) {
        mediaPage_->focus();
    } else if (page_ == AssignmentType::keyboardFunction) {
        functionPage_->focus();
    }
}

void KeyAssignmentDialog::setPageVisibility() {
    const bool keyPage = isKeyPage();
    const bool macroPage = page_ == AssignmentType::playMacro;
    const bool mediaPage = page_ == AssignmentType::multimedia;
    const bool functionPage = page_ == AssignmentType::keyboardFunction;
    singleKeyPage_->setVisible(keyPage);
    mediaPage_->setVisible(mediaPage);
    functionPage_->setVisible(functionPage);
    c_.macroNameLabel->setVisible(macroPage);
    macroPage_->setVisible(macroPage);
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

// The key gets its own function back.
void KeyAssignmentDialog::clearKey() {
    choosePage(AssignmentType::singleKey);
    singleKeyPage_->clear();
    page_ = AssignmentType::defaultAction;
    setModified(true);
}

void KeyAssignmentDialog::placeWindow(model::KeyButton key) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const QSize screenSize = screen != nullptr ? screen->geometry().size() : QSize();
    if (macroOnly_) {
        move((screenSize.width() - width()) / 2, (screenSize.height() - height()) / 2);
        return;
    }
    const QRect keyButton = parts_.keyButtonRect ? parts_.keyButtonRect(key) : QRect();
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
    case AssignmentType::singleKey: {
        const model::KeyCode code = singleKeyPage_->chosenCode();
        built.value = code;
        // A key given its own function does what the keyboard's table says.
        if (!singleKeyPage_->mouseChosen() &&
            (code == 0 || model::keyIndexFromCode(code) == keyIndex_)) {
            built.type = static_cast<std::uint16_t>(AssignmentType::defaultAction);
        }
        break;
    }
    case AssignmentType::playMacro:
        if (const std::uint16_t id = macroPage_->selectedMacroId(); id != 0) {
            built.value = id;
            built.aux = macroPage_->cycles();
        } else {
            built.type = static_cast<std::uint16_t>(AssignmentType::defaultAction);
        }
        break;
    case AssignmentType::multimedia:
        built.value = mediaPage_->chosenValue();
        break;
    case AssignmentType::keyboardFunction:
        built.value = functionPage_->chosenValue();
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
    if (isKeyPage() && singleKeyPage_->captureKey(native)) {
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

void KeyAssignmentDialog::keyPressEvent(QKeyEvent* event) {
    event->accept();
}

void KeyAssignmentDialog::keyReleaseEvent(QKeyEvent* event) {
    event->accept();
}

} // namespace velkan::editors
