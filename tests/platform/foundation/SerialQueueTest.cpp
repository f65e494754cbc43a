#include <gtest/gtest.h>

#include <QThread>

#include <atomic>
#include <chrono>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "platform/foundation/SerialQueue.h"
#include "support/TestEnvironment.h"

namespace {

using namespace std::chrono_literals;

TEST(SerialQueueTest, RunsEachProducersWorkInOrderOneAtATimeOnItsOwnThread) {
    SerialQueue queue(QStringLiteral("test.order"));
    std::mutex mutex;
    std::vector<std::pair<int, int>> log;  // (producer, index)
    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::atomic<bool> offQueueThread{false};
    std::vector<std::thread> producers;
    for (int p = 0; p < 4; ++p) {
        producers.emplace_back([&, p] {
            for (int i = 0; i < 200; ++i) {
                queue.async([&, p, i] {
                    if (running.fetch_add(1) != 0) overlapped = true;
                    if (!queue.isCurrent() || SerialQueue::current() != &queue) offQueueThread = true;
                    {
                        std::lock_guard lock(mutex);
                        log.emplace_back(p, i);
                    }
                    running.fetch_sub(1);
                });
            }
        });
    }
    for (auto& t : producers) t.join();
    queue.sync([] {});
    EXPECT_FALSE(overlapped);
    EXPECT_FALSE(offQueueThread);
    EXPECT_FALSE(queue.isCurrent());
    ASSERT_EQ(log.size(), 800u);
    std::vector<int> next(4, 0);
    for (const auto& [p, i] : log) {
        ASSERT_EQ(i, next[p]) << "producer " << p;
        ++next[p];
    }
}

TEST(SerialQueueTest, SyncWaitsForEarlierWorkRunsInlineOnItselfAndRethrows) {
    SerialQueue queue(QStringLiteral("test.sync"));
    std::atomic<bool> slowDone{false};
    queue.async([&] {
        std::this_thread::sleep_for(30ms);
        slowDone = true;
    });
    const auto caller = std::this_thread::get_id();
    EXPECT_TRUE(queue.sync([&] { return slowDone.load() && std::this_thread::get_id() != caller; }));
    // From the queue's own work a sync would wait for itself forever: it runs at once.
    EXPECT_EQ(queue.sync([&] { return queue.sync([] { return 41; }) + 1; }), 42);
    EXPECT_THROW(queue.sync([]() -> int { throw std::runtime_error("boom"); }), std::runtime_error);
    queue.async([] { throw std::runtime_error("ignored"); });
    EXPECT_EQ(queue.sync([] { return 7; }), 7) << "throwing work does not stop the queue";
}

TEST(SerialQueueTest, DelayedWorkRunsByDueTimeAfterItsDelay) {
    SerialQueue queue(QStringLiteral("test.delay"));
    std::mutex mutex;
    std::vector<int> order;
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration firstRanAfter{};
    queue.asyncAfter(80, [&] {
        std::lock_guard lock(mutex);
        order.push_back(2);
    });
    queue.asyncAfter(40, [&] {
        std::lock_guard lock(mutex);
        firstRanAfter = std::chrono::steady_clock::now() - start;
        order.push_back(1);
    });
    queue.async([&] {
        std::lock_guard lock(mutex);
        order.push_back(0);
    });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] {
        std::lock_guard lock(mutex);
        return order.size() == 3;
    }));
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
    EXPECT_GE(firstRanAfter, 40ms);
}

TEST(SerialQueueTest, DestructionDrainsHandedInWorkAndDropsPendingDelays) {
    std::atomic<int> ran{0};
    std::atomic<bool> delayedRan{false};
    {
        SerialQueue queue(QStringLiteral("test.drain"));
        for (int i = 0; i < 20; ++i) {
            queue.async([&ran, &queue, i] {
                std::this_thread::sleep_for(1ms);
                ran.fetch_add(1);
                // Work handed in by work while draining still runs.
                if (i == 19) queue.async([&ran] { ran.fetch_add(100); });
            });
        }
        queue.asyncAfter(60000, [&] { delayedRan = true; });
    }
    EXPECT_EQ(ran.load(), 120);
    EXPECT_FALSE(delayedRan);
}

TEST(SerialQueueTest, WorkItemsCancelledBeforeTheirTurnNeverRun) {
    SerialQueue queue(QStringLiteral("test.items"));
    auto kept = std::make_shared<WorkItem>([] {});
    auto cancelled = std::make_shared<WorkItem>([] {});
    queue.asyncAfter(20, cancelled);
    queue.asyncAfter(20, kept);
    cancelled->cancel();
    std::this_thread::sleep_for(40ms);
    queue.sync([] {});
    EXPECT_EQ(kept->performCount(), 1);
    EXPECT_EQ(cancelled->performCount(), 0);
}

}  // namespace
