// The lighting panel of the main window: the backlight controls of the current lighting page,
// the per-key colour view with its user colour modes and painting tools, and the lighting
// preview that the key picture shows while that view is on. Every control acts on the keyboard
// at once through the lighting copy; nothing here reports a failed write.
//
// The controls are children of the main window and are placed by its skin file. Which of them
// a mode shows follows what the keyboard uses in that mode: speed only for moving effects,
// direction only for effects that travel, colour fields only where a chosen colour applies.
#pragma once

#include "app/colour_card.h"
#include "app/direction_card.h"
#include "app/effect_card.h"
#include "app/keyboard_controller.h"
#include "app/lighting_controls.h"
#include "app/per_key_view.h"
#include "lang/text_lookup.h"
#include "model/lighting.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <optional>

namespace velkan::skin {
class SkinnedDialog;
} // namespace velkan::skin

namespace velkan::app {

class KeyGrid;
class LightToggle;

class LightingPanel : public QObject {
public:
    using ColourChooser = LightingControls::ColourChooser;

    struct Parts {
        // The main window: parent of the controls; its skin file places them.
        skin::SkinnedDialog& window;
        // Every change goes to the keyboard through it; the panel shows its lighting copy.
        KeyboardController& keyboard;
        // The key buttons the per-key view lights and paints.
        const KeyGrid& keys;
        const lang::TextLookup& texts;
        // Re-selects the keyboard's active profile before the per-key view comes on; the
        // answer is false when that is refused (an editor is open, the user keeps unapplied
        // changes).
        std::function<void(std::function<void(bool reselected)> then)> reselectProfile;
        // The per-key view went off: the key buttons go back to showing their assignments.
        std::function<void()> keyGridChanged;
    };

    // Builds and places every control; the key grid must exist already.
    explicit LightingPanel(Parts parts);
    ~LightingPanel() override;
    LightingPanel(const LightingPanel&) = delete;
    LightingPanel& operator=(const LightingPanel&) = delete;

    // The lighting copy was read back or changed: every control shows it again.
    void refresh();
    // The captions and the names of the modes in the current language.
    void reloadTexts();

    bool perKeyView() const { return perKeyView_.on(); }
    // Leaves the per-key view when it is on, as its toggle would.
    void leavePerKeyView() { perKeyView_.leave(); }
    // A click on a key button while the per-key view is on: the key takes the tool's colour.
    // False, with nothing done, outside the view and for buttons that are not painted (the
    // extra keys and keys without a light).
    bool paintKey(model::KeyButton key) { return perKeyView_.paintKey(key); }
    // One step of the preview on the key buttons; nothing while the per-key view is off. The
    // panel's own timer takes a step every 50 ms.
    void previewTick() { perKeyView_.previewTick(); }

    // The light a key button shows; nothing when it shows its own picture only.
    std::optional<model::ColourRef> keyLight(model::KeyButton key) const {
        return perKeyView_.keyLight(key);
    }
    // Replaces the colour dialog, for tests.
    void setColourChooser(ColourChooser chooser) { controls_.setColourChooser(std::move(chooser)); }

private:
    void showFields();

    // The cards are made in this order, which is the order the keyboard focus goes through
    // their controls.
    LightingControls controls_;
    EffectCard effects_;
    // The per-key view's switch stands with the effect controls.
    LightToggle& perKeyToggle_;
    ColourCard colours_;
    DirectionCard directions_;
    PerKeyView perKeyView_;
    QTimer previewTimer_;
};

} // namespace velkan::app
