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
    // Told when a job is posted to an idle queue (true, on the posting thread, before post
    // returns) and when the last queued job is done (false, on the worker). Both are told under
    // the queue's lock, so they arrive in order; the callback must not post.
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
    bool busy_ = false;
    bool stopping_ = false;
    std::thread worker_;
};

} // namespace velkan::app
