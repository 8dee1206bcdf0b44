// The skin toolkit against skins of the tests' own: INI text and pictures drawn on the spot
// (PNG, so pure white stays pure white).
#include "skin/image_button.h"
#include "skin/qt_prompts.h"
#include "skin/skin_layout.h"
#include "skin/skinned_dialog.h"

#include <QApplication>
#include <QEnterEvent>
#include <QMessageBox>
#include <QPainter>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QToolTip>
#include <atomic>
#include <fstream>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace velkan::skin {
namespace {

namespace fs = std::filesystem;

class SkinFolder {
public:
    fs::path path() const { return dir_.path().toStdString(); }
    fs::path writeIni(std::string_view text) const {
        std::ofstream(path() / "Skin.ini", std::ios::binary) << text;
        return path() / "Skin.ini";
    }
    void save(std::string_view name, const QImage& image) const {
        image.save(QString::fromStdString((path() / name).string()), "PNG");
    }

private:
    QTemporaryDir dir_;
};

QImage solidImage(QSize size, QColor colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

QPixmap solid(QColor colour) {
    return QPixmap::fromImage(solidImage({64, 64}, colour));
}

QColor pixelOf(QWidget& widget, QPoint at) {
    return widget.grab().toImage().pixelColor(at);
}

void hover(QWidget& widget) {
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), widget.mapToGlobal(QPointF(2, 2)));
    QCoreApplication::sendEvent(&widget, &enter);
}

void sendMouse(QWidget& widget, QEvent::Type type, QPoint global, Qt::MouseButtons buttons) {
    const auto button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, widget.mapFromGlobal(global), global, button, buttons, {});
    QCoreApplication::sendEvent(&widget, &event);
}

// Collects the pictures the skin lacks instead of ending the test.
class MissingPictures {
public:
    MissingPictures()
        : previous_(
              setMissingSkinPictureHandler([this](const fs::path& p) { paths.push_back(p); })) {}
    ~MissingPictures() { setMissingSkinPictureHandler(previous_); }
    std::vector<fs::path> paths;

private:
    MissingPictureHandler previous_;
};

class ProbeDialog : public SkinnedDialog {
public:
    ProbeDialog(const fs::path& ini, const fs::path& folder)
        : SkinnedDialog(nullptr, ini, folder) {}
    std::vector<int> reloads;

protected:
    void reloadTexts(int languageIndex) override { reloads.push_back(languageIndex); }
};

} // namespace

