// The lighting panel of the main window: the backlight controls of the current lighting page,
// the per-key colour view with its user colour modes and painting tools, and the lighting
// preview that the key picture shows while that view is on. Every control acts on the keyboard
// at once through the lighting copy; nothing here reports a failed write.
//
// The controls are children of the main window and are placed by its skin file. Which of them
// a mode shows follows what the keyboard uses in that mode: speed only for moving effects,
// direction only for effects that travel, colour fields only where a chosen colour applies.
#pragma once

#include "app/keyboard_controller.h"
#include "lang/text_lookup.h"
#include "model/lighting.h"
#include "model/lighting_preview.h"
#include "storage/colour_files.h"

#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QLineEdit;

namespace velkan::skin {
class SkinnedDialog;
class ImageButton;
} // namespace velkan::skin

namespace velkan::widgets {
class ColourStatic;
class SkinCombo;
class SkinSlider;
} // namespace velkan::widgets

namespace velkan::app {

class KeyGrid;
class KeyLightLayer;
class LightToggle;

class LightingPanel : public QObject {
public:
    // Asks the user for a colour, starting from `current`; nothing when the user cancels.
    using ColourChooser = std::function<std::optional<model::ColourRef>(model::ColourRef current)>;

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

    // A click on one of the panel's controls; false for a control id that is not the panel's.
    bool onCommand(int controlId);

    bool perKeyView() const { return perKeyView_; }
    // Leaves the per-key view when it is on, as its toggle would.
    void leavePerKeyView();
    // A click on a key button while the per-key view is on: the key takes the tool's colour.
    // False, with nothing done, outside the view and for buttons that are not painted (the
    // extra keys and keys without a light).
    bool paintKey(int controlId);
    // One step of the preview on the key buttons; nothing while the per-key view is off.
    void previewTick();

    // The panel's control with that id, or nullptr.
    QWidget* control(int controlId) const;
    // The light a key button shows; nothing when it shows its own picture only.
    std::optional<model::ColourRef> keyLight(int controlId) const;
    // Replaces the colour dialog, for tests.
    void setColourChooser(ColourChooser chooser) { chooseColour_ = std::move(chooser); }

private:
    struct Shown {
        QWidget* widget;
        unsigned fields; // shown when the mode's fields include any of these
    };

    void createEffectControls();
    void createColourControls();
    void createPatternControls();
    void createUserControls();
    QLabel* addCaption(const char* lightKey, unsigned fields);
    void addLabel(const char* skinKey, unsigned fields);
    // A caption right of the control at `skinKey`, for controls the skin gives no caption place.
    void addCaptionBeside(const char* skinKey, const char* lightKey, unsigned fields);
    widgets::ColourStatic* addSwatch(int controlId, const char* skinKey, unsigned fields);
    LightToggle* addToggle(int controlId, const char* skinKey, unsigned fields);
    widgets::SkinSlider* addSlider(int controlId, int positions, const char* skinKey,
                                   const char* track, const char* thumb, unsigned fields);
    void manage(QWidget* widget, int controlId, unsigned fields);
    void nameControls();
    void showToolTips();
    skin::ImageButton* addButton(int controlId, const std::string& skinKey);
    void sliderMoved(int sliderId);
    void change(KeyboardController::LightingChange change);
    const model::Lighting& lighting() const { return parts_.keyboard.lighting(); }
    const storage::ColourFiles& files() const { return parts_.keyboard.colourFiles(); }

    QString modeName(std::uint8_t mode) const;
    void chooseModeItem(int item);
    void commitColourBoxes();
    void pickColour(int controlId);
    void togglePerKeyView();
    void enterPerKeyView();
    void showPerKeyView(bool on);
    void sendUserMode();
    void chooseUserMode(int item);
    void renameUserMode(int item, const QString& name);
    void loadUserModeNames();
    void saveTools();

    void showFields();
    void showState();
    void showSliders();
    void showColourNote();
    void showTools();
    void showLightSwitchPictures(std::size_t pair);
    void showKeyColours();
    void clearKeyLights();
    void setKeyLight(std::size_t button, std::optional<model::ColourRef> light);

    Parts parts_;
    ColourChooser chooseColour_;
    model::LightingPreview preview_;
    model::PreviewFrame frame_{};

    std::map<int, QWidget*> controls_;
    std::vector<Shown> shown_;
    std::vector<std::pair<QLabel*, const char*>> captions_;
    widgets::SkinCombo* modeChooser_ = nullptr;
    std::vector<std::uint8_t> listedModes_; // what the mode chooser lists, in its order
    widgets::SkinCombo* userModeChooser_ = nullptr;
    std::array<QLineEdit*, 3> colourBoxes_{};
    QLabel* colourNote_ = nullptr;
    LightToggle* perKeyToggle_ = nullptr;
    // Light on and light off pictures of each mode's pair, and the pair the switch shows.
    std::array<std::array<QPixmap, 2>, 3> lightSwitchPictures_{};
    std::optional<std::size_t> shownLightSwitchPictures_;
    // Slider steps sent to the keyboard whose lighting has not come back yet.
    int sliderStepsInFlight_ = 0;
    // The per-key view waits for the keyboard's profile to be re-selected.
    bool reselecting_ = false;
    QPixmap arrowSheet_;
    // Released and pressed picture origins of the two direction arrows.
    std::array<std::array<QPoint, 2>, 2> arrowOrigins_{};

    std::array<std::optional<model::ColourRef>, model::kPreviewButtonCount> keyLights_{};
    KeyLightLayer* lightLayer_ = nullptr; // shows keyLights_ over the key buttons

    bool perKeyView_ = false;
    int userPage_ = -1; // the page whose user modes the per-key controls show
    int presentUserMode_ = 0;
    storage::ModeTools tools_;
};

} // namespace velkan::app
