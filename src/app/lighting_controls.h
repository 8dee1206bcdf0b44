// What the cards of the lighting panel share: the main window their controls stand on, where
// its skin file places each of them, which of them the mode's fields show, their captions in
// the current language, the keyboard every change goes to and the colour dialog.
#pragma once

#include "app/keyboard_controller.h"
#include "app/light_toggle.h"
#include "lang/text_lookup.h"
#include "model/lighting.h"
#include "storage/colour_files.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

class QAbstractButton;
class QLabel;
class QWidget;

namespace velkan::skin {
class SkinnedDialog;
} // namespace velkan::skin

namespace velkan::widgets {
class ColourStatic;
class SkinSlider;
} // namespace velkan::widgets

namespace velkan::app {

class LightingControls final : public QObject {
public:
    // Asks the user for a colour, starting from `current`; nothing when the user cancels.
    using ColourChooser = std::function<std::optional<model::ColourRef>(model::ColourRef current)>;
    // The colour a colour button shows, and the write that sends the one chosen instead.
    using ColourOf = model::ColourRef (*)(const model::Lighting&);
    using ColourWrite = void (model::Lighting::*)(device::DeviceLink&, model::ColourRef);

    LightingControls(skin::SkinnedDialog& window, KeyboardController& keyboard,
                     const lang::TextLookup& texts);

    skin::SkinnedDialog& window() const { return window_; }
    const lang::TextLookup& texts() const { return texts_; }
    const model::Lighting& lighting() const { return keyboard_.lighting(); }
    const storage::ColourFiles& files() const { return keyboard_.colourFiles(); }

    // Every change goes to the keyboard controller, which sends it and hands the lighting back;
    // the controls then show it.
    void change(KeyboardController::LightingChange change) const;
    void change(KeyboardController::LightingChange change,
                KeyboardController::Then<bool> handedBack) const;

    void sendOnClick(QAbstractButton& button, KeyboardController::LightingChange change);
    std::optional<model::ColourRef> chooseColour(model::ColourRef current) const {
        return chooseColour_(current);
    }
    void setColourChooser(ColourChooser chooser) { chooseColour_ = std::move(chooser); }

    // `widget` shows while the mode's fields include any of `fields`.
    void manage(QWidget& widget, unsigned fields);
    // The caption the skin places at `skinKey`.
    void addLabel(const char* skinKey, unsigned fields);
    // A caption right of the control at `skinKey`, for controls the skin gives no caption place.
    void addCaptionBeside(const char* skinKey, const char* lightKey, unsigned fields);
    // A colour of an effect: its caption, the button that shows it and, where it has one, the
    // switch beside it, each where the skin places it.
    struct EffectColour {
        const char* captionKey;
        const char* buttonKey;
        const char* buttonName;
        ColourOf shown;
        ColourWrite write;
        const char* switchKey = nullptr;
        const char* switchName = nullptr;
        LightToggle::Face switchFace = LightToggle::Face::check;
        // What a click on the switch sends.
        void (*flip)(model::Lighting&, device::DeviceLink&) = nullptr;
        unsigned fields = 0;
    };
    struct ColourControls {
        widgets::ColourStatic* button = nullptr;
        LightToggle* toggle = nullptr;
    };
    ColourControls addEffectColour(const EffectColour& colour);
    // Controls placed at `skinKey`, named `name` for tests and accessibility tools.
    widgets::ColourStatic* addSwatch(const char* skinKey, const char* name, unsigned fields);
    LightToggle* addToggle(LightToggle::Face face, const char* skinKey, const char* name,
                           unsigned fields);
    widgets::SkinSlider* addSlider(int positions, const char* skinKey, const char* name,
                                   std::pair<const char*, const char*> trackAndThumb,
                                   unsigned fields);

    void showFields(unsigned fields) const;
    void reloadCaptions() const;
    QString text(std::string_view key) const;
    // For the controls whose picture alone does not say what they do.
    void setToolTip(QWidget& control, std::string_view key) const;

private:
    struct Shown {
        QWidget* widget;
        unsigned fields;
    };

    QLabel* addCaption(const char* lightKey, unsigned fields);
    void pickColour(ColourOf current, ColourWrite write) const;

    skin::SkinnedDialog& window_;
    KeyboardController& keyboard_;
    const lang::TextLookup& texts_;
    ColourChooser chooseColour_;
    std::vector<Shown> shown_;
    std::vector<std::pair<QLabel*, const char*>> captions_;
};

} // namespace velkan::app
