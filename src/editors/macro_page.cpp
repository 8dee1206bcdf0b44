#include "editors/macro_page.h"

#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "widgets/skin_combo.h"
#include "widgets/skin_list.h"
#include "widgets/skin_look.h"

#include <QCheckBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <chrono>
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

constexpr int kActionColumnWidth = 63;
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

const QString kPressText = QStringLiteral("\u2193");
const QString kReleaseText = QStringLiteral("  \u2191");

using skin::ButtonPlace;

constexpr ButtonPlace kButtons[] = {
    {MacroPage::kAddId, "FUNC_MACRO_ADD"},
    {MacroPage::kDeleteId, "FUNC_MACRO_DELETE"},
    {MacroPage::kRecordId, "FUNC_MACRO_RECORD"},
    {MacroPage::kDeleteActionId, "FUNC_MACRO_DELETE2"},
    {MacroPage::kClearActionsId, "FUNC_MACRO_CLEAR"},
    {MacroPage::kTopId, "FUNC_MACRO_UP_TOP"},
    {MacroPage::kUpId, "FUNC_MACRO_UP"},
    {MacroPage::kDownId, "FUNC_MACRO_DOWN"},
    {MacroPage::kBottomId, "FUNC_MACRO_DOWN_BOTTOM"},
};

// The buttons that act on the selected macro's actions.
constexpr int kActionButtons[] = {
    MacroPage::kRecordId, MacroPage::kDeleteActionId, MacroPage::kClearActionsId, MacroPage::kTopId,
    MacroPage::kUpId,     MacroPage::kDownId,         MacroPage::kBottomId};
// What recording locks, so the recorded macro stays the selected one.
constexpr int kLockedWhileRecording[] = {MacroPage::kAddId, MacroPage::kDeleteId,
                                         MacroPage::kMacroListId};

std::uint64_t steadyMilliseconds() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

QFont listFont(int pointSize) {
    return QFont(widgets::skinFontFamily(), pointSize, QFont::Normal);
}

skin::ButtonTextStyle captionStyle() {
    skin::ButtonTextStyle style;
    style.on = true;
    style.pointSize = 7;
    style.face = widgets::skinFontFamily();
    style.normal = style.selected = QColor(255, 255, 255);
    style.over = QColor(255, 130, 0);
    style.down = QColor(255, 155, 4);
    style.disabled = QColor(127, 127, 127);
    return style;
}

