// What the user does in the main window and what reaches the keyboard and the working file:
// key clicks, colour mode, the colour boxes, profiles, restore defaults, Apply and import.
#include "main_window_fixture.h"
#include "platform/atomic_file.h"
#include "protocol/command_set.h"
#include "skin/image_button.h"
#include "storage/profile_file.h"
#include "support/app_test_main.h"
#include "support/recording_editor.h"

#include <QLineEdit>
#include <QTest>
#include <filesystem>

using velkan::test::MainWindowFixture;
namespace app = velkan::app;
namespace command = velkan::protocol::command;
namespace fs = std::filesystem;

namespace {

constexpr int kArrivalMs = 5000;

using velkan::test::RecordingEditor;

// The window once the keyboard has arrived and been read back, with a clean wire log.
void waitForArrival(MainWindowFixture& f) {
    QTRY_VERIFY_WITH_TIMEOUT(f.window->isVisible(), kArrivalMs);
    f.keyboard->clearWireLog();
}

} // namespace

class MainWindowEditTest : public QObject {
    Q_OBJECT

private slots:
    void macroButtonAndLastExtraKeyOpenTheEditorAlike() {
        MainWindowFixture f;
        waitForArrival(f);
        RecordingEditor editor;
        f.window->setKeyEditor(&editor);
        f.window->onCommand(1143);
        f.window->onCommand(1007);
        QCOMPARE(editor.calls.size(), std::size_t{2});
        for (const auto& call : editor.calls) {
            QCOMPARE(call.keyIndex, velkan::model::KeyIndex{264});
            QCOMPARE(call.controlId, 1143);
            QVERIFY(call.forMacro);
        }
        f.window->onCommand(1000);
        QCOMPARE(editor.calls.back().keyIndex, velkan::model::KeyIndex{256});
        QVERIFY(!editor.calls.back().forMacro);
    }

    void colourModeClickFlipsOnlyThatKey() {
        MainWindowFixture f;
        waitForArrival(f);
        RecordingEditor editor;
        f.window->setKeyEditor(&editor);
        QVERIFY(!f.window->applyEnabled());
        f.window->onCommand(1144);
        QCOMPARE(f.window->colourMode(), 1);
        const int escape = velkan::model::KeyPositionList()[0].controlId;
        f.window->onCommand(escape);
        QVERIFY(editor.calls.empty());
        QVERIFY(f.window->keyLightFlag(escape));
        QVERIFY(!f.window->keyLightFlag(1000)); // the G key of the same position keeps its own
        QVERIFY(f.window->applyEnabled());
        f.window->onCommand(escape);
        QVERIFY(!f.window->keyLightFlag(escape));
        QCOMPARE(f.hostFrames(), 0);
    }

    void colourBoxesStopAt255() {
        MainWindowFixture f;
        waitForArrival(f);
        auto* red = qobject_cast<QLineEdit*>(f.window->control(1208));
        QVERIFY(red != nullptr);
        red->clear();
        QTest::keyClicks(red, QStringLiteral("300"));
        QCOMPARE(red->text(), QStringLiteral("255"));
        red->clear();
        QTest::keyClicks(red, QStringLiteral("200"));
        QCOMPARE(red->text(), QStringLiteral("200"));
    }

    void currentProfileRefreshesLightingWithoutSwitching() {
        MainWindowFixture f;
        waitForArrival(f);
        f.window->onCommand(1144); // colour mode stays as it was
        f.window->onCommand(1135);
        QVERIFY(f.framesOf(command::kReadParams) > 0);
        QCOMPARE(f.framesOf(command::kWriteDeviceInfo), 0);
        QCOMPARE(f.window->colourMode(), 1);

        f.keyboard->clearWireLog();
        f.window->onCommand(1137);
        QVERIFY(f.framesOf(command::kWriteDeviceInfo) > 0);
        QCOMPARE(f.keyboard->memory(velkan::sim::SimRegion::deviceInfo)[10], 2); // active profile
        QCOMPARE(f.window->colourMode(), 0);
        QVERIFY(f.window->button(1137)->isEnabled());
    }

    void declinedRestoreDefaultsChangesNothing() {
        MainWindowFixture f;
        waitForArrival(f);
        f.prompts.answer = false;
        const auto tables = f.keyboard->memory(velkan::sim::SimRegion::keyTables);
        f.window->onCommand(1138);
        QCOMPARE(f.prompts.shown.back(), f.text("MAIN_PROMPT_DEFAULT"));
        QCOMPARE(f.hostFrames(), 0);
        QVERIFY(!f.window->applyEnabled());
        QCOMPARE(f.keyboard->memory(velkan::sim::SimRegion::keyTables), tables);
    }

    void applyWritesOnlyWhatChanged() {
        MainWindowFixture f;
        waitForArrival(f);
        const fs::path working = velkan::storage::workingFilePath();
        QVERIFY(fs::exists(working));
        const auto written = fs::last_write_time(working);
        QVERIFY(!f.window->Apply()); // nothing changed: neither file nor keyboard
        QCOMPARE(f.hostFrames(), 0);
        QCOMPARE(fs::last_write_time(working), written);

        // A change with the profile file gone: the keyboard is written, Apply stays enabled.
        f.window->setApplyEnabled(true);
        fs::remove(working);
        QVERIFY(!f.window->Apply());
        QVERIFY(f.framesOf(command::kWriteKeyTable, 0) > 0);
        QCOMPARE(f.framesOf(command::kWriteKeyTable, 1), 0);
        QVERIFY(f.window->applyEnabled());
    }

