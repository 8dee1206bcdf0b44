#include "editors/macro_page.h"

#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "widgets/skin_combo.h"
#include "widgets/skin_list.h"
#include "widgets/skin_look.h"

#include <QCheckBox>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <chrono>
#include <initializer_list>
#include <limits>
#include <new>
#include <utility>

namespace velkan::editors {

namespace {

// Mouse button messages as the key codes' mouse table numbers them.
constexpr std::uint32_t kLeftButtonDown = 0x201;
constexpr std::uint32_t kLeftButtonUp = 0x202;
constexpr std::uint32_t kRightButtonDown = 0x204;
constexpr std::uint32_t kRightButtonUp = 0x205;
constexpr std::uint32_t kMiddleButtonDown = 0x207;
constexpr std::uint32_t kMiddleButtonUp = 0x208;

constexpr std::uint8_t kLeftWindowsVk = 0x5B;
constexpr std::uint8_t kRightWindowsVk = 0x5C;

constexpr std::string_view kOptionSection = "PROFILES";
// Named apart from any language, so that the option outlives a change of language.
constexpr std::string_view kRecordDelayEntry = "RecordDelay";

constexpr int kKeyDropDownRows = 20;
constexpr int kKindDropDownRows = 6;
// Key ids 0x0000-0x0069: the keys the key chooser offers.
constexpr std::uint16_t kChooserKeyCount = 0x6A;
constexpr std::uint32_t kDelayStep = 10;
// Every recorded step when the measured delays are not wanted.
constexpr std::uint32_t kFixedRecordedDelay = 50;
// How long a key whose press never arrives is held before its release.
constexpr std::uint32_t kSyntheticPressDelay = 2;
constexpr unsigned kMinCycles = 1;
constexpr unsigned kMaxCycles = 255;
constexpr int kMaxCyclesDigits = 3;

// The arrows say it at a glance, the words for whoever does not know the arrows.
const QString kPressArrow = QStringLiteral("\u2193 ");
const QString kReleaseArrow = QStringLiteral("\u2191 ");
// Room around a cell's text, as the list draws it.
constexpr int kCellPadding = 12;
// The widest delay a cell shows.
const QString kWidestDelay = QStringLiteral("40000");

using Controls = MacroPage::Controls;
using ButtonMember = Controls::Button Controls::*;

struct ButtonPlace {
    ButtonMember member;
    const char* skinKey;
    const char* name;
};
constexpr ButtonPlace kButtons[] = {
    {&Controls::addMacroButton, "FUNC_MACRO_ADD", "addMacroButton"},
    {&Controls::deleteMacroButton, "FUNC_MACRO_DELETE", "deleteMacroButton"},
    {&Controls::recordButton, "FUNC_MACRO_RECORD", "recordButton"},
    {&Controls::deleteActionButton, "FUNC_MACRO_DELETE2", "deleteActionButton"},
    {&Controls::clearActionsButton, "FUNC_MACRO_CLEAR", "clearActionsButton"},
    {&Controls::topButton, "FUNC_MACRO_UP_TOP", "topButton"},
    {&Controls::upButton, "FUNC_MACRO_UP", "upButton"},
    {&Controls::downButton, "FUNC_MACRO_DOWN", "downButton"},
    {&Controls::bottomButton, "FUNC_MACRO_DOWN_BOTTOM", "bottomButton"},
};

struct ToolTip {
    ButtonMember member;
    std::string_view textKey;
};
constexpr ToolTip kToolTips[] = {
    {&Controls::clearActionsButton, lang::textKey("A_CLEAR")},
    {&Controls::topButton, lang::textKey("A_TOP")},
    {&Controls::upButton, lang::textKey("A_UP")},
    {&Controls::downButton, lang::textKey("A_DOWN")},
    {&Controls::bottomButton, lang::textKey("A_BOTTOM")},
};

// The buttons that act on the selected macro's actions.
constexpr ButtonMember kActionButtons[] = {
    &Controls::recordButton, &Controls::deleteActionButton, &Controls::clearActionsButton,
    &Controls::topButton,    &Controls::upButton,           &Controls::downButton,
    &Controls::bottomButton};

std::uint64_t steadyMilliseconds() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

QFont listFont(int pointSize) {
    return QFont(widgets::skinFontFamily(), pointSize, QFont::Normal);
}

QLabel* newLabel(QWidget& dialog, const char* name) {
    auto* label = new QLabel(&dialog);
    label->setObjectName(QString::fromLatin1(name));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, QColor(228, 228, 228));
    label->setPalette(palette);
    return label;
}

// A row keeps its whole action, so values the cells do not show (a released field other than
// 0 or 1 read from a file) survive editing.
QVariant packAction(const model::MacroAction& action) {
    return QVariant::fromValue<qulonglong>(qulonglong{action.delay} | qulonglong{action.key} << 32 |
                                           qulonglong{action.released} << 48);
}

model::MacroAction unpackAction(const QVariant& packed) {
    const qulonglong bits = packed.toULongLong();
    return {static_cast<std::uint32_t>(bits & 0xFFFFFFFFU),
            static_cast<std::uint16_t>((bits >> 32) & 0xFFFFU),
            static_cast<std::uint16_t>((bits >> 48) & 0xFFFFU)};
}

std::uint32_t mouseMessage(Qt::MouseButton button, bool release) {
    switch (button) {
    case Qt::LeftButton:
        return release ? kLeftButtonUp : kLeftButtonDown;
    case Qt::RightButton:
        return release ? kRightButtonUp : kRightButtonDown;
    case Qt::MiddleButton:
        return release ? kMiddleButtonUp : kMiddleButtonDown;
    default:
        return 0;
    }
}

bool isMediaKey(model::KeyCode code) {
    const auto& media = model::MediaKeyTable();
    return std::any_of(media.begin(), media.end(),
                       [code](const model::MediaKey& key) { return key.code == code; });
}

// A record that stops playing a macro gets the aux every other type carries.
std::uint16_t fixedAuxTag(std::size_t recordIndex) {
    const std::size_t index = recordIndex % model::kRecordsPerBank;
    const std::size_t firstExtra = model::kFirstExtraKeyIndex;
    if (index < firstExtra || index >= firstExtra + model::kExtraKeyCount) {
        return 0;
    }
    return model::extraKeyTag(static_cast<int>(index - firstExtra));
}

std::ptrdiff_t slotOfId(const model::MacroList& macros, std::int32_t id) {
    const auto found = std::find_if(macros.begin(), macros.end(),
                                    [id](const model::MacroRecord& m) { return m.id == id; });
    return found == macros.end() ? -1 : found - macros.begin();
}

} // namespace

