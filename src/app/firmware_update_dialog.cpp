#include "app/firmware_update_dialog.h"

#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "storage/profile_file.h"
#include "storage/profile_list.h"
#include "widgets/skin_combo.h"
#include "widgets/skin_look.h"

#include <QColor>
#include <QLabel>
#include <QString>
#include <string_view>
#include <system_error>
#include <utility>

namespace velkan::app {
namespace {

// Updaters here are programs of any name: the chooser lists every file and gives a typed name
// no extension of its own.
constexpr std::string_view kUpdaterPattern = " (*)|*||";

// A regular file (or a link to one) that someone may execute. Whether this user may is left
// to the start, which says so when it fails.
bool isProgramFile(const std::filesystem::path& path) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error || !fs::is_regular_file(status)) {
        return false;
    }
    constexpr fs::perms kAnyExecute =
        fs::perms::owner_exec | fs::perms::group_exec | fs::perms::others_exec;
    return (status.permissions() & kAnyExecute) != fs::perms::none;
}

skin::ButtonTextStyle captionStyle() {
    skin::ButtonTextStyle style;
    style.on = true;
    style.face = widgets::skinFontFamily();
    style.pointSize = 10;
    style.normal = style.over = style.down = style.selected = QColor(widgets::kSkinText);
    style.disabled = QColor(widgets::kSkinDisabledText);
    return style;
}

} // namespace

FirmwareUpdateDialog::FirmwareUpdateDialog(QWidget* parent, Parts parts)
    : SkinnedDialog(parent, parts.iniPath, parts.iniFolder), parts_(std::move(parts)) {
    createControls();
}

void FirmwareUpdateDialog::createControls() {
    backupButton_ = addButton("backupButton", &FirmwareUpdateDialog::backUpKeyboard);
    chooseButton_ = addButton("chooseUpdaterButton", &FirmwareUpdateDialog::chooseUpdater);
    updateButton_ = addButton("updateButton", &FirmwareUpdateDialog::handOverToUpdater);
    cancelButton_ = addButton("cancelUpdateButton", &FirmwareUpdateDialog::cancelUpdate);
    for (skin::ImageButton* captioned : {backupButton_, updateButton_, cancelButton_}) {
        captioned->setTextStyle(captionStyle());
    }

    textLine_ = new QLabel(this);
    textLine_->setObjectName(QStringLiteral("stepsLine"));
    textLine_->setWordWrap(true);
    widgets::applySkinLook(*textLine_);

    pathField_ = new widgets::SkinCombo(widgets::ComboKind::Plain, this);
    pathField_->setObjectName(QStringLiteral("updaterPath"));
    showTexts();
}

skin::ImageButton* FirmwareUpdateDialog::addButton(const char* name,
                                                   void (FirmwareUpdateDialog::*slot)()) {
    auto* button = new skin::ImageButton(this);
    button->setObjectName(QString::fromLatin1(name));
    connect(button, &QAbstractButton::clicked, this, slot);
    return button;
}

void FirmwareUpdateDialog::showTexts() {
    const auto text = [this](std::string_view key) {
        return QString::fromStdString(parts_.texts.text(key));
    };
    backupButton_->setText(text("UPDATE_BACKUP"));
    updateButton_->setText(text("UPDATE_START"));
    cancelButton_->setText(text("UPDATE_CANCEL"));
    // Its picture shows what it does; a caption would cover it.
    chooseButton_->setToolTipText(text("UPDATE_CHOOSE_PROMPT"));
    textLine_->setText(text("UPDATE_STEPS"));
}

void FirmwareUpdateDialog::reloadTexts(int) {
    showTexts();
}

