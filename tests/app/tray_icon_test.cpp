// The tray icon through a recording notification area (the offscreen platform has no system
// tray), the program's menus, the icons the build draws, and the About box.
#include "app/about_dialog.h"
#include "app/main_menu.h"
#include "app/tray_icon.h"
#include "platform/paths.h"
#include "skin/skin_layout.h"
#include "skin/skinned_dialog.h"
#include "support/app_test_main.h"
#include "support/recording_prompts.h"
#include "support/recording_tray_area.h"
#include "widgets/skin_menu.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace velkan::app {
namespace {

using test::TableTexts;
using widgets::SkinMenu;

using test::TrayAreaCall;

// A tray icon on a recording area, with the requests it sends.
struct TrayFixture {
    std::shared_ptr<test::TrayAreaLog> area = std::make_shared<test::TrayAreaLog>();
    TableTexts texts;
    QWidget owner;
    TrayIcon tray{owner, texts, std::make_unique<test::RecordingTrayArea>(area)};
    QSignalSpy opened{&tray, &TrayIcon::openRequested};
    QSignalSpy about{&tray, &TrayIcon::aboutRequested};
    QSignalSpy exit{&tray, &TrayIcon::exitRequested};

    bool create(const QString& tip = QStringLiteral("Keyboard Settings")) {
        return tray.create(tip, TrayPicture::noKeyboard);
    }
};

SkinMenu* shownMenu() {
    return qobject_cast<SkinMenu*>(QApplication::activePopupWidget());
}

QStringList textsOf(const SkinMenu& menu) {
    QStringList texts;
    for (const QAction* action : menu.actions()) {
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    }
    return texts;
}

// How far apart two pictures look at `side` pixels: the mean distance of their pixels.
double distanceAt(const QImage& a, const QImage& b, int side) {
    const auto shrink = [side](const QImage& image) {
        return image.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    };
    const QImage small1 = shrink(a);
    const QImage small2 = shrink(b);
    double total = 0;
    for (int y = 0; y < side; ++y) {
        for (int x = 0; x < side; ++x) {
            const QColor p = small1.pixelColor(x, y);
            const QColor q = small2.pixelColor(x, y);
            total += std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) +
                     std::abs(p.blue() - q.blue()) + std::abs(p.alpha() - q.alpha());
        }
    }
    return total / (side * side);
}

struct AboutFixture {
    TableTexts texts;
    int helpRequests = 0;
    AboutDialog about{texts, [this] { ++helpRequests; }};

    template <typename Control = QLabel> Control* control(const char* name) const {
        return about.findChild<Control*>(QString::fromLatin1(name));
    }
    QString text(const char* name) const { return control(name)->text(); }
    QPushButton* ok() const { return control<QPushButton>("okButton"); }
    QStringList shownTexts() const {
        return {about.windowTitle(), text("heading"), text("introduction"), text("copyright"),
                ok()->text()};
    }
};

} // namespace

class TrayIconTest : public QObject {
    Q_OBJECT

private slots:
    void rightClickShowsTheLocalisedTrayMenu() {
        TrayFixture fixture;
        fixture.texts.table = {{"MENU_11", "Open Keyboard Settings"}};
        bool extrasAdded = false;
        fixture.tray.setMenuExtras([&extrasAdded](QMenu&) { extrasAdded = true; });
        QVERIFY(fixture.create());

        fixture.area->activate(QSystemTrayIcon::Context);
        QPointer<SkinMenu> menu = shownMenu();
        QVERIFY(menu);
        QVERIFY(extrasAdded);
        QCOMPARE(textsOf(*menu), (QStringList{"Open Keyboard Settings", "<MENU_22>", "<MENU_33>"}));
        const QList<QAction*> items = menu->actions();
        QCOMPARE(menu->defaultAction(), items.at(0));
        QCOMPARE((QList<bool>{items[0]->font().bold(), items[1]->font().bold(),
                              items[2]->font().bold()}),
                 (QList<bool>{true, false, false}));

        // The chosen item's request reaches the owner, and the menu goes away.
        items.at(1)->trigger();
        menu->close();
        QCOMPARE(fixture.about.count(), 1);
        QCOMPARE(fixture.opened.count() + fixture.exit.count(), 0);
        QTRY_VERIFY(menu.isNull());
    }

