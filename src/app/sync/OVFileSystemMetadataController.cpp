#include "app/sync/OVFileSystemMetadataController.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/common/LogChannels.h"
#include "app/core/SyncFolderPaths.h"
#include "app/core/UserController.h"
#include "frameworks/business/BusinessFacade.h"
#include "platform/foundation/UserDefaults.h"

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

QString markerFilePath(const QString& syncFolder) {
    return join(join(syncFolder, OVFileSystemMetadataController::markerFolderName),
                OVFileSystemMetadataController::accountIdFileName);
}

// An identifier is one short token; anything else in the file is no account's name.
bool isPlausibleAccountId(const QString& text) {
    if (text.isEmpty() || text.size() > 256) return false;
    return std::none_of(text.begin(), text.end(), [](QChar c) { return c.isSpace() || c.category() == QChar::Other_Control; });
}

// The folder as the file system knows it, so that a folder put in its place under the same name
// is not taken for it.
std::optional<QString> folderIdentity(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISDIR(info.st_mode)) return std::nullopt;
    return QStringLiteral("%1:%2").arg(quint64(info.st_dev)).arg(quint64(info.st_ino));
}

QString rememberedFolderKey(const QString& accountId) { return QStringLiteral("SyncFolderOfAccount.") + accountId; }

// Removes whatever stands where the marker should be, so that a sound one can be written.
QString removeDamagedMarker(const QString& syncFolder) {
    const QString folder = join(syncFolder, OVFileSystemMetadataController::markerFolderName);
    struct stat info {};
    const QString item = ::lstat(QFile::encodeName(folder).constData(), &info) == 0 && S_ISDIR(info.st_mode)
                             ? join(folder, OVFileSystemMetadataController::accountIdFileName)
                             : folder;
    if (::lstat(QFile::encodeName(item).constData(), &info) != 0) return {};
    if (S_ISDIR(info.st_mode) ? QDir(item).removeRecursively() : ::unlink(QFile::encodeName(item).constData()) == 0)
        return {};
    return systemError(QStringLiteral("Cannot remove the damaged marker"), item, errno);
}

}  // namespace

struct OVFileSystemMetadataController::Marker {
    enum class Kind { missing, damaged, account } kind = Kind::missing;
    QString accountId;
};

OVFileSystemMetadataController::Marker OVFileSystemMetadataController::readMarker(const QString& syncFolder) {
    struct stat info {};
    if (::lstat(QFile::encodeName(join(syncFolder, markerFolderName)).constData(), &info) != 0)
        return {errno == ENOENT ? Marker::Kind::missing : Marker::Kind::damaged, {}};
    const auto text = S_ISDIR(info.st_mode) ? readUtf8File(markerFilePath(syncFolder)) : std::nullopt;
    if (!text || !isPlausibleAccountId(*text)) return {Marker::Kind::damaged, {}};
    return {Marker::Kind::account, *text};
}

bool OVFileSystemMetadataController::isUnprovenDamage(const Marker& marker, const QString& syncFolder,
                                                      const QString& accountId) const {
    if (marker.kind != Marker::Kind::damaged) return false;
    const auto remembered = UserDefaults::standard().dictionaryForKey(rememberedFolderKey(accountId));
    const auto identity = folderIdentity(syncFolder);
    return !remembered || !identity ||
           remembered->value(QStringLiteral("path")).toString() != absoluteClean(syncFolder) ||
           remembered->value(QStringLiteral("identity")).toString() != *identity;
}

void OVFileSystemMetadataController::rememberSyncFolder(const QString& syncFolder, const QString& accountId) const {
    const auto identity = folderIdentity(syncFolder);
    if (!identity) return;
    const QVariantMap record{{QStringLiteral("path"), absoluteClean(syncFolder)}, {QStringLiteral("identity"), *identity}};
    if (UserDefaults::standard().dictionaryForKey(rememberedFolderKey(accountId)) != record)
        UserDefaults::standard().setObject(rememberedFolderKey(accountId), record);
}

std::optional<QString> OVFileSystemMetadataController::markedAccountId(const QString& syncFolder) {
    const Marker marker = readMarker(syncFolder);
    if (marker.kind != Marker::Kind::account) return std::nullopt;
    return marker.accountId;
}

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
    // What later proves the folder this account's, should its marker come to harm.
    const Marker marker = readMarker(syncFolder);
    if (marker.kind == Marker::Kind::account && marker.accountId == user->accountId())
        rememberSyncFolder(syncFolder, user->accountId());
}

OVFileSystemMetadataResult<OVSyncFolderClaim> OVFileSystemMetadataController::claimSyncFolder(
    const QString& syncFolder) const {
    const auto user = userController_.user();
    if (!user) return OVFileSystemMetadataError::unknownAccountId;
    const Marker marker = readMarker(syncFolder);
    switch (marker.kind) {
    case Marker::Kind::missing: return OVSyncFolderClaim::usable;
    case Marker::Kind::account:
        return marker.accountId == user->accountId() ? OVSyncFolderClaim::usable : OVSyncFolderClaim::otherAccount;
    case Marker::Kind::damaged: break;
    }
    if (isUnprovenDamage(marker, syncFolder, user->accountId())) return OVSyncFolderClaim::unproven;
    if (const QString error = removeDamagedMarker(syncFolder); !error.isEmpty()) {
        OVLOG_ERROR(AppLog::setup(), error);
        return OVSyncFolderClaim::unproven;
    }
    createAccountInfoFile(syncFolder);
    const Marker mended = readMarker(syncFolder);
    if (mended.kind != Marker::Kind::account || mended.accountId != user->accountId()) return OVSyncFolderClaim::unproven;
    OVLOG_WARNING(AppLog::setup(), QStringLiteral("The account marker of \"%1\" was damaged and has been written anew.")
                                       .arg(syncFolder));
    return OVSyncFolderClaim::usable;
}

OVFileSystemMetadataResult<bool> OVFileSystemMetadataController::belongsToOtherAccount(const QString& syncRoot) const {
    const auto user = userController_.user();
    if (!user) return OVFileSystemMetadataError::unknownAccountId;
    const auto storedId = readUtf8File(markerFilePath(join(syncRoot, SyncFolderPaths::folderName)));
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
    const QString syncFolder = join(parent, SyncFolderPaths::folderName);
    const bool syncFolderExists = itemExists(syncFolder);
    const auto otherAccount = belongsToOtherAccount(parent);
    if (!otherAccount.isSuccess()) return otherAccount.error();
    if (!syncFolderExists) return QUrl::fromLocalFile(parent);
    // A folder whose damaged marker set-up would refuse is as taken as another account's.
    const bool taken = otherAccount.value() ||
                       isUnprovenDamage(readMarker(syncFolder), syncFolder, userController_.user()->accountId());
    if (!taken && !isInsideSyncRoot(parent)) return QUrl::fromLocalFile(parent);

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