    void anotherProgramCanAskForApply() {
        MainWindowFixture f;
        waitForArrival(f);
        f.window->setApplyEnabled(true);
        f.window->deliverInstanceMessage({app::kExternalApply, 0, 0});
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->applyEnabled(), kArrivalMs);
        QVERIFY(f.framesOf(command::kWriteKeyTable) > 0);
    }

    void namesLeftOutAreReportedAfterTheWrite() {
        MainWindowFixture f(true, false, velkan::sim::KeyboardModel::keys126, {.macroUnits = 1});
        waitForArrival(f);
        {
            auto& configuration = f.window->keyboard().configuration;
            const std::lock_guard lock(configuration.modelLock);
            auto& macro = configuration.edited.macros.emplace_back();
            macro.id = 1;
            macro.actionCount = 25; // 122 bytes without its name, 132 with it
            macro.setName("abcde");
        }
        f.window->setApplyEnabled(true);
        QVERIFY(f.window->Apply());
        QCOMPARE(f.prompts.shown.back(), f.text("EXTRA_PROFILE_SPACE_TIGHT"));
        QCOMPARE(f.keyboard->memory(velkan::sim::SimRegion::macros)[2], 122);
        QVERIFY(!f.window->applyEnabled());
    }

    void keyboardPulledDuringApplyKeepsApplyAndTheFile() {
        MainWindowFixture f;
        waitForArrival(f);
        const fs::path working = velkan::storage::workingFilePath();
        f.window->setApplyEnabled(true);
        QVERIFY(f.window->Apply());
        const auto before = velkan::platform::readWholeFile(working);
        f.window->setApplyEnabled(true);
        velkan::sim::SimFaults faults;
        faults.removeAfterFrames = 3;
        f.keyboard->setFaults(faults);
        QVERIFY(!f.window->Apply());
        QVERIFY(f.window->applyEnabled());
        QVERIFY(
            velkan::storage::loadProfileFile(working, f.window->keyboard().configuration.applied));
        QCOMPARE(velkan::platform::readWholeFile(working), before);
    }

    // Replug or resume: the arrival read-back must not undo what the user applied.
    void appliedChangesSurviveUnplugAndPlug() {
        MainWindowFixture f;
        waitForArrival(f);
        const auto aKey = velkan::model::keyIndexFromCode(0x01E);
        const velkan::model::KeyAssignment toB{
            static_cast<std::uint16_t>(velkan::model::AssignmentType::singleKey), 0, 0x030};
        auto& configuration = f.window->keyboard().configuration;
        {
            const std::lock_guard lock(configuration.modelLock);
            configuration.edited.image.record(0, aKey) = toB;
        }
        f.window->setApplyEnabled(true);
        QVERIFY(f.window->Apply());
        const auto tables = f.keyboard->memory(velkan::sim::SimRegion::keyTables);

        f.simBackend->unplug(f.keyboard);
        QTRY_VERIFY_WITH_TIMEOUT(!f.present(), kArrivalMs);
        f.keyboard->clearWireLog();
        f.simBackend->plug(f.keyboard);
        QTRY_VERIFY_WITH_TIMEOUT(f.present() && f.framesOf(command::kEndConfig) > 0, kArrivalMs);
        QTest::qWait(300);

        QCOMPARE(f.keyboard->memory(velkan::sim::SimRegion::keyTables), tables);
        velkan::model::KeyModel inFile;
        QVERIFY(velkan::storage::loadProfileFile(velkan::storage::workingFilePath(), inFile));
        const std::lock_guard lock(configuration.modelLock);
        for (const auto* model : {&configuration.edited, &inFile}) {
            const auto& record = model->image.record(0, aKey);
            QCOMPARE(std::tuple(record.type, record.value), std::tuple(toB.type, toB.value));
        }
    }

    void importWritesEveryBank() {
        MainWindowFixture f;
        waitForArrival(f);
        const fs::path file = fs::path(qgetenv("HOME").toStdString()) / "import.fwc";
        QVERIFY(velkan::storage::newProfileFile(file));
        f.prompts.chosenFile = file;
        f.window->onCommand(app::command::kImport);
        for (int bank = 0; bank < 3; ++bank) {
            QVERIFY(f.framesOf(command::kWriteKeyTable, bank) > 0);
        }
        QVERIFY(!f.window->applyEnabled());

        // A file that is not a profile changes nothing.
        f.keyboard->clearWireLog();
        QVERIFY(velkan::platform::writeFileAtomically(file, std::vector<std::uint8_t>(40, 7)));
        f.prompts.shown.clear();
        f.window->onCommand(app::command::kImport);
        QCOMPARE(f.prompts.shown.back(), f.text("MAIN_PROMPT_INPORT"));
        QCOMPARE(f.hostFrames(), 0);
    }
};

VELKAN_APP_TEST_MAIN(MainWindowEditTest)
#include "main_window_edit_test.moc"