skin::ButtonTextStyle editorCaptionStyle() {
    skin::ButtonTextStyle style;
    style.on = true;
    // One size for every caption, so no button looks more important than the others.
    style.pointSize = 8;
    style.face = widgets::skinFontFamily();
    style.normal = style.selected = QColor(255, 255, 255);
    style.over = QColor(255, 130, 0);
    style.down = QColor(255, 155, 4);
    style.disabled = QColor(127, 127, 127);
    return style;
}

MacroPage::MacroPage(Parts parts) : parts_(std::move(parts)), clock_(steadyMilliseconds) {}

MacroPage::~MacroPage() = default;

QString MacroPage::text(std::string_view key) const {
    return QString::fromStdString(parts_.texts.text(key));
}

std::vector<QWidget*> MacroPage::allControls() const {
    std::vector<QWidget*> controls = {c_.macroList,   c_.actionList,     c_.cyclesField,
                                      c_.cyclesLabel, c_.recordDelayBox, c_.recordDelayLabel};
    for (const ButtonPlace& place : kButtons) {
        controls.push_back(c_.*place.member);
    }
    return controls;
}

bool MacroPage::takesEditKeys(const QObject& target) const {
    if (c_.actionList == nullptr) {
        return false;
    }
    const auto* widget = qobject_cast<const QWidget*>(&target);
    return &target == c_.macroList ||
           (c_.actionList->isEditing() && widget != nullptr && c_.actionList->isAncestorOf(widget));
}

void MacroPage::setClock(Clock clock) {
    if (clock) {
        clock_ = std::move(clock);
    }
}

void MacroPage::markModified() {
    if (parts_.modified) {
        parts_.modified();
    }
}

