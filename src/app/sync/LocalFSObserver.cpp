#include "app/sync/LocalFSObserver.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

#include "app/common/LogChannels.h"
#include "app/sync/FSEventListener.h"
#include "app/sync/LocalFSObserverDelegate.h"
#include "frameworks/sync/LocalChangesListener.h"
#include "platform/foundation/SerialQueue.h"

using Action = C::FSEvent::Action;
using Flag = FSEvent::Flags::Flag;

LocalFSObserver::LocalFSObserver(const QString& rootPath, LocalChangesListener* localChangesListener,
                                 FileExists fileExists, LocalFSObserverDelegate* delegate,
                                 std::unique_ptr<FSEventListenerProtocol> eventSource,
                                 std::chrono::milliseconds latency)
    : rootPath_(QDir::cleanPath(QDir(rootPath).absolutePath())),
      localChangesListener_(localChangesListener),
      fSEventListener_(std::move(eventSource)),
      fileExists_(fileExists ? std::move(fileExists) : defaultFileExists()),
      delegate_(delegate) {
    if (!fSEventListener_) {
        auto listener = std::make_unique<FSEventListener>(
            rootPath_, [this](const std::vector<FSEvent>& events) { eventHandler(events); }, latency);
        // What changed between the engine's own look at the folder and the watches being in place
        // reached nobody: once they are, have the engine look again. On the event queue, so it
        // comes before every event that follows.
        if (FileEventStream* stream = listener->eventStream()) {
            listener->callBackQueue().async([this, stream] {
                stream->waitUntilReady(30000);
                if (localChangesListener_) localChangesListener_->mustScanSubDirectories();
            });
        }
        fSEventListener_ = std::move(listener);
    }
}

LocalFSObserver::~LocalFSObserver() { stop(); }

LocalFSObserver::FileExists LocalFSObserver::defaultFileExists() {
    return [](const QString& path) { return QFileInfo::exists(path); };
}

void LocalFSObserver::stop() {
    if (!fSEventListener_) return;
    if (FileEventStream* stream = fSEventListener_->eventStream()) {
        stream->stop();
        stream->invalidate();
    }
    fSEventListener_.reset();
}

void LocalFSObserver::eventHandler(const std::vector<FSEvent>& events) {
    std::vector<FSEvent> changes = classify(events);
    sort(changes);
    changes = coalesce(changes);
    if (handleRootFolderEvent(changes)) return;
    const QString count = QString::number(changes.size());
    OVLOG_DEBUG(AppLog::fsEvents(), QStringLiteral("Start dispatching ") + count + QStringLiteral(" Events to SyncFrameWork"));
    for (const FSEvent& event : changes) dispatch(event);
    OVLOG_DEBUG(AppLog::fsEvents(),
                QStringLiteral("Succesfully dispatched ") + count + QStringLiteral(" Events to SyncFrameWork"));
}

Action LocalFSObserver::action(const FSEvent& event, bool exists, int renamedCount) {
    const FSEvent::Flags f = event.flags;
    const bool renamed = f.contains(Flag::renamed);
    const bool created = f.contains(Flag::created);
    const bool isFile = f.contains(Flag::isFile);
    if (!exists) {
        // A lone rename half is a move out of the folder; of a pair, the half that is gone and
        // has no partner before it is the old name.
        if (!renamed || renamedCount == 1) return Action::itemDeleted;
        if (created) return Action::ignore;
        return event.oldPath.isEmpty() ? Action::ignore : Action::itemDeleted;
    }
    // Both kinds at one path in one burst: a file replaced by a folder, or the other way round.
    // Whatever is there now must be looked at; the listener takes any change to look at it anew.
    if (isFile && f.contains(Flag::isDirectory) && created && !renamed) return Action::fileUpdated;
    if (renamed && renamedCount == 1) return isFile ? Action::fileAdded : Action::directoryAdded;
    if (renamed && !created) {
        // The old name of a pair whose path was taken again (say, by a save that moves the file
        // aside and a new version in): what sits there now has an event of its own, and a move
        // needs the path it came from.
        if (event.oldPath.isEmpty()) return Action::ignore;
        return isFile ? Action::fileMovedOrRenamed : Action::directoryMovedOrRenamed;
    }
    if (created && f.contains(Flag::modified)) return isFile ? Action::fileAdded : Action::directoryAdded;
    if (!isFile) {
        if (f.contains(Flag::isDirectory) && (created || renamed)) return Action::directoryAdded;
        if (f == (Flag::isDirectory | Flag::removed)) return Action::directoryDeleted;
        if (f.contains(Flag::mustScanSubDirs)) return Action::mustScanSubDirs;
        if (f.contains(Flag::changeOwner)) return Action::itemPermissionChanged;
        return Action::none;
    }
    if (f.contains(Flag::modified) || renamed) return Action::fileUpdated;
    if (created && f.contains(Flag::itemCloned)) return Action::fileAdded;
    if (f == (Flag::isFile | Flag::removed)) return Action::fileDeleted;
    if (f.contains(Flag::changeOwner)) return Action::itemPermissionChanged;
    return Action::none;
}

