#include "editors/macro_list.h"

#include "editors/action_list.h"
#include "editors/editor_look.h"
#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "widgets/skin_combo.h"
#include "widgets/skin_look.h"

#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <algorithm>
#include <new>
#include <utility>

namespace velkan::editors {
namespace {

constexpr unsigned kMinCycles = 1;
constexpr unsigned kMaxCycles = 255;
constexpr int kMaxCyclesDigits = 3;

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

// Keys that play a macro follow the working copies `macros` about to replace the model's.
void updateMacroKeys(model::KeyModel& edited, const model::MacroList& macros) {
    for (std::size_t i = 0; i < edited.image.records.size(); ++i) {
        model::KeyAssignment& record = edited.image.records[i];
        if (record.type != static_cast<std::uint16_t>(model::AssignmentType::playMacro)) {
            continue;
        }
        if (record.value == 0) {
            if (!macros.empty()) {
                record.value = macros.front().id;
            }
            continue;
        }
        const std::ptrdiff_t slot = slotOfId(macros, record.value);
        // A new macro only shares the id of the one the key played.
        const bool gone = slot < 0 || macros[static_cast<std::size_t>(slot)].isNew != 0;
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
}

} // namespace

MacroList::MacroList(Parts parts) : parts_(std::move(parts)) {
    createNameList();
    createCycles();
    for (QWidget* control : controls()) {
        control->hide();
    }
}

MacroList::~MacroList() = default;

void MacroList::createNameList() {
    QWidget& dialog = parts_.dialog;
    const skin::ButtonPictures pictures = editorPictures(parts_.iniFolder, kMacroPictures);
    const auto addButton = [&](const char* name, const char* skinKey, auto slot) {
        skin::ImageButton* button = newEditorButton(dialog, name);
        skin::placeImageButton(*button, parts_.iniPath, skin::kButtonSection, skinKey, pictures);
        connect(button, &QAbstractButton::clicked, this, slot);
        return button;
    };
    addMacroButton_ = addButton("addMacroButton", "FUNC_MACRO_ADD", [this] { addMacro(); });
    deleteMacroButton_ =
        addButton("deleteMacroButton", "FUNC_MACRO_DELETE", [this] { deleteMacro(); });

    macroList_ = new widgets::SkinCombo(widgets::ComboKind::Editable, &dialog);
    macroList_->setObjectName(QStringLiteral("macroList"));
    skin::placeControl(*macroList_, parts_.iniPath, skin::kButtonSection, "FUNC_MACRO_LIST");
    macroList_->setFont(editorFont(12));
    macroList_->lineEdit()->setMaxLength(static_cast<int>(model::kMacroNameUnits - 1));
    connect(macroList_, &QComboBox::currentIndexChanged, this, &MacroList::onSelectionChanged);
    connect(macroList_, &widgets::SkinCombo::editCommitted, this, &MacroList::renameMacro);
}

void MacroList::createCycles() {
    QWidget& dialog = parts_.dialog;
    cyclesField_ = new QLineEdit(&dialog);
    cyclesField_->setObjectName(QStringLiteral("cyclesField"));
    skin::placeControl(*cyclesField_, parts_.iniPath, skin::kButtonSection, "FUNC_MACRO_CYCLES");
    cyclesField_->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[0-9]*")), cyclesField_));
    cyclesField_->setMaxLength(kMaxCyclesDigits);
    cyclesField_->setText(QStringLiteral("1"));
    widgets::applySkinLook(*cyclesField_);
    connect(cyclesField_, &QLineEdit::textEdited, this, &MacroList::onCyclesEdited);

    cyclesLabel_ = newEditorLabel(dialog, "cyclesLabel");
    skin::placeControl(*cyclesLabel_, parts_.iniPath, skin::kButtonSection,
                       "FUNC_MACRO_CYCLES_PROMPT");
}

std::vector<QWidget*> MacroList::controls() const {
    return {macroList_, cyclesField_, cyclesLabel_, addMacroButton_, deleteMacroButton_};
}

QString MacroList::text(std::string_view key) const {
    return QString::fromStdString(parts_.texts.text(key));
}

void MacroList::reloadTexts() {
    cyclesLabel_->setText(text("MACRO_CYCLES"));
}

bool MacroList::takesEditKeys(const QObject& target) const {
    return &target == macroList_;
}

void MacroList::setLocked(bool locked) {
    for (QWidget* control :
         std::initializer_list<QWidget*>{addMacroButton_, deleteMacroButton_, macroList_}) {
        control->setEnabled(!locked);
    }
}

// ---- working copies ----

void MacroList::load(std::uint16_t selectedId) {
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

std::uint16_t MacroList::selectedMacroId() const {
    return hasSelection() ? macros_[static_cast<std::size_t>(selected_)].id : 0;
}

bool MacroList::hasSelection() const {
    return selected_ >= 0 && static_cast<std::size_t>(selected_) < macros_.size();
}

std::uint8_t MacroList::cycles() const {
    const unsigned typed = cyclesField_->text().toUInt();
    return static_cast<std::uint8_t>(std::clamp(typed, kMinCycles, kMaxCycles));
}

void MacroList::commit() {
    if (!haveWorkingCopies_) {
        return;
    }
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
    updateMacroKeys(edited, macros_);
    edited.macros = std::move(store);
    // From now on the model holds them; a later Apply must not take them for new ones.
    for (model::MacroRecord& macro : macros_) {
        macro.isNew = 0;
    }
}

void MacroList::free() {
    changingList_ = true;
    macroList_->clear();
    changingList_ = false;
    macroList_->setEditText(QString());
    macros_.clear();
    macros_.shrink_to_fit();
    haveWorkingCopies_ = false;
    selected_ = -1;
}

// ---- choosing and naming ----

model::MacroRecord* MacroList::selectedMacro() {
    return hasSelection() ? &macros_[static_cast<std::size_t>(selected_)] : nullptr;
}

void MacroList::onSelectionChanged(int index) {
    if (changingList_) {
        selected_ = index;
        return;
    }
    storeActionList();
    selected_ = index;
    showSelectedMacro();
}

void MacroList::selectEntry(int index) {
    changingList_ = true;
    macroList_->setCurrentIndex(index);
    changingList_ = false;
    selected_ = index;
    if (index < 0) {
        macroList_->setEditText(QString());
    }
    showSelectedMacro();
}

void MacroList::showSelectedMacro() {
    const model::MacroRecord* macro = selectedMacro();
    parts_.actions.showMacro(macro);
    if (macro != nullptr) {
        cyclesField_->setText(QString::number(macro->cycles));
    }
    emit macroShown(macro != nullptr);
}

void MacroList::storeActionList() {
    model::MacroRecord* macro = selectedMacro();
    if (macro == nullptr) {
        return;
    }
    macro->cycles = cycles();
    parts_.actions.storeInto(*macro);
}

bool MacroList::insertNewMacro(std::size_t position, const QString& name) {
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

void MacroList::addMacro() {
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
    emit modified();
}

void MacroList::renameMacro(int index, const QString& typed) {
    const bool blank = typed.isEmpty() || typed.front().isSpace();
    if (macros_.empty()) {
        nameCounter_ = 0;
        if (insertNewMacro(0, blank ? automaticName(-1) : typed)) {
            selectEntry(0);
            emit modified();
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
    emit modified();
}

// Names clash when one is the beginning of another, so automatic names skip every number whose
// name begins another macro's name.
QString MacroList::automaticName(int editedIndex) {
    const QString prefix = text("MACRO_NEW_PREFIX");
    QString name;
    do {
        ++nameCounter_;
        name = prefix + QString::number(nameCounter_);
    } while (anotherEntryBeginsWith(name, editedIndex));
    return name;
}

bool MacroList::anotherEntryBeginsWith(const QString& name, int editedIndex) const {
    for (int entry = 0; entry < macroList_->count(); ++entry) {
        if (entry != editedIndex &&
            macroList_->itemText(entry).startsWith(name, Qt::CaseInsensitive)) {
            return true;
        }
    }
    return false;
}

void MacroList::deleteMacro() {
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
    emit modified();
}

bool MacroList::keysUseMacro(std::uint16_t id) const {
    const auto& records = parts_.configuration.edited.image.records;
    return std::any_of(records.begin(), records.end(), [id](const model::KeyAssignment& record) {
        return record.type == static_cast<std::uint16_t>(model::AssignmentType::playMacro) &&
               record.value == id;
    });
}

void MacroList::onCyclesEdited() {
    bool isNumber = false;
    const unsigned typed = cyclesField_->text().toUInt(&isNumber);
    if (!isNumber || typed < kMinCycles || typed > kMaxCycles) {
        const unsigned held = isNumber ? std::clamp(typed, kMinCycles, kMaxCycles) : kMinCycles;
        cyclesField_->setText(QString::number(held));
    }
    emit modified();
}

} // namespace velkan::editors
