#include "app/profile_dlg.h"

#include "app/window_messages.h"
#include "model/key_assignment.h"
#include "skin/png_button.h"
#include "skin/skin_layout.h"
#include "widgets/skin_list.h"
#include "widgets/skin_look.h"

#include <utility>

namespace velkan::app {

namespace {

constexpr int kMarkerColumn = 0;

struct ButtonPlace {
    int controlId;
    const char* skinKey;
    bool captioned;
};

constexpr ButtonPlace kButtons[] = {
    {CVelkan_DlgProfile::kAddId, "FUNC_ADD", false},
    {CVelkan_DlgProfile::kLoadId, "FUNC_LOAD", false},
    {CVelkan_DlgProfile::kDeleteId, "FUNC_DELETE", false},
    {CVelkan_DlgProfile::kApplyId, "CONTROL2_APPLY", true},
    {command::kOk, "CONTROL_OK", true},
    {command::kCancel, "CONTROL_CANCEL", true},
};

skin::ButtonTextStyle captionStyle() {
    skin::ButtonTextStyle style;
    style.on = true;
    style.pointSize = 9;
    style.face = QStringLiteral("Arial Unicode MS");
    style.normal = style.over = style.down = style.selected = QColor(widgets::kSkinText);
    // The pictures have no disabled face; the caption alone shows that Apply is off.
    style.disabled = QColor(widgets::kSkinDisabledText);
    return style;
}

} // namespace

CVelkan_DlgProfile::CVelkan_DlgProfile(QWidget* parent, std::filesystem::path iniPath,
                                       std::filesystem::path iniFolder, Parts parts)
    : CBaseDialog(kTemplateId, parent, std::move(iniPath), std::move(iniFolder)),
      parts_(std::move(parts)) {}

int CVelkan_DlgProfile::openProfileManager() {
    if (!initialise()) {
        return QDialog::Rejected;
    }
    fillList();
    return exec();
}

bool CVelkan_DlgProfile::switchProfile(int profile) {
    return storage::switchKeyProfile(profile, parts_.session, parts_.link, parts_.prompts,
                                     parts_.texts, parts_.switchHooks);
}

QWidget* CVelkan_DlgProfile::control(int controlId) const {
    const auto found = controls_.find(controlId);
    return found == controls_.end() ? nullptr : found->second;
}

skin::CPngButton* CVelkan_DlgProfile::button(int controlId) const {
    return qobject_cast<skin::CPngButton*>(control(controlId));
}

bool CVelkan_DlgProfile::onInitDialog() {
    createControls();
    showTexts();
    return true;
}

void CVelkan_DlgProfile::reloadTexts(int) {
    // The lookup already answers in the language the message announces.
    showTexts();
}

void CVelkan_DlgProfile::createControls() {
    const skin::ButtonPictures pictures{
        skin::skinPicture(iniFolder() / "Profile_normal.jpg"),
        skin::skinPicture(iniFolder() / "Profile_over.jpg"),
        skin::skinPicture(iniFolder() / "Profile_down.jpg"),
        skin::skinPicture(iniFolder() / "Profile_normal.jpg"),
        skin::skinPicture(iniFolder() / "Profile_normal.jpg"),
    };
    for (const ButtonPlace& place : kButtons) {
        auto* button = new skin::CPngButton(this);
        skin::placeImageButton(*button, iniPath(), skin::kButtonSection, place.skinKey, pictures);
        if (place.captioned) {
            button->setTextStyle(captionStyle());
        }
        const int controlId = place.controlId;
        connect(button, &skin::CPngButton::clicked, this,
                [this, controlId] { onCommand(controlId); });
        controls_[controlId] = button;
    }
    // The dialog's test button: never shown and without a function.
    auto* testButton = new skin::CPngButton(this);
    testButton->hide();
    controls_[kTestId] = testButton;

    list_ = new widgets::SkinList(this);
    skin::placeControl(*list_, iniPath(), skin::kButtonSection, "PROGRAM_LIST");
    list_->setColumns({{QStringLiteral("激活"), 60},
                       {QStringLiteral("名称"), 120},
                       {QStringLiteral("路径"), 230}});
    // Choosing a row is a change: Apply makes it the keyboard's active profile.
    connect(list_, &widgets::SkinList::itemSelectionChanged, this, [this] { setDirty(true); });
    controls_[kListId] = list_;
}

void CVelkan_DlgProfile::showTexts() {
    const auto text = [this](std::string_view key) {
        return QString::fromStdString(parts_.texts.text(key));
    };
    button(command::kOk)->setText(text("PROFILE_OK"));
    button(command::kCancel)->setText(text("PROFILE_CANCLE"));
    button(kApplyId)->setText(text("PROFILE_APPLY"));
    button(kAddId)->setToolTipText(text("PROFILE_NEW"));
    button(kLoadId)->setToolTipText(text("PROFILE_LOAD_PROMPT"));
    list_->setToolTip(text("PROFILE_TIP"));
}

void CVelkan_DlgProfile::onCommand(int controlId) {
    switch (controlId) {
    case kAddId:
        if (const auto row = storage::addNewProfile(parts_.prompts, parts_.texts)) {
            appendRow(*row);
        }
        break;
    case kLoadId:
        if (const auto row = storage::addExistingProfile(parts_.prompts)) {
            appendRow(*row);
        }
        break;
    case kDeleteId:
        deleteSelectedRow();
        break;
    case kApplyId:
        apply();
        break;
    case command::kOk:
        // Nothing changed means nothing to store or switch, and the main window's unapplied
        // changes stay as they are.
        if (dirty_) {
            apply();
        }
        accept();
        break;
    case command::kCancel:
        reject();
        break;
    default:
        break;
    }
}

void CVelkan_DlgProfile::fillList() {
    list_->clear();
    rows_.clear();
    for (const storage::ProfileRow& row : storage::rowsOfWorkingFile(parts_.workingFile)) {
        appendRow(row);
    }
    const int active = model::activeProfile(parts_.link);
    markActiveRow(active);
    list_->selectRow(active);
    setDirty(false);
}

void CVelkan_DlgProfile::appendRow(const storage::ProfileRow& row) {
    rows_.push_back(row);
    list_->insertRow(-1, {QString(), QString::fromStdString(row.name),
                          QString::fromStdString(row.folder.string())});
    setDirty(true);
}

void CVelkan_DlgProfile::markActiveRow(int activeRow) {
    for (int row = 0; row < list_->rowCount(); ++row) {
        list_->setCellText(row, kMarkerColumn,
                           row == activeRow ? QStringLiteral("\u2713") : QString());
    }
}

void CVelkan_DlgProfile::deleteSelectedRow() {
    const int row = list_->selectedRow();
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) {
        return;
    }
    rows_.erase(rows_.begin() + row);
    list_->removeRow(row);
    // Another row must not become the one Apply activates without the user choosing it.
    list_->selectRow(-1);
    setDirty(true);
}

// Stores the rows and makes the selected one the keyboard's active profile; the dialog stays
// changed when either fails, so the user can try again.
void CVelkan_DlgProfile::apply() {
    bool done = storage::storeProfileList(parts_.appProfile, rows_);
    const int selected = list_->selectedRow();
    if (selected >= 0 && selected < model::kProfileCount) {
        if (switchProfile(selected)) {
            // The working file is made again from the keyboard, which now holds the
            // configuration, and the main window shows the new profile.
            parts_.session.readBackAfterArrival();
            markActiveRow(selected);
            if (parts_.refreshLighting) {
                parts_.refreshLighting();
            }
            if (parts_.disableApply) {
                parts_.disableApply();
            }
        } else {
            done = false;
        }
    }
    if (done) {
        setDirty(false);
    }
}

void CVelkan_DlgProfile::setDirty(bool dirty) {
    dirty_ = dirty;
    button(kApplyId)->setEnabled(dirty);
}

} // namespace velkan::app
