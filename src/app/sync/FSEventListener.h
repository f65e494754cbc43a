#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "app/sync/FSEvent.h"
#include "app/sync/FSEventListenerProtocol.h"
#include "platform/fsevents/FileEvent.h"
#include "platform/fsevents/FileEventStream.h"

class SerialQueue;

// Watches one folder from now on and hands its events to the handler in runs of consecutive
// event ids, with the second half of a rename pointing back to the first. The handler runs on the
// listener's own serial queue, one batch at a time.
//
// Created running. The owner stops and invalidates the stream before letting the listener go;
// destroying a listener whose stream still runs stops it first.
class FSEventListener : public FSEventListenerProtocol {
public:
    using Handler = std::function<void(const std::vector<FSEvent>& events)>;

    explicit FSEventListener(const QString& path, Handler handler,
                             std::chrono::milliseconds latency = FileEventStream::defaultLatency);
    ~FSEventListener() override;
    FSEventListener(const FSEventListener&) = delete;
    FSEventListener& operator=(const FSEventListener&) = delete;

    FileEventStream* eventStream() const override { return eventStream_.get(); }
    SerialQueue& callBackQueue() const { return *callBackQueue_; }

    // Cuts one delivery of the stream into runs of consecutive ids, calls the handler with each
    // run in order (once with an empty run for an empty delivery), and pairs rename halves two by
    // two within a run. Stops early once `keepGoing` answers false.
    static void deliver(const std::vector<FileEvent>& events, const Handler& handler,
                        const std::function<bool()>& keepGoing = {});

private:
    struct State;

    // The queue goes last: the stream must be stopped before it.
    std::unique_ptr<SerialQueue> callBackQueue_;
    std::shared_ptr<State> state_;
    std::unique_ptr<FileEventStream> eventStream_;
};
