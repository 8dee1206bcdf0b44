// The per-key view of the lighting panel: the key picture with each key's light and the
// lighting's preview on it, the user's named colour modes of the page, and the two painting
// tools with their colours. Its switch turns it on, once the keyboard's profile is re-selected.
#pragma once

#include "model/lighting.h"
#include "model/lighting_preview.h"
#include "storage/colour_files.h"

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace velkan::widgets {
class ColourStatic;
class SkinCombo;
} // namespace velkan::widgets

namespace velkan::app {

class KeyGrid;
class KeyLightLayer;
class LightingControls;
class LightToggle;

class PerKeyView final : public QObject {
    Q_OBJECT

public:
    struct Hooks {
        // Re-selects the keyboard's active profile; false when that is refused.
        std::function<void(std::function<void(bool reselected)> then)> reselectProfile;
        // The view went off: the key buttons go back to showing their assignments.
        std::function<void()> keyGridChanged;
    };

    // `toggle` is the view's switch, placed with the effect controls.
    PerKeyView(LightingControls& controls, LightToggle& toggle, const KeyGrid& keys, Hooks hooks);

    bool on() const { return on_; }
    void leave();
    bool paintKey(model::KeyButton key);
    void previewTick();
    std::optional<model::ColourRef> keyLight(model::KeyButton key) const;
    // The preview starts the chosen effect from its beginning.
    void modeChosen() { preview_.modeChosen(); }

    // The lighting copy changed: the view follows the switch in the settings file and the page.
    void refresh();
    void reloadTexts();

signals:
    // The view went on or off.
    void switched();

private:
    void createTools();
    void createUserModeChooser();
    void toggleView();
    void enter();
    void showView(bool on);
    void loadUserModeNames();
    void chooseUserMode(int item);
    void renameUserMode(int item, const QString& name);
    void sendUserMode();
    void pickToolColour(model::ColourRef storage::ModeTools::*colour);
    void chooseTool(bool second);
    void saveTools();
    void showTools();
    void showKeyColours();
    void clearKeyLights();

    LightingControls& controls_;
    LightToggle& toggle_;
    Hooks hooks_;
    widgets::ColourStatic* toolColourButton_ = nullptr;
    widgets::ColourStatic* toolSecondColourButton_ = nullptr;
    LightToggle* firstToolToggle_ = nullptr;
    LightToggle* secondToolToggle_ = nullptr;
    widgets::SkinCombo* userModeChooser_ = nullptr;
    KeyLightLayer* lightLayer_ = nullptr;
    model::LightingPreview preview_;
    model::PreviewFrame frame_{};

    bool on_ = false;
    // The view waits for the keyboard's profile to be re-selected.
    bool reselecting_ = false;
    int userPage_ = -1; // the page whose user modes the view shows
    int presentUserMode_ = 0;
    storage::ModeTools tools_;
};

} // namespace velkan::app
