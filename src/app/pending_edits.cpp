#include "app/pending_edits.h"

#include <utility>

namespace velkan::app {

PendingEdits::PendingEdits(KeyboardController& keyboard, lang::Prompts& prompts,
                           const lang::TextLookup& texts, QObject* parent)
    : QObject(parent), keyboard_(keyboard), prompts_(prompts), texts_(texts) {
    connect(&keyboard_, &KeyboardController::busyChanged, this, [this](bool busy) {
        if (!busy && std::exchange(applyWhenFree_, false)) {
            apply();
        }
    });
    connect(&keyboard_, &KeyboardController::applyFinished, this,
            [this](const KeyWriteReport& report) {
                if (tellKeyWrite(report.outcome) && report.fileSaved) {
                    setPending(false);
                }
                if (std::exchange(exitAfterApply_, false) && !pending_) {
                    emit readyToExit();
                }
            });
    connect(&keyboard_, &KeyboardController::importFinished, this,
            [this](bool loaded, const KeyWriteReport& report) {
                if (!loaded) {
                    prompts_.message(texts_.text("MAIN_PROMPT_INPORT"));
                    return;
                }
                // The edits stay pending when the keyboard did not take the imported profile.
                setPending(!tellKeyWrite(report.outcome));
            });
    connect(&keyboard_, &KeyboardController::defaultsRestored, this,
            [this](const KeyWriteReport& report) {
                setPending(!(tellKeyWrite(report.outcome) && report.fileSaved));
            });
    connect(&keyboard_, &KeyboardController::resetFollowed, this, [this] { setPending(true); });
}

void PendingEdits::setPending(bool pending) {
    pending_ = pending;
    emit pendingChanged(pending);
}

void PendingEdits::apply() {
    if (pending_) {
        keyboard_.apply();
    }
}

void PendingEdits::applyWhenFree() {
    if (keyboard_.busy()) {
        applyWhenFree_ = true;
    } else {
        apply();
    }
}

void PendingEdits::applyThenExit() {
    exitAfterApply_ = true;
    apply();
}

bool PendingEdits::tellKeyWrite(model::KeyWriteOutcome outcome) {
    if (const std::string_view key = model::keyWriteMessageKey(outcome); !key.empty()) {
        prompts_.message(texts_.text(key), true);
    }
    return model::keyTablesWritten(outcome);
}

} // namespace velkan::app
