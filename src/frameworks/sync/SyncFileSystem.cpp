#include "frameworks/sync/SyncFileSystem.h"

#include <QByteArray>
#include <QFile>
#include <QStringBuilder>
#include <QRandomGenerator>

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "service/TransferTemporary.h"

bool FsEntry::sameVersion(const FsEntry& other) const {
    if (type != other.type) return false;
    if (type != Type::file) return true;
    return size == other.size && mtimeNs == other.mtimeNs && inode == other.inode;
}

namespace SyncFileSystem {
namespace {

std::atomic<bool> hookSet{false};
std::mutex hookMutex;
std::shared_ptr<const FaultHook> faultHook;

int injected(Operation operation, const QString& absolute) {
    if (!hookSet.load(std::memory_order_acquire)) return 0;
    std::shared_ptr<const FaultHook> hook;
    {
        std::lock_guard lock(hookMutex);
        hook = faultHook;
    }
    return hook && *hook ? (*hook)(operation, absolute) : 0;
}

int injected(Operation operation, const QByteArray& absolute) {
    return hookSet.load(std::memory_order_acquire) ? injected(operation, QFile::decodeName(absolute)) : 0;
}

FsEntry entryOf(const struct stat& st) {
    FsEntry entry;
    if (S_ISREG(st.st_mode)) entry.type = FsEntry::Type::file;
    else if (S_ISDIR(st.st_mode)) entry.type = FsEntry::Type::directory;
    else entry.type = FsEntry::Type::other;
    entry.size = entry.isFile() ? std::int64_t(st.st_size) : 0;
    entry.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
    entry.inode = std::uint64_t(st.st_ino);
    entry.mode = std::uint32_t(st.st_mode);
    return entry;
}

class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { if (fd_ >= 0) ::close(fd_); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

// Copies `in` into `out` up to its end or `size` bytes, in slices so that a cancel is noticed
// within one slice. (Stopping at the expected size saves a read; the caller compares sizes after.)
int copyData(int in, int out, std::int64_t size, const std::atomic<bool>& cancel, int rangeFault) {
    constexpr size_t slice = 8 * 1024 * 1024;
    bool useRange = true;
    std::vector<char> buffer;
    for (std::int64_t copied = 0; copied < size || size == 0;) {
        if (cancel.load()) return ECANCELED;
        if (useRange) {
            const ssize_t n = rangeFault ? (errno = rangeFault, -1) : ::copy_file_range(in, nullptr, out, nullptr, slice, 0);
            if (n > 0) {
                copied += n;
                continue;
            }
            if (n == 0) return 0;
            if (errno == EINTR) continue;
            if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP && errno != EBADF)
                return errno;
            useRange = false;  // falls back to plain reads and writes from where it stopped
        }
        if (buffer.empty()) buffer.resize(256 * 1024);
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n == 0) return 0;
        if (n < 0) {
            if (errno == EINTR) continue;
            return errno;
        }
        copied += n;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer.data() + done, size_t(n - done));
            if (w < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            done += w;
        }
    }
    return 0;
}

// A new file in `folder` with a random name beginning with the temp prefix, created with `mode`
// (less the umask), exclusively: never an existing file, never through a link.
int createTemporary(int folder, unsigned mode, const QString& tag, QByteArray& name) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    // One generator per thread: the shared one takes a lock for every number.
    thread_local QRandomGenerator random(QRandomGenerator::global()->generate());
    const QByteArray prefix = QFile::encodeName(temporaryNamePrefix(tag));
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = prefix;
        for (int i = 0; i < 12; ++i) name += letters[random.bounded(int(sizeof letters - 1))];
        const int fd = ::openat(folder, name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

int unlinkTemporary(const QString& absolute) {
    const QByteArray path = QFile::encodeName(absolute);
    if (const int error = injected(Operation::removeTemporary, path)) return error;
    return ::unlink(path.constData()) == 0 ? 0 : errno;
}

// The owner's write permission decides, also for a privileged engine; the kernel checks the rest
// when an item is created.
int ownerWriteError(const struct stat& folder) {
    if (!S_ISDIR(folder.st_mode)) return ENOTDIR;
    return folder.st_mode & S_IWUSR ? 0 : EACCES;
}

}  // namespace