void MacroPage::createControls() {
    if (c_.macroList != nullptr) {
        return;
    }
    QWidget& dialog = parts_.dialog;
    const std::filesystem::path& ini = parts_.iniPath;
    createButtons();

    c_.macroList = new widgets::SkinCombo(widgets::ComboKind::Editable, &dialog);
    c_.macroList->setObjectName(QStringLiteral("macroList"));
    skin::placeControl(*c_.macroList, ini, skin::kButtonSection, "FUNC_MACRO_LIST");
    c_.macroList->setFont(listFont(12));
    c_.macroList->lineEdit()->setMaxLength(static_cast<int>(model::kMacroNameUnits - 1));
    connect(c_.macroList, &QComboBox::currentIndexChanged, this, &MacroPage::onSelectionChanged);
    connect(c_.macroList, &widgets::SkinCombo::editCommitted, this, &MacroPage::renameMacro);

    createActionList();

    c_.cyclesField = new QLineEdit(&dialog);
    c_.cyclesField->setObjectName(QStringLiteral("cyclesField"));
    skin::placeControl(*c_.cyclesField, ini, skin::kButtonSection, "FUNC_MACRO_CYCLES");
    c_.cyclesField->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]*")), c_.cyclesField));
    c_.cyclesField->setMaxLength(kMaxCyclesDigits);
    c_.cyclesField->setText(QStringLiteral("1"));
    widgets::applySkinLook(*c_.cyclesField);
    connect(c_.cyclesField, &QLineEdit::textEdited, this, &MacroPage::onCyclesEdited);

    c_.recordDelayBox = new QCheckBox(&dialog);
    c_.recordDelayBox->setObjectName(QStringLiteral("recordDelayBox"));
    skin::placeControl(*c_.recordDelayBox, ini, skin::kButtonSection, "FUNC_MACRO_RECORD_DELAY");
    widgets::applySkinLook(*c_.recordDelayBox);
    connect(c_.recordDelayBox, &QCheckBox::clicked, this, &MacroPage::toggleRecordDelay);

    c_.cyclesLabel = newLabel(dialog, "cyclesLabel");
    skin::placeControl(*c_.cyclesLabel, ini, skin::kButtonSection, "FUNC_MACRO_CYCLES_PROMPT");
    c_.recordDelayLabel = newLabel(dialog, "recordDelayLabel");
    skin::placeControl(*c_.recordDelayLabel, ini, skin::kButtonSection, "FUNC_MACRO_RECORD_DELAY2");

    for (QWidget* control : allControls()) {
        control->hide();
    }
    showSelectedMacro();
    reloadTexts();
}

void MacroPage::createButtons() {
    const auto picture = [this](const char* name) {
        return skin::skinPicture(parts_.iniFolder / name);
    };
    const QPixmap down = picture("macro_down.jpg");
    // The selected look is the record button held down while recording.
    const skin::ButtonPictures pictures{picture("macro_normal.jpg"), picture("macro_over.jpg"),
                                        down, picture("macro_disable.jpg"), down};
    for (const ButtonPlace& place : kButtons) {
        auto* created = new skin::ImageButton(&parts_.dialog);
        created->setObjectName(QString::fromLatin1(place.name));
        skin::placeImageButton(*created, parts_.iniPath, skin::kButtonSection, place.skinKey,
                               pictures);
        c_.*place.member = created;
    }
    c_.recordButton->setTextStyle(editorCaptionStyle());
    c_.deleteActionButton->setTextStyle(editorCaptionStyle());
    const auto onClick = [this](skin::ImageButton* button, auto slot) {
        connect(button, &QAbstractButton::clicked, this, slot);
    };
    onClick(c_.addMacroButton, [this] { addMacro(); });
    onClick(c_.deleteMacroButton, [this] { deleteMacro(); });
    onClick(c_.recordButton, [this] {
        if (recording_) {
            stopRecording();
        } else {
            startRecording();
        }
    });
    onClick(c_.deleteActionButton, [this] { deleteAction(); });
    onClick(c_.clearActionsButton, [this] { clearActions(); });
    onClick(c_.topButton, [this] { moveAction(Move::toTop); });
    onClick(c_.upButton, [this] { moveAction(Move::up); });
    onClick(c_.downButton, [this] { moveAction(Move::down); });
    onClick(c_.bottomButton, [this] { moveAction(Move::toBottom); });
}

