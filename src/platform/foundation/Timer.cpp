#include "platform/foundation/Timer.h"

#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace {

// QTimer takes an int of milliseconds; longer waits are armed in steps and re-checked.
constexpr qint64 kLongestArmMs = 24LL * 60 * 60 * 1000;

qint64 toMs(double seconds) {
    if (!(seconds > 0)) return 0;  // also catches NaN
    return std::llround(std::min(seconds, 1e12) * 1000.0);
}

}  // namespace

std::shared_ptr<Timer> Timer::scheduledTimer(double intervalSeconds, bool repeats, Block block) {
    auto timer = create(QDateTime::currentDateTimeUtc().addMSecs(toMs(intervalSeconds)),
                        intervalSeconds, repeats, std::move(block));
    timer->schedule();
    return timer;
}

std::shared_ptr<Timer> Timer::create(const QDateTime& fireDate, double intervalSeconds,
                                     bool repeats, Block block) {
    return std::make_shared<Timer>(Passkey{}, fireDate, intervalSeconds, repeats, std::move(block));
}

Timer::Timer(Passkey, const QDateTime& fireDate, double intervalSeconds, bool repeats, Block block)
    : fireDate_(fireDate.toUTC()),
      // A repeating timer of no interval would spin the loop; a millisecond is the floor.
      intervalMs_(repeats ? std::max<qint64>(1, toMs(intervalSeconds)) : toMs(intervalSeconds)),
      repeats_(repeats),
      block_(std::move(block)) {}

Timer::~Timer() {
    valid_.store(false);
    if (QTimer* timer = timer_.data()) {
        // The QTimer belongs to the scheduling thread and this may run inside its timeout signal
        // (a block dropping the last reference): let its own loop delete it.
        if (timer->thread() == QThread::currentThread()) timer->stop();
        timer->deleteLater();
    }
}

void Timer::schedule() {
    if (timer_ || !valid_.load()) return;
    auto* timer = new QTimer;
    timer->setSingleShot(true);
    timer->setTimerType(tolerance_ > 0 ? Qt::CoarseTimer : Qt::PreciseTimer);
    std::weak_ptr<Timer> weak = weak_from_this();
    QObject::connect(timer, &QTimer::timeout, timer, [weak] {
        if (auto self = weak.lock()) self->onTimeout();
    });
    timer_ = timer;
    arm();
}

void Timer::arm() {
    if (!timer_ || !valid_.load()) return;
    const qint64 remaining = QDateTime::currentDateTimeUtc().msecsTo(fireDate_);
    timer_->start(int(std::clamp<qint64>(remaining, 0, kLongestArmMs)));
}

void Timer::onTimeout() {
    if (!valid_.load()) return;
    // Coarse timers may wake a little early and long waits are armed in steps: never run early.
    if (QDateTime::currentDateTimeUtc().msecsTo(fireDate_) > 0) {
        arm();
        return;
    }
    // The block may drop the owner's reference to this timer.
    auto self = shared_from_this();
    if (repeats_) {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        const qint64 late = fireDate_.msecsTo(now);
        const qint64 steps = late / intervalMs_ + 1;  // skip firings missed while asleep
        fireDate_ = fireDate_.addMSecs(steps * intervalMs_);
        arm();
    }
    if (block_) block_(*this);
    if (!repeats_) invalidate();
}

void Timer::fire() {
    if (!valid_.load()) return;
    auto self = shared_from_this();
    if (block_) block_(*this);
    if (!repeats_) invalidate();
}

void Timer::invalidate() {
    if (!valid_.exchange(false)) return;
    QTimer* timer = timer_.data();
    if (!timer) return;
    if (timer->thread() == QThread::currentThread()) {
        timer->stop();
    } else {
        // Stopped by its own thread; until then the cleared flag keeps the block from running.
        QMetaObject::invokeMethod(timer, &QTimer::stop, Qt::QueuedConnection);
    }
}

void Timer::setFireDate(const QDateTime& date) {
    fireDate_ = date.toUTC();
    arm();
}

void Timer::setTolerance(double seconds) {
    tolerance_ = seconds > 0 ? seconds : 0;
    if (timer_) {
        timer_->setTimerType(tolerance_ > 0 ? Qt::CoarseTimer : Qt::PreciseTimer);
        if (timer_->isActive()) arm();
    }
}
