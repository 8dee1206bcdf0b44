// The program's message boxes.
#pragma once

#include "lang/prompts.h"

#include <QPointer>
#include <QStringList>
#include <QWidget>

namespace velkan::skin {

// "(*.fwc)|*.fwc|(*.*)|*.*||" as Qt's name filters: "(*.fwc)", "(*.*)". A description that
// names no pattern in brackets gets its pattern appended.
QStringList qtNameFilters(std::string_view filter);

class QtPrompts : public lang::Prompts {
public:
    // The boxes are centred on `parent` when it is given and still exists.
    explicit QtPrompts(QWidget* parent = nullptr) : parent_(parent) {}

    void message(std::string_view text, bool topMost = false) override;
    bool askYesNo(std::string_view text) override;
    std::optional<bool> askYesNoCancel(std::string_view text) override;
    std::optional<std::filesystem::path>
    chooseFile(const lang::FileDialogRequest& request) override;

private:
    QPointer<QWidget> parent_;
};

} // namespace velkan::skin
