#pragma once

// The file manager's end of the message ports, without Qt: a file-manager plug-in loads it into
// a process that must never load Qt nor wait on the application. It registers with the running
// application, keeps the badges it was told or answered, and tells its owner what changed.

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace OrvellaPorts {

class ExtensionClient {
public:
    // Every callback runs on the client's own thread, never on the caller's: a plug-in hops to
    // its main loop itself. They may run until the destructor has returned, not after. They may
    // call the client's methods, but must not destroy it.
    struct Callbacks {
        // The application answered a registration, or pushed a new sync folder (absolute path,
        // no trailing "/"). Badges known before belong to the former folder and are forgotten.
        std::function<void(const std::string& syncFolder)> syncFolderChanged;
        // A badge became known or changed, by a push or an answered query. `path` is absolute.
        std::function<void(const std::string& path, const std::string& badge)> badgeChanged;
        // The application went away (quit, crashed, restarted); badges are forgotten and the
        // client registers again every `retryInterval` until it is answered.
        std::function<void()> applicationWentAway;
    };

    struct Options {
        std::string appGroupIdentifier;  // names the application's ports
        // The ports folder; empty: the one the application uses ($XDG_RUNTIME_DIR/orvella-ports,
        // or the temporary folder's orvella-ports-<uid>).
        std::string portsDirectory;
        std::chrono::milliseconds retryInterval{5000};
        // The longest any one exchange with the application may take.
        std::chrono::milliseconds timeout{1000};
    };

    ExtensionClient(Options options, Callbacks callbacks);
    ~ExtensionClient();
    ExtensionClient(const ExtensionClient&) = delete;
    ExtensionClient& operator=(const ExtensionClient&) = delete;

    // The sync folder the application last named; none before it answered or after it went away.
    std::optional<std::string> syncFolder() const;
    // Whether `path` is the sync folder or lies inside it (by path components, not by prefix).
    bool isInsideSyncFolder(const std::string& path) const;
    // At once, from what is known: the badge word of an item ("synced", "syncing", "error",
    // "readOnly", "selectivelyNotSynced", "ignored", "unknown"), or none when not known yet.
    std::optional<std::string> cachedBadge(const std::string& path) const;
    // Asks the application for these items' badges, together, on the client's thread; each
    // answer comes through badgeChanged. Returns at once. Paths outside the sync folder are skipped.
    // Asked before the application answered (or while it is away), they are asked once it has,
    // as far as they lie in its sync folder; so are the items known before it went away. An item
    // whose name is not UTF-8 is never asked: the application would answer for another name. A
    // query unanswered within `timeout` leaves its item without a badge.
    void requestBadges(std::vector<std::string> paths);
    // The name of the client's own port, under which the application pushes to it:
    // "<appGroupIdentifier>.<7 letters or digits>", fixed for the client's life.
    std::string portName() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace OrvellaPorts
