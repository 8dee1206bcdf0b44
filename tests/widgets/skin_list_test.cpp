#include "widgets/skin_list.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using velkan::widgets::SkinList;

namespace {

constexpr int kDelayMaximum = 40000;
const QStringList kKeyNames = {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"),
                               QStringLiteral("D")};
const QStringList kKindTexts = {QStringLiteral("↓"), QStringLiteral("  ↑")};

enum class Finish { Enter, Escape, LeaveField };

// A macro action list in a window, with a second field to move the focus to.
struct ActionListWindow {
    QWidget window;
    SkinList* list = new SkinList;
    QLineEdit* elsewhere = new QLineEdit;
    QList<int> reportedMaxima;

    ActionListWindow() {
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(list);
        layout->addWidget(elsewhere);
        list->setColumns({{QStringLiteral("Key"), 63},
                          {QStringLiteral("Action"), 63},
                          {QStringLiteral("Delay"), 63}});
        list->setColumnDropDown(0, kKeyNames, 20);
        list->setColumnDropDown(1, kKindTexts, 6);
        list->setColumnDigits(2, kDelayMaximum);
        list->setLimitHandler([this](int, int, int maximum) { reportedMaxima << maximum; });
        for (int row = 0; row < 3; ++row) {
            list->insertRow(-1, {kKeyNames.at(row), kKindTexts.at(row % 2), QStringLiteral("50")});
        }
        window.resize(300, 260);
        window.show();
        window.activateWindow();
    }

    void doubleClick(int row, int column) {
        const QPoint cell = list->visualRect(list->model()->index(row, column)).center();
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, cell);
    }
    QLineEdit* digits() const {
        return list->viewport()->findChild<QLineEdit*>(QString(), Qt::FindDirectChildrenOnly);
    }
    QComboBox* dropDown() const {
        return list->viewport()->findChild<QComboBox*>(QString(), Qt::FindDirectChildrenOnly);
    }
};

} // namespace

class SkinListTest : public QObject {
    Q_OBJECT

private slots:
    void digitsEdit_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Finish>("finish");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("changed");
        QTest::addColumn<bool>("limitReported");

