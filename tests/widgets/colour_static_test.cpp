#include "widgets/colour_static.h"

#include <QSignalSpy>
#include <QTest>

using velkan::widgets::ColourStatic;

class ColourStaticTest : public QObject {
    Q_OBJECT

private slots:
    void click_data() {
        QTest::addColumn<Qt::MouseButton>("button");
        QTest::addColumn<QPoint>("release");
        QTest::addColumn<int>("clicks");

        QTest::newRow("left click") << Qt::LeftButton << QPoint(15, 10) << 1;
        QTest::newRow("released outside") << Qt::LeftButton << QPoint(45, 10) << 0;
        QTest::newRow("right click") << Qt::RightButton << QPoint(15, 10) << 0;
    }

    void click() {
        QFETCH(Qt::MouseButton, button);
        QFETCH(QPoint, release);
        QFETCH(int, clicks);

        ColourStatic swatch;
        swatch.resize(30, 20);
        swatch.show();
        QSignalSpy clicked(&swatch, &ColourStatic::clicked);
        QTest::mousePress(&swatch, button, {}, {15, 10});
        QTest::mouseRelease(&swatch, button, {}, release);
        QCOMPARE(clicked.size(), clicks);
        // The keyboard's way to click it.
        QTest::keyClick(&swatch, Qt::Key_Space);
        QCOMPARE(clicked.size(), clicks + 1);
    }

    // The colour fills the control inside its frame.
    void showsItsColour() {
        ColourStatic swatch;
        swatch.resize(120, 24);
        const QColor colour(90, 255, 0);
        swatch.setColour(colour);
        const QImage shown = swatch.grab().toImage();
        QCOMPARE(shown.pixelColor(60, 12), colour);
        QCOMPARE(shown.pixelColor(4, 4), colour);
        QVERIFY(shown.pixelColor(0, 0) != colour);
    }
};

int runColourStaticTests(int argc, char** argv) {
    ColourStaticTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "colour_static_test.moc"
