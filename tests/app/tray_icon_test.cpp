// The tray icon through a recording notification area (the offscreen platform has no system
// tray), the program's menus, the icons the build draws, and the About box.
#include "app/about_dialog.h"
#include "app/tray_icon.h"
#include "app/window_messages.h"
#include "platform/paths.h"
#include "skin/skin_layout.h"
#include "skin/skinned_dialog.h"
#include "support/app_test_main.h"
#include "support/recording_prompts.h"
#include "widgets/colour_static.h"
#include "widgets/skin_menu.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
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

struct AreaCall {
    std::string what; // "add", "icon", "tip", "remove"
    int iconId;
    QString tip;
    bool operator==(const AreaCall&) const = default;
};

class RecordingTrayArea : public TrayArea {
public:
    bool isAvailable = true;
    std::vector<AreaCall> calls;
    TrayIconRecord added;
    std::function<void(quint32)> onMouse;
    std::function<void()> onHostRestarted;

    bool available() const override { return isAvailable; }
    bool add(const TrayIconRecord& record) override {
        added = record;
        return log("add", record);
    }
    bool modify(TrayIconField field, const TrayIconRecord& record) override {
        return log(field == TrayIconField::icon ? "icon" : "tip", record);
    }
    bool remove(const TrayIconRecord& record) override { return log("remove", record); }
    void setHandlers(std::function<void(quint32)> mouse, std::function<void()> restarted) override {
        onMouse = std::move(mouse);
        onHostRestarted = std::move(restarted);
    }

private:
    bool log(const char* what, const TrayIconRecord& record) {
        calls.push_back({what, record.iconId, record.tip});
        return true;
    }
};

// A tray icon on a recording area, with the commands it sends.
struct TrayFixture {
    std::vector<int> commands;
    RecordingTrayArea* area;
    QWidget owner;
    TrayIcon tray;

    explicit TrayFixture(
        std::unique_ptr<RecordingTrayArea> recording = std::make_unique<RecordingTrayArea>())
        : area(recording.get()),
          tray([this](int command) { commands.push_back(command); }, std::move(recording)) {}

    bool create(const QString& tip = QStringLiteral("Keyboard Settings")) {
        return tray.Create(&owner, kTrayCallbackMessage, tip, kTrayImageNoKeyboard, kTrayIconId);
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
    std::vector<std::string> opened;
    int helpRequests = 0;
    AboutDialog about{texts, "https://example.org/?a=1&b=<2>",
                      [this](const std::string& address) { opened.push_back(address); },
                      [this] { ++helpRequests; }};

    QString caption(int id) const {
        return qobject_cast<widgets::ColourStatic*>(about.control(id))->caption();
    }
    QPushButton* ok() const {
        return qobject_cast<QPushButton*>(about.control(AboutDialog::kOkButton));
    }
    QStringList shownTexts() const {
        return {about.windowTitle(), caption(AboutDialog::kIntroduction),
                caption(AboutDialog::kCopyright), ok()->text()};
    }
};

} // namespace

class TrayIconTest : public QObject {
    Q_OBJECT

private slots:
    void rightClickShowsTheLocalisedTrayMenu() {
        TableTexts texts;
        texts.table = {{"MENU_11", "Open Keyboard Settings"}};
        TrayFixture fixture;
        fixture.tray.SetMenuCallback([&texts](SkinMenu& menu) { localiseTrayMenu(menu, texts); });
        QVERIFY(fixture.create());

        fixture.area->onMouse(kRightButtonUp);
        QPointer<SkinMenu> menu = shownMenu();
        QVERIFY(menu);
        QCOMPARE(textsOf(*menu), (QStringList{"Open Keyboard Settings", "<MENU_22>", "<MENU_33>"}));
        const QList<QAction*> items = menu->actions();
        QCOMPARE(menu->defaultAction(), items.at(0));
        QCOMPARE((QList<bool>{items[0]->font().bold(), items[1]->font().bold(),
                              items[2]->font().bold()}),
                 (QList<bool>{true, false, false}));

        // The chosen item's command reaches the owner, and the menu goes away.
        items.at(1)->trigger();
        menu->close();
        QCOMPARE(fixture.commands, (std::vector<int>{command::kAbout}));
        QTRY_VERIFY(menu.isNull());
    }

