#include "app/lighting_panel.h"

#include "app/light_toggle.h"
#include "model/lighting_fields.h"

namespace velkan::app {

namespace field = model::lighting_field;

namespace {

constexpr int kFirstPreviewStepMs = 100;
constexpr int kPreviewStepMs = 50;

} // namespace

LightingPanel::LightingPanel(Parts parts)
    : controls_(parts.window, parts.keyboard, parts.texts), effects_(controls_),
      perKeyToggle_(*controls_.addToggle(LightToggle::Face::check, "CONTROL_UsbStatic",
                                         "perKeyToggle", field::kAlways)),
      colours_(controls_), directions_(controls_),
      perKeyView_(controls_, perKeyToggle_, parts.keys,
                  {std::move(parts.reselectProfile), std::move(parts.keyGridChanged)}) {
    connect(&effects_, &EffectCard::modeChosen, this, [this] { perKeyView_.modeChosen(); });
    connect(&perKeyView_, &PerKeyView::switched, this, [this] { showFields(); });
    reloadTexts();
    refresh();
    // Re-armed after each step, so a slow step never queues another behind it.
    previewTimer_.setSingleShot(true);
    connect(&previewTimer_, &QTimer::timeout, this, [this] {
        previewTick();
        previewTimer_.start(kPreviewStepMs);
    });
    previewTimer_.start(kFirstPreviewStepMs);
}

LightingPanel::~LightingPanel() = default;

void LightingPanel::refresh() {
    effects_.refresh();
    perKeyView_.refresh();
    colours_.refresh();
    directions_.refresh();
    showFields();
}

void LightingPanel::reloadTexts() {
    controls_.reloadCaptions();
    effects_.reloadTexts();
    colours_.reloadTexts();
    directions_.reloadTexts();
    perKeyView_.reloadTexts();
}

void LightingPanel::showFields() {
    unsigned fields = model::visibleFields(controls_.lighting().panel().mode);
    if (perKeyView_.on()) {
        fields = (fields & ~field::kColourGroups) | field::kUserTools;
    }
    controls_.showFields(fields);
    colours_.showNote(fields, perKeyView_.on());
}

} // namespace velkan::app
