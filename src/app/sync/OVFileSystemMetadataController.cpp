#include "app/sync/OVFileSystemMetadataController.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/common/LogChannels.h"
#include "app/core/UserController.h"
#include "app/sync/SyncFolderPaths.h"
#include "frameworks/business/BusinessFacade.h"

namespace {

QString absoluteClean(const QString& path) { return QDir::cleanPath(QDir(path).absolutePath()); }

QString join(const QString& base, const QString& component) {
    return SyncFolderPaths::appendingPathComponent(base, component);
}

// Anything at the path counts, a dangling link too: its name is taken.
bool itemExists(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

QString systemError(const QString& what, const QString& path, int error) {
    return what + QStringLiteral(" \"") + path + QStringLiteral("\": ") + QString::fromLocal8Bit(std::strerror(error));
}

// Reads a regular file as UTF-8 text; none when it is missing, not a regular file (a pipe would
// block the caller), unreadable, or not valid UTF-8.
std::optional<QString> readUtf8File(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    QByteArray bytes;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    while (ok) {
        char buffer[4096];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        if (n <= 0) break;
        bytes.append(buffer, n);
    }
    ::close(fd);
    if (!ok) return std::nullopt;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

// Writes the bytes to a new owner-only file at `path` by way of a temporary file renamed into place,
// so that a reader never sees half an identifier. An item that appears at `path` meanwhile wins.
QString writeNewFileAtomically(const QString& path, const QByteArray& bytes) {
    QByteArray temp = QFile::encodeName(path) + ".XXXXXX";
    const int fd = ::mkostemp(temp.data(), O_CLOEXEC);  // mode 0600
    if (fd < 0) return systemError(QStringLiteral("Cannot create a file beside"), path, errno);
    qsizetype written = 0;
    int error = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + written, size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = errno;
            break;
        }
        written += n;
    }
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    // link() refuses an existing name, unlike rename(): a marker written meanwhile is kept. File
    // systems without hard links (FAT on a removable disk) get the rename.
    const QByteArray target = QFile::encodeName(path);
    if (error == 0 && ::link(temp.constData(), target.constData()) != 0) {
        error = errno;
        if (error == EEXIST || ::rename(temp.constData(), target.constData()) == 0) error = 0;
    }
    ::unlink(temp.constData());
    return error == 0 ? QString() : systemError(QStringLiteral("Cannot write"), path, error);
}

}  // namespace

OVFileSystemMetadataController::OVFileSystemMetadataController(const UserController& userController)
    : userController_(userController) {}

QString OVFileSystemMetadataController::makeItemOwnerExclusive(const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    struct stat info {};
    if (::lstat(name.constData(), &info) != 0) return systemError(QStringLiteral("Cannot find"), path, errno);
    if (S_ISLNK(info.st_mode)) return QStringLiteral("Will not change the access of the link \"%1\"").arg(path);
    const mode_t mode = S_ISDIR(info.st_mode) ? S_IRWXU : (info.st_mode & S_IXUSR) | S_IRUSR | S_IWUSR;
    if (::chmod(name.constData(), mode) != 0) return systemError(QStringLiteral("Cannot restrict access to"), path, errno);
    return {};
}

void OVFileSystemMetadataController::createAccountInfoFile(const QString& syncFolder) const {
    const auto user = userController_.user();
    if (!user) return;
    const QByteArray accountId = user->accountId().toUtf8();

    const QString error = [&]() -> QString {
        const QString markerFolder = join(syncFolder, markerFolderName);
        if (!itemExists(markerFolder)) {
            if (::mkdir(QFile::encodeName(markerFolder).constData(), S_IRWXU) != 0)
                return systemError(QStringLiteral("Cannot create the folder"), markerFolder, errno);
            if (QString failure = makeItemOwnerExclusive(markerFolder); !failure.isEmpty()) return failure;
        }
        const QString markerFile = join(markerFolder, accountIdFileName);
        if (!itemExists(markerFile)) return writeNewFileAtomically(markerFile, accountId);
        return {};
    }();
    if (!error.isEmpty())
        OVLOG_ERROR(AppLog::setup(), QStringLiteral("Failed to create the metadata folder or account file. Error: ") + error);
}

OVFileSystemMetadataResult<bool> OVFileSystemMetadataController::belongsToOtherAccount(const QString& syncRoot) const {
    const auto user = userController_.user();
    if (!user) return OVFileSystemMetadataError::unknownAccountId;
    const QString markerFile =
        join(join(join(syncRoot, SyncFolderPaths::folderName), markerFolderName), accountIdFileName);
    const auto storedId = readUtf8File(markerFile);
    if (!storedId) return false;
    return *storedId != user->accountId();
}

bool OVFileSystemMetadataController::isInsideSyncRoot(const QString& folder) const {
    QString current = absoluteClean(folder);
    while (!current.isEmpty() && current != QLatin1String("/")) {
        if (itemExists(join(current, markerFolderName))) return true;
        const QString parent = QDir::cleanPath(current + QStringLiteral("/.."));
        if (parent == current) break;
        current = parent;
    }
    return false;
}

OVFileSystemMetadataResult<QUrl> OVFileSystemMetadataController::proposedSyncRootURL(const QString& syncRoot) const {
    const QString parent = absoluteClean(syncRoot);
    const bool syncFolderExists = itemExists(join(parent, SyncFolderPaths::folderName));
    const auto otherAccount = belongsToOtherAccount(parent);
    if (!otherAccount.isSuccess()) return otherAccount.error();
    if (!syncFolderExists) return QUrl::fromLocalFile(parent);
    if (!otherAccount.value() && !isInsideSyncRoot(parent)) return QUrl::fromLocalFile(parent);

    QString base = parent;
    while (base != QLatin1String("/") && isInsideSyncRoot(base)) {
        const QString up = QDir::cleanPath(base + QStringLiteral("/.."));
        if (up == base) break;
        base = up;
    }
    for (quint64 n = 1;; ++n) {
        const QString candidate = join(base, SyncFolderPaths::folderName + u' ' + QString::number(n));
        if (!itemExists(candidate)) return QUrl::fromLocalFile(candidate);
    }
}