void MacroPage::createActionList() {
    c_.actionList = new widgets::SkinList(&parts_.dialog);
    widgets::SkinList& list = *c_.actionList;
    list.setObjectName(QStringLiteral("actionList"));
    skin::placeControl(list, parts_.iniPath, skin::kButtonSection, "FUNC_MACRO_LIST2");
    list.setFont(listFont(8));
    list.setColumns({{}, {}, {}});
    const QColor grey(widgets::kSkinDimText);
    list.setColumnTextColour(kKeyColumn, grey);
    list.setColumnTextColour(kKindColumn, grey);
    list.setColumnDigits(kDelayColumn, static_cast<int>(model::kMaxActionDelayMs));
    list.setLimitHandler([this](int, int, int maximum) {
        parts_.prompts.message(
            lang::formatWithNumber(parts_.texts.text("MACRO_ACTION_ERR_DELAY_MAX"), maximum));
    });
    connect(&list, &widgets::SkinList::editStarted, this, [this](int, int column) {
        if (column == kDelayColumn) {
            stopRecording();
        }
    });
    connect(&list, &widgets::SkinList::cellChanged, this, &MacroPage::onCellChanged);
    list.viewport()->installEventFilter(this);
}

// The delay and the kind take what their widest text needs, the key's name the rest: names
// such as "Print Screen" stay whole.
void MacroPage::fitActionColumns() {
    widgets::SkinList& list = *c_.actionList;
    const auto widest = [](const QFontMetrics& metrics, const QStringList& texts) {
        int width = 0;
        for (const QString& text : texts) {
            width = std::max(width, metrics.horizontalAdvance(text));
        }
        return width + kCellPadding;
    };
    const QFontMetrics cells(list.font());
    const QFontMetrics titles(list.header()->font());
    const auto title = [&list](int column) { return list.headerItem()->text(column); };
    const int kind = std::max(widest(cells, {kindText(false), kindText(true)}),
                              widest(titles, {title(kKindColumn)}));
    const int delay =
        std::max(widest(cells, {kWidestDelay}), widest(titles, {title(kDelayColumn)}));
    // Room for the scroll bar is kept, so the columns stay put when the list grows one.
    const int room = list.width() - 2 * list.frameWidth() -
                     list.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, &list);
    list.setColumnWidth(kKeyColumn,
                        std::max(room - kind - delay, widest(titles, {title(kKeyColumn)})));
    list.setColumnWidth(kKindColumn, kind);
    list.setColumnWidth(kDelayColumn, delay);
}

void MacroPage::setVisible(bool visible) {
    if (!visible) {
        if (c_.actionList != nullptr) {
            c_.actionList->commitEdit();
        }
        stopRecording();
    }
    if (c_.macroList == nullptr) {
        return;
    }
    for (QWidget* control : allControls()) {
        control->setVisible(visible);
    }
}

void MacroPage::reloadTexts() {
    if (c_.macroList == nullptr) {
        return;
    }
    c_.recordButton->setText(recording_ ? text("MACRO_ACTION_STOP_RECORD") : text("A_RECORD"));
    c_.deleteActionButton->setText(text("A_DELETE"));
    for (const ToolTip& tip : kToolTips) {
        (c_.*tip.member)->setToolTipText(text(tip.textKey));
    }
    c_.cyclesLabel->setText(text("MACRO_CYCLES"));
    c_.recordDelayLabel->setText(text("RECORD_DELAY"));
    widgets::SkinList& list = *c_.actionList;
    list.setColumnTitle(kKeyColumn, text("MACRO_KEYS_TISHI"));
    list.setColumnTitle(kKindColumn, text("MACRO_ACTION_TISHI"));
    list.setColumnTitle(kDelayColumn, text("MACRO_DELAY_MS"));

    chooserKeyNames_.clear();
    for (std::uint16_t keyId = 0; keyId < kChooserKeyCount; ++keyId) {
        chooserKeyNames_ << QString::fromStdString(model::keyNameFromKeyId(keyId, parts_.texts));
    }
    list.setColumnDropDown(kKeyColumn, chooserKeyNames_, kKeyDropDownRows);
    list.setColumnDropDown(kKindColumn, {kindText(false), kindText(true)}, kKindDropDownRows);
    for (int row = 0; row < list.rowCount(); ++row) {
        showAction(row, actionOfRow(row));
    }
    fitActionColumns();
}

// ---- working copies ----

void MacroPage::loadWorkingCopies(std::uint16_t selectedId) {
    if (c_.macroList == nullptr) {
        return;
    }
    freeWorkingCopies();
    readRecordDelayOption();
    macros_ = parts_.configuration.edited.macros;
    for (model::MacroRecord& macro : macros_) {
        macro.isNew = 0;
    }
    haveWorkingCopies_ = true;
    changingList_ = true;
    for (const model::MacroRecord& macro : macros_) {
        c_.macroList->addItem(QString::fromStdString(macro.nameUtf8()));
    }
    changingList_ = false;
    const std::ptrdiff_t slot = slotOfId(macros_, selectedId);
    selectEntry(macros_.empty() ? -1 : static_cast<int>(std::max<std::ptrdiff_t>(slot, 0)));
}

