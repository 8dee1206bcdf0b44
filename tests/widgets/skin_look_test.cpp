#include "widgets/skin_combo.h"
#include "widgets/skin_list.h"
#include "widgets/skin_look.h"
#include "widgets/skin_menu.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHeaderView>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

using namespace velkan::widgets;

namespace {

enum class Part { ListRows, ListHeader, ComboField, ComboList, MenuItem };

// A point of `part` where nothing but its background is drawn.
QColor shownColour(Part part) {
    if (part == Part::ListRows || part == Part::ListHeader) {
        SkinList list;
        list.setColumns({{QStringLiteral("Name"), 60}, {QStringLiteral("Path"), 60}});
        list.resize(300, 200);
        return part == Part::ListHeader ? list.header()->grab().toImage().pixelColor(250, 5)
                                        : list.viewport()->grab().toImage().pixelColor(200, 100);
    }
    if (part == Part::ComboField || part == Part::ComboList) {
        SkinCombo combo(ComboKind::Plain);
        combo.addItems({QStringLiteral("Wave"), QStringLiteral("Ripple")});
        combo.resize(150, 24);
        if (part == Part::ComboField) {
            return combo.grab().toImage().pixelColor(3, 3);
        }
        // The list is a window of its own; its second entry is neither current nor lit.
        combo.show();
        combo.showPopup();
        QWidget* list = combo.view()->parentWidget();
        return list->grab().toImage().pixelColor(list->width() - 4, list->height() * 3 / 4);
    }
    SkinMenu menu;
    menu.addCommand(1, QStringLiteral("Open"));
    menu.resize(menu.sizeHint().width() + 60, menu.sizeHint().height());
    return menu.grab().toImage().pixelColor(menu.width() - 10, 8);
}

} // namespace

// The skinned widgets must look the same under any desktop style and colours.
class SkinLookTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        savedStyle_ = QApplication::style()->name();
        savedPalette_ = QApplication::palette();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
        QApplication::setPalette(QPalette(Qt::yellow, Qt::magenta));
    }

    void cleanupTestCase() {
        QApplication::setStyle(QStyleFactory::create(savedStyle_));
        QApplication::setPalette(savedPalette_);
    }

    void partsKeepTheSkinColours_data() {
        QTest::addColumn<Part>("part");
        QTest::addColumn<QColor>("expected");

        QTest::newRow("list rows") << Part::ListRows << QColor(kSkinField);
        QTest::newRow("list header") << Part::ListHeader << QColor(kSkinHeader);
        QTest::newRow("combo field") << Part::ComboField << QColor(kSkinField);
        QTest::newRow("combo list") << Part::ComboList << QColor(kSkinField);
        QTest::newRow("menu item") << Part::MenuItem << QColor(kSkinField);
    }

    void partsKeepTheSkinColours() {
        QFETCH(Part, part);
        QFETCH(QColor, expected);
        QCOMPARE(shownColour(part), expected);
    }

private:
    QString savedStyle_;
    QPalette savedPalette_;
};

int runSkinLookTests(int argc, char** argv) {
    SkinLookTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "skin_look_test.moc"
