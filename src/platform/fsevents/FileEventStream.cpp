#include "platform/fsevents/FileEventStream.h"

#include "platform/fsevents/InodeTable.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QtGlobal>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/SerialQueue.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace F = FileEventFlag;

// Process-wide, so that no two deliveries of any stream share an id.
std::atomic<std::uint64_t> nextEventId{1};

constexpr std::uint32_t treeMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB |
                                   IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF |
                                   IN_ONLYDIR | IN_DONT_FOLLOW | IN_EXCL_UNLINK;
// Folders above the root only matter when they move or go away.
constexpr std::uint32_t ancestorMask = IN_MOVE_SELF | IN_DELETE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW;

// A delivery holding more operations than this is cut short and reported as dropped events.
constexpr std::size_t maxPendingOperations = 1'000'000;

// A moved-from half at the very end of a read may have its partner still on the way: wait this
// long for it before a delivery.
constexpr int partnerWaitMs = 2;

// The owners and modes remembered are looked over against the tree once they are this many and
// twice as many as the last look kept: entries of deleted items go, at a cost per created item that
// stays the same however large the tree.
constexpr std::size_t minEntriesBeforeSweep = 1024;

constexpr int detachedParent = -2;
constexpr int noParent = -1;

// Keeps callbacks from running once the stream has been stopped: every delivery passes it, and
// stopping closes it while holding the lock, so it also waits for a callback in progress.
struct Gate {
    std::recursive_mutex mutex;
    bool open = true;
    FileEventStream::Callback callback;
};

QByteArray joinPath(const QByteArray& dir, const QByteArray& name) {
    if (dir.endsWith('/')) return dir + name;
    return dir + '/' + name;
}

QByteArray joinPath(const QByteArray& dir, const char* name) {
    const qsizetype length = static_cast<qsizetype>(std::strlen(name));
    QByteArray result;
    result.reserve(dir.size() + 1 + length);
    result.append(dir);
    if (!dir.endsWith('/')) result.append('/');
    result.append(name, length);
    return result;
}

// A folder's entries read straight from the kernel into one buffer kept for the whole walk: no
// allocation per folder, and each entry comes with its type.
class FolderReader {
public:
    // Calls `visit(name, type)` for every entry but "." and ".."; type is a DT_ value, DT_UNKNOWN
    // where the file system does not tell.
    template <typename Visit>
    void forEach(int dirFd, Visit&& visit) {
        while (true) {
            const ssize_t length = getdents64(dirFd, buffer_.data(), buffer_.size());
            if (length <= 0) return;
            for (ssize_t offset = 0; offset < length;) {
                const auto* entry = reinterpret_cast<const dirent64*>(buffer_.data() + offset);
                offset += entry->d_reclen;
                const char* name = entry->d_name;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
                visit(name, entryTypesUnknown ? static_cast<unsigned char>(DT_UNKNOWN) : entry->d_type);
            }
        }
    }

    bool entryTypesUnknown = false;

private:
    alignas(dirent64) std::array<char, 32 * 1024> buffer_;
};

timespec coarseNow() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME_COARSE, &now);
    return now;
}

bool notBefore(const timespec& a, const timespec& b) {
    return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec >= b.tv_nsec;
}

}  // namespace

struct FileEventStream::Impl {
    Impl(QString p, SerialQueue& q, Callback cb, std::chrono::milliseconds l)
        : path(std::move(p)), queue(q), callback(std::move(cb)), latency(l) {}

    void log(const QString& message) {
        std::lock_guard lock(logMutex);
        if (logHandler) logHandler(message);
        else qWarning("%s", qUtf8Printable(message));
    }

    void markReady() {
        {
            std::lock_guard lock(readyMutex);
            ready = true;
        }
        readyChanged.notify_all();
    }

    void markOwnersKnown(bool known) {
        {
            std::lock_guard lock(readyMutex);
            ownersKnown = known;
        }
        if (known) readyChanged.notify_all();
    }

    QString path;
    QByteArray rootBytes;
    SerialQueue& queue;
    Callback callback;
    const std::chrono::milliseconds latency;
    bool invalidated = false;

    std::mutex logMutex;
    LogHandler logHandler;

    std::thread thread;
    int wakeFd = -1;
    std::shared_ptr<Gate> gate;
    std::atomic<bool> running{false};
    std::atomic<bool> stopRequested{false};
    std::atomic<bool> overflowRequested{false};
    std::atomic<int> watchLimit{-1};
    std::atomic<std::size_t> watchCount{0};
    std::atomic<std::size_t> rememberedCount{0};
    bool entryTypesUnknown = false;
    SetUpHook setUpHook;