std::uint16_t MacroPage::selectedMacroId() const {
    const bool valid = selected_ >= 0 && static_cast<std::size_t>(selected_) < macros_.size();
    return valid ? macros_[static_cast<std::size_t>(selected_)].id : 0;
}

std::uint8_t MacroPage::cycles() const {
    const unsigned typed = c_.cyclesField == nullptr ? kMinCycles : c_.cyclesField->text().toUInt();
    return static_cast<std::uint8_t>(std::clamp(typed, kMinCycles, kMaxCycles));
}

void MacroPage::commit() {
    if (!haveWorkingCopies_) {
        return;
    }
    c_.actionList->commitEdit();
    stopRecording();
    storeActionList();

    model::MacroList store;
    try {
        store.reserve(macros_.size());
    } catch (const std::bad_alloc&) {
        return;
    }
    for (const model::MacroRecord& macro : macros_) {
        store.push_back(macro);
        store.back().isNew = 0;
    }

    model::KeyModel& edited = parts_.configuration.edited;
    for (std::size_t i = 0; i < edited.image.records.size(); ++i) {
        model::KeyAssignment& record = edited.image.records[i];
        if (record.type != static_cast<std::uint16_t>(model::AssignmentType::playMacro)) {
            continue;
        }
        if (record.value == 0) {
            if (!macros_.empty()) {
                record.value = macros_.front().id;
            }
            continue;
        }
        const std::ptrdiff_t slot = slotOfId(macros_, record.value);
        // A new macro only shares the id of the one the key played.
        const bool gone = slot < 0 || macros_[static_cast<std::size_t>(slot)].isNew != 0;
        // The keyboard plays macros by slot: every profile's table that names a macro whose
        // slot moved or went must be written again.
        if (gone || slot != slotOfId(edited.macros, record.value)) {
            edited.macroDeleted = true;
        }
        if (gone) {
            record.type = static_cast<std::uint16_t>(model::AssignmentType::defaultAction);
            record.value = 0;
            record.aux = fixedAuxTag(i);
        }
    }
    edited.macros = std::move(store);
    // From now on the model holds them; a later Apply must not take them for new ones.
    for (model::MacroRecord& macro : macros_) {
        macro.isNew = 0;
    }
}

void MacroPage::freeWorkingCopies() {
    stopRecording();
    if (c_.actionList != nullptr) {
        c_.actionList->cancelEdit();
        c_.actionList->clear();
    }
    if (c_.macroList != nullptr) {
        changingList_ = true;
        c_.macroList->clear();
        changingList_ = false;
        c_.macroList->setEditText(QString());
    }
    macros_.clear();
    macros_.shrink_to_fit();
    haveWorkingCopies_ = false;
    selected_ = -1;
}

void MacroPage::readRecordDelayOption() {
    const bool named = parts_.appProfile.readString(kOptionSection, kRecordDelayEntry).has_value();
    // Settings written before the entry had a name of its own keep it under the text the
    // language in use then gave it; it is read from there once.
    const int stored =
        named ? parts_.appProfile.readInt(kOptionSection, kRecordDelayEntry, 0)
              : parts_.appProfile.readInt(kOptionSection,
                                          parts_.texts.text("MACRO_ACTION_RECORD_DELAY"), 0);
    recordDelay_ = stored == 1;
    if (!named || (stored != 0 && stored != 1)) {
        parts_.appProfile.writeInt(kOptionSection, kRecordDelayEntry, recordDelay_ ? 1 : 0);
    }
    c_.recordDelayBox->setChecked(recordDelay_);
}

void MacroPage::toggleRecordDelay(bool on) {
    recordDelay_ = on;
    parts_.appProfile.writeInt(kOptionSection, kRecordDelayEntry, on ? 1 : 0);
}

// ---- the macro list ----

model::MacroRecord* MacroPage::selectedMacro() {
    const bool valid = selected_ >= 0 && static_cast<std::size_t>(selected_) < macros_.size();
    return valid ? &macros_[static_cast<std::size_t>(selected_)] : nullptr;
}