bool isTemporaryName(const QString& name) { return TransferTemporary::isTemporaryName(name); }

QString temporaryNamePrefix(const QString& temporaryTag) {
    return temporaryTag.isEmpty() ? TransferTemporary::prefix()
                                  : TransferTemporary::prefix() + temporaryTag + QLatin1Char('-');
}

bool removeTemporary(const QString& absolute) {
    const int error = unlinkTemporary(absolute);
    return !error || error == ENOENT;
}

QString join(const QString& root, const QString& relative) {
    if (relative.isEmpty()) return root;
    if (root.endsWith(QLatin1Char('/'))) return root + relative;
    return root + QLatin1Char('/') + relative;
}

QString parentOf(const QString& relative) {
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : relative.left(slash);
}

bool isInside(const QString& relative, const QString& folder) {
    return folder.isEmpty() || relative == folder ||
           (relative.startsWith(folder) && relative.at(folder.size()) == QLatin1Char('/'));
}

std::optional<QString> identityOf(const QString& absolute) {
    struct stat st {};
    if (::stat(QFile::encodeName(absolute).constData(), &st) != 0) return std::nullopt;
    return QStringLiteral("%1:%2").arg(quint64(st.st_dev)).arg(quint64(st.st_ino));
}

bool isReadable(const QString& absolute) {
    if (injected(Operation::readFile, absolute)) return false;
    return ::access(QFile::encodeName(absolute).constData(), R_OK) == 0;
}

QString nameOf(const QString& relative) {
    const qsizetype slash = relative.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? relative : relative.mid(slash + 1);
}

bool isSameOrBelow(const QString& relative, const QString& ancestor) {
    if (ancestor.isEmpty()) return true;
    if (!relative.startsWith(ancestor)) return false;
    return relative.size() == ancestor.size() || relative.at(ancestor.size()) == QLatin1Char('/');
}

std::optional<QString> relativeTo(const QString& root, const QString& absolute) {
    QString base = root;
    while (base.size() > 1 && base.endsWith(QLatin1Char('/'))) base.chop(1);
    QString path = absolute;
    while (path.size() > 1 && path.endsWith(QLatin1Char('/'))) path.chop(1);
    if (path == base) return QString();
    const QString prefix = base == QStringLiteral("/") ? base : base + QLatin1Char('/');
    if (!path.startsWith(prefix)) return std::nullopt;
    const QString relative = path.mid(prefix.size());
    // Dot components would let a path climb out of the folder it claims to be in.
    for (const QString& part : relative.split(QLatin1Char('/')))
        if (part.isEmpty() || part == QStringLiteral(".") || part == QStringLiteral("..")) return std::nullopt;
    return relative;
}

bool meansGone(int error) { return error == ENOENT || error == ENOTDIR; }

std::optional<FsEntry> stat(const QString& absolute, int* error) {
    const QByteArray path = QFile::encodeName(absolute);
    struct stat st {};
    int failure = injected(Operation::stat, path);
    if (!failure && ::lstat(path.constData(), &st) != 0) failure = errno;
    if (error) *error = failure;
    if (failure) return std::nullopt;
    return entryOf(st);
}

bool isUnknown(const Unreadable& unreadable, const QString& relative) {
    if (unreadable.empty()) return false;
    for (QString p = relative;; p = parentOf(p)) {
        if (unreadable.count(p)) return true;
        if (p.isEmpty()) return false;
    }
}

