#include "app/effect_card.h"

#include "app/lighting_controls.h"
#include "model/lighting_fields.h"
#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "skin/skinned_dialog.h"
#include "widgets/skin_combo.h"
#include "widgets/skin_slider.h"

#include <QKeyEvent>
#include <QSignalBlocker>
#include <filesystem>
#include <string>
#include <system_error>

namespace velkan::app {

namespace {

namespace field = model::lighting_field;

constexpr std::uint8_t kLastPlainMode = 18;

// The light switch's pictures: the steady mode and mode 12 have a pair of their own where the
// skin has it, every other mode shows the plain pair.
struct LightSwitchPictures {
    std::uint8_t mode; // 0: every other mode
    const char* on;
    const char* off;
};
constexpr std::array<LightSwitchPictures, 3> kLightSwitchPictures = {{
    {0, "dengup.bmp", "dengdown.bmp"},
    {kLastPlainMode, "dengup18.bmp", "dengdown18.bmp"},
    {12, "dengup12.bmp", "dengdown12.bmp"},
}};

std::size_t lightSwitchPicturesOf(std::uint8_t mode) {
    for (std::size_t pair = 1; pair < kLightSwitchPictures.size(); ++pair) {
        if (kLightSwitchPictures[pair].mode == mode) {
            return pair;
        }
    }
    return 0;
}

// The arrow keys would step through the effects and send each one to the keyboard.
class ArrowKeyFilter final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_Right ||
                key == Qt::Key_Down) {
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

EffectCard::EffectCard(LightingControls& controls) : controls_(controls) {
    createModeChooser();
    createSliders();
    createLightSwitch();
}

void EffectCard::createModeChooser() {
    skin::SkinnedDialog& window = controls_.window();
    modeChooser_ = new widgets::SkinCombo(widgets::ComboKind::Plain, &window);
    skin::placeControl(*modeChooser_, window.iniPath(), skin::kButtonSection, "CONTROL_XGcombox");
    modeChooser_->setObjectName(QStringLiteral("modeChooser"));
    modeChooser_->installEventFilter(new ArrowKeyFilter(modeChooser_));
    connect(modeChooser_, &QComboBox::activated, this, [this](int item) { chooseModeItem(item); });
    controls_.manage(*modeChooser_, field::kAlways);
}

void EffectCard::createSliders() {
    controls_.addLabel("CONTROL_LightStatic", field::kAlways);
    brightnessSlider_ =
        controls_.addSlider(model::kMaxBrightness + 1, "CONTROL_LightSlider", "brightnessSlider",
                            {"LightTrack", "LightThumb"}, field::kAlways);
    brightnessSlider_->setPositionHandler(
        [this](int position, bool) { sendSliderStep(position, &model::Lighting::setBrightness); });
    controls_.addLabel("CONTROL_SpeedStatic", field::kSpeed);
    speedSlider_ = controls_.addSlider(model::kMaxSpeedPosition + 1, "CONTROL_SpeedSlider",
                                       "speedSlider", {"SpeedTrack", "SpeedThumb"}, field::kSpeed);
    speedSlider_->setPositionHandler([this](int position, bool) {
        sendSliderStep(position, &model::Lighting::setSpeedPosition);
    });
}

// The switch picture says what it is without a caption.
void EffectCard::createLightSwitch() {
    skin::SkinnedDialog& window = controls_.window();
    const std::filesystem::path& folder = window.iniFolder();
    const auto picture = [&folder](const char* name, const QPixmap& missing) {
        std::error_code error;
        return std::filesystem::exists(folder / name, error) ? skin::skinPicture(folder / name)
                                                             : missing;
    };
    const QPixmap plainOn = skin::skinPicture(folder / kLightSwitchPictures[0].on);
    const QPixmap plainOff = skin::skinPicture(folder / kLightSwitchPictures[0].off);
    for (std::size_t pair = 0; pair < kLightSwitchPictures.size(); ++pair) {
        lightSwitchPictures_[pair] = {picture(kLightSwitchPictures[pair].on, plainOn),
                                      picture(kLightSwitchPictures[pair].off, plainOff)};
    }
    lightOnButton_ = addLightButton(true, "lightOnButton");
    lightOffButton_ = addLightButton(false, "lightOffButton");
    showLightSwitchPictures(0);
}

skin::ImageButton* EffectCard::addLightButton(bool on, const char* name) {
    skin::SkinnedDialog& window = controls_.window();
    auto* button = new skin::ImageButton(&window);
    skin::placeControl(*button, window.iniPath(), skin::kButtonSection, "CONTROL_DengStaPic");
    button->setObjectName(QString::fromLatin1(name));
    controls_.sendOnClick(
        *button, [on](model::Lighting& l, device::DeviceLink& link) { l.setLightOn(link, on); });
    return button;
}

void EffectCard::chooseModeItem(int item) {
    const auto mode = controls_.lighting().supportedModes().modeAt(static_cast<std::size_t>(item));
    if (!mode) {
        return;
    }
    const std::uint8_t chosen = *mode;
    controls_.change(
        [chosen](model::Lighting& l, device::DeviceLink& link) { l.chooseMode(link, chosen); });
    emit modeChosen();
}

void EffectCard::sendSliderStep(int position,
                                bool (model::Lighting::*write)(device::DeviceLink&, int)) {
    ++sliderStepsInFlight_;
    controls_.change(
        [position, write](model::Lighting& l, device::DeviceLink& link) {
            (void)(l.*write)(link, position);
        },
        {this, [this](bool) {
             --sliderStepsInFlight_;
             showSliders();
         }});
}

QString EffectCard::modeName(std::uint8_t mode) const {
    return QString::fromStdString(controls_.texts().modeText(std::to_string(mode)));
}

void EffectCard::reloadTexts() {
    for (std::size_t item = 0; item < listedModes_.size(); ++item) {
        modeChooser_->setItemText(static_cast<int>(item), modeName(listedModes_[item]));
    }
    controls_.setToolTip(*lightOnButton_, lang::textKey("LIGHT_SWITCH_PROMPT"));
    controls_.setToolTip(*lightOffButton_, lang::textKey("LIGHT_SWITCH_PROMPT"));
}

void EffectCard::refresh() {
    const model::SupportedModes& supported = controls_.lighting().supportedModes();
    const model::LightingPanelState& state = controls_.lighting().panel();
    {
        const QSignalBlocker block(modeChooser_);
        if (listedModes_ != supported.modes()) {
            listedModes_ = supported.modes();
            modeChooser_->clear();
            for (const std::uint8_t mode : listedModes_) {
                modeChooser_->addItem(modeName(mode));
            }
        }
        const auto item = supported.itemOf(state.mode);
        modeChooser_->setCurrentIndex(item ? static_cast<int>(*item) : -1);
    }
    showSliders();
    lightOnButton_->setVisible(!state.lightOn);
    lightOffButton_->setVisible(state.lightOn);
    showLightSwitchPictures(lightSwitchPicturesOf(state.mode));
}

void EffectCard::showSliders() {
    // A slider the user is moving keeps the thumb where the hand or the keys put it: a hand-back
    // of an earlier step would pull it back and lose the steps the keyboard has yet to hear.
    if (sliderStepsInFlight_ > 0) {
        return;
    }
    const model::LightingPanelState& state = controls_.lighting().panel();
    for (const auto& [slider, position] :
         {std::pair{brightnessSlider_, state.brightness}, {speedSlider_, state.speedPosition}}) {
        if (!slider->dragging()) {
            slider->setPosition(position);
        }
    }
}

void EffectCard::showLightSwitchPictures(std::size_t pair) {
    // New pictures forget the hover, so the buttons are only touched when the pair changes.
    if (pair == shownLightSwitchPictures_) {
        return;
    }
    shownLightSwitchPictures_ = pair;
    const auto& [on, off] = lightSwitchPictures_[pair];
    // The pictures are the size of the control, so the buttons show them from their corner.
    lightOnButton_->setPictures(QPoint(1, 1), skin::ButtonPictures::allAs(off));
    lightOffButton_->setPictures(QPoint(1, 1), skin::ButtonPictures::allAs(on));
}

} // namespace velkan::app