void MacroPage::onSelectionChanged(int index) {
    if (changingList_) {
        selected_ = index;
        return;
    }
    storeActionList();
    selected_ = index;
    showSelectedMacro();
}

void MacroPage::selectEntry(int index) {
    changingList_ = true;
    c_.macroList->setCurrentIndex(index);
    changingList_ = false;
    selected_ = index;
    if (index < 0) {
        c_.macroList->setEditText(QString());
    }
    showSelectedMacro();
}

void MacroPage::showSelectedMacro() {
    c_.actionList->clear();
    const model::MacroRecord* macro = selectedMacro();
    if (macro != nullptr) {
        c_.cyclesField->setText(QString::number(macro->cycles));
        const std::size_t count =
            std::min<std::size_t>(macro->actionCount, model::kMaxMacroActions);
        for (std::size_t i = 0; i < count; ++i) {
            insertAction(-1, macro->actions[i]);
        }
    }
    for (const ButtonMember button : kActionButtons) {
        (c_.*button)->setEnabled(macro != nullptr);
    }
}

void MacroPage::storeActionList() {
    model::MacroRecord* macro = selectedMacro();
    if (macro == nullptr) {
        return;
    }
    macro->cycles = cycles();
    const auto rows = std::min<std::size_t>(static_cast<std::size_t>(c_.actionList->rowCount()),
                                            model::kMaxMacroActions);
    for (std::size_t row = 0; row < rows; ++row) {
        macro->actions[row] = actionOfRow(static_cast<int>(row));
    }
    std::fill(macro->actions.begin() + static_cast<std::ptrdiff_t>(rows), macro->actions.end(),
              model::MacroAction{});
    macro->actionCount = static_cast<std::uint16_t>(rows);
}

bool MacroPage::insertNewMacro(std::size_t position, const QString& name) {
    const std::uint16_t id = model::newMacroId(macros_);
    try {
        macros_.emplace(macros_.begin() + static_cast<std::ptrdiff_t>(position));
    } catch (const std::bad_alloc&) {
        return false;
    }
    model::MacroRecord& macro = macros_[position];
    macro.setName(name.toStdString());
    macro.cycles = 1;
    macro.isNew = 1;
    macro.id = id;
    changingList_ = true;
    c_.macroList->insertItem(static_cast<int>(position), QString::fromStdString(macro.nameUtf8()));
    changingList_ = false;
    return true;
}

void MacroPage::addMacro() {
    if (macros_.size() >= model::kMaxMacros) {
        parts_.prompts.message(lang::formatWithNumber(parts_.texts.text("MACRO_ERR_MAX"),
                                                      static_cast<long long>(model::kMaxMacros)));
        return;
    }
    if (macros_.empty()) {
        nameCounter_ = 0;
    }
    const QString name = automaticName(-1);
    storeActionList();
    if (!insertNewMacro(macros_.size(), name)) {
        return;
    }
    selectEntry(static_cast<int>(macros_.size()) - 1);
    markModified();
}

void MacroPage::renameMacro(int index, const QString& typed) {
    const bool blank = typed.isEmpty() || typed.front().isSpace();
    if (macros_.empty()) {
        nameCounter_ = 0;
        if (insertNewMacro(0, blank ? automaticName(-1) : typed)) {
            selectEntry(0);
            markModified();
        }
        return;
    }
    if (index < 0 || static_cast<std::size_t>(index) >= macros_.size()) {
        return;
    }
    const QString name =
        blank || anotherEntryBeginsWith(typed, index) ? automaticName(index) : typed;
    model::MacroRecord& macro = macros_[static_cast<std::size_t>(index)];
    macro.setName(name.toStdString());
    c_.macroList->setItemText(index, QString::fromStdString(macro.nameUtf8()));
    markModified();
}

// Names clash when one is the beginning of another, so automatic names skip every number whose
// name begins another macro's name.
QString MacroPage::automaticName(int editedIndex) {
    const QString prefix = text("MACRO_NEW_PREFIX");
    QString name;
    do {
        ++nameCounter_;
        name = prefix + QString::number(nameCounter_);
    } while (anotherEntryBeginsWith(name, editedIndex));
    return name;
}

