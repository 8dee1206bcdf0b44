// The main window's keyboard sequences as the user and the keyboard meet them: each runs whole,
// one at a time; nothing the user set is lost or written back after the keyboard cleared it;
// and opening boxes from the tray never pulls the tray menu out from under itself.
#include "main_window_fixture.h"
#include "platform/atomic_file.h"
#include "protocol/command_set.h"
#include "skin/skin_layout.h"
#include "storage/profile_file.h"
#include "support/app_test_main.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <filesystem>

using velkan::test::MainWindowFixture;
namespace app = velkan::app;
namespace command = velkan::protocol::command;
namespace fs = std::filesystem;
namespace sim = velkan::sim;
namespace model = velkan::model;

namespace {

constexpr int kArrivalMs = 5000;

void waitForArrival(MainWindowFixture& f) {
    QTRY_VERIFY_WITH_TIMEOUT(f.window->isVisible(), kArrivalMs);
    QTest::qWait(100); // the arrival's lighting read-back ends after the window is shown
    f.keyboard->clearWireLog();
}

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
    auto& configuration = f.window->keyboard().configuration;
    const std::lock_guard lock(configuration.modelLock);
    configuration.edited.image.record(profile, kAKey) = kAToB;
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
        QTRY_VERIFY_WITH_TIMEOUT(f.window->keyboard().link.firstSearchDone.load(), kArrivalMs);
        f.prompts.whileShown = [] { QTest::qWait(30); };
        for (std::size_t time = 1; time <= 2; ++time) {
            f.tray->onMouse(app::kRightButtonUp);
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
        waitForArrival(f);
        QVERIFY(!f.window->applyEnabled());
        QVERIFY(!f.window->control(1006)->isEnabled());
    }

    // The lighting read-back and the reset reaction asked for during an Apply run after it:
    // nothing of theirs lands between the apply's begin and end.
    void keyboardEventsDuringAnApplyWaitForIt() {
        MainWindowFixture f;
        waitForArrival(f);
        remapAToB(f, 0);
        f.window->setApplyEnabled(true);
        f.keyboard->setFaults({.latency = std::chrono::milliseconds(5)});
        QTimer::singleShot(12, [&] { f.keyboard->changeLightingOnKeyboard(); });
        QTimer::singleShot(20, [&] { f.keyboard->sendEvent(0x0402); });
        f.window->Apply();
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
        waitForArrival(f);
        remapAToB(f, 0);
        f.window->setApplyEnabled(true);
        QVERIFY(f.window->Apply());
        const auto tablesBefore = f.keyboard->memory(sim::SimRegion::keyTables);

        f.keyboard->factoryReset();
        QTRY_VERIFY_WITH_TIMEOUT(f.framesOf(command::kWriteDeviceInfo) > 0, kArrivalMs);
        QTest::qWait(100);
        const auto factoryTables = f.keyboard->memory(sim::SimRegion::keyTables);
        QVERIFY(factoryTables != tablesBefore);

        auto& configuration = f.window->keyboard().configuration;
        model::KeyModel inFile;
        QVERIFY(velkan::storage::loadProfileFile(velkan::storage::workingFilePath(), inFile));
        {
            const std::lock_guard lock(configuration.modelLock);
            for (const auto* held : {&configuration.edited, &inFile}) {
                for (int profile = 0; profile < 3; ++profile) {
                    QCOMPARE(int{held->image.record(profile, kAKey).type}, 0);
                }
            }
        }
        QVERIFY(f.window->Apply());
        QCOMPARE(f.keyboard->memory(sim::SimRegion::keyTables), factoryTables);
    }

    // Another program changed the keyboard and asks the running one to read it back: the
    // model shows what the keyboard holds. A request with a wrong tag is ignored.
    void readBackRequestShowsWhatTheKeyboardHolds() {
        MainWindowFixture f;
        waitForArrival(f);
        auto& stack = f.window->keyboard();
        model::KeyModel changed;
        velkan::storage::newProfileInMemory(changed);
        changed.image.record(0, kAKey) = kAToB;
        const auto table =
            model::encodeKeyTable(0, changed.image, changed.macros, stack.mirrors.defaultKeyTable(),
                                  stack.link.keyCount, stack.link.tableBytes);
        QVERIFY(f.keyboard->setMemory(
            sim::SimRegion::keyTables, 0,
            std::span(table).first(static_cast<std::size_t>(stack.link.tableBytes.load()))));

        const auto request = velkan::platform::kReadBackRequest;
        f.window->deliverInstanceMessage({request.message, request.wParam + 1, 0});
        QTest::qWait(200);
        QCOMPARE(f.hostFrames(), 0);
        f.window->deliverInstanceMessage(request);
        QTRY_VERIFY_WITH_TIMEOUT(f.framesOf(command::kEndConfig) > 0, kArrivalMs);
        const std::lock_guard lock(stack.configuration.modelLock);
        QCOMPARE(int{stack.configuration.edited.image.record(0, kAKey).type}, int{kAToB.type});
        QCOMPARE(stack.configuration.edited.image.record(0, kAKey).value, kAToB.value);
    }

    void notAProfileFileGivesOneBox() {
        MainWindowFixture f;
        waitForArrival(f);
        const fs::path file = fs::path(qgetenv("HOME").toStdString()) / "not-a-profile.fwc";
        QVERIFY(velkan::platform::writeFileAtomically(
            file, std::vector<std::uint8_t>(velkan::storage::kKeyImageBytes + 64, 7)));
        f.prompts.chosenFile = file;
        f.prompts.shown.clear();
        f.window->onCommand(app::command::kImport);
        QCOMPARE(f.prompts.shown, std::vector<std::string>{f.text("MAIN_PROMPT_INPORT")});
        QCOMPARE(f.hostFrames(), 0);
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
