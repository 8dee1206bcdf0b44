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
#include <QLabel>
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
    void click(const char* name) {
        dialog.findChild<QAbstractButton*>(QString::fromLatin1(name))->click();
    }
    void choose(std::optional<fs::path> file) {
        prompts.chosenFile = std::move(file);
        click("chooseUpdaterButton");
    }
    QString shownPath() const {
        return dialog.findChild<QComboBox*>(QStringLiteral("updaterPath"))->currentText();
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
        const QString noUpdater = "<UPDATE_NO_UPDATER>";
        const QString noBootMode = "<UPDATE_NO_BOOT_MODE>";
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
            << "flash-tool" << present << false << true << "<UPDATE_CANNOT_START>";
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
        bench.click("updateButton");
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
        const QString failed = "<UPDATE_BACKUP_FAILED>";
        QTest::newRow("keyboard present") << present << "backup.fwc"
                                          << "<UPDATE_BACKUP_DONE>";
        // The backup is of the editing model: it needs no keyboard.
        QTest::newRow("keyboard absent") << unplugged << "backup.fwc"
                                         << "<UPDATE_BACKUP_DONE>";
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
        bench.click("backupButton");
        QCOMPARE(bench.prompts.fileRequests.front().defaultExtension, std::string("fwc"));
        QCOMPARE(bench.prompts.shown, messages(shown));
        QCOMPARE(storage::checkProfileFile(path), shown == "<UPDATE_BACKUP_DONE>"
                                                      ? storage::ProfileCheck::valid
                                                      : storage::ProfileCheck::invalid);
    }

    // Every text is the language's: the buttons, the line that explains the two steps, and
    // the updater chooser's filter; a new language shows at once.
    void textsComeFromTheLanguage() {
        Bench bench;
        const auto text = [&bench](const char* name) {
            const QWidget* widget = bench.dialog.findChild<QWidget*>(QString::fromLatin1(name));
            const auto* label = qobject_cast<const QLabel*>(widget);
            return label ? label->text() : qobject_cast<const QAbstractButton*>(widget)->text();
        };
        QCOMPARE(text("backupButton"), "<UPDATE_BACKUP>");
        QCOMPARE(text("updateButton"), "<UPDATE_START>");
        QCOMPARE(text("cancelUpdateButton"), "<UPDATE_CANCEL>");
        QCOMPARE(text("stepsLine"), "<UPDATE_STEPS>");
        bench.choose(std::nullopt);
        QVERIFY(bench.prompts.fileRequests.front().filter.starts_with("<UPDATE_FILTER>"));
        bench.texts.table["UPDATE_BACKUP"] = "Sichern";
        bench.dialog.changeLanguage(1);
        QCOMPARE(text("backupButton"), "Sichern");
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
        bench.click("cancelUpdateButton");
        QVERIFY(!bench.dialog.isVisible());
        QVERIFY(bench.dialog.updaterPath().empty());
        QVERIFY(bench.started.empty() && bench.keyboard->wireLog().empty());
    }
};

VELKAN_APP_TEST_MAIN(FirmwareUpdateDialogTest)
#include "firmware_update_dialog_test.moc"
