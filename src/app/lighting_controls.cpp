#include "app/lighting_controls.h"

#include "app/lighting_colours.h"
#include "platform/ini_file.h"
#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "skin/skinned_dialog.h"
#include "widgets/colour_static.h"
#include "widgets/skin_look.h"
#include "widgets/skin_slider.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QLabel>
#include <algorithm>
#include <iterator>
#include <string>

namespace velkan::app {

namespace {

// Captions by skin key; "RGB", without a key, is the same in every language.
struct Caption {
    const char* skinKey;
    const char* lightKey;
};
constexpr Caption kCaptions[] = {
    {"CONTROL_RGBStatic", nullptr},    {"CONTROL_LightStatic", "Light"},
    {"CONTROL_SpeedStatic", "Speed"},  {"CONTROL_BLFXStatic", "FX"},
    {"CONTROL_BLFXStatic2", "DC"},     {"CONTROL_BLFXStatic3", "Color"},
    {"CONTROL_HXysStatic", "Color"},   {"CONTROL_FYYSStatic", "Color"},
    {"CONTROL_JTysStatic", "Color"},   {"CONTROL_TSysStatic", "JColor"},
    {"CONTROL_USERysStatic", "Color"}, {"CONTROL_USERjsStatic", "JColor"},
    {"CONTROL_USERgjStatic", "Tool"},
};

// Captions the skin gives no place of their own stand right of the controls they name: the
// report selector's and the direction arrows'.
constexpr int kCaptionGap = 6;
constexpr int kCaptionWidth = 90;

} // namespace

LightingControls::LightingControls(skin::SkinnedDialog& window, KeyboardController& keyboard,
                                   const lang::TextLookup& texts)
    : window_(window), keyboard_(keyboard), texts_(texts),
      chooseColour_([this](model::ColourRef current) -> std::optional<model::ColourRef> {
          const QColor chosen = QColorDialog::getColor(toQColor(current), &window_, {},
                                                       QColorDialog::DontUseNativeDialog);
          if (!chosen.isValid()) {
              return std::nullopt;
          }
          return fromQColor(chosen);
      }) {}

void LightingControls::change(KeyboardController::LightingChange change) const {
    keyboard_.changeLighting(std::move(change));
}

void LightingControls::change(KeyboardController::LightingChange change,
                              KeyboardController::Then<bool> handedBack) const {
    keyboard_.changeLighting(std::move(change), std::move(handedBack));
}

void LightingControls::sendOnClick(QAbstractButton& button,
                                   KeyboardController::LightingChange change) {
    connect(&button, &QAbstractButton::clicked, this, [this, change] { this->change(change); });
}

void LightingControls::pickColour(ColourOf current, ColourWrite write) const {
    const std::optional<model::ColourRef> chosen = chooseColour(current(lighting()));
    if (!chosen) {
        return;
    }
    const model::ColourRef colour = *chosen;
    change([colour, write](model::Lighting& l, device::DeviceLink& link) {
        (l.*write)(link, colour);
    });
}

void LightingControls::manage(QWidget& widget, unsigned fields) {
    shown_.push_back({&widget, fields});
}

QLabel* LightingControls::addCaption(const char* lightKey, unsigned fields) {
    auto* label = new QLabel(&window_);
    widgets::applySkinLook(*label);
    captions_.emplace_back(label, lightKey);
    manage(*label, fields);
    return label;
}

void LightingControls::addLabel(const char* skinKey, unsigned fields) {
    const auto caption =
        std::find_if(std::begin(kCaptions), std::end(kCaptions), [skinKey](const Caption& c) {
            return std::string_view(c.skinKey) == skinKey;
        });
    QLabel* label =
        addCaption(caption != std::end(kCaptions) ? caption->lightKey : nullptr, fields);
    skin::placeControl(*label, window_.iniPath(), skin::kButtonSection, skinKey);
}

void LightingControls::addCaptionBeside(const char* skinKey, const char* lightKey,
                                        unsigned fields) {
    const QRect named = skin::readSkinRect(window_.iniPath(), skin::kButtonSection, skinKey);
    addCaption(lightKey, fields)
        ->setGeometry(named.x() + named.width() + kCaptionGap, named.y(), kCaptionWidth,
                      named.height());
}

LightingControls::ColourControls LightingControls::addEffectColour(const EffectColour& colour) {
    ColourControls controls;
    addLabel(colour.captionKey, colour.fields);
    controls.button = addSwatch(colour.buttonKey, colour.buttonName, colour.fields);
    connect(controls.button, &widgets::ColourStatic::clicked, this,
            [this, shown = colour.shown, write = colour.write] { pickColour(shown, write); });
    if (colour.switchKey != nullptr) {
        controls.toggle =
            addToggle(colour.switchFace, colour.switchKey, colour.switchName, colour.fields);
        sendOnClick(*controls.toggle, colour.flip);
    }
    return controls;
}

widgets::ColourStatic* LightingControls::addSwatch(const char* skinKey, const char* name,
                                                   unsigned fields) {
    auto* swatch = new widgets::ColourStatic(&window_);
    skin::placeControl(*swatch, window_.iniPath(), skin::kButtonSection, skinKey);
    swatch->setObjectName(QString::fromLatin1(name));
    manage(*swatch, fields);
    return swatch;
}

LightToggle* LightingControls::addToggle(LightToggle::Face face, const char* skinKey,
                                         const char* name, unsigned fields) {
    auto* toggle = new LightToggle(face, &window_);
    skin::placeControl(*toggle, window_.iniPath(), skin::kButtonSection, skinKey);
    toggle->setObjectName(QString::fromLatin1(name));
    manage(*toggle, fields);
    return toggle;
}

widgets::SkinSlider* LightingControls::addSlider(int positions, const char* skinKey,
                                                 const char* name,
                                                 std::pair<const char*, const char*> trackAndThumb,
                                                 unsigned fields) {
    auto* slider = new widgets::SkinSlider(positions, &window_);
    skin::placeControl(*slider, window_.iniPath(), skin::kButtonSection, skinKey);
    slider->setObjectName(QString::fromLatin1(name));
    // A skin names its slider pictures; one that names none gets the drawn look.
    const auto picture = [this](const char* key) {
        const std::string file =
            platform::getPrivateProfileString("SLIDER", key, "", window_.iniPath());
        return file.empty() ? QPixmap()
                            : skin::skinPicture(skin::skinFilePath(window_.iniFolder(), file));
    };
    slider->setPictures(picture(trackAndThumb.first), picture(trackAndThumb.second));
    manage(*slider, fields);
    return slider;
}

void LightingControls::showFields(unsigned fields) const {
    for (const Shown& shown : shown_) {
        shown.widget->setVisible((shown.fields & fields) != 0);
    }
}

void LightingControls::reloadCaptions() const {
    for (const auto& [label, key] : captions_) {
        label->setText(key != nullptr ? QString::fromStdString(texts_.lightText(key))
                                      : QStringLiteral("RGB"));
    }
}

QString LightingControls::text(std::string_view key) const {
    return QString::fromStdString(texts_.text(key));
}

// Image buttons show their own tooltip; every other control Qt's.
void LightingControls::setToolTip(QWidget& control, std::string_view key) const {
    if (auto* button = qobject_cast<skin::ImageButton*>(&control)) {
        button->setToolTipText(text(key));
    } else {
        control.setToolTip(text(key));
    }
}

} // namespace velkan::app
