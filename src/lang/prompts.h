// Message boxes, as the model and storage layers ask for them. The program shows them with Qt;
// tests record every text and give planned answers.
#pragma once

#include <string_view>

namespace velkan::lang {

class Prompts {
public:
    virtual ~Prompts() = default;
    // A message with an OK button; `topMost` keeps it above every other window.
    virtual void message(std::string_view text, bool topMost = false) = 0;
    // A Yes/No question whose default button is No; true for Yes.
    virtual bool askYesNo(std::string_view text) = 0;
};

} // namespace velkan::lang