    void notificationsAnswerOnlyTheIconsOwnId() {
        struct Case {
            quintptr id;
            quint32 mouseMessage;
            qintptr result;
            std::vector<int> commands;
            bool clickPending;
        };
        const std::vector<Case> cases = {
            {kTrayIconId, kLeftDoubleClick, 1, {command::kOpenWindow}, false},
            {kTrayIconId, kLeftButtonDown, 1, {}, true}, // a single click only waits
            {kTrayIconId, 0x0202, 1, {}, false},
            {141, kRightButtonUp, 0, {}, false},
            {141, kLeftDoubleClick, 0, {}, false},
        };
        for (const Case& c : cases) {
            TrayFixture fixture;
            fixture.tray.SetSingleClickCommand(1009);
            QVERIFY(fixture.create());
            QCOMPARE(fixture.tray.OnTrayNotification(c.id, c.mouseMessage), c.result);
            QCOMPARE(fixture.commands, c.commands);
            QCOMPARE(shownMenu(), nullptr);
            QCOMPARE(fixture.tray.clickPending(), c.clickPending);
        }
    }

    void activationsBecomeMouseMessages() {
        struct Case {
            QSystemTrayIcon::ActivationReason reason;
            bool reportsDoubleClicks;
            std::optional<quint32> message;
        };
        const std::vector<Case> cases = {
            {QSystemTrayIcon::Context, true, kRightButtonUp},
            {QSystemTrayIcon::Context, false, kRightButtonUp},
            {QSystemTrayIcon::DoubleClick, true, kLeftDoubleClick},
            {QSystemTrayIcon::Trigger, true, kLeftButtonDown},
            {QSystemTrayIcon::Trigger, false, kLeftDoubleClick}, // a D-Bus tray's one click
            {QSystemTrayIcon::MiddleClick, true, std::nullopt},
        };
        for (const Case& c : cases) {
            QCOMPARE(mouseMessageFor(c.reason, c.reportsDoubleClicks), c.message);
        }
    }

    void theAreaHearsOnlyWhatTheIconsStateAllows() {
        TrayFixture fixture;
        TrayIcon& tray = fixture.tray;
        const QString tip = QStringLiteral("Keyboard Settings");
        struct Step {
            const char* name;
            std::function<bool()> run;
            bool result;
            std::vector<AreaCall> calls;
        };
        const std::vector<Step> steps = {
            {"image before Create", [&] { return tray.SetIcon(141); }, false, {}},
            {"tip before Create", [&] { return tray.SetTooltip("x"); }, false, {}},
            {"hide before Create", [&] { return tray.HideIcon(); }, false, {}},
            {"create", [&] { return fixture.create(tip); }, true, {{"add", 128, tip}}},
            {"image", [&] { return tray.SetIcon(141); }, true, {{"icon", 141, tip}}},
            {"show while shown", [&] { return tray.ShowIcon(); }, false, {}},
            {"hide", [&] { return tray.HideIcon(); }, true, {{"remove", 141, tip}}},
            {"hide while hidden", [&] { return tray.HideIcon(); }, false, {}},
            {"tip while hidden",
             [&] { return tray.SetTooltip("new"); },
             true,
             {{"tip", 141, "new"}}},
            {"show", [&] { return tray.ShowIcon(); }, true, {{"add", 141, "new"}}},
            {"remove", [&] { return tray.Remove(); }, true, {{"remove", 141, "new"}}},
            {"image after Remove", [&] { return tray.SetIcon(142); }, false, {}},
            {"show after Remove", [&] { return tray.ShowIcon(); }, false, {}},
        };
        for (const Step& step : steps) {
            fixture.area->calls.clear();
            QVERIFY2(step.run() == step.result, step.name);
            QVERIFY2(fixture.area->calls == step.calls, step.name);
        }
        QCOMPARE(fixture.area->added.id, kTrayIconId);
        QCOMPARE(fixture.area->added.callbackMessage, quint32{kTrayCallbackMessage});
    }

