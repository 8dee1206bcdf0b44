// The lighting panel in the main window on a simulated keyboard: what each control writes into
// the keyboard's lighting pages, the per-key view with its painting, and the preview on the
// key picture.
#include "app/key_grid.h"
#include "app/lighting_panel.h"
#include "device/input_report_reader.h"
#include "main_window_fixture.h"
#include "protocol/command_set.h"
#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "skin/skinned_dialog.h"
#include "storage/colour_files.h"
#include "support/app_test_main.h"
#include "support/controller_settle.h"
#include "support/recording_editor.h"
#include "widgets/colour_static.h"
#include "widgets/skin_combo.h"
#include "widgets/skin_slider.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <array>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>
#include <vector>

using velkan::test::MainWindowFixture;
namespace app = velkan::app;
namespace model = velkan::model;
namespace sim = velkan::sim;
namespace command = velkan::protocol::command;

Q_DECLARE_METATYPE(velkan::model::KeyButton)

namespace {

constexpr int kArrivalMs = 5000;
// An outcome of the keyboard controller's worker: as long as settle() waits for one.
constexpr int kOutcomeMs = 30000;

using velkan::test::RecordingEditor;

app::LightingPanel& panel(MainWindowFixture& f) {
    return *f.window->lightingPanel();
}

// Called before the test lets any event through, so no hand-back can slip past the spy.
void waitForArrival(MainWindowFixture& f) {
    // The read-back is known to be over only once it hands back the keyboard's keys.
    QSignalSpy readBack(f.controller.get(), &app::KeyboardController::keysReplaced);
    QTRY_VERIFY_WITH_TIMEOUT(f.window->isVisible(), kArrivalMs);
    QTRY_VERIFY_WITH_TIMEOUT(!readBack.isEmpty(), kOutcomeMs);
    QVERIFY(f.settle());
    f.keyboard->clearWireLog();
}

// A click on one of the panel's controls, by its name, and its change on the keyboard. The
// colour swatches take the mouse as the user gives it; the buttons are clicked.
void press(MainWindowFixture& f, const char* name) {
    if (auto* swatch = f.window->findChild<velkan::widgets::ColourStatic*>(name)) {
        QTest::mouseClick(swatch, Qt::LeftButton);
    } else {
        f.click(name);
    }
    QVERIFY(f.settle());
}

// A byte of a lighting page as the keyboard holds it once what was asked of it is done.
int param(MainWindowFixture& f, int page, std::size_t offset) {
    (void)f.settle();
    return f.keyboard->memory(sim::SimRegion::params)[static_cast<std::size_t>(page) * 42 + offset];
}

// The colour at `offset` of the first lighting page as the keyboard holds it.
model::ColourRef colourAt(MainWindowFixture& f, std::size_t offset) {
    const auto byte = [&f, offset](std::size_t i) {
        return static_cast<std::uint8_t>(param(f, 0, offset + i));
    };
    return model::colourRef(byte(0), byte(1), byte(2));
}

// The mode of the current page as if the keyboard had changed it itself.
void setModeOnKeyboard(MainWindowFixture& f, std::uint8_t mode) {
    const std::array<std::uint8_t, 1> byte{mode};
    QVERIFY(f.keyboard->setMemory(sim::SimRegion::params, 0, byte));
    f.keyboard->sendEvent(velkan::device::event_code::kLightingChanged);
    QTRY_VERIFY_WITH_TIMEOUT(f.controller->lighting().panel().mode == mode, kOutcomeMs);
    QVERIFY(f.settle());
    f.keyboard->clearWireLog();
}

// How many captions or switches of the window show the lighting text of `key`.
int shownCaptions(MainWindowFixture& f, const char* key) {
    const QString text = QString::fromStdString(f.language.lightText(key));
    int shown = 0;
    for (const QWidget* widget : f.window->findChildren<QWidget*>()) {
        const auto* label = qobject_cast<const QLabel*>(widget);
        const auto* button = qobject_cast<const QAbstractButton*>(widget);
        const bool showsText = (label != nullptr && label->text() == text) ||
                               (button != nullptr && button->text() == text);
        shown += showsText && widget->isVisibleTo(f.window.get());
    }
    return shown;
}

// The panel on a window of its own whose skin is a copy of the program's, where each light
// switch picture is one plain colour; `modePairs` says whether the copy has the pairs of the
// steady mode and of mode 12. No keyboard is plugged in.
class PanelOnCopiedSkin {
public:
    static QColor colourOf(const QString& picture) {
        const QStringList pictures = {"dengup.bmp",     "dengdown.bmp", "dengup18.bmp",
                                      "dengdown18.bmp", "dengup12.bmp", "dengdown12.bmp"};
        return QColor::fromHsv(static_cast<int>(pictures.indexOf(picture)) * 60, 255, 255).toRgb();
    }

