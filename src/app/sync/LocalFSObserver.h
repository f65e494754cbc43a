#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "app/sync/FSEvent.h"
#include "app/sync/FSEventListenerProtocol.h"
#include "platform/fsevents/FileEventStream.h"

class LocalChangesListener;
class LocalFSObserverDelegate;

// Turns the sync folder's file-system events into the sync engine's local changes: decides what
// each event means, drops repeats, puts a batch in a fixed order, folds a move and a deletion on
// one path into one replacement, keeps events on the sync folder itself from the engine (its
// removal goes to the delegate), skips ".DS_Store", and calls the listener once per change.
//
// Everything runs on the event source's serial queue, one batch at a time. The listener and the
// delegate are not owned: both must outlive stop().
class LocalFSObserver {
public:
    // Whether anything exists at a path (following symbolic links).
    using FileExists = std::function<bool(const QString& path)>;

    // The flags that matter most (created, removed, renamed, modified); every event of a batch
    // is classified all the same.
    static constexpr FSEvent::Flags flagFilter{0x1B00};

    // Without an event source the observer watches `rootPath` itself, at once.
    LocalFSObserver(const QString& rootPath, LocalChangesListener* localChangesListener, FileExists fileExists,
                    LocalFSObserverDelegate* delegate, std::unique_ptr<FSEventListenerProtocol> eventSource = nullptr,
                    std::chrono::milliseconds latency = FileEventStream::defaultLatency);
    ~LocalFSObserver();
    LocalFSObserver(const LocalFSObserver&) = delete;
    LocalFSObserver& operator=(const LocalFSObserver&) = delete;

    static FileExists defaultFileExists();

    const QString& rootPath() const { return rootPath_; }
    FSEventListenerProtocol* fSEventListener() const { return fSEventListener_.get(); }

    // Stops and lets go of the event source; no listener or delegate call follows once it
    // returns (unless called from the event queue itself, where the running batch is the last).
    void stop();

    // One batch, through the whole road below.
    void eventHandler(const std::vector<FSEvent>& events);

    // The steps of the road, in order.
    std::vector<FSEvent> classify(const std::vector<FSEvent>& events) const;
    static void sort(std::vector<FSEvent>& events);
    static std::vector<FSEvent> coalesce(const std::vector<FSEvent>& events);
    // True when the batch is a lone event on the sync folder itself and is handled here.
    bool handleRootFolderEvent(const std::vector<FSEvent>& events);
    void dispatch(const FSEvent& event);

    // The meaning of one event, given whether its path exists and how many events of its batch
    // are rename halves.
    static C::FSEvent::Action action(const FSEvent& event, bool exists, int renamedCount);

private:
    QString rootPath_;
    LocalChangesListener* localChangesListener_;
    std::unique_ptr<FSEventListenerProtocol> fSEventListener_;
    FileExists fileExists_;
    LocalFSObserverDelegate* delegate_;
};
