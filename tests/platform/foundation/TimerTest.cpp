#include <gtest/gtest.h>

#include <QDateTime>
#include <QEventLoop>
#include <QThread>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/foundation/MainQueueWorkItem.h"
#include "platform/foundation/Timer.h"
#include "support/TestEnvironment.h"

namespace {

TEST(TimerTest, OneShotFiresOnceNotBeforeItsDateAndThenIsInvalid) {
    std::vector<QDateTime> firings;
    auto timer = Timer::scheduledTimer(0.04, false, [&](Timer& t) {
        EXPECT_TRUE(t.isValid());
        firings.push_back(QDateTime::currentDateTimeUtc());
    });
    const QDateTime due = timer->fireDate();
    EXPECT_TRUE(timer->isValid());
    EXPECT_NEAR(QDateTime::currentDateTimeUtc().msecsTo(due), 40, 20);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !firings.empty(); }));
    TestEnvironment::waitUntil([] { return false; }, 100);
    ASSERT_EQ(firings.size(), 1u);
    EXPECT_GE(firings[0], due);
    EXPECT_FALSE(timer->isValid());
}

TEST(TimerTest, RepeatingKeepsItsRhythmUntilInvalidated) {
    int count = 0;
    std::vector<QDateTime> dates;
    auto timer = Timer::scheduledTimer(0.02, true, [&](Timer& t) {
        ++count;
        dates.push_back(t.fireDate());
        if (count == 4) t.invalidate();
    });
    const QDateTime first = timer->fireDate();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return count == 4; }));
    TestEnvironment::waitUntil([] { return false; }, 80);
    EXPECT_EQ(count, 4);
    EXPECT_FALSE(timer->isValid());
    // Each firing's next date lies a whole number of intervals after the first one.
    for (const QDateTime& d : dates) EXPECT_EQ(first.msecsTo(d) % 20, 0) << first.msecsTo(d);
    EXPECT_GT(dates.back(), first);
}

struct StopCase {
    const char* name;
    int how;  // 0 invalidate, 1 drop the last reference, 2 invalidate from another thread
};

class TimerStopping : public ::testing::TestWithParam<StopCase> {};

TEST_P(TimerStopping, AStoppedTimerNeverFires) {
    std::atomic<int> fired{0};
    auto timer = Timer::scheduledTimer(0.03, true, [&](Timer&) { fired.fetch_add(1); });
    switch (GetParam().how) {
    case 0: timer->invalidate(); break;
    case 1: timer.reset(); break;
    case 2: std::thread([&] { timer->invalidate(); }).join(); break;
    }
    if (timer) {
        EXPECT_FALSE(timer->isValid());
    }
    TestEnvironment::waitUntil([] { return false; }, 120);
    EXPECT_EQ(fired.load(), 0);
}

INSTANTIATE_TEST_SUITE_P(Timer, TimerStopping,
                         ::testing::Values(StopCase{"invalidate", 0}, StopCase{"dropped", 1},
                                           StopCase{"invalidate_off_thread", 2}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(TimerTest, ABlockMayDropItsOwnTimer) {
    std::shared_ptr<Timer> owned;
    int fired = 0;
    owned = Timer::scheduledTimer(0.01, true, [&](Timer&) {
        ++fired;
        owned.reset();
    });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return fired > 0; }));
    TestEnvironment::waitUntil([] { return false; }, 60);
    EXPECT_EQ(fired, 1);
    EXPECT_FALSE(owned);
}

TEST(TimerTest, MovingTheFireDateReschedulesAndFireRunsAtOnce) {
    int fired = 0;
    auto timer = Timer::create(QDateTime::currentDateTimeUtc().addSecs(3600), 0, false,
                               [&](Timer&) { ++fired; });
    timer->schedule();
    TestEnvironment::waitUntil([] { return false; }, 30);
    EXPECT_EQ(fired, 0);
    timer->setFireDate(QDateTime::currentDateTimeUtc().addMSecs(20));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return fired == 1; }, 2000));

    int manual = 0;
    auto repeating = Timer::scheduledTimer(3600, true, [&](Timer&) { ++manual; });
    const QDateTime due = repeating->fireDate();
    repeating->fire();
    EXPECT_EQ(manual, 1);
    EXPECT_TRUE(repeating->isValid());
    EXPECT_EQ(repeating->fireDate(), due);
    repeating->invalidate();
    repeating->fire();
    EXPECT_EQ(manual, 1);
}

TEST(TimerTest, TimerScheduledOnAWorkerFiresOnThatWorker) {
    std::atomic<QThread*> firedOn{nullptr};
    QThread* worker = QThread::create([&] {
        QEventLoop loop;
        auto timer = Timer::scheduledTimer(0.01, false, [&](Timer&) {
            firedOn = QThread::currentThread();
            loop.quit();
        });
        loop.exec();
    });
    worker->start();
    ASSERT_TRUE(worker->wait(3000));
    EXPECT_EQ(firedOn.load(), worker);
    delete worker;
}

TEST(MainQueueWorkItemTest, CancelledItemsDoNotRunOnTheMainQueue) {
    auto cancelled = std::make_shared<WorkItem>([] {});
    auto kept = std::make_shared<WorkItem>([] {
        EXPECT_TRUE(MainQueue::isMainThread());
    });
    MainQueue::asyncAfter(20, cancelled);
    MainQueue::asyncAfter(20, kept);
    std::thread([&] { cancelled->cancel(); }).join();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return kept->performCount() == 1; }));
    TestEnvironment::waitUntil([] { return false; }, 40);
    EXPECT_EQ(cancelled->performCount(), 0);
}

}  // namespace
