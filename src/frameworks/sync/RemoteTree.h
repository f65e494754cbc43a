#pragma once

#include <QString>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <stop_token>
#include <vector>

#include "frameworks/sync/SyncFileSystem.h"
#include "service/ChangeJournal.h"
#include "service/ServiceResult.h"

// The user's remote tree as the sync engine sees it, wherever it lives: a folder on this machine
// or a service across the network. Paths are relative to the tree's root ("" is the root), and
// failures are errno values, so that the engine treats both kinds alike: ENOENT/ENOTDIR gone,
// ESTALE "not the version you saw", EEXIST, ENOTEMPTY, EACCES/EROFS read-only, ENOSPC/EDQUOT no
// room, anything else unknown (never taken for gone). Any thread may call it.
class RemoteTree {
public:
    virtual ~RemoteTree() = default;

    // How the state remembers which tree it was kept with; it changes when the tree does.
    virtual QString describe() const = 0;
    // The folder that holds the tree when it is one on this machine, else empty.
    virtual QString localFolder() const { return {}; }
    virtual bool isReachable() const = 0;
    // Something that tells a tree deleted and made anew from the one seen before; none when unknown.
    virtual std::optional<QString> identity() = 0;
    // Makes the root when it is missing (only called while nothing is known to be in it).
    virtual int createRoot() = 0;

    // As SyncFileSystem::stat and ::scan, below the tree's root.
    virtual std::optional<FsEntry> stat(const QString& relative, int* error = nullptr) = 0;
    virtual int scan(const QString& relativeBase, FileTree& tree, SyncFileSystem::Unreadable& unreadable,
                     std::vector<QString>* temporaries, const SyncFileSystem::KeySource& keys) = 0;

    // Whether the tree tells of its changes, and they are asked for with `changes`; without one
    // the engine compares the whole tree on every look.
    virtual bool hasJournal() const = 0;
    virtual ServiceResult<ServiceChanges> changes(const QString& cursor, std::chrono::milliseconds timeout,
                                                  std::stop_token stop) = 0;
    // The bytes the user may still add; none when unknown.
    virtual std::optional<std::int64_t> freeBytes() = 0;

    // The folder and its missing parents (not the root's own); `made`, when asked for, is the folder
    // as it stands then.
    virtual int makeFolder(const QString& relative, FsEntry* made = nullptr) = 0;
    // A file, only while it is still `expected` (ESTALE otherwise); gone already counts as done.
    virtual int removeFile(const QString& relative, const FsEntry& expected) = 0;
    // An empty folder (ENOTEMPTY while something is in it); gone already counts as done.
    virtual int removeFolder(const QString& relative) = 0;
    // A batch of removals as SyncFileSystem::removeAll makes them (the order, each item only while
    // it is still `expected`, the outcomes); `folders` reaches the batch's folder handles. Item by
    // item with removeFile and removeFolder unless the tree can do better.
    virtual void removeAll(std::vector<SyncFileSystem::Removal>& items, SyncFileSystem::FolderLookup& folders,
                           const std::atomic<bool>& cancel) {
        (void)folders;
        for (SyncFileSystem::Removal& item : items) {
            int error = 0;
            if (cancel) error = ECANCELED;
            else if (!stat(item.path, &error)) error = SyncFileSystem::meansGone(error) ? 0 : error;
            else error = item.expected.isDirectory() ? removeFolder(item.path) : removeFile(item.path, item.expected);
            item.error = error;
        }
    }
    // Renames an item that is still `expected`, never over anything at `to` (EEXIST).
    virtual int move(const QString& from, const QString& to, const FsEntry& expected) = 0;
    // Whether the remote file holds the bytes of the local one.
    virtual bool sameContent(const QString& localAbsolute, const QString& relative) = 0;

    // Copies the local file `name` in `sourceFolder` (still `expectedSource`) to `relativeTarget`,
    // which must still be `expectedTarget` (none: nothing may be there), as copyAtomically does:
    // it appears whole or not at all. `folders` reaches this batch's folder handles.
    virtual SyncFileSystem::TransferResult upload(SyncFileSystem::FolderLookup& folders, const QString& sourceFolder,
                                                  const QString& name, const FsEntry& expectedSource,
                                                  const QString& relativeTarget,
                                                  const std::optional<FsEntry>& expectedTarget,
                                                  const std::atomic<bool>& cancel, const QString& temporaryTag) = 0;
    // The other way: `relativeSource` (still `expectedSource`) into `name` in the local `targetFolder`.
    virtual SyncFileSystem::TransferResult download(SyncFileSystem::FolderLookup& folders,
                                                    const QString& relativeSource, const FsEntry& expectedSource,
                                                    const QString& targetFolder, const QString& name,
                                                    const std::optional<FsEntry>& expectedTarget,
                                                    const std::atomic<bool>& cancel, const QString& temporaryTag) = 0;

    // One file to copy either way, and how it ended.
    struct Transfer {
        QString path;
        bool upload = true;
        QString localFolder;  // absolute: where the local file is, or goes
        FsEntry expectedSource;
        std::optional<FsEntry> expectedTarget;  // none: nothing may be there
        SyncFileSystem::TransferResult result;
    };
    // Several files of one local folder, each as upload or download would copy it, with its
    // outcome in `result`. One at a time unless the tree can do better.
    virtual void transferAll(std::span<Transfer* const> transfers, SyncFileSystem::FolderLookup& folders,
                             const std::atomic<bool>& cancel, const QString& temporaryTag) {
        for (Transfer* t : transfers) {
            const QString name = SyncFileSystem::nameOf(t->path);
            t->result = t->upload ? upload(folders, t->localFolder, name, t->expectedSource, t->path, t->expectedTarget, cancel, temporaryTag)
                                  : download(folders, t->path, t->expectedSource, t->localFolder, name, t->expectedTarget, cancel, temporaryTag);
        }
    }
    // How many transfers run at once, and how many files of one folder go to transferAll together:
    // a tree across the network waits on each answer more than it works.
    virtual std::size_t parallelTransfers() const { return 4; }
    virtual std::size_t transferSlice() const { return 16; }
};
