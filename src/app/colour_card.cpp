#include "app/colour_card.h"

#include "app/light_toggle.h"
#include "app/lighting_colours.h"
#include "app/lighting_controls.h"
#include "app/main_window_buttons.h"
#include "model/lighting_fields.h"
#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "skin/skinned_dialog.h"
#include "widgets/colour_static.h"
#include "widgets/skin_look.h"

#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <algorithm>

namespace velkan::app {

namespace {

using model::ColourRef;
using model::Lighting;
using LightingState = model::LightingPanelState;

namespace field = model::lighting_field;

struct Preset {
    const char* skinKey;
    std::uint8_t red, green, blue;
};
constexpr std::array<Preset, 8> kPresets = {{{"CONTROL_Color1", 235, 99, 30},
                                             {"CONTROL_Color2", 255, 0, 0},
                                             {"CONTROL_Color3", 0, 126, 255},
                                             {"CONTROL_Color4", 90, 255, 0},
                                             {"CONTROL_Color5", 234, 255, 0},
                                             {"CONTROL_Color6", 255, 192, 0},
                                             {"CONTROL_Color7", 255, 0, 180},
                                             {"CONTROL_Color8", 174, 0, 255}}};

ColourRef panelColour(const Lighting& lighting) {
    return lighting.panel().colour;
}

} // namespace

ColourCard::ColourCard(LightingControls& controls) : controls_(controls) {
    static_assert(kPresets.size() == kPresetCount);
    createColourBoxes();
    createPresets();
    createNote();
    createEffectColours();
}

void ColourCard::createColourBoxes() {
    controls_.addLabel("CONTROL_RGBStatic", field::kColour);
    const struct {
        const char* skinKey;
        const char* name;
    } boxes[] = {{"COLOR_R", "redBox"}, {"COLOR_G", "greenBox"}, {"COLOR_B", "blueBox"}};
    skin::SkinnedDialog& window = controls_.window();
    for (std::size_t i = 0; i < colourBoxes_.size(); ++i) {
        auto* box = new QLineEdit(&window);
        widgets::applySkinLook(*box);
        box->setValidator(new QIntValidator(0, 999, box));
        box->setAlignment(Qt::AlignCenter);
        skin::placeControl(*box, window.iniPath(), skin::kButtonSection, boxes[i].skinKey);
        box->setObjectName(QString::fromLatin1(boxes[i].name));
        connect(box, &QLineEdit::textChanged, this, [box] {
            if (box->text().toInt() >= 256) {
                box->setText(QStringLiteral("255"));
            }
        });
        connect(box, &QLineEdit::editingFinished, this, [this] { commitColourBoxes(); });
        colourBoxes_[i] = box;
        controls_.manage(*box, field::kColour);
    }
}

void ColourCard::createPresets() {
    for (std::size_t i = 0; i < presets_.size(); ++i) {
        skin::ImageButton* preset = placeMainButton(controls_.window(), kPresets[i].skinKey);
        preset->setObjectName(QStringLiteral("preset%1").arg(i + 1));
        const ColourRef colour =
            model::colourRef(kPresets[i].red, kPresets[i].green, kPresets[i].blue);
        controls_.sendOnClick(*preset, [colour](Lighting& l, device::DeviceLink& link) {
            l.chooseColour(link, colour);
        });
        controls_.manage(*preset, field::kColour);
        presets_[i] = preset;
    }
}

// Where the boxes and presets stand, the modes that use neither say why they are absent.
void ColourCard::createNote() {
    colourNote_ = new QLabel(&controls_.window());
    widgets::applySkinLook(*colourNote_);
    colourNote_->setObjectName(QStringLiteral("colourNote"));
    colourNote_->setWordWrap(true);
    colourNote_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QPalette dim = colourNote_->palette();
    dim.setColor(QPalette::WindowText, QColor(widgets::kSkinDimText));
    colourNote_->setPalette(dim);
    QRect colourRows = colourBoxes_.back()->geometry();
    for (const skin::ImageButton* preset : presets_) {
        colourRows |= preset->geometry();
    }
    const int left = presets_.front()->geometry().left();
    colourNote_->setGeometry(colourRows.adjusted(left - colourRows.left(), 0, 0, 0));
}

// The effect cards share their places; the mode's fields show one of them. A switch flips the
// worker's copy as it stands when its turn comes: the window's may not have the click before
// yet, and a second click must flip it back.
void ColourCard::createEffectColours() {
    using Face = LightToggle::Face;
    using device::DeviceLink;
    const std::pair<LightingControls::ColourControls ColourCard::*, LightingControls::EffectColour>
        colours[] = {
            {&ColourCard::cycling_,
             {.captionKey = "CONTROL_HXysStatic",
              .buttonKey = "CONTROL_HXysButton",
              .buttonName = "colourButton",
              .shown = panelColour,
              .write = &Lighting::chooseColour,
              .switchKey = "CONTROL_HXsjsStaPic",
              .switchName = "cyclingToggle",
              .switchFace = Face::spectrum,
              .flip = [](Lighting& l,
                         DeviceLink& link) { l.setColourCycling(link, !l.panel().colourCycling); },
              .fields = field::kCycling}},
            {&ColourCard::reactive_,
             {.captionKey = "CONTROL_FYYSStatic",
              .buttonKey = "CONTROL_FYYSButton",
              .buttonName = "reactiveColourButton",
              .shown = panelColour,
              .write = &Lighting::chooseColour,
              .switchKey = "CONTROL_FYSJSStaPic",
              .switchName = "reactiveCyclingToggle",
              .switchFace = Face::spectrum,
              .flip = [](Lighting& l, DeviceLink& link) { l.toggleMode7Cycling(link); },
              .fields = field::kReactive}},
            {&ColourCard::steady_,
             {.captionKey = "CONTROL_JTysStatic",
              .buttonKey = "CONTROL_JTysButton",
              .buttonName = "steadyColourButton",
              .shown = [](const Lighting& l) { return l.blocks()[0].colour(); },
              .write = &Lighting::chooseExtraButtonColour,
              .fields = field::kSteady}},
            {&ColourCard::second_,
             {.captionKey = "CONTROL_TSysStatic",
              .buttonKey = "CONTROL_TSysButton",
              .buttonName = "secondColourButton",
              .shown = [](const Lighting& l) { return l.panel().secondColour; },
              .write = &Lighting::chooseSecondColour,
              .switchKey = "CONTROL_TSsjsStaPic",
              .switchName = "secondColourToggle",
              .flip =
                  [](Lighting& l, DeviceLink& link) {
                      l.setSecondColourOn(link, !l.panel().secondColourOn);
                  },
              .fields = field::kSecondColour}},
        };
    for (const auto& [member, colour] : colours) {
        this->*member = controls_.addEffectColour(colour);
    }
}

void ColourCard::commitColourBoxes() {
    std::array<std::uint8_t, 3> rgb{};
    for (std::size_t i = 0; i < rgb.size(); ++i) {
        rgb[i] = static_cast<std::uint8_t>(std::clamp(colourBoxes_[i]->text().toInt(), 0, 255));
    }
    const ColourRef colour = model::colourRef(rgb[0], rgb[1], rgb[2]);
    // Compared with the worker's copy: the window's may not have a change in flight yet.
    controls_.change([colour](Lighting& l, device::DeviceLink& link) {
        if (colour != l.panel().colour) {
            l.chooseColour(link, colour);
        }
    });
}

void ColourCard::refresh() {
    const LightingState& state = controls_.lighting().panel();
    const auto rgb = model::colourBytes(state.colour);
    for (std::size_t i = 0; i < colourBoxes_.size(); ++i) {
        const QSignalBlocker block(colourBoxes_[i]);
        colourBoxes_[i]->setText(QString::number(rgb[i]));
    }
    cycling_.button->setColour(toQColor(state.colour));
    cycling_.toggle->setOn(state.colourCycling);
    reactive_.button->setColour(toQColor(state.colour));
    reactive_.toggle->setOn(state.mode7Switch);
    steady_.button->setColour(toQColor(controls_.lighting().blocks()[0].colour()));
    second_.button->setColour(toQColor(state.secondColour));
    second_.toggle->setOn(state.secondColourOn);
}

void ColourCard::reloadTexts() {
    showNoteText();
    for (const auto& colour : {cycling_, reactive_, steady_, second_}) {
        controls_.setToolTip(*colour.button, lang::textKey("LIGHT_COLOUR_PROMPT"));
    }
    for (LightToggle* toggle : {cycling_.toggle, reactive_.toggle}) {
        controls_.setToolTip(*toggle, lang::textKey("LIGHT_CYCLING_PROMPT"));
    }
    for (skin::ImageButton* preset : presets_) {
        controls_.setToolTip(*preset, lang::textKey("LIGHT_PRESET_PROMPT"));
    }
}

void ColourCard::showNote(unsigned fields, bool perKeyView) {
    const bool noColours = (fields & (field::kColour | field::kColourGroups)) == 0;
    colourNote_->setVisible(noColours && !perKeyView);
    showNoteText();
}

void ColourCard::showNoteText() {
    const bool perKeyMode = controls_.lighting().panel().mode == model::kPerKeyColourMode;
    colourNote_->setText(perKeyMode ? controls_.text("LIGHT_COLOURS_PER_KEY_PROMPT")
                                    : controls_.text("LIGHT_COLOURS_OWN_PROMPT"));
}

} // namespace velkan::app
