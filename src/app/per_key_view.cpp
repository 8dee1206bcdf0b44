#include "app/per_key_view.h"

#include "app/key_light_layer.h"
#include "app/light_toggle.h"
#include "app/lighting_colours.h"
#include "app/lighting_controls.h"
#include "model/key_codes.h"
#include "model/lighting_fields.h"
#include "skin/skin_layout.h"
#include "skin/skinned_dialog.h"
#include "widgets/colour_static.h"
#include "widgets/skin_combo.h"

#include <QSignalBlocker>
#include <algorithm>

namespace velkan::app {

namespace {

using model::ColourRef;

namespace field = model::lighting_field;

constexpr int kUserModeCount = 3;
// Frames list the extra keys first; they light through one shared position and never paint.
constexpr std::size_t kFirstStandardButton = 9;
constexpr std::size_t kFnButton = model::kPreviewButtonCount - 1;

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

std::optional<std::size_t> previewButtonOf(model::KeyButton key) {
    const auto& keys = model::previewButtons();
    const auto found = std::find(keys.begin(), keys.end(), key);
    if (found == keys.end()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(found - keys.begin());
}

} // namespace

PerKeyView::PerKeyView(LightingControls& controls, LightToggle& toggle, const KeyGrid& keys,
                       Hooks hooks)
    : controls_(controls), toggle_(toggle), hooks_(std::move(hooks)) {
    connect(&toggle_, &QAbstractButton::clicked, this, [this] { toggleView(); });
    createTools();
    createUserModeChooser();
    skin::SkinnedDialog& window = controls_.window();
    lightLayer_ =
        new KeyLightLayer(window, skin::skinPicture(window.iniFolder() / "main_normal.jpg"), keys);
}

void PerKeyView::createTools() {
    controls_.addLabel("CONTROL_USERysStatic", field::kUserTools);
    toolColourButton_ =
        controls_.addSwatch("CONTROL_USERysButton", "toolColourButton", field::kUserTools);
    connect(toolColourButton_, &widgets::ColourStatic::clicked, this,
            [this] { pickToolColour(&storage::ModeTools::colour); });
    controls_.addLabel("CONTROL_USERjsStatic", field::kUserTools);
    toolSecondColourButton_ =
        controls_.addSwatch("CONTROL_USERjsButton", "toolSecondColourButton", field::kUserTools);
    connect(toolSecondColourButton_, &widgets::ColourStatic::clicked, this,
            [this] { pickToolColour(&storage::ModeTools::toolColour); });
    controls_.addLabel("CONTROL_USERgjStatic", field::kUserTools);
    firstToolToggle_ = controls_.addToggle(LightToggle::Face::swatch, "CONTROL_USERgjStaPic1",
                                           "firstToolToggle", field::kUserTools);
    connect(firstToolToggle_, &QAbstractButton::clicked, this, [this] { chooseTool(false); });
    secondToolToggle_ = controls_.addToggle(LightToggle::Face::swatch, "CONTROL_USERgjStaPic2",
                                            "secondToolToggle", field::kUserTools);
    connect(secondToolToggle_, &QAbstractButton::clicked, this, [this] { chooseTool(true); });
}

void PerKeyView::createUserModeChooser() {
    skin::SkinnedDialog& window = controls_.window();
    userModeChooser_ = new widgets::SkinCombo(widgets::ComboKind::Editable, &window);
    skin::placeControl(*userModeChooser_, window.iniPath(), skin::kButtonSection,
                       "CONTROL_umCombo");
    userModeChooser_->setObjectName(QStringLiteral("userModeChooser"));
    connect(userModeChooser_, &QComboBox::activated, this,
            [this](int item) { chooseUserMode(item); });
    connect(userModeChooser_, &widgets::SkinCombo::editCommitted, this,
            [this](int item, const QString& name) { renameUserMode(item, name); });
    controls_.manage(*userModeChooser_, field::kUserTools);
}

void PerKeyView::reloadTexts() {
    toggle_.setText(QString::fromStdString(controls_.texts().lightText("Deng")));
    controls_.setToolTip(toggle_, lang::textKey("LIGHT_PER_KEY_PROMPT"));
}

// ---- on and off ----

void PerKeyView::toggleView() {
    if (on_) {
        leave();
        return;
    }
    if (!hooks_.reselectProfile) {
        enter();
        return;
    }
    // A second click while the keyboard re-selects would re-select it twice.
    if (reselecting_) {
        return;
    }
    reselecting_ = true;
    hooks_.reselectProfile([this](bool reselected) {
        reselecting_ = false;
        if (reselected) {
            enter();
        }
    });
}

void PerKeyView::enter() {
    showView(true);
    loadUserModeNames();
    sendUserMode();
}

void PerKeyView::leave() {
    if (!on_) {
        return;
    }
    showView(false);
    clearKeyLights();
    if (hooks_.keyGridChanged) {
        hooks_.keyGridChanged();
    }
}

void PerKeyView::showView(bool on) {
    controls_.files().writePerKeyViewSwitch(on);
    on_ = on;
    lightLayer_->setVisible(on);
    toggle_.setOn(on);
    emit switched();
}

void PerKeyView::refresh() {
    const model::Lighting& lighting = controls_.lighting();
    const storage::ColourFiles& files = controls_.files();
    const int page = lighting.currentPage();
    const bool viewSwitch = files.readPerKeyViewSwitch();
    if (viewSwitch != on_ || (on_ && page != userPage_)) {
        // The switch is read with the lighting; the page's colours come from its file, which
        // the keyboard was given when it arrived.
        on_ = viewSwitch;
        lightLayer_->setVisible(on_);
        if (on_) {
            loadUserModeNames();
            tools_ = files.readModeTools(page, presentUserMode_);
            controls_.change([page, &files](model::Lighting& l, device::DeviceLink&) {
                files.fillUserModeColours(page, l);
            });
        } else {
            clearKeyLights();
        }
    }
    if (on_ && lighting.panel().mode == model::kPerKeyColourMode) {
        showKeyColours();
    }
    toggle_.setOn(on_);
    showTools();
}

// ---- the user's colour modes and tools ----

void PerKeyView::loadUserModeNames() {
    const storage::ColourFiles& files = controls_.files();
    userPage_ = controls_.lighting().currentPage();
    presentUserMode_ = files.readPresentMode(userPage_);
    const QSignalBlocker block(userModeChooser_);
    userModeChooser_->clear();
    for (int mode = 0; mode < kUserModeCount; ++mode) {
        userModeChooser_->addItem(QString::fromStdString(files.readModeName(userPage_, mode)));
    }
    userModeChooser_->setCurrentIndex(presentUserMode_ < kUserModeCount ? presentUserMode_ : -1);
}

void PerKeyView::chooseUserMode(int item) {
    if (item < 0 || item >= kUserModeCount) {
        return;
    }
    controls_.files().writePresentMode(userPage_, item);
    presentUserMode_ = item;
    sendUserMode();
}

// The present user mode's tools, and its colours to the keyboard; the key picture shows them
// once the lighting comes back.
void PerKeyView::sendUserMode() {
    const storage::ColourFiles& files = controls_.files();
    const int page = userPage_;
    tools_ = files.readModeTools(page, files.readPresentMode(page));
    showTools();
    controls_.change([page, &files](model::Lighting& l, device::DeviceLink& link) {
        files.fillUserModeColours(page, l);
        (void)l.writeKeyColours(link, page);
    });
}

void PerKeyView::renameUserMode(int item, const QString& name) {
    if (item >= 0 && item < kUserModeCount) {
        controls_.files().writeModeName(userPage_, item, name.toStdString());
    }
}

void PerKeyView::pickToolColour(ColourRef storage::ModeTools::*colour) {
    if (const std::optional<ColourRef> chosen = controls_.chooseColour(tools_.*colour)) {
        tools_.*colour = *chosen;
        saveTools();
    }
}

void PerKeyView::chooseTool(bool second) {
    tools_.tool = second;
    saveTools();
}

void PerKeyView::saveTools() {
    controls_.files().writeModeTools(userPage_, presentUserMode_, tools_);
    showTools();
}

void PerKeyView::showTools() {
    toolColourButton_->setColour(toQColor(tools_.colour));
    toolSecondColourButton_->setColour(toQColor(tools_.toolColour));
    firstToolToggle_->setSwatch(tools_.colour);
    firstToolToggle_->setOn(!tools_.tool);
    secondToolToggle_->setSwatch(tools_.toolColour);
    secondToolToggle_->setOn(tools_.tool);
}

// ---- the key picture ----

bool PerKeyView::paintKey(model::KeyButton key) {
    if (!on_) {
        return false;
    }
    const std::optional<std::size_t> button = previewButtonOf(key);
    if (!button || *button < kFirstStandardButton) {
        return false;
    }
    const int position = colourPositionOfButton(*button);
    const ColourRef colour = tools_.tool ? tools_.toolColour : tools_.colour;
    controls_.change([position, colour](model::Lighting& l, device::DeviceLink& link) {
        (void)l.setKeyColour(link, position, colour);
    });
    controls_.files().writeKeyColour(userPage_, presentUserMode_, position, {colour, true});
    lightLayer_->setLight(*button, colour);
    return true;
}

void PerKeyView::previewTick() {
    if (!on_) {
        return;
    }
    if (!preview_.tick(controls_.lighting().panel(), true, frame_)) {
        return;
    }
    for (std::size_t i = 0; i < frame_.size(); ++i) {
        switch (frame_[i].look) {
        case model::PreviewLook::keep:
            break;
        case model::PreviewLook::colour:
            lightLayer_->setLight(i, frame_[i].colour);
            break;
        case model::PreviewLook::darkUnmarked:
            // The layer shows every key without its mark.
            lightLayer_->setLight(i, ColourRef{0});
            break;
        }
    }
}

void PerKeyView::showKeyColours() {
    const model::KeyColourPage& colours = controls_.lighting().currentKeyColours();
    for (std::size_t i = 0; i < model::kPreviewButtonCount; ++i) {
        lightLayer_->setLight(i, colours.colourAt(colourPositionOfButton(i)));
    }
}

void PerKeyView::clearKeyLights() {
    for (std::size_t i = 0; i < model::kPreviewButtonCount; ++i) {
        lightLayer_->setLight(i, std::nullopt);
    }
}

std::optional<ColourRef> PerKeyView::keyLight(model::KeyButton key) const {
    const std::optional<std::size_t> button = previewButtonOf(key);
    return button ? lightLayer_->light(*button) : std::nullopt;
}

} // namespace velkan::app
