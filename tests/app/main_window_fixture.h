// The program's main window on a simulated keyboard, with recorded prompts, built the way the
// application object builds it.
#pragma once

#include "app/app_globals.h"
#include "app/main_window.h"
#include "app/tray_icon.h"
#include "lang/language.h"
#include "platform/paths.h"
#include "sim/sim_hid_backend.h"
#include "sim/simulated_keyboard.h"
#include "support/recording_prompts.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace velkan::test {

// A notification area that is always there and keeps what the tray icon asked of it.
class RecordingTrayArea final : public app::TrayArea {
public:
    struct Log {
        int adds = 0;
        int removes = 0;
        std::vector<int> icons; // every icon modification, by image
        std::function<void(quint32)> onMouse;
        std::function<void()> onHostRestarted;
    };
    explicit RecordingTrayArea(std::shared_ptr<Log> log) : log_(std::move(log)) {}

    bool available() const override { return true; }
    bool add(const app::TrayIconRecord&) override {
        ++log_->adds;
        return true;
    }
    bool modify(app::TrayIconField field, const app::TrayIconRecord& record) override {
        if (field == app::TrayIconField::icon) {
            log_->icons.push_back(record.iconId);
        }
        return true;
    }
    bool remove(const app::TrayIconRecord&) override {
        ++log_->removes;
        return true;
    }
    void setHandlers(std::function<void(quint32)> onMouse,
                     std::function<void()> onHostRestarted) override {
        log_->onMouse = std::move(onMouse);
        log_->onHostRestarted = std::move(onHostRestarted);
    }

private:
    std::shared_ptr<Log> log_;
};

class MainWindowFixture {
public:
    // `plugged`: the keyboard is there when the program starts.
    // `programFolder`: where the skin and the language file are; the build's unless given.
    explicit MainWindowFixture(
        bool plugged = true, bool startHidden = false,
        sim::KeyboardModel model = sim::KeyboardModel::keys126,
        sim::SimKeyboardOptions options = {},
        const std::filesystem::path& programFolder = platform::programFolder())
        : globals(app::AppPaths::forProgramFolder(programFolder),
                  platform::SettingsStore::currentUser()),
          language(globals.settings, globals.paths.programFolder),
          keyboard(std::make_shared<sim::SimulatedKeyboard>(model, options)) {
        auto backend = std::make_unique<sim::SimHidBackend>();
        simBackend = backend.get();
        if (plugged) {
            simBackend->plug(keyboard);
        }
        window = std::make_unique<app::MainWindow>(app::MainWindow::Services{
            globals, language, prompts, std::move(backend), app::Simulation{keyboard, simBackend},
            [this](const std::string& target) {
                opened.push_back(target);
                return true;
            },
            [log = tray] { return std::make_unique<RecordingTrayArea>(log); }});
        window->keyboard().startHidden = startHidden;
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

    app::AppGlobals globals;
    lang::Language language;
    RecordingPrompts prompts;
    std::vector<std::string> opened; // documents and addresses given to the desktop
    std::shared_ptr<RecordingTrayArea::Log> tray = std::make_shared<RecordingTrayArea::Log>();
    std::shared_ptr<sim::SimulatedKeyboard> keyboard;
    sim::SimHidBackend* simBackend = nullptr;
    std::unique_ptr<app::MainWindow> window;
    bool initialised = false;
};

} // namespace velkan::test
