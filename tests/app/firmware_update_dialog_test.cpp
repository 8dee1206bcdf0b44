#include "support/app_test_main.h"
// The window, the simulated keyboard behind it and the scripted prompts in front of it.
#include "app/firmware_update_dialog.h"
#include "app/keyboard_controller.h"
#include "platform/paths.h"
#include "protocol/command_set.h"
#include "sim/sim_hid_backend.h"
#include "storage/colour_files.h"
#include "storage/profile_file.h"
#include "support/controller_settle.h"
#include "support/recording_prompts.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QSignalSpy>
#include <fstream>

namespace fs = std::filesystem;
using namespace velkan;
using app::FirmwareUpdateDialog;
using app::KeyboardController;
using Messages = std::vector<std::string>;

namespace {

constexpr int kArrivalMs = 5000;
// An outcome of the keyboard controller's worker: as long as settle() waits for one.
constexpr int kOutcomeMs = 30000;

enum Keyboard { present, unplugged, refusingWrites };

// The window open on a keyboard the keyboard controller has found and read back, as the main
// window holds it, with an updater program in the package folder and a starter that records
// what it is asked to start. `ready` is false when the keyboard did not get there.
struct Bench {
    explicit Bench(Keyboard state = present) {
        fs::create_directories(package);
        std::ofstream(updater) << "#!/bin/sh\n";
        fs::permissions(updater, fs::perms::owner_all);
        std::ofstream(package / "notes.txt") << "text";
        // The read-back is known to be over only once it hands back the keyboard's keys.
        QSignalSpy readBack(&controller, &KeyboardController::keysReplaced);
        ready = controller.colourFiles().ensureFolder() && backend.plug(keyboard);
        controller.start(false);
        ready = ready && readBack.wait(kOutcomeMs) && test::settle(controller);
        dialog.show();
        if (state == unplugged) {
            QSignalSpy removed(&controller, &KeyboardController::removed);
            ready = ready && backend.unplug(keyboard) && removed.wait(kArrivalMs);
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
    std::shared_ptr<sim::SimulatedKeyboard> keyboard =
        std::make_shared<sim::SimulatedKeyboard>(sim::KeyboardModel::keys126);
    std::unique_ptr<sim::SimHidBackend> ownBackend = std::make_unique<sim::SimHidBackend>();
    sim::SimHidBackend& backend = *ownBackend; // the controller's, from here on
    test::RecordingPrompts prompts;
    test::TableTexts texts;
    KeyboardController controller{std::move(ownBackend), texts, storage::ColourFiles::forProgram()};
    std::vector<fs::path> started;
    bool startWorks = true;
    int answers = 0;
    bool ready = false;
    FirmwareUpdateDialog dialog{nullptr, parts()};

private:
    // Wired as the main window wires it: the keyboard's answer comes from the controller's
    // worker, later.
    FirmwareUpdateDialog::Parts parts() {
        const auto enterBootMode = [this](std::function<void(bool)> answer) {
            controller.enterBootMode({&dialog, [this, answer](bool entered) {
                                          answer(entered);
                                          ++answers;
                                      }});
        };
        const auto startProgram = [this](const fs::path& program) {
            started.push_back(program);
            return startWorks;
        };
        return {skin / "UpdateDlg.ini",
                skin,
                enterBootMode,
                controller.keys(),
                prompts,
                texts,
                package,
                startProgram};
    }
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
        QVERIFY(bench.ready);
        bench.startWorks = startWorks;
        if (!choice.isEmpty()) {
            bench.choose(bench.package / choice.toStdString());
        }
        bench.click("updateButton");
        // A chosen updater is handed over once the keyboard has answered.
        QVERIFY(test::settle(bench.controller));
        QCOMPARE(bench.answers, choice == "flash-tool" ? 1 : 0);
        QCOMPARE(bench.prompts.shown, messages(shown));
        QCOMPARE(bench.keyboard->inBootMode(), handedOver);
        QCOMPARE(bench.keyboard->wireLog().size(), handedOver ? 1U : 0U);
        QCOMPARE(bench.started.size(), handedOver ? 1U : 0U);
        QCOMPARE(bench.dialog.isVisible(), !(handedOver && startWorks));
        QCOMPARE(bench.shownPath().isEmpty(), handedOver || choice.isEmpty());
    }

    // Clicks while the keyboard has not yet answered the boot-mode request change nothing:
    // one request on the wire, the updater chosen at the first click started once.
    void clicksWhileTheKeyboardAnswersAreRefused() {
        Bench bench;
        QVERIFY(bench.ready);
        bench.choose(bench.updater);
        bench.click("updateButton");
        bench.click("updateButton");
        bench.click("cancelUpdateButton");
        bench.choose(bench.package / "notes.txt");
        QVERIFY(test::settle(bench.controller));
        QCOMPARE(bench.answers, 1);
        QCOMPARE(bench.keyboard->wireLog().size(), 1U);
        QCOMPARE(bench.started, std::vector<fs::path>{bench.updater});
        QVERIFY(bench.prompts.shown.empty());
        QVERIFY(!bench.dialog.isVisible());
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
        QVERIFY(bench.ready);
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
        QVERIFY(bench.ready);
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
        QVERIFY(bench.ready);
        bench.choose(bench.updater);
        QCOMPARE(bench.prompts.fileRequests.front().folder, bench.package);
        bench.dialog.reject();
        bench.dialog.show();
        QCOMPARE(bench.shownPath(), QString::fromStdString(bench.updater.string()));
        bench.choose(std::nullopt);
        QVERIFY(bench.shownPath().isEmpty());

        bench.choose(bench.updater);
        bench.click("cancelUpdateButton");
        QVERIFY(test::settle(bench.controller));
        QVERIFY(!bench.dialog.isVisible());
        QVERIFY(bench.dialog.updaterPath().empty());
        QVERIFY(bench.started.empty() && bench.keyboard->wireLog().empty());
    }
};

VELKAN_APP_TEST_MAIN(FirmwareUpdateDialogTest)
#include "firmware_update_dialog_test.moc"
