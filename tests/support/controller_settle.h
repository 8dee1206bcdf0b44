// Waiting, in a test or a benchmark, for the keyboard controller to finish what it was asked.
#pragma once

#include "app/keyboard_controller.h"

#include <QCoreApplication>
#include <QElapsedTimer>

namespace velkan::test {

// Runs the window thread's events until every job asked of `controller` so far is over and
// its outcome has reached the window thread. False when that took longer than `timeoutMs`,
// which is generous: a sanitizer build on a loaded machine runs a job many times slower, and
// a wait that gives up early lets the test read the window before the outcome is shown.
inline bool settle(app::KeyboardController& controller, int timeoutMs = 30000) {
    bool done = false;
    QObject guard;
    QObject::connect(&controller, &app::KeyboardController::lightingReplaced, &guard,
                     [&done] { done = true; });
    // Jobs run in order, so the hand-back of one that changes nothing comes after every
    // outcome of those before it.
    controller.changeLighting([](model::Lighting&, device::DeviceLink&) {});
    QElapsedTimer clock;
    clock.start();
    while ((!done || controller.busy()) && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done && !controller.busy();
}

} // namespace velkan::test