    explicit PanelOnCopiedSkin(bool modePairs) {
        // A copy that fails leaves pictures missing, which the comparisons then show.
        std::error_code error;
        std::filesystem::copy(velkan::platform::programFolder() / "Skins", folder_,
                              std::filesystem::copy_options::recursive, error);
        const QSize size =
            velkan::skin::readSkinRect(window_.iniPath(), "BUTTONINFO", "CONTROL_DengStaPic")
                .size();
        std::vector<QString> pictures = {"dengup.bmp", "dengdown.bmp"};
        const std::vector<QString> modePictures = {"dengup18.bmp", "dengdown18.bmp", "dengup12.bmp",
                                                   "dengdown12.bmp"};
        if (modePairs) {
            pictures.insert(pictures.end(), modePictures.begin(), modePictures.end());
        } else {
            // A skin of the user's own may lack them.
            for (const QString& picture : modePictures) {
                std::filesystem::remove(folder_ / picture.toStdString(), error);
            }
        }
        for (const QString& picture : pictures) {
            QImage image(size, QImage::Format_RGB32);
            image.fill(colourOf(picture));
            image.save(QString::fromStdString(folder_.string()) + "/" + picture);
        }
        keys_ = new app::KeyGrid(window_, texts_);
        panel_ = std::make_unique<app::LightingPanel>(
            app::LightingPanel::Parts{window_, controller_, *keys_, texts_, {}, {}});
        // As in the main window, the panel shows each lighting the controller hands back.
        QObject::connect(&controller_, &app::KeyboardController::lightingReplaced, panel_.get(),
                         &app::LightingPanel::refresh);
        controller_.start(false);
    }

    // The colour the light switch shows in `mode` with the light on or off.
    QColor lightSwitch(std::uint8_t mode, bool on) {
        controller_.changeLighting(
            [mode, on](model::Lighting& l, velkan::device::DeviceLink& link) {
                l.chooseMode(link, mode);
                l.setLightOn(link, on);
            });
        if (!velkan::test::settle(controller_)) {
            return {};
        }
        // The switch shows the button that turns the light the other way.
        auto* shown = window_.findChild<QWidget*>(on ? "lightOffButton" : "lightOnButton");
        const auto* other = window_.findChild<QWidget*>(on ? "lightOnButton" : "lightOffButton");
        if (shown == nullptr || other == nullptr || shown->isHidden() || !other->isHidden()) {
            return {};
        }
        return shown->grab().toImage().pixelColor(shown->width() / 2, shown->height() / 2);
    }

private:
    QTemporaryDir dir_;
    std::filesystem::path folder_{dir_.path().toStdString()};
    velkan::skin::SkinnedDialog window_{nullptr, folder_ / "Main.ini", folder_};
    velkan::test::TableTexts texts_;
    // No keyboard: the lighting copy changes, nothing reaches a keyboard.
    app::KeyboardController controller_{std::make_unique<sim::SimHidBackend>(), texts_,
                                        velkan::storage::ColourFiles::forProgram()};
    app::KeyGrid* keys_ = nullptr; // owned by the window
    std::unique_ptr<app::LightingPanel> panel_;
};

bool everyKeyLight(MainWindowFixture& f, std::optional<model::ColourRef> light) {
    for (const model::KeyButton key : model::previewButtons()) {
        if (panel(f).keyLight(key) != light) {
            return false;
        }
    }
    return true;
}

} // namespace

