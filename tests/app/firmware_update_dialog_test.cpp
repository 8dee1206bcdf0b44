#include "support/app_test_main.h"
// The window, the simulated keyboard behind it and the scripted prompts in front of it.
#include "app/firmware_update_dialog.h"
#include "device/keyboard_scan.h"
#include "platform/paths.h"
#include "protocol/command_report.h"
#include "protocol/command_set.h"
#include "sim/sim_hid_backend.h"
#include "storage/profile_file.h"
#include "support/recording_prompts.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QTimer>
#include <fstream>

namespace fs = std::filesystem;
using namespace velkan;
using app::FirmwareUpdateDialog;
using Messages = std::vector<std::string>;

namespace {

enum Keyboard { present, unplugged, refusingWrites };

// The window open on a keyboard, with an updater program in the package folder and a starter
// that records what it is asked to start.
struct Bench {
    explicit Bench(Keyboard state = present) {
        backend.plug(keyboard);
        link.commandChannel.enumerate();
        device::scanForKeyboardCollection(link.commandChannel, device::kCommandCollection);
        link.devicePresent = true;
        fs::create_directories(package);
        std::ofstream(updater) << "#!/bin/sh\n";
        fs::permissions(updater, fs::perms::owner_all);
        std::ofstream(package / "notes.txt") << "text";
        dialog.show();
        if (state == unplugged) {
            backend.unplug(keyboard);
            link.devicePresent = false;
        }
        keyboard->setFaults({.failWrites = state == refusingWrites});
        keyboard->clearWireLog();
    }
    void click(int id) { static_cast<QAbstractButton*>(dialog.control(id))->click(); }
    void choose(std::optional<fs::path> file) {
        prompts.chosenFile = std::move(file);
        click(FirmwareUpdateDialog::kChooseUpdaterId);
    }
    QString shownPath() const {
        return static_cast<QComboBox*>(dialog.control(FirmwareUpdateDialog::kPathFieldId))
            ->currentText();
    }

    const fs::path home = qEnvironmentVariable("HOME").toStdString();
    const fs::path package = home / "Package";
    const fs::path updater = package / "flash-tool";
    const fs::path skin = platform::programFolder() / "Skins";
    sim::SimHidBackend backend;
    device::DeviceLink link{backend};
    model::KeyConfiguration configuration;
    std::shared_ptr<sim::SimulatedKeyboard> keyboard =
        std::make_shared<sim::SimulatedKeyboard>(sim::KeyboardModel::keys126);
    test::RecordingPrompts prompts;
    test::TableTexts texts;
    std::vector<fs::path> started;
    bool startWorks = true;
    int answers = 0;
    FirmwareUpdateDialog dialog{
        nullptr,
        {skin / "UpdateDlg.ini", skin,
         // The keyboard's answer comes later, as the keyboard's worker gives it.
         [this](std::function<void(bool)> answer) {
             const bool entered = protocol::enterBootMode(link) == protocol::CommandResult::success;
             QTimer::singleShot(0, &dialog, [this, answer, entered] {
                 answer(entered);
                 ++answers;
             });
         },
         configuration, prompts, texts, package,
         [this](const fs::path& program) {
             started.push_back(program);
             return startWorks;
         }}};
};

Messages messages(const QString& shown) {
    return shown.isEmpty() ? Messages{} : Messages{shown.toStdString()};
}

} // namespace

