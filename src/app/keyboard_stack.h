// Everything between the main window and the keyboard, in the order it is built: the HID
// backend, the device link with its mirrors, the two copies of the key configuration, the
// lighting copy, the colour files, the command sequences, and the two device threads.
#pragma once

#include "device/device_link.h"
#include "device/input_report_reader.h"
#include "device/keyboard_events.h"
#include "device/presence_monitor.h"
#include "lang/text_lookup.h"
#include "model/key_assignment.h"
#include "model/lighting.h"
#include "platform/hid_backend.h"
#include "protocol/device_mirrors.h"
#include "storage/colour_files.h"
#include "storage/keyboard_session.h"

#include <memory>

namespace velkan::app {

class KeyboardStack {
public:
    KeyboardStack(std::unique_ptr<platform::HidBackend> backend, device::KeyboardEvents& events,
                  storage::SessionView& view, const lang::TextLookup& texts,
                  storage::ColourFiles colourFiles);
    ~KeyboardStack();
    KeyboardStack(const KeyboardStack&) = delete;
    KeyboardStack& operator=(const KeyboardStack&) = delete;

    // The input-report reader first, then the presence monitor.
    void startThreads();
    void stopThreads();

    platform::HidBackend& backend() { return *backend_; }
    // Started in the notification area: the keyboard found at start does not open the window,
    // and the presence monitor lets the start settle first. Set before startThreads().
    bool startHidden = false;
    device::DeviceLink link;
    protocol::DeviceMirrors mirrors;
    model::KeyConfiguration configuration;
    model::Lighting lighting;
    storage::ColourFiles colourFiles;
    storage::KeyboardSession session;

private:
    std::unique_ptr<platform::HidBackend> backend_;
    device::InputReportReader reader_;
    device::PresenceMonitor monitor_;
};

} // namespace velkan::app
