// The main window's keyboard sequences as the user and the keyboard meet them: each runs whole,
// one at a time; nothing the user set is lost or written back after the keyboard cleared it;
// and opening boxes from the tray never pulls the tray menu out from under itself.
#include "app/main_menu.h"
#include "main_window_fixture.h"
#include "platform/atomic_file.h"
#include "protocol/command_set.h"
#include "skin/skin_layout.h"
#include "storage/profile_file.h"
#include "support/app_test_main.h"
#include "support/recording_editor.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <filesystem>

using velkan::test::MainWindowFixture;
namespace app = velkan::app;
namespace command = velkan::protocol::command;
namespace fs = std::filesystem;
namespace sim = velkan::sim;
namespace model = velkan::model;

namespace {

constexpr int kArrivalMs = 5000;

// The command byte of every frame the program sent since the wire log was cleared.
std::vector<std::uint8_t> commandsSent(const MainWindowFixture& f) {
    std::vector<std::uint8_t> commands;
    for (const auto& frame : f.keyboard->wireLog()) {
        if (frame.direction == sim::WireDirection::hostToDevice &&
            frame.collection == sim::SimCollection::command && frame.bytes.size() > 3) {
            commands.push_back(frame.bytes[3]);
        }
    }
    return commands;
}

const model::KeyIndex kAKey = model::keyIndexFromCode(0x01E);
const model::KeyAssignment kAToB{static_cast<std::uint16_t>(model::AssignmentType::singleKey), 0,
                                 0x030};

void remapAToB(MainWindowFixture& f, int profile) {
    f.controller->keys().edited.image.record(profile, kAKey) = kAToB;
}

// Applies and waits for the outcome; true when it reached the keyboard and the file.
bool applyAndWait(MainWindowFixture& f) {
    QSignalSpy finished(f.controller.get(), &app::KeyboardController::applyFinished);
    f.window->edits().apply();
    return finished.wait(kArrivalMs) &&
           finished.takeFirst().at(0).value<app::KeyWriteReport>().applied();
}

// A copy of the build's program folder whose skin lacks one picture.
fs::path programFolderWithout(const std::string& picture) {
    const fs::path copy = fs::path(qgetenv("HOME").toStdString()) / ("program-without-" + picture);
    fs::remove_all(copy);
    fs::copy(velkan::platform::programFolder(), copy,
             fs::copy_options::recursive | fs::copy_options::skip_symlinks);
    fs::remove(copy / "Skins" / picture);
    return copy;
}

} // namespace

