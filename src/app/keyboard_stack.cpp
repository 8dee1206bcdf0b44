#include "app/keyboard_stack.h"

#include "storage/profile_file.h"

#include <chrono>
#include <utility>

namespace velkan::app {

namespace {
constexpr auto kHiddenStartSettle = std::chrono::milliseconds(10);
}

KeyboardStack::KeyboardStack(std::unique_ptr<platform::HidBackend> backend,
                             device::KeyboardEvents& events, storage::SessionView& view,
                             const lang::TextLookup& texts, storage::ColourFiles files)
    : link(*backend), mirrors(link), colourFiles(std::move(files)),
      session({link, mirrors, configuration, lighting, colourFiles, texts, view,
               storage::workingFilePath()}),
      backend_(std::move(backend)), reader_(*backend_, events), monitor_(link, events, mirrors) {}

KeyboardStack::~KeyboardStack() {
    stopThreads();
}

void KeyboardStack::startThreads() {
    reader_.start();
    monitor_.start(startHidden ? kHiddenStartSettle : std::chrono::milliseconds(0));
}

void KeyboardStack::stopThreads() {
    monitor_.stop();
    reader_.stop();
}

} // namespace velkan::app
