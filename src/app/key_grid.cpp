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

namespace velkan::app {

namespace {

// Two keys a skin may place beside the standard ones; they have no place in the key image.
constexpr std::array<int, 2> kFurtherKeys = {1199, 1200};
// The two optional key groups of Flip: usable without it, and usable with it.
constexpr int kFirstFlipFree = 1010;
constexpr int kFlipFreeCount = 4;
constexpr int kFirstFlipBound = 1016;
constexpr int kFlipBoundCount = 6;

} // namespace

KeyGrid::KeyGrid(skin::SkinnedDialog& window, const lang::TextLookup& texts)
    : QObject(&window), window_(window), texts_(texts) {
    const auto& gKeys = model::ExtraKeyControlIds();
    for (std::size_t g = 0; g < gKeys.size(); ++g) {
        const int place = static_cast<int>(g);
        keys_.push_back({gKeys[g], addButton(gKeys[g], "FUNC_G" + std::to_string(g + 1)),
                         model::shownExtraKeyIndex(place)});
    }
    for (const model::KeyPosition& position : model::KeyPositionList()) {
        const model::KeyIndex index = model::keyIndexFromCode(position.code);
        char skinKey[16];
        std::snprintf(skinKey, sizeof skinKey, "KEY_%03X", unsigned{index});
        keys_.push_back({position.controlId, addButton(position.controlId, skinKey), index});
    }
    otherKeys_.emplace_back(kFnKey, addButton(kFnKey, "KEY_FN"));
    for (const int further : kFurtherKeys) {
        otherKeys_.emplace_back(further, addButton(further, ""));
    }
    const QPixmap lightOff = skin::skinPicture(window_.iniFolder() / "main_color0.jpg");
    const QPixmap lightOn = skin::skinPicture(window_.iniFolder() / "main_color1.jpg");
    for (const Key& key : keys_) {
        key.widget->setAlternatePair(lightOff, lightOn);
    }
}

skin::ImageButton* KeyGrid::addButton(int keyButton, const std::string& skinKey) {
    skin::ImageButton* button = placeMainButton(window_, skinKey);
    // Tests and accessibility tools find a key by its place in the skin.
    button->setObjectName(
        QString::fromStdString(skinKey.empty() ? "KEY_" + std::to_string(keyButton) : skinKey));
    connect(button, &QAbstractButton::clicked, this,
            [this, keyButton] { emit keyClicked(keyButton); });
    return button;
}

const KeyGrid::Key* KeyGrid::find(int keyButton) const {
    const auto found = std::find_if(keys_.begin(), keys_.end(), [keyButton](const Key& key) {
        return key.button == keyButton;
    });
    return found == keys_.end() ? nullptr : &*found;
}

std::optional<editors::SelectedKey> KeyGrid::keyOf(int keyButton) const {
    if (const Key* key = find(keyButton)) {
        return editors::SelectedKey{key->index, keyButton};
    }
    return std::nullopt;
}

bool KeyGrid::isGKey(int keyButton) const {
    const auto& gKeys = model::ExtraKeyControlIds();
    return std::find(gKeys.begin(), gKeys.end(), keyButton) != gKeys.end();
}

skin::ImageButton* KeyGrid::button(int keyButton) const {
    if (const Key* key = find(keyButton)) {
        return key->widget;
    }
    for (const auto& [id, widget] : otherKeys_) {
        if (id == keyButton) {
            return widget;
        }
    }
    return nullptr;
}

QRect KeyGrid::screenRect(int keyButton) const {
    const QWidget* key = button(keyButton);
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

bool KeyGrid::toggleLightFlag(int keyButton) {
    const auto found = std::find_if(keys_.begin(), keys_.end(), [keyButton](const Key& key) {
        return key.button == keyButton;
    });
    if (found == keys_.end()) {
        return false;
    }
    found->lightFlag = !found->lightFlag;
    draw(*found);
    return true;
}

bool KeyGrid::lightFlag(int keyButton) const {
    const Key* key = find(keyButton);
    return key != nullptr && key->lightFlag;
}

void KeyGrid::draw(const Key& key) const {
    key.widget->setAlternateMode(colourMode_, key.lightFlag);
}

void KeyGrid::setFlip(bool flip) {
    for (int id = kFirstFlipFree; id < kFirstFlipFree + kFlipFreeCount; ++id) {
        if (QWidget* key = button(id)) {
            key->setEnabled(!flip);
        }
    }
    for (int id = kFirstFlipBound; id < kFirstFlipBound + kFlipBoundCount; ++id) {
        if (QWidget* key = button(id)) {
            key->setEnabled(flip);
        }
    }
}

} // namespace velkan::app
