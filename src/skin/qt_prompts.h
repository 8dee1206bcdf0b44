// The program's message boxes.
#pragma once

#include "lang/prompts.h"

#include <QPointer>
#include <QWidget>

namespace velkan::skin {

class QtPrompts : public lang::Prompts {
public:
    // The boxes are centred on `parent` when it is given and still exists.
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}

    void message(std::string_view text, bool topMost = false) override;
    bool askYesNo(std::string_view text) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace velkan::skin
