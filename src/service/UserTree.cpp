#include "service/UserTree.h"

#include <QStringList>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "service/ServiceWire.h"
#include "service/TransferTemporary.h"

void UniqueFd::reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

namespace {

constexpr int folderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
std::atomic<bool> ownerOnlyItems{false};
mode_t newFolderMode() { return ownerOnlyItems ? 0700 : 0755; }
mode_t newFileMode() { return ownerOnlyItems ? 0600 : 0644; }

ServiceFailure failureOf(int error, const QString& path) {
    const QString why = QString::fromLocal8Bit(std::strerror(error));
    switch (error) {
    case ENOENT: return {ServiceError::notFound, QStringLiteral("Nothing is at \"%1\".").arg(path)};
    case ENOTDIR:
    case ELOOP: return {ServiceError::notAFolder, QStringLiteral("Something on the way to \"%1\" is not a folder.").arg(path)};
    case EEXIST: return {ServiceError::exists, QStringLiteral("Something is at \"%1\" already.").arg(path)};
    case ENOTEMPTY: return {ServiceError::notEmpty, QStringLiteral("The folder \"%1\" is not empty.").arg(path)};
    case EACCES:
    case EPERM:
    case EROFS: return {ServiceError::readOnly, QStringLiteral("\"%1\" cannot be changed: %2").arg(path, why)};
    case ENOSPC:
    case EDQUOT: return {ServiceError::insufficientStorage, QStringLiteral("No room for \"%1\".").arg(path)};
    case ENAMETOOLONG: return {ServiceError::invalidPath, QStringLiteral("The path \"%1\" is too long.").arg(path)};
    case EINVAL: return {ServiceError::invalidRequest, QStringLiteral("\"%1\" cannot be moved there.").arg(path)};
    default: return {ServiceError::storageFailure, QStringLiteral("\"%1\": %2").arg(path, why)};
    }
}

ServiceFailure mismatch(const QString& path) {
    return {ServiceError::revisionMismatch, QStringLiteral("\"%1\" has changed since it was last seen.").arg(path)};
}

ServiceEntry entryOf(const QString& path, const struct stat& st) {
    ServiceEntry e;
    e.path = path;
    e.type = S_ISREG(st.st_mode) ? ServiceEntry::Type::file : S_ISDIR(st.st_mode) ? ServiceEntry::Type::folder : ServiceEntry::Type::other;
    e.size = e.type == ServiceEntry::Type::file ? std::int64_t(st.st_size) : 0;
    e.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    e.inode = std::uint64_t(st.st_ino);
    e.mode = std::uint32_t(st.st_mode & 07777);
    return e;
}

std::optional<ServiceFailure> pathProblem(const QString& path) {
    if (auto problem = ServiceWire::checkUserPath(path)) return ServiceFailure{ServiceError::invalidPath, *problem};
    return std::nullopt;
}

// Changes of one tree are made one at a time: the check of a revision and the change it allows
// must not interleave with another request's.
std::mutex& changeLockOf(const QString& home) {
    static std::mutex guard;
    static std::map<QString, std::unique_ptr<std::mutex>> locks;
    std::lock_guard lock(guard);
    auto& slot = locks[home];
    if (!slot) slot = std::make_unique<std::mutex>();
    return *slot;
}

// Names a listing can carry: not the service's own temp files, and only those whose bytes are
// UTF-8 (a JSON path could not name the others).
std::vector<QByteArray> namesIn(int folder) {
    std::vector<QByteArray> names;
    const int copy = ::dup(folder);
    if (copy < 0) return names;
    DIR* dir = ::fdopendir(copy);
    if (!dir) {
        ::close(copy);
        return names;
    }
    while (const dirent* item = ::readdir(dir)) {
        const QByteArray name(item->d_name);
        if (name == "." || name == "..") continue;
        const QString text = QString::fromUtf8(name);
        if (text.toUtf8() != name || TransferTemporary::isTemporaryName(text)) continue;
        names.push_back(name);
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end());
    return names;
}

class TreeWalk : public UserTree::Walk {
public:
    TreeWalk(ServiceEntry first, UniqueFd folder, int maximumDepth) : first_(std::move(first)), maximumDepth_(maximumDepth) {
        if (folder && maximumDepth_ != 0) push(std::move(folder), first_->path, 1);
    }