    mutable std::mutex readyMutex;
    mutable std::condition_variable readyChanged;
    bool ready = false;
    bool ownersKnown = false;
};

// Everything that lives on the watch thread: the inotify instance, the folder tree it watches
// and the operations waiting for the next delivery.
class FileEventStreamWatcher {
public:
    FileEventStreamWatcher(FileEventStream::Impl& owner, int inotifyFd, std::shared_ptr<Gate> gate)
        : owner_(owner), fd_(inotifyFd), gate_(std::move(gate)), root_(owner.rootBytes) {
        reader_.entryTypesUnknown = owner.entryTypesUnknown;
    }

    ~FileEventStreamWatcher() {
        if (fd_ >= 0) ::close(fd_);
    }

    void run() {
        setUpWatches();
        owner_.markReady();
        while (!owner_.stopRequested.load()) {
            if (!unread_.empty()) readSomeOwners();
            else if (!unswept_.empty()) sweepSome();
            else if (meta_.size() > std::max(2 * keptBySweep_, minEntriesBeforeSweep)) startSweep();
            owner_.rememberedCount.store(meta_.size());
            int timeout = -1;
            if (!unread_.empty() || !unswept_.empty()) {
                timeout = 0;
            } else if (!pending_.empty()) {
                const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - Clock::now());
                timeout = std::max<int>(0, static_cast<int>(left.count()));
            }
            pollfd fds[2] = {{owner_.wakeFd, POLLIN, 0}, {fd_, POLLIN, 0}};
            const int ready = ::poll(fds, 2, timeout);
            if (ready < 0 && errno != EINTR) break;
            if (fds[0].revents & POLLIN) {
                eventfd_t value = 0;
                eventfd_read(owner_.wakeFd, &value);
            }
            if (owner_.stopRequested.load()) break;
            if (owner_.overflowRequested.exchange(false)) handleOverflow();
            if (fds[1].revents & POLLIN) drain();
            if (!pending_.empty() && Clock::now() >= deadline_) flush();
        }
    }