int scan(const QString& root, const QString& relativeBase, FileTree& tree, Unreadable& unreadable,
         std::vector<QString>* temporaries, std::vector<QString>* undecodable, const KeySource& keys) {
    std::vector<QString> pending{relativeBase};
    bool first = true;
    while (!pending.empty()) {
        const QString folder = std::move(pending.back());
        pending.pop_back();
        const QByteArray path = QFile::encodeName(join(root, folder));
        int error = injected(Operation::openFolder, path);
        const int fd = error ? -1 : ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && !error) error = errno;
        DIR* dir = fd < 0 ? nullptr : ::fdopendir(fd);
        if (fd >= 0 && !dir) {
            error = errno;
            ::close(fd);
        }
        if (!dir) {
            // Only a folder that is no longer there is gone; one that cannot be read is unknown.
            if (meansGone(error)) eraseSubtree(tree, folder);
            else unreadable[folder] = error;
            if (first) return error;
            continue;
        }
        first = false;
        for (;;) {
            errno = 0;
            const dirent* item = ::readdir(dir);
            if (!item) {
                if (errno) unreadable[folder] = errno;
                break;
            }
            const char* raw = item->d_name;
            if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0))) continue;
            const QString name = QFile::decodeName(raw);
            // Sized exactly: a new path becomes a key the engine keeps for as long as the item exists.
            const QString relative = folder.isEmpty() ? name : QString(folder % QLatin1Char('/') % name);
            if (QFile::encodeName(name) != QByteArray(raw)) {
                if (undecodable) undecodable->push_back(relative);
                continue;
            }
            if (isTemporaryName(name)) {
                if (temporaries) temporaries->push_back(relative);
                continue;
            }
            struct stat st {};
            int statError = hookSet.load(std::memory_order_acquire) ? injected(Operation::stat, path + '/' + raw) : 0;
            if (!statError && ::fstatat(::dirfd(dir), raw, &st, AT_SYMLINK_NOFOLLOW) != 0) statError = errno;
            if (statError) {
                if (!meansGone(statError)) unreadable[relative] = statError;
                continue;
            }
            const FsEntry entry = entryOf(st);
            const QString* held = keys ? keys(relative) : nullptr;
            tree[held ? *held : relative] = entry;
            if (entry.isDirectory()) pending.push_back(relative);
        }
        ::closedir(dir);
    }
    return 0;
}

void setFaultHook(FaultHook hook) {
    std::lock_guard lock(hookMutex);
    faultHook = hook ? std::make_shared<const FaultHook>(std::move(hook)) : nullptr;
    hookSet.store(faultHook != nullptr, std::memory_order_release);
}

int writableFolderError(const QString& absoluteFolder) {
    struct stat st {};
    if (::stat(QFile::encodeName(absoluteFolder).constData(), &st) != 0) return errno;
    if (const int error = ownerWriteError(st)) return error;
    return ::access(QFile::encodeName(absoluteFolder).constData(), W_OK | X_OK) == 0 ? 0 : errno;
}

int makeFolders(const QString& absolute, unsigned mode, const QString& within) {
    if (!within.isEmpty() && !relativeTo(within, absolute).value_or(QString()).size()) return ENOENT;
    const QByteArray path = QFile::encodeName(absolute);
    if (::mkdir(path.constData(), mode) == 0) return 0;
    if (errno == EEXIST) {
        struct stat st {};
        return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode) ? 0 : EEXIST;
    }
    if (errno != ENOENT) return errno;
    const qsizetype slash = absolute.lastIndexOf(QLatin1Char('/'));
    if (slash <= 0) return ENOENT;
    if (const int error = makeFolders(absolute.left(slash), mode, within)) return error;
    if (::mkdir(path.constData(), mode) == 0 || errno == EEXIST) return 0;
    return errno;
}

Folder::Folder(const QString& absolute) : path_(absolute) {
    const QByteArray path = QFile::encodeName(absolute);
    error_ = injected(Operation::openFolder, path);
    if (!error_) fd_ = ::open(path.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0 && !error_) error_ = errno;
    struct stat st {};
    if (fd_ >= 0) writableError_ = ::fstat(fd_, &st) == 0 ? ownerWriteError(st) : errno;
    else writableError_ = error_;
}

Folder::~Folder() {
    if (fd_ >= 0) ::close(fd_);
}

Folder::Folder(Folder&& other) noexcept
    : path_(std::move(other.path_)), fd_(std::exchange(other.fd_, -1)), error_(other.error_),
      writableError_(other.writableError_) {}

Folder& Folder::operator=(Folder&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        path_ = std::move(other.path_);
        fd_ = std::exchange(other.fd_, -1);
        error_ = other.error_;
        writableError_ = other.writableError_;
    }
    return *this;
}

bool meansOutOfDescriptors(int error) { return error == EMFILE || error == ENFILE; }

