#include "editors/action_list.h"

#include "editors/editor_look.h"
#include "skin/skin_layout.h"
#include "widgets/skin_list.h"
#include "widgets/skin_look.h"

#include <QFontMetrics>
#include <QHeaderView>
#include <QStyle>
#include <QTreeWidgetItem>
#include <QVariant>
#include <algorithm>
#include <string_view>

namespace velkan::editors {
namespace {

constexpr int kKeyDropDownRows = 20;
constexpr int kKindDropDownRows = 6;
// Key ids 0x0000-0x0069: the keys the key chooser offers.
constexpr std::uint16_t kChooserKeyCount = 0x6A;
constexpr std::uint32_t kDelayStep = 10;

// The arrows say it at a glance, the words for whoever does not know the arrows.
const QString kPressArrow = QStringLiteral("\u2193 ");
const QString kReleaseArrow = QStringLiteral("\u2191 ");
// Room around a cell's text, as the list draws it.
constexpr int kCellPadding = 12;
// The widest delay a cell shows.
const QString kWidestDelay = QStringLiteral("40000");

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

} // namespace

ActionList::ActionList(QWidget& dialog, const std::filesystem::path& iniPath,
                       lang::Prompts& prompts, const lang::TextLookup& texts)
    : prompts_(prompts), texts_(texts), list_(new widgets::SkinList(&dialog)) {
    widgets::SkinList& list = *list_;
    list.setObjectName(QStringLiteral("actionList"));
    skin::placeControl(list, iniPath, skin::kButtonSection, "FUNC_MACRO_LIST2");
    list.setFont(editorFont(8));
    list.setColumns({{}, {}, {}});
    const QColor grey(widgets::kSkinDimText);
    list.setColumnTextColour(kKeyColumn, grey);
    list.setColumnTextColour(kKindColumn, grey);
    list.setColumnDigits(kDelayColumn, static_cast<int>(model::kMaxActionDelayMs));
    list.setLimitHandler([this](int, int, int maximum) {
        prompts_.message(
            lang::formatWithNumber(texts_.text("MACRO_ACTION_ERR_DELAY_MAX"), maximum));
    });
    connect(&list, &widgets::SkinList::editStarted, this, [this](int, int column) {
        if (column == kDelayColumn) {
            emit delayEditStarted();
        }
    });
    connect(&list, &widgets::SkinList::cellChanged, this, &ActionList::onCellChanged);
    list.hide();
}

ActionList::~ActionList() = default;

void ActionList::reloadTexts() {
    widgets::SkinList& list = *list_;
    const auto text = [this](std::string_view key) {
        return QString::fromStdString(texts_.text(key));
    };
    list.setColumnTitle(kKeyColumn, text("MACRO_KEYS_TISHI"));
    list.setColumnTitle(kKindColumn, text("MACRO_ACTION_TISHI"));
    list.setColumnTitle(kDelayColumn, text("MACRO_DELAY_MS"));

    chooserKeyNames_.clear();
    for (std::uint16_t keyId = 0; keyId < kChooserKeyCount; ++keyId) {
        chooserKeyNames_ << QString::fromStdString(model::keyNameFromKeyId(keyId, texts_));
    }
    list.setColumnDropDown(kKeyColumn, chooserKeyNames_, kKeyDropDownRows);
    list.setColumnDropDown(kKindColumn, {kindText(false), kindText(true)}, kKindDropDownRows);
    for (int row = 0; row < list.rowCount(); ++row) {
        showAction(row, actionOfRow(row));
    }
    fitColumns();
}

// The delay and the kind take what their widest text needs, the key's name the rest: names
// such as "Print Screen" stay whole.
void ActionList::fitColumns() {
    widgets::SkinList& list = *list_;
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

void ActionList::showMacro(const model::MacroRecord* macro) {
    list_->clear();
    if (macro == nullptr) {
        return;
    }
    const std::size_t count = std::min<std::size_t>(macro->actionCount, model::kMaxMacroActions);
    for (std::size_t i = 0; i < count; ++i) {
        insertAction(-1, macro->actions[i]);
    }
}

void ActionList::storeInto(model::MacroRecord& macro) const {
    const auto rows =
        std::min<std::size_t>(static_cast<std::size_t>(list_->rowCount()), model::kMaxMacroActions);
    for (std::size_t row = 0; row < rows; ++row) {
        macro.actions[row] = actionOfRow(static_cast<int>(row));
    }
    std::fill(macro.actions.begin() + static_cast<std::ptrdiff_t>(rows), macro.actions.end(),
              model::MacroAction{});
    macro.actionCount = static_cast<std::uint16_t>(rows);
}

// A row's delay is the wait after its own action, so the time measured before the new action
// belongs to the row before it, and the new row inherits what that row waited before.
void ActionList::addRecorded(model::KeyCode key, bool released, std::uint32_t delayBefore) {
    const int rows = list_->rowCount();
    if (static_cast<std::size_t>(rows) >= model::kMaxMacroActions) {
        return;
    }
    const int selectedRow = list_->selectedRow();
    const int at = selectedRow < 0 ? rows : selectedRow + 1;
    model::MacroAction action{0, key, static_cast<std::uint16_t>(released ? 1 : 0)};
    if (at > 0) {
        model::MacroAction before = actionOfRow(at - 1);
        action.delay = before.delay;
        before.delay = delayBefore;
        showAction(at - 1, before);
    }
    insertAction(at, action);
    list_->selectRow(at);
    emit modified();
}

void ActionList::deleteSelected() {
    if (list_->removeRow(list_->selectedRow())) {
        emit modified();
    }
}

void ActionList::clearAll() {
    if (list_->rowCount() == 0 || !prompts_.askYesNo(texts_.text("MACRO_ACTION_CLEAR_CONFIRM"))) {
        return;
    }
    list_->clear();
    emit modified();
}

void ActionList::moveSelected(Move move) {
    const int row = list_->selectedRow();
    if (row < 0) {
        return;
    }
    int target = list_->rowCount() - 1;
    if (move == Move::toTop) {
        target = 0;
    } else if (move == Move::up) {
        target = row - 1;
    } else if (move == Move::down) {
        target = row + 1;
    }
    list_->selectRow(list_->moveRow(row, target));
    list_->setFocus(Qt::OtherFocusReason);
    emit modified();
}

bool ActionList::takesEditKeys(const QObject& target) const {
    const auto* widget = qobject_cast<const QWidget*>(&target);
    return list_->isEditing() && widget != nullptr && list_->isAncestorOf(widget);
}

QString ActionList::kindText(bool released) const {
    return released ? kReleaseArrow + QString::fromStdString(texts_.text("MACRO_ACTION_RELEASE"))
                    : kPressArrow + QString::fromStdString(texts_.text("MACRO_ACTION_PRESS"));
}

QStringList ActionList::cellsOf(const model::MacroAction& action) const {
    return {QString::fromStdString(model::keyNameFromCode(action.key, texts_)),
            kindText(action.released == 1), QString::number(action.delay)};
}

void ActionList::insertAction(int row, const model::MacroAction& action) {
    const int at = list_->insertRow(row, cellsOf(action));
    list_->setRowData(at, packAction(action));
}

void ActionList::showAction(int row, const model::MacroAction& action) {
    const QStringList cells = cellsOf(action);
    for (int column = 0; column < cells.size(); ++column) {
        list_->setCellText(row, column, cells[column]);
    }
    list_->setRowData(row, packAction(action));
}

model::MacroAction ActionList::actionOfRow(int row) const {
    return unpackAction(list_->rowData(row));
}

void ActionList::onCellChanged(int row, int column, const QString& cellText) {
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
    emit modified();
}

} // namespace velkan::editors