    std::optional<QByteArray> next(std::size_t bytes) override {
        QByteArray out;
        if (first_) {
            out += ServiceWire::encodeEntryLine(*first_);
            first_.reset();
        }
        while (!levels_.empty() && std::size_t(out.size()) < bytes) {
            Level& top = levels_.back();
            if (top.next == top.names.size()) {
                levels_.pop_back();
                continue;
            }
            const QByteArray name = top.names[top.next++];
            struct stat st {};
            if (::fstatat(top.fd.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            const ServiceEntry entry = entryOf(ServiceWire::childPath(top.path, QString::fromUtf8(name)), st);
            out += ServiceWire::encodeEntryLine(entry);
            // A folder at the deepest level asked for is listed, not opened.
            if (entry.type != ServiceEntry::Type::folder || (maximumDepth_ >= 0 && top.depth >= maximumDepth_)) continue;
            const int depth = top.depth + 1;
            UniqueFd child(::openat(top.fd.get(), name.constData(), folderFlags));
            if (child) push(std::move(child), entry.path, depth);
        }
        if (out.isEmpty()) return std::nullopt;
        return out;
    }

private:
    struct Level {
        UniqueFd fd;
        QString path;
        int depth = 0;  // of the items it holds, below the walk's first item
        std::vector<QByteArray> names;
        std::size_t next = 0;
    };
    void push(UniqueFd folder, const QString& path, int depth) {
        Level level{std::move(folder), path, depth, {}, 0};
        level.names = namesIn(level.fd.get());
        levels_.push_back(std::move(level));
    }

    std::optional<ServiceEntry> first_;
    int maximumDepth_ = -1;
    std::vector<Level> levels_;
};

}  // namespace

struct UserTree::Parent {
    UniqueFd folder;
    QByteArray name;
};

UserTree::UserTree(QString home) : home_(std::move(home)) {}

void UserTree::makeNewItemsOwnerOnly() { ownerOnlyItems = true; }

ServiceResult<UniqueFd> UserTree::openHome() const {
    UniqueFd fd(::open(home_.toUtf8().constData(), folderFlags));
    if (!fd) return ServiceFailure{ServiceError::storageFailure, QStringLiteral("The user's tree cannot be opened.")};
    return fd;
}

ServiceResult<UserTree::Parent> UserTree::parentOf(const QString& path, bool makeMissing) const {
    auto home = openHome();
    if (!home) return home.failure();
    UniqueFd folder = std::move(home.value());
    const QStringList parts = path.split(u'/');
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        const QByteArray name = parts[i].toUtf8();
        UniqueFd next(::openat(folder.get(), name.constData(), folderFlags));
        if (!next && errno == ENOENT && makeMissing) {
            if (::mkdirat(folder.get(), name.constData(), newFolderMode()) != 0 && errno != EEXIST)
                return failureOf(errno, parts.mid(0, i + 1).join(u'/'));
            next = UniqueFd(::openat(folder.get(), name.constData(), folderFlags));
        }
        if (!next) return failureOf(errno, parts.mid(0, i + 1).join(u'/'));
        folder = std::move(next);
    }
    return Parent{std::move(folder), parts.last().toUtf8()};
}

ServiceResult<ServiceEntry> UserTree::entry(const QString& path) const {
    if (auto problem = pathProblem(path)) return *problem;
    struct stat st {};
    if (path.isEmpty()) {
        auto home = openHome();
        if (!home) return home.failure();
        if (::fstat(home.value().get(), &st) != 0) return failureOf(errno, path);
        return entryOf(path, st);
    }
    auto parent = parentOf(path, false);
    if (!parent) return parent.failure();
    if (::fstatat(parent.value().folder.get(), parent.value().name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return failureOf(errno, path);
    return entryOf(path, st);
}

ServiceResult<UserTree::OpenFile> UserTree::openFile(const QString& path) const {
    if (auto problem = pathProblem(path)) return *problem;
    const ServiceFailure notAFile{ServiceError::notFound, QStringLiteral("\"%1\" is not a file.").arg(path)};
    if (path.isEmpty()) return notAFile;
    auto parent = parentOf(path, false);
    if (!parent) return parent.failure();
    // O_NOFOLLOW refuses a link; O_NONBLOCK keeps a FIFO put there from blocking the open.
    UniqueFd fd(::openat(parent.value().folder.get(), parent.value().name.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (!fd) return errno == ELOOP ? notAFile : failureOf(errno, path);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return failureOf(errno, path);
    if (!S_ISREG(st.st_mode)) return notAFile;
    return OpenFile{std::move(fd), entryOf(path, st)};
}

ServiceResult<ServiceEntry> UserTree::makeFolder(const QString& path, bool* created) {
    if (created) *created = false;
    if (path.isEmpty()) return entry(path);
    if (auto problem = pathProblem(path)) return *problem;
    std::lock_guard lock(changeLockOf(home_));
    auto parent = parentOf(path, true);
    if (!parent) return parent.failure();
    const int folder = parent.value().folder.get();
    const char* name = parent.value().name.constData();
    const bool made = ::mkdirat(folder, name, newFolderMode()) == 0;
    if (!made && errno != EEXIST) return failureOf(errno, path);
    struct stat st {};
    if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return failureOf(errno, path);
    if (!S_ISDIR(st.st_mode)) return failureOf(EEXIST, path);
    if (made) ::fsync(folder);
    if (created) *created = made;
    return entryOf(path, st);
}

ServiceResult<ServiceDone> UserTree::remove(const QString& path, const QString& revision) {
    if (auto problem = pathProblem(path)) return *problem;
    if (path.isEmpty()) return ServiceFailure{ServiceError::invalidRequest, QStringLiteral("The tree's root cannot be removed.")};
    std::lock_guard lock(changeLockOf(home_));
    auto parent = parentOf(path, false);
    if (!parent) return parent.failure();
    const int folder = parent.value().folder.get();
    const char* name = parent.value().name.constData();
    struct stat st {};
    if (::fstatat(folder, name, &st, AT_SYMLINK_NOFOLLOW) != 0) return failureOf(errno, path);
    if (entryOf(path, st).revision() != revision) return mismatch(path);
    if (::unlinkat(folder, name, S_ISDIR(st.st_mode) ? AT_REMOVEDIR : 0) != 0)
        return failureOf(errno == EEXIST ? ENOTEMPTY : errno, path);
    ::fsync(folder);
    return ServiceDone{};
}

ServiceResult<ServiceDone> UserTree::removeItem(const QString& path, const std::optional<QString>& revision) {
    if (revision) return remove(path, *revision);
    auto found = entry(path);
    if (!found) return found.failure();
    const ServiceFailure stays{ServiceError::notEmpty, QStringLiteral("\"%1\" is not an empty folder.").arg(path)};
    if (found.value().type != ServiceEntry::Type::folder) return stays;
    auto removed = remove(path, found.value().revision());
    // Changed in between: something came into it.
    if (!removed && removed.error() == ServiceError::revisionMismatch) return stays;
    return removed;
}

ServiceResult<ServiceEntry> UserTree::move(const QString& from, const QString& to, const QString& revision) {
    if (auto problem = pathProblem(from)) return *problem;
    if (auto problem = pathProblem(to)) return *problem;
    if (from.isEmpty() || to.isEmpty())
        return ServiceFailure{ServiceError::invalidRequest, QStringLiteral("The tree's root cannot be moved.")};
    std::lock_guard lock(changeLockOf(home_));
    auto source = parentOf(from, false);
    if (!source) return source.failure();
    struct stat st {};
    if (::fstatat(source.value().folder.get(), source.value().name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return failureOf(errno, from);
    if (entryOf(from, st).revision() != revision) return mismatch(from);
    auto target = parentOf(to, true);
    if (!target) return target.failure();
    if (::renameat2(source.value().folder.get(), source.value().name.constData(), target.value().folder.get(),
                    target.value().name.constData(), RENAME_NOREPLACE) != 0)
        return failureOf(errno, errno == EEXIST ? to : from);
    ::fsync(source.value().folder.get());
    ::fsync(target.value().folder.get());
    if (::fstatat(target.value().folder.get(), target.value().name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return failureOf(errno, to);
    return entryOf(to, st);
}

ServiceResult<ServiceEntry> UserTree::place(int stagedFolder, const QByteArray& staged, const QString& path,
                                            const std::optional<QString>& revision, std::int64_t mtimeNs, bool* created) {
    if (created) *created = false;
    if (auto problem = pathProblem(path)) return *problem;
    if (path.isEmpty()) return ServiceFailure{ServiceError::exists, QStringLiteral("The tree's root is a folder.")};
    // What concerns only the staged file is done before the tree's lock: a flush to disk under it
    // would hold up every other change of the user's tree.
    UniqueFd file(::openat(stagedFolder, staged.constData(), O_RDWR | O_NOFOLLOW | O_CLOEXEC));
    if (!file) return failureOf(errno, path);
    std::int64_t seconds = mtimeNs / 1000000000;
    std::int64_t nanos = mtimeNs % 1000000000;
    if (nanos < 0) {
        nanos += 1000000000;
        seconds -= 1;
    }
    const timespec times[2] = {{0, UTIME_NOW}, {time_t(seconds), long(nanos)}};
    // A new file's mode is set here too, so that the flush keeps it; a replaced one's is only
    // known under the lock.
    const mode_t newMode = newFileMode();
    if (::fchmod(file.get(), newMode) != 0 || ::futimens(file.get(), times) != 0 || ::fsync(file.get()) != 0)
        return failureOf(errno, path);
    UniqueFd folder;
    bool there = false;
    {
        std::lock_guard lock(changeLockOf(home_));
        auto parent = parentOf(path, true);
        if (!parent) return parent.failure();
        folder = std::move(parent.value().folder);
        const char* name = parent.value().name.constData();
        struct stat st {};
        there = ::fstatat(folder.get(), name, &st, AT_SYMLINK_NOFOLLOW) == 0;
        if (!there && errno != ENOENT) return failureOf(errno, path);
        mode_t mode = newMode;
        if (there) {
            if (!revision) return failureOf(EEXIST, path);
            if (!S_ISREG(st.st_mode)) return failureOf(EEXIST, path);
            if (entryOf(path, st).revision() != *revision) return mismatch(path);
            mode = st.st_mode & 0777;
        } else if (revision) {
            return ServiceFailure{ServiceError::revisionMismatch, QStringLiteral("\"%1\" is gone since it was last seen.").arg(path)};
        }
        if (mode != newMode && ::fchmod(file.get(), mode) != 0) return failureOf(errno, path);
        const int renamed = there ? ::renameat(stagedFolder, staged.constData(), folder.get(), name)
                                  : ::renameat2(stagedFolder, staged.constData(), folder.get(), name, RENAME_NOREPLACE);
        if (renamed != 0) return failureOf(errno, path);
    }
    ::fsync(folder.get());
    struct stat st {};
    if (::fstat(file.get(), &st) != 0) return failureOf(errno, path);
    if (created) *created = !there;
    return entryOf(path, st);
}

ServiceResult<std::unique_ptr<UserTree::Walk>> UserTree::walk(const QString& path, int maximumDepth) const {
    auto first = entry(path);
    if (!first) return first.failure();
    UniqueFd folder;
    if (first.value().type == ServiceEntry::Type::folder) {
        if (path.isEmpty()) {
            auto home = openHome();
            if (!home) return home.failure();
            folder = std::move(home.value());
        } else {
            auto parent = parentOf(path, false);
            if (!parent) return parent.failure();
            folder = UniqueFd(::openat(parent.value().folder.get(), parent.value().name.constData(), folderFlags));
            if (!folder) return failureOf(errno, path);
        }
    }
    return std::unique_ptr<Walk>(std::make_unique<TreeWalk>(first.value(), std::move(folder), maximumDepth));
}
