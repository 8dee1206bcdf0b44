#include "ctl/keyboard_access.h"

#include "device/keyboard_scan.h"
#include "platform/hid_backend.h"
#include "sim/sim_hid_backend.h"
#include "storage/problem_texts.h"

#include <system_error>
#include <utility>

namespace velkan::ctl {

namespace {

// The arrival reads can only find a problem to tell; the other keyboard events have no
// counterpart on a terminal.
class ArrivalMessages final : public device::KeyboardEvents {
public:
    ArrivalMessages(lang::Prompts& prompts, const lang::TextLookup& texts)
        : prompts_(prompts), texts_(texts) {}

    void keyboardArrived(device::Arrival) override {}
    void keyboardRemoved() override {}
    void lightingChangedOnKeyboard() override {}
    void keyboardReset() override {}
    void trayImageWanted(device::TrayImage) override {}
    void problemFound(device::KeyboardProblem problem) override {
        prompts_.message(texts_.text(storage::problemTextKey(problem)));
    }

private:
    lang::Prompts& prompts_;
    const lang::TextLookup& texts_;
};

// A missing file is a keyboard fresh from the factory.
bool loadSimState(sim::SimulatedKeyboard& keyboard, const std::filesystem::path& file,
                  std::ostream& err) {
    std::error_code error;
    const bool exists = std::filesystem::exists(file, error);
    if (!error && (!exists || keyboard.loadState(file))) {
        return true;
    }
    err << "velkanctl: " << file.string() << " does not hold a simulated "
        << keyboard.info().keyCount << "-key keyboard; it was left as it is\n";
    return false;
}

} // namespace

std::unique_ptr<KeyboardAccess> KeyboardAccess::open(const Invocation& invocation,
                                                     std::ostream& err) {
    std::unique_ptr<platform::HidBackend> hardware;
    std::shared_ptr<sim::SimulatedKeyboard> simulated;
    if (invocation.simulate) {
        simulated = std::make_shared<sim::SimulatedKeyboard>(*invocation.simulate);
        if (invocation.simState && !loadSimState(*simulated, *invocation.simState, err)) {
            return nullptr;
        }
        auto backend = std::make_unique<sim::SimHidBackend>();
        if (!backend->plug(simulated)) {
            err << "velkanctl: the simulated keyboard could not be plugged in\n";
            return nullptr;
        }
        hardware = std::move(backend);
    } else {
        hardware = platform::makeSystemHidBackend();
    }

    std::shared_ptr<WireLog> log;
    if (invocation.wireLog) {
        log = WireLog::open(*invocation.wireLog);
        if (!log) {
            err << "velkanctl: the wire log " << invocation.wireLog->string()
                << " cannot be opened\n";
            return nullptr;
        }
    }
    return std::unique_ptr<KeyboardAccess>(new KeyboardAccess(
        std::move(hardware), std::move(simulated), invocation.simState, std::move(log)));
}

KeyboardAccess::KeyboardAccess(std::unique_ptr<platform::HidBackend> hardware,
                               std::shared_ptr<sim::SimulatedKeyboard> simulated,
                               std::optional<std::filesystem::path> simState,
                               std::shared_ptr<WireLog> log)
    : hardware_(std::move(hardware)), simulated_(std::move(simulated)),
      simState_(std::move(simState)), log_(std::move(log)),
      logging_(log_ ? std::make_unique<WireLoggingBackend>(*hardware_, log_) : nullptr),
      link_(logging_ ? static_cast<platform::HidBackend&>(*logging_) : *hardware_),
      mirrors_(link_) {}

std::optional<std::vector<FoundKeyboard>> KeyboardAccess::findAll() {
    device::HidDevice& channel = link_.commandChannel;
    if (!channel.enumerate()) {
        return std::nullopt;
    }
    std::vector<FoundKeyboard> found;
    while (device::scanForKeyboardCollection(channel, device::kCommandCollection,
                                             &permissionDenied_)) {
        if (const auto model = device::keyboardModelFor(channel.vendorId(), channel.productId())) {
            found.push_back({channel.path(), *model});
        }
        channel.close();
    }
    return found;
}

Connection KeyboardAccess::connect(lang::Prompts& prompts, const lang::TextLookup& texts) {
    device::HidDevice& channel = link_.commandChannel;
    if (!channel.enumerate() || !device::scanForKeyboardCollection(
                                    channel, device::kCommandCollection, &permissionDenied_)) {
        return Connection::noKeyboard;
    }
    const auto model = device::keyboardModelFor(channel.vendorId(), channel.productId());
    if (!model) {
        return Connection::noKeyboard;
    }
    // Taken before the first report, so that a keyboard busy elsewhere gets nothing from here.
    lock_.emplace(channel.path());
    if (!lock_->acquire(kKeyboardBusyWait)) {
        lock_.reset();
        channel.close();
        return Connection::busy;
    }
    connected_ = true;
    model_ = *model;
    link_.setModel(model_);
    link_.devicePresent = true;
    ArrivalMessages messages(prompts, texts);
    mirrors_.readArrivalMirrors(messages);
    return Connection::connected;
}

bool KeyboardAccess::finish(std::ostream& err) {
    bool ok = true;
    // The file stands for the keyboard's memory: a run that never had the keyboard leaves it to
    // the one that has.
    if (connected_ && simulated_ && simState_ && !simulated_->saveState(*simState_)) {
        err << "velkanctl: the simulated keyboard could not be saved to " << simState_->string()
            << '\n';
        ok = false;
    }
    lock_.reset();
    if (log_ && !log_->intact()) {
        err << "velkanctl: the wire log could not be written whole\n";
        ok = false;
    }
    return ok;
}

} // namespace velkan::ctl
