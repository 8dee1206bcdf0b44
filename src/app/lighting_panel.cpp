#include "app/lighting_panel.h"

#include "app/key_grid.h"
#include "app/key_light_layer.h"
#include "app/light_toggle.h"
#include "app/lighting_colours.h"
#include "app/main_window_buttons.h"
#include "model/key_codes.h"
#include "model/lighting_fields.h"
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

namespace field = model::lighting_field;

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

// Image buttons show their own tooltip; every other control Qt's.
void setToolTipOf(QWidget& control, const QString& tip) {
    if (auto* button = qobject_cast<skin::ImageButton*>(&control)) {
        button->setToolTipText(tip);
    } else {
        control.setToolTip(tip);
    }
}

} // namespace

LightingPanel::LightingPanel(Parts parts)
    : parts_(std::move(parts)),
      chooseColour_([this](ColourRef current) -> std::optional<ColourRef> {
          const QColor chosen = QColorDialog::getColor(toQColor(current), &parts_.window, {},
                                                       QColorDialog::DontUseNativeDialog);
          if (!chosen.isValid()) {
              return std::nullopt;
          }
          return fromQColor(chosen);
      }) {
    createEffectControls();
    createColourControls();
    createPatternControls();
    createUserControls();
    nameControls();
    lightLayer_ = new KeyLightLayer(
        parts_.window, skin::skinPicture(parts_.window.iniFolder() / "main_normal.jpg"), keyLights_,
        parts_.keys);
    reloadTexts();
    refresh();
}

LightingPanel::~LightingPanel() = default;

// Tests and accessibility tools find the controls by these names.
void LightingPanel::nameControls() {
    const std::pair<int, const char*> names[] = {
        {kModeChooser, "modeChooser"},
        {kLightOn, "lightOnButton"},
        {kLightOff, "lightOffButton"},
        {kColourButton, "colourButton"},
        {kReactiveColourButton, "reactiveColourButton"},
        {kCyclingToggle, "cyclingToggle"},
        {kPageZeroColourButton, "steadyColourButton"},
        {kToolColour, "toolColourButton"},
        {kToolSecondColour, "toolSecondColourButton"},
        {kFirstTool, "firstToolToggle"},
        {kSecondTool, "secondToolToggle"},
        {kPerKeyToggle, "perKeyToggle"},
        {kMode7Toggle, "reactiveCyclingToggle"},
        {kBrightnessSlider, "brightnessSlider"},
        {kSpeedSlider, "speedSlider"},
        {kTwoWayFirst, "twoWayFirstToggle"},
        {kTwoWaySecond, "twoWaySecondToggle"},
        {kSecondColour, "secondColourButton"},
        {kSecondColourToggle, "secondColourToggle"},
        {kThirdColour, "thirdColourButton"},
        {kThirdColourToggle, "thirdColourToggle"},
        {kFirstArrow, "leftArrow"},
        {kFirstArrow + 1, "rightArrow"},
        {kFirstArrow + 2, "anticlockwiseToggle"},
        {kFirstArrow + 3, "clockwiseToggle"},
        {kUserModeChooser, "userModeChooser"},
        {kColourBoxIds[0], "redBox"},
        {kColourBoxIds[1], "greenBox"},
        {kColourBoxIds[2], "blueBox"},
    };
    for (const auto& [id, name] : names) {
        control(id)->setObjectName(QString::fromLatin1(name));
    }
    for (int i = 0; i < kPresetCount; ++i) {
        control(kFirstPreset + i)->setObjectName(QStringLiteral("preset%1").arg(i + 1));
    }
    for (std::size_t i = 0; i < kReportButtons.size(); ++i) {
        control(kReportButtons[i])->setObjectName(QStringLiteral("reportButton%1").arg(i + 1));
    }
}

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
            [this, controlId] { onCommand(controlId); });
    manage(swatch, controlId, fields);
    return swatch;
}

