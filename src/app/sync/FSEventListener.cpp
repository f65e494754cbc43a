#include "app/sync/FSEventListener.h"

#include "app/common/LogChannels.h"
#include "platform/foundation/SerialQueue.h"

// Shared with the stream's callback, so that a listener let go from inside its own handler does
// not pull the handler from under the batch that is running.
struct FSEventListener::State {
    Handler handler;
    FileEventStream* stream = nullptr;  // cleared when the listener goes away
};

FSEventListener::FSEventListener(const QString& path, Handler handler, std::chrono::milliseconds latency)
    : callBackQueue_(std::make_unique<SerialQueue>(QStringLiteral("FSEventListener"))),
      state_(std::make_shared<State>()) {
    state_->handler = std::move(handler);
    auto stream = std::make_unique<FileEventStream>(
        path, *callBackQueue_,
        [state = state_](const std::vector<FileEvent>& events) {
            deliver(events, state->handler, [&state] { return state->stream && state->stream->isRunning(); });
        },
        latency);
    stream->setLogHandler([](const QString& message) { OVLOG_WARNING(AppLog::fsEvents(), message); });
    if (stream->start()) {
        eventStream_ = std::move(stream);
        state_->stream = eventStream_.get();
    }
}

FSEventListener::~FSEventListener() {
    if (eventStream_) eventStream_->stop();
    state_->stream = nullptr;
    eventStream_.reset();
    callBackQueue_.reset();
}

void FSEventListener::deliver(const std::vector<FileEvent>& events, const Handler& handler,
                              const std::function<bool()>& keepGoing) {
    const auto hand = [&](const std::vector<FSEvent>& batch) {
        if (keepGoing && !keepGoing()) return false;
        handler(batch);
        return true;
    };
    std::vector<FSEvent> batch;
    for (const FileEvent& raw : events) {
        const FSEvent::Flags flags(raw.flags);
        QString oldPath;
        if (!batch.empty()) {
            const FSEvent& last = batch.back();
            if (raw.id < last.id || raw.id != last.id + 1) {
                if (!hand(batch)) return;
                batch.clear();
            } else if (flags.contains(FSEvent::Flags::renamed) && last.flags.contains(FSEvent::Flags::renamed) &&
                       last.oldPath.isEmpty()) {
                oldPath = last.path;
            }
        }
        batch.push_back(FSEvent{raw.path, flags, raw.id, C::FSEvent::Action::none, oldPath});
    }
    hand(batch);
}
