// The main window's life on the simulated keyboard: when it shows itself, how it is reached
// and how it ends.
#include "app/about_dialog.h"
#include "app/main_menu.h"
#include "app/secondary_windows.h"
#include "main_window_fixture.h"
#include "support/app_test_main.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

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
        QSignalSpy arrived(f.controller.get(), &app::KeyboardController::arrived);
        f.simBackend->plug(f.keyboard);
        // The window heard of the arrival before the spy did.
        QVERIFY(arrived.wait(kArrivalMs));
        QVERIFY(!f.window->isVisible());
    }

    void startSwitchKeepsTheWindowHidden() {
        MainWindowFixture f(true, true);
        QSignalSpy arrived(f.controller.get(), &app::KeyboardController::arrived);
        QVERIFY(arrived.wait(kArrivalMs));
        QVERIFY(!f.window->isVisible());
        // It lives in the notification area; the tray's first item opens it.
        f.tray->activate(QSystemTrayIcon::DoubleClick);
        QTRY_VERIFY(f.window->isVisible());
    }

    void noKeyboardAtStartThenArrivalStaysHidden() {
        MainWindowFixture f(false);
        QTRY_VERIFY_WITH_TIMEOUT(f.controller->firstSearchDone(), kArrivalMs);
        f.window->showWindow();
        QVERIFY(!f.window->isVisible());
        QCOMPARE(f.prompts.shown.size(), std::size_t{1});
        QCOMPARE(f.prompts.shown.back(), f.text("MAIN_NO_DEVICE_PROMPT"));

        QSignalSpy arrived(f.controller.get(), &app::KeyboardController::arrived);
        f.simBackend->plug(f.keyboard);
        QVERIFY(arrived.wait(kArrivalMs));
        QVERIFY(!f.window->isVisible());
        f.window->showWindow();
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
        f.window->showWindow();
        f.click("cancelButton");
        QVERIFY(!f.window->isVisible());
        QCOMPARE(finished.count(), 0);
        QVERIFY(f.present());
    }

    void trayFollowsTheKeyboardAndSkipsThePictureShown() {
        using app::TrayPicture;
        MainWindowFixture f;
        QCOMPARE(f.tray->count("show"), 1);
        QTRY_VERIFY_WITH_TIMEOUT(f.tray->pictures() == std::vector{TrayPicture::connected},
                                 kArrivalMs);
        // The keyboard asks for its alternate picture, then for the usual one back.
        f.keyboard->sendEvent(0x1811);
        QTRY_VERIFY_WITH_TIMEOUT(f.window->trayIcon()->picture() == TrayPicture::alternate,
                                 kArrivalMs);
        f.keyboard->sendEvent(0x1811);
        f.keyboard->sendEvent(0x1810);
        QTRY_VERIFY_WITH_TIMEOUT(f.window->trayIcon()->picture() == TrayPicture::connected,
                                 kArrivalMs);
        QVERIFY((f.tray->pictures() == std::vector{TrayPicture::connected, TrayPicture::alternate,
                                                   TrayPicture::connected}));
        // A double click opens the window; a restarted panel gets the icon back.
        f.window->hide();
        f.tray->activate(QSystemTrayIcon::DoubleClick);
        QTRY_VERIFY(f.window->isVisible());
        f.tray->hostRestarted();
        QCOMPARE(f.tray->count("show"), 2);
        QCOMPARE(f.tray->count("hide"), 1);
        // Unplugged, the window goes and the tray shows that no keyboard is there.
        f.simBackend->unplug(f.keyboard);
        QTRY_VERIFY_WITH_TIMEOUT(f.window->trayIcon()->picture() == TrayPicture::noKeyboard,
                                 kArrivalMs);
        QTRY_VERIFY(!f.window->isVisible());
    }

    void exitClosesTheAboutBoxAndRemovesTheIcon() {
        MainWindowFixture f;
        QTRY_VERIFY_WITH_TIMEOUT(f.window->isVisible(), kArrivalMs);
        f.window->runMenuCommand(app::MenuCommand::about);
        f.window->runMenuCommand(app::MenuCommand::about);
        QVERIFY(f.window->secondaryWindows().about().isVisible());
        QTimer::singleShot(0, [&] { f.window->runMenuCommand(app::MenuCommand::exit); });
        QTimer::singleShot(3000, [] { QCoreApplication::exit(7); });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!f.window->secondaryWindows().about().isVisible());
        QVERIFY(!f.window->isVisible());
        QCOMPARE(f.tray->count("hide"), 1);
    }

    // Leaving with edits the keyboard has not got: Cancel keeps the window, No leaves them,
    // Yes sends them and leaves once they are on the keyboard.
    void exitWithUnappliedEditsAsksFirst() {
        const struct {
            const char* name;
            std::optional<bool> answer;
            bool ends;
            bool written;
        } cases[] = {
            {"cancel", std::nullopt, false, false},
            {"no", false, true, false},
            {"yes", true, true, true},
        };
        for (const auto& c : cases) {
            MainWindowFixture f;
            QTRY_VERIFY_WITH_TIMEOUT(f.window->isVisible(), kArrivalMs);
            QVERIFY(f.settle());
            f.controller->keys().edited.image.record(0, 0x04) = {1, 0, 0x030};
            f.window->edits().setPending(true);
            f.prompts.threeWayAnswer = c.answer;
            const auto tables = f.keyboard->memory(velkan::sim::SimRegion::keyTables);
            QTimer::singleShot(0, [&] { f.click("closeButton"); });
            QTimer::singleShot(3000, [] { QCoreApplication::exit(7); });
            QVERIFY2((QCoreApplication::exec() == 0) == c.ends, c.name);
            QVERIFY2(f.prompts.shown.back() == f.text("MAIN_EXIT_APPLY_PROMPT"), c.name);
            QVERIFY2(f.window->isVisible() == !c.ends, c.name);
            const bool written = f.keyboard->memory(velkan::sim::SimRegion::keyTables) != tables;
            QVERIFY2(written == c.written, c.name);
        }
    }

    // Help and links that no program can open say so; the tray's tip says whether the
    // keyboard is there.
    void theUserHearsWhatCouldNotBeDoneAndWhatIsConnected() {
        MainWindowFixture f;
        QTRY_VERIFY_WITH_TIMEOUT(f.window->isVisible(), kArrivalMs);
        f.openSucceeds = false;
        f.click("helpButton");
        QCOMPARE(f.opened.size(), std::size_t{1});
        QCOMPARE(f.prompts.shown.back(), f.text("MAIN_OPEN_FAILED"));
        f.openSucceeds = true;
        f.prompts.shown.clear();
        f.click("linkButton");
        QVERIFY(f.prompts.shown.empty());

        const auto lastTip = [&f] { return f.tray->calls.back().tip.toStdString(); };
        QTRY_VERIFY(lastTip().ends_with(f.text("TRAY_KEYBOARD_CONNECTED")));
        f.simBackend->unplug(f.keyboard);
        QTRY_VERIFY_WITH_TIMEOUT(lastTip().ends_with(f.text("TRAY_NO_KEYBOARD")), kArrivalMs);
    }

    void killRequestRunsTheExitRoutine() {
        MainWindowFixture f;
        QTRY_VERIFY_WITH_TIMEOUT(f.window->isVisible(), kArrivalMs);
        bool ended = false;
        QTimer::singleShot(
            0, [&] { f.window->deliverInstanceRequest(velkan::platform::InstanceRequest::kill); });
        QTimer::singleShot(3000, [] { QCoreApplication::exit(7); });
        ended = QCoreApplication::exec() == 0;
        QVERIFY(ended);
        QVERIFY(!f.window->isVisible());
    }
};

VELKAN_APP_TEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