LightToggle* LightingPanel::addToggle(int controlId, const char* skinKey, unsigned fields) {
    auto* toggle = new LightToggle(faceOf(controlId), &parts_.window);
    skin::placeControl(*toggle, parts_.window.iniPath(), skin::kButtonSection, skinKey);
    connect(toggle, &QAbstractButton::clicked, this, [this, controlId] { onCommand(controlId); });
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
    slider->setPositionHandler([this, controlId](int, bool) { sliderMoved(controlId); });
    manage(slider, controlId, fields);
    return slider;
}

skin::ImageButton* LightingPanel::addButton(int controlId, const std::string& skinKey) {
    skin::ImageButton* button = placeMainButton(parts_.window, skinKey);
    connect(button, &QAbstractButton::clicked, this, [this, controlId] { onCommand(controlId); });
    controls_[controlId] = button;
    return button;
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
        connect(button, &QAbstractButton::clicked, this, [this, id] { onCommand(id); });
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

    QRect colourRows = controls_[kColourBoxIds.back()]->geometry();
    for (int i = 0; i < kPresetCount; ++i) {
        const int id = kFirstPreset + i;
        manage(addButton(id, "CONTROL_Color" + std::to_string(i + 1)), id, field::kColour);
        colourRows |= controls_[id]->geometry();
    }
    // Where the boxes and presets stand, the modes that use neither say why they are absent.
    colourNote_ = new QLabel(&parts_.window);
    widgets::applySkinLook(*colourNote_);
    colourNote_->setObjectName(QStringLiteral("colourNote"));
    colourNote_->setWordWrap(true);
    colourNote_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette dim = colourNote_->palette();
    dim.setColor(QPalette::WindowText, QColor(widgets::kSkinDimText));
    colourNote_->setPalette(dim);
    const int left = controls_[kFirstPreset]->geometry().left();
    colourNote_->setGeometry(colourRows.adjusted(left - colourRows.left(), 0, 0, 0));

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

    for (std::size_t i = 0; i < kReportButtons.size(); ++i) {
        addButton(kReportButtons[i], "FUNC_REPORT" + std::to_string(i + 1));
    }
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
        connect(button, &QAbstractButton::clicked, this, [this, id] { onCommand(id); });
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
    showColourNote();
    for (std::size_t item = 0; item < listedModes_.size(); ++item) {
        modeChooser_->setItemText(static_cast<int>(item), modeName(listedModes_[item]));
    }
    showToolTips();
}

// What each control does, for the controls whose picture alone does not say it.
void LightingPanel::showToolTips() {
    const std::pair<int, std::string_view> tips[] = {
        {kLightOn, lang::textKey("LIGHT_SWITCH_PROMPT")},
        {kLightOff, lang::textKey("LIGHT_SWITCH_PROMPT")},
        {kCyclingToggle, lang::textKey("LIGHT_CYCLING_PROMPT")},
        {kMode7Toggle, lang::textKey("LIGHT_CYCLING_PROMPT")},
        {kTwoWayFirst, lang::textKey("LIGHT_VARIANT_PROMPT")},
        {kTwoWaySecond, lang::textKey("LIGHT_VARIANT_PROMPT")},
        {kFirstArrow, lang::textKey("LIGHT_DIRECTION_PROMPT")},
        {kFirstArrow + 1, lang::textKey("LIGHT_DIRECTION_PROMPT")},
        {kFirstArrow + 2, lang::textKey("LIGHT_TURN_PROMPT")},
        {kFirstArrow + 3, lang::textKey("LIGHT_TURN_PROMPT")},
        {kColourButton, lang::textKey("LIGHT_COLOUR_PROMPT")},
        {kReactiveColourButton, lang::textKey("LIGHT_COLOUR_PROMPT")},
        {kPageZeroColourButton, lang::textKey("LIGHT_COLOUR_PROMPT")},
        {kSecondColour, lang::textKey("LIGHT_COLOUR_PROMPT")},
        {kThirdColour, lang::textKey("LIGHT_COLOUR_PROMPT")},
        {kPerKeyToggle, lang::textKey("LIGHT_PER_KEY_PROMPT")},
    };
    for (const auto& [id, key] : tips) {
        setToolTipOf(*control(id), QString::fromStdString(parts_.texts.text(key)));
    }
    const QString report = QString::fromStdString(parts_.texts.text("LIGHT_REPORT_PROMPT"));
    for (const int id : kReportButtons) {
        setToolTipOf(*control(id), report);
    }
    const QString preset = QString::fromStdString(parts_.texts.text("LIGHT_PRESET_PROMPT"));
    for (int id = kFirstPreset; id < kFirstPreset + kPresetCount; ++id) {
        setToolTipOf(*control(id), preset);
    }
}

