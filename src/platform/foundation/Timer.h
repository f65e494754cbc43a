#pragma once

#include <QDateTime>
#include <QPointer>
#include <QTimer>

#include <atomic>
#include <functional>
#include <memory>

// A one-shot or repeating timer on the event loop of the thread that schedules it (the main
// thread in practice). The block runs on that thread.
//
// The caller owns the timer: the event loop does not keep it alive, and dropping the last
// reference invalidates it. A block that captures its owner therefore never runs after the owner
// let go of the timer.
//
// A repeating timer keeps its rhythm from its fire date (fire date + n * interval); firings missed
// while the machine slept are skipped, not replayed. A one-shot timer invalidates itself after its
// block ran. Everything except invalidate() and isValid() belongs to the scheduling thread.
class Timer : public std::enable_shared_from_this<Timer> {
    struct Passkey {};

public:
    using Block = std::function<void(Timer&)>;

    // Scheduled at once on the calling thread; the first firing comes after `intervalSeconds`.
    [[nodiscard]] static std::shared_ptr<Timer> scheduledTimer(double intervalSeconds, bool repeats,
                                                               Block block);
    // Not scheduled yet: first firing at `fireDate`, then every `intervalSeconds` when repeating.
    [[nodiscard]] static std::shared_ptr<Timer> create(const QDateTime& fireDate,
                                                       double intervalSeconds, bool repeats,
                                                       Block block);

    Timer(Passkey, const QDateTime& fireDate, double intervalSeconds, bool repeats, Block block);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    // Puts the timer on the calling thread's event loop; repeated calls do nothing.
    void schedule();
    bool isScheduled() const { return !timer_.isNull(); }

    // Runs the block now without changing the schedule; a one-shot timer is then invalid.
    void fire();
    // Stops the timer for good; the block never runs again. Safe from any thread.
    void invalidate();
    bool isValid() const { return valid_.load(); }

    bool repeats() const { return repeats_; }
    double timeInterval() const { return intervalMs_ / 1000.0; }
    QDateTime fireDate() const { return fireDate_; }
    // Moves the next firing; a scheduled timer is re-armed for the new date.
    void setFireDate(const QDateTime& date);
    // Lateness the caller accepts; with some, the loop may coalesce wake-ups to save power. The
    // block still never runs before the fire date.
    double tolerance() const { return tolerance_; }
    void setTolerance(double seconds);

private:
    void arm();
    void onTimeout();

    QDateTime fireDate_;
    qint64 intervalMs_;
    bool repeats_;
    double tolerance_ = 0;
    Block block_;
    std::atomic<bool> valid_{true};
    QPointer<QTimer> timer_;
};
