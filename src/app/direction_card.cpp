#include "app/direction_card.h"

#include "app/light_toggle.h"
#include "app/lighting_colours.h"
#include "app/lighting_controls.h"
#include "app/main_window_buttons.h"
#include "model/lighting_fields.h"
#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "skin/skinned_dialog.h"
#include "widgets/colour_static.h"

namespace velkan::app {

namespace {

using model::Lighting;

namespace field = model::lighting_field;

// The report selector's buttons, by the report each selects as the page stores it.
constexpr std::array<const char*, model::kMaxPattern + 1> kReportKeys = {
    "FUNC_REPORT1", "FUNC_REPORT2", "FUNC_REPORT3", "FUNC_REPORT4"};

// The directions as the page stores them.
constexpr int kLeft = 0;
constexpr int kRight = 1;
constexpr int kAnticlockwise = 2;
constexpr int kClockwise = 3;

KeyboardController::LightingChange twoWaySwitch(bool second) {
    return [second](Lighting& l, device::DeviceLink& link) { l.setTwoWaySwitch(link, second); };
}

// Pressing the arrow already pressed sends it again: the keyboard may have changed.
KeyboardController::LightingChange direction(int chosen) {
    return [chosen](Lighting& l, device::DeviceLink& link) { (void)l.setDirection(link, chosen); };
}

} // namespace

DirectionCard::DirectionCard(LightingControls& controls) : controls_(controls) {
    createTwoWaySwitch();
    createTurns();
    createThirdColour();
    createReportButtons();
    controls_.addCaptionBeside("FUNC_REPORT4", "Usb", field::kAlways);
    controls_.addCaptionBeside("RIGHT_ARROW", "DC", field::kDirection);
    createArrows();
}

void DirectionCard::createTwoWaySwitch() {
    controls_.addLabel("CONTROL_BLFXStatic", field::kLayoutFirst);
    twoWayFirstToggle_ = controls_.addToggle(LightToggle::Face::glyph, "CONTROL_BLFXLStaPic",
                                             "twoWayFirstToggle", field::kLayoutFirst);
    twoWayFirstToggle_->setText("1");
    twoWaySecondToggle_ = controls_.addToggle(LightToggle::Face::glyph, "CONTROL_BLFXRStaPic",
                                              "twoWaySecondToggle", field::kLayoutFirst);
    twoWaySecondToggle_->setText("2");
    controls_.sendOnClick(*twoWayFirstToggle_, twoWaySwitch(false));
    controls_.sendOnClick(*twoWaySecondToggle_, twoWaySwitch(true));
}

void DirectionCard::createTurns() {
    controls_.addLabel("CONTROL_BLFXStatic2", field::kLayoutSecond);
    anticlockwiseToggle_ = controls_.addToggle(LightToggle::Face::glyph, "CONTROL_BLFXLStaPic2",
                                               "anticlockwiseToggle", field::kLayoutSecond);
    anticlockwiseToggle_->setText(QStringLiteral("\u21BA"));
    controls_.sendOnClick(*anticlockwiseToggle_, direction(kAnticlockwise));
    clockwiseToggle_ = controls_.addToggle(LightToggle::Face::glyph, "CONTROL_BLFXRStaPic2",
                                           "clockwiseToggle", field::kLayoutSecond);
    clockwiseToggle_->setText(QStringLiteral("\u21BB"));
    controls_.sendOnClick(*clockwiseToggle_, direction(kClockwise));
}

void DirectionCard::createThirdColour() {
    // The switch flips the worker's copy, which may have a click the window's has not yet.
    third_ =
        controls_.addEffectColour({.captionKey = "CONTROL_BLFXStatic3",
                                   .buttonKey = "CONTROL_BLFXLStaPic3",
                                   .buttonName = "thirdColourButton",
                                   .shown = [](const Lighting& l) { return l.panel().thirdColour; },
                                   .write = &Lighting::chooseThirdColour,
                                   .switchKey = "CONTROL_BLFXRStaPic3",
                                   .switchName = "thirdColourToggle",
                                   .flip =
                                       [](Lighting& l, device::DeviceLink& link) {
                                           l.setThirdColourOn(link, !l.panel().thirdColourOn);
                                       },
                                   .fields = field::kLayoutThird});
}

void DirectionCard::createReportButtons() {
    for (std::size_t i = 0; i < reportButtons_.size(); ++i) {
        skin::ImageButton* button = placeMainButton(controls_.window(), kReportKeys[i]);
        button->setObjectName(QStringLiteral("reportButton%1").arg(i + 1));
        const auto pattern = static_cast<std::uint8_t>(i);
        controls_.sendOnClick(*button, [pattern](Lighting& l, device::DeviceLink& link) {
            (void)l.writeLightingField(link, model::lighting_offset::kPattern,
                                       std::span(&pattern, 1));
        });
        reportButtons_[i] = button;
    }
}

// The arrows take their released and pressed faces from the arrow sheet.
void DirectionCard::createArrows() {
    arrowSheet_ = skin::skinPicture(controls_.window().iniFolder() / "Arrow.jpg");
    leftArrow_ = addArrow("LEFT_ARROW", "leftArrow", "UP_ARROW_LEFT1", "DOWN_ARROW_LEFT1");
    controls_.sendOnClick(*leftArrow_.button, direction(kLeft));
    rightArrow_ = addArrow("RIGHT_ARROW", "rightArrow", "UP_ARROW_RIGHT1", "DOWN_ARROW_RIGHT1");
    controls_.sendOnClick(*rightArrow_.button, direction(kRight));
}

DirectionCard::Arrow DirectionCard::addArrow(const char* skinKey, const char* name,
                                             const char* released, const char* pressed) {
    const std::filesystem::path& ini = controls_.window().iniPath();
    auto* button = new skin::ImageButton(&controls_.window());
    skin::placeSpriteButton(*button, ini, skinKey, released, arrowSheet_);
    button->setObjectName(QString::fromLatin1(name));
    controls_.manage(*button, field::kDirection);
    return {button, {skin::readSkinOrigin(ini, released), skin::readSkinOrigin(ini, pressed)}};
}

void DirectionCard::refresh() {
    const model::LightingPanelState& state = controls_.lighting().panel();
    twoWayFirstToggle_->setOn(!state.twoWaySwitch);
    twoWaySecondToggle_->setOn(state.twoWaySwitch);
    anticlockwiseToggle_->setOn(state.direction == kAnticlockwise);
    clockwiseToggle_->setOn(state.direction == kClockwise);
    third_.button->setColour(toQColor(state.thirdColour));
    third_.toggle->setOn(state.thirdColourOn);
    showArrow(leftArrow_, state.direction == kLeft);
    showArrow(rightArrow_, state.direction == kRight);
    // The selector is the window's and writes the page copy, not the panel state.
    const int pattern = controls_.lighting().currentBlock().pattern();
    for (std::size_t i = 0; i < reportButtons_.size(); ++i) {
        reportButtons_[i]->setSelectedLook(static_cast<int>(i) == pattern);
    }
}

void DirectionCard::showArrow(const Arrow& arrow, bool pressed) const {
    const QPoint origin = arrow.origins[pressed ? 1 : 0];
    // New pictures forget the hover, so an arrow is only touched when its face changes.
    if (arrow.button->origin() != origin) {
        arrow.button->setPictures(origin, skin::ButtonPictures::allAs(arrowSheet_));
    }
}

void DirectionCard::reloadTexts() {
    for (QWidget* toggle : {twoWayFirstToggle_, twoWaySecondToggle_}) {
        controls_.setToolTip(*toggle, lang::textKey("LIGHT_VARIANT_PROMPT"));
    }
    for (QWidget* arrow : {leftArrow_.button, rightArrow_.button}) {
        controls_.setToolTip(*arrow, lang::textKey("LIGHT_DIRECTION_PROMPT"));
    }
    for (QWidget* toggle : {anticlockwiseToggle_, clockwiseToggle_}) {
        controls_.setToolTip(*toggle, lang::textKey("LIGHT_TURN_PROMPT"));
    }
    controls_.setToolTip(*third_.button, lang::textKey("LIGHT_COLOUR_PROMPT"));
    for (QWidget* button : reportButtons_) {
        controls_.setToolTip(*button, lang::textKey("LIGHT_REPORT_PROMPT"));
    }
}

} // namespace velkan::app
