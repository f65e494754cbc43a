#include "extension/DirectoryIdentifier.h"

#include <QStringDecoder>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cstring>

class DirectoryIdentifier::Handle {
public:
    explicit Handle(int fd) : fd(fd) {}
    ~Handle() { ::close(fd); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    const int fd;
};

namespace {
// The longest path answered, as a buffer of 1024 bytes with its terminating zero holds it.
constexpr qsizetype kMaximumPathBytes = 1023;
}

std::optional<DirectoryIdentifier> DirectoryIdentifier::make(const QString& path) {
    const QByteArray bytes = path.toUtf8();
    if (bytes.isEmpty()) return std::nullopt;
    const int fd = ::open(bytes.constData(), O_PATH | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    auto handle = std::make_shared<const Handle>(fd);
    struct stat info {};
    struct statfs fs {};
    if (::fstat(fd, &info) != 0 || ::statfs(bytes.constData(), &fs) != 0) return std::nullopt;
    DirectoryIdentifier identifier;
    identifier.originalPath_ = path;
    std::memcpy(identifier.fsid_.val, &fs.f_fsid, sizeof identifier.fsid_.val);
    identifier.fileNumber_ = static_cast<std::int64_t>(info.st_ino);
    identifier.handle_ = std::move(handle);
    return identifier;
}

std::optional<QString> DirectoryIdentifier::currentPath() const {
    if (!handle_) return std::nullopt;
    struct stat held {};
    // A folder with no links left has been deleted, whatever name the kernel still remembers.
    if (::fstat(handle_->fd, &held) != 0 || held.st_nlink == 0) return std::nullopt;
    if (static_cast<std::int64_t>(held.st_ino) != fileNumber_) return std::nullopt;

    const QByteArray link = "/proc/self/fd/" + QByteArray::number(handle_->fd);
    char buffer[4096];
    const ssize_t length = ::readlink(link.constData(), buffer, sizeof buffer);
    if (length < 1 || length >= static_cast<ssize_t>(sizeof buffer)) return std::nullopt;
    const QByteArray path(buffer, length);
    if (path.size() > kMaximumPathBytes || !path.startsWith('/')) return std::nullopt;

    // The name must still lead to this very folder on the same file system.
    struct stat there {};
    struct statfs fs {};
    if (::stat(path.constData(), &there) != 0 || there.st_ino != held.st_ino || there.st_dev != held.st_dev)
        return std::nullopt;
    if (::statfs(path.constData(), &fs) != 0) return std::nullopt;
    FileSystemID now;
    std::memcpy(now.val, &fs.f_fsid, sizeof now.val);
    if (!(now == fsid_)) return std::nullopt;

    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder(path);
    if (decoder.hasError()) return std::nullopt;
    return decoded;
}