class SkinTest : public QObject {
    Q_OBJECT

private slots:
    void readsRectanglesTheWayTheyScan_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("four numbers") << "120,40,60,20" << QRect(120, 40, 60, 20);
        QTest::newRow("missing key's default") << "1,1,1,1,x" << QRect(1, 1, 1, 1);
        QTest::newRow("blanks before numbers, signs") << " 5, -6,\t7,+8" << QRect(5, -6, 7, 8);
        QTest::newRow("blank before a comma stops") << "5 ,6,7,8" << QRect(5, 1, 1, 1);
        QTest::newRow("too few numbers") << "3,4" << QRect(3, 4, 1, 1);
        QTest::newRow("hex stops after its 0") << "7,0x10,2,2" << QRect(7, 0, 1, 1);
        QTest::newRow("no number") << "x,1,2,3" << QRect(1, 1, 1, 1);
        QTest::newRow("sign alone") << "-,5,5,5" << QRect(1, 1, 1, 1);
        QTest::newRow("beyond any screen") << "10,99999999999,3,4" << QRect(10, 1, 1, 1);
    }
    void readsRectanglesTheWayTheyScan() {
        QFETCH(QString, value);
        QFETCH(QRect, expected);
        QCOMPARE(parseSkinRect(value.toStdString()), expected);
    }

    void placesControlsFromTheSkinFile() {
        const SkinFolder folder;
        const auto ini =
            folder.writeIni("[BUTTONINFO]\r\nBUTTON=120,40,60,20\r\nMOVED=7,8,500,500\r\n"
                            "[BUTTONINFO2]\r\nARROW1=30,50,9,9\r\n");
        // Every pixel tells where it lies in the picture.
        QImage coded(300, 200, QImage::Format_RGB32);
        for (int y = 0; y < coded.height(); ++y) {
            for (int x = 0; x < coded.width(); ++x) {
                coded.setPixelColor(x, y, QColor(x % 256, y, x / 256));
            }
        }
        const auto pictures = ButtonPictures::allAs(QPixmap::fromImage(coded));

        ImageButton button;
        placeImageButton(button, ini, kButtonSection, "BUTTON", pictures);
        QCOMPARE(button.geometry(), QRect(120, 40, 60, 20));
        QVERIFY(button.isEnabled());
        QCOMPARE(pixelOf(button, {0, 0}), QColor(119, 39, 0));
        QCOMPARE(pixelOf(button, {59, 19}), QColor(178, 58, 0));

        ImageButton unplaced;
        placeImageButton(unplaced, ini, kButtonSection, "NOT_IN_THIS_SKIN", pictures);
        QCOMPARE(unplaced.geometry(), QRect(1, 1, 1, 1));
        QVERIFY(!unplaced.isEnabled());

        QWidget control;
        placeControl(control, ini, kButtonSection, "MOVED");
        QCOMPARE(control.geometry(), QRect(7, 8, 500, 500));

        ImageButton sprite;
        placeSpriteButton(sprite, ini, "BUTTON", "ARROW1", pictures.normal);
        sprite.setEnabled(false);
        QCOMPARE(sprite.geometry(), QRect(120, 40, 60, 20));
        QCOMPARE(pixelOf(sprite, {0, 0}), QColor(29, 49, 0));
    }

    void findsAndKeepsSkinPictures() {
        QCOMPARE(skinFilePath("/skins", "Pics\\main.jpg"), fs::path("/skins/Pics/main.jpg"));
        QCOMPARE(skinFilePath("/skins", "/etc/passwd"), fs::path("/skins/etc/passwd"));
        // Button pictures are read once and kept for the program's life.
        const SkinFolder folder;
        folder.save("keys.png", solidImage({4, 4}, Qt::red));
        const MissingPictures missing;
        const QPixmap first = skinPicture(folder.path() / "keys.png");
        fs::remove(folder.path() / "keys.png");
        QCOMPARE(skinPicture(folder.path() / "keys.png").cacheKey(), first.cacheKey());
        QVERIFY(skinPicture(folder.path() / "gone.jpg").isNull());
        QCOMPARE(missing.paths, std::vector{folder.path() / "gone.jpg"});
    }

    void cutsTheWhiteCornersOutOfTheWindow() {
        const SkinFolder folder;
        folder.save("face.png", solidImage({40, 30}, Qt::blue));
        QImage outline = solidImage({40, 30}, Qt::black);
        for (const QPoint corner : {QPoint(0, 0), QPoint(35, 0), QPoint(0, 25), QPoint(35, 25)}) {
            QPainter(&outline).fillRect(QRect(corner, QSize(5, 5)), Qt::white);
        }
        folder.save("outline.png", outline);
        ProbeDialog dialog(folder.writeIni("[SCREEN]\nMain=face.png\nMask=outline.png\n"),
                           folder.path());
        QVERIFY(dialog.initialise());
        QCOMPARE(dialog.size(), QSize(40, 30));
        for (const QPoint corner : {QPoint(0, 0), QPoint(39, 0), QPoint(0, 29), QPoint(39, 29)}) {
            QVERIFY(!dialog.mask().contains(corner));
        }
        QVERIFY(dialog.mask().contains(QPoint(5, 0)) && dialog.mask().contains(QPoint(20, 15)));
        const QImage shown = renderWithShape(dialog);
        QCOMPARE(shown.pixelColor(2, 2).alpha(), 0);
        QCOMPARE(shown.pixelColor(20, 15), QColor(Qt::blue));
    }

    void aFinelyCutOutlineKeepsItsWholeShape() {
        // Runs of one to three pixels, several thousand of them: several batches.
        QImage outline = solidImage({150, 80}, Qt::white);
        QRegion expected;
        for (int y = 0; y < outline.height(); ++y) {
            for (int x = 0; x < outline.width(); ++x) {
                if ((x * 7 + y * 3) % 5 < 2) {
                    outline.setPixelColor(x, y, QColor(254, 255, 255));
                    expected += QRect(x, y, 1, 1);
                }
            }
        }
        QVERIFY(expected.rectCount() > 2 * 2000);
        QCOMPARE(outlineRegion(outline), expected);
    }

    void aMissingPictureIsReportedByName_data() {
        QTest::addColumn<QString>("screen");
        QTest::addColumn<QString>("missing");
        QTest::newRow("background") << "Main=none.jpg\nMask=face.png"
                                    << "none.jpg";
        QTest::newRow("outline") << "Main=face.png\nMask=none.bmp"
                                 << "none.bmp";
        QTest::newRow("no Main key") << ""
                                     << "";
        QTest::newRow("not a picture") << "Main=Skin.ini"
                                       << "Skin.ini";
    }
    void aMissingPictureIsReportedByName() {
        QFETCH(QString, screen);
        QFETCH(QString, missing);
        const SkinFolder folder;
        folder.save("face.png", solidImage({10, 10}, Qt::blue));
        const MissingPictures reported;
        ProbeDialog dialog(folder.writeIni("[SCREEN]\n" + screen.toStdString() + "\n"),
                           folder.path());
        QVERIFY(!dialog.initialise());
        QCOMPARE(reported.paths, std::vector{folder.path() / missing.toStdString()});
    }

    void aNewLanguageReloadsTheTexts() {
        ProbeDialog dialog("none.ini", ".");
        dialog.changeLanguage(2);
        dialog.changeLanguage(0);
        QCOMPARE(dialog.reloads, (std::vector{2, 0}));
    }

    void draggingTheBackgroundMovesTheWindow() {
        ProbeDialog dialog("none.ini", ".");
        dialog.move(100, 100);
        sendMouse(dialog, QEvent::MouseButtonPress, {110, 110}, Qt::LeftButton);
        sendMouse(dialog, QEvent::MouseMove, {140, 90}, Qt::LeftButton);
        sendMouse(dialog, QEvent::MouseButtonRelease, {140, 90}, Qt::NoButton);
        sendMouse(dialog, QEvent::MouseMove, {200, 200}, Qt::NoButton);
        QCOMPARE(dialog.pos(), QPoint(130, 80));
    }

    void choosesThePictureOfTheStrongestState_data() {
        // X disabled, A / B first / second alternate, P pressed, H hovering, S selected look.
        QTest::addColumn<QString>("states");
        QTest::addColumn<QColor>("expected");
        QTest::newRow("rest") << "" << QColor(Qt::red);
        QTest::newRow("selected") << "S" << QColor(Qt::yellow);
        QTest::newRow("hover beats selected") << "HS" << QColor(Qt::green);
        QTest::newRow("pressed beats hover") << "PHS" << QColor(Qt::blue);
        QTest::newRow("alternate beats pressed") << "APHS" << QColor(Qt::cyan);
        QTest::newRow("second alternate") << "B" << QColor(Qt::magenta);
        QTest::newRow("disabled beats all") << "XBPHS" << QColor(Qt::gray);
    }
    void choosesThePictureOfTheStrongestState() {
        QFETCH(QString, states);
        QFETCH(QColor, expected);
        ImageButton button;
        button.resize(10, 10);
        button.setPictures({5, 5}, {solid(Qt::red), solid(Qt::green), solid(Qt::blue),
                                    solid(Qt::gray), solid(Qt::yellow)});
        button.setAlternatePair(solid(Qt::cyan), solid(Qt::magenta));
        button.setAlternateMode(states.contains('A') || states.contains('B'), states.contains('B'));
        button.setSelectedLook(states.contains('S'));
        button.setDown(states.contains('P'));
        if (states.contains('H')) {
            hover(button);
        }
        button.setEnabled(!states.contains('X'));
        QCOMPARE(pixelOf(button, {4, 4}), expected);

        // New pictures start from rest.
        button.setPictures({1, 1}, ButtonPictures::allAs(solid(Qt::black)));
        QVERIFY(!button.isDown() && !button.isHovering());
    }

    void drawsItsTextInTheStateColourInsideTheInsets() {
        ImageButton button;
        button.resize(120, 24);
        button.setPictures({1, 1}, ButtonPictures::allAs(solid(Qt::white)));
        button.setText("MMMM");
        ButtonTextStyle style;
        style.on = true;
        style.normal = Qt::blue;
        style.over = Qt::red;
        style.insets = {60, 0, 0, 0};
        button.setTextStyle(style);
        // Pixels that lean clearly towards red or blue, left and right of the inset.
        const auto leaning = [&](bool red) {
            const QImage shown = button.grab().toImage();
            std::pair<int, int> count;
            for (int y = 0; y < shown.height(); ++y) {
                for (int x = 0; x < shown.width(); ++x) {
                    const QColor c = shown.pixelColor(x, y);
                    const int lean = red ? c.red() - c.blue() : c.blue() - c.red();
                    (x < 60 ? count.first : count.second) += lean > 80 ? 1 : 0;
                }
            }
            return count;
        };
        QVERIFY(leaning(false).first == 0 && leaning(false).second > 5);
        hover(button);
        QVERIFY(leaning(false).second == 0 && leaning(true).second > 5);
    }

    void captionsLongerThanTheirButtonAreDrawnWhole_data() {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("fitsAtItsSize");
        QTest::newRow("short") << "OK" << true;
        QTest::newRow("longer than the button") << "Update abbrechen" << false;
    }
    // A caption that does not fit, as in another language, is drawn smaller, never cut at its
    // ends: no stroke touches the button's left or right edge.
    void captionsLongerThanTheirButtonAreDrawnWhole() {
        QFETCH(QString, caption);
        QFETCH(bool, fitsAtItsSize);
        ImageButton button;
        button.resize(100, 30);
        // Pictures larger than the button: every pixel of it is black but the caption's.
        button.setPictures({2, 2}, ButtonPictures::allAs(QPixmap::fromImage(
                                       solidImage(button.size() * 2, Qt::black))));
        button.setText(caption);
        ButtonTextStyle style;
        style.on = true;
        style.pointSize = 10;
        style.normal = Qt::white;
        button.setTextStyle(style);
        const QImage shown = button.grab().toImage();
        const auto litIn = [&shown](int column) {
            int lit = 0;
            for (int y = 0; y < shown.height(); ++y) {
                lit += shown.pixelColor(column, y).lightness() > 100 ? 1 : 0;
            }
            return lit;
        };
        int lit = 0;
        for (int x = 0; x < shown.width(); ++x) {
            lit += litIn(x);
        }
        QVERIFY(lit > 20);
        QCOMPARE(litIn(0) + litIn(shown.width() - 1), 0);
        QCOMPARE(QFontMetrics(QFont(style.face, 10)).horizontalAdvance(caption) < 100,
                 fitsAtItsSize);
    }

    void aDoubleClickIsASecondClick() {
        ImageButton button;
        button.resize(10, 10);
        QSignalSpy clicks(&button, &QAbstractButton::clicked);
        const QPoint at = button.mapToGlobal(QPoint(5, 5));
        sendMouse(button, QEvent::MouseButtonPress, at, Qt::LeftButton);
        sendMouse(button, QEvent::MouseButtonRelease, at, Qt::NoButton);
        sendMouse(button, QEvent::MouseButtonDblClick, at, Qt::LeftButton);
        sendMouse(button, QEvent::MouseButtonRelease, at, Qt::NoButton);
        QCOMPARE(clicks.count(), 2);
    }

    void showsItsToolTipWhileHovered() {
        ImageButton button;
        button.resize(10, 10);
        button.show();
        button.setToolTipText("Apply the changes");
        hover(button);
        QTRY_VERIFY(QToolTip::isVisible());
        QCOMPARE(QToolTip::text(), QString("Apply the changes"));
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(&button, &leave);
        QTRY_VERIFY(!QToolTip::isVisible());
    }

    void aQuestionAnsweredWithEnterIsNo() {
        QString shown;
        QTimer poll; // answers the box from inside its own event loop once it is up
        connect(&poll, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                poll.stop();
                shown = box->text();
                QTest::keyClick(box, Qt::Key_Return);
            }
        });
        poll.start(10);
        QVERIFY(!QtPrompts().askYesNo("Restore the defaults? \u00e9"));
        QCOMPARE(shown, QString::fromUtf8("Restore the defaults? \u00e9"));
    }
};

} // namespace velkan::skin

QTEST_MAIN(velkan::skin::SkinTest)
#include "skin_test.moc"
