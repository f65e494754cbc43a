#include "frameworks/business/OrvellaDirectoryNode.h"

#include <QFile>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <variant>

#include "frameworks/business/RequestCancelable.h"
#include "frameworks/business/ServiceErrors.h"
#include "frameworks/logger/FrameworkChannels.h"
#include "frameworks/sync/SyncFileSystem.h"
#include "platform/foundation/SerialQueue.h"
#include "service/StorageService.h"

namespace {

using Children = std::vector<std::shared_ptr<DirectoryHierarchyNode>>;
using Session = OrvellaDirectoryNode::Session;

constexpr int folderOpenFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

QString childPath(const QString& parent, const QString& name) {
    return parent == QStringLiteral("/") ? parent + name : parent + QLatin1Char('/') + name;
}

// Names the walk leaves alone: the engine's temp files, and names that do not survive the trip
// through text unchanged (the path built from them would name something else).
bool isListedName(const char* raw, QString& name) {
    if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0))) return false;
    name = QFile::decodeName(raw);
    if (QFile::encodeName(name) != QByteArray(raw)) return false;
    return !SyncFileSystem::isTemporaryName(name);
}

// Walks a folder tree through open descriptors, so that a link swapped in meanwhile is met as a
// link (and refused), never followed.
class TreeWalk {
public:
    TreeWalk(std::shared_ptr<const Session> session, const RequestCancelable& request)
        : session_(std::move(session)), request_(request) {}

    bool cancelled() const { return cancelled_; }

    // Takes `fd` (an open folder) over. Answers the bytes of the regular files below it and, when
    // `children` is given, fills it with the subfolders, each with `depth - 1` levels of its own.
    std::int64_t walk(int fd, const QString& path, int depth, std::optional<Children>* children) {
        DIR* dir = ::fdopendir(fd);
        if (!dir) {
            ::close(fd);
            return 0;
        }
        std::int64_t bytes = 0;
        std::vector<std::pair<QString, std::shared_ptr<DirectoryHierarchyNode>>> found;
        while (const dirent* item = ::readdir(dir)) {
            if (request_.isCancelled()) {
                cancelled_ = true;
                break;
            }
            QString name;
            if (!isListedName(item->d_name, name)) continue;
            struct stat st {};
            if (::fstatat(::dirfd(dir), item->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
            if (S_ISREG(st.st_mode)) {
                bytes += st.st_size;
                continue;
            }
            if (!S_ISDIR(st.st_mode)) continue;  // links and special files are no folders of the tree
            const int sub = ::openat(::dirfd(dir), item->d_name, folderOpenFlags);
            if (sub < 0 && errno != EACCES && errno != EPERM) continue;  // gone or swapped for a link
            const QString subPath = childPath(path, name);
            std::optional<Children> grandChildren;
            std::int64_t subBytes = 0;
            // An unreadable folder is still the user's folder; its content is just unknown here.
            if (sub >= 0) subBytes = walk(sub, subPath, depth - 1, depth > 1 ? &grandChildren : nullptr);
            if (cancelled_) break;
            bytes += subBytes;
            if (children) {
                found.emplace_back(name, std::make_shared<OrvellaDirectoryNode>(
                                             session_, subPath, OrvellaDirectoryNode::identifierFor(st.st_dev, st.st_ino),
                                             subBytes, std::move(grandChildren)));
            }
        }
        ::closedir(dir);
        if (children && !cancelled_) {
            std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
            Children list;
            list.reserve(found.size());
            for (auto& entry : found) list.push_back(std::move(entry.second));
            children->emplace(std::move(list));
        }
        return bytes;
    }

private:
    std::shared_ptr<const Session> session_;
    const RequestCancelable& request_;
    bool cancelled_ = false;
};

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }

private:
    int fd_;
};

BusinessError folderError(const QString& path, int error) {
    if (error == ENOENT || error == ENOTDIR || error == ELOOP) {
        OVLOG_INFO(Log::Business::directoryListing(), QStringLiteral("No folder at ") + path);
        return BusinessError::make(BusinessError::Kind::directoryUnknown);
    }
    return BusinessError::genericError(QStringLiteral("Cannot read the folder %1: %2")
                                           .arg(path, QString::fromLocal8Bit(std::strerror(error))));
}