private:
    struct Node {
        int parent = noParent;
        QByteArray name;  // the full path for the root
        QHash<QByteArray, int> children;
    };

    struct Operation {
        enum Kind : std::uint8_t { change, movedFrom, movedTo, lost, rootChanged };
        Kind kind;
        QByteArray path;
        std::uint32_t flags;
        std::uint32_t cookie;
    };

    using Meta = InodeMeta;

    // ---- watches

    void setUpWatches() {
        // Before any watch: whatever changes from here on may have an event on its way.
        setUpBegan_ = coarseNow();
        owner_.markOwnersKnown(false);
        watchTree();
        if (unread_.empty()) owner_.markOwnersKnown(true);
    }

    void watchTree() {
        // Every folder above the root, so that moving any of them is noticed.
        QByteArray ancestor = root_;
        while (true) {
            const int slash = ancestor.lastIndexOf('/');
            if (slash <= 0) break;
            ancestor.truncate(slash);
            const int wd = inotify_add_watch(fd_, ancestor.constData(), ancestorMask);
            if (wd >= 0) ancestors_.insert(wd);
        }
        const int wd = inotify_add_watch(fd_, root_.constData(), treeMask);
        if (wd < 0) {
            if (errno == ENOSPC) {
                outOfWatches(root_);
            } else {
                owner_.log(QStringLiteral("Cannot watch %1: %2")
                               .arg(QFile::decodeName(root_), QString::fromLocal8Bit(strerror(errno))));
                reportRootChanged(0);
            }
            return;
        }
        rootWd_ = wd;
        nodes_.insert(wd, Node{noParent, root_, {}});
        owner_.watchCount.store(nodes_.size());
        scan(rootWd_, root_, false);
        if (owner_.setUpHook) owner_.setUpHook(FileEventStream::SetUpStage::watchesInPlace, owner_.path);
    }

    // Watches `path`, the entry `name` of the folder watched by `parentWd`. Answers the watch
    // and whether it is new; -1 when it could not be added.
    std::pair<int, bool> addWatch(const QByteArray& path, int parentWd, const QByteArray& name) {
        const int limit = owner_.watchLimit.load();
        if (limit >= 0 && nodes_.size() >= static_cast<qsizetype>(limit) + 1) {
            outOfWatches(path);
            return {-1, false};
        }
        const int wd = inotify_add_watch(fd_, path.constData(), treeMask);
        if (wd < 0) {
            if (errno == ENOSPC) outOfWatches(path);
            // Gone already, or not a folder any more: its removal is reported by its parent.
            return {-1, false};
        }
        const auto known = nodes_.find(wd);
        if (known != nodes_.end()) {
            // The same folder reached again; a detached (moving) folder found in place is home.
            if (known->parent == detachedParent) attach(wd, parentWd, name);
            return {wd, false};
        }
        nodes_.insert(wd, Node{parentWd, name, {}});
        nodes_[parentWd].children.insert(name, wd);
        owner_.watchCount.store(nodes_.size());
        return {wd, true};
    }

    void attach(int wd, int parentWd, const QByteArray& name) {
        auto node = nodes_.find(wd);
        if (node == nodes_.end()) return;
        auto parent = nodes_.find(parentWd);
        if (parent == nodes_.end()) return;
        const int previous = parent->children.value(name, -1);
        if (previous >= 0 && previous != wd) forget(previous, true);  // replaced by the rename
        node = nodes_.find(wd);
        node->parent = parentWd;
        node->name = name;
        nodes_[parentWd].children.insert(name, wd);
    }

    void detach(int wd) {
        auto node = nodes_.find(wd);
        if (node == nodes_.end()) return;
        auto parent = nodes_.find(node->parent);
        if (parent != nodes_.end() && parent->children.value(node->name, -1) == wd)
            parent->children.remove(node->name);
        node->parent = detachedParent;
    }

    // Drops a folder and everything below it from the bookkeeping; `removeWatches` when the
    // folders still exist elsewhere (the kernel drops the watches of deleted ones itself).
    void forget(int wd, bool removeWatches) {
        detach(wd);
        std::vector<int> stack{wd};
        while (!stack.empty()) {
            const int current = stack.back();
            stack.pop_back();
            const auto node = nodes_.find(current);
            if (node == nodes_.end()) continue;
            for (const int child : std::as_const(node->children)) stack.push_back(child);
            nodes_.erase(node);
            if (removeWatches) inotify_rm_watch(fd_, current);
        }
        owner_.watchCount.store(nodes_.size());
    }

    QByteArray pathOf(int wd) const {
        QList<const QByteArray*> parts;
        int current = wd;
        while (current != noParent) {
            const auto node = nodes_.constFind(current);
            if (node == nodes_.cend() || node->parent == detachedParent) return {};
            parts.prepend(&node->name);
            current = node->parent;
        }
        QByteArray result = *parts.first();
        for (qsizetype i = 1; i < parts.size(); ++i) result = joinPath(result, *parts[i]);
        return result;
    }

    // Walks a folder: watches every folder below it, and with `report` reports what it finds as
    // created and remembers every item's owner and mode. Without it (setting up), owners and modes
    // are left to readSomeOwners(), and the entry types the folder gives spare a stat per item.
    void scan(int startWd, QByteArray startPath, bool report) {
        std::vector<std::pair<int, QByteArray>> stack;
        stack.emplace_back(startWd, std::move(startPath));
        while (!stack.empty()) {
            auto [wd, path] = std::move(stack.back());
            stack.pop_back();
            if (!report) {
                unread_.push_back(wd);
                if (owner_.setUpHook)
                    owner_.setUpHook(FileEventStream::SetUpStage::folderWatched, QFile::decodeName(path));
            }
            const int dirFd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (dirFd < 0) continue;
            reader_.forEach(dirFd, [&](const char* raw, unsigned char type) {
                if (report || type == DT_UNKNOWN) {
                    struct stat st;
                    if (fstatat(dirFd, raw, &st, AT_SYMLINK_NOFOLLOW) != 0) return;
                    if (report) remember(st);
                    else keepFirstSeen(st);
                    type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISLNK(st.st_mode) ? DT_LNK : DT_REG;
                }
                if (type == DT_DIR) {
                    QByteArray childPath = joinPath(path, raw);
                    if (report) add(Operation::change, childPath, F::itemCreated | F::itemIsDir);
                    const auto [childWd, isNew] = addWatch(childPath, wd, QByteArray(raw));
                    if (childWd >= 0 && isNew) stack.emplace_back(childWd, std::move(childPath));
                } else if (report) {
                    const std::uint32_t flags =
                        type == DT_LNK ? F::itemIsSymlink : (F::itemIsFile | F::itemModified);
                    add(Operation::change, joinPath(path, raw), F::itemCreated | flags);
                }
            });
            ::close(dirFd);
        }
    }

    // Looks at the items of a share of `folders` (and at the root itself when it comes up), so
    // that events are not held up for long. Answers whether all folders have been looked at.
    template <typename Visit>
    bool lookAtSome(std::deque<int>& folders, Visit&& visit) {
        constexpr int itemsPerTurn = 4096;
        int items = 0;
        while (!folders.empty() && items < itemsPerTurn) {
            const int wd = folders.front();
            folders.pop_front();
            const QByteArray path = pathOf(wd);
            if (path.isEmpty()) continue;  // gone, or on its way elsewhere: its items were probed or lost
            struct stat st;
            if (wd == rootWd_ && ::lstat(path.constData(), &st) == 0) visit(st);
            const int dirFd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (dirFd < 0) continue;
            reader_.forEach(dirFd, [&](const char* raw, unsigned char) {
                ++items;
                if (fstatat(dirFd, raw, &st, AT_SYMLINK_NOFOLLOW) == 0) visit(st);
            });
            ::close(dirFd);
        }
        return folders.empty();
    }

    // Reads the owners and modes of what was there at set-up; what changed since set-up began is
    // kept as uncertain.
    void readSomeOwners() {
        if (!lookAtSome(unread_, [this](const struct stat& st) { keepFirstSeen(st); })) return;
        keptBySweep_ = meta_.size();
        owner_.rememberedCount.store(meta_.size());
        owner_.markOwnersKnown(true);
    }

    // Deleted items leave no name to find their entry by (the key is the inode, which hard links
    // share and moves keep): every so often, look over the tree and keep only the entries of what
    // is there. An entry dropped by mistake only makes the next metadata change count as a
    // permission change.
    void startSweep() {
        mark_ ^= 1;
        for (auto node = nodes_.cbegin(); node != nodes_.cend(); ++node)
            if (node->parent != detachedParent) unswept_.push_back(node.key());
    }

    void sweepSome() {
        const bool done = lookAtSome(unswept_, [this](const struct stat& st) {
            meta_.setMark(st.st_ino, mark_);
        });
        if (!done) return;
        // Entries written since the sweep began carry the mark too.
        meta_.keepIf([this](const Meta& meta) { return meta.mark == mark_; });
        keptBySweep_ = meta_.size();
    }

    void watchNewFolder(int parentWd, const QByteArray& name, const QByteArray& path) {
        const auto [wd, isNew] = addWatch(path, parentWd, name);
        if (wd >= 0 && isNew) scan(wd, path, true);
    }

    // ---- owner and mode, to tell a permission change from other metadata changes

    void remember(const struct stat& st) { meta_.assign(st.st_ino, Meta::of(st, mark_)); }

    // An event since set-up has told more than this late look can: keep what it left.
    void keepFirstSeen(const struct stat& st) {
        meta_.insert(st.st_ino, Meta::of(st, mark_, notBefore(st.st_ctim, setUpBegan_)));
    }

    // The type flag of an existing item, and whether its owner or mode differ from what was
    // remembered; remembers the new values.
    struct Probe {
        bool exists = false;
        std::uint32_t type = F::itemIsFile;
        bool ownerOrModeChanged = false;
        nlink_t links = 0;
    };

    Probe probe(const QByteArray& path, bool isDir) {
        Probe result;
        result.type = isDir ? F::itemIsDir : F::itemIsFile;
        struct stat st;
        if (::lstat(path.constData(), &st) != 0) return result;
        result.exists = true;
        if (S_ISDIR(st.st_mode)) result.type = F::itemIsDir;
        else if (S_ISLNK(st.st_mode)) result.type = F::itemIsSymlink;
        else result.type = F::itemIsFile;
        result.links = st.st_nlink;
        const Meta now = Meta::of(st, mark_);
        const std::optional<Meta> before = meta_.exchange(st.st_ino, now);
        // Not known yet (or not for sure): what it was before cannot be told, and a permission
        // change missed would leave the item as it was wherever it is synced.
        result.ownerOrModeChanged = !before || before->uncertain || !before->sameOwnerAndMode(now);
        return result;
    }

    // ---- inotify events

    void drain() {
        alignas(inotify_event) char buffer[64 * 1024];
        while (fd_ >= 0) {
            const ssize_t length = ::read(fd_, buffer, sizeof buffer);
            if (length <= 0) break;
            for (ssize_t offset = 0; offset < length;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
                handle(*event);
                offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
        }
        if (rootGone_ && fd_ >= 0) {
            // Nothing more to report: let go of every watch at once.
            ::close(fd_);
            fd_ = -1;
            nodes_.clear();
            ancestors_.clear();
            owner_.watchCount.store(0);
            unswept_.clear();
            meta_.clear();
        }
    }

    void handle(const inotify_event& event) {
        if (event.mask & IN_Q_OVERFLOW) {
            handleOverflow();
            return;
        }
        if (rootGone_) return;
        if (ancestors_.contains(event.wd)) {
            if (event.mask & (IN_MOVE_SELF | IN_DELETE_SELF)) reportRootChanged(0);
            else if (event.mask & IN_UNMOUNT) reportRootChanged(F::unmount);
            return;
        }
        if (!nodes_.contains(event.wd)) return;
        const bool isDir = event.mask & IN_ISDIR;
        if (event.len == 0 || event.name[0] == 0) {
            handleSelf(event.wd, event.mask);
            return;
        }
        const QByteArray dirPath = pathOf(event.wd);
        if (dirPath.isEmpty()) return;  // inside a folder that is on its way elsewhere
        const QByteArray name(event.name);
        const QByteArray path = joinPath(dirPath, name);

        if (event.mask & IN_CREATE) {
            const Probe item = probe(path, isDir);
            std::uint32_t flags = F::itemCreated | item.type;
            // A new hard link arrives with its content: nothing else will report it written.
            if (item.type == F::itemIsFile && item.links > 1) flags |= F::itemIsHardlink | F::itemModified;
            add(Operation::change, path, flags);
            if (isDir) watchNewFolder(event.wd, name, path);
        }
        if (event.mask & IN_DELETE) {
            add(Operation::change, path, F::itemRemoved | (isDir ? F::itemIsDir : F::itemIsFile));
            if (isDir) {
                const int child = nodes_[event.wd].children.value(name, -1);
                if (child >= 0) forget(child, false);
            }
        }
        if (event.mask & (IN_MODIFY | IN_CLOSE_WRITE)) {
            add(Operation::change, path, F::itemModified | (isDir ? F::itemIsDir : F::itemIsFile));
        }
        if (event.mask & IN_ATTRIB) {
            const Probe item = probe(path, isDir);
            add(Operation::change, path,
                F::itemInodeMetaMod | item.type | (item.ownerOrModeChanged ? F::itemChangeOwner : 0));
        }
        if (event.mask & IN_MOVED_FROM) {
            add(Operation::movedFrom, path, F::itemRenamed | (isDir ? F::itemIsDir : F::itemIsFile), event.cookie);
            lastMovedFrom_ = event.cookie;
            if (isDir) {
                const int child = nodes_[event.wd].children.value(name, -1);
                if (child >= 0) {
                    detach(child);
                    movingFolders_.insert(event.cookie, child);
                }
            }
        }
        if (event.mask & IN_MOVED_TO) {
            const Probe item = probe(path, isDir);
            add(Operation::movedTo, path, F::itemRenamed | item.type, event.cookie);
            // Moved within the tree, its owner or mode changed since last told: changed just
            // before the move, that change's own event finds the item gone; just after, it finds
            // the change taken up here already. (Should another move come between the two halves,
            // the item counts as moved in, and so as new.)
            if (event.cookie == lastMovedFrom_ && item.ownerOrModeChanged)
                add(Operation::change, path, F::itemInodeMetaMod | item.type | F::itemChangeOwner);
            if (isDir) {
                // Watch descriptors start at 1: 0 means no folder of ours was on its way.
                const int moving = movingFolders_.take(event.cookie);
                if (moving > 0) attach(moving, event.wd, name);
                else watchNewFolder(event.wd, name, path);  // moved in from outside
            }
        }
    }

    void handleSelf(int wd, std::uint32_t mask) {
        if (mask & IN_IGNORED) {
            if (wd == rootWd_) reportRootChanged(0);
            else forget(wd, false);
            return;
        }
        if (wd != rootWd_) return;  // the parent folder reports what happens to the others
        if (mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
            reportRootChanged(0);
        } else if (mask & IN_UNMOUNT) {
            reportRootChanged(F::unmount);
        } else if (mask & IN_ATTRIB) {
            const Probe item = probe(root_, true);
            add(Operation::change, root_,
                F::itemInodeMetaMod | F::itemIsDir | (item.ownerOrModeChanged ? F::itemChangeOwner : 0));
        }
    }

    void handleOverflow() {
        owner_.log(QStringLiteral("File events were lost (event queue overflow) under %1")
                       .arg(QFile::decodeName(root_)));
        add(Operation::lost, root_, F::mustScanSubDirs | F::kernelDropped);
        if (rootGone_) return;
        // Creations and moves may be among what was lost: start over with a fresh set of watches
        // so that none is missing or stale.
        if (fd_ >= 0) ::close(fd_);
        nodes_.clear();
        ancestors_.clear();
        movingFolders_.clear();
        // Owners and modes may have changed among the lost events: read them all again.
        unread_.clear();
        unswept_.clear();
        meta_.clear();
        rootWd_ = -1;
        owner_.watchCount.store(0);
        fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (fd_ < 0) {
            owner_.log(QStringLiteral("Cannot watch %1 again: %2")
                           .arg(QFile::decodeName(root_), QString::fromLocal8Bit(strerror(errno))));
            reportRootChanged(0);
            return;
        }
        setUpWatches();
    }

    void outOfWatches(const QByteArray& path) {
        if (unwatchedFolders_++ == 0) firstUnwatched_ = path;
        add(Operation::lost, root_, F::mustScanSubDirs | F::kernelDropped);
    }

    void reportRootChanged(std::uint32_t extra) {
        if (rootGone_) return;
        rootGone_ = true;
        add(Operation::rootChanged, root_, F::rootChanged | extra);
    }

    // ---- deliveries

    void add(Operation::Kind kind, QByteArray path, std::uint32_t flags, std::uint32_t cookie = 0) {
        if (pending_.empty()) deadline_ = Clock::now() + owner_.latency;
        if (pending_.size() >= maxPendingOperations && kind != Operation::rootChanged) {
            if (!userDropped_) {
                userDropped_ = true;
                owner_.log(QStringLiteral("Too many file events at once under %1; some were dropped")
                               .arg(QFile::decodeName(root_)));
                pending_.push_back({Operation::lost, root_, F::mustScanSubDirs | F::userDropped, 0});
            }
            return;
        }
        pending_.push_back({kind, std::move(path), flags, cookie});
    }

    bool hasUnpairedMove() const {
        QSet<std::uint32_t> from;
        for (const Operation& op : pending_) {
            if (op.kind == Operation::movedFrom) from.insert(op.cookie);
            else if (op.kind == Operation::movedTo) from.remove(op.cookie);
        }
        return !from.isEmpty();
    }

    void flush() {
        if (fd_ >= 0 && hasUnpairedMove()) {
            pollfd pfd{fd_, POLLIN, 0};
            if (::poll(&pfd, 1, partnerWaitMs) > 0) drain();
        }
        // Folders moved out of the tree: their watches would report paths that are not ours.
        for (const int wd : std::as_const(movingFolders_)) forget(wd, true);
        movingFolders_.clear();
        if (unwatchedFolders_ > 0) {
            owner_.log(QStringLiteral("Out of file watches: %1 folder(s) not watched, the first %2; "
                                      "raise fs.inotify.max_user_watches")
                           .arg(unwatchedFolders_)
                           .arg(QFile::decodeName(firstUnwatched_)));
            unwatchedFolders_ = 0;
        }

        struct Out {
            FileEvent event;
            bool alone;
        };
        struct MovedPair {
            QByteArray fromPath;
            std::size_t fromAt;  // the old half in `out`; the new half right after it
        };
        QHash<QByteArray, MovedPair> movedHere;  // where the pairs of this delivery ended up
        std::vector<Out> out;
        out.reserve(pending_.size());
        QHash<std::uint32_t, std::size_t> movedTo;  // cookie -> operation
        for (std::size_t i = 0; i < pending_.size(); ++i)
            if (pending_[i].kind == Operation::movedTo) movedTo.insert(pending_[i].cookie, i);
        std::vector<bool> paired(pending_.size(), false);
        QHash<QByteArray, std::size_t> changeAt;  // path -> index in out
        std::size_t lostAt = SIZE_MAX;
        const auto decode = [](const QByteArray& path) { return QFile::decodeName(path); };

        for (std::size_t i = 0; i < pending_.size(); ++i) {
            const Operation& op = pending_[i];
            switch (op.kind) {
            case Operation::change: {
                const auto known = changeAt.constFind(op.path);
                if (known != changeAt.cend()) {
                    out[*known].event.flags |= op.flags;
                } else {
                    changeAt.insert(op.path, out.size());
                    out.push_back({{decode(op.path), op.flags, 0}, false});
                }
                break;
            }
            case Operation::movedFrom: {
                const auto partner = movedTo.constFind(op.cookie);
                if (partner != movedTo.cend() && *partner > i && !paired[*partner]) {
                    const Operation& to = pending_[*partner];
                    paired[*partner] = true;
                    const auto chained = movedHere.find(op.path);
                    if (chained != movedHere.end()) {
                        // Moved on again (a -> b, then b -> c): one move a -> c, so that the
                        // first name does not linger on. The name in between still goes out as a
                        // half of its own: a look at the folder between the two moves may have
                        // taken it up, and then it must go again.
                        const MovedPair earlier = *chained;
                        movedHere.erase(chained);
                        if (earlier.fromPath == to.path) {
                            // Back where it started: no move, but both names on their own.
                            out[earlier.fromAt].alone = true;
                            out[earlier.fromAt + 1].alone = true;
                        } else {
                            out[earlier.fromAt + 1].event = {decode(to.path), to.flags, 0};
                            movedHere.insert(to.path, earlier);
                            out.push_back({{decode(op.path), op.flags, 0}, true});
                        }
                        break;
                    }
                    // The type is known from the half that still exists.
                    const std::uint32_t type = to.flags & (F::itemIsFile | F::itemIsDir | F::itemIsSymlink);
                    movedHere.insert(to.path, MovedPair{op.path, out.size()});
                    out.push_back({{decode(op.path), F::itemRenamed | type, 0}, false});
                    out.push_back({{decode(to.path), to.flags, 0}, false});
                } else {
                    out.push_back({{decode(op.path), op.flags, 0}, true});
                }
                break;
            }
            case Operation::movedTo:
                if (!paired[i]) out.push_back({{decode(op.path), op.flags, 0}, true});
                break;
            case Operation::lost:
                if (lostAt != SIZE_MAX) {
                    out[lostAt].event.flags |= op.flags;
                } else {
                    lostAt = out.size();
                    out.push_back({{decode(op.path), op.flags, 0}, false});
                }
                break;
            case Operation::rootChanged:
                out.push_back({{decode(op.path), op.flags, 0}, true});
                break;
            }
        }
        // A burst (a tree copied in) must not keep its size of buffer for the rest of the run.
        if (pending_.capacity() > 4096) std::vector<Operation>().swap(pending_);
        else pending_.clear();
        userDropped_ = false;

        std::size_t alone = 0;
        for (const Out& o : out) alone += o.alone ? 1 : 0;
        std::uint64_t id = nextEventId.fetch_add(out.size() + 2 * alone + 1);
        std::vector<FileEvent> events;
        events.reserve(out.size());
        for (std::size_t k = 0; k < out.size(); ++k) {
            if (out[k].alone && k > 0) ++id;
            out[k].event.id = id++;
            if (out[k].alone) ++id;
            events.push_back(std::move(out[k].event));
        }
        // The sync folder itself gone comes in a delivery of its own, after what happened in it
        // before: among other events it would be taken for one more change inside.
        const auto root = std::find_if(events.begin(), events.end(),
                                       [](const FileEvent& e) { return (e.flags & F::rootChanged) != 0; });
        if (root != events.end() && events.size() > 1) {
            FileEvent alone = std::move(*root);
            events.erase(root);
            deliver(std::move(events));
            deliver({std::move(alone)});
            return;
        }
        deliver(std::move(events));
    }

    void deliver(std::vector<FileEvent> events) {
        if (events.empty()) return;
        owner_.queue.async([gate = gate_, events = std::move(events)] {
            std::lock_guard lock(gate->mutex);
            if (!gate->open || !gate->callback) return;
            // A copy: stopping from inside the callback releases the stored one while it runs.
            const FileEventStream::Callback callback = gate->callback;
            callback(events);
        });
    }

    FileEventStream::Impl& owner_;
    int fd_;
    std::shared_ptr<Gate> gate_;
    const QByteArray root_;
    int rootWd_ = -1;
    bool rootGone_ = false;
    QHash<int, Node> nodes_;
    QSet<int> ancestors_;
    QHash<std::uint32_t, int> movingFolders_;  // cookie -> folder between its two rename halves
    InodeTable meta_;
    std::uint8_t mark_ = 0;            // the current sweep's
    std::deque<int> unswept_;          // folders the current sweep has still to look over
    std::size_t keptBySweep_ = 0;      // entries after the last look over the whole tree
    std::uint32_t lastMovedFrom_ = 0;  // the cookie of the last moved-from half
    std::deque<int> unread_;  // folders watched at set-up whose items' owners and modes are not read yet
    timespec setUpBegan_{};
    FolderReader reader_;
    std::vector<Operation> pending_;
    Clock::time_point deadline_{};
    bool userDropped_ = false;
    int unwatchedFolders_ = 0;
    QByteArray firstUnwatched_;
};

