// The keyboard controller's worker: jobs run one at a time in the order posted, busy is told
// once per stretch of work, and stopping lets the running job end whole while the waiting ones
// go.
#include "app/job_queue.h"
#include "support/app_test_main.h"

#include <QTest>
#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <vector>

using velkan::app::JobQueue;

class JobQueueTest : public QObject {
    Q_OBJECT

private slots:
    void jobsRunInOrderAndBusyBracketsThem() {
        std::mutex mutex;
        std::vector<std::string> events;
        const auto note = [&](std::string what) {
            const std::lock_guard lock(mutex);
            events.push_back(std::move(what));
        };
        JobQueue queue([&](bool busy) { note(busy ? "busy" : "idle"); });
        // Posted before the worker starts: they wait for it, and busy is told at the first post,
        // so whatever the posting thread reports next is heard after it.
        for (int job = 0; job < 3; ++job) {
            queue.post([&, job] { note("job" + std::to_string(job)); });
        }
        {
            const std::lock_guard lock(mutex);
            QCOMPARE(events, std::vector<std::string>{"busy"});
        }
        queue.start();
        QTRY_VERIFY([&] {
            const std::lock_guard lock(mutex);
            return events.size() == 5;
        }());
        queue.post([&] { note("job3"); });
        QTRY_VERIFY([&] {
            const std::lock_guard lock(mutex);
            return events.size() == 8;
        }());
        const std::lock_guard lock(mutex);
        QCOMPARE(events, (std::vector<std::string>{"busy", "job0", "job1", "job2", "idle", "busy",
                                                   "job3", "idle"}));
    }

    void stopFinishesTheRunningJobAndDropsTheRest() {
        std::atomic<bool> running{false};
        std::atomic<bool> finished{false};
        std::atomic<int> later{0};
        JobQueue queue([](bool) {});
        queue.start();
        queue.post([&] {
            running = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            finished = true;
        });
        queue.post([&] { ++later; });
        QTRY_VERIFY(running.load());
        queue.stop();
        QVERIFY(finished.load());
        queue.post([&] { ++later; });
        QTest::qWait(50);
        QCOMPARE(later.load(), 0);
    }
};

VELKAN_APP_TEST_MAIN(JobQueueTest)
#include "job_queue_test.moc"
