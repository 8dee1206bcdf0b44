// Texts from a table and message boxes that are recorded, for tests of code that looks up
// language texts and shows prompts.
#pragma once

#include "lang/prompts.h"
#include "lang/text_lookup.h"

#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace velkan::test {

// Every key's text is the key itself in angle brackets unless the table says otherwise, so a
// test sees which key was looked up.
class TableTexts : public lang::TextLookup {
public:
    std::map<std::string, std::string, std::less<>> table;

    std::string lookup(lang::TextSection, std::string_view key) const override {
        if (auto found = table.find(key); found != table.end()) {
            return found->second;
        }
        return "<" + std::string(key) + ">";
    }
};

class RecordingPrompts : public lang::Prompts {
public:
    std::vector<std::string> shown;
    bool answer = false; // what every Yes/No question is answered
    // Runs while a box is up, as a real box runs its own event loop.
    std::function<void()> whileShown;

    void message(std::string_view text, bool) override {
        shown.emplace_back(text);
        if (whileShown) {
            whileShown();
        }
    }
    bool askYesNo(std::string_view text) override {
        shown.emplace_back(text);
        if (whileShown) {
            whileShown();
        }
        return answer;
    }
    // What a Yes/No/Cancel question is answered; nothing is Cancel.
    std::optional<bool> threeWayAnswer;
    std::optional<bool> askYesNoCancel(std::string_view text) override {
        shown.emplace_back(text);
        if (whileShown) {
            whileShown();
        }
        return threeWayAnswer;
    }

    std::vector<lang::FileDialogRequest> fileRequests;
    std::optional<std::filesystem::path> chosenFile; // what every file dialog returns

    std::optional<std::filesystem::path>
    chooseFile(const lang::FileDialogRequest& request) override {
        fileRequests.push_back(request);
        return chosenFile;
    }
};

} // namespace velkan::test
