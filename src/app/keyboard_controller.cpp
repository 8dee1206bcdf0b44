#include "app/keyboard_controller.h"

#include "platform/keyboard_lock.h"
#include "storage/profile_file.h"

#include <chrono>
#include <utility>

namespace velkan::app {

namespace {
constexpr auto kHiddenStartSettle = std::chrono::milliseconds(10);
// How often a job waiting for another program's keyboard lock looks whether the program ends.
constexpr auto kLockStep = std::chrono::milliseconds(100);
} // namespace

KeyboardController::KeyboardController(std::unique_ptr<platform::HidBackend> backend,
                                       const lang::TextLookup& texts,
                                       storage::ColourFiles colourFiles, QObject* parent)
    : QObject(parent), backend_(std::move(backend)), link_(*backend_), mirrors_(link_),
      colourFiles_(std::move(colourFiles)),
      session_({link_, mirrors_, keys_, lighting_, colourFiles_, texts,
                static_cast<storage::SessionView&>(*this), storage::workingFilePath()}),
      jobs_([this](bool busy) {
          toWindow([this, busy] {
              busy_ = busy;
              emit busyChanged(busy);
          });
      }),
      reader_(*backend_, static_cast<device::KeyboardEvents&>(*this)),
      monitor_(link_, static_cast<device::KeyboardEvents&>(*this), mirrors_) {
    link_.activeProfileCache = -1;
}

KeyboardController::~KeyboardController() {
    stop();
}

void KeyboardController::start(bool startHidden) {
    jobs_.start();
    reader_.start();
    monitor_.start(startHidden ? kHiddenStartSettle : std::chrono::milliseconds(0));
}

void KeyboardController::stop() {
    // The running job ends whole before the monitor closes the channel under it: a write cut
    // short would leave the keyboard inside an unfinished configuration.
    stopping_ = true;
    jobs_.stop();
    monitor_.stop();
    reader_.stop();
}

int KeyboardController::activeProfile() const {
    return link_.activeProfileCache;
}

void KeyboardController::post(std::function<void()> job) {
    jobs_.post([this, job = std::move(job)] {
        platform::KeyboardLock lock(link_.commandChannel.path());
        if (!link_.commandChannel.path().empty()) {
            // Another program holds it for one command sequence at most.
            while (!lock.acquire(kLockStep)) {
                if (stopping_) {
                    return;
                }
            }
        }
        job();
    });
}

void KeyboardController::toWindow(std::function<void()> task) {
    QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

// ---- jobs ----

void KeyboardController::readBack() {
    post([this] {
        if (link_.lastNotifiedPresent) {
            session_.readBackAfterArrival();
        }
    });
}

void KeyboardController::adopt(const model::KeyModel& edits) {
    keys_.edited = edits;
}

KeyWriteReport KeyboardController::writeModel(bool allProfiles) {
    KeyWriteReport report;
    report.fileSaved = storage::saveWorkingFile(keys_, true);
    report.outcome = session_.applyKeyConfiguration(allProfiles);
    return report;
}

void KeyboardController::apply() {
    auto edits = std::make_shared<const model::KeyModel>(windowKeys_.edited);
    post([this, edits] {
        adopt(*edits);
        const KeyWriteReport report = writeModel(false);
        const bool macroMark = keys_.edited.macroDeleted;
        toWindow([this, report, macroMark] {
            // A write of all three tables settles a deleted macro's slots.
            windowKeys_.edited.macroDeleted = windowKeys_.edited.macroDeleted && macroMark;
            emit applyFinished(report);
        });
    });
}

void KeyboardController::importProfile(const std::filesystem::path& file) {
    post([this, file] {
        model::KeyModel loaded;
        if (!storage::loadProfileFile(file, loaded)) {
            toWindow([this] { emit importFinished(false, {}); });
            return;
        }
        adopt(loaded);
        const KeyWriteReport report = writeModel(true);
        handBackKeyModel();
        toWindow([this, report] { emit importFinished(true, report); });
    });
}

template <typename Outcome>
void KeyboardController::answer(const Then<Outcome>& then, Outcome outcome) {
    toWindow([context = QPointer<QObject>(then.context), call = then.call, outcome] {
        if (context && call) {
            call(outcome);
        }
    });
}

void KeyboardController::chooseProfile(int profile, bool applyFirst, Then<ProfileChange> then) {
    auto edits = applyFirst ? std::make_shared<const model::KeyModel>(windowKeys_.edited) : nullptr;
    post([this, profile, edits, then = std::move(then)] {
        if (!session_.showLightingPage(profile)) {
            answer(then, ProfileChange::refused);
        } else if (model::activeProfile(link_) == profile) {
            answer(then, ProfileChange::alreadyActive);
        } else {
            answer(then, switchJob(profile, edits));
        }
    });
}

void KeyboardController::selectProfile(int profile, bool applyFirst, Then<ProfileChange> then) {
    auto edits = applyFirst ? std::make_shared<const model::KeyModel>(windowKeys_.edited) : nullptr;
    post([this, profile, edits, then = std::move(then)] {
        answer(then, switchJob(profile, edits));
    });
}

ProfileChange
KeyboardController::switchJob(int profile,
                              const std::shared_ptr<const model::KeyModel>& applyFirst) {
    // Selecting reloads the model from the working file whether or not the keyboard took the
    // profile, so without a keyboard the user's changes would go for nothing.
    if (profile < 0 || profile >= model::kProfileCount || !link_.devicePresent) {
        return ProfileChange::refused;
    }
    if (applyFirst) {
        adopt(*applyFirst);
        const KeyWriteReport report = writeModel(false);
        toWindow([this, report] { emit applyFinished(report); });
        if (!report.applied()) {
            return ProfileChange::refused; // the edits stay for another try
        }
    }
    session_.selectProfile(profile);
    return model::activeProfile(link_) == profile ? ProfileChange::switched
                                                  : ProfileChange::refused;
}

void KeyboardController::restoreDefaults() {
    auto edits = std::make_shared<const model::KeyModel>(windowKeys_.edited);
    post([this, edits] {
        adopt(*edits);
        session_.restoreDefaults();
        const KeyWriteReport report = writeModel(false);
        handBackKeyModel();
        toWindow([this, report] { emit defaultsRestored(report); });
    });
}

void KeyboardController::changeLighting(LightingChange change, Then<bool> handedBack) {
    post([this, change = std::move(change), handedBack = std::move(handedBack)] {
        change(lighting_, link_);
        handBackLighting();
        answer(handedBack, true);
    });
}

void KeyboardController::changeLighting(LightingChange change) {
    changeLighting(std::move(change), {});
}

void KeyboardController::enterBootMode(Then<bool> then) {
    post([this, then = std::move(then)] { answer(then, session_.enterBootMode()); });
}

// ---- hand-backs to the window thread ----

void KeyboardController::handBackKeyModel() {
    auto copy = std::make_shared<const model::KeyModel>(keys_.edited);
    toWindow([this, copy] {
        windowKeys_.edited = *copy;
        emit keysReplaced();
    });
}

void KeyboardController::handBackLighting() {
    auto copy = std::make_shared<const model::Lighting>(lighting_);
    toWindow([this, copy] {
        windowLighting_ = *copy;
        emit lightingReplaced();
    });
}

// ---- SessionView, on the worker ----

void KeyboardController::showProfile(int profile) {
    toWindow([this, profile] {
        shownPage_ = profile;
        emit profileShown(profile);
    });
}

void KeyboardController::keyModelChanged() {
    handBackKeyModel();
}

void KeyboardController::lightingChanged() {
    handBackLighting();
}

// ---- KeyboardEvents, on the device threads ----

void KeyboardController::keyboardArrived(device::Arrival arrival) {
    // The read-back is queued before the window hears of the keyboard, so every job the
    // window asks for on arrival runs after it, on the keyboard's real contents.
    readBack();
    toWindow([this, arrival] { emit arrived(arrival); });
}

void KeyboardController::keyboardRemoved() {
    toWindow([this] { emit removed(); });
}

void KeyboardController::lightingChangedOnKeyboard() {
    if (lightingReadWaiting_.exchange(true)) {
        return;
    }
    post([this] {
        lightingReadWaiting_ = false;
        session_.onLightingChangedOnKeyboard();
    });
}

void KeyboardController::keyboardReset() {
    post([this] {
        session_.onKeyboardReset();
        toWindow([this] { emit resetFollowed(); });
    });
}

void KeyboardController::trayImageWanted(device::TrayImage image) {
    toWindow([this, image] { emit trayImageRequested(image); });
}

void KeyboardController::problemFound(device::KeyboardProblem problem) {
    toWindow([this, problem] { emit problemReported(problem); });
}

} // namespace velkan::app
