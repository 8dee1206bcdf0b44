// The main window's life on the simulated keyboard: when it shows itself, how it is reached
// and how it ends.
#include "app/about_dialog.h"
#include "main_window_fixture.h"
#include "support/app_test_main.h"

#include <QSignalSpy>
#include <QTest>

using velkan::test::MainWindowFixture;
namespace app = velkan::app;

namespace {

constexpr int kArrivalMs = 5000;

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private slots:
    void keyboardAtStartShowsTheWindowOnce() {
        MainWindowFixture f;
        QVERIFY(f.initialised);
        QTRY_VERIFY_WITH_TIMEOUT(f.window->isVisible(), kArrivalMs);
        f.window->hide();
        // A later arrival does not show it again.
        f.simBackend->unplug(f.keyboard);
        QTRY_VERIFY_WITH_TIMEOUT(!f.present(), kArrivalMs);
        f.simBackend->plug(f.keyboard);
        QTRY_VERIFY_WITH_TIMEOUT(f.present(), kArrivalMs);
        QTest::qWait(300);
        QVERIFY(!f.window->isVisible());
    }

    void startSwitchKeepsTheWindowHidden() {
        MainWindowFixture f(true, true);
        QTRY_VERIFY_WITH_TIMEOUT(f.present(), kArrivalMs);
        QTest::qWait(300);
        QVERIFY(!f.window->isVisible());
        // It lives in the notification area; the tray's first item opens it.
        f.window->onCommand(app::command::kOpenWindow);
        QVERIFY(f.window->isVisible());
    }

    void noKeyboardAtStartThenArrivalStaysHidden() {
        MainWindowFixture f(false);
        QTRY_VERIFY_WITH_TIMEOUT(f.window->keyboard().link.firstSearchDone.load(), kArrivalMs);
        f.window->onCommand(app::command::kOpenWindow);
        QVERIFY(!f.window->isVisible());
        QCOMPARE(f.prompts.shown.size(), std::size_t{1});
        QCOMPARE(f.prompts.shown.back(), f.text("MAIN_NO_DEVICE_PROMPT"));

        f.simBackend->plug(f.keyboard);
        QTRY_VERIFY_WITH_TIMEOUT(f.present(), kArrivalMs);
        QTest::qWait(300);
        QVERIFY(!f.window->isVisible());
        f.window->onCommand(app::command::kOpenWindow);
        QVERIFY(f.window->isVisible());
    }

    void enterAndEscapeNeverCloseTheWindow() {
        MainWindowFixture f;
        QTRY_VERIFY_WITH_TIMEOUT(f.window->isVisible(), kArrivalMs);
        for (const auto key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
            QTest::keyClick(f.window.get(), key);
            QVERIFY(f.window->isVisible());
        }
    }

    void closeBoxAndCancelOnlyHide() {
        MainWindowFixture f;
        QTRY_VERIFY_WITH_TIMEOUT(f.window->isVisible(), kArrivalMs);
        QSignalSpy finished(f.window.get(), &QDialog::finished);
        f.window->close();
        QVERIFY(!f.window->isVisible());
        f.window->onCommand(app::command::kOpenWindow);
        f.window->onCommand(app::command::kCancel);
        QVERIFY(!f.window->isVisible());
        QCOMPARE(finished.count(), 0);
        QVERIFY(f.window->keyboard().link.devicePresent.load());
    }

    void trayFollowsTheKeyboardAndSkipsTheImageShown() {
        MainWindowFixture f;
        QCOMPARE(f.tray->adds, 1);
        QTRY_VERIFY_WITH_TIMEOUT(f.window->shownTrayImage() == 141, kArrivalMs);
        QCOMPARE(f.tray->icons, std::vector<int>{141});
        // The keyboard asks for its alternate image, then for the usual one back.
        f.keyboard->sendEvent(0x1811);
        QTRY_COMPARE_WITH_TIMEOUT(f.window->shownTrayImage(), 142, kArrivalMs);
        f.keyboard->sendEvent(0x1811);
        f.keyboard->sendEvent(0x1810);
        QTRY_COMPARE_WITH_TIMEOUT(f.window->shownTrayImage(), 141, kArrivalMs);
        QCOMPARE(f.tray->icons, (std::vector<int>{141, 142, 141}));
        // A double click opens the window; a restarted panel gets the icon back.
        f.window->hide();
        f.tray->onMouse(app::kLeftDoubleClick);
        QTRY_VERIFY(f.window->isVisible());
        f.tray->onHostRestarted();
        QCOMPARE(f.tray->adds, 2);
        QCOMPARE(f.tray->removes, 1);
        // Unplugged, the window goes and the tray shows that no keyboard is there.
        f.simBackend->unplug(f.keyboard);
        QTRY_COMPARE_WITH_TIMEOUT(f.window->shownTrayImage(), 128, kArrivalMs);
        QTRY_VERIFY(!f.window->isVisible());
    }

    void exitClosesTheAboutBoxAndRemovesTheIcon() {
        MainWindowFixture f;
        QTRY_VERIFY_WITH_TIMEOUT(f.window->isVisible(), kArrivalMs);
        f.window->onCommand(app::command::kAbout);
        f.window->onCommand(app::command::kAbout);
        QVERIFY(f.window->aboutBox()->isVisible());
        QTimer::singleShot(0, [&] { f.window->onCommand(app::command::kMenuExit); });
        QTimer::singleShot(3000, [] { QCoreApplication::exit(7); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!f.window->aboutBox()->isVisible());
        QVERIFY(!f.window->isVisible());
        QCOMPARE(f.tray->removes, 1);
    }

    void killRequestRunsTheExitRoutine() {
        MainWindowFixture f;
        QTRY_VERIFY_WITH_TIMEOUT(f.window->isVisible(), kArrivalMs);
        // A tag other than the kill request's is ignored.
        f.window->deliverInstanceMessage({app::kKillRequest.message, 0x1234, 0});
        QTest::qWait(100);
        QVERIFY(f.window->isVisible());
        bool ended = false;
        QTimer::singleShot(0, [&] {
            f.window->deliverInstanceMessage({app::kKillRequest.message, app::kKillRequest.tag, 0});
        });
        QTimer::singleShot(3000, [] { QCoreApplication::exit(7); });
        ended = QCoreApplication::exec() == 0;
        QVERIFY(ended);
        QVERIFY(!f.window->isVisible());
    }
};

VELKAN_APP_TEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
