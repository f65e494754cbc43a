#pragma once

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

// What the journal knew of a path when it answered.
struct ServicePathState {
    enum class Kind : std::uint8_t { gone, file, folder, other };
    // The journal keeps this many low bits of an inode number.
    static constexpr std::uint64_t inodeMask = (std::uint64_t(1) << 62) - 1;
    Kind kind = Kind::gone;
    std::int64_t size = 0;  // a file's
    std::int64_t mtimeNs = 0;
    std::uint64_t inode = 0;  // masked with inodeMask
    bool operator==(const ServicePathState&) const = default;
};

// What changed in a user's tree after a cursor.
struct ServiceChanges {
    // Where to ask from next time.
    QString cursor;
    // The cursor given was not known (too old, from before a lost journal, or none): nothing is
    // listed, the caller looks at the whole tree again and asks from `cursor` on.
    bool reset = false;
    // Paths relative to the user's tree that may have changed, each once and sorted; a folder
    // stands for everything below it, and "" for the whole tree.
    QStringList paths;
    // What each of `paths` was when the journal answered, in the same order, so that a caller can
    // tell a change it made itself from one made since without looking; empty when not told (as
    // across the network). A change after the answer is listed by a later one.
    std::vector<ServicePathState> states;
    bool operator==(const ServiceChanges&) const = default;
};

// The change journal of a service root: watches the users' trees (inotify, so that files put
// there by anyone count) and numbers every change per user, so that clients ask for the changes
// after a cursor instead of walking the tree, and the used bytes are kept by the sizes that
// changed. The tree is walked only when a user is first asked for in this process (comparing it
// with the snapshot kept at the last stop, so that changes made while nothing ran are found) and
// after the kernel's queue overflowed.
//
// There is one journal per root in a process (two would watch everything twice and hand out
// cursors of different sequences for one tree): every service object on the root gets the same
// one from `forRoot`. Its own files live in "journal" under the root, never in a user's tree.
// Another process on the same root journals for itself; only the first to start keeps snapshots
// there, the others begin without one (their clients' cursors get a reset). The one that keeps them
// removes, as it starts, the temp files of snapshot writes that a killed run left behind.
class ChangeJournal {
public:
    static std::shared_ptr<ChangeJournal> forRoot(const QString& root);

    explicit ChangeJournal(QString root);
    ~ChangeJournal();
    ChangeJournal(const ChangeJournal&) = delete;
    ChangeJournal& operator=(const ChangeJournal&) = delete;

    // The changes after `cursor` in the tree of `userName` (whose home is "users/<name>"): at once
    // when there are any, else when one comes, `timeout` is over or `stop` is requested (then with
    // no paths and the same cursor). None when the tree cannot be watched at all.
    std::optional<ServiceChanges> changesSince(const QString& userName, const QString& cursor,
                                               std::chrono::milliseconds timeout, std::stop_token stop = {});
    // Told the user's name each time a change of that user is numbered, so that a waiter needs no
    // thread of its own. Called with the journal's lock held, on its reader thread or a caller's:
    // it must be quick and must not call the journal.
    using Listener = std::function<void(const QString& userName)>;
    int addListener(Listener listener);
    void removeListener(int id);

    // The bytes of the user's files, temp files of transfers left out; none as above.
    std::optional<std::int64_t> usedBytes(const QString& userName);

    // Writes the snapshots of every user with changes not yet written.
    void save();
    // While paused, the kernel's events wait in its queue unread.
    void pauseReading(bool paused);
    // Drops whatever the kernel queued and walks the trees again, as after an overflow of its queue.
    void rescanAsAfterOverflow();

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};
