#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "frameworks/common/ThreadSafe.h"

namespace {

// Starts all threads at once so that the race is real, then joins them.
template <typename F>
void race(int threads, F body) {
    std::atomic<int> waiting{threads};
    std::vector<std::thread> pool;
    for (int i = 0; i < threads; ++i) {
        pool.emplace_back([&, i] {
            waiting.fetch_sub(1);
            while (waiting.load() > 0) std::this_thread::yield();
            body(i);
        });
    }
    for (auto& t : pool) t.join();
}

TEST(ThreadSafeTest, ExactlyOneOfManyRacersWinsTestAndSet) {
    for (int round = 0; round < 50; ++round) {
        ThreadSafe<bool> flag(false);
        std::atomic<int> winners{0};
        race(8, [&](int) {
            if (flag.testAndSet(false, true)) winners.fetch_add(1);
        });
        ASSERT_EQ(winners.load(), 1) << "round " << round;
        EXPECT_TRUE(flag.value());
        // Cleared again, the next report may show its alert.
        EXPECT_TRUE(flag.testAndSet(true, false));
        EXPECT_FALSE(flag.testAndSet(true, false));
    }
}

TEST(ThreadSafeTest, ExchangeHandsEachPreviousValueToExactlyOneCaller) {
    ThreadSafe<int> slot(0);
    std::vector<int> seen(8 * 1000 + 1, 0);
    std::vector<std::vector<int>> perThread(8);
    race(8, [&](int t) {
        for (int i = 1; i <= 1000; ++i) perThread[t].push_back(slot.exchange(t * 1000 + i));
    });
    for (const auto& list : perThread)
        for (int v : list) ++seen[v];
    seen[slot.value()] += 1;
    // Every value stored (and the initial 0) is answered exactly once, the last one by value().
    for (std::size_t v = 0; v < seen.size(); ++v) ASSERT_EQ(seen[v], 1) << "value " << v;
}

}  // namespace
