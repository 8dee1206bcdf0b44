// One worker thread that runs jobs whole, one at a time, in the order they were posted. The
// keyboard controller's sequences run here, so no two of them ever interleave on the wire and
// the window thread never waits for one.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace velkan::app {

class JobQueue {
public:
    // Told on the worker when it takes up work after being idle (true) and when the last
    // queued job is done (false).
    using BusyChanged = std::function<void(bool busy)>;

    explicit JobQueue(BusyChanged busyChanged);
    ~JobQueue(); // stops
    JobQueue(const JobQueue&) = delete;
    JobQueue& operator=(const JobQueue&) = delete;

    void start();
    // Lets the running job finish, drops the ones still waiting, and joins the worker. Jobs
    // posted afterwards are dropped.
    void stop();

    // From any thread; dropped once stopped.
    void post(std::function<void()> job);

private:
    void run();

    BusyChanged busyChanged_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace velkan::app
