#include "editors/macro_page.h"

#include "editors/action_buttons.h"
#include "editors/macro_list.h"
#include "widgets/skin_list.h"

#include <chrono>
#include <utility>

namespace velkan::editors {
namespace {

std::uint64_t steadyMilliseconds() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

} // namespace

MacroPage::MacroPage(Parts parts) : parts_(std::move(parts)), clock_(steadyMilliseconds) {}

MacroPage::~MacroPage() = default;

std::vector<QWidget*> MacroPage::allControls() const {
    std::vector<QWidget*> controls = macros_->controls();
    controls.push_back(&actions_->list());
    for (const auto& part : {recorder_->controls(), actionButtons_->controls()}) {
        controls.insert(controls.end(), part.begin(), part.end());
    }
    return controls;
}

bool MacroPage::takesEditKeys(const QObject& target) const {
    return macros_ && (macros_->takesEditKeys(target) || actions_->takesEditKeys(target));
}

void MacroPage::setClock(Clock clock) {
    if (!clock) {
        return;
    }
    clock_ = std::move(clock);
    if (recorder_) {
        recorder_->setClock(clock_);
    }
}

void MacroPage::markModified() {
    if (parts_.modified) {
        parts_.modified();
    }
}

void MacroPage::createControls() {
    if (macros_) {
        return;
    }
    QWidget& dialog = parts_.dialog;
    actions_ = std::make_unique<ActionList>(dialog, parts_.iniPath, parts_.prompts, parts_.texts);
    macros_ = std::make_unique<MacroList>(MacroList::Parts{dialog, parts_.iniPath, parts_.iniFolder,
                                                           parts_.configuration, parts_.prompts,
                                                           parts_.texts, *actions_});
    recorder_ = std::make_unique<MacroRecorder>(
        MacroRecorder::Parts{dialog, parts_.iniPath, parts_.iniFolder, parts_.appProfile,
                             parts_.texts, *actions_, [this] { return macros_->hasSelection(); }},
        clock_);
    actionButtons_ = std::make_unique<ActionButtons>(dialog, parts_.iniPath, parts_.iniFolder,
                                                     parts_.texts, *actions_);
    connect(actions_.get(), &ActionList::modified, this, &MacroPage::markModified);
    connect(macros_.get(), &MacroList::modified, this, &MacroPage::markModified);
    connect(macros_.get(), &MacroList::macroShown, this, &MacroPage::onMacroShown);
    connect(recorder_.get(), &MacroRecorder::recordingChanged, macros_.get(),
            &MacroList::setLocked);
    macros_->showSelectedMacro();
    reloadTexts();
}

void MacroPage::onMacroShown(bool shown) {
    recorder_->setEnabled(shown);
    actionButtons_->setEnabled(shown);
}

void MacroPage::setVisible(bool visible) {
    if (!macros_) {
        return;
    }
    if (!visible) {
        actions_->list().commitEdit();
        recorder_->stop();
    }
    for (QWidget* control : allControls()) {
        control->setVisible(visible);
    }
}

void MacroPage::reloadTexts() {
    if (!macros_) {
        return;
    }
    recorder_->reloadTexts();
    actionButtons_->reloadTexts();
    macros_->reloadTexts();
    actions_->reloadTexts();
}

void MacroPage::loadWorkingCopies(std::uint16_t selectedId) {
    if (!macros_) {
        return;
    }
    freeWorkingCopies();
    recorder_->readDelayOption();
    macros_->load(selectedId);
}

std::uint16_t MacroPage::selectedMacroId() const {
    return macros_ ? macros_->selectedMacroId() : 0;
}

std::uint8_t MacroPage::cycles() const {
    return macros_ ? macros_->cycles() : 1;
}

void MacroPage::commit() {
    if (!macros_ || !macros_->loaded()) {
        return;
    }
    actions_->list().commitEdit();
    recorder_->stop();
    macros_->commit();
}

void MacroPage::freeWorkingCopies() {
    if (!macros_) {
        return;
    }
    recorder_->stop();
    actions_->list().cancelEdit();
    actions_->list().clear();
    macros_->free();
}

bool MacroPage::recording() const {
    return recorder_ && recorder_->recording();
}

bool MacroPage::recordKey(const platform::NativeKeyEvent& event) {
    return recorder_ && recorder_->recordKey(event);
}

bool MacroPage::recordMouse(std::uint32_t mouseMessage) {
    return recorder_ && recorder_->recordMouse(mouseMessage);
}

} // namespace velkan::editors
