// Message boxes and file dialogs, as the layers below the windows ask for them. The program
// shows them with Qt; tests record every request and give planned answers.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace velkan::lang {

// An open or save dialog. `filter` pairs a description with a pattern, each followed by '|',
// the list ending in "||": "(*.fwc)|*.fwc|(*.*)|*.*||".
struct FileDialogRequest {
    bool save = false;
    std::string defaultExtension; // added to a typed name that has none
    std::string initialName;
    std::string filter;
    std::filesystem::path folder; // empty: wherever the dialog last was
    bool confirmOverwrite = false;
};

class Prompts {
public:
    virtual ~Prompts() = default;
    // A message with an OK button; `topMost` keeps it above every other window.
    virtual void message(std::string_view text, bool topMost = false) = 0;
    // A Yes/No question whose default button is No; true for Yes.
    virtual bool askYesNo(std::string_view text) = 0;
    // A Yes/No/Cancel question whose default button is Cancel; nothing for Cancel.
    virtual std::optional<bool> askYesNoCancel(std::string_view text) = 0;
    // The chosen file; nullopt when the user cancels. Where no dialog can be shown, nothing
    // is chosen.
    virtual std::optional<std::filesystem::path> chooseFile(const FileDialogRequest&) {
        return std::nullopt;
    }
};

} // namespace velkan::lang
