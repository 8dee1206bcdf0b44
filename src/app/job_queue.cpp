#include "app/job_queue.h"

#include <utility>

namespace velkan::app {

JobQueue::JobQueue(BusyChanged busyChanged) : busyChanged_(std::move(busyChanged)) {}

JobQueue::~JobQueue() {
    stop();
}

void JobQueue::start() {
    const std::lock_guard lock(mutex_);
    if (worker_.joinable() || stopping_) {
        return;
    }
    worker_ = std::thread([this] { run(); });
}

void JobQueue::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
        jobs_.clear();
    }
    wake_.notify_all();
    if (worker_.joinable() && worker_.get_id() != std::this_thread::get_id()) {
        worker_.join();
    }
}

void JobQueue::post(std::function<void()> job) {
    {
        const std::lock_guard lock(mutex_);
        if (stopping_) {
            return;
        }
        jobs_.push_back(std::move(job));
        if (!busy_) {
            busy_ = true;
            busyChanged_(true);
        }
    }
    wake_.notify_one();
}

void JobQueue::run() {
    std::unique_lock lock(mutex_);
    while (true) {
        wake_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
        if (stopping_) {
            return;
        }
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        lock.lock();
        if (jobs_.empty() && busy_) {
            busy_ = false;
            busyChanged_(false);
        }
    }
}

} // namespace velkan::app
