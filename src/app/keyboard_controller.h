// The one owner of the keyboard. Everything that talks to it runs as a job on one worker thread,
// whole, one at a time, in the order asked for, under the keyboard lock: the arrival read-back,
// Apply, import, profile switches, restoring the defaults, lighting changes, the keyboard's own
// events and the hand-off to the firmware loader. Windows ask for operations and hear the
// outcome through signals; the window thread never waits for the keyboard.
//
// The worker keeps the keyboard side of the program (device link, mirrors, key configuration,
// lighting copy, colour files). The windows work on copies of their own, owned by the window
// thread: the key model the editors change and the lighting the panel shows. A job that changes
// either hands a fresh copy back; a job that writes the user's edits takes a copy of them when
// it is asked for. So no lock of the core is ever taken on the window thread.
#pragma once

#include "app/job_queue.h"
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

#include <QObject>
#include <QPointer>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>

namespace velkan::app {

// How a profile switch ended.
enum class ProfileChange {
    alreadyActive, // the keyboard had that profile active: nothing was selected
    switched,
    refused, // no keyboard, a failed write of the edits first, or the keyboard did not take it
};

// What writing the user's key configuration came to.
struct KeyWriteReport {
    bool fileSaved = false; // the working file holds the edits
    model::KeyWriteOutcome outcome = model::KeyWriteOutcome::failed;
    // The key tables reached the keyboard and the working file was saved.
    bool applied() const { return fileSaved && model::keyTablesWritten(outcome); }
};

class KeyboardController : public QObject,
                           private device::KeyboardEvents,
                           private storage::SessionView {
    Q_OBJECT

public:
    // A change of the lighting, run on the worker against its lighting copy.
    using LightingChange = std::function<void(model::Lighting&, device::DeviceLink&)>;

    KeyboardController(std::unique_ptr<platform::HidBackend> backend, const lang::TextLookup& texts,
                       storage::ColourFiles colourFiles, QObject* parent = nullptr);
    ~KeyboardController() override;

    // The worker, then the input-report reader and the presence monitor. Started hidden (in
    // the notification area), the monitor lets the start settle first.
    void start(bool startHidden);
    // The worker once its running job is done (jobs still waiting are dropped), then the
    // device threads.
    void stop();

    // ---- the window thread's copies and questions; none of them waits ----
    // The key model the editors change; replaced when a job brings the keyboard's.
    model::KeyConfiguration& keys() { return windowKeys_; }
    // The lighting as the last job left it.
    const model::Lighting& lighting() const { return windowLighting_; }
    const storage::ColourFiles& colourFiles() const { return colourFiles_; }
    bool present() const { return link_.lastNotifiedPresent; }
    bool firstSearchDone() const { return link_.firstSearchDone; }
    // The keyboard's active profile as last known (0-2), and the page the window shows.
    int activeProfile() const;
    int shownPage() const { return shownPage_; }
    // A job runs or waits.
    bool busy() const { return busy_; }
    // Key-table geometry of the keyboard, for tests and the command-line tool's helpers.
    const device::DeviceLink& link() const { return link_; }

    // ---- operations: each one job, in the order asked ----
    // Reads the keyboard's key tables, macros and lighting back; nothing without a keyboard.
    void readBack();
    // Writes the window's key model: the working file, then the active profile's key table
    // (all three after a used macro was deleted). Ends with applyFinished.
    void apply();
    // Loads a profile file, keeps it as the working file and writes all three key tables.
    // Ends with importFinished.
    void importProfile(const std::filesystem::path& file);
    // What a caller does with an outcome, on the window thread; skipped when `context` is
    // gone by then.
    template <typename Outcome> struct Then {
        QObject* context = nullptr;
        std::function<void(Outcome)> call;
    };

    // The main window's profile button: the page of `profile` becomes the lighting page, and
    // only when the keyboard's active profile differs, it is selected as selectProfile does.
    void chooseProfile(int profile, bool applyFirst, Then<ProfileChange> then);
    // Makes `profile` the keyboard's active one and loads its file into the model, after
    // writing the window's edits first when `applyFirst` (a failed write stops the switch).
    void selectProfile(int profile, bool applyFirst, Then<ProfileChange> then);
    // Every profile of the window's model back to the factory state, then applied. Ends with
    // defaultsRestored.
    void restoreDefaults();
    // `handedBack`, when given, is called on the window thread once the lighting this change
    // made has been handed back (after lightingReplaced).
    void changeLighting(LightingChange change, Then<bool> handedBack);
    void changeLighting(LightingChange change);
    // Asks the keyboard to wait for its firmware loader; `then` hears whether it took it.
    void enterBootMode(Then<bool> then);

signals:
    void arrived(device::Arrival arrival);
    void removed();
    void busyChanged(bool busy);
    // The window's key model was replaced by the keyboard's.
    void keysReplaced();
    void lightingReplaced();
    void profileShown(int profile);
    void applyFinished(const velkan::app::KeyWriteReport& report);
    // `loaded` false: the file could not be read; nothing was written.
    void importFinished(bool loaded, const velkan::app::KeyWriteReport& report);
    void defaultsRestored(const velkan::app::KeyWriteReport& report);
    // The keyboard went back to its factory settings and the model followed it.
    void resetFollowed();
    void trayImageRequested(device::TrayImage image);
    void problemReported(device::KeyboardProblem problem);

private:
    // KeyboardEvents, from the device threads.
    void keyboardArrived(device::Arrival arrival) override;
    void keyboardRemoved() override;
    void lightingChangedOnKeyboard() override;
    void keyboardReset() override;
    void trayImageWanted(device::TrayImage image) override;
    void problemFound(device::KeyboardProblem problem) override;
    // SessionView, from the worker.
    void showProfile(int profile) override;
    void keyModelChanged() override;
    void lightingChanged() override;

    // Runs `job` on the worker under the keyboard lock.
    void post(std::function<void()> job);
    // Runs `task` on the window thread, after what was posted before it.
    void toWindow(std::function<void()> task);
    // On the worker: the window's edits become the worker's model.
    void adopt(const model::KeyModel& edits);
    // On the worker: the model goes to the working file, then to the keyboard.
    KeyWriteReport writeModel(bool allProfiles);
    ProfileChange switchJob(int profile, const std::shared_ptr<const model::KeyModel>& applyFirst);
    template <typename Outcome> void answer(const Then<Outcome>& then, Outcome outcome);
    void handBackKeyModel();
    void handBackLighting();

    std::unique_ptr<platform::HidBackend> backend_;
    device::DeviceLink link_;
    protocol::DeviceMirrors mirrors_;
    model::KeyConfiguration keys_;
    model::Lighting lighting_;
    storage::ColourFiles colourFiles_;
    storage::KeyboardSession session_;

    model::KeyConfiguration windowKeys_;
    model::Lighting windowLighting_;
    int shownPage_ = 0;
    bool busy_ = false;

    std::atomic<bool> stopping_{false};
    // A burst of the keyboard's events is read back once.
    std::atomic<bool> lightingReadWaiting_{false};
    JobQueue jobs_;
    device::InputReportReader reader_;
    device::PresenceMonitor monitor_;
};

} // namespace velkan::app