QLabel* newLabel(QWidget& dialog) {
    auto* label = new QLabel(&dialog);
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

MacroPage::MacroPage(Parts parts) : parts_(std::move(parts)), clock_(steadyMilliseconds) {}

MacroPage::~MacroPage() = default;

QString MacroPage::text(std::string_view key) const {
    return QString::fromStdString(parts_.texts.text(key));
}

QWidget* MacroPage::control(int controlId) const {
    const auto found = controls_.find(controlId);
    return found == controls_.end() ? nullptr : found->second;
}

skin::ImageButton* MacroPage::button(int controlId) const {
    return qobject_cast<skin::ImageButton*>(control(controlId));
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
    if (!controls_.empty()) {
        return;
    }
    QWidget& dialog = parts_.dialog;
    const std::filesystem::path& ini = parts_.iniPath;
    const auto picture = [this](const char* name) {
        return skin::skinPicture(parts_.iniFolder / name);
    };
    const QPixmap down = picture("macro_down.jpg");
    // The selected look is the record button held down while recording.
    const skin::ButtonPictures pictures{picture("macro_normal.jpg"), picture("macro_over.jpg"),
                                        down, picture("macro_disable.jpg"), down};
    for (const ButtonPlace& place : kButtons) {
        auto* imageButton = new skin::ImageButton(&dialog);
        skin::placeImageButton(*imageButton, ini, skin::kButtonSection, place.skinKey, pictures);
        const int controlId = place.controlId;
        connect(imageButton, &skin::ImageButton::clicked, this,
                [this, controlId] { onCommand(controlId); });
        controls_[controlId] = imageButton;
    }
    button(kRecordId)->setTextStyle(captionStyle());
    button(kDeleteActionId)->setTextStyle(captionStyle());

    macroList_ = new widgets::SkinCombo(widgets::ComboKind::Editable, &dialog);
    skin::placeControl(*macroList_, ini, skin::kButtonSection, "FUNC_MACRO_LIST");
    macroList_->setFont(listFont(12));
    macroList_->lineEdit()->setMaxLength(static_cast<int>(model::kMacroNameUnits - 1));
    connect(macroList_, &QComboBox::currentIndexChanged, this, &MacroPage::onSelectionChanged);
    connect(macroList_, &widgets::SkinCombo::editCommitted, this, &MacroPage::renameMacro);
    controls_[kMacroListId] = macroList_;

    actionList_ = new widgets::SkinList(&dialog);
    skin::placeControl(*actionList_, ini, skin::kButtonSection, "FUNC_MACRO_LIST2");
    actionList_->setFont(listFont(8));
    actionList_->setColumns({{QString(), kActionColumnWidth},
                             {QString(), kActionColumnWidth},
                             {QString(), kActionColumnWidth}});
    const QColor grey(widgets::kSkinDimText);
    actionList_->setColumnTextColour(kKeyColumn, grey);
    actionList_->setColumnTextColour(kKindColumn, grey);
    actionList_->setColumnDropDown(kKindColumn, {kPressText, kReleaseText}, kKindDropDownRows);
    actionList_->setColumnDigits(kDelayColumn, static_cast<int>(model::kMaxActionDelayMs));
    actionList_->setLimitHandler([this](int, int, int maximum) {
        parts_.prompts.message(
            lang::formatWithNumber(parts_.texts.text("MACRO_ACTION_ERR_DELAY_MAX"), maximum));
    });
    connect(actionList_, &widgets::SkinList::editStarted, this, [this](int, int column) {
        if (column == kDelayColumn) {
            stopRecording();
        }
    });
    connect(actionList_, &widgets::SkinList::cellChanged, this, &MacroPage::onCellChanged);
    actionList_->viewport()->installEventFilter(this);
    controls_[kActionListId] = actionList_;

    cyclesField_ = new QLineEdit(&dialog);
    skin::placeControl(*cyclesField_, ini, skin::kButtonSection, "FUNC_MACRO_CYCLES");
    cyclesField_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]*")), cyclesField_));
    cyclesField_->setMaxLength(kMaxCyclesDigits);
    cyclesField_->setText(QStringLiteral("1"));
    widgets::applySkinLook(*cyclesField_);
    connect(cyclesField_, &QLineEdit::textEdited, this, &MacroPage::onCyclesEdited);
    controls_[kCyclesId] = cyclesField_;

    recordDelayBox_ = new QCheckBox(&dialog);
    skin::placeControl(*recordDelayBox_, ini, skin::kButtonSection, "FUNC_MACRO_RECORD_DELAY");
    widgets::applySkinLook(*recordDelayBox_);
    connect(recordDelayBox_, &QCheckBox::clicked, this, &MacroPage::toggleRecordDelay);
    controls_[kRecordDelayId] = recordDelayBox_;

    QLabel* cyclesLabel = newLabel(dialog);
    skin::placeControl(*cyclesLabel, ini, skin::kButtonSection, "FUNC_MACRO_CYCLES_PROMPT");
    controls_[kCyclesLabelId] = cyclesLabel;
    QLabel* recordDelayLabel = newLabel(dialog);
    skin::placeControl(*recordDelayLabel, ini, skin::kButtonSection, "FUNC_MACRO_RECORD_DELAY2");
    controls_[kRecordDelayLabelId] = recordDelayLabel;

    for (const auto& [controlId, widget] : controls_) {
        widget->hide();
    }
    showSelectedMacro();
    reloadTexts();
}

void MacroPage::setVisible(bool visible) {
    if (!visible) {
        if (actionList_ != nullptr) {
            actionList_->commitEdit();
        }
        stopRecording();
    }
    for (const auto& [controlId, widget] : controls_) {
        widget->setVisible(visible);
    }
}

