// What the user does in the main window and what reaches the keyboard and the working file:
// key clicks, colour mode, the colour boxes, profiles, restore defaults, Apply and import.
#include "app/main_menu.h"
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

} // namespace

class MainWindowEditTest : public QObject {
    Q_OBJECT

private slots:
    void macroButtonAndLastExtraKeyOpenTheEditorAlike() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        RecordingEditor editor;
        f.window->setKeyEditor(&editor);
        f.clickKey(velkan::model::kMacroKey);
        f.click("macroButton");
        QCOMPARE(editor.calls.size(), std::size_t{2});
        for (const auto& call : editor.calls) {
            QCOMPARE(call.keyIndex, velkan::model::KeyIndex{264});
            QVERIFY(call.button == velkan::model::kMacroKey);
            QVERIFY(call.forMacro);
        }
        f.clickKey(velkan::model::GKeyButtons()[0]);
        QCOMPARE(editor.calls.back().keyIndex, velkan::model::KeyIndex{256});
        QVERIFY(!editor.calls.back().forMacro);
    }

    void colourModeClickFlipsOnlyThatKey() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        RecordingEditor editor;
        f.window->setKeyEditor(&editor);
        QVERIFY(!f.window->edits().pending());
        f.click("switchButton");
        QVERIFY(f.window->keyGrid().colourMode());
        const velkan::model::KeyButton escape = velkan::model::KeyPositionList()[0].button;
        f.clickKey(escape);
        QVERIFY(editor.calls.empty());
        QVERIFY(f.window->keyGrid().lightFlag(escape));
        // The G key of the same position keeps its own.
        QVERIFY(!f.window->keyGrid().lightFlag(velkan::model::GKeyButtons()[0]));
        QVERIFY(f.window->edits().pending());
        f.clickKey(escape);
        QVERIFY(!f.window->keyGrid().lightFlag(escape));
        QCOMPARE(f.hostFrames(), 0);
    }

    // Flip takes F1 to F4 out of use and gives them back; the settings keep the choice.
    void flipTurnsTheFirstFunctionKeysOffAndIsKept() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        const auto f1 = [&f] { return f.named("KEY_03B")->isEnabled(); };
        const auto f5 = [&f] { return f.named("KEY_03F")->isEnabled(); };
        QVERIFY(f1() && f5());
        f.click("flipButton1");
        QVERIFY(!f1() && f5());
        QCOMPARE(f.globals.appProfile.readInt("PROFILES", "Flip", 0), 1);
        f.click("flipButton2");
        QVERIFY(f1() && f5());
        QCOMPARE(f.globals.appProfile.readInt("PROFILES", "Flip", 0), 0);
    }

    void colourBoxesStopAt255() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        auto* red = f.named<QLineEdit>("redBox");
        red->clear();
        QTest::keyClicks(red, QStringLiteral("300"));
        QCOMPARE(red->text(), QStringLiteral("255"));
        red->clear();
        QTest::keyClicks(red, QStringLiteral("200"));
        QCOMPARE(red->text(), QStringLiteral("200"));
    }

    void currentProfileRefreshesLightingWithoutSwitching() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        f.click("switchButton"); // colour mode stays as it was
        f.click("profileButton1");
        QVERIFY(f.settle());
        QVERIFY(f.framesOf(command::kReadParams) > 0);
        QCOMPARE(f.framesOf(command::kWriteDeviceInfo), 0);
        QVERIFY(f.window->keyGrid().colourMode());

        f.keyboard->clearWireLog();
        f.click("profileButton3");
        QVERIFY(f.settle());
        QVERIFY(f.framesOf(command::kWriteDeviceInfo) > 0);
        QCOMPARE(f.keyboard->memory(velkan::sim::SimRegion::deviceInfo)[10], 2); // active profile
        QVERIFY(!f.window->keyGrid().colourMode());
        QVERIFY(f.named("profileButton3")->isEnabled());
    }

    // A profile button with edits not yet applied: the user says whether they go to the
    // keyboard first. Nothing switches while an editor is open or while the question is on
    // screen, and a write that fails keeps the edits and the profile.
    void profileSwitchAsksAboutUnappliedEdits() {
        const struct {
            const char* name;
            bool editorOpen;
            bool edited;
            bool answer;
            bool writeFails;
            bool asked;
            bool switched;
            bool editsOnKeyboard;
        } cases[] = {
            {"editor open", true, true, true, false, false, false, false},
            {"nothing to apply", false, false, true, false, false, true, false},
            {"yes", false, true, true, false, true, true, true},
            {"no", false, true, false, false, true, true, false},
            {"yes, the write fails", false, true, true, true, true, false, false},
        };
        const auto aKey = velkan::model::keyIndexFromCode(0x01E);
        for (const auto& c : cases) {
            MainWindowFixture f;
            QVERIFY(f.waitForArrival());
            RecordingEditor editor(c.editorOpen);
            f.window->setKeyEditor(&editor);
            const auto tablesBefore = f.keyboard->memory(velkan::sim::SimRegion::keyTables);
            if (c.edited) {
                f.controller->keys().edited.image.record(0, aKey) = {1, 0, 0x030};
                f.window->edits().setPending(true);
            }
            f.prompts.answer = c.answer;
            bool switchedWhileAsked = false;
            f.prompts.whileShown = [&] { switchedWhileAsked = f.keyboard->activeProfile() != 0; };
            if (c.writeFails) {
                f.keyboard->setFaults({.failWrites = true});
            }
            f.click("profileButton2");
            QVERIFY2(f.settle(), c.name);
            f.keyboard->setFaults({});
            const bool asked = std::find(f.prompts.shown.begin(), f.prompts.shown.end(),
                                         f.text("PROFILE_SELECT_PROMPT")) != f.prompts.shown.end();
            QVERIFY2(asked == c.asked, c.name);
            QVERIFY2(!switchedWhileAsked, c.name);
            QVERIFY2((f.keyboard->activeProfile() == 1) == c.switched, c.name);
            QVERIFY2(f.named<velkan::skin::ImageButton>("profileButton2")->selectedLook() ==
                         c.switched,
                     c.name);
            const bool tablesWritten =
                f.keyboard->memory(velkan::sim::SimRegion::keyTables) != tablesBefore;
            QVERIFY2(tablesWritten == c.editsOnKeyboard, c.name);
            // After a switch the model is the working file's again: edits applied first are in
            // it, edits let go are not; a refusal keeps them, and Apply with them.
            const bool editsKept = f.controller->keys().edited.image.record(0, aKey).type != 0;
            QVERIFY2(editsKept == (c.edited && !(c.switched && !c.answer)), c.name);
            QVERIFY2(f.window->edits().pending() == (c.edited && !c.switched), c.name);
            if (c.editorOpen) {
                QCOMPARE(f.prompts.shown.back(), f.text("PROFILE_SEELCT_PROMPT2"));
            }
        }
    }

    void declinedRestoreDefaultsChangesNothing() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        f.prompts.answer = false;
        const auto tables = f.keyboard->memory(velkan::sim::SimRegion::keyTables);
        f.click("defaultsButton");
        QCOMPARE(f.prompts.shown.back(), f.text("MAIN_PROMPT_DEFAULT"));
        QVERIFY(f.settle());
        QCOMPARE(f.hostFrames(), 0);
        QVERIFY(!f.window->edits().pending());
        QCOMPARE(f.keyboard->memory(velkan::sim::SimRegion::keyTables), tables);
    }

    void applyWritesOnlyWhatChanged() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        const fs::path working = velkan::storage::workingFilePath();
        QVERIFY(fs::exists(working));
        const auto written = fs::last_write_time(working);
        f.window->edits().apply(); // nothing changed: neither file nor keyboard
        QVERIFY(f.settle());
        QCOMPARE(f.hostFrames(), 0);
        QCOMPARE(fs::last_write_time(working), written);

        // A change with the profile file gone: the keyboard is written, Apply stays enabled.
        f.window->edits().setPending(true);
        fs::remove(working);
        f.window->edits().apply();
        QVERIFY(f.settle());
        QVERIFY(f.framesOf(command::kWriteKeyTable, 0) > 0);
        QCOMPARE(f.framesOf(command::kWriteKeyTable, 1), 0);
        QVERIFY(f.window->edits().pending());
    }

    void anotherProgramCanAskForApply() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        f.window->edits().setPending(true);
        f.window->deliverInstanceRequest(velkan::platform::InstanceRequest::apply);
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->edits().pending(), kArrivalMs);
        QVERIFY(f.framesOf(command::kWriteKeyTable) > 0);
    }

    void namesLeftOutAreReportedAfterTheWrite() {
        MainWindowFixture f(true, false, velkan::sim::KeyboardModel::keys126, {.macroUnits = 1});
        QVERIFY(f.waitForArrival());
        auto& macro = f.controller->keys().edited.macros.emplace_back();
        macro.id = 1;
        macro.actionCount = 25; // 122 bytes without its name, 132 with it
        macro.setName("abcde");
        f.window->edits().setPending(true);
        f.window->edits().apply();
        QVERIFY(f.settle());
        QCOMPARE(f.prompts.shown.back(), f.text("EXTRA_PROFILE_SPACE_TIGHT"));
        QCOMPARE(f.keyboard->memory(velkan::sim::SimRegion::macros)[2], 122);
        QVERIFY(!f.window->edits().pending());
    }

    void keyboardPulledDuringApplyKeepsApplyAndTheFile() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        const fs::path working = velkan::storage::workingFilePath();
        f.window->edits().setPending(true);
        f.window->edits().apply();
        QVERIFY(f.settle());
        QVERIFY(!f.window->edits().pending());
        const auto before = velkan::platform::readWholeFile(working);
        f.window->edits().setPending(true);
        velkan::sim::SimFaults faults;
        faults.removeAfterFrames = 3;
        f.keyboard->setFaults(faults);
        f.window->edits().apply();
        QVERIFY(f.settle());
        QVERIFY(f.window->edits().pending());
        velkan::model::KeyModel inFile;
        QVERIFY(velkan::storage::loadProfileFile(working, inFile));
        QCOMPARE(velkan::platform::readWholeFile(working), before);
    }

    // Replug or resume: the arrival read-back must not undo what the user applied.
    void appliedChangesSurviveUnplugAndPlug() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        const auto aKey = velkan::model::keyIndexFromCode(0x01E);
        const velkan::model::KeyAssignment toB{
            static_cast<std::uint16_t>(velkan::model::AssignmentType::singleKey), 0, 0x030};
        f.controller->keys().edited.image.record(0, aKey) = toB;
        f.window->edits().setPending(true);
        f.window->edits().apply();
        QVERIFY(f.settle());
        QVERIFY(!f.window->edits().pending());
        const auto tables = f.keyboard->memory(velkan::sim::SimRegion::keyTables);

        f.simBackend->unplug(f.keyboard);
        QTRY_VERIFY_WITH_TIMEOUT(!f.present(), kArrivalMs);
        f.keyboard->clearWireLog();
        f.simBackend->plug(f.keyboard);
        QTRY_VERIFY_WITH_TIMEOUT(f.present() && f.framesOf(command::kEndConfig) > 0, kArrivalMs);
        QVERIFY(f.settle());

        QCOMPARE(f.keyboard->memory(velkan::sim::SimRegion::keyTables), tables);
        velkan::model::KeyModel inFile;
        QVERIFY(velkan::storage::loadProfileFile(velkan::storage::workingFilePath(), inFile));
        for (const auto* model : {&f.controller->keys().edited, &inFile}) {
            const auto& record = model->image.record(0, aKey);
            QCOMPARE(std::tuple(record.type, record.value), std::tuple(toB.type, toB.value));
        }
    }

    void importWritesEveryBank() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        const fs::path file = fs::path(qgetenv("HOME").toStdString()) / "import.fwc";
        QVERIFY(velkan::storage::newProfileFile(file));
        f.prompts.chosenFile = file;
        f.window->runMenuCommand(app::MenuCommand::importProfile);
        QVERIFY(f.settle());
        for (int bank = 0; bank < 3; ++bank) {
            QVERIFY(f.framesOf(command::kWriteKeyTable, bank) > 0);
        }
        QVERIFY(!f.window->edits().pending());

        // A file that is not a profile changes nothing.
        f.keyboard->clearWireLog();
        QVERIFY(velkan::platform::writeFileAtomically(file, std::vector<std::uint8_t>(40, 7)));
        f.prompts.shown.clear();
        f.window->runMenuCommand(app::MenuCommand::importProfile);
        QCOMPARE(f.prompts.shown.back(), f.text("MAIN_PROMPT_INPORT"));
        QVERIFY(f.settle());
        QCOMPARE(f.hostFrames(), 0);
    }
};

VELKAN_APP_TEST_MAIN(MainWindowEditTest)
#include "main_window_edit_test.moc"
