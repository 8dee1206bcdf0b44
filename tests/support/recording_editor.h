// A key editor that records what the main window opens it for, and is open already when asked
// to be.
#pragma once

#include "editors/key_editor.h"

#include <vector>

namespace velkan::test {

class RecordingEditor final : public editors::KeyEditor {
public:
    struct Call {
        model::KeyIndex keyIndex;
        model::KeyButton button;
        bool forMacro;
    };

    explicit RecordingEditor(bool open = false) : open_(open) {}

    void edit(const editors::SelectedKey& key, bool openedForMacro) override {
        calls.push_back({key.keyIndex, key.button, openedForMacro});
    }
    int openCount() const override { return open_ ? 1 : 0; }
    void cancelIfOpen() override {}
    void reloadTexts(int) override {}

    std::vector<Call> calls;

private:
    bool open_;
};

} // namespace velkan::test
