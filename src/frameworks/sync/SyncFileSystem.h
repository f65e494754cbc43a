#pragma once

#include <QHash>
#include <QString>

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <iterator>
#include <list>
#include <map>
#include <memory>
#include <memory_resource>
#include <mutex>
#include <optional>
#include <vector>

// What the engine knows of one item on either side, from lstat: links are never followed.
struct FsEntry {
    enum class Type : std::uint8_t { file, directory, other };
    // Largest members first, so that an entry takes 32 bytes without padding: the engine holds
    // several per item (both trees and the record), for every item of the sync folder.
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::uint64_t inode = 0;
    std::uint32_t mode = 0;
    Type type = Type::file;

    constexpr FsEntry() = default;
    constexpr FsEntry(Type type_, std::int64_t size_, std::int64_t mtimeNs_ = 0, std::uint64_t inode_ = 0,
                      std::uint32_t mode_ = 0)
        : size(size_), mtimeNs(mtimeNs_), inode(inode_), mode(mode_), type(type_) {}

    bool isFile() const { return type == Type::file; }
    bool isDirectory() const { return type == Type::directory; }
    // The same version as far as the metadata tells: a directory is a directory; a file keeps its
    // size, modification time and inode (an editor that saves by renaming changes the inode).
    bool sameVersion(const FsEntry& other) const;
    bool operator==(const FsEntry&) const = default;
};
static_assert(sizeof(FsEntry) == 32);

// Items of a tree by their path relative to its root ("a/b.txt"; the root itself is not listed).
// Sorted, so a folder always comes before everything inside it. The engine keeps its trees' nodes
// in pools of their own (see the allocator), so that letting go of most of them returns memory.
using FileTree = std::pmr::map<QString, FsEntry>;

namespace SyncFileSystem {

// The engine's own temp files start with this; nothing with such a name is ever synced.
bool isTemporaryName(const QString& name);

QString join(const QString& root, const QString& relative);
// "a/b/c" -> "a/b"; "c" -> "".
QString parentOf(const QString& relative);
// `relative` is `folder` or lies below it ("" holds everything).
bool isInside(const QString& relative, const QString& folder);
// Device and inode, following links: a folder deleted and made anew under the same path is
// another folder. None when it cannot be looked at.
std::optional<QString> identityOf(const QString& absolute);
// Whether this process may read the item at the absolute path.
bool isReadable(const QString& absolute);
QString nameOf(const QString& relative);
// Whether `relative` is `ancestor` or lies below it (whole components; "" holds everything).
bool isSameOrBelow(const QString& relative, const QString& ancestor);
// The path of `absolute` relative to `root`, compared by whole components; none outside it.
std::optional<QString> relativeTo(const QString& root, const QString& absolute);

// Whether a failure to reach an item means that it is not there. Anything else (no permission,
// out of descriptors, an I/O error) leaves the item unknown, never gone.
bool meansGone(int error);

// `error`, when given, receives errno when the item cannot be looked at.
std::optional<FsEntry> stat(const QString& absolute, int* error = nullptr);

// Paths of a tree (relative) that a scan could not look into, with the reason (errno): a folder
// listed here exists but what it holds is unknown; an item listed here may or may not exist.
using Unreadable = std::map<QString, int>;
// Whether `relative` is, or lies below, one of the unreadable paths.
bool isUnknown(const Unreadable& unreadable, const QString& relative);

// Adds the items below `relativeBase` (a folder of the tree, "" for the root) to `tree`. Links and
// other special files are listed as `other` and not entered; names the system cannot represent
// unchanged as text are skipped. Every folder or item that cannot be read goes to `unreadable`;
// a subfolder that vanished meanwhile leaves the tree. Returns 0, or errno when the starting
// folder cannot be read (entered in `unreadable` unless it `meansGone`).
// Temp files are left out of the tree; `temporaries`, when given, receives their paths.
// `undecodable`, when given, receives the skipped names' paths for display, the bytes that are
// not text shown as U+FFFD.
// `keys`, when given, answers a string held elsewhere for a path (or null), which the tree then
// shares as the item's key instead of storing the path again.
using KeySource = std::function<const QString*(const QString& relative)>;
int scan(const QString& root, const QString& relativeBase, FileTree& tree, Unreadable& unreadable,
         std::vector<QString>* temporaries = nullptr, std::vector<QString>* undecodable = nullptr,
         const KeySource& keys = {});

// A seam for tests: the errno to fail an operation on an absolute path with, or 0 to let it run.
// `copyRange` failing with EXDEV, ENOSYS, EINVAL or EOPNOTSUPP makes a copy fall back to reads
// and writes, as on a file system that cannot copy ranges.
enum class Operation { openFolder, stat, writeData, removeTemporary, readFile, copyRange };
using FaultHook = std::function<int(Operation, const QString& absolute)>;
// Replaces the hook (an empty one clears it); any thread may call it while others use the layer.
void setFaultHook(FaultHook hook);
// Removes `relative` and everything below it from a map keyed by relative paths.
template <typename Map>
void eraseSubtree(Map& map, const QString& relative) {
    map.erase(relative);
    const QString prefix = relative + QLatin1Char('/');
    auto it = map.lower_bound(prefix);
    while (it != map.end() && it->first.startsWith(prefix)) it = map.erase(it);
}

// Makes every key of `map` that `canonical` holds as well share that key's string, so that a path
// kept in several maps (both trees and the records) takes its memory once. Keys and values stay
// as they were; only where each key's characters live changes. Both maps are sorted by path.
// Returns how many keys it changed.
template <typename Map, typename Canonical>
std::size_t shareKeys(Map& map, const Canonical& canonical) {
    std::size_t changed = 0;
    auto known = canonical.begin();
    for (auto it = map.begin(); it != map.end() && known != canonical.end();) {
        if (known->first.constData() == it->first.constData()) {
            ++known;
            ++it;
        } else if (known->first < it->first) {
            ++known;
        } else if (it->first < known->first) {
            ++it;
        } else {
            const auto next = std::next(it);
            auto node = map.extract(it);
            node.key() = known->first;
            map.insert(next, std::move(node));
            ++changed;
            ++known;
            it = next;
        }
    }
    return changed;
}

// shareKeys for `path` and what lies below it only: the cost of what one pass touched, not of the
// whole tree.
template <typename Map, typename Canonical>
std::size_t shareKeysUnder(Map& map, const Canonical& canonical, const QString& path) {
    std::size_t changed = 0;
    const auto share = [&](typename Map::iterator it) {
        const auto known = canonical.find(it->first);
        if (known == canonical.end() || known->first.constData() == it->first.constData()) return std::next(it);
        const auto next = std::next(it);
        auto node = map.extract(it);
        node.key() = known->first;
        map.insert(next, std::move(node));
        ++changed;
        return next;
    };
    if (const auto it = map.find(path); it != map.end()) share(it);
    // Keys such as "a b" sort between "a" and "a/...": the subtree is the range of its prefix.
    const QString prefix = path + QLatin1Char('/');
    for (auto it = map.lower_bound(prefix); it != map.end() && it->first.startsWith(prefix);) it = share(it);
    return changed;
}

// 0 when new items may be written into the folder, else the reason (errno). A folder without its
// owner's write permission counts as read-only for everybody: the engine respects it also when it
// runs with privileges that would let it write anyway.
int writableFolderError(const QString& absoluteFolder);
// Creates the folder and its missing parents; 0 or errno. With `within`, nothing at or above that
// folder is created: ENOENT when it is missing itself (a sync root that went away must not come
// back empty).
int makeFolders(const QString& absolute, unsigned mode, const QString& within = QString());

// A folder held open, so that many items in it are reached by name with one walk of its path, and
// all of them in the same folder even when it is renamed meanwhile.
class Folder {
public:
    Folder() = default;
    // Opens the folder at `absolute` (links on the way are followed, as by a path).
    explicit Folder(const QString& absolute);
    ~Folder();
    Folder(Folder&& other) noexcept;
    Folder& operator=(Folder&& other) noexcept;
    Folder(const Folder&) = delete;
    Folder& operator=(const Folder&) = delete;