class LightingPanelTest : public QObject {
    Q_OBJECT

private slots:
    // The user's files are shared by every test of the process.
    void init() {
        const auto files = velkan::storage::ColourFiles::forProgram();
        QVERIFY(files.ensureFolder());
        files.writePerKeyViewSwitch(false);
        for (int page = 0; page < 3; ++page) {
            files.resetUserColours(page);
        }
    }

    void speedSliderPositionsWriteTheirSpeedBytes() {
        MainWindowFixture f;
        waitForArrival(f);
        auto* slider = f.named<velkan::widgets::SkinSlider>("speedSlider");
        const std::array<int, 6> stored = {5, 4, 2, 3, 1, 0};
        QTest::keyClick(slider, Qt::Key_Home);
        for (std::size_t position = 0; position < stored.size(); ++position) {
            if (position > 0) {
                QTest::keyClick(slider, Qt::Key_Right);
            }
            QCOMPARE(param(f, 0, 2), stored[position]);
            // Letting go of the key ends the move without writing again.
            QCOMPARE(f.framesOf(command::kWriteParams), static_cast<int>(position) + 1);
        }
    }

    void brightnessSliderReleasedWhereItWasWritesNothing() {
        MainWindowFixture f;
        waitForArrival(f);
        auto* slider = f.named<velkan::widgets::SkinSlider>("brightnessSlider");
        const QPoint leftEnd(0, slider->height() / 2);
        QTest::mousePress(slider, Qt::LeftButton, {}, leftEnd);
        QCOMPARE(param(f, 0, 1), 0);
        QCOMPARE(f.framesOf(command::kWriteParams), 1);
        QTest::mouseRelease(slider, Qt::LeftButton, {}, leftEnd);
        QTest::mousePress(slider, Qt::LeftButton, {}, leftEnd);
        QTest::mouseRelease(slider, Qt::LeftButton, {}, leftEnd);
        QCOMPARE(f.framesOf(command::kWriteParams), 1);
    }

    void colourBoxStopsAt255AndSendsTheColourWhenDone() {
        MainWindowFixture f;
        waitForArrival(f);
        auto* green = f.named<QLineEdit>("greenBox");
        green->selectAll();
        QTest::keyClicks(green, QStringLiteral("300"));
        QCOMPARE(green->text(), QStringLiteral("255"));
        QCOMPARE(f.hostFrames(), 0);
        QTest::keyClick(green, Qt::Key_Return);
        QCOMPARE(param(f, 0, 4), 0);
        QCOMPARE(param(f, 0, 5), 0xFF); // the page's red as read
        QCOMPARE(param(f, 0, 6), 0xFF);
        QCOMPARE(param(f, 0, 7), 0x00);
    }

    void fourthPresetWritesItsColourToTheCurrentPage_data() {
        QTest::addColumn<int>("page");
        QTest::newRow("first profile") << 0;
        QTest::newRow("second profile") << 1;
    }
    void fourthPresetWritesItsColourToTheCurrentPage() {
        QFETCH(int, page);
        MainWindowFixture f;
        waitForArrival(f);
        f.click(page == 0 ? "profileButton1" : "profileButton2");
        QVERIFY(f.settle());
        press(f, "preset4");
        QCOMPARE(param(f, page, 4), 0x00);
        QCOMPARE(param(f, page, 5), 0x5A);
        QCOMPARE(param(f, page, 6), 0xFF);
        QCOMPARE(param(f, page, 7), 0x00);
        QCOMPARE(f.named<QLineEdit>("redBox")->text(), QStringLiteral("90"));
    }