bool FirmwareUpdateDialog::onInitDialog() {
    // Loaded on the first opening and kept until the program ends. A missing one has been
    // reported; the buttons then go without it.
    const QPixmap normal = skin::skinPicture(iniFolder() / "update_normal.jpg");
    const QPixmap over = skin::skinPicture(iniFolder() / "update_over.jpg");
    const skin::ButtonPictures pictures{normal, over, over, over, over};
    const auto& ini = iniPath();
    const auto section = skin::kButtonSection;
    skin::placeImageButton(*backupButton_, ini, section, "CONTROL_BACKUPButton", pictures);
    skin::placeImageButton(*chooseButton_, ini, section, "CONTROL_OPENButton", pictures);
    skin::placeImageButton(*updateButton_, ini, section, "CONTROL_UPButton", pictures);
    skin::placeImageButton(*cancelButton_, ini, section, "CONTROL_CUPButton", pictures);
    skin::placeControl(*textLine_, ini, section, "CONTROL_UPStatic");
    skin::placeControl(*pathField_, ini, section, "CONTROL_UPCombox");
    showUpdaterPath();
    return true;
}

void FirmwareUpdateDialog::backUpKeyboard() {
    const auto path = parts_.prompts.chooseFile(storage::profileFileRequest(true, "*.fwc", {}));
    if (!path) {
        return;
    }
    // The editing model, as the user sees it, whether or not the keyboard is there.
    const bool saved = storage::saveProfileFile(*path, parts_.configuration, true);
    parts_.prompts.message(saved ? parts_.texts.text("UPDATE_BACKUP_DONE")
                                 : parts_.texts.text("UPDATE_BACKUP_FAILED"));
}

void FirmwareUpdateDialog::chooseUpdater() {
    const lang::FileDialogRequest request{
        .save = false,
        .defaultExtension = {},
        .initialName = {},
        .filter = parts_.texts.text("UPDATE_FILTER") + std::string(kUpdaterPattern),
        .folder = parts_.packageFolder,
    };
    updaterPath_ = parts_.prompts.chooseFile(request).value_or(std::filesystem::path());
    // The updater is started without a folder of its own and finds its files where the
    // program stands; a missing package folder leaves the program where it was.
    std::error_code ignored;
    std::filesystem::current_path(parts_.packageFolder, ignored);
    showUpdaterPath();
}

void FirmwareUpdateDialog::handOverToUpdater() {
    if (!isProgramFile(updaterPath_)) {
        parts_.prompts.message(parts_.texts.text("UPDATE_NO_UPDATER"));
        return;
    }
    if (!parts_.enterBootMode) {
        parts_.prompts.message(parts_.texts.text("UPDATE_NO_BOOT_MODE"));
        return;
    }
    // Until the keyboard answers, a second request or a changed choice would start a second
    // updater or none: the buttons wait with it.
    setWaitingForKeyboard(true);
    parts_.enterBootMode(
        [this, updater = updaterPath_](bool entered) { startUpdater(updater, entered); });
}

void FirmwareUpdateDialog::setWaitingForKeyboard(bool waiting) {
    for (skin::ImageButton* button : {backupButton_, chooseButton_, updateButton_, cancelButton_}) {
        button->setEnabled(!waiting);
    }
}

void FirmwareUpdateDialog::startUpdater(const std::filesystem::path& updater,
                                        bool bootModeEntered) {
    setWaitingForKeyboard(false);
    if (!bootModeEntered) {
        parts_.prompts.message(parts_.texts.text("UPDATE_NO_BOOT_MODE"));
        return;
    }
    // The keyboard now waits for the updater alone: the path is not offered a second time.
    updaterPath_.clear();
    showUpdaterPath();
    if (parts_.startProgram && parts_.startProgram(updater)) {
        accept();
        return;
    }
    parts_.prompts.message(parts_.texts.text("UPDATE_CANNOT_START"));
}

void FirmwareUpdateDialog::cancelUpdate() {
    updaterPath_.clear();
    showUpdaterPath();
    reject();
}

void FirmwareUpdateDialog::showUpdaterPath() {
    pathField_->clear();
    if (!updaterPath_.empty()) {
        pathField_->addItem(QString::fromStdString(updaterPath_.string()));
    }
}

} // namespace velkan::app