QString LightingPanel::modeName(std::uint8_t mode) const {
    return QString::fromStdString(parts_.texts.modeText(std::to_string(mode)));
}

void LightingPanel::refresh() {
    const model::SupportedModes& supported = lighting().supportedModes();
    {
        const QSignalBlocker block(modeChooser_);
        if (listedModes_ != supported.modes()) {
            listedModes_ = supported.modes();
            modeChooser_->clear();
            for (const std::uint8_t mode : listedModes_) {
                modeChooser_->addItem(modeName(mode));
            }
        }
        const auto item = supported.itemOf(lighting().panel().mode);
        modeChooser_->setCurrentIndex(item ? static_cast<int>(*item) : -1);
    }
    const int page = lighting().currentPage();
    const bool viewSwitch = files().readPerKeyViewSwitch();
    if (viewSwitch != perKeyView_ || (perKeyView_ && page != userPage_)) {
        // The switch is read with the lighting; the page's colours come from its file, which
        // the keyboard was given when it arrived.
        perKeyView_ = viewSwitch;
        lightLayer_->setVisible(perKeyView_);
        if (perKeyView_) {
            loadUserModeNames();
            tools_ = files().readModeTools(page, presentUserMode_);
            change([page, &files = files()](model::Lighting& l, device::DeviceLink&) {
                files.fillUserModeColours(page, l);
            });
        } else {
            clearKeyLights();
        }
    }
    if (perKeyView_ && lighting().panel().mode == model::kPerKeyColourMode) {
        showKeyColours();
    }
    showState();
    showTools();
    showFields();
}

void LightingPanel::showFields() {
    unsigned fields = model::visibleFields(lighting().panel().mode);
    if (perKeyView_) {
        fields = (fields & ~field::kColourGroups) | field::kUserTools;
    }
    for (const Shown& shown : shown_) {
        shown.widget->setVisible((shown.fields & fields) != 0);
    }
    const bool noColours = (fields & (field::kColour | field::kColourGroups)) == 0;
    colourNote_->setVisible(noColours && !perKeyView_);
    showColourNote();
}

void LightingPanel::showColourNote() {
    const bool perKeyMode = lighting().panel().mode == model::kPerKeyColourMode;
    colourNote_->setText(QString::fromStdString(parts_.texts.text(
        perKeyMode ? "LIGHT_COLOURS_PER_KEY_PROMPT" : "LIGHT_COLOURS_OWN_PROMPT")));
}

void LightingPanel::showState() {
    const model::LightingPanelState& state = lighting().panel();
    showSliders();
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
    swatch(kPageZeroColourButton, lighting().blocks()[0].colour());
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
    const int pattern = lighting().currentBlock().pattern();
    for (std::size_t i = 0; i < kReportButtons.size(); ++i) {
        static_cast<skin::ImageButton*>(control(kReportButtons[i]))
            ->setSelectedLook(static_cast<int>(i) == pattern);
    }
}