    void createFailsWithoutATrayOrAnOwner() {
        TrayFixture noTray;
        noTray.area->isAvailable = false;
        QVERIFY(!noTray.create());
        TrayFixture noOwner;
        QVERIFY(!noOwner.tray.Create(nullptr, kTrayCallbackMessage, "tip", 128, kTrayIconId));
        for (TrayFixture* fixture : {&noTray, &noOwner}) {
            QVERIFY(!fixture->tray.SetIcon(141));
            QVERIFY(fixture->area->calls.empty());
        }
        // The offscreen platform has no system tray: the program runs without an icon.
        TrayIcon system([](int) {});
        QVERIFY(!system.Create(&noOwner.owner, kTrayCallbackMessage, "tip", 128, kTrayIconId));
    }

    void thePanelsRestartBringsTheIconBack() {
        TrayFixture fixture;
        fixture.area->onHostRestarted();
        QVERIFY(fixture.area->calls.empty());

        QVERIFY(fixture.create());
        fixture.tray.SetIcon(kTrayImageAlternate);
        fixture.tray.SetTooltip("Now in German");
        fixture.area->calls.clear();
        fixture.area->onHostRestarted();
        QVERIFY((fixture.area->calls == std::vector<AreaCall>{{"remove", 142, "Now in German"},
                                                              {"add", 142, "Now in German"}}));
        QVERIFY(fixture.tray.created() && !fixture.tray.hidden());

        // An icon put away on purpose stays away.
        fixture.tray.HideIcon();
        fixture.area->calls.clear();
        fixture.area->onHostRestarted();
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
            QVERIFY(fixture.tray.SetTooltip(tip));
            for (const AreaCall& call : fixture.area->calls) {
                QCOMPARE(call.tip, shown);
            }
        }
    }

    void theMainMenuOffersItsCommandsInTheCurrentLanguage() {
        const std::unique_ptr<SkinMenu> menu = loadMenu(kMainMenu);
        QVERIFY(menu);
        localiseMainMenu(*menu, TableTexts());
        QCOMPARE(textsOf(*menu), (QStringList{"<MENU_1>", "<MENU_2>", "-", "<MENU_3>", "<MENU_5>",
                                              "-", "<MENU_4>"}));
        QCOMPARE(menu->commandAction(command::kFirmwareUpdate)->text(), "<MENU_5>");
        QVERIFY(loadMenu(kTrayMenu + 1) == nullptr);
    }

    void theBuildDrawsTrayImagesThatTellTheStatesApart() {
        std::vector<QImage> images;
        for (const int id : {kTrayImageNoKeyboard, kTrayImageConnected, kTrayImageAlternate}) {
            images.push_back(skin::loadSkinImage(trayImagePath(id)).value_or(QImage()));
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
        fixture.texts.table = {{"LANG_ABOUT_TITLE", "About"}};
        QVERIFY(fixture.about.request());
        QVERIFY(!fixture.about.request());
        int shown = 0;
        for (QWidget* window : QApplication::topLevelWidgets()) {
            shown += qobject_cast<AboutDialog*>(window) != nullptr && window->isVisible() ? 1 : 0;
        }
        QCOMPARE(shown, 1);
        QCOMPARE(fixture.shownTexts(),
                 (QStringList{"About", "<GUANYU_JIESHAO>", "<GUANYU_BANQUAN>", "<LANG_ABOUT_OK>"}));

        // The link shows the address as text and opens it unchanged.
        auto* link = qobject_cast<QLabel*>(fixture.about.control(AboutDialog::kLink));
        QVERIFY(link->text().contains("https://example.org/?a=1&amp;b=&lt;2&gt;"));
        emit link->linkActivated(link->text());
        QCOMPARE(fixture.opened, (std::vector<std::string>{"https://example.org/?a=1&b=<2>"}));

        // Only the language message with its tag makes the box read its texts again.
        fixture.texts.table = {{"LANG_ABOUT_TITLE", "Über"}, {"LANG_ABOUT_OK", "Gut"}};
        fixture.about.handleMessage(skin::kLanguageMessage, skin::kLanguageTag + 1, 0);
        QCOMPARE(fixture.about.windowTitle(), "About");
        fixture.about.handleMessage(skin::kLanguageMessage, skin::kLanguageTag, 0);
        QCOMPARE(fixture.about.windowTitle(), "Über");
        QCOMPARE(fixture.ok()->text(), "Gut");
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
