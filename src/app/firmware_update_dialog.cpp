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

// These messages are the same in every language, so they are not language texts.
constexpr std::string_view kBackupDone = "备份成功!";
constexpr std::string_view kBackupFailed = "备份失败,请重新备份!";
constexpr std::string_view kNoUpdater = "请选择正确的更新文件! ";
constexpr std::string_view kNoBootMode = "无法进入Boot模式! ";
constexpr std::string_view kCannotStartUpdater = "无法执行更新文件! ";

// Updaters here are programs of any name: the chooser lists every file and gives a typed name
// no extension of its own.
constexpr std::string_view kUpdaterFilter = "MyType Files (*)|*||";

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
    style.face = QStringLiteral("Arial Unicode MS");
    style.pointSize = 10;
    style.normal = style.over = style.down = style.selected = QColor(widgets::kSkinText);
    style.disabled = QColor(widgets::kSkinDisabledText);
    return style;
}

} // namespace

FirmwareUpdateDialog::FirmwareUpdateDialog(QWidget* parent, Parts parts)
    : SkinnedDialog(kTemplateId, parent, parts.iniPath, parts.iniFolder), parts_(std::move(parts)) {
    createControls();
}

QWidget* FirmwareUpdateDialog::control(int controlId) const {
    const auto found = controls_.find(controlId);
    return found == controls_.end() ? nullptr : found->second;
}

void FirmwareUpdateDialog::createControls() {
    backupButton_ = addButton(kBackupId, "备份");
    // Its picture shows what it does; a caption would cover it.
    chooseButton_ = addButton(kChooseUpdaterId, "Open");
    updateButton_ = addButton(kUpdateId, "更新");
    cancelButton_ = addButton(kCancelUpdateId, "取消更新");
    for (skin::ImageButton* captioned : {backupButton_, updateButton_, cancelButton_}) {
        captioned->setTextStyle(captionStyle());
    }

    textLine_ = new QLabel(this);
    widgets::applySkinLook(*textLine_);
    controls_[kTextLineId] = textLine_;

    pathField_ = new widgets::SkinCombo(widgets::ComboKind::Plain, this);
    controls_[kPathFieldId] = pathField_;
}

skin::ImageButton* FirmwareUpdateDialog::addButton(int controlId, const char* caption) {
    auto* button = new skin::ImageButton(this);
    button->setText(QString::fromUtf8(caption));
    connect(button, &QAbstractButton::clicked, this, [this, controlId] { onCommand(controlId); });
    controls_[controlId] = button;
    return button;
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

void FirmwareUpdateDialog::onCommand(int controlId) {
    switch (controlId) {
    case kBackupId:
        backUpKeyboard();
        break;
    case kChooseUpdaterId:
        chooseUpdater();
        break;
    case kUpdateId:
        handOverToUpdater();
        break;
    case kCancelUpdateId:
        cancelUpdate();
        break;
    default:
        break;
    }
}

void FirmwareUpdateDialog::backUpKeyboard() {
    const auto path = parts_.prompts.chooseFile(storage::profileFileRequest(true, "*.fwc", {}));
    if (!path) {
        return;
    }
    // The editing model, as the user sees it, whether or not the keyboard is there.
    const bool saved = storage::saveProfileFile(*path, parts_.configuration, true);
    parts_.prompts.message(saved ? kBackupDone : kBackupFailed);
}

void FirmwareUpdateDialog::chooseUpdater() {
    const lang::FileDialogRequest request{
        .save = false,
        .defaultExtension = {},
        .initialName = {},
        .filter = std::string(kUpdaterFilter),
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
        parts_.prompts.message(kNoUpdater);
        return;
    }
    if (!parts_.enterBootMode) {
        parts_.prompts.message(kNoBootMode);
        return;
    }
    parts_.enterBootMode([this](bool entered) { startUpdater(entered); });
}

void FirmwareUpdateDialog::startUpdater(bool bootModeEntered) {
    if (!bootModeEntered) {
        parts_.prompts.message(kNoBootMode);
        return;
    }
    // The keyboard now waits for the updater alone: the path is not offered a second time.
    const std::filesystem::path updater = std::exchange(updaterPath_, {});
    showUpdaterPath();
    if (parts_.startProgram && parts_.startProgram(updater)) {
        accept();
        return;
    }
    parts_.prompts.message(kCannotStartUpdater);
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