    // A double click opens the window. A D-Bus (StatusNotifierItem) host reports the user's
    // one activation as a Trigger and never a double click: there the Trigger opens it.
    void activationsFollowTheHostsDoubleClickRule() {
        const struct {
            const char* name;
            QSystemTrayIcon::ActivationReason reason;
            bool reportsDoubleClicks;
            bool created;
            int opened;
            bool menu;
        } cases[] = {
            {"double click", QSystemTrayIcon::DoubleClick, true, true, 1, false},
            {"single click", QSystemTrayIcon::Trigger, true, true, 0, false},
            {"a D-Bus host's click", QSystemTrayIcon::Trigger, false, true, 1, false},
            {"middle click", QSystemTrayIcon::MiddleClick, true, true, 0, false},
            {"right click", QSystemTrayIcon::Context, false, true, 0, true},
            {"before the icon is made", QSystemTrayIcon::DoubleClick, true, false, 0, false},
        };
        for (const auto& c : cases) {
            TrayFixture fixture;
            fixture.area->reportsDoubleClicks = c.reportsDoubleClicks;
            if (c.created) {
                QVERIFY(fixture.create());
            }
            fixture.area->activate(c.reason);
            QVERIFY2(fixture.opened.count() == c.opened, c.name);
            QVERIFY2((shownMenu() != nullptr) == c.menu, c.name);
            if (SkinMenu* menu = shownMenu()) {
                menu->close();
            }
        }
    }

    void theAreaHearsOnlyWhatTheIconsStateAllows() {
        TrayFixture fixture;
        TrayIcon& tray = fixture.tray;
        const QString tip = QStringLiteral("Keyboard Settings");
        using P = TrayPicture;
        struct Step {
            const char* name;
            std::function<bool()> run;
            bool result;
            std::vector<TrayAreaCall> calls;
        };
        const std::vector<Step> steps = {
            {"picture before create", [&] { return tray.setPicture(P::connected); }, false, {}},
            {"tip before create", [&] { return tray.setToolTip("x"); }, false, {}},
            {"hide before create", [&] { return tray.hideIcon(); }, false, {}},
            {"create", [&] { return fixture.create(tip); }, true, {{"show", P::noKeyboard, tip}}},
            {"picture",
             [&] { return tray.setPicture(P::connected); },
             true,
             {{"picture", P::connected, tip}}},
            {"show while shown", [&] { return tray.showIcon(); }, false, {}},
            {"hide", [&] { return tray.hideIcon(); }, true, {{"hide", P::connected, tip}}},
            {"hide while hidden", [&] { return tray.hideIcon(); }, false, {}},
            // Kept for when the icon comes back.
            {"tip while hidden", [&] { return tray.setToolTip("new"); }, true, {}},
            {"show", [&] { return tray.showIcon(); }, true, {{"show", P::connected, "new"}}},
            {"remove", [&] { return tray.remove(); }, true, {{"hide", P::connected, "new"}}},
            {"picture after remove", [&] { return tray.setPicture(P::alternate); }, false, {}},
            {"show after remove", [&] { return tray.showIcon(); }, false, {}},
        };
        for (const Step& step : steps) {
            fixture.area->calls.clear();
            QVERIFY2(step.run() == step.result, step.name);
            QVERIFY2(fixture.area->calls == step.calls, step.name);
        }
    }

    void createFailsWithoutATray() {
        TrayFixture noTray;
        noTray.area->available = false;
        QVERIFY(!noTray.create());
        QVERIFY(!noTray.tray.setPicture(TrayPicture::connected));
        QVERIFY(noTray.area->calls.empty());
        // The offscreen platform has no system tray: the program runs without an icon.
        TrayIcon system(noTray.owner, noTray.texts);
        QVERIFY(!system.create("tip", TrayPicture::noKeyboard));
    }

