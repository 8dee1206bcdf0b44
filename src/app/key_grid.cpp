#include "app/key_grid.h"

#include "app/main_window_buttons.h"
#include "editors/key_assignment_dialog.h"
#include "model/key_codes.h"
#include "skin/image_button.h"
#include "skin/skin_layout.h"
#include "skin/skinned_dialog.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

namespace velkan::app {

namespace {

// F1 to F4, usable only without Flip. (The group Flip makes usable instead has no key in
// either model's picture.)
constexpr std::array<model::KeyButton, 4> kFlipFreeKeys{{{1010}, {1011}, {1012}, {1013}}};

} // namespace

KeyGrid::KeyGrid(skin::SkinnedDialog& window, const lang::TextLookup& texts)
    : QObject(&window), window_(window), texts_(texts) {
    const auto& gKeys = model::GKeyButtons();
    for (std::size_t g = 0; g < gKeys.size(); ++g) {
        const int place = static_cast<int>(g);
        keys_.push_back({gKeys[g], addButton(gKeys[g], "FUNC_G" + std::to_string(g + 1)),
                         model::shownExtraKeyIndex(place)});
    }
    for (const model::KeyPosition& position : model::KeyPositionList()) {
        const model::KeyIndex index = model::keyIndexFromCode(position.code);
        char skinKey[16];
        std::snprintf(skinKey, sizeof skinKey, "KEY_%03X", unsigned{index});
        keys_.push_back({position.button, addButton(position.button, skinKey), index});
    }
    fnKey_ = addButton(model::kFnKey, "KEY_FN");
    const QPixmap lightOff = skin::skinPicture(window_.iniFolder() / "main_color0.jpg");
    const QPixmap lightOn = skin::skinPicture(window_.iniFolder() / "main_color1.jpg");
    for (const Key& key : keys_) {
        key.widget->setAlternatePair(lightOff, lightOn);
    }
}

skin::ImageButton* KeyGrid::addButton(model::KeyButton key, const std::string& skinKey) {
    skin::ImageButton* button = placeMainButton(window_, skinKey);
    // Tests and accessibility tools find a key by its place in the skin.
    button->setObjectName(QString::fromStdString(skinKey));
    connect(button, &QAbstractButton::clicked, this, [this, key] { emit keyClicked(key); });
    return button;
}

const KeyGrid::Key* KeyGrid::find(model::KeyButton button) const {
    const auto found = std::find_if(keys_.begin(), keys_.end(),
                                    [button](const Key& key) { return key.button == button; });
    return found == keys_.end() ? nullptr : &*found;
}

KeyGrid::Key* KeyGrid::find(model::KeyButton button) {
    return const_cast<Key*>(std::as_const(*this).find(button));
}

std::optional<editors::SelectedKey> KeyGrid::keyOf(model::KeyButton button) const {
    if (const Key* key = find(button)) {
        return editors::SelectedKey{key->index, button};
    }
    return std::nullopt;
}

bool KeyGrid::isGKey(model::KeyButton button) const {
    const auto& gKeys = model::GKeyButtons();
    return std::find(gKeys.begin(), gKeys.end(), button) != gKeys.end();
}

skin::ImageButton* KeyGrid::button(model::KeyButton button) const {
    if (const Key* key = find(button)) {
        return key->widget;
    }
    return button == model::kFnKey ? fnKey_ : nullptr;
}

QRect KeyGrid::screenRect(model::KeyButton button) const {
    const QWidget* key = this->button(button);
    return key ? QRect(key->mapToGlobal(QPoint()), key->size()) : QRect();
}

void KeyGrid::showAssignments(const model::KeyModel& keys, int profile) {
    const int shown = std::clamp(profile, 0, model::kProfileCount - 1);
    for (const Key& key : keys_) {
        const model::KeyAssignment& record = keys.image.record(shown, key.index);
        key.widget->setSelectedLook(record.type != 0);
        key.widget->setToolTipText(QString::fromStdString(
            editors::keyButtonToolTip(key.index, record, keys.macros, texts_)));
    }
}

void KeyGrid::setColourMode(bool on) {
    colourMode_ = on;
    for (const Key& key : keys_) {
        draw(key);
    }
}

bool KeyGrid::toggleLightFlag(model::KeyButton button) {
    Key* key = find(button);
    if (key == nullptr) {
        return false;
    }
    key->lightFlag = !key->lightFlag;
    draw(*key);
    return true;
}

bool KeyGrid::lightFlag(model::KeyButton button) const {
    const Key* key = find(button);
    return key != nullptr && key->lightFlag;
}

void KeyGrid::draw(const Key& key) const {
    key.widget->setAlternateMode(colourMode_, key.lightFlag);
}

void KeyGrid::setFlip(bool flip) {
    for (const model::KeyButton flipFree : kFlipFreeKeys) {
        if (QWidget* key = button(flipFree)) {
            key->setEnabled(!flip);
        }
    }
}

} // namespace velkan::app