    bool isOpen() const { return fd_ >= 0; }
    // errno when it could not be opened (ENOTDIR when it is no folder).
    int error() const { return error_; }
    int fd() const { return fd_; }
    const QString& path() const { return path_; }
    // 0 when new items may be written into it, else the reason: the rule of writableFolderError,
    // as the folder was when it was opened.
    int writableError() const { return writableError_; }
    QString pathOf(const QString& name) const { return join(path_, name); }

private:
    QString path_;
    int fd_ = -1;
    int error_ = 0;
    int writableError_ = 0;
};

// Whether an error means that the process ran out of descriptors, not that the item is at fault.
bool meansOutOfDescriptors(int error);
// Whether an error means that the remote tree could not be reached or stopped answering on the
// way, not that the item is at fault.
bool meansServiceAway(int error);
// Descriptors this process may still open before it reaches its limit (none when unknown).
std::optional<std::size_t> freeDescriptors();

// The folders a batch of transfers works in, held open at most `limit` at a time and opened on
// demand: the least recently used one is let go when another is needed (one still in use closes
// when its user is done). A batch over thousands of folders must not hold a descriptor for each,
// since the process may have as few as 64. Any thread may use it.
class FolderHandles {
public:
    explicit FolderHandles(std::size_t limit) : limit_(limit ? limit : 1) {}
    // The folder, opened when it is not held. A folder that could not be opened for want of
    // descriptors is not remembered, so that the next ask tries again.
    std::shared_ptr<const Folder> open(const QString& absolute);
    // Opens it anew (it was just made).
    std::shared_ptr<const Folder> reopen(const QString& absolute);
    void setLimit(std::size_t limit);

private:
    std::shared_ptr<const Folder> hold(const QString& absolute, std::shared_ptr<const Folder> folder);

