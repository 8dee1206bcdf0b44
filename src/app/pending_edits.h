// The edits the keyboard has not got yet, and the Apply that sends them. Apply is on while there
// are some. Each write of the key configuration (Apply, an import, the factory defaults) says
// what went wrong, if anything, and whether the edits are still pending afterwards.
#pragma once

#include "app/keyboard_controller.h"
#include "lang/prompts.h"
#include "lang/text_lookup.h"

#include <QObject>

namespace velkan::app {

class PendingEdits : public QObject {
    Q_OBJECT

public:
    PendingEdits(KeyboardController& keyboard, lang::Prompts& prompts,
                 const lang::TextLookup& texts, QObject* parent);

    bool pending() const { return pending_; }
    void setPending(bool pending);

    // Writes the edits to the working file and the keyboard; nothing while none are pending.
    // The outcome comes with the keyboard controller's applyFinished.
    void apply();
    // Another program's Apply: at once, or once the running job is over.
    void applyWhenFree();
    // Apply on the way out: readyToExit follows once the edits are on the keyboard; a failed
    // write keeps the program.
    void applyThenExit();

signals:
    void pendingChanged(bool pending);
    void readyToExit();

private:
    // The message a write of the key configuration ends with, if any. True when the key
    // tables reached the keyboard.
    bool tellKeyWrite(model::KeyWriteOutcome outcome);

    KeyboardController& keyboard_;
    lang::Prompts& prompts_;
    const lang::TextLookup& texts_;
    bool pending_ = false;
    bool applyWhenFree_ = false;
    bool exitAfterApply_ = false;
};

} // namespace velkan::app
