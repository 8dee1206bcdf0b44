#include "app/keyboard_stack.h"

#include "storage/profile_file.h"

#include <utility>

namespace velkan::app {

KeyboardStack::KeyboardStack(std::unique_ptr<platform::HidBackend> backend,
                             device::DeviceLinkClient& client, storage::SessionView& view,
                             lang::Prompts& prompts, const lang::TextLookup& texts,
                             storage::ColourFiles files)
    : link(*backend), mirrors(link), colourFiles(std::move(files)),
      session({link, mirrors, configuration, lighting, colourFiles, prompts, texts, view,
               storage::workingFilePath()}),
      backend_(std::move(backend)), reader_(*backend_, link, client),
      monitor_(link, client, mirrors) {}

KeyboardStack::~KeyboardStack() {
    stopThreads();
}

void KeyboardStack::startThreads() {
    reader_.start();
    monitor_.start();
}

void KeyboardStack::stopThreads() {
    monitor_.stop();
    reader_.stop();
}

} // namespace velkan::app
