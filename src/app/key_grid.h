// The keyboard as the main window shows it: one skinned button per key (the nine G keys, the
// 106 standard positions, Fn and the two keys the skin may add), their looks in function mode
// (marked when assigned, the assignment as tooltip) and in colour mode (the light flag of each
// key). A key is named by its button number, the one the key tables of the model use; which key
// of the key image a button edits is worked out here only.
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
    // The Fn key: never assigned, only painted in the per-key view.
    static constexpr int kFnKey = 1174;
    // The last G key, which opens the macro page only.
    static constexpr int kMacroKey = 1143;

    // Builds and places the buttons on `window` from its skin file.
    KeyGrid(skin::SkinnedDialog& window, const lang::TextLookup& texts);

    // The key a button edits; nothing for Fn and the keys without a place in the key image.
    std::optional<editors::SelectedKey> keyOf(int keyButton) const;
    bool isGKey(int keyButton) const;
    skin::ImageButton* button(int keyButton) const;
    // The button's rectangle on the screen; empty for an unknown button.
    QRect screenRect(int keyButton) const;

    // Function mode: every key's mark and tooltip from `profile` of the model.
    void showAssignments(const model::KeyModel& keys, int profile);
    // Colour mode shows the light flags instead of the key pictures.
    void setColourMode(bool on);
    bool colourMode() const { return colourMode_; }
    // Flips a key's light flag; false for a button without one.
    bool toggleLightFlag(int keyButton);
    bool lightFlag(int keyButton) const;
    // Flip: which of the two optional key groups the skin shows is usable.
    void setFlip(bool flip);

signals:
    void keyClicked(int keyButton);

private:
    struct Key {
        int button;
        skin::ImageButton* widget;
        model::KeyIndex index;
        bool lightFlag = false;
    };

    skin::ImageButton* addButton(int keyButton, const std::string& skinKey);
    const Key* find(int keyButton) const;
    void draw(const Key& key) const;

    skin::SkinnedDialog& window_;
    const lang::TextLookup& texts_;
    std::vector<Key> keys_; // the G keys, then the standard positions
    std::vector<std::pair<int, skin::ImageButton*>> otherKeys_; // Fn and the further keys
    bool colourMode_ = false;
};

} // namespace velkan::app