    void thePanelsRestartBringsTheIconBack() {
        TrayFixture fixture;
        fixture.area->hostRestarted();
        QVERIFY(fixture.area->calls.empty());

        QVERIFY(fixture.create());
        fixture.tray.setPicture(TrayPicture::alternate);
        fixture.tray.setToolTip("Now in German");
        fixture.area->calls.clear();
        fixture.area->hostRestarted();
        QVERIFY((fixture.area->calls ==
                 std::vector<TrayAreaCall>{{"hide", TrayPicture::alternate, "Now in German"},
                                           {"show", TrayPicture::alternate, "Now in German"}}));
        QVERIFY(fixture.tray.created() && !fixture.tray.hidden());

        // An icon put away on purpose stays away.
        fixture.tray.hideIcon();
        fixture.area->calls.clear();
        fixture.area->hostRestarted();
        QVERIFY(fixture.area->calls.empty());
    }

    void longTipsAreCutToWhatTheRecordHolds() {
        const QString smile = QString::fromUtf8("\xF0\x9F\x99\x82"); // two UTF-16 units
        const std::vector<std::pair<QString, QString>> cases = {
            {QString(127, 'a'), QString(127, 'a')},
            {QString(200, 'b'), QString(127, 'b')},
            // The cut would split the pair: the whole character goes.
            {QString(126, 'c') + smile + "d", QString(126, 'c')},
            {QString(125, 'e') + smile + "f", QString(125, 'e') + smile},
        };
        for (const auto& [tip, shown] : cases) {
            TrayFixture fixture;
            QVERIFY(fixture.create(tip));
            QVERIFY(fixture.tray.setToolTip(tip));
            for (const TrayAreaCall& call : fixture.area->calls) {
                QCOMPARE(call.tip, shown);
            }
        }
    }

    void theMainMenuOffersItsCommandsInTheCurrentLanguage() {
        std::vector<MenuCommand> chosen;
        const std::unique_ptr<SkinMenu> menu =
            mainMenuCommands(nullptr, TableTexts(),
                             {[&chosen](MenuCommand command) { chosen.push_back(command); }, {}});
        QCOMPARE(textsOf(*menu), (QStringList{"<MENU_1>", "<MENU_2>", "-", "<MENU_3>", "<MENU_5>",
                                              "-", "<MENU_4>"}));
        // Each item reports its own command.
        for (QAction* action : menu->actions()) {
            action->trigger();
        }
        QCOMPARE(chosen, (std::vector<MenuCommand>{
                             MenuCommand::importProfile, MenuCommand::exportProfile,
                             MenuCommand::about, MenuCommand::firmwareUpdate, MenuCommand::exit}));
    }

    void theBuildDrawsTrayImagesThatTellTheStatesApart() {
        std::vector<QImage> images;
        for (const TrayPicture picture :
             {TrayPicture::noKeyboard, TrayPicture::connected, TrayPicture::alternate}) {
            images.push_back(skin::loadSkinImage(trayImagePath(picture)).value_or(QImage()));
            QVERIFY(!images.back().isNull());
        }
        // Far apart at the sizes panels show them, not a few pixels.
        constexpr double kClearlyDifferent = 40;
        for (const int side : {16, 22, 24}) {
            QVERIFY(distanceAt(images[0], images[1], side) > kClearlyDifferent);
            QVERIFY(distanceAt(images[0], images[2], side) > kClearlyDifferent);
            QVERIFY(distanceAt(images[1], images[2], side) > kClearlyDifferent);
        }
        const std::filesystem::path icons = platform::programFolder() / "Icons";
        QCOMPARE(skin::loadSkinImage(icons / "velkan.png").value_or(QImage()).size(),
                 QSize(256, 256));
        for (const int side : {16, 22, 24, 32, 48, 64, 128, 256}) {
            const std::string size = std::to_string(side) + "x" + std::to_string(side);
            const auto icon = skin::loadSkinImage(icons / "hicolor" / size / "apps" / "velkan.png");
            QCOMPARE(icon.value_or(QImage()).size(), QSize(side, side));
        }
    }

