#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

#include "frameworks/sync/WorkerPool.h"

namespace {

// Every task runs once, and every index comes back once on the caller's thread, whatever the
// tasks or the caller throw: a lost index is a transfer whose outcome is never recorded.
struct PoolCase {
    const char* name;
    std::size_t threads;
    std::size_t tasks;
    std::size_t taskThrowsAt;      // none when >= tasks
    std::size_t callerThrowsAt;    // none when >= tasks
};

class PoolRun : public ::testing::TestWithParam<PoolCase> {};

TEST_P(PoolRun, RunsEveryTaskOnceAndReportsItOnTheCallersThread) {
    const PoolCase& c = GetParam();
    WorkerPool pool(c.threads);
    std::vector<std::atomic<int>> ran(c.tasks);
    std::vector<int> reported(c.tasks, 0);
    std::vector<bool> reportedThrown(c.tasks, false);
    const auto caller = std::this_thread::get_id();
    bool wrongThread = false;
    bool callerThrew = false;
    try {
        pool.run(
            c.tasks,
            [&](std::size_t i) {
                ++ran[i];
                if (i == c.taskThrowsAt) throw std::runtime_error("task failed");
            },
            [&](std::size_t i, std::exception_ptr thrown) {
                wrongThread = wrongThread || std::this_thread::get_id() != caller;
                ++reported[i];
                reportedThrown[i] = thrown != nullptr;
                if (i == c.callerThrowsAt) throw std::logic_error("caller failed");
            });
    } catch (const std::logic_error&) {
        callerThrew = true;
    }
    EXPECT_EQ(callerThrew, c.callerThrowsAt < c.tasks);
    EXPECT_FALSE(wrongThread);
    int reportedCount = 0;
    for (std::size_t i = 0; i < c.tasks; ++i) {
        EXPECT_EQ(ran[i].load(), 1) << i;
        EXPECT_LE(reported[i], 1) << i;
        reportedCount += reported[i];
        if (reported[i]) {
            EXPECT_EQ(reportedThrown[i], i == c.taskThrowsAt) << i;
        }
    }
    if (c.callerThrowsAt >= c.tasks) {
        EXPECT_EQ(reportedCount, int(c.tasks));
    }
    // The pool still works after either failure.
    std::atomic<int> again{0};
    pool.run(3, [&](std::size_t) { ++again; }, [](std::size_t, std::exception_ptr) {});
    EXPECT_EQ(again.load(), 3);
}

INSTANTIATE_TEST_SUITE_P(Table, PoolRun,
                         ::testing::Values(PoolCase{"manyTasks", 4, 1000, 1000, 1000},
                                           PoolCase{"noTasks", 4, 0, 0, 0},
                                           PoolCase{"zeroThreadsStillRuns", 0, 10, 10, 10},
                                           PoolCase{"aTaskThrows", 3, 200, 57, 200},
                                           PoolCase{"theCallerThrows", 3, 200, 200, 5}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WorkerPool, TwoCallersShareOnePool) {
    WorkerPool pool(2);
    std::atomic<int> first{0}, second{0};
    int firstReported = 0, secondReported = 0;
    std::thread other([&] {
        pool.run(500, [&](std::size_t) { ++second; }, [&](std::size_t, std::exception_ptr) { ++secondReported; });
    });
    pool.run(500, [&](std::size_t) { ++first; }, [&](std::size_t, std::exception_ptr) { ++firstReported; });
    other.join();
    EXPECT_EQ(first.load(), 500);
    EXPECT_EQ(second.load(), 500);
    EXPECT_EQ(firstReported, 500);
    EXPECT_EQ(secondReported, 500);
}

}  // namespace
