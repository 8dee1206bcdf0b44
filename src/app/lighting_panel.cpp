#include "app/lighting_panel.h"

#include "app/window_messages.h"
#include "model/key_codes.h"
#include "platform/ini_file.h"
#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "skin/skinned_dialog.h"
#include "widgets/colour_static.h"
#include "widgets/skin_combo.h"
#include "widgets/skin_look.h"
#include "widgets/skin_slider.h"

#include <QAbstractButton>
#include <QColorDialog>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QSignalBlocker>
#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>

namespace velkan::app {

namespace {

using model::ColourRef;

constexpr int kModeChooser = 1146;
constexpr int kLightOn = 1149;
constexpr int kLightOff = 1150;
constexpr int kColourButton = 1152;
constexpr int kReactiveColourButton = 1155;
constexpr int kCyclingToggle = 1156;
constexpr int kPageZeroColourButton = 1158;
constexpr int kToolColour = 1160;
constexpr int kToolSecondColour = 1162;
constexpr int kFirstTool = 1164;
constexpr int kSecondTool = 1165;
constexpr int kPerKeyToggle = 1167;
constexpr int kMode7Toggle = 1175;
constexpr int kBrightnessSlider = 1178;
constexpr int kSpeedSlider = 1179;
constexpr int kTwoWaySecond = 1180;
constexpr int kTwoWayFirst = 1183;
constexpr int kSecondColour = 1187;
constexpr int kSecondColourToggle = 1188;
constexpr int kThirdColour = 1191;
constexpr int kThirdColourToggle = 1192;
constexpr int kFirstArrow = 1194; // 1194-1197 choose directions 0-3
constexpr int kArrowCount = 4;
constexpr int kUserModeChooser = 1198;
constexpr std::array<int, 3> kColourBoxIds = {1208, 1209, 1210};
constexpr int kFirstPreset = 1211;
constexpr int kPresetCount = 8;
constexpr std::array<int, 4> kReportButtons = {1147, 1168, 1169, 1170};

constexpr int kUserModeCount = 3;
constexpr int kLastPlainMode = 18;
// Frames list the extra keys first; they light through one shared position and never paint.
constexpr std::size_t kFirstStandardButton = 9;
constexpr std::size_t kFnButton = model::kPreviewButtonCount - 1;

struct Rgb {
    std::uint8_t red, green, blue;
};
constexpr std::array<Rgb, kPresetCount> kPresets = {{{235, 99, 30},
                                                     {255, 0, 0},
                                                     {0, 126, 255},
                                                     {90, 255, 0},
                                                     {234, 255, 0},
                                                     {255, 192, 0},
                                                     {255, 0, 180},
                                                     {174, 0, 255}}};

// What a mode shows. The effect cards share places, so at most one colour group is shown.
namespace field {
constexpr unsigned kAlways = 1u << 0;
constexpr unsigned kSpeed = 1u << 1;
constexpr unsigned kColour = 1u << 2;        // the number boxes and presets
constexpr unsigned kDirection = 1u << 3;     // the two arrows
constexpr unsigned kLayoutFirst = 1u << 4;   // the two-way switch
constexpr unsigned kLayoutSecond = 1u << 5;  // the two further directions
constexpr unsigned kLayoutThird = 1u << 6;   // the third colour
constexpr unsigned kCycling = 1u << 7;       // colour button and colour cycling
constexpr unsigned kReactive = 1u << 8;      // colour button and the mode-7 toggle
constexpr unsigned kSteady = 1u << 9;        // the first page's colour button
constexpr unsigned kSecondColour = 1u << 10; // second colour and its switch
constexpr unsigned kUserTools = 1u << 11;    // the per-key view's tools
constexpr unsigned kColourGroups = kCycling | kReactive | kSteady | kSecondColour;
} // namespace field

// Effects that travel across the keys, so a direction means something to them.
constexpr std::array<std::uint8_t, 7> kTravellingModes = {1, 2, 3, 4, 13, 14, 15};

unsigned fieldsOfMode(std::uint8_t mode) {
    unsigned fields = field::kAlways;
    switch (model::layoutForMode(mode)) {
    case model::PanelLayout::first:
        fields |= field::kLayoutFirst;
        break;
    case model::PanelLayout::second:
        fields |= field::kLayoutSecond;
        break;
    case model::PanelLayout::third:
        fields |= field::kLayoutThird;
        break;
    }
    const bool known = (mode >= 1 && mode <= kLastPlainMode) || mode == model::kPerKeyColourMode;
    if (!known) {
        return fields & ~field::kLayoutFirst;
    }
    const bool still = mode == kLastPlainMode || mode == model::kPerKeyColourMode;
    if (still) {
        fields &= ~field::kLayoutFirst;
    } else {
        fields |= field::kSpeed;
    }
    if (std::find(kTravellingModes.begin(), kTravellingModes.end(), mode) !=
        kTravellingModes.end()) {
        fields |= field::kDirection;
    }
    switch (mode) {
    case 4: // the spectrum is its own colour
    case model::kPerKeyColourMode:
        break;
    case 7:
        fields |= field::kColour | field::kReactive;
        break;
    case 12:
        fields |= field::kColour | field::kSecondColour;
        break;
    case kLastPlainMode:
        fields |= field::kColour | field::kSteady;
        break;
    default:
        fields |= field::kColour | field::kCycling;
        break;
    }
    return fields;
}

QColor toQColor(ColourRef colour) {
    const auto rgb = model::colourBytes(colour);
    return {rgb[0], rgb[1], rgb[2]};
}

ColourRef fromQColor(const QColor& colour) {
    return model::colourRef(static_cast<std::uint8_t>(colour.red()),
                            static_cast<std::uint8_t>(colour.green()),
                            static_cast<std::uint8_t>(colour.blue()));
}

// The colour position whose light a preview button shows.
int colourPositionOfButton(std::size_t button) {
    if (button < kFirstStandardButton) {
        return model::kExtraKeyColourPosition;
    }
    if (button == kFnButton) {
        return model::kLogoColourPosition;
    }
    return model::ColourPositionList()[button - kFirstStandardButton];
}

std::optional<std::size_t> previewButtonOf(int controlId) {
    const auto& ids = model::previewButtonControlIds();
    const auto found = std::find(ids.begin(), ids.end(), controlId);
    if (found == ids.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - ids.begin());
}

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

// A small square switch of the panel. Its face says what it switches: a check mark, the colour
// spectrum (colour cycling), a glyph, or a colour (a painting tool). The panel sets its state;
// a click only reports.
class LightToggle final : public QAbstractButton {
public:
    enum class Face { check, spectrum, glyph, swatch };

