#include "platform/foundation/SerialQueue.h"

#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

#include <pthread.h>

struct SerialQueue::State {
    using Clock = std::chrono::steady_clock;

    explicit State(QString l) : label(std::move(l)) {}

    const QString label;
    SerialQueue* owner = nullptr;  // cleared when the queue object goes away
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<std::function<void()>> ready;
    // Delayed work by due time; the sequence number keeps equal due times in hand-in order.
    std::map<std::pair<Clock::time_point, quint64>, std::function<void()>> delayed;
    quint64 sequence = 0;
    bool stopping = false;
};

namespace {

thread_local SerialQueue::State* currentState = nullptr;

}  // namespace

SerialQueue::SerialQueue(QString label) : state_(std::make_shared<State>(std::move(label))) {
    state_->owner = this;
    std::thread thread([state = state_] { loop(state); });
    // Thread names are limited to 15 bytes; the tail of a reverse-DNS label says the most.
    const QByteArray name = state_->label.toUtf8().right(15);
    pthread_setname_np(thread.native_handle(), name.constData());
    thread_ = std::move(thread);
}

SerialQueue::~SerialQueue() {
    {
        std::lock_guard lock(state_->mutex);
        state_->stopping = true;
        state_->owner = nullptr;
    }
    state_->wake.notify_all();
    if (isCurrent()) {
        // Work running on this queue cannot wait for the queue to end: the thread drains what
        // is left and ends on its own.
        thread_.detach();
    } else {
        thread_.join();
    }
}

QString SerialQueue::label() const { return state_->label; }

void SerialQueue::async(std::function<void()> work) {
    if (!work) return;
    {
        std::lock_guard lock(state_->mutex);
        state_->ready.push_back(std::move(work));
    }
    state_->wake.notify_one();
}

void SerialQueue::async(std::shared_ptr<WorkItem> item) {
    if (!item) return;
    async([item = std::move(item)] { item->perform(); });
}

void SerialQueue::asyncAfter(int delayMs, std::function<void()> work) {
    if (!work) return;
    if (delayMs <= 0) {
        async(std::move(work));
        return;
    }
    {
        std::lock_guard lock(state_->mutex);
        const auto due = State::Clock::now() + std::chrono::milliseconds(delayMs);
        state_->delayed.emplace(std::make_pair(due, state_->sequence++), std::move(work));
    }
    state_->wake.notify_one();
}

void SerialQueue::asyncAfter(int delayMs, std::shared_ptr<WorkItem> item) {
    if (!item) return;
    asyncAfter(delayMs, [item = std::move(item)] { item->perform(); });
}

bool SerialQueue::isCurrent() const { return currentState == state_.get(); }

SerialQueue* SerialQueue::current() {
    if (!currentState) return nullptr;
    std::lock_guard lock(currentState->mutex);
    return currentState->owner;
}

void SerialQueue::syncImpl(const std::function<void()>& work) {
    std::mutex doneMutex;
    std::condition_variable doneChanged;
    bool done = false;
    async([&] {
        work();
        std::lock_guard lock(doneMutex);
        done = true;
        doneChanged.notify_one();
    });
    std::unique_lock lock(doneMutex);
    doneChanged.wait(lock, [&] { return done; });
}

void SerialQueue::loop(const std::shared_ptr<State>& state) {
    currentState = state.get();
    std::unique_lock lock(state->mutex);
    for (;;) {
        // Delayed work whose time has come joins the queue behind what is already there.
        const auto now = State::Clock::now();
        while (!state->delayed.empty() && state->delayed.begin()->first.first <= now) {
            state->ready.push_back(std::move(state->delayed.begin()->second));
            state->delayed.erase(state->delayed.begin());
        }
        if (!state->ready.empty()) {
            std::function<void()> work = std::move(state->ready.front());
            state->ready.pop_front();
            lock.unlock();
            try {
                work();
            } catch (const std::exception& e) {
                qCritical("SerialQueue %s: work threw: %s", qPrintable(state->label), e.what());
            } catch (...) {
                qCritical("SerialQueue %s: work threw", qPrintable(state->label));
            }
            work = nullptr;  // its captures go away off the lock, before the next piece starts
            lock.lock();
            continue;
        }
        if (state->stopping) break;
        if (state->delayed.empty()) {
            state->wake.wait(lock);
        } else {
            state->wake.wait_until(lock, state->delayed.begin()->first.first);
        }
    }
    // Dropped delayed work may hold the last reference to objects that expect to die off the lock.
    auto dropped = std::move(state->delayed);
    lock.unlock();
    dropped.clear();
    currentState = nullptr;
}