bool meansServiceAway(int error) { return error == ENOTCONN || error == ETIMEDOUT; }

std::optional<std::size_t> freeDescriptors() {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return std::nullopt;
    DIR* dir = ::opendir("/proc/self/fd");
    if (!dir) return std::nullopt;
    std::size_t open = 0;
    while (const dirent* item = ::readdir(dir))
        if (item->d_name[0] != '.') ++open;
    ::closedir(dir);
    // The listing's own descriptor is counted too, and is closed again by now.
    open = open > 0 ? open - 1 : 0;
    return open >= limit.rlim_cur ? 0 : std::size_t(limit.rlim_cur) - open;
}

std::shared_ptr<const Folder> FolderHandles::open(const QString& absolute) {
    {
        std::lock_guard lock(mutex_);
        if (const auto it = index_.constFind(absolute); it != index_.cend()) {
            recent_.splice(recent_.begin(), recent_, *it);
            return (*it)->second;
        }
    }
    // Opened outside the lock: other threads' folders need not wait for this one.
    return hold(absolute, std::make_shared<const Folder>(absolute));
}

std::shared_ptr<const Folder> FolderHandles::reopen(const QString& absolute) {
    return hold(absolute, std::make_shared<const Folder>(absolute));
}

void FolderHandles::setLimit(std::size_t limit) {
    std::lock_guard lock(mutex_);
    limit_ = limit ? limit : 1;
    while (recent_.size() > limit_) {
        index_.remove(recent_.back().first);
        recent_.pop_back();
    }
}

std::shared_ptr<const Folder> FolderHandles::hold(const QString& absolute, std::shared_ptr<const Folder> folder) {
    if (meansOutOfDescriptors(folder->error())) return folder;
    std::lock_guard lock(mutex_);
    if (const auto it = index_.constFind(absolute); it != index_.cend()) {
        (*it)->second = folder;
        recent_.splice(recent_.begin(), recent_, *it);
        return folder;
    }
    recent_.emplace_front(absolute, folder);
    index_.insert(absolute, recent_.begin());
    while (recent_.size() > limit_) {
        index_.remove(recent_.back().first);
        recent_.pop_back();
    }
    return folder;
}