class FirmwareUpdateDialogTest : public QObject {
    Q_OBJECT

private slots:
    void update_data() {
        QTest::addColumn<QString>("choice");
        QTest::addColumn<Keyboard>("keyboard");
        QTest::addColumn<bool>("startWorks");
        QTest::addColumn<bool>("handedOver");
        QTest::addColumn<QString>("shown");
        const QString noUpdater = "请选择正确的更新文件! ";
        const QString noBootMode = "无法进入Boot模式! ";
        QTest::newRow("nothing chosen") << "" << present << true << false << noUpdater;
        QTest::newRow("file gone") << "gone" << present << true << false << noUpdater;
        QTest::newRow("not executable") << "notes.txt" << present << true << false << noUpdater;
        QTest::newRow("folder") << "." << present << true << false << noUpdater;
        QTest::newRow("keyboard absent")
            << "flash-tool" << unplugged << true << false << noBootMode;
        QTest::newRow("write fails")
            << "flash-tool" << refusingWrites << true << false << noBootMode;
        QTest::newRow("updater starts") << "flash-tool" << present << true << true << "";
        QTest::newRow("updater fails")
            << "flash-tool" << present << false << true << "无法执行更新文件! ";
    }
    // The keyboard hears the boot-mode request alone or nothing at all, and only a keyboard
    // that took it gets its updater started, once.
    void update() {
        QFETCH(QString, choice);
        QFETCH(Keyboard, keyboard);
        QFETCH(bool, startWorks);
        QFETCH(bool, handedOver);
        QFETCH(QString, shown);
        Bench bench(keyboard);
        bench.startWorks = startWorks;
        if (!choice.isEmpty()) {
            bench.choose(bench.package / choice.toStdString());
        }
        bench.click(FirmwareUpdateDialog::kUpdateId);
        // A chosen updater is handed over once the keyboard has answered.
        QTRY_COMPARE(bench.answers, choice == "flash-tool" ? 1 : 0);
        QCOMPARE(bench.prompts.shown, messages(shown));
        QCOMPARE(bench.keyboard->inBootMode(), handedOver);
        QCOMPARE(bench.keyboard->wireLog().size(), handedOver ? 1U : 0U);
        QCOMPARE(bench.started.size(), handedOver ? 1U : 0U);
        QCOMPARE(bench.dialog.isVisible(), !(handedOver && startWorks));
        QCOMPARE(bench.shownPath().isEmpty(), handedOver || choice.isEmpty());
    }

    void backUp_data() {
        QTest::addColumn<Keyboard>("keyboard");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("shown");
        const QString failed = "备份失败,请重新备份!";
        QTest::newRow("keyboard present") << present << "backup.fwc"
                                          << "备份成功!";
        // The backup is of the editing model: it needs no keyboard.
        QTest::newRow("keyboard absent") << unplugged << "backup.fwc"
                                         << "备份成功!";
        QTest::newRow("no folder to write in")
            << present << "Package/flash-tool/backup.fwc" << failed;
        QTest::newRow("save dialog cancelled") << present << "unsaved.fwc"
                                               << "";
    }
    void backUp() {
        QFETCH(Keyboard, keyboard);
        QFETCH(QString, target);
        QFETCH(QString, shown);
        Bench bench(keyboard);
        const fs::path path = bench.home / target.toStdString();
        std::error_code ignored;
        fs::remove(path, ignored);
        // Only a cancelled dialog ends without a message.
        bench.prompts.chosenFile = shown.isEmpty() ? std::nullopt : std::optional<fs::path>(path);
        bench.click(FirmwareUpdateDialog::kBackupId);
        QCOMPARE(bench.prompts.fileRequests.front().defaultExtension, std::string("fwc"));
        QCOMPARE(bench.prompts.shown, messages(shown));
        QCOMPARE(storage::checkProfileFile(path), shown == "备份成功!"
                                                      ? storage::ProfileCheck::valid
                                                      : storage::ProfileCheck::invalid);
    }

    void chosenUpdaterIsKeptUntilDropped() {
        Bench bench;
        bench.choose(bench.updater);
        QCOMPARE(bench.prompts.fileRequests.front().folder, bench.package);
        bench.dialog.reject();
        bench.dialog.show();
        QCOMPARE(bench.shownPath(), QString::fromStdString(bench.updater.string()));
        bench.choose(std::nullopt);
        QVERIFY(bench.shownPath().isEmpty());

        bench.choose(bench.updater);
        bench.click(FirmwareUpdateDialog::kCancelUpdateId);
        QVERIFY(!bench.dialog.isVisible());
        QVERIFY(bench.dialog.updaterPath().empty());
        QVERIFY(bench.started.empty() && bench.keyboard->wireLog().empty());
    }
};

VELKAN_APP_TEST_MAIN(FirmwareUpdateDialogTest)
#include "firmware_update_dialog_test.moc"
