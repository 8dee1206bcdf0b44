#include "widgets/skin_slider.h"

#include <QTest>

using velkan::widgets::SkinSlider;

namespace {

using Calls = QList<QPair<int, bool>>;
constexpr int kWidth = 260;

// A shown slider of `count` positions that records what it tells its window.
struct SliderFixture {
    SkinSlider slider;
    Calls calls;

    explicit SliderFixture(int count, int start = 0) : slider(count) {
        slider.resize(kWidth, 20);
        slider.setPosition(start);
        slider.setPositionHandler([this](int position, bool released) {
            calls.append({position, released});
        });
        slider.show();
    }
};

QPixmap solidPicture(QSize size, QColor colour) {
    QPixmap picture(size);
    picture.fill(colour);
    return picture;
}

} // namespace

class SkinSliderTest : public QObject {
    Q_OBJECT

private slots:
    void mouse_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("thumbWidth"); // 0: the drawn thumb, 10 pixels wide
        QTest::addColumn<QList<int>>("xs");  // press, moves..., release
        QTest::addColumn<Calls>("expected");

        // 26 positions over 250 pixels of travel: position p is centred at 5 + 10 p.
        QTest::newRow("26: click")
            << 26 << 0 << QList<int>{125, 125} << Calls{{12, false}, {12, true}};
        QTest::newRow("26: right edge")
            << 26 << 0 << QList<int>{259, 259} << Calls{{25, false}, {25, true}};
        QTest::newRow("26: on the present position")
            << 26 << 0 << QList<int>{0, 0} << Calls{{0, true}};
        QTest::newRow("26: drag") << 26 << 0 << QList<int>{5, 55, 105, 105}
                                  << Calls{{5, false}, {10, false}, {10, true}};
        QTest::newRow("26: drag past the end")
            << 26 << 0 << QList<int>{5, 400, 400} << Calls{{25, false}, {25, true}};
        // 6 positions: centred at 5 + 50 p; halfway between rounds to the nearer one.
        QTest::newRow("6: click") << 6 << 0 << QList<int>{155, 155} << Calls{{3, false}, {3, true}};
        QTest::newRow("6: just below halfway")
            << 6 << 0 << QList<int>{129, 129} << Calls{{2, false}, {2, true}};
        QTest::newRow("6: just above halfway")
            << 6 << 0 << QList<int>{131, 131} << Calls{{3, false}, {3, true}};
        // A 30-pixel thumb picture leaves 230 pixels of travel: centres at 15 + 46 p.
        QTest::newRow("6: thumb picture")
            << 6 << 30 << QList<int>{199, 199} << Calls{{4, false}, {4, true}};
    }

    void mouse() {
        QFETCH(int, count);
        QFETCH(int, thumbWidth);
        QFETCH(QList<int>, xs);
        QFETCH(Calls, expected);

        SliderFixture fixture(count);
        if (thumbWidth > 0) {
            fixture.slider.setPictures(solidPicture({kWidth, 20}, Qt::darkGray),
                                       solidPicture({thumbWidth, 20}, Qt::white));
        }
        QTest::mousePress(&fixture.slider, Qt::LeftButton, {}, {xs.first(), 10});
        for (qsizetype i = 1; i + 1 < xs.size(); ++i) {
            QTest::mouseMove(&fixture.slider, {xs.at(i), 10});
        }
        QTest::mouseRelease(&fixture.slider, Qt::LeftButton, {}, {xs.last(), 10});

        QCOMPARE(fixture.calls, expected);
        QCOMPARE(fixture.slider.position(), expected.last().first);
    }

    void keyboard_data() {
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("start");
        QTest::addColumn<Qt::Key>("key");
        QTest::addColumn<Calls>("expected");

        QTest::newRow("26: right") << 26 << 0 << Qt::Key_Right << Calls{{1, false}, {1, true}};
        QTest::newRow("26: left at the start") << 26 << 0 << Qt::Key_Left << Calls{{0, true}};
        QTest::newRow("26: end") << 26 << 3 << Qt::Key_End << Calls{{25, false}, {25, true}};
        QTest::newRow("26: page down")
            << 26 << 10 << Qt::Key_PageDown << Calls{{5, false}, {5, true}};
        QTest::newRow("6: home") << 6 << 4 << Qt::Key_Home << Calls{{0, false}, {0, true}};
        QTest::newRow("6: up at the end") << 6 << 5 << Qt::Key_Up << Calls{{5, true}};
        QTest::newRow("6: page up") << 6 << 2 << Qt::Key_PageUp << Calls{{3, false}, {3, true}};
        QTest::newRow("6: other key") << 6 << 2 << Qt::Key_A << Calls{};
    }

    void keyboard() {
        QFETCH(int, count);
        QFETCH(int, start);
        QFETCH(Qt::Key, key);
        QFETCH(Calls, expected);

        SliderFixture fixture(count, start);
        QTest::keyClick(&fixture.slider, key);
        QCOMPARE(fixture.calls, expected);
    }

    // A value from outside, such as a keyboard's reply, stays within the positions and is not
    // told back to the window.
    void outsideValuesAreClampedQuietly() {
        SliderFixture fixture(6, 2);
        fixture.slider.setPosition(40);
        QCOMPARE(fixture.slider.position(), 5);
        fixture.slider.setPosition(-3);
        QCOMPARE(fixture.slider.position(), 0);
        QVERIFY(fixture.calls.isEmpty());
    }
};

int runSkinSliderTests(int argc, char** argv) {
    SkinSliderTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "skin_slider_test.moc"