void MacroPage::reloadTexts() {
    if (controls_.empty()) {
        return;
    }
    button(kRecordId)->setText(recording_ ? text("MACRO_ACTION_STOP_RECORD") : text("A_RECORD"));
    button(kDeleteActionId)->setText(text("A_DELETE"));
    button(kClearActionsId)->setToolTipText(text("A_CLEAR"));
    button(kTopId)->setToolTipText(text("A_TOP"));
    button(kUpId)->setToolTipText(text("A_UP"));
    button(kDownId)->setToolTipText(text("A_DOWN"));
    button(kBottomId)->setToolTipText(text("A_BOTTOM"));
    static_cast<QLabel*>(control(kCyclesLabelId))->setText(text("MACRO_CYCLES"));
    static_cast<QLabel*>(control(kRecordDelayLabelId))->setText(text("RECORD_DELAY"));
    actionList_->setColumnTitle(kKeyColumn, text("MACRO_KEYS_TISHI"));
    actionList_->setColumnTitle(kKindColumn, text("MACRO_ACTION_TISHI"));
    actionList_->setColumnTitle(kDelayColumn, text("MACRO_DELAY_MS"));

    chooserKeyNames_.clear();
    for (std::uint16_t keyId = 0; keyId < kChooserKeyCount; ++keyId) {
        chooserKeyNames_ << QString::fromStdString(model::keyNameFromKeyId(keyId, parts_.texts));
    }
    actionList_->setColumnDropDown(kKeyColumn, chooserKeyNames_, kKeyDropDownRows);
    for (int row = 0; row < actionList_->rowCount(); ++row) {
        actionList_->setCellText(row, kKeyColumn, cellsOf(actionOfRow(row))[kKeyColumn]);
    }
}

void MacroPage::onCommand(int controlId) {
    switch (controlId) {
    case kAddId:
        addMacro();
        break;
    case kDeleteId:
        deleteMacro();
        break;
    case kRecordId:
        if (recording_) {
            stopRecording();
        } else {
            startRecording();
        }
        break;
    case kDeleteActionId:
        deleteAction();
        break;
    case kClearActionsId:
        clearActions();
        break;
    case kTopId:
    case kUpId:
    case kDownId:
    case kBottomId:
        moveAction(controlId);
        break;
    default:
        break;
    }
}

// ---- working copies ----