TransferResult copyAtomically(const Folder& sourceFolder, const QString& sourceName, const FsEntry& expectedSource,
                              const Folder& targetFolder, const QString& targetName,
                              const std::optional<FsEntry>& expectedTarget, const std::atomic<bool>& cancel,
                              const QString& temporaryTag) {
    TransferResult result;
    // A batch cancelled before this copy began leaves no trace at all.
    if (cancel.load()) {
        result.outcome = Outcome::cancelled;
        result.error = ECANCELED;
        return result;
    }
    if (!sourceFolder.isOpen()) {
        result.outcome = meansGone(sourceFolder.error()) ? Outcome::sourceChanged : Outcome::failed;
        result.error = meansGone(sourceFolder.error()) ? 0 : sourceFolder.error();
        return result;
    }
    const QByteArray sourceBytes = QFile::encodeName(sourceName);
    Fd in(::openat(sourceFolder.fd(), sourceBytes.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat before {};
    int error = in.valid() ? (::fstat(in.get(), &before) == 0 ? 0 : errno) : errno;
    if (!in.valid() && (error == ENOENT || error == ELOOP)) {
        result.outcome = Outcome::sourceChanged;
        return result;
    }
    if (error) {
        result.error = error;
        return result;
    }
    if (!entryOf(before).sameVersion(expectedSource)) {
        result.outcome = Outcome::sourceChanged;
        return result;
    }
    const bool hooked = hookSet.load(std::memory_order_acquire);
    const QString target = hooked ? targetFolder.pathOf(targetName) : QString();
    NewVersion version;
    version.mode = (before.st_mode & 0777) | S_IRUSR | S_IWUSR;
    version.mtime = before.st_mtim;
    version.fill = [&](int out) {
        if (const int fault = hooked ? injected(Operation::writeData, target) : 0) return fault;
        return copyData(in.get(), out, before.st_size, cancel, hooked ? injected(Operation::copyRange, target) : 0);
    };
    version.unchangedSource = [&](const struct stat& written) {
        struct stat after {};
        return ::fstat(in.get(), &after) == 0 && entryOf(after).sameVersion(expectedSource) &&
               written.st_size == after.st_size;
    };
    return writeAtomically(targetFolder, targetName, expectedTarget, version, cancel, temporaryTag);
}

TransferResult writeAtomically(const Folder& targetFolder, const QString& targetName,
                               const std::optional<FsEntry>& expectedTarget, const NewVersion& version,
                               const std::atomic<bool>& cancel, const QString& temporaryTag) {
    TransferResult result;
    const auto failed = [&](int error) {
        result.outcome = error == ECANCELED ? Outcome::cancelled : Outcome::failed;
        result.error = error;
        return result;
    };
    const auto changed = [&](Outcome outcome) {
        result.outcome = outcome;
        return result;
    };
    // Hooks get absolute paths; they are only put together while a test has set one.
    const bool hooked = hookSet.load(std::memory_order_acquire);
    const QString target = hooked ? targetFolder.pathOf(targetName) : QString();

    if (cancel.load()) return failed(ECANCELED);
    if (!targetFolder.isOpen()) return failed(targetFolder.error());
    if (const int error = targetFolder.writableError()) return failed(error);
    // A new file is written as one without a name and linked into place at the end: nothing of it
    // is seen before it is whole, and nothing is left behind when the process dies. Where the file
    // system cannot, and for a replacement (a link cannot replace), a named temp file serves.
    // Empty `temp`: the unnamed kind.
    QByteArray temp;
    static const bool canLinkUnnamed = ::access("/proc/self/fd", X_OK) == 0;
    Fd out(!expectedTarget && canLinkUnnamed ? ::openat(targetFolder.fd(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, version.mode)
                                             : -1);
    if (!out.valid()) out = Fd(createTemporary(targetFolder.fd(), version.mode, temporaryTag, temp));
    if (!out.valid()) return failed(errno);
    // Even "not there" counts as a failure: the folder may have gone away with the file in it.
    const auto removeTemp = [&] {
        if (temp.isEmpty()) return;  // goes with its descriptor
        int error = hooked ? injected(Operation::removeTemporary, targetFolder.pathOf(QFile::decodeName(temp))) : 0;
        if (!error && ::unlinkat(targetFolder.fd(), temp.constData(), 0) != 0) error = errno;
        if (error) result.leftover = targetFolder.pathOf(QFile::decodeName(temp));
    };
    const auto discard = [&](int error) {
        removeTemp();
        return failed(error);
    };
    const auto discardChanged = [&](Outcome outcome) {
        removeTemp();
        return changed(outcome);
    };

    if (const int error = version.fill(out.get())) return discard(error);
    const struct timespec times[2] = {{0, UTIME_NOW}, version.mtime};
    if (::futimens(out.get(), times) != 0) return discard(errno);
    struct stat written {};
    if (::fstat(out.get(), &written) != 0) return discard(errno);
    if (version.unchangedSource && !version.unchangedSource(written)) return discardChanged(Outcome::sourceChanged);

    const QByteArray targetBytes = QFile::encodeName(targetName);
    const auto targetAsExpected = [&] {
        struct stat now {};
        int error = hooked ? injected(Operation::stat, target) : 0;
        if (!error && ::fstatat(targetFolder.fd(), targetBytes.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0) error = errno;
        return expectedTarget ? !error && entryOf(now).sameVersion(*expectedTarget) : meansGone(error);
    };
    const auto rename = [&](unsigned flags) {
        if (temp.isEmpty()) {
            // A link never replaces anything, as the rename of a new file must not.
            const QByteArray self = "/proc/self/fd/" + QByteArray::number(out.get());
            return ::linkat(AT_FDCWD, self.constData(), targetFolder.fd(), targetBytes.constData(), AT_SYMLINK_FOLLOW) == 0
                       ? 0
                       : errno;
        }
        return ::renameat2(targetFolder.fd(), temp.constData(), targetFolder.fd(), targetBytes.constData(), flags) == 0
                   ? 0
                   : errno;
    };
    int renameError = 0;
    if (expectedTarget) {
        // Another writer may still slip in between the look and the rename; the window is short.
        if (!targetAsExpected()) return discardChanged(Outcome::targetChanged);
        renameError = rename(0);
    } else {
        // Where nothing may be there, the rename itself makes sure: no look is needed first, and
        // nothing that appeared meanwhile is replaced.
        const int hookError = hooked ? injected(Operation::stat, target) : 0;
        renameError = hookError && !meansGone(hookError) ? EEXIST : rename(RENAME_NOREPLACE);
        // A file system that cannot refuse to replace gets a look and a plain rename.
        if (renameError == EINVAL) renameError = targetAsExpected() ? rename(0) : EEXIST;
    }
    if (renameError) return renameError == EEXIST ? discardChanged(Outcome::targetChanged) : discard(renameError);
    result.outcome = Outcome::done;
    result.written = entryOf(written);
    return result;
}

TransferResult copyAtomically(const QString& source, const FsEntry& expectedSource, const QString& target,
                              const std::optional<FsEntry>& expectedTarget, const std::atomic<bool>& cancel,
                              const QString& temporaryTag) {
    const auto folderOf = [](const QString& path) {
        const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
        return slash <= 0 ? QStringLiteral("/") : path.left(slash);
    };
    return copyAtomically(Folder(folderOf(source)), nameOf(source), expectedSource, Folder(folderOf(target)),
                          nameOf(target), expectedTarget, cancel, temporaryTag);
}

int removeFileIfUnchanged(const QString& absolute, const FsEntry& expected) {
    int error = 0;
    const auto current = stat(absolute, &error);
    if (!current) return meansGone(error) ? 0 : error;
    if (!current->sameVersion(expected)) return ESTALE;
    const qsizetype slash = absolute.lastIndexOf(QLatin1Char('/'));
    if (const int error = writableFolderError(absolute.left(slash))) return error;
    return ::unlink(QFile::encodeName(absolute).constData()) == 0 || errno == ENOENT ? 0 : errno;
}

void removeAll(const QString& root, std::vector<Removal>& items, FolderLookup& folders, const std::atomic<bool>& cancel) {
    for (Removal& item : items) {
        if (cancel) {
            item.error = ECANCELED;
            continue;
        }
        const auto folder = folders.open(join(root, parentOf(item.path)));
        if (!folder->isOpen()) {
            item.error = meansGone(folder->error()) ? 0 : folder->error();
            continue;
        }
        const QString name = nameOf(item.path);
        const QByteArray raw = QFile::encodeName(name);
        struct stat st {};
        int error = injected(Operation::stat, folder->pathOf(name));
        if (!error && ::fstatat(folder->fd(), raw.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0) error = errno;
        if (error) {
            item.error = meansGone(error) ? 0 : error;
            continue;
        }
        const FsEntry now = entryOf(st);
        if (!now.sameVersion(item.expected)) {
            item.error = ESTALE;
        } else if (folder->writableError()) {
            item.error = folder->writableError();
        } else if (::unlinkat(folder->fd(), raw.constData(), now.isDirectory() ? AT_REMOVEDIR : 0) == 0 || errno == ENOENT) {
            item.error = 0;
        } else {
            item.error = errno == EEXIST ? ENOTEMPTY : errno;
        }
    }
}

int renameNoReplace(const QString& from, const QString& to) {
    return ::renameat2(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD, QFile::encodeName(to).constData(),
                       RENAME_NOREPLACE) == 0
               ? 0
               : errno;
}

bool sameContent(const QString& a, const QString& b) {
    QFile first(a);
    QFile second(b);
    if (!first.open(QIODevice::ReadOnly) || !second.open(QIODevice::ReadOnly)) return false;
    if (first.size() != second.size()) return false;
    constexpr qint64 chunk = 1024 * 1024;
    while (!first.atEnd()) {
        if (first.read(chunk) != second.read(chunk)) return false;
    }
    return second.atEnd();
}

std::optional<std::int64_t> freeSpace(const QString& path) {
    struct statvfs st {};
    if (::statvfs(QFile::encodeName(path).constData(), &st) != 0) return std::nullopt;
    return std::int64_t(st.f_bavail) * std::int64_t(st.f_frsize);
}

}  // namespace SyncFileSystem
