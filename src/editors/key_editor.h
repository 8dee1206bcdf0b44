// What the main window asks of the key assignment editor, so that the key grid can route its
// clicks before, and independently of, the editor's own window.
#pragma once

#include "model/key_assignment.h"
#include "model/key_codes.h"

namespace velkan::editors {

// The key a click chose: its index in the key image (256 + bank for a G key) and its button.
struct SelectedKey {
    model::KeyIndex keyIndex = 0;
    model::KeyButton button;
};

class KeyEditor {
public:
    virtual ~KeyEditor() = default;
    // Runs the editor modally for `key`; opened from the macro button or the last G key it
    // shows the macro page only.
    virtual void edit(const SelectedKey& key, bool openedForMacro) = 0;
    // How many editor windows are open; profiles are not switched while any is.
    virtual int openCount() const = 0;
    // Closes an open editor as its Cancel button would.
    virtual void cancelIfOpen() = 0;
    // Forwards the language message to an open editor.
    virtual void reloadTexts(int languageIndex) = 0;
};

} // namespace velkan::editors