    LightToggle(Face face, QWidget* parent) : QAbstractButton(parent), face_(face) {
        setCursor(Qt::PointingHandCursor);
        widgets::applySkinLook(*this);
    }

    void setOn(bool on) {
        if (on != on_) {
            on_ = on;
            update();
        }
    }
    bool isOn() const { return on_; }
    void setSwatch(ColourRef colour) {
        swatch_ = colour;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const int side = std::min(width(), height());
        const QRectF box(0.5, 0.5, side - 1.0, side - 1.0);
        const bool lit = isEnabled() && (underMouse() || hasFocus());
        painter.setPen(QColor(on_ || lit ? widgets::kSkinAccent : widgets::kSkinFrame));
        painter.setBrush(QColor(widgets::kSkinWindow));
        painter.drawRoundedRect(box, 3, 3);
        const QRectF inner = box.adjusted(3, 3, -3, -3);
        painter.setPen(Qt::NoPen);
        switch (face_) {
        case Face::check:
            if (on_) {
                painter.setPen(QPen(QColor(widgets::kSkinAccent), 2));
                painter.drawPolyline(
                    QPolygonF{{inner.left() + 1, inner.center().y()},
                              {inner.left() + inner.width() * 0.4, inner.bottom() - 1},
                              {inner.right() - 1, inner.top() + 1}});
            }
            break;
        case Face::spectrum: {
            QLinearGradient spectrum(inner.topLeft(), inner.topRight());
            const QColor stops[] = {Qt::red,  Qt::yellow, Qt::green,
                                    Qt::cyan, Qt::blue,   Qt::magenta};
            for (int i = 0; i < 6; ++i) {
                spectrum.setColorAt(i / 5.0, stops[i]);
            }
            painter.setOpacity(on_ ? 1.0 : 0.25);
            painter.fillRect(inner, spectrum);
            break;
        }
        case Face::glyph:
            painter.setPen(QColor(on_ ? widgets::kSkinAccent : widgets::kSkinDimText));
            painter.drawText(box, Qt::AlignCenter, text());
            break;
        case Face::swatch:
            painter.fillRect(on_ ? inner : inner.adjusted(2, 2, -2, -2), toQColor(swatch_));
            break;
        }
        if (face_ == Face::check && !text().isEmpty()) {
            painter.setOpacity(1.0);
            painter.setPen(QColor(isEnabled() ? widgets::kSkinText : widgets::kSkinDisabledText));
            painter.drawText(QRect(side + 6, 0, width() - side - 6, height()),
                             Qt::AlignLeft | Qt::AlignVCenter, text());
        }
    }

private:
    Face face_;
    bool on_ = false;
    ColourRef swatch_ = 0;
};

// The key picture of the per-key view: every key button's face with its light, painted in one
// go over the buttons. A preview step changes the light of every key, and one widget painting
// them all costs a fraction of what a hundred buttons repainting themselves do. The layer
// covers the keys only; clicks and hovering go through it to the buttons below.
class KeyLightLayer final : public QWidget {
public:
    using Lights = std::array<std::optional<ColourRef>, model::kPreviewButtonCount>;

    KeyLightLayer(QWidget& window, QPixmap faces, const Lights& lights,
                  const std::function<skin::ImageButton*(int)>& button)
        : QWidget(&window), faces_(std::move(faces)), lights_(lights) {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_OpaquePaintEvent);
        const auto& ids = model::previewButtonControlIds();
        QRegion keys;
        for (std::size_t i = 0; i < ids.size(); ++i) {
            if (const skin::ImageButton* key = button(ids[i])) {
                places_[i] = key->geometry();
                keys += places_[i];
            }
        }
        setGeometry(keys.boundingRect());
        setMask(keys.translated(-pos()));
        hide();
    }