        QTest::newRow("letters are refused") << "1a2b3" << Finish::Enter << "123" << true << false;
        QTest::newRow("the maximum itself") << "40000" << Finish::Enter << "40000" << true << false;
        QTest::newRow("above the maximum") << "40001" << Finish::Enter << "40000" << true << true;
        QTest::newRow("far above, no overflow")
            << "99999999999999" << Finish::Enter << "40000" << true << true;
        QTest::newRow("leading zeros") << "0070" << Finish::Enter << "70" << true << false;
        QTest::newRow("emptied is zero") << "\b" << Finish::Enter << "0" << true << false;
        QTest::newRow("same value") << "50" << Finish::Enter << "50" << false << false;
        QTest::newRow("escape keeps old") << "40001" << Finish::Escape << "50" << false << false;
        QTest::newRow("leaving commits") << "70" << Finish::LeaveField << "70" << true << false;
        QTest::newRow("leaving clamps") << "45000" << Finish::LeaveField << "40000" << true << true;
    }

    void digitsEdit() {
        QFETCH(QString, typed);
        QFETCH(Finish, finish);
        QFETCH(QString, expected);
        QFETCH(bool, changed);
        QFETCH(bool, limitReported);

        ActionListWindow fixture;
        QVERIFY(QTest::qWaitForWindowActive(&fixture.window));
        QSignalSpy changes(fixture.list, &SkinList::cellChanged);
        fixture.doubleClick(1, 2);
        QVERIFY(fixture.list->isEditing());
        QVERIFY(fixture.digits()->hasFocus());
        QTest::keyClicks(fixture.digits(), typed);
        if (finish == Finish::LeaveField) {
            fixture.elsewhere->setFocus();
        } else {
            QTest::keyClick(fixture.digits(),
                            finish == Finish::Enter ? Qt::Key_Return : Qt::Key_Escape);
        }

        QVERIFY(!fixture.list->isEditing());
        QVERIFY(!fixture.digits()->isVisible());
        QCOMPARE(fixture.list->cellText(1, 2), expected);
        QCOMPARE(changes.size(), changed ? 1 : 0);
        if (changed) {
            QCOMPARE(changes.at(0), (QVariantList{1, 2, expected}));
        }
        QCOMPARE(fixture.reportedMaxima, limitReported ? QList<int>{kDelayMaximum} : QList<int>{});
        // The other rows are untouched.
        QCOMPARE(fixture.list->cellText(0, 2), QStringLiteral("50"));
    }

    void dropDownEdit_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QList<Qt::Key>>("keys");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("changed");

        const Qt::Key down = Qt::Key_Down;
        QTest::newRow("key picked")
            << 1 << 0 << QList<Qt::Key>{down, Qt::Key_Return} << "C" << true;
        QTest::newRow("kind picked")
            << 0 << 1 << QList<Qt::Key>{down, Qt::Key_Return} << "  ↑" << true;
        QTest::newRow("same entry") << 2 << 0 << QList<Qt::Key>{Qt::Key_Return} << "C" << false;
        QTest::newRow("escape") << 1 << 0 << QList<Qt::Key>{down, Qt::Key_Escape} << "B" << false;
    }

    void dropDownEdit() {
        QFETCH(int, row);
        QFETCH(int, column);
        QFETCH(QList<Qt::Key>, keys);
        QFETCH(QString, expected);
        QFETCH(bool, changed);

        ActionListWindow fixture;
        QVERIFY(QTest::qWaitForWindowActive(&fixture.window));
        QSignalSpy changes(fixture.list, &SkinList::cellChanged);
        const QString before = fixture.list->cellText(row, column);
        fixture.doubleClick(row, column);
        QComboBox* dropDown = fixture.dropDown();
        QVERIFY(fixture.list->isEditing());
        // The list opens at once, on the cell's present entry.
        QTRY_VERIFY(dropDown->view()->isVisible());
        QCOMPARE(dropDown->currentText(), before);
        for (const Qt::Key key : keys) {
            QTest::keyClick(dropDown->view(), key);
        }

        QTRY_VERIFY(!fixture.list->isEditing());
        QVERIFY(!dropDown->isVisible());
        QCOMPARE(fixture.list->cellText(row, column), expected);
        QCOMPARE(changes.size(), changed ? 1 : 0);
        if (changed) {
            QCOMPARE(changes.at(0), (QVariantList{row, column, expected}));
        }
    }

    void cellsWithoutEditorsOrRowsAreNotEdited() {
        SkinList profiles;
        profiles.setColumns({{QStringLiteral("Active"), 60},
                             {QStringLiteral("Name"), 120},
                             {QStringLiteral("Path"), 230}});
        profiles.insertRow(-1, {QStringLiteral("*"), QStringLiteral("Game"), QStringLiteral("/")});
        QVERIFY(!profiles.editCell(0, 1));
        QVERIFY(!profiles.isEditing());

        ActionListWindow fixture;
        QSignalSpy changes(fixture.list, &SkinList::cellChanged);
        QVERIFY(!fixture.list->editCell(7, 2));
        QVERIFY(!fixture.list->editCell(0, 3));
        // The row under an open edit goes away: the typed value must land nowhere.
        QVERIFY(fixture.list->editCell(1, 2));
        QTest::keyClicks(fixture.digits(), QStringLiteral("90"));
        QVERIFY(fixture.list->removeRow(1));
        QVERIFY(!fixture.list->isEditing());
        fixture.list->commitEdit();
        QCOMPARE(changes.size(), 0);
        QCOMPARE(fixture.list->cellText(1, 2), QStringLiteral("50"));
    }

    void moveRow_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("landed");
        QTest::addColumn<QString>("order");

        QTest::newRow("to top") << 2 << 0 << 0 << "CABD";
        QTest::newRow("up") << 2 << 1 << 1 << "ACBD";
        QTest::newRow("down") << 1 << 2 << 2 << "ACBD";
        QTest::newRow("to bottom") << 0 << 3 << 3 << "BCDA";
        QTest::newRow("up from the top") << 0 << -1 << 0 << "ABCD";
        QTest::newRow("down from the bottom") << 3 << 4 << 3 << "ABCD";
        QTest::newRow("no such row") << 4 << 0 << -1 << "ABCD";
    }

    void moveRow() {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, landed);
        QFETCH(QString, order);

        SkinList list;
        list.setColumns({{QStringLiteral("Key"), 63}});
        for (const QString& key : kKeyNames) {
            list.setRowData(list.insertRow(-1, {key}), key);
        }
        list.selectRow(from);

        QCOMPARE(list.moveRow(from, to), landed);
        QString shown;
        for (int row = 0; row < list.rowCount(); ++row) {
            shown += list.cellText(row, 0);
            // Each row keeps its own data.
            QCOMPARE(list.rowData(row).toString(), list.cellText(row, 0));
        }
        QCOMPARE(shown, order);
        if (landed >= 0) {
            QCOMPARE(list.selectedRow(), landed);
        }
    }
};

int runSkinListTests(int argc, char** argv) {
    SkinListTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "skin_list_test.moc"
