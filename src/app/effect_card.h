// The effect card of the lighting panel: the mode chooser, the brightness and speed sliders and
// the light switch.
#pragma once

#include "model/lighting.h"

#include <QObject>
#include <QPixmap>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace velkan::skin {
class ImageButton;
} // namespace velkan::skin

namespace velkan::widgets {
class SkinCombo;
class SkinSlider;
} // namespace velkan::widgets

namespace velkan::app {

class LightingControls;

class EffectCard final : public QObject {
    Q_OBJECT

public:
    explicit EffectCard(LightingControls& controls);

    // The lighting copy changed: the modes the keyboard offers, the sliders and the switch.
    void refresh();
    void reloadTexts();

signals:
    // The user chose an effect from the list.
    void modeChosen();

private:
    void createModeChooser();
    void createSliders();
    void createLightSwitch();
    skin::ImageButton* addLightButton(bool on, const char* name);
    void chooseModeItem(int item);
    void sendSliderStep(int position, bool (model::Lighting::*write)(device::DeviceLink&, int));
    QString modeName(std::uint8_t mode) const;
    void showSliders();
    void showLightSwitchPictures(std::size_t pair);

    LightingControls& controls_;
    widgets::SkinCombo* modeChooser_ = nullptr;
    std::vector<std::uint8_t> listedModes_; // what the mode chooser lists, in its order
    widgets::SkinSlider* brightnessSlider_ = nullptr;
    widgets::SkinSlider* speedSlider_ = nullptr;
    // Slider steps sent to the keyboard whose lighting has not come back yet.
    int sliderStepsInFlight_ = 0;
    // One of the two shows at a time: the one that switches to the other state.
    skin::ImageButton* lightOnButton_ = nullptr;
    skin::ImageButton* lightOffButton_ = nullptr;
    // Light on and light off pictures of each mode's pair, and the pair the switch shows.
    std::array<std::array<QPixmap, 2>, 3> lightSwitchPictures_{};
    std::optional<std::size_t> shownLightSwitchPictures_;
};

} // namespace velkan::app