    void aboutOpensOneWindowWithTheLanguagesTexts() {
        AboutFixture fixture;
        fixture.texts.table = {{"LANG_ABOUT_TITLE", "About"}, {"ABOUT_HELP_LINK", "Help & <more>"}};
        QVERIFY(fixture.about.request());
        QVERIFY(!fixture.about.request());
        int shown = 0;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            shown += qobject_cast<AboutDialog*>(window) != nullptr && window->isVisible() ? 1 : 0;
        }
        QCOMPARE(shown, 1);
        QCOMPARE(fixture.shownTexts(), (QStringList{"About", "<MAIN_CAPTION>", "<GUANYU_JIESHAO>",
                                                    "<GUANYU_BANQUAN>", "<LANG_ABOUT_OK>"}));
        QVERIFY(QRegularExpression(QStringLiteral("^<MAIN_VERSION_TEXT> \\d+\\.\\d+\\.\\d+$"))
                    .match(fixture.text("version"))
                    .hasMatch());

        // The link is the help page's; its text is the language file's, shown as text.
        QLabel* link = fixture.control("helpLink");
        QVERIFY(link->text().contains("Help &amp; &lt;more&gt;"));
        emit link->linkActivated(link->text());
        QCOMPARE(fixture.helpRequests, 1);

        // A new language: the box reads its texts again.
        fixture.texts.table = {{"LANG_ABOUT_TITLE", "Über"}, {"LANG_ABOUT_OK", "Gut"}};
        fixture.about.reloadTexts();
        QCOMPARE(fixture.about.windowTitle(), "Über");
        QCOMPARE(fixture.ok()->text(), "Gut");
        fixture.about.close();
    }

    // Long texts, as in other languages, wrap inside the box; a long title widens it.
    void aboutShowsItsTextsWhole() {
        AboutFixture fixture;
        const std::string longLine =
            "Richten Sie die Tasten, Makros und die Beleuchtung Ihrer Tastatur ein, in jedem "
            "der drei Profile, die die Tastatur selbst speichert.";
        fixture.texts.table = {{"LANG_ABOUT_TITLE", "Über das Konfigurationsprogramm der Tastatur"},
                               {"GUANYU_JIESHAO", longLine},
                               {"GUANYU_BANQUAN", longLine}};
        QVERIFY(fixture.about.request());
        QTRY_VERIFY(fixture.about.isVisible());
        for (const char* name : {"heading", "version", "introduction", "copyright", "helpLink"}) {
            const QLabel* line = fixture.control(name);
            QVERIFY2(line->heightForWidth(line->width()) <= line->height(), name);
        }
        QVERIFY(fixture.about.width() >
                fixture.about.fontMetrics().horizontalAdvance(fixture.about.windowTitle()));
        fixture.about.close();
    }

    void aboutHidesOnOkEscapeOrCloseAndOpensAgain() {
        const std::vector<std::function<void(AboutFixture&)>> ways = {
            [](AboutFixture& f) { QTest::mouseClick(f.ok(), Qt::LeftButton); },
            [](AboutFixture& f) { QTest::keyClick(&f.about, Qt::Key_Escape); },
            [](AboutFixture& f) { f.about.close(); }, // the exit routine
        };
        for (const auto& hide : ways) {
            AboutFixture fixture;
            QVERIFY(fixture.about.request());
            // F1 asks for the help page and leaves the box open.
            QTest::keyClick(&fixture.about, Qt::Key_F1);
            QCOMPARE(fixture.helpRequests, 1);
            QVERIFY(fixture.about.isVisible());
            hide(fixture);
            QVERIFY(!fixture.about.isVisible());
            QVERIFY(fixture.about.request());
            fixture.about.close();
        }
    }
};

} // namespace velkan::app

VELKAN_APP_TEST_MAIN(velkan::app::TrayIconTest)
#include "tray_icon_test.moc"