// Opens the folder at `path` below the user's home, one component at a time without following
// links. The descriptor, or the error that stands for the failure.
std::variant<int, BusinessError> openFolder(const Session& session, const QString& path) {
    Descriptor fd(::open(QFile::encodeName(session.service->homeFolder(session.userName)).constData(), folderOpenFlags));
    if (fd.get() < 0) return folderError(path, errno);
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QStringLiteral(".") || part == QStringLiteral("..") || SyncFileSystem::isTemporaryName(part))
            return folderError(path, ENOENT);
        const int next = ::openat(fd.get(), QFile::encodeName(part).constData(), folderOpenFlags);
        if (next < 0) return folderError(path, errno);
        fd.reset(next);
    }
    return fd.release();
}

// The folder at `path` read afresh, or why not; none when the request was cancelled meanwhile.
std::optional<BusinessResult<std::shared_ptr<DirectoryHierarchyNode>>> load(
    const std::shared_ptr<const Session>& session, const QString& path, int depth, const RequestCancelable& request) {
    const auto account = session->service->validateSession(session->sessionToken);
    if (!account) return BusinessResult<std::shared_ptr<DirectoryHierarchyNode>>(businessError(account.failure()));
    if (account.value().userName != session->userName)
        return BusinessResult<std::shared_ptr<DirectoryHierarchyNode>>(BusinessError::make(BusinessError::Kind::invalidSession));

    auto opened = openFolder(*session, path);
    if (auto* error = std::get_if<BusinessError>(&opened)) return BusinessResult<std::shared_ptr<DirectoryHierarchyNode>>(*error);
    const int fd = std::get<int>(opened);
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        const int error = errno;
        ::close(fd);
        return BusinessResult<std::shared_ptr<DirectoryHierarchyNode>>(folderError(path, error));
    }
    TreeWalk walk(session, request);
    std::optional<Children> children;
    const std::int64_t bytes = walk.walk(fd, path, depth, depth > 0 ? &children : nullptr);
    if (walk.cancelled()) return std::nullopt;
    std::shared_ptr<DirectoryHierarchyNode> node = std::make_shared<OrvellaDirectoryNode>(
        session, path, OrvellaDirectoryNode::identifierFor(st.st_dev, st.st_ino), bytes, std::move(children));
    return BusinessResult<std::shared_ptr<DirectoryHierarchyNode>>(std::move(node));
}

}  // namespace

std::shared_ptr<OrvellaDirectoryNode> OrvellaDirectoryNode::makeRoot(std::shared_ptr<const Session> session) {
    // One lstat, so that the unloaded root already carries the identifier its loaded form will have.
    struct stat st {};
    QString identifier;
    if (::lstat(QFile::encodeName(session->service->homeFolder(session->userName)).constData(), &st) == 0 &&
        S_ISDIR(st.st_mode))
        identifier = identifierFor(st.st_dev, st.st_ino);
    return std::make_shared<OrvellaDirectoryNode>(std::move(session), QStringLiteral("/"), identifier, 0, std::nullopt);
}

OrvellaDirectoryNode::OrvellaDirectoryNode(std::shared_ptr<const Session> session, QString path, QString identifier,
                                           std::int64_t size, std::optional<Children> children)
    : session_(std::move(session)),
      path_(std::move(path)),
      identifier_(std::move(identifier)),
      size_(size),
      children_(std::move(children)) {}

QString OrvellaDirectoryNode::identifierFor(std::uint64_t device, std::uint64_t inode) {
    return QStringLiteral("%1-%2").arg(device, 0, 16).arg(inode, 0, 16);
}

QString OrvellaDirectoryNode::name() const {
    if (path_ == QStringLiteral("/")) return QStringLiteral("root");
    return path_.mid(path_.lastIndexOf(QLatin1Char('/')) + 1);
}

std::shared_ptr<Cancelable> OrvellaDirectoryNode::loadLevel(int depth, int batch, LevelCompletion completion) const {
    (void)batch;
    auto request = std::make_shared<RequestCancelable>();
    session_->queue->async([request, completion = std::move(completion), session = session_, path = path_, depth] {
        if (request->isCancelled()) return;  // spare the walk
        const auto result = load(session, path, depth, *request);
        if (!result) return;
        request->complete([&] {
            if (completion) completion(*result);
        });
    });
    return request;
}