    std::mutex mutex_;
    std::size_t limit_;
    using Recent = std::list<std::pair<QString, std::shared_ptr<const Folder>>>;  // most recent first
    Recent recent_;
    QHash<QString, Recent::iterator> index_;
};

// One thread's way into a batch's FolderHandles: the last two folders it asked for are kept at
// hand, so that a run of copies between the same two folders takes the shared lock only once.
class FolderLookup {
public:
    explicit FolderLookup(FolderHandles& handles) : handles_(handles) {}
    std::shared_ptr<const Folder> open(const QString& absolute) {
        for (auto& [path, folder] : recent_)
            if (folder && path == absolute) return folder;
        auto& slot = recent_[next_];
        next_ = 1 - next_;
        slot = {absolute, handles_.open(absolute)};
        return slot.second;
    }

private:
    FolderHandles& handles_;
    std::pair<QString, std::shared_ptr<const Folder>> recent_[2];
    int next_ = 0;
};

enum class Outcome { done, sourceChanged, targetChanged, failed, cancelled };
struct TransferResult {
    Outcome outcome = Outcome::failed;
    int error = 0;        // errno when failed
    FsEntry written;      // the new target when done
    QString leftover;     // a temp file that could not be removed (its folder went away, say)
};

// Copies the file `sourceName` in `sourceFolder` (which must still be `expectedSource`) to
// `targetName` in `targetFolder` through a temp file beside the target that is renamed into place
// at the end, keeping the modification time (a new file, where the file system allows, is written
// without any name and linked into place instead). Right before the rename the target must still
// be `expectedTarget`; with none, nothing may be there, and nothing that appears meanwhile is
// replaced. Whatever goes wrong, the old target stays untouched and the temp file is removed, or
// named in `leftover` when even that fails. The temp file's name carries `temporaryTag` (the
// writer's identity), so that the writer can tell its own leftovers from another writer's files.
// Nothing is flushed to disk: a crash may lose the new version, but the rename never shows a
// partly written one while the system runs.
TransferResult copyAtomically(const Folder& sourceFolder, const QString& sourceName, const FsEntry& expectedSource,
                              const Folder& targetFolder, const QString& targetName,
                              const std::optional<FsEntry>& expectedTarget, const std::atomic<bool>& cancel,
                              const QString& temporaryTag = QString());
// A new version of a file, as writeAtomically takes it: its mode (less the umask) and modification
// time, `fill` writing its bytes into the descriptor (0, or errno; ECANCELED when cancelled), and
// `unchangedSource`, asked once they are written, false when what they came from changed meanwhile.
struct NewVersion {
    unsigned mode = 0600;
    struct timespec mtime {};
    std::function<int(int out)> fill;
    std::function<bool(const struct stat& written)> unchangedSource;
};
// The target half of copyAtomically, for bytes from anywhere (the network, say): the same promise
// that the target is replaced whole or not at all, and only while it is still `expectedTarget`.
TransferResult writeAtomically(const Folder& targetFolder, const QString& targetName,
                               const std::optional<FsEntry>& expectedTarget, const NewVersion& version,
                               const std::atomic<bool>& cancel, const QString& temporaryTag = QString());
// The same between two absolute paths.
TransferResult copyAtomically(const QString& source, const FsEntry& expectedSource, const QString& target,
                              const std::optional<FsEntry>& expectedTarget, const std::atomic<bool>& cancel,
                              const QString& temporaryTag = QString());
// The start of the names of the temp files `copyAtomically` writes with `temporaryTag`.
QString temporaryNamePrefix(const QString& temporaryTag);
// Removes a temp file; true when it is gone (also when it was gone already).
bool removeTemporary(const QString& absolute);

// Removes a file only when it is still `expected`; 0, ESTALE when it changed, or errno.
int removeFileIfUnchanged(const QString& absolute, const FsEntry& expected);

// One item of a batch of removals, removed only while it is still `expected` (a folder by its
// kind, and only once it is empty), never when its folder is read-only (see writableFolderError).
// `error` receives the outcome: 0 when it is gone (also when it was gone already), ESTALE when
// it is another version or kind now, ENOTEMPTY when a folder still holds something, ECANCELED
// when the batch was cancelled before its turn, else errno.
struct Removal {
    QString path;  // relative to the batch's root
    FsEntry expected;
    int error = 0;
};
// Removes the items in their order, which puts every item before the folder that holds it, each
// reached through its folder held open in `folders` (absolute paths below `root`).
void removeAll(const QString& root, std::vector<Removal>& items, FolderLookup& folders, const std::atomic<bool>& cancel);
// Renames without replacing anything; 0 or errno (EEXIST when the target exists).
int renameNoReplace(const QString& from, const QString& to);
// Whether the two files hold the same bytes.
bool sameContent(const QString& a, const QString& b);
// Free bytes for an unprivileged user on the volume of `path`; none when unknown.
std::optional<std::int64_t> freeSpace(const QString& path);

}  // namespace SyncFileSystem
