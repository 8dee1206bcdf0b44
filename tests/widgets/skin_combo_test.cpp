#include "widgets/skin_combo.h"

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

using velkan::widgets::ComboKind;
using velkan::widgets::SkinCombo;

namespace {

enum class Finish { Enter, Escape, LeaveBox };

} // namespace

class SkinComboTest : public QObject {
    Q_OBJECT

private slots:
    void editCommit_data() {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<Finish>("finish");
        QTest::addColumn<int>("committedIndex"); // -2: nothing committed
        QTest::addColumn<QString>("shown");

        const QStringList macros = {QStringLiteral("Macro1"), QStringLiteral("Macro2")};
        QTest::newRow("Enter renames") << macros << "Fire" << Finish::Enter << 0 << "Fire";
        QTest::newRow("leaving renames") << macros << "Fire" << Finish::LeaveBox << 0 << "Fire";
        // The name of another entry is a rename of this one, never a switch to that entry.
        QTest::newRow("other entry's name") << macros << "Macro2" << Finish::Enter << 0 << "Macro2";
        QTest::newRow("unchanged name") << macros << "Macro1" << Finish::Enter << -2 << "Macro1";
        QTest::newRow("Escape takes it back")
            << macros << "Fire" << Finish::Escape << -2 << "Macro1";
        QTest::newRow("empty list") << QStringList() << "Fire" << Finish::Enter << -1 << "Fire";
    }

    void editCommit() {
        QFETCH(QStringList, items);
        QFETCH(QString, typed);
        QFETCH(Finish, finish);
        QFETCH(int, committedIndex);
        QFETCH(QString, shown);

        QWidget window;
        auto* combo = new SkinCombo(ComboKind::Editable);
        auto* elsewhere = new QLineEdit;
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(combo);
        layout->addWidget(elsewhere);
        combo->addItems(items);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        combo->setFocus();
        QSignalSpy commits(combo, &SkinCombo::editCommitted);

        combo->lineEdit()->selectAll();
        QTest::keyClicks(combo, typed);
        if (finish == Finish::LeaveBox) {
            elsewhere->setFocus();
        } else {
            QTest::keyClick(combo, finish == Finish::Enter ? Qt::Key_Return : Qt::Key_Escape);
        }
        // A second way out must not report the same edit again.
        elsewhere->setFocus();

        QCOMPARE(commits.size(), committedIndex == -2 ? 0 : 1);
        if (committedIndex != -2) {
            QCOMPARE(commits.at(0), (QVariantList{committedIndex, typed}));
        }
        QCOMPARE(combo->currentIndex(), items.isEmpty() ? -1 : 0);
        QCOMPARE(combo->lineEdit()->text(), shown);
        QCOMPARE(combo->count(), items.size());
        if (!items.isEmpty()) {
            QCOMPARE(combo->itemText(0), shown);
            QCOMPARE(combo->itemText(1), items.at(1));
        }
    }
};

int runSkinComboTests(int argc, char** argv) {
    SkinComboTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "skin_combo_test.moc"