void LightingPanel::showSliders() {
    // A slider the user is moving keeps the thumb where the hand or the keys put it: a hand-back
    // of an earlier step would pull it back and lose the steps the keyboard has yet to hear.
    if (sliderStepsInFlight_ > 0) {
        return;
    }
    const model::LightingPanelState& state = lighting().panel();
    for (const auto& [id, position] :
         {std::pair{kBrightnessSlider, state.brightness}, {kSpeedSlider, state.speedPosition}}) {
        auto* slider = qobject_cast<widgets::SkinSlider*>(controls_[id]);
        if (!slider->dragging()) {
            slider->setPosition(position);
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

// Every change goes to the keyboard controller, which sends it and hands the lighting back;
// the controls then show it.
void LightingPanel::change(KeyboardController::LightingChange change) {
    parts_.keyboard.changeLighting(std::move(change));
}

bool LightingPanel::onCommand(int controlId) {
    using device::DeviceLink;
    using model::Lighting;
    if (controlId >= kFirstPreset && controlId < kFirstPreset + kPresetCount) {
        const Rgb& preset = kPresets[static_cast<std::size_t>(controlId - kFirstPreset)];
        const ColourRef colour = model::colourRef(preset.red, preset.green, preset.blue);
        change([colour](Lighting& l, DeviceLink& link) { l.chooseColour(link, colour); });
        return true;
    }
    if (controlId >= kFirstArrow && controlId < kFirstArrow + kArrowCount) {
        // Pressing the arrow already pressed sends it again: the keyboard may have changed.
        const int arrow = controlId - kFirstArrow;
        change([arrow](Lighting& l, DeviceLink& link) { (void)l.setDirection(link, arrow); });
        return true;
    }
    if (const auto report = std::find(kReportButtons.begin(), kReportButtons.end(), controlId);
        report != kReportButtons.end()) {
        const auto pattern = static_cast<std::uint8_t>(report - kReportButtons.begin());
        change([pattern](Lighting& l, DeviceLink& link) {
            (void)l.writeLightingField(link, model::lighting_offset::kPattern,
                                       std::span(&pattern, 1));
        });
        return true;
    }
    switch (controlId) {
    case kLightOn:
    case kLightOff: {
        const bool on = controlId == kLightOn;
        change([on](Lighting& l, DeviceLink& link) { l.setLightOn(link, on); });
        return true;
    }
    // A switch flips the worker's copy as it stands when its turn comes: the window's may not
    // have the click before yet, and a second click must flip it back.
    case kCyclingToggle:
        change([](Lighting& l, DeviceLink& link) {
            l.setColourCycling(link, !l.panel().colourCycling);
        });
        return true;
    case kMode7Toggle:
        change([](Lighting& l, DeviceLink& link) { l.toggleMode7Cycling(link); });
        return true;
    case kTwoWayFirst:
    case kTwoWaySecond: {
        const bool second = controlId == kTwoWaySecond;
        change([second](Lighting& l, DeviceLink& link) { l.setTwoWaySwitch(link, second); });
        return true;
    }
    case kSecondColourToggle:
        change([](Lighting& l, DeviceLink& link) {
            l.setSecondColourOn(link, !l.panel().secondColourOn);
        });
        return true;
    case kThirdColourToggle:
        change([](Lighting& l, DeviceLink& link) {
            l.setThirdColourOn(link, !l.panel().thirdColourOn);
        });
        return true;
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
}

void LightingPanel::sliderMoved(int sliderId) {
    const auto* slider = qobject_cast<widgets::SkinSlider*>(control(sliderId));
    if (slider == nullptr) {
        return;
    }
    const int position = slider->position();
    const bool brightness = sliderId == kBrightnessSlider;
    ++sliderStepsInFlight_;
    parts_.keyboard.changeLighting(
        [position, brightness](model::Lighting& l, device::DeviceLink& link) {
            (void)(brightness ? l.setBrightness(link, position)
                              : l.setSpeedPosition(link, position));
        },
        {this, [this](bool) {
             --sliderStepsInFlight_;
             showSliders();
         }});
}

void LightingPanel::chooseModeItem(int item) {
    const auto mode = lighting().supportedModes().modeAt(static_cast<std::size_t>(item));
    if (!mode) {
        return;
    }
    const std::uint8_t chosen = *mode;
    change([chosen](model::Lighting& l, device::DeviceLink& link) { l.chooseMode(link, chosen); });
    preview_.modeChosen();
}

void LightingPanel::commitColourBoxes() {
    std::array<std::uint8_t, 3> rgb{};
    for (std::size_t i = 0; i < rgb.size(); ++i) {
        rgb[i] = static_cast<std::uint8_t>(std::clamp(colourBoxes_[i]->text().toInt(), 0, 255));
    }
    const ColourRef colour = model::colourRef(rgb[0], rgb[1], rgb[2]);
    // Compared with the worker's copy: the window's may not have a change in flight yet.
    change([colour](model::Lighting& l, device::DeviceLink& link) {
        if (colour != l.panel().colour) {
            l.chooseColour(link, colour);
        }
    });
}

void LightingPanel::pickColour(int controlId) {
    const model::LightingPanelState& state = lighting().panel();
    ColourRef current = state.colour;
    if (controlId == kPageZeroColourButton) {
        current = lighting().blocks()[0].colour();
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
    const ColourRef colour = *chosen;
    using device::DeviceLink;
    using model::Lighting;
    switch (controlId) {
    case kPageZeroColourButton:
        change(
            [colour](Lighting& l, DeviceLink& link) { l.chooseExtraButtonColour(link, colour); });
        break;
    case kSecondColour:
        change([colour](Lighting& l, DeviceLink& link) { l.chooseSecondColour(link, colour); });
        break;
    case kThirdColour:
        change([colour](Lighting& l, DeviceLink& link) { l.chooseThirdColour(link, colour); });
        break;
    case kToolColour:
        tools_.colour = colour;
        saveTools();
        break;
    case kToolSecondColour:
        tools_.toolColour = colour;
        saveTools();
        break;
    default:
        change([colour](Lighting& l, DeviceLink& link) { l.chooseColour(link, colour); });
        break;
    }
}

// ---- the per-key view ----

void LightingPanel::togglePerKeyView() {
    if (perKeyView_) {
        leavePerKeyView();
        return;
    }
    if (!parts_.reselectProfile) {
        enterPerKeyView();
        return;
    }
    // A second click while the keyboard re-selects would re-select it twice.
    if (reselecting_) {
        return;
    }
    reselecting_ = true;
    parts_.reselectProfile([this](bool reselected) {
        reselecting_ = false;
        if (reselected) {
            enterPerKeyView();
        }
    });
}

void LightingPanel::enterPerKeyView() {
    showPerKeyView(true);
    loadUserModeNames();
    sendUserMode();
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
    files().writePerKeyViewSwitch(on);
    perKeyView_ = on;
    lightLayer_->setVisible(on);
    perKeyToggle_->setOn(on);
    showFields();
}

void LightingPanel::loadUserModeNames() {
    userPage_ = lighting().currentPage();
    presentUserMode_ = files().readPresentMode(userPage_);
    const QSignalBlocker block(userModeChooser_);
    userModeChooser_->clear();
    for (int mode = 0; mode < kUserModeCount; ++mode) {
        userModeChooser_->addItem(QString::fromStdString(files().readModeName(userPage_, mode)));
    }
    userModeChooser_->setCurrentIndex(presentUserMode_ < kUserModeCount ? presentUserMode_ : -1);
}

void LightingPanel::chooseUserMode(int item) {
    if (item < 0 || item >= kUserModeCount) {
        return;
    }
    files().writePresentMode(userPage_, item);
    presentUserMode_ = item;
    sendUserMode();
}

// The present user mode's tools, and its colours to the keyboard; the key picture shows them
// once the lighting comes back.
void LightingPanel::sendUserMode() {
    const int page = userPage_;
    tools_ = files().readModeTools(page, files().readPresentMode(page));
    showTools();
    change([page, &files = files()](model::Lighting& l, device::DeviceLink& link) {
        files.fillUserModeColours(page, l);
        (void)l.writeKeyColours(link, page);
    });
}

void LightingPanel::renameUserMode(int item, const QString& name) {
    if (item >= 0 && item < kUserModeCount) {
        files().writeModeName(userPage_, item, name.toStdString());
    }
}

void LightingPanel::saveTools() {
    files().writeModeTools(userPage_, presentUserMode_, tools_);
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
    change([position, colour](model::Lighting& l, device::DeviceLink& link) {
        (void)l.setKeyColour(link, position, colour);
    });
    files().writeKeyColour(userPage_, presentUserMode_, position, {colour, true});
    setKeyLight(*button, colour);
    return true;
}

// ---- the key picture ----

void LightingPanel::previewTick() {
    if (!perKeyView_) {
        return;
    }
    if (!preview_.tick(lighting().panel(), true, frame_)) {
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
    const model::KeyColourPage& colours = lighting().currentKeyColours();
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
