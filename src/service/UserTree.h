#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

#include "service/ServiceEntry.h"
#include "service/ServiceResult.h"

// A file descriptor owned by its object.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }
    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void reset();

private:
    int fd_ = -1;
};

// One user's tree ("users/<name>") as the service on the network changes it. Every path is
// walked a component at a time from the home folder's descriptor, never following a link: a link
// is an item of its own (`other`), never a folder on the way, never read or written through.
// Every change names the revision its caller last saw and is refused (revisionMismatch) when the
// item is another one now; a new item never replaces anything. Changes of one tree are made one
// at a time in this process, so that the check and the change are one step.
class UserTree {
public:
    explicit UserTree(QString home);

    // New files get 0644 and folders 0755 (less the umask) unless the process keeps its trees
    // owner-only, as a server holding several users' trees does: 0600 and 0700 from then on.
    static void makeNewItemsOwnerOnly();

    const QString& home() const { return home_; }

    ServiceResult<ServiceEntry> entry(const QString& path) const;

    struct OpenFile {
        UniqueFd fd;
        ServiceEntry entry;
    };
    // A file to read; notFound for anything but a file (a link or a folder is never served).
    ServiceResult<OpenFile> openFile(const QString& path) const;

    // The folder and its missing parents. `created` tells whether it is new; exists when a file or
    // link stands there.
    ServiceResult<ServiceEntry> makeFolder(const QString& path, bool* created = nullptr);
    // A file, link or empty folder, only while it is `revision`.
    ServiceResult<ServiceDone> remove(const QString& path, const QString& revision);
    // As remove with a revision; without one, an empty folder whatever its revision (notEmpty for
    // a folder that holds items, or anything else standing there).
    ServiceResult<ServiceDone> removeItem(const QString& path, const std::optional<QString>& revision);
    // Renames an item that is still `revision` to `to` (missing parents made), never over anything.
    ServiceResult<ServiceEntry> move(const QString& from, const QString& to, const QString& revision);
    // Renames a complete file (`staged`, named in the folder `stagedFolder`, on the same file
    // system) to `path` with its modification time: over the item there only while it is
    // `revision`, and only where nothing is when there is none. `created` tells which it was.
    ServiceResult<ServiceEntry> place(int stagedFolder, const QByteArray& staged, const QString& path,
                                      const std::optional<QString>& revision, std::int64_t mtimeNs,
                                      bool* created = nullptr);

    // The entries of a tree listing: `path` first, then everything below it, a folder before
    // what it holds and names in order. Folders are read as the walk reaches them. A maximum depth
    // that is not negative stops that many levels below `path` (0: `path` alone, 1: its children).
    class Walk {
    public:
        virtual ~Walk() = default;
        // The next entries, one JSON line each, up to about `bytes`; none at the end.
        virtual std::optional<QByteArray> next(std::size_t bytes) = 0;
    };
    ServiceResult<std::unique_ptr<Walk>> walk(const QString& path, int maximumDepth = -1) const;

private:
    struct Parent;
    ServiceResult<Parent> parentOf(const QString& path, bool makeMissing) const;
    ServiceResult<UniqueFd> openHome() const;

    QString home_;
};