    void lightChanged(std::size_t button) { update(places_[button].translated(-pos())); }

protected:
    void paintEvent(QPaintEvent* event) override {
        QPainter painter(this);
        for (std::size_t i = 0; i < places_.size(); ++i) {
            const QRect area = places_[i].translated(-pos());
            if (area.isEmpty() || !event->rect().intersects(area)) {
                continue;
            }
            // A face lies one pixel up and left of its button in the window's pictures.
            painter.drawPixmap(area.topLeft(), faces_, places_[i].translated(-1, -1));
            if (lights_[i]) {
                drawLight(painter, area, *lights_[i]);
            }
        }
    }

private:
    // A lit key: the light washes over the cap and shows in full round its edge, where it
    // leaks past the cap on the keyboard. A dark key is the cap dimmed, as an unlit keyboard
    // looks. Plain fills only, the cheap kind.
    static void drawLight(QPainter& painter, const QRect& area, ColourRef colour) {
        if (colour == 0) {
            painter.fillRect(area, QColor(0, 0, 0, 120));
            return;
        }
        const QColor rim = toQColor(colour);
        QColor wash = rim;
        wash.setAlpha(110);
        painter.fillRect(area, wash);
        constexpr int kRim = 2;
        const int x = area.x();
        const int y = area.y();
        const int w = area.width();
        const int h = area.height();
        painter.fillRect(QRect(x, y, w, kRim), rim);
        painter.fillRect(QRect(x, y + h - kRim, w, kRim), rim);
        painter.fillRect(QRect(x, y + kRim, kRim, h - 2 * kRim), rim);
        painter.fillRect(QRect(x + w - kRim, y + kRim, kRim, h - 2 * kRim), rim);
    }

