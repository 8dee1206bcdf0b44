#include "widgets/skin_menu.h"

#include <QSignalSpy>
#include <QTest>

using velkan::widgets::SkinMenu;

class SkinMenuTest : public QObject {
    Q_OBJECT

private slots:
    void defaultItemIsTheOnlyBoldOne() {
        SkinMenu menu;
        const QList<QAction*> items = {menu.addCommand(32771, QStringLiteral("Open")),
                                       menu.addCommand(32773, QStringLiteral("About")),
                                       menu.addCommand(32774, QStringLiteral("Exit"))};
        SkinMenu other;
        QAction* foreign = other.addCommand(1, QStringLiteral("Elsewhere"));

        // Each step makes one item the default (-1: none).
        for (const int chosen : {0, 2, -1, 1}) {
            QVERIFY(menu.setDefaultItem(chosen < 0 ? nullptr : items.at(chosen)));
            for (int i = 0; i < items.size(); ++i) {
                QCOMPARE(items.at(i)->font().bold(), i == chosen);
            }
        }
        // An item of another menu cannot be this menu's default.
        QVERIFY(!menu.setDefaultItem(foreign));
        QCOMPARE(menu.defaultAction(), items.at(1));
        QVERIFY(!foreign->font().bold());
    }

    void commandsAreFoundAndReportedThroughSubmenus() {
        SkinMenu menu;
        menu.addCommand(32776, QStringLiteral("Import"));
        menu.addSeparator();
        SkinMenu* languages = menu.addSkinMenu(QStringLiteral("Language"));
        QAction* english = languages->addCommand(32801, QStringLiteral("English"));
        english->setCheckable(true);

        QCOMPARE(menu.commandAction(32801), english);
        QCOMPARE(menu.commandAction(32999), nullptr);
        QVERIFY(menu.setCommandText(32801, QStringLiteral("Anglais")));
        QCOMPARE(english->text(), QStringLiteral("Anglais"));
        QVERIFY(!menu.setCommandText(32999, QStringLiteral("x")));

        QSignalSpy commands(&menu, &SkinMenu::commandTriggered);
        english->trigger();
        menu.commandAction(32776)->trigger();
        QCOMPARE(commands.size(), 2);
        QCOMPARE(commands.at(0).at(0).toInt(), 32801);
        QCOMPARE(commands.at(1).at(0).toInt(), 32776);
    }
};

int runSkinMenuTests(int argc, char** argv) {
    SkinMenuTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "skin_menu_test.moc"
