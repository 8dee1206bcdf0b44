#include "widgets/skin_menu.h"

#include <QTest>

using velkan::widgets::SkinMenu;

class SkinMenuTest : public QObject {
    Q_OBJECT

private slots:
    void defaultItemIsTheOnlyBoldOne() {
        SkinMenu menu;
        const QList<QAction*> items = {menu.addAction(QStringLiteral("Open")),
                                       menu.addAction(QStringLiteral("About")),
                                       menu.addAction(QStringLiteral("Exit"))};
        SkinMenu other;
        QAction* foreign = other.addAction(QStringLiteral("Elsewhere"));

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
};

int runSkinMenuTests(int argc, char** argv) {
    SkinMenuTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "skin_menu_test.moc"