FileEventStream::FileEventStream(QString path, SerialQueue& queue, Callback callback,
                                 std::chrono::milliseconds latency)
    : impl_(std::make_unique<Impl>(QString(), queue, std::move(callback), latency)) {
    QString cleaned = QDir::cleanPath(QDir(path).absolutePath());
    impl_->path = cleaned;
    impl_->rootBytes = QFile::encodeName(cleaned);
}

FileEventStream::~FileEventStream() { stop(); }

const QString& FileEventStream::path() const { return impl_->path; }

std::chrono::milliseconds FileEventStream::latency() const { return impl_->latency; }

bool FileEventStream::start() {
    Impl& d = *impl_;
    if (d.invalidated || !d.callback) return false;
    if (d.running.load()) return true;
    struct stat st;
    if (::stat(d.rootBytes.constData(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
    const int inotifyFd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (inotifyFd < 0) {
        d.log(QStringLiteral("Cannot create a file watch: %1").arg(QString::fromLocal8Bit(strerror(errno))));
        return false;
    }
    d.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (d.wakeFd < 0) {
        ::close(inotifyFd);
        return false;
    }
    d.gate = std::make_shared<Gate>();
    d.gate->callback = d.callback;
    d.stopRequested.store(false);
    d.overflowRequested.store(false);
    {
        std::lock_guard lock(d.readyMutex);
        d.ready = false;
        d.ownersKnown = false;
    }
    d.running.store(true);
    d.thread = std::thread([&d, inotifyFd, gate = d.gate] {
        FileEventStreamWatcher watcher(d, inotifyFd, gate);
        watcher.run();
    });
    return true;
}

void FileEventStream::stop() {
    Impl& d = *impl_;
    if (!d.running.load()) return;
    d.stopRequested.store(true);
    eventfd_write(d.wakeFd, 1);
    if (d.thread.joinable()) d.thread.join();
    ::close(d.wakeFd);
    d.wakeFd = -1;
    {
        std::lock_guard lock(d.gate->mutex);
        d.gate->open = false;
        d.gate->callback = nullptr;
    }
    d.gate.reset();
    d.watchCount.store(0);
    d.rememberedCount.store(0);
    {
        std::lock_guard lock(d.readyMutex);
        d.ready = false;
        d.ownersKnown = false;
    }
    d.running.store(false);
}

void FileEventStream::invalidate() {
    stop();
    impl_->invalidated = true;
    impl_->callback = nullptr;
}

bool FileEventStream::isRunning() const { return impl_->running.load(); }

bool FileEventStream::isReady() const {
    std::lock_guard lock(impl_->readyMutex);
    return impl_->ready;
}

bool FileEventStream::waitUntilReady(int timeoutMs) const {
    std::unique_lock lock(impl_->readyMutex);
    return impl_->readyChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return impl_->ready; });
}

bool FileEventStream::waitUntilOwnersKnown(int timeoutMs) const {
    std::unique_lock lock(impl_->readyMutex);
    return impl_->readyChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                        [&] { return impl_->ownersKnown; });
}

std::size_t FileEventStream::watchCount() const { return impl_->watchCount.load(); }

std::size_t FileEventStream::rememberedCount() const { return impl_->rememberedCount.load(); }

void FileEventStream::setLogHandler(LogHandler handler) {
    std::lock_guard lock(impl_->logMutex);
    impl_->logHandler = std::move(handler);
}

void FileEventStream::injectQueueOverflowForTesting() {
    impl_->overflowRequested.store(true);
    if (impl_->running.load()) eventfd_write(impl_->wakeFd, 1);
}

void FileEventStream::setWatchLimitForTesting(int limit) { impl_->watchLimit.store(limit); }

void FileEventStream::setEntryTypesUnknownForTesting(bool unknown) { impl_->entryTypesUnknown = unknown; }

void FileEventStream::setSetUpHookForTesting(SetUpHook hook) { impl_->setUpHook = std::move(hook); }
