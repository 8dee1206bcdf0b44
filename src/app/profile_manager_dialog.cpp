#include "app/profile_manager_dialog.h"

#include "model/key_assignment.h"
#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "widgets/skin_list.h"
#include "widgets/skin_look.h"

#include <utility>

namespace velkan::app {

namespace {

constexpr int kMarkerColumn = 0;
constexpr int kNameColumn = 1;

struct ButtonPlace {
    skin::ImageButton* ProfileManagerDialog::*member;
    const char* name;
    const char* skinKey;
    bool captioned;
    void (ProfileManagerDialog::*clicked)();
};

skin::ButtonTextStyle captionStyle() {
    skin::ButtonTextStyle style;
    style.on = true;
    style.pointSize = 9;
    style.face = widgets::skinFontFamily();
    style.normal = style.over = style.down = style.selected = QColor(widgets::kSkinText);
    // The pictures have no disabled face; the caption alone shows that Apply is off.
    style.disabled = QColor(widgets::kSkinDisabledText);
    return style;
}

} // namespace

ProfileManagerDialog::ProfileManagerDialog(QWidget* parent, std::filesystem::path iniPath,
                                           std::filesystem::path iniFolder, Parts parts)
    : SkinnedDialog(parent, std::move(iniPath), std::move(iniFolder)), parts_(std::move(parts)) {}

int ProfileManagerDialog::openProfileManager() {
    if (!initialise()) {
        return QDialog::Rejected;
    }
    fillList();
    return exec();
}

bool ProfileManagerDialog::onInitDialog() {
    createControls();
    showTexts();
    return true;
}

void ProfileManagerDialog::reloadTexts(int) {
    // The lookup already answers in the language the message announces.
    showTexts();
}

void ProfileManagerDialog::createControls() {
    const skin::ButtonPictures pictures{
        skin::skinPicture(iniFolder() / "Profile_normal.jpg"),
        skin::skinPicture(iniFolder() / "Profile_over.jpg"),
        skin::skinPicture(iniFolder() / "Profile_down.jpg"),
        skin::skinPicture(iniFolder() / "Profile_normal.jpg"),
        skin::skinPicture(iniFolder() / "Profile_normal.jpg"),
    };
    // The skin's keys for the buttons; each clicks its own slot.
    const ButtonPlace buttons[] = {
        {&ProfileManagerDialog::addButton_, "addButton", "FUNC_ADD", false,
         &ProfileManagerDialog::addNewProfile},
        {&ProfileManagerDialog::loadButton_, "loadButton", "FUNC_LOAD", false,
         &ProfileManagerDialog::loadProfile},
        {&ProfileManagerDialog::deleteButton_, "deleteButton", "FUNC_DELETE", false,
         &ProfileManagerDialog::deleteSelectedRow},
        {&ProfileManagerDialog::applyButton_, "applyButton", "CONTROL2_APPLY", true,
         &ProfileManagerDialog::apply},
        {&ProfileManagerDialog::okButton_, "okButton", "CONTROL_OK", true,
         &ProfileManagerDialog::acceptChanges},
        {&ProfileManagerDialog::cancelButton_, "cancelButton", "CONTROL_CANCEL", true,
         &ProfileManagerDialog::reject},
    };
    for (const ButtonPlace& place : buttons) {
        auto* button = new skin::ImageButton(this);
        button->setObjectName(QString::fromLatin1(place.name));
        skin::placeImageButton(*button, iniPath(), skin::kButtonSection, place.skinKey, pictures);
        if (place.captioned) {
            button->setTextStyle(captionStyle());
        }
        connect(button, &skin::ImageButton::clicked, this, place.clicked);
        this->*place.member = button;
    }

    list_ = new widgets::SkinList(this);
    list_->setObjectName(QStringLiteral("profileList"));
    skin::placeControl(*list_, iniPath(), skin::kButtonSection, "PROGRAM_LIST");
    list_->setColumns({{QString(), 60}, {QString(), 120}, {QString(), 230}});
    // Choosing a row is a change: Apply makes it the keyboard's active profile.
    connect(list_, &widgets::SkinList::itemSelectionChanged, this, [this] { setDirty(true); });
}

void ProfileManagerDialog::showTexts() {
    const auto text = [this](std::string_view key) {
        return QString::fromStdString(parts_.texts.text(key));
    };
    okButton_->setText(text("PROFILE_OK"));
    cancelButton_->setText(text("PROFILE_CANCLE"));
    applyButton_->setText(text("PROFILE_APPLY"));
    addButton_->setToolTipText(text("PROFILE_NEW"));
    list_->setColumns({{text("PROFILE_COLUMN_ACTIVE"), 60},
                       {text("PROFILE_COLUMN_NAME"), 120},
                       {text("PROFILE_COLUMN_FOLDER"), 230}});
    for (std::size_t row = 0; row < rows_.size(); ++row) {
        list_->setCellText(static_cast<int>(row), kNameColumn, rowName(row));
    }
    loadButton_->setToolTipText(text("PROFILE_LOAD_PROMPT"));
    list_->setToolTip(text("PROFILE_TIP"));
}

void ProfileManagerDialog::addNewProfile() {
    if (const auto file = parts_.prompts.chooseFile(storage::newProfileRequest(parts_.texts))) {
        if (const auto row = storage::addNewProfile(*file)) {
            appendRow(*row);
        }
    }
}

void ProfileManagerDialog::loadProfile() {
    if (const auto file = parts_.prompts.chooseFile(storage::existingProfileRequest())) {
        appendRow(storage::ProfileRow::ofFile(*file));
    }
}

void ProfileManagerDialog::acceptChanges() {
    // Nothing changed means nothing to store or switch, and the main window's unapplied
    // changes stay as they are.
    if (dirty_) {
        apply();
    }
    accept();
}

void ProfileManagerDialog::fillList() {
    list_->clear();
    rows_.clear();
    rowProfiles_.clear();
    int profile = 0;
    for (const storage::ProfileRow& row : storage::rowsOfWorkingFile(parts_.workingFile)) {
        appendRow(row, profile++);
    }
    const int active = parts_.activeProfile ? parts_.activeProfile() : -1;
    markActiveRow(active);
    list_->selectRow(active);
    setDirty(false);
}

void ProfileManagerDialog::appendRow(const storage::ProfileRow& row, std::optional<int> profile) {
    rows_.push_back(row);
    rowProfiles_.push_back(profile);
    list_->insertRow(
        -1, {QString(), rowName(rows_.size() - 1), QString::fromStdString(row.folder.string())});
    setDirty(true);
}

// The keyboard's profiles by their names; the files the user added by theirs.
QString ProfileManagerDialog::rowName(std::size_t row) const {
    constexpr std::string_view kProfileNames[] = {
        lang::textKey("PROFILE_1"), lang::textKey("PROFILE_2"), lang::textKey("PROFILE_3")};
    const std::optional<int> profile = rowProfiles_[row];
    if (profile && *profile >= 0 && *profile < static_cast<int>(std::size(kProfileNames))) {
        return QString::fromStdString(
            parts_.texts.text(kProfileNames[static_cast<std::size_t>(*profile)]));
    }
    return QString::fromStdString(rows_[row].name);
}

void ProfileManagerDialog::markActiveRow(int activeProfile) {
    for (std::size_t row = 0; row < rowProfiles_.size(); ++row) {
        list_->setCellText(static_cast<int>(row), kMarkerColumn,
                           rowProfiles_[row] == activeProfile ? QStringLiteral("\u2713")
                                                              : QString());
    }
}

void ProfileManagerDialog::deleteSelectedRow() {
    const int row = list_->selectedRow();
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size()) {
        return;
    }
    rows_.erase(rows_.begin() + row);
    rowProfiles_.erase(rowProfiles_.begin() + row);
    list_->removeRow(row);
    // Another row must not become the one Apply activates without the user choosing it.
    list_->selectRow(-1);
    setDirty(true);
}

// Stores the rows and makes the selected one the keyboard's active profile; the dialog stays
// changed when either fails, so the user can try again.
void ProfileManagerDialog::apply() {
    const bool stored = storage::storeProfileList(parts_.appProfile, rows_);
    const int selected = list_->selectedRow();
    const bool rowChosen = selected >= 0 && static_cast<std::size_t>(selected) < rows_.size();
    const std::optional<int> profile =
        rowChosen ? rowProfiles_[static_cast<std::size_t>(selected)] : std::nullopt;
    if (rowChosen && !profile && parts_.importProfile) {
        // A file the user added: it goes into the keyboard as an import does.
        parts_.importProfile(rows_[static_cast<std::size_t>(selected)].storedPath());
    }
    if (!profile || !parts_.selectProfile) {
        if (stored) {
            setDirty(false);
        }
        return;
    }
    parts_.selectProfile(*profile, [this, active = *profile, stored](bool switched) {
        if (switched) {
            markActiveRow(active);
        }
        if (switched && stored) {
            setDirty(false);
        }
    });
}

void ProfileManagerDialog::setDirty(bool dirty) {
    dirty_ = dirty;
    applyButton_->setEnabled(dirty);
}

} // namespace velkan::app