class KeyboardSequencesTest : public QObject {
    Q_OBJECT

private slots:
    // The tray menu's items open message boxes; the menu deletes itself once hidden, and a
    // box's own event loop must not run while the menu's signal is still on the stack.
    void trayOpenWithoutAKeyboardTwice() {
        MainWindowFixture f(false);
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->firstSearchDone(), kArrivalMs);
        f.prompts.whileShown = [] { QTest::qWait(30); };
        for (std::size_t time = 1; time <= 2; ++time) {
            f.tray->activate(QSystemTrayIcon::Context);
            QPointer<QMenu> menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
            QVERIFY(menu);
            const QRect openItem = menu->actionGeometry(menu->actions().constFirst());
            QTest::mouseClick(menu, Qt::LeftButton, {}, openItem.center());
            QTRY_COMPARE(f.prompts.shown.size(), time);
            QCOMPARE(f.prompts.shown.back(), f.text("MAIN_NO_DEVICE_PROMPT"));
            QTRY_VERIFY(menu.isNull());
        }
        QVERIFY(!f.window->isVisible());
    }

    void applyIsDisabledAfterStart() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        QVERIFY(!f.window->edits().pending());
        QVERIFY(!f.named("applyButton")->isEnabled());
    }

    // The lighting read-back and the reset reaction asked for during an Apply run after it:
    // nothing of theirs lands between the apply's begin and end.
    void keyboardEventsDuringAnApplyWaitForIt() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        remapAToB(f, 0);
        f.window->edits().setPending(true);
        f.keyboard->setFaults({.latency = std::chrono::milliseconds(5)});
        QTimer::singleShot(12, [&] { f.keyboard->changeLightingOnKeyboard(); });
        QTimer::singleShot(20, [&] { f.keyboard->sendEvent(0x0402); });
        QVERIFY(applyAndWait(f));
        f.keyboard->setFaults({});
        QTRY_VERIFY_WITH_TIMEOUT(f.framesOf(command::kReadParams) >= 6, kArrivalMs);

        const auto commands = commandsSent(f);
        const auto begin = std::find(commands.begin(), commands.end(), command::kBeginConfig);
        const auto end = std::find(begin, commands.end(), command::kEndConfig);
        QVERIFY(end != commands.end());
        for (auto frame = begin + 1; frame != end; ++frame) {
            QVERIFY2(*frame == command::kWriteMacroArea || *frame == command::kWriteKeyTable,
                     qPrintable(QString::number(*frame, 16)));
        }
        QCOMPARE(f.framesOf(command::kWriteKeyTable), 7);
        // Both reactions ran afterwards: two lighting read-backs, one re-selection.
        QCOMPARE(f.framesOf(command::kWriteDeviceInfo), 1);
        QCOMPARE(std::count(end, commands.end(), command::kReadParams), 6);
    }

    // After the keyboard reports a reset, nothing brings back what it cleared: the model and the
    // working file hold the defaults, and the next Apply writes them.
    void keyboardResetIsNotUndone() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        remapAToB(f, 0);
        f.window->edits().setPending(true);
        QVERIFY(applyAndWait(f));
        const auto tablesBefore = f.keyboard->memory(sim::SimRegion::keyTables);

        f.keyboard->factoryReset();
        QTRY_VERIFY_WITH_TIMEOUT(f.framesOf(command::kWriteDeviceInfo) > 0, kArrivalMs);
        QVERIFY(f.settle());
        const auto factoryTables = f.keyboard->memory(sim::SimRegion::keyTables);
        QVERIFY(factoryTables != tablesBefore);

        model::KeyModel inFile;
        QVERIFY(velkan::storage::loadProfileFile(velkan::storage::workingFilePath(), inFile));
        for (const auto* held : {&f.controller->keys().edited, &inFile}) {
            for (int profile = 0; profile < 3; ++profile) {
                QCOMPARE(int{held->image.record(profile, kAKey).type}, 0);
            }
        }
        QVERIFY(f.window->edits().pending());
        QVERIFY(applyAndWait(f));
        QCOMPARE(f.keyboard->memory(sim::SimRegion::keyTables), factoryTables);
    }

    // Another program changed the keyboard and asks the running one to read it back: the
    // model shows what the keyboard holds.
    void readBackRequestShowsWhatTheKeyboardHolds() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        const auto factory = f.keyboard->memory(sim::SimRegion::defaultKeyTable);
        const int tableBytes = f.controller->link().tableBytes;
        model::KeyModel changed;
        velkan::storage::newProfileInMemory(changed);
        changed.image.record(0, kAKey) = kAToB;
        velkan::protocol::KeyTableImage defaults{};
        std::copy_n(factory.begin(), std::min(factory.size(), defaults.size()), defaults.begin());
        const auto table = model::encodeKeyTable(0, changed.image, changed.macros, defaults,
                                                 f.controller->link().keyCount, tableBytes);
        QVERIFY(
            f.keyboard->setMemory(sim::SimRegion::keyTables, 0,
                                  std::span(table).first(static_cast<std::size_t>(tableBytes))));

        f.window->deliverInstanceRequest(velkan::platform::InstanceRequest::readBack);
        QTRY_VERIFY_WITH_TIMEOUT(f.framesOf(command::kEndConfig) > 0, kArrivalMs);
        QVERIFY(f.settle());
        const model::KeyAssignment& shown = f.controller->keys().edited.image.record(0, kAKey);
        QCOMPARE(int{shown.type}, int{kAToB.type});
        QCOMPARE(shown.value, kAToB.value);
    }

    void notAProfileFileGivesOneBox() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        const fs::path file = fs::path(qgetenv("HOME").toStdString()) / "not-a-profile.fwc";
        QVERIFY(velkan::platform::writeFileAtomically(
            file, std::vector<std::uint8_t>(velkan::storage::kKeyImageBytes + 64, 7)));
        f.prompts.chosenFile = file;
        f.prompts.shown.clear();
        f.window->runMenuCommand(app::MenuCommand::importProfile);
        QCOMPARE(f.prompts.shown, std::vector<std::string>{f.text("MAIN_PROMPT_INPORT")});
        QCOMPARE(f.hostFrames(), 0);
    }

    // At start the window is there before the keyboard's contents are: it shows itself at
    // once with the busy indicator running, key clicks wait for the read-back, and the keys
    // fill in when it ends.
    void windowShowsAtOnceAndFillsInAfterTheReadBack() {
        MainWindowFixture f(true, false, sim::KeyboardModel::keys126, {},
                            velkan::platform::programFolder(),
                            {.latency = std::chrono::milliseconds(4)});
        velkan::test::RecordingEditor editor;
        f.window->setKeyEditor(&editor);
        QTRY_VERIFY_WITH_TIMEOUT(f.window->isVisible(), kArrivalMs);
        // The window hears of the work from another thread, a moment later.
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->busy(), kArrivalMs);
        QVERIFY(f.named("busyIndicator")->isVisible());
        QVERIFY(f.framesOf(command::kEndConfig) == 0);
        f.clickKey(velkan::model::GKeyButtons()[0]);
        QVERIFY(editor.calls.empty());
        QVERIFY(f.settle());
        QVERIFY(f.framesOf(command::kEndConfig) > 0);
        QTRY_VERIFY(!f.named("busyIndicator")->isVisible());
        f.clickKey(velkan::model::GKeyButtons()[0]);
        QCOMPARE(editor.calls.size(), std::size_t{1});
    }

    // A kill request that comes while Apply writes the keyboard ends the program only once
    // the write is over: the keyboard is never left inside an unfinished configuration.
    void killDuringAnApplyLetsTheWriteFinish() {
        MainWindowFixture f;
        QVERIFY(f.waitForArrival());
        remapAToB(f, 0);
        const auto tablesBefore = f.keyboard->memory(sim::SimRegion::keyTables);
        f.window->edits().setPending(true);
        f.keyboard->setFaults({.latency = std::chrono::milliseconds(3)});
        QTimer::singleShot(0, [&] { f.window->edits().apply(); });
        QTimer::singleShot(30, [&] {
            QVERIFY(f.controller->busy());
            f.window->deliverInstanceRequest(velkan::platform::InstanceRequest::kill);
        });
        QTimer::singleShot(10000, [] { QCoreApplication::exit(7); });
        QCOMPARE(QCoreApplication::exec(), 0);
        const auto commands = commandsSent(f);
        QCOMPARE(std::count(commands.begin(), commands.end(), command::kBeginConfig),
                 std::count(commands.begin(), commands.end(), command::kEndConfig));
        QVERIFY(f.keyboard->memory(sim::SimRegion::keyTables) != tablesBefore);
        QCOMPARE(f.framesOf(command::kWriteKeyTable, 1), 0);
        model::KeyModel inFile;
        QVERIFY(velkan::storage::loadProfileFile(velkan::storage::workingFilePath(), inFile));
        QCOMPARE(inFile.image.record(0, kAKey).value, kAToB.value);
    }

    // A skin without one of the busy frames is refused at start, before the keyboard is
    // spoken to, not half-way through the first Apply.
    void missingBusyPictureStopsTheStartBeforeAnythingIsSent() {
        std::vector<fs::path> missing;
        const auto previous = velkan::skin::setMissingSkinPictureHandler(
            [&missing](const fs::path& path) { missing.push_back(path); });
        {
            MainWindowFixture f(true, false, sim::KeyboardModel::keys126, {},
                                programFolderWithout("jdt7.bmp"));
            QVERIFY(!f.initialised);
            QTest::qWait(200);
            QCOMPARE(f.hostFrames(), 0);
        }
        velkan::skin::setMissingSkinPictureHandler(previous);
        QVERIFY(!missing.empty());
        QCOMPARE(missing.front().filename().string(), std::string("jdt7.bmp"));
    }
};

VELKAN_APP_TEST_MAIN(KeyboardSequencesTest)
#include "keyboard_sequences_test.moc"
