// The keyboard as the main window shows it: one skinned button per key (the nine G keys, the
// 106 standard positions and Fn), their looks in function mode
// (marked when assigned, the assignment as tooltip) and in colour mode (the light flag of each
// key). Which record of the key image a key edits is worked out here only.
#pragma once

#include "editors/key_editor.h"
#include "lang/text_lookup.h"
#include "model/key_assignment.h"

#include <QObject>
#include <QRect>
#include <filesystem>
#include <optional>
#include <vector>

namespace velkan::skin {
class ImageButton;
class SkinnedDialog;
} // namespace velkan::skin

namespace velkan::app {

class KeyGrid : public QObject {
    Q_OBJECT

public:
    // Builds and places the buttons on `window` from its skin file.
    KeyGrid(skin::SkinnedDialog& window, const lang::TextLookup& texts);

    // The key a button edits; nothing for Fn and the keys without a place in the key image.
    std::optional<editors::SelectedKey> keyOf(model::KeyButton key) const;
    bool isGKey(model::KeyButton key) const;
    skin::ImageButton* button(model::KeyButton key) const;
    // The button's rectangle on the screen; empty for an unknown key.
    QRect screenRect(model::KeyButton key) const;

    // Function mode: every key's mark and tooltip from `profile` of the model.
    void showAssignments(const model::KeyModel& keys, int profile);
    // Colour mode shows the light flags instead of the key pictures.
    void setColourMode(bool on);
    bool colourMode() const { return colourMode_; }
    // Flips a key's light flag; false for a button without one.
    bool toggleLightFlag(model::KeyButton key);
    bool lightFlag(model::KeyButton key) const;
    // Flip: F1 to F4 are usable only without it.
    void setFlip(bool flip);

signals:
    void keyClicked(velkan::model::KeyButton key);

private:
    struct Key {
        model::KeyButton button;
        skin::ImageButton* widget;
        model::KeyIndex index;
        bool lightFlag = false;
    };

    skin::ImageButton* addButton(model::KeyButton key, const std::string& skinKey);
    Key* find(model::KeyButton key);
    const Key* find(model::KeyButton key) const;
    void draw(const Key& key) const;

    skin::SkinnedDialog& window_;
    const lang::TextLookup& texts_;
    std::vector<Key> keys_; // the G keys, then the standard positions
    skin::ImageButton* fnKey_ = nullptr;
    bool colourMode_ = false;
};

} // namespace velkan::app