void MacroPage::loadWorkingCopies(std::uint16_t selectedId) {
    if (controls_.empty()) {
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
        macroList_->addItem(QString::fromStdString(macro.nameUtf8()));
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
    const unsigned typed = cyclesField_ == nullptr ? kMinCycles : cyclesField_->text().toUInt();
    return static_cast<std::uint8_t>(std::clamp(typed, kMinCycles, kMaxCycles));
}

void MacroPage::commit() {
    if (!haveWorkingCopies_) {
        return;
    }
    actionList_->commitEdit();
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
    if (actionList_ != nullptr) {
        actionList_->cancelEdit();
        actionList_->clear();
    }
    if (macroList_ != nullptr) {
        changingList_ = true;
        macroList_->clear();
        changingList_ = false;
        macroList_->setEditText(QString());
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
    recordDelayBox_->setChecked(recordDelay_);
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
    macroList_->setCurrentIndex(index);
    changingList_ = false;
    selected_ = index;
    if (index < 0) {
        macroList_->setEditText(QString());
    }
    showSelectedMacro();
}

void MacroPage::showSelectedMacro() {
    actionList_->clear();
    const model::MacroRecord* macro = selectedMacro();
    if (macro != nullptr) {
        cyclesField_->setText(QString::number(macro->cycles));
        const std::size_t count =
            std::min<std::size_t>(macro->actionCount, model::kMaxMacroActions);
        for (std::size_t i = 0; i < count; ++i) {
            insertAction(-1, macro->actions[i]);
        }
    }
    for (const int controlId : kActionButtons) {
        control(controlId)->setEnabled(macro != nullptr);
    }
}

void MacroPage::storeActionList() {
    model::MacroRecord* macro = selectedMacro();
    if (macro == nullptr) {
        return;
    }
    macro->cycles = cycles();
    const auto rows = std::min<std::size_t>(static_cast<std::size_t>(actionList_->rowCount()),
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
    macroList_->insertItem(static_cast<int>(position), QString::fromStdString(macro.nameUtf8()));
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
    macroList_->setItemText(index, QString::fromStdString(macro.nameUtf8()));
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
    for (int entry = 0; entry < macroList_->count(); ++entry) {
        if (entry != editedIndex &&
            macroList_->itemText(entry).startsWith(name, Qt::CaseInsensitive)) {
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
    macroList_->removeItem(index);
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

QStringList MacroPage::cellsOf(const model::MacroAction& action) const {
    return {QString::fromStdString(model::keyNameFromCode(action.key, parts_.texts)),
            action.released == 1 ? kReleaseText : kPressText, QString::number(action.delay)};
}

void MacroPage::insertAction(int row, const model::MacroAction& action) {
    const int at = actionList_->insertRow(row, cellsOf(action));
    actionList_->setRowData(at, packAction(action));
}

void MacroPage::showAction(int row, const model::MacroAction& action) {
    const QStringList cells = cellsOf(action);
    for (int column = 0; column < cells.size(); ++column) {
        actionList_->setCellText(row, column, cells[column]);
    }
    actionList_->setRowData(row, packAction(action));
}

model::MacroAction MacroPage::actionOfRow(int row) const {
    return unpackAction(actionList_->rowData(row));
}

void MacroPage::deleteAction() {
    if (actionList_->removeRow(actionList_->selectedRow())) {
        markModified();
    }
}

void MacroPage::clearActions() {
    if (actionList_->rowCount() == 0 ||
        !parts_.prompts.askYesNo(parts_.texts.text("MACRO_ACTION_CLEAR_CONFIRM"))) {
        return;
    }
    actionList_->clear();
    markModified();
}

void MacroPage::moveAction(int controlId) {
    const int row = actionList_->selectedRow();
    if (row < 0) {
        return;
    }
    int target = actionList_->rowCount() - 1;
    if (controlId == kTopId) {
        target = 0;
    } else if (controlId == kUpId) {
        target = row - 1;
    } else if (controlId == kDownId) {
        target = row + 1;
    }
    actionList_->selectRow(actionList_->moveRow(row, target));
    actionList_->setFocus(Qt::OtherFocusReason);
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
        action.released = cellText == kReleaseText ? 1 : 0;
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
    const unsigned typed = cyclesField_->text().toUInt(&isNumber);
    if (!isNumber || typed < kMinCycles || typed > kMaxCycles) {
        const unsigned held = isNumber ? std::clamp(typed, kMinCycles, kMaxCycles) : kMinCycles;
        cyclesField_->setText(QString::number(held));
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
    button(kRecordId)->setText(text("MACRO_ACTION_STOP_RECORD"));
    button(kRecordId)->setSelectedLook(true);
    for (const int controlId : kLockedWhileRecording) {
        control(controlId)->setEnabled(false);
    }
    lastEventMs_ = clock_();
}

void MacroPage::stopRecording() {
    if (!recording_) {
        return;
    }
    recording_ = false;
    button(kRecordId)->setText(text("MACRO_ACTION_RECORD"));
    button(kRecordId)->setSelectedLook(false);
    for (const int controlId : kLockedWhileRecording) {
        control(controlId)->setEnabled(true);
    }
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
    const int rows = actionList_->rowCount();
    if (static_cast<std::size_t>(rows) >= model::kMaxMacroActions) {
        return;
    }
    const int selectedRow = actionList_->selectedRow();
    const int at = selectedRow < 0 ? rows : selectedRow + 1;
    model::MacroAction action{0, key, static_cast<std::uint16_t>(released ? 1 : 0)};
    if (at > 0) {
        model::MacroAction before = actionOfRow(at - 1);
        action.delay = before.delay;
        before.delay = recordDelay_ ? measuredDelay : kFixedRecordedDelay;
        showAction(at - 1, before);
    }
    insertAction(at, action);
    actionList_->selectRow(at);
    markModified();
}

bool MacroPage::eventFilter(QObject* watched, QEvent* event) {
    const bool onActionList = actionList_ != nullptr && watched == actionList_->viewport();
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