    void brightnessReachesItsTop_data() {
        QTest::addColumn<std::function<void(QWidget&)>>("toTheTop");
        QTest::newRow("one step up") << std::function<void(QWidget&)>(
            [](QWidget& s) { QTest::keyClick(&s, Qt::Key_Right); });
        QTest::newRow("end key") << std::function<void(QWidget&)>(
            [](QWidget& s) { QTest::keyClick(&s, Qt::Key_End); });
        QTest::newRow("a page up past it") << std::function<void(QWidget&)>(
            [](QWidget& s) { QTest::keyClick(&s, Qt::Key_PageUp); });
        QTest::newRow("mouse at the right end") << std::function<void(QWidget&)>([](QWidget& s) {
            QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(s.width() - 1, s.height() / 2));
        });
    }
    // The keyboard's page starts at the top, so the slider comes down one step first.
    void brightnessReachesItsTop() {
        QFETCH(std::function<void(QWidget&)>, toTheTop);
        MainWindowFixture f;
        waitForArrival(f);
        auto* slider = f.named<velkan::widgets::SkinSlider>("brightnessSlider");
        QTest::keyClick(slider, Qt::Key_Left);
        QCOMPARE(param(f, 0, 1), model::kMaxBrightness - 1);
        toTheTop(*slider);
        QCOMPARE(param(f, 0, 1), model::kMaxBrightness);
        QCOMPARE(f.framesOf(command::kWriteParams), 2);
    }

    // Steps taken faster than the keyboard answers all count: the lighting handed back after
    // the first does not pull the thumb back over the second.
    void quickSliderStepsAllReachTheKeyboard() {
        MainWindowFixture f;
        waitForArrival(f);
        auto* slider = f.named<velkan::widgets::SkinSlider>("brightnessSlider");
        QSignalSpy handedBack(f.controller.get(), &app::KeyboardController::lightingReplaced);
        QTest::keyClick(slider, Qt::Key_Left);
        QTest::keyClick(slider, Qt::Key_Left);
        QVERIFY(handedBack.wait(kOutcomeMs));
        QTest::keyClick(slider, Qt::Key_Left);
        QCOMPARE(param(f, 0, 1), model::kMaxBrightness - 3);
        QCOMPARE(slider->position(), model::kMaxBrightness - 3);
        QCOMPARE(f.framesOf(command::kWriteParams), 3);
    }

    void colourChoiceIsOneChange_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("red");
        QTest::addColumn<int>("green");
        QTest::addColumn<int>("blue");
        QTest::newRow("first preset") << "preset1" << 235 << 99 << 30;
        QTest::newRow("eighth preset") << "preset8" << 174 << 0 << 255;
        QTest::newRow("colour button") << "colourButton" << 12 << 34 << 56;
        QTest::newRow("reactive colour button") << "reactiveColourButton" << 12 << 34 << 56;
    }
    // Colour cycling off and the colour go to the keyboard inside one begin/end pair.
    void colourChoiceIsOneChange() {
        QFETCH(QString, control);
        QFETCH(int, red);
        QFETCH(int, green);
        QFETCH(int, blue);
        MainWindowFixture f;
        waitForArrival(f);
        f.click("profileButton2");
        QVERIFY(f.settle());
        panel(f).setColourChooser([](model::ColourRef) { return model::colourRef(12, 34, 56); });
        f.keyboard->clearWireLog();
        press(f, control.toLatin1().constData());
        QCOMPARE(f.framesOf(command::kBeginConfig), 1);
        QCOMPARE(f.framesOf(command::kWriteParams), 2);
        QCOMPARE(f.framesOf(command::kEndConfig), 1);
        QCOMPARE(param(f, 1, 4), 0);
        QCOMPARE(param(f, 1, 5), red);
        QCOMPARE(param(f, 1, 6), green);
        QCOMPARE(param(f, 1, 7), blue);
    }

    void effectColourButtonsWriteTheirOwnColour_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("offset");
        QTest::newRow("steady colour") << "steadyColourButton" << 5;
        QTest::newRow("second colour") << "secondColourButton" << 25;
        QTest::newRow("third colour") << "thirdColourButton" << 30;
    }
    // The dialog starts from the colour the button stands for, and the chosen one takes its
    // place in the first page.
    void effectColourButtonsWriteTheirOwnColour() {
        QFETCH(QString, control);
        QFETCH(int, offset);
        MainWindowFixture f;
        waitForArrival(f);
        // Each colour of the page a different one, so the colour offered says whose it is.
        const std::pair<std::size_t, std::array<std::uint8_t, 3>> colours[] = {
            {5, {1, 2, 3}}, {25, {4, 5, 6}}, {30, {7, 8, 9}}};
        for (const auto& [at, rgb] : colours) {
            QVERIFY(f.keyboard->setMemory(sim::SimRegion::params, at, rgb));
        }
        f.keyboard->sendEvent(velkan::device::event_code::kLightingChanged);
        QTRY_VERIFY_WITH_TIMEOUT(
            f.controller->lighting().panel().thirdColour == model::colourRef(7, 8, 9), kOutcomeMs);
        QVERIFY(f.settle());
        const auto at = static_cast<std::size_t>(offset);
        const model::ColourRef shown = colourAt(f, at);
        std::optional<model::ColourRef> offered;
        panel(f).setColourChooser([&offered](model::ColourRef current) {
            offered = current;
            return model::colourRef(12, 34, 56);
        });
        press(f, control.toLatin1().constData());
        QVERIFY(offered == shown);
        QCOMPARE(colourAt(f, at), model::colourRef(12, 34, 56));
    }

    void captions_data() {
        QTest::addColumn<QString>("key");
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("shown");
        QTest::newRow("report rate") << "Usb" << 1 << 1;
        QTest::newRow("direction, effect with turns") << "DC" << 1 << 2;
        QTest::newRow("direction, arrows alone") << "DC" << 13 << 1;
        QTest::newRow("direction, still effect") << "DC" << 18 << 0;
        QTest::newRow("effect") << "FX" << 13 << 1;
        QTest::newRow("brightness") << "Light" << 18 << 1;
        QTest::newRow("speed") << "Speed" << 1 << 1;
        QTest::newRow("per-key colours") << "Deng" << 1 << 1;
    }
    // Each caption in the language's words, where the mode shows what it names.
    void captions() {
        QFETCH(QString, key);
        QFETCH(int, mode);
        QFETCH(int, shown);
        MainWindowFixture f;
        waitForArrival(f);
        setModeOnKeyboard(f, static_cast<std::uint8_t>(mode));
        QCOMPARE(shownCaptions(f, key.toLatin1().constData()), shown);
    }

    void lightSwitchPictures_data() {
        QTest::addColumn<bool>("modePairs");
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("on");
        QTest::addColumn<QString>("picture");
        QTest::newRow("steady, on") << true << 18 << true << "dengup18.bmp";
        QTest::newRow("steady, off") << true << 18 << false << "dengdown18.bmp";
        QTest::newRow("mode 12, on") << true << 12 << true << "dengup12.bmp";
        QTest::newRow("mode 12, off") << true << 12 << false << "dengdown12.bmp";
        QTest::newRow("breathing, on") << true << 5 << true << "dengup.bmp";
        QTest::newRow("breathing, off") << true << 5 << false << "dengdown.bmp";
        QTest::newRow("steady, skin without its pair") << false << 18 << true << "dengup.bmp";
    }
    // The light switch shows the pair of pictures of the mode, which follows a change of mode.
    void lightSwitchPictures() {
        QFETCH(bool, modePairs);
        QFETCH(int, mode);
        QFETCH(bool, on);
        QFETCH(QString, picture);
        PanelOnCopiedSkin rig(modePairs);
        QCOMPARE(rig.lightSwitch(5, !on),
                 PanelOnCopiedSkin::colourOf(on ? "dengdown.bmp" : "dengup.bmp"));
        QCOMPARE(rig.lightSwitch(static_cast<std::uint8_t>(mode), on),
                 PanelOnCopiedSkin::colourOf(picture));
    }

    void pressingThePressedArrowWritesAgain() {
        MainWindowFixture f;
        waitForArrival(f);
        const auto ini = f.window->iniPath();
        press(f, "rightArrow");
        QCOMPARE(param(f, 0, 17), 1);
        QCOMPARE(f.named<velkan::skin::ImageButton>("rightArrow")->origin(),
                 velkan::skin::readSkinOrigin(ini, "DOWN_ARROW_RIGHT1"));
        QCOMPARE(f.named<velkan::skin::ImageButton>("leftArrow")->origin(),
                 velkan::skin::readSkinOrigin(ini, "UP_ARROW_LEFT1"));
        f.keyboard->clearWireLog();
        press(f, "rightArrow");
        QCOMPARE(f.framesOf(command::kWriteParams), 1);
        QCOMPARE(param(f, 0, 17), 1);
    }

    void switchesWriteTheirField_data() {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("clicks");
        QTest::addColumn<int>("offset");
        QTest::addColumn<int>("value");
        QTest::newRow("light off") << "lightOffButton" << 1 << 3 << 0x00;
        QTest::newRow("light on") << "lightOnButton" << 1 << 3 << 0xFF;
        QTest::newRow("colour cycling") << "cyclingToggle" << 1 << 4 << 0; // the page had it on
        QTest::newRow("two-way switch") << "twoWaySecondToggle" << 1 << 19 << 1;
        QTest::newRow("second colour") << "secondColourToggle" << 1 << 28 << 1;
        QTest::newRow("anticlockwise turn") << "anticlockwiseToggle" << 1 << 17 << 2;
        QTest::newRow("clockwise turn") << "clockwiseToggle" << 1 << 17 << 3;
        QTest::newRow("third report") << "reportButton3" << 1 << 15 << 2;
        // The second click comes before the keyboard has answered the first: each one counts.
        QTest::newRow("colour cycling twice") << "cyclingToggle" << 2 << 4 << 1;
        QTest::newRow("second colour twice") << "secondColourToggle" << 2 << 28 << 0;
        QTest::newRow("third colour twice") << "thirdColourToggle" << 2 << 33 << 0;
    }
    void switchesWriteTheirField() {
        QFETCH(QString, control);
        QFETCH(int, clicks);
        QFETCH(int, offset);
        QFETCH(int, value);
        MainWindowFixture f;
        waitForArrival(f);
        for (int click = 0; click < clicks; ++click) {
            f.click(control.toLatin1().constData());
        }
        QVERIFY(f.settle());
        QCOMPARE(f.framesOf(command::kWriteParams), clicks);
        QCOMPARE(param(f, 0, static_cast<std::size_t>(offset)), value);
    }

    // In the per-key colour mode, where the key picture shows the user mode's colours rather
    // than an effect's preview.
    void userModeChoiceSendsItsColoursAndKeepsItsName() {
        MainWindowFixture f;
        waitForArrival(f);
        setModeOnKeyboard(f, model::kPerKeyColourMode);
        press(f, "perKeyToggle");
        auto* modes = f.named<velkan::widgets::SkinCombo>("userModeChooser");
        const auto files = velkan::storage::ColourFiles::forProgram();
        QCOMPARE(modes->count(), 3);
        QCOMPARE(modes->itemText(2).toStdString(), files.readModeName(0, 2));
        const model::KeyButton a = model::KeyPositionList()[0].button;
        const int position = model::ColourPositionList()[0];
        const model::ColourRef colour = files.readKeyColour(0, 2, position).colour;
        QVERIFY(colour != files.readKeyColour(0, files.readPresentMode(0), position).colour);
        f.keyboard->clearWireLog();

        emit modes->activated(2);
        QVERIFY(f.settle());
        QCOMPARE(files.readPresentMode(0), 2);
        QVERIFY(f.framesOf(command::kWriteKeyColours) > 0);
        const auto sent = f.keyboard->memory(sim::SimRegion::keyColours);
        const auto rgb = model::colourBytes(colour);
        for (std::size_t i = 0; i < rgb.size(); ++i) {
            QCOMPARE(sent[static_cast<std::size_t>(position) * 3 + i], rgb[i]);
        }
        QVERIFY(panel(f).keyLight(a) == colour);

        emit modes->editCommitted(2, QStringLiteral("Lava"));
        QCOMPARE(files.readModeName(0, 2), std::string("Lava"));
    }

    // Only what the keyboard uses in a mode is offered.
    void eachModeShowsItsOwnFields_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("speed");
        QTest::addColumn<bool>("direction");
        QTest::addColumn<bool>("colour");
        // Where the colour boxes would stand, the modes without them say why.
        QTest::addColumn<QString>("note");
        QTest::newRow("wave") << 1 << true << true << true << "";
        QTest::newRow("spectrum cycle") << 4 << true << true << false << "LIGHT_COLOURS_OWN_PROMPT";
        QTest::newRow("breathing") << 5 << true << false << true << "";
        QTest::newRow("steady") << 18 << false << false << true << "";
        QTest::newRow("custom colours")
            << 20 << false << false << false << "LIGHT_COLOURS_PER_KEY_PROMPT";
    }
    void eachModeShowsItsOwnFields() {
        QFETCH(int, mode);
        QFETCH(bool, speed);
        QFETCH(bool, direction);
        QFETCH(bool, colour);
        QFETCH(QString, note);
        MainWindowFixture f;
        waitForArrival(f);
        auto* chooser = f.named<velkan::widgets::SkinCombo>("modeChooser");
        const auto item =
            f.controller->lighting().supportedModes().itemOf(static_cast<std::uint8_t>(mode));
        QVERIFY(item.has_value());
        QCOMPARE(chooser->itemText(static_cast<int>(*item)),
                 QString::fromStdString(f.language.modeText(std::to_string(mode))));
        emit chooser->activated(static_cast<int>(*item));
        QCOMPARE(param(f, 0, 0), mode);
        QCOMPARE(!f.named("speedSlider")->isHidden(), speed);
        QCOMPARE(!f.named("rightArrow")->isHidden(), direction);
        QCOMPARE(!f.named("redBox")->isHidden(), colour);
        QCOMPARE(!f.named("preset4")->isHidden(), colour);
        auto* shownNote = f.named<QLabel>("colourNote");
        QCOMPARE(!shownNote->isHidden(), !note.isEmpty());
        if (!note.isEmpty()) {
            QCOMPARE(shownNote->text().toStdString(), f.text(note.toStdString()));
        }
    }

    void perKeyViewIsRefusedWhileAnEditorIsOpen() {
        RecordingEditor editor(true);
        MainWindowFixture f;
        waitForArrival(f);
        f.window->setKeyEditor(&editor);
        press(f, "perKeyToggle");
        QCOMPARE(f.prompts.shown.back(), f.text("PROFILE_SEELCT_PROMPT2"));
        QVERIFY(!panel(f).perKeyView());
        QVERIFY(!velkan::storage::ColourFiles::forProgram().readPerKeyViewSwitch());
        QCOMPARE(f.hostFrames(), 0);
    }

    // A second click while the keyboard re-selects its profile for the view is not a second
    // re-selection: the wire carries one profile choice.
    void perKeyToggleClickedTwiceQuicklyActsOnce() {
        MainWindowFixture f;
        waitForArrival(f);
        f.click("perKeyToggle");
        f.click("perKeyToggle");
        QVERIFY(f.settle());
        QVERIFY(panel(f).perKeyView());
        QCOMPARE(f.framesOf(command::kWriteDeviceInfo), 1);
    }

    void previewChangesNoKeyWithTheViewOff() {
        MainWindowFixture f;
        waitForArrival(f);
        // The steps the window's preview timer takes, without waiting for it.
        for (int step = 0; step < 10; ++step) {
            panel(f).previewTick();
        }
        QVERIFY(everyKeyLight(f, std::nullopt));
    }

    void unlistedModeLeavesThePictureDark() {
        MainWindowFixture f;
        waitForArrival(f);
        setModeOnKeyboard(f, 19);
        QCOMPARE(f.named<QComboBox>("modeChooser")->currentIndex(), -1);
        press(f, "perKeyToggle");
        QVERIFY(panel(f).perKeyView());
        // The window's preview steps run meanwhile, so the user mode's colours, shown first,
        // may already be gone; the next step shows the picture dark in any case.
        panel(f).previewTick();
        QVERIFY(everyKeyLight(f, model::ColourRef{0}));
    }

    void paintedKeySendsItsColourAndIsSaved_data() {
        QTest::addColumn<model::KeyButton>("key");
        QTest::addColumn<int>("position");
        // The tool the key is painted with, and the button that gives it its colour.
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QString>("toolColour");
        QTest::newRow("A, first tool") << model::KeyPositionList()[0].button
                                       << int{model::ColourPositionList()[0]} << "firstToolToggle"
                                       << "toolColourButton";
        QTest::newRow("Fn, second tool")
            << model::kFnKey << model::kLogoColourPosition << "secondToolToggle"
            << "toolSecondColourButton";
    }
    void paintedKeySendsItsColourAndIsSaved() {
        QFETCH(model::KeyButton, key);
        QFETCH(int, position);
        QFETCH(QString, tool);
        QFETCH(QString, toolColour);
        RecordingEditor editor;
        MainWindowFixture f;
        waitForArrival(f);
        setModeOnKeyboard(f, model::kPerKeyColourMode);
        f.window->setKeyEditor(&editor);
        press(f, "perKeyToggle");
        QVERIFY(panel(f).perKeyView());
        const auto files = velkan::storage::ColourFiles::forProgram();
        QVERIFY(files.readPerKeyViewSwitch());
        const model::ColourRef colour = model::colourRef(12, 34, 56);
        panel(f).setColourChooser([&](model::ColourRef) { return colour; });
        press(f, tool.toLatin1().constData());
        press(f, toolColour.toLatin1().constData());
        f.keyboard->clearWireLog();

        f.clickKey(key);
        QVERIFY(f.settle());
        QCOMPARE(f.framesOf(command::kWriteKeyColours), 1);
        const auto colours = f.keyboard->memory(sim::SimRegion::keyColours);
        const std::size_t at = static_cast<std::size_t>(position) * 3;
        QCOMPARE(int{colours[at]}, 12);
        QCOMPARE(int{colours[at + 1]}, 34);
        QCOMPARE(int{colours[at + 2]}, 56);
        QCOMPARE(files.readKeyColour(0, files.readPresentMode(0), position).colour, colour);
        QVERIFY(panel(f).keyLight(key) == colour);

        QVERIFY(editor.calls.empty());

        // The G keys keep their own way, and leaving the view forgets the painted picture.
        f.keyboard->clearWireLog();
        f.clickKey(model::GKeyButtons()[0]);
        QVERIFY(f.settle());
        QCOMPARE(f.framesOf(command::kWriteKeyColours), 0);
        QCOMPARE(editor.calls.size(), std::size_t{1});
        QVERIFY(editor.calls.front().button == model::GKeyButtons()[0]);
        press(f, "perKeyToggle");
        QVERIFY(!files.readPerKeyViewSwitch());
        QVERIFY(everyKeyLight(f, std::nullopt));
    }
};

VELKAN_APP_TEST_MAIN(LightingPanelTest)
#include "lighting_panel_test.moc"