std::vector<FSEvent> LocalFSObserver::classify(const std::vector<FSEvent>& events) const {
    const int renamedCount = static_cast<int>(
        std::count_if(events.begin(), events.end(), [](const FSEvent& e) { return e.flags.contains(Flag::renamed); }));
    std::vector<FSEvent> result;
    result.reserve(events.size());
    std::unordered_set<FSEvent> seen;
    for (const FSEvent& event : events) {
        if (!seen.insert(event).second) continue;
        FSEvent classified = event;
        classified.action = action(event, fileExists_(event.path), renamedCount);
        result.push_back(std::move(classified));
    }
    return result;
}

void LocalFSObserver::sort(std::vector<FSEvent>& events) {
    std::stable_sort(events.begin(), events.end(), [](const FSEvent& a, const FSEvent& b) {
        const int rankA = C::FSEvent::sortRank(a.action);
        const int rankB = C::FSEvent::sortRank(b.action);
        return rankA != rankB ? rankA < rankB : a.id < b.id;
    });
}

std::vector<FSEvent> LocalFSObserver::coalesce(const std::vector<FSEvent>& events) {
    std::vector<FSEvent> result;
    // Per path, the last event taken over unchanged.
    std::unordered_map<QString, FSEvent> seen;
    const auto isPair = [](Action a, Action b, Action moved, Action deleted) {
        return (a == moved && b == deleted) || (a == deleted && b == moved);
    };
    for (const FSEvent& event : events) {
        const auto previous = seen.find(event.path);
        if (previous != seen.end()) {
            const Action p = previous->second.action;
            Action replaced = Action::none;
            if (isPair(p, event.action, Action::fileMovedOrRenamed, Action::fileDeleted)) replaced = Action::fileReplaced;
            else if (isPair(p, event.action, Action::directoryMovedOrRenamed, Action::directoryDeleted))
                replaced = Action::directoryReplaced;
            if (replaced != Action::none) {
                // The replacement comes from where the moved half was before.
                const FSEvent& moved = (p == Action::fileMovedOrRenamed || p == Action::directoryMovedOrRenamed)
                                           ? previous->second
                                           : event;
                FSEvent folded = event;
                folded.action = replaced;
                folded.oldPath = moved.oldPath;
                std::erase_if(result, [&](const FSEvent& e) { return e.path == event.path; });
                result.push_back(std::move(folded));
                continue;
            }
        }
        seen.insert_or_assign(event.path, event);
        result.push_back(event);
    }
    return result;
}

bool LocalFSObserver::handleRootFolderEvent(const std::vector<FSEvent>& events) {
    if (events.size() != 1 || events.front().path != rootPath_) return false;
    const FSEvent& event = events.front();
    if (event.flags.contains(Flag::rootChanged)) {
        if (event.action == Action::itemDeleted && delegate_) delegate_->rootFolderRemoved();
        return true;
    }
    return event.action == Action::itemDeleted;
}

void LocalFSObserver::dispatch(const FSEvent& event) {
    const qsizetype slash = event.path.lastIndexOf(QLatin1Char('/'));
    if (QStringView(event.path).mid(slash + 1) == QLatin1String(".DS_Store")) {
        OVLOG_DEBUG(AppLog::fsEvents(), QStringLiteral("IgnoredEvent: ") + event.description());
        return;
    }
    if (!localChangesListener_) {
        OVLOG_DEBUG(AppLog::fsEvents(), QStringLiteral("Local changes listener is nil. Ignore ") + event.description());
        return;
    }
    LocalChangesListener& listener = *localChangesListener_;
    switch (event.action) {
    case Action::none:
    case Action::ignore:
        OVLOG_DEBUG(AppLog::fsEvents(), QStringLiteral("IgnoredEvent: ") + event.description());
        return;
    case Action::fileAdded:
    case Action::fileUpdated:
        listener.fileChanged(event.path);
        return;
    case Action::fileMovedOrRenamed:
        listener.fileMoved(event.oldPath, event.path);
        return;
    case Action::fileReplaced:
        listener.fileReplaced(event.oldPath, event.path);
        return;
    case Action::directoryAdded:
        listener.directoryAdded(event.path);
        return;
    case Action::directoryMovedOrRenamed:
        listener.directoryMoved(event.oldPath, event.path);
        return;
    case Action::directoryReplaced:
        listener.directoryReplaced(event.oldPath, event.path);
        return;
    case Action::fileDeleted:
    case Action::directoryDeleted:
    case Action::itemDeleted:
        listener.itemDeleted(event.path);
        return;
    case Action::itemPermissionChanged:
        listener.itemPermissionChanged(event.path, event.flags.contains(Flag::isDirectory));
        return;
    case Action::mustScanSubDirs:
        listener.mustScanSubDirectories();
        return;
    }
}