bool MacroPage::anotherEntryBeginsWith(const QString& name, int editedIndex) const {
    for (int entry = 0; entry < c_.macroList->count(); ++entry) {
        if (entry != editedIndex &&
            c_.macroList->itemText(entry).startsWith(name, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

void MacroPage::deleteMacro() {
    const model::MacroRecord* macro = selectedMacro();
    if (macro == nullptr) {
        return;
    }
    if (macro->isNew == 0 && keysUseMacro(macro->id) &&
        !parts_.prompts.askYesNo(parts_.texts.text("MACRO_DELETE_CONFIRM_OF_KEYS"))) {
        return;
    }
    const int index = selected_;
    macros_.erase(macros_.begin() + index);
    changingList_ = true;
    c_.macroList->removeItem(index);
    changingList_ = false;
    selectEntry(macros_.empty() ? -1 : std::max(index - 1, 0));
    markModified();
}

bool MacroPage::keysUseMacro(std::uint16_t id) const {
    const auto& records = parts_.configuration.edited.image.records;
    return std::any_of(records.begin(), records.end(), [id](const model::KeyAssignment& record) {
        return record.type == static_cast<std::uint16_t>(model::AssignmentType::playMacro) &&
               record.value == id;
    });
}

// ---- the action list ----

QString MacroPage::kindText(bool released) const {
    return released ? kReleaseArrow + text("MACRO_ACTION_RELEASE")
                    : kPressArrow + text("MACRO_ACTION_PRESS");
}

QStringList MacroPage::cellsOf(const model::MacroAction& action) const {
    return {QString::fromStdString(model::keyNameFromCode(action.key, parts_.texts)),
            kindText(action.released == 1), QString::number(action.delay)};
}

void MacroPage::insertAction(int row, const model::MacroAction& action) {
    const int at = c_.actionList->insertRow(row, cellsOf(action));
    c_.actionList->setRowData(at, packAction(action));
}

void MacroPage::showAction(int row, const model::MacroAction& action) {
    const QStringList cells = cellsOf(action);
    for (int column = 0; column < cells.size(); ++column) {
        c_.actionList->setCellText(row, column, cells[column]);
    }
    c_.actionList->setRowData(row, packAction(action));
}

model::MacroAction MacroPage::actionOfRow(int row) const {
    return unpackAction(c_.actionList->rowData(row));
}

void MacroPage::deleteAction() {
    if (c_.actionList->removeRow(c_.actionList->selectedRow())) {
        markModified();
    }
}

void MacroPage::clearActions() {
    if (c_.actionList->rowCount() == 0 ||
        !parts_.prompts.askYesNo(parts_.texts.text("MACRO_ACTION_CLEAR_CONFIRM"))) {
        return;
    }
    c_.actionList->clear();
    markModified();
}

void MacroPage::moveAction(Move move) {
    const int row = c_.actionList->selectedRow();
    if (row < 0) {
        return;
    }
    int target = c_.actionList->rowCount() - 1;
    if (move == Move::toTop) {
        target = 0;
    } else if (move == Move::up) {
        target = row - 1;
    } else if (move == Move::down) {
        target = row + 1;
    }
    c_.actionList->selectRow(c_.actionList->moveRow(row, target));
    c_.actionList->setFocus(Qt::OtherFocusReason);
    markModified();
}

void MacroPage::onCellChanged(int row, int column, const QString& cellText) {
    model::MacroAction action = actionOfRow(row);
    switch (column) {
    case kKeyColumn: {
        const auto keyId = chooserKeyNames_.indexOf(cellText);
        if (keyId < 0) {
            return;
        }
        action.key = model::keyCodeFromKeyId(static_cast<std::uint16_t>(keyId));
        break;
    }
    case kKindColumn:
        action.released = cellText == kindText(true) ? 1 : 0;
        break;
    case kDelayColumn: {
        // The list has already held the number to its maximum.
        const auto typed = static_cast<std::uint32_t>(
            std::min<qulonglong>(cellText.toULongLong(), model::kMaxActionDelayMs));
        action.delay = typed / kDelayStep * kDelayStep;
        break;
    }
    default:
        return;
    }
    showAction(row, action);
    markModified();
}

void MacroPage::onCyclesEdited() {
    bool isNumber = false;
    const unsigned typed = c_.cyclesField->text().toUInt(&isNumber);
    if (!isNumber || typed < kMinCycles || typed > kMaxCycles) {
        const unsigned held = isNumber ? std::clamp(typed, kMinCycles, kMaxCycles) : kMinCycles;
        c_.cyclesField->setText(QString::number(held));
    }
    markModified();
}

// ---- recording ----

bool MacroPage::recording() const {
    return recording_;
}

void MacroPage::startRecording() {
    if (recording_ || selectedMacro() == nullptr) {
        return;
    }
    recording_ = true;
    heldWindowsKey_.reset();
    pressedKeys_.clear();
    c_.recordButton->setText(text("MACRO_ACTION_STOP_RECORD"));
    c_.recordButton->setSelectedLook(true);
    lockWhileRecording(true);
    lastEventMs_ = clock_();
}

// What recording locks, so the recorded macro stays the selected one.
void MacroPage::lockWhileRecording(bool locked) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{c_.addMacroButton, c_.deleteMacroButton, c_.macroList}) {
        control->setEnabled(!locked);
    }
}

void MacroPage::stopRecording() {
    if (!recording_) {
        return;
    }
    recording_ = false;
    c_.recordButton->setText(text("MACRO_ACTION_RECORD"));
    c_.recordButton->setSelectedLook(false);
    lockWhileRecording(false);
}

bool MacroPage::recordKey(const platform::NativeKeyEvent& event) {
    if (!recording_) {
        return false;
    }
    const model::KeyCode code = model::keyCodeFromKeyEvent(event.vk, event.keyData);
    if (code == 0 || isMediaKey(code)) {
        return false;
    }
    if (event.vk == kLeftWindowsVk || event.vk == kRightWindowsVk) {
        // The desktop may report a held Windows key as fresh presses.
        if (event.isRelease()) {
            heldWindowsKey_.reset();
        } else if (heldWindowsKey_ == event.vk) {
            return true;
        } else {
            heldWindowsKey_ = event.vk;
        }
    }
    if (event.isAutoRepeat()) {
        return true;
    }
    const std::uint32_t delay = delaySinceLastEvent();
    if (!model::needsSyntheticPress(code)) {
        addRecordedAction(code, event.isRelease(), delay);
        return true;
    }
    // Some desktops report these keys by their release alone. The press then stands where
    // the release came, after the wait measured, and is held for a moment.
    if (!event.isRelease()) {
        pressedKeys_.insert(code);
        addRecordedAction(code, false, delay);
    } else if (pressedKeys_.erase(code) != 0) {
        addRecordedAction(code, true, delay);
    } else {
        addRecordedAction(code, false, delay);
        addRecordedAction(code, true, kSyntheticPressDelay);
    }
    return true;
}

bool MacroPage::recordMouse(std::uint32_t mouseMessage) {
    if (!recording_) {
        return false;
    }
    const model::KeyCode code = model::keyCodeFromMouseMessage(mouseMessage);
    if (code == 0) {
        return false;
    }
    addRecordedAction(code, model::isButtonUpMessage(mouseMessage), delaySinceLastEvent());
    return true;
}

std::uint32_t MacroPage::delaySinceLastEvent() {
    const std::uint64_t now = clock_();
    const std::uint64_t elapsed = now > lastEventMs_ ? now - lastEventMs_ : 0;
    lastEventMs_ = now;
    return static_cast<std::uint32_t>(
        std::min<std::uint64_t>(elapsed, std::numeric_limits<std::uint32_t>::max()));
}

// A row's delay is the wait after its own action, so the time measured before the new action
// belongs to the row before it, and the new row inherits what that row waited before.
void MacroPage::addRecordedAction(model::KeyCode key, bool released, std::uint32_t measuredDelay) {
    const int rows = c_.actionList->rowCount();
    if (static_cast<std::size_t>(rows) >= model::kMaxMacroActions) {
        return;
    }
    const int selectedRow = c_.actionList->selectedRow();
    const int at = selectedRow < 0 ? rows : selectedRow + 1;
    model::MacroAction action{0, key, static_cast<std::uint16_t>(released ? 1 : 0)};
    if (at > 0) {
        model::MacroAction before = actionOfRow(at - 1);
        action.delay = before.delay;
        before.delay = recordDelay_ ? measuredDelay : kFixedRecordedDelay;
        showAction(at - 1, before);
    }
    insertAction(at, action);
    c_.actionList->selectRow(at);
    markModified();
}

bool MacroPage::eventFilter(QObject* watched, QEvent* event) {
    const bool onActionList = c_.actionList != nullptr && watched == c_.actionList->viewport();
    if (onActionList && recording_) {
        const QEvent::Type type = event->type();
        if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
            type == QEvent::MouseButtonRelease) {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            return recordMouse(mouseMessage(mouse->button(), type == QEvent::MouseButtonRelease));
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace velkan::editors
