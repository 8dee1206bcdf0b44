#include "widgets/skin_combo.h"
#include "widgets/skin_list.h"
#include "widgets/skin_look.h"
#include "widgets/skin_menu.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>
#include <memory>

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
    menu.addAction(QStringLiteral("Open"));
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

    void dialogsTheProgramDoesNotDrawAreDark_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("message box") << "message box";
        QTest::newRow("file dialog") << "file dialog";
        QTest::newRow("colour chooser") << "colour chooser";
    }
    // Under a light desktop palette (yellow, here) the boxes Qt draws for the program take the
    // skin's dark colours and face once the program has asked for it.
    void dialogsTheProgramDoesNotDrawAreDark() {
        QFETCH(QString, kind);
        const QFont savedFont = QApplication::font();
        applyDarkDialogLook(*qApp);
        std::unique_ptr<QDialog> dialog;
        if (kind == "message box") {
            dialog = std::make_unique<QMessageBox>(QMessageBox::Question, QStringLiteral("Velkan"),
                                                   QStringLiteral("Delete all actions?"),
                                                   QMessageBox::Yes | QMessageBox::No);
        } else if (kind == "file dialog") {
            auto file = std::make_unique<QFileDialog>();
            file->setOption(QFileDialog::DontUseNativeDialog, true);
            dialog = std::move(file);
        } else {
            dialog = std::make_unique<QColorDialog>();
        }
        const QImage shown = dialog->grab().toImage();
        double lightness = 0;
        for (int y = 0; y < shown.height(); y += 2) {
            for (int x = 0; x < shown.width(); x += 2) {
                lightness += shown.pixelColor(x, y).lightness();
            }
        }
        lightness /= (shown.height() / 2.0) * (shown.width() / 2.0);
        const QString family = dialog->font().family();
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Windows")));
        QApplication::setPalette(QPalette(Qt::yellow, Qt::magenta));
        QApplication::setFont(savedFont);
        QVERIFY2(lightness < 80, qPrintable(QString::number(lightness)));
        QCOMPARE(family, skinFontFamily());
    }

    void labelsShrinkTheirTextToFit_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("shrunk");
        QTest::addColumn<bool>("fits");
        QTest::newRow("one line") << "Choose the function." << false << true;
        QTest::newRow("two lines")
            << "Press the key this key should send, or choose a mouse action below." << false
            << true;
        QTest::newRow("too long for two lines")
            << "Drücken Sie die Taste, die diese Taste senden soll, oder wählen Sie eine "
               "Maustaste aus."
            << true << true;
        QTest::newRow("too long for any size") << QString("Taste ").repeated(60) << true << false;
    }
    void labelsShrinkTheirTextToFit() {
        QFETCH(QString, text);
        QFETCH(bool, shrunk);
        QFETCH(bool, fits);
        QLabel label(text);
        label.resize(300, 36);
        fitLabelText(label, 10.8, 7);
        QCOMPARE(label.font().pointSizeF() < 10.8, shrunk);
        QVERIFY(label.font().pointSizeF() >= 7);
        QCOMPARE(label.heightForWidth(label.width()) <= label.height(), fits);
        // A shorter text later grows back to the full size.
        label.setText(QStringLiteral("OK"));
        fitLabelText(label, 10.8, 7);
        QCOMPARE(label.font().pointSizeF(), 10.8);
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
