// The program's main window on a simulated keyboard, with recorded prompts, built the way the
// application object builds it.
#pragma once

#include "app/app_globals.h"
#include "app/velkan_dlg.h"
#include "lang/language.h"
#include "platform/paths.h"
#include "sim/sim_hid_backend.h"
#include "sim/simulated_keyboard.h"
#include "support/recording_prompts.h"

#include <memory>
#include <string>
#include <vector>

namespace velkan::test {

class MainWindowFixture {
public:
    // `plugged`: the keyboard is there when the program starts.
    explicit MainWindowFixture(bool plugged = true, bool startHidden = false,
                               sim::KeyboardModel model = sim::KeyboardModel::keys126,
                               sim::SimKeyboardOptions options = {})
        : keyboard(std::make_shared<sim::SimulatedKeyboard>(model, options)) {
        auto backend = std::make_unique<sim::SimHidBackend>();
        simBackend = backend.get();
        if (plugged) {
            simBackend->plug(keyboard);
        }
        window = std::make_unique<app::CVelkanDlg>(app::CVelkanDlg::Services{
            globals, language, prompts, std::move(backend), app::Simulation{keyboard, simBackend},
            [this](const std::string& target) {
                opened.push_back(target);
                return true;
            }});
        window->keyboard().link.initialShowHandled = startHidden;
        initialised = window->initialise();
    }

    std::string text(std::string_view key) const { return language.text(key); }

    // Frames of `command` the program sent since the wire log was last cleared; with a bank,
    // only key-table frames addressed to that bank.
    int framesOf(std::uint8_t command, int bank = -1) const {
        int count = 0;
        const int tableBytes = window->keyboard().link.tableBytes;
        for (const auto& frame : keyboard->wireLog()) {
            if (frame.direction != sim::WireDirection::hostToDevice ||
                frame.collection != sim::SimCollection::command || frame.bytes.size() < 8 ||
                frame.bytes[3] != command) {
                continue;
            }
            const int address = frame.bytes[5] | frame.bytes[6] << 8;
            count += bank < 0 || address / tableBytes == bank;
        }
        return count;
    }
    int hostFrames() const {
        int count = 0;
        for (const auto& frame : keyboard->wireLog()) {
            count += frame.direction == sim::WireDirection::hostToDevice &&
                     frame.collection == sim::SimCollection::command;
        }
        return count;
    }
    bool present() const { return window->keyboard().link.lastNotifiedPresent; }

    app::AppGlobals globals{app::AppPaths::forProgramFolder(platform::programFolder()),
                            platform::SettingsStore::currentUser()};
    lang::Language language{globals.settings, globals.paths.programFolder};
    RecordingPrompts prompts;
    std::vector<std::string> opened; // documents and addresses given to the desktop
    std::shared_ptr<sim::SimulatedKeyboard> keyboard;
    sim::SimHidBackend* simBackend = nullptr;
    std::unique_ptr<app::CVelkanDlg> window;
    bool initialised = false;
};

} // namespace velkan::test