    QPixmap faces_;
    const Lights& lights_;
    std::array<QRect, model::kPreviewButtonCount> places_{};
};

namespace {

LightToggle::Face faceOf(int controlId) {
    switch (controlId) {
    case kCyclingToggle:
    case kMode7Toggle:
        return LightToggle::Face::spectrum;
    case kFirstTool:
    case kSecondTool:
        return LightToggle::Face::swatch;
    case kTwoWayFirst:
    case kTwoWaySecond:
    case kFirstArrow + 2:
    case kFirstArrow + 3:
        return LightToggle::Face::glyph;
    default:
        return LightToggle::Face::check;
    }
}

} // namespace

LightingPanel::LightingPanel(Parts parts)
    : parts_(std::move(parts)),
      chooseColour_([this](ColourRef current) -> std::optional<ColourRef> {
          const QColor chosen = QColorDialog::getColor(toQColor(current), &parts_.window);
          if (!chosen.isValid()) {
              return std::nullopt;
          }
          return fromQColor(chosen);
      }) {
    createEffectControls();
    createColourControls();
    createPatternControls();
    createUserControls();
    lightLayer_ = new KeyLightLayer(
        parts_.window, skin::skinPicture(parts_.window.iniFolder() / "main_normal.jpg"), keyLights_,
        parts_.button);
    reloadTexts();
    refresh();
}

LightingPanel::~LightingPanel() = default;

// ---- building ----

void LightingPanel::manage(QWidget* widget, int controlId, unsigned fields) {
    if (controlId != 0) {
        controls_[controlId] = widget;
    }
    shown_.push_back({widget, fields});
}

QLabel* LightingPanel::addCaption(const char* lightKey, unsigned fields) {
    auto* label = new QLabel(&parts_.window);
    widgets::applySkinLook(*label);
    captions_.emplace_back(label, lightKey);
    manage(label, 0, fields);
    return label;
}

void LightingPanel::addLabel(const char* skinKey, unsigned fields) {
    const auto caption =
        std::find_if(std::begin(kCaptions), std::end(kCaptions), [skinKey](const Caption& c) {
            return std::string_view(c.skinKey) == skinKey;
        });
    QLabel* label =
        addCaption(caption != std::end(kCaptions) ? caption->lightKey : nullptr, fields);
    skin::placeControl(*label, parts_.window.iniPath(), skin::kButtonSection, skinKey);
}

void LightingPanel::addCaptionBeside(const char* skinKey, const char* lightKey, unsigned fields) {
    const QRect named = skin::readSkinRect(parts_.window.iniPath(), skin::kButtonSection, skinKey);
    addCaption(lightKey, fields)
        ->setGeometry(named.x() + named.width() + kCaptionGap, named.y(), kCaptionWidth,
                      named.height());
}

widgets::ColourStatic* LightingPanel::addSwatch(int controlId, const char* skinKey,
                                                unsigned fields) {
    auto* swatch = new widgets::ColourStatic(&parts_.window);
    skin::placeControl(*swatch, parts_.window.iniPath(), skin::kButtonSection, skinKey);
    connect(swatch, &widgets::ColourStatic::clicked, this,
            [this, controlId] { parts_.command(controlId); });
    manage(swatch, controlId, fields);
    return swatch;
}

LightToggle* LightingPanel::addToggle(int controlId, const char* skinKey, unsigned fields) {
    auto* toggle = new LightToggle(faceOf(controlId), &parts_.window);
    skin::placeControl(*toggle, parts_.window.iniPath(), skin::kButtonSection, skinKey);
    connect(toggle, &QAbstractButton::clicked, this,
            [this, controlId] { parts_.command(controlId); });
    manage(toggle, controlId, fields);
    return toggle;
}

widgets::SkinSlider* LightingPanel::addSlider(int controlId, int positions, const char* skinKey,
                                              const char* track, const char* thumb,
                                              unsigned fields) {
    auto* slider = new widgets::SkinSlider(positions, &parts_.window);
    skin::placeControl(*slider, parts_.window.iniPath(), skin::kButtonSection, skinKey);
    // A skin names its slider pictures; one that names none gets the drawn look.
    const auto picture = [this](const char* key) {
        const std::string name =
            platform::getPrivateProfileString("SLIDER", key, "", parts_.window.iniPath());
        return name.empty()
                   ? QPixmap()
                   : skin::skinPicture(skin::skinFilePath(parts_.window.iniFolder(), name));
    };
    slider->setPictures(picture(track), picture(thumb));
    slider->setPositionHandler([this, controlId](int, bool) {
        parts_.window.sendMessage(kSliderMessage, static_cast<quintptr>(controlId), 0);
    });
    manage(slider, controlId, fields);
    return slider;
}

void LightingPanel::createEffectControls() {
    modeChooser_ = new widgets::SkinCombo(widgets::ComboKind::Plain, &parts_.window);
    skin::placeControl(*modeChooser_, parts_.window.iniPath(), skin::kButtonSection,
                       "CONTROL_XGcombox");
    modeChooser_->installEventFilter(new ArrowKeyFilter(modeChooser_));
    connect(modeChooser_, &QComboBox::activated, this, [this](int item) { chooseModeItem(item); });
    manage(modeChooser_, kModeChooser, field::kAlways);

    addLabel("CONTROL_LightStatic", field::kAlways);
    addSlider(kBrightnessSlider, model::kMaxBrightness + 1, "CONTROL_LightSlider", "LightTrack",
              "LightThumb", field::kAlways);
    addLabel("CONTROL_SpeedStatic", field::kSpeed);
    addSlider(kSpeedSlider, model::kMaxSpeedPosition + 1, "CONTROL_SpeedSlider", "SpeedTrack",
              "SpeedThumb", field::kSpeed);

    // One of the two light buttons shows at a time: the one that switches to the other state,
    // in the picture of the present one. The switch picture says what it is without a caption.
    const std::filesystem::path& folder = parts_.window.iniFolder();
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
    for (const int id : {kLightOn, kLightOff}) {
        auto* button = new skin::ImageButton(&parts_.window);
        skin::placeControl(*button, parts_.window.iniPath(), skin::kButtonSection,
                           "CONTROL_DengStaPic");
        connect(button, &QAbstractButton::clicked, this, [this, id] { parts_.command(id); });
        controls_[id] = button;
    }
    showLightSwitchPictures(0);

    perKeyToggle_ = addToggle(kPerKeyToggle, "CONTROL_UsbStatic", field::kAlways);
}

void LightingPanel::createColourControls() {
    addLabel("CONTROL_RGBStatic", field::kColour);
    const char* const boxKeys[] = {"COLOR_R", "COLOR_G", "COLOR_B"};
    for (std::size_t i = 0; i < colourBoxes_.size(); ++i) {
        auto* box = new QLineEdit(&parts_.window);
        widgets::applySkinLook(*box);
        box->setValidator(new QIntValidator(0, 999, box));
        box->setAlignment(Qt::AlignCenter);
        skin::placeControl(*box, parts_.window.iniPath(), skin::kButtonSection, boxKeys[i]);
        connect(box, &QLineEdit::textChanged, this, [box] {
            if (box->text().toInt() >= 256) {
                box->setText(QStringLiteral("255"));
            }
        });
        connect(box, &QLineEdit::editingFinished, this, [this] { commitColourBoxes(); });
        colourBoxes_[i] = box;
        manage(box, kColourBoxIds[i], field::kColour);
    }

    addLabel("CONTROL_HXysStatic", field::kCycling);
    addSwatch(kColourButton, "CONTROL_HXysButton", field::kCycling);
    addToggle(kCyclingToggle, "CONTROL_HXsjsStaPic", field::kCycling);

    addLabel("CONTROL_FYYSStatic", field::kReactive);
    addSwatch(kReactiveColourButton, "CONTROL_FYYSButton", field::kReactive);
    addToggle(kMode7Toggle, "CONTROL_FYSJSStaPic", field::kReactive);

    addLabel("CONTROL_JTysStatic", field::kSteady);
    addSwatch(kPageZeroColourButton, "CONTROL_JTysButton", field::kSteady);

    addLabel("CONTROL_TSysStatic", field::kSecondColour);
    addSwatch(kSecondColour, "CONTROL_TSysButton", field::kSecondColour);
    addToggle(kSecondColourToggle, "CONTROL_TSsjsStaPic", field::kSecondColour);
}

void LightingPanel::createPatternControls() {
    addLabel("CONTROL_BLFXStatic", field::kLayoutFirst);
    addToggle(kTwoWayFirst, "CONTROL_BLFXLStaPic", field::kLayoutFirst)->setText("1");
    addToggle(kTwoWaySecond, "CONTROL_BLFXRStaPic", field::kLayoutFirst)->setText("2");

    addLabel("CONTROL_BLFXStatic2", field::kLayoutSecond);
    addToggle(kFirstArrow + 2, "CONTROL_BLFXLStaPic2", field::kLayoutSecond)
        ->setText(QStringLiteral("\u21BA"));
    addToggle(kFirstArrow + 3, "CONTROL_BLFXRStaPic2", field::kLayoutSecond)
        ->setText(QStringLiteral("\u21BB"));

    addLabel("CONTROL_BLFXStatic3", field::kLayoutThird);
    addSwatch(kThirdColour, "CONTROL_BLFXLStaPic3", field::kLayoutThird);
    addToggle(kThirdColourToggle, "CONTROL_BLFXRStaPic3", field::kLayoutThird);

    addCaptionBeside("FUNC_REPORT4", "Usb", field::kAlways);
    addCaptionBeside("RIGHT_ARROW", "DC", field::kDirection);

    // Arrows 0 and 1 take their released and pressed faces from the arrow sheet.
    arrowSheet_ = skin::skinPicture(parts_.window.iniFolder() / "Arrow.jpg");
    const struct {
        const char* key;
        const char* released;
        const char* pressed;
    } arrows[] = {{"LEFT_ARROW", "UP_ARROW_LEFT1", "DOWN_ARROW_LEFT1"},
                  {"RIGHT_ARROW", "UP_ARROW_RIGHT1", "DOWN_ARROW_RIGHT1"}};
    for (std::size_t i = 0; i < std::size(arrows); ++i) {
        auto* button = new skin::ImageButton(&parts_.window);
        skin::placeSpriteButton(*button, parts_.window.iniPath(), arrows[i].key, arrows[i].released,
                                arrowSheet_);
        arrowOrigins_[i] = {skin::readSkinOrigin(parts_.window.iniPath(), arrows[i].released),
                            skin::readSkinOrigin(parts_.window.iniPath(), arrows[i].pressed)};
        const int id = kFirstArrow + static_cast<int>(i);
        connect(button, &QAbstractButton::clicked, this, [this, id] { parts_.command(id); });
        manage(button, id, field::kDirection);
    }
}

void LightingPanel::createUserControls() {
    addLabel("CONTROL_USERysStatic", field::kUserTools);
    addSwatch(kToolColour, "CONTROL_USERysButton", field::kUserTools);
    addLabel("CONTROL_USERjsStatic", field::kUserTools);
    addSwatch(kToolSecondColour, "CONTROL_USERjsButton", field::kUserTools);
    addLabel("CONTROL_USERgjStatic", field::kUserTools);
    addToggle(kFirstTool, "CONTROL_USERgjStaPic1", field::kUserTools);
    addToggle(kSecondTool, "CONTROL_USERgjStaPic2", field::kUserTools);

    userModeChooser_ = new widgets::SkinCombo(widgets::ComboKind::Editable, &parts_.window);
    skin::placeControl(*userModeChooser_, parts_.window.iniPath(), skin::kButtonSection,
                       "CONTROL_umCombo");
    connect(userModeChooser_, &QComboBox::activated, this,
            [this](int item) { chooseUserMode(item); });
    connect(userModeChooser_, &widgets::SkinCombo::editCommitted, this,
            [this](int item, const QString& name) { renameUserMode(item, name); });
    manage(userModeChooser_, kUserModeChooser, field::kUserTools);
}

// ---- showing the state ----

void LightingPanel::reloadTexts() {
    for (const auto& [label, key] : captions_) {
        label->setText(key != nullptr ? QString::fromStdString(parts_.texts.lightText(key))
                                      : QStringLiteral("RGB"));
    }
    perKeyToggle_->setText(QString::fromStdString(parts_.texts.lightText("Deng")));
    for (std::size_t item = 0; item < listedModes_.size(); ++item) {
        modeChooser_->setItemText(static_cast<int>(item), modeName(listedModes_[item]));
    }
}

QString LightingPanel::modeName(std::uint8_t mode) const {
    return QString::fromStdString(parts_.texts.modeText(std::to_string(mode)));
}

void LightingPanel::refresh() {
    const model::SupportedModes& supported = parts_.lighting.supportedModes();
    {
        const QSignalBlocker block(modeChooser_);
        if (listedModes_ != supported.modes()) {
            listedModes_ = supported.modes();
            modeChooser_->clear();
            for (const std::uint8_t mode : listedModes_) {
                modeChooser_->addItem(modeName(mode));
            }
        }
        const auto item = supported.itemOf(parts_.lighting.panel().mode);
        modeChooser_->setCurrentIndex(item ? static_cast<int>(*item) : -1);
    }
    const int page = parts_.lighting.currentPage();
    const bool viewSwitch = parts_.colourFiles.readPerKeyViewSwitch();
    if (viewSwitch != perKeyView_ || (perKeyView_ && page != userPage_)) {
        // The switch is read with the lighting; the page's colours come from its file, which
        // the keyboard was given when it arrived.
        perKeyView_ = viewSwitch;
        lightLayer_->setVisible(perKeyView_);
        if (perKeyView_) {
            loadUserModeNames();
            tools_ = parts_.colourFiles.readModeTools(page, presentUserMode_);
            parts_.colourFiles.fillUserModeColours(page, parts_.lighting);
        } else {
            clearKeyLights();
        }
    }
    if (perKeyView_ && parts_.lighting.panel().mode == model::kPerKeyColourMode) {
        showKeyColours();
    }
    showState();
    showTools();
    showFields();
}

void LightingPanel::showFields() {
    unsigned fields = fieldsOfMode(parts_.lighting.panel().mode);
    if (perKeyView_) {
        fields = (fields & ~field::kColourGroups) | field::kUserTools;
    }
    for (const Shown& shown : shown_) {
        shown.widget->setVisible((shown.fields & fields) != 0);
    }
    const bool colour = (fields & field::kColour) != 0;
    for (int preset = kFirstPreset; preset < kFirstPreset + kPresetCount; ++preset) {
        if (skin::ImageButton* button = parts_.button(preset)) {
            button->setEnabled(colour);
        }
    }
}

void LightingPanel::showState() {
    const model::LightingPanelState& state = parts_.lighting.panel();
    qobject_cast<widgets::SkinSlider*>(controls_[kBrightnessSlider])->setPosition(state.brightness);
    qobject_cast<widgets::SkinSlider*>(controls_[kSpeedSlider])->setPosition(state.speedPosition);
    controls_[kLightOn]->setVisible(!state.lightOn);
    controls_[kLightOff]->setVisible(state.lightOn);
    showLightSwitchPictures(lightSwitchPicturesOf(state.mode));

    const auto rgb = model::colourBytes(state.colour);
    for (std::size_t i = 0; i < colourBoxes_.size(); ++i) {
        const QSignalBlocker block(colourBoxes_[i]);
        colourBoxes_[i]->setText(QString::number(rgb[i]));
    }
    const auto swatch = [this](int id, ColourRef colour) {
        qobject_cast<widgets::ColourStatic*>(controls_[id])->setColour(toQColor(colour));
    };
    swatch(kColourButton, state.colour);
    swatch(kReactiveColourButton, state.colour);
    swatch(kPageZeroColourButton, parts_.lighting.blocks()[0].colour());
    swatch(kSecondColour, state.secondColour);
    swatch(kThirdColour, state.thirdColour);

    const auto toggle = [this](int id, bool on) {
        static_cast<LightToggle*>(controls_[id])->setOn(on);
    };
    toggle(kPerKeyToggle, perKeyView_);
    toggle(kCyclingToggle, state.colourCycling);
    toggle(kMode7Toggle, state.mode7Switch);
    toggle(kTwoWayFirst, !state.twoWaySwitch);
    toggle(kTwoWaySecond, state.twoWaySwitch);
    toggle(kSecondColourToggle, state.secondColourOn);
    toggle(kThirdColourToggle, state.thirdColourOn);
    toggle(kFirstArrow + 2, state.direction == 2);
    toggle(kFirstArrow + 3, state.direction == 3);
    for (std::size_t i = 0; i < arrowOrigins_.size(); ++i) {
        auto* arrow = static_cast<skin::ImageButton*>(controls_[kFirstArrow + static_cast<int>(i)]);
        const QPoint origin = arrowOrigins_[i][state.direction == i ? 1 : 0];
        // New pictures forget the hover, so an arrow is only touched when its face changes.
        if (arrow->origin() != origin) {
            arrow->setPictures(origin, skin::ButtonPictures::allAs(arrowSheet_));
        }
    }
    // The selector is the window's and writes the page copy, not the panel state.
    const int pattern = parts_.lighting.currentBlock().pattern();
    for (std::size_t i = 0; i < kReportButtons.size(); ++i) {
        if (skin::ImageButton* button = parts_.button(kReportButtons[i])) {
            button->setSelectedLook(static_cast<int>(i) == pattern);
        }
    }
}

void LightingPanel::showLightSwitchPictures(std::size_t pair) {
    // New pictures forget the hover, so the buttons are only touched when the pair changes.
    if (pair == shownLightSwitchPictures_) {
        return;
    }
    shownLightSwitchPictures_ = pair;
    const auto& [on, off] = lightSwitchPictures_[pair];
    // The pictures are the size of the control, so the buttons show them from their corner.
    static_cast<skin::ImageButton*>(controls_[kLightOn])
        ->setPictures(QPoint(1, 1), skin::ButtonPictures::allAs(off));
    static_cast<skin::ImageButton*>(controls_[kLightOff])
        ->setPictures(QPoint(1, 1), skin::ButtonPictures::allAs(on));
}

void LightingPanel::showTools() {
    qobject_cast<widgets::ColourStatic*>(controls_[kToolColour])
        ->setColour(toQColor(tools_.colour));
    qobject_cast<widgets::ColourStatic*>(controls_[kToolSecondColour])
        ->setColour(toQColor(tools_.toolColour));
    auto* first = static_cast<LightToggle*>(controls_[kFirstTool]);
    auto* second = static_cast<LightToggle*>(controls_[kSecondTool]);
    first->setSwatch(tools_.colour);
    first->setOn(!tools_.tool);
    second->setSwatch(tools_.toolColour);
    second->setOn(tools_.tool);
}

// ---- commands ----

bool LightingPanel::onCommand(int controlId) {
    model::Lighting& lighting = parts_.lighting;
    device::DeviceLink& link = parts_.link;
    const model::LightingPanelState& state = lighting.panel();
    if (controlId >= kFirstPreset && controlId < kFirstPreset + kPresetCount) {
        choosePreset(controlId);
        return true;
    }
    if (controlId >= kFirstArrow && controlId < kFirstArrow + kArrowCount) {
        // Pressing the arrow already pressed sends it again: the keyboard may have changed.
        lighting.setDirection(link, controlId - kFirstArrow);
        showState();
        return true;
    }
    switch (controlId) {
    case kLightOn:
    case kLightOff:
        lighting.setLightOn(link, controlId == kLightOn);
        break;
    case kCyclingToggle:
        lighting.setColourCycling(link, !state.colourCycling);
        break;
    case kMode7Toggle:
        lighting.toggleMode7Cycling(link);
        break;
    case kTwoWayFirst:
    case kTwoWaySecond:
        lighting.setTwoWaySwitch(link, controlId == kTwoWaySecond);
        break;
    case kSecondColourToggle:
        lighting.setSecondColourOn(link, !state.secondColourOn);
        break;
    case kThirdColourToggle:
        lighting.setThirdColourOn(link, !state.thirdColourOn);
        break;
    case kColourButton:
    case kReactiveColourButton:
    case kPageZeroColourButton:
    case kSecondColour:
    case kThirdColour:
    case kToolColour:
    case kToolSecondColour:
        pickColour(controlId);
        return true;
    case kPerKeyToggle:
        togglePerKeyView();
        return true;
    case kFirstTool:
    case kSecondTool:
        tools_.tool = controlId == kSecondTool;
        saveTools();
        return true;
    default:
        return false;
    }
    showState();
    return true;
}

void LightingPanel::sliderMessage(int sliderId) {
    const auto* slider = qobject_cast<widgets::SkinSlider*>(control(sliderId));
    if (slider == nullptr) {
        return;
    }
    if (sliderId == kBrightnessSlider) {
        parts_.lighting.setBrightness(parts_.link, slider->position());
    } else if (sliderId == kSpeedSlider) {
        parts_.lighting.setSpeedPosition(parts_.link, slider->position());
    }
}

void LightingPanel::chooseModeItem(int item) {
    const auto mode = parts_.lighting.supportedModes().modeAt(static_cast<std::size_t>(item));
    if (!mode) {
        return;
    }
    parts_.lighting.chooseMode(parts_.link, *mode);
    preview_.modeChosen();
    if (perKeyView_ && *mode == model::kPerKeyColourMode) {
        showKeyColours();
    }
    showState();
    showFields();
}

void LightingPanel::commitColourBoxes() {
    std::array<std::uint8_t, 3> rgb{};
    for (std::size_t i = 0; i < rgb.size(); ++i) {
        rgb[i] = static_cast<std::uint8_t>(std::clamp(colourBoxes_[i]->text().toInt(), 0, 255));
    }
    const ColourRef colour = model::colourRef(rgb[0], rgb[1], rgb[2]);
    if (colour != parts_.lighting.panel().colour) {
        parts_.lighting.chooseColour(parts_.link, colour);
        showState();
    }
}

void LightingPanel::choosePreset(int controlId) {
    const Rgb& preset = kPresets[static_cast<std::size_t>(controlId - kFirstPreset)];
    parts_.lighting.chooseColour(parts_.link,
                                 model::colourRef(preset.red, preset.green, preset.blue));
    showState();
}

void LightingPanel::pickColour(int controlId) {
    model::Lighting& lighting = parts_.lighting;
    const model::LightingPanelState& state = lighting.panel();
    ColourRef current = state.colour;
    if (controlId == kPageZeroColourButton) {
        current = lighting.blocks()[0].colour();
    } else if (controlId == kSecondColour) {
        current = state.secondColour;
    } else if (controlId == kThirdColour) {
        current = state.thirdColour;
    } else if (controlId == kToolColour) {
        current = tools_.colour;
    } else if (controlId == kToolSecondColour) {
        current = tools_.toolColour;
    }
    const std::optional<ColourRef> chosen = chooseColour_(current);
    if (!chosen) {
        return;
    }
    switch (controlId) {
    case kPageZeroColourButton:
        lighting.chooseExtraButtonColour(parts_.link, *chosen);
        break;
    case kSecondColour:
        lighting.chooseSecondColour(parts_.link, *chosen);
        break;
    case kThirdColour:
        lighting.chooseThirdColour(parts_.link, *chosen);
        break;
    case kToolColour:
        tools_.colour = *chosen;
        saveTools();
        return;
    case kToolSecondColour:
        tools_.toolColour = *chosen;
        saveTools();
        return;
    default:
        lighting.chooseColour(parts_.link, *chosen);
        break;
    }
    showState();
}

// ---- the per-key view ----

void LightingPanel::togglePerKeyView() {
    if (perKeyView_) {
        leavePerKeyView();
        return;
    }
    if (parts_.reselectProfile && !parts_.reselectProfile()) {
        return;
    }
    showPerKeyView(true);
    loadUserModeNames();
    tools_ = parts_.colourFiles.loadUserMode(userPage_, parts_.lighting, parts_.link);
    showTools();
    showKeyColours();
}

void LightingPanel::leavePerKeyView() {
    if (!perKeyView_) {
        return;
    }
    showPerKeyView(false);
    clearKeyLights();
    if (parts_.keyGridChanged) {
        parts_.keyGridChanged();
    }
}

void LightingPanel::showPerKeyView(bool on) {
    parts_.colourFiles.writePerKeyViewSwitch(on);
    perKeyView_ = on;
    lightLayer_->setVisible(on);
    perKeyToggle_->setOn(on);
    showFields();
}

void LightingPanel::loadUserModeNames() {
    userPage_ = parts_.lighting.currentPage();
    presentUserMode_ = parts_.colourFiles.readPresentMode(userPage_);
    const QSignalBlocker block(userModeChooser_);
    userModeChooser_->clear();
    for (int mode = 0; mode < kUserModeCount; ++mode) {
        userModeChooser_->addItem(
            QString::fromStdString(parts_.colourFiles.readModeName(userPage_, mode)));
    }
    userModeChooser_->setCurrentIndex(presentUserMode_ < kUserModeCount ? presentUserMode_ : -1);
}

void LightingPanel::chooseUserMode(int item) {
    if (item < 0 || item >= kUserModeCount) {
        return;
    }
    parts_.colourFiles.writePresentMode(userPage_, item);
    presentUserMode_ = item;
    tools_ = parts_.colourFiles.loadUserMode(userPage_, parts_.lighting, parts_.link);
    showTools();
    showKeyColours();
}

void LightingPanel::renameUserMode(int item, const QString& name) {
    if (item >= 0 && item < kUserModeCount) {
        parts_.colourFiles.writeModeName(userPage_, item, name.toStdString());
    }
}

void LightingPanel::saveTools() {
    parts_.colourFiles.writeModeTools(userPage_, presentUserMode_, tools_);
    showTools();
}

bool LightingPanel::paintKey(int controlId) {
    if (!perKeyView_) {
        return false;
    }
    const std::optional<std::size_t> button = previewButtonOf(controlId);
    if (!button || *button < kFirstStandardButton) {
        return false;
    }
    const int position = colourPositionOfButton(*button);
    const ColourRef colour = tools_.tool ? tools_.toolColour : tools_.colour;
    parts_.lighting.setKeyColour(parts_.link, position, colour);
    parts_.colourFiles.writeKeyColour(userPage_, presentUserMode_, position, {colour, true});
    setKeyLight(*button, colour);
    return true;
}

// ---- the key picture ----

void LightingPanel::previewTick() {
    if (!perKeyView_) {
        return;
    }
    if (!preview_.tick(parts_.lighting.panel(), true, frame_)) {
        return;
    }
    for (std::size_t i = 0; i < frame_.size(); ++i) {
        switch (frame_[i].look) {
        case model::PreviewLook::keep:
            break;
        case model::PreviewLook::colour:
            setKeyLight(i, frame_[i].colour);
            break;
        case model::PreviewLook::darkUnmarked:
            // The layer shows every key without its mark.
            setKeyLight(i, ColourRef{0});
            break;
        }
    }
}

void LightingPanel::showKeyColours() {
    const model::KeyColourPage& colours = parts_.lighting.currentKeyColours();
    for (std::size_t i = 0; i < keyLights_.size(); ++i) {
        setKeyLight(i, colours.colourAt(colourPositionOfButton(i)));
    }
}

void LightingPanel::clearKeyLights() {
    for (std::size_t i = 0; i < keyLights_.size(); ++i) {
        setKeyLight(i, std::nullopt);
    }
}

void LightingPanel::setKeyLight(std::size_t button, std::optional<ColourRef> light) {
    if (keyLights_[button] == light) {
        return;
    }
    keyLights_[button] = light;
    lightLayer_->lightChanged(button);
}

std::optional<ColourRef> LightingPanel::keyLight(int controlId) const {
    const std::optional<std::size_t> button = previewButtonOf(controlId);
    return button ? keyLights_[*button] : std::nullopt;
}

QWidget* LightingPanel::control(int controlId) const {
    const auto found = controls_.find(controlId);
    return found == controls_.end() ? nullptr : found->second;
}

} // namespace velkan::app
