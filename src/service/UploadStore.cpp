#include "service/UploadStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "frameworks/crypto/OVCryptoManager.h"
#include "service/AccountRules.h"
#include "service/AtomicFile.h"
#include "service/ContentHash.h"
#include "service/StorageService.h"

namespace {

const QString metaSuffix = QStringLiteral(".json");
const QString partSuffix = QStringLiteral(".part");
const QString stagingSuffix = QStringLiteral(".staging");
constexpr qint64 hashChunk = 1 << 20;
const auto ownerOnlyFolder = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

bool hasIdShape(const QString& id) {
    return id.size() == 32 && std::all_of(id.begin(), id.end(), [](QChar c) { return c.isDigit() || (c >= u'a' && c <= u'f'); });
}

ServiceFailure unknownUpload() { return {ServiceError::notFound, QStringLiteral("No such upload (it may have expired).")}; }

}  // namespace

UploadStore::UploadStore(const StorageService& service) : service_(service) {}

QString UploadStore::folderOf(const QString& userName) const {
    return service_.root() + QStringLiteral("/uploads/") + AccountRules::normalizedUserName(userName);
}

ServiceResult<QString> UploadStore::ensureFolder(const QString& userName) const {
    const QString uploads = service_.root() + QStringLiteral("/uploads");
    const QString folder = folderOf(userName);
    if (!QDir().mkpath(folder) || !QFile::setPermissions(uploads, ownerOnlyFolder) || !QFile::setPermissions(folder, ownerOnlyFolder))
        return ServiceFailure{ServiceError::storageFailure, QStringLiteral("Cannot create the folder of uploads.")};
    return folder;
}

ServiceResult<UploadStore::Upload> UploadStore::create(const QString& userName, const ServiceWire::UploadRequest& request) {
    auto folder = ensureFolder(userName);
    if (!folder) return folder.failure();
    Upload upload;
    upload.id = QString::fromLatin1(OVCryptoManager().randomBytes(16).toHex());
    upload.request = request;
    upload.created = service_.now().toUTC();
    QJsonObject meta = ServiceWire::encode(request);
    meta[QStringLiteral("created")] = ServiceWire::encodeDate(upload.created);
    const QString base = folder.value() + u'/' + upload.id;
    const int fd = ::open(QFile::encodeName(base + partSuffix).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return ServiceFailure{ServiceError::storageFailure, QStringLiteral("Cannot begin the upload.")};
    ::close(fd);
    QString error;
    if (!AtomicFile::write(base + metaSuffix, ServiceWire::toBytes(meta), 0600, &error)) {
        QFile::remove(base + partSuffix);
        return ServiceFailure{ServiceError::storageFailure, error};
    }
    return upload;
}

ServiceResult<UploadStore::Upload> UploadStore::begin(const QString& userName, const UserTree& tree,
                                                      const ServiceWire::UploadRequest& request) {
    auto admitted = admit(userName, tree, request);
    if (!admitted) return admitted.failure();
    return create(userName, request);
}

ServiceResult<ServiceDone> UploadStore::admit(const QString& userName, const UserTree& tree,
                                              const ServiceWire::UploadRequest& request) const {
    auto free = room(userName);
    if (!free) return free.failure();
    auto admitted = admitWithin(tree, request, free.value());
    if (!admitted) return admitted.failure();
    return ServiceDone{};
}

ServiceResult<std::int64_t> UploadStore::admitWithin(const UserTree& tree, const ServiceWire::UploadRequest& request,
                                                     std::int64_t room) const {
    if (auto why = ServiceWire::checkUserPath(request.path)) return ServiceFailure{ServiceError::invalidPath, *why};
    if (request.path.isEmpty()) return ServiceFailure{ServiceError::exists, QStringLiteral("The tree's root is a folder.")};
    std::int64_t replaced = 0;
    auto target = tree.entry(request.path);
    if (target) {
        if (!request.revision || target.value().type != ServiceEntry::Type::file)
            return ServiceFailure{ServiceError::exists, QStringLiteral("Something is at \"%1\" already.").arg(request.path)};
        if (target.value().revision() != *request.revision)
            return ServiceFailure{ServiceError::revisionMismatch,
                                  QStringLiteral("\"%1\" has changed since it was last seen.").arg(request.path)};
        replaced = target.value().size;
    } else if (target.error() != ServiceError::notFound) {
        return target.failure();
    } else if (request.revision) {
        return ServiceFailure{ServiceError::revisionMismatch, QStringLiteral("\"%1\" is gone since it was last seen.").arg(request.path)};
    }
    if (request.size > room + replaced)
        return ServiceFailure{ServiceError::insufficientStorage, QStringLiteral("The file does not fit into the account's storage.")};
    return replaced;
}

ServiceResult<std::int64_t> UploadStore::room(const QString& userName) const {
    auto quota = service_.quotaOfUser(userName);
    if (!quota) return quota.failure();
    return quota.value().free - pendingBytes(userName);
}

ServiceResult<UploadStore::Upload> UploadStore::find(const QString& userName, const QString& id) const {
    if (!hasIdShape(id) || AccountRules::userNameProblem(AccountRules::normalizedUserName(userName))) return unknownUpload();
    const QString base = folderOf(userName) + u'/' + id;
    const auto bytes = AtomicFile::read(base + metaSuffix);
    if (!bytes) return unknownUpload();
    const auto json = ServiceWire::objectOf(*bytes);
    const auto request = json ? ServiceWire::decodeUploadRequest(*json) : std::nullopt;
    const auto created = json ? ServiceWire::decodeDate(json->value(QStringLiteral("created"))) : std::nullopt;
    struct stat st {};
    if (!request || !created || ::lstat(QFile::encodeName(base + partSuffix).constData(), &st) != 0 || !S_ISREG(st.st_mode))
        return unknownUpload();
    if (created->secsTo(service_.now()) > lifetimeSeconds) return unknownUpload();
    return Upload{id, *request, *created, std::int64_t(st.st_size)};
}

ServiceResult<UniqueFd> UploadStore::openForAppend(const QString& userName, const QString& id) const {
    auto upload = find(userName, id);
    if (!upload) return upload.failure();
    UniqueFd fd(::open(QFile::encodeName(folderOf(userName) + u'/' + id + partSuffix).constData(),
                       O_WRONLY | O_APPEND | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) return ServiceFailure{ServiceError::storageFailure, QStringLiteral("Cannot write the upload.")};
    return fd;
}

std::int64_t UploadStore::pendingBytes(const QString& userName) const {
    // Asked before every upload: read with readdir, as QDir's name filters cost a pattern each time.
    std::int64_t pending = 0;
    DIR* folder = ::opendir(QFile::encodeName(folderOf(userName)).constData());
    if (!folder) return 0;
    const QByteArray suffix = metaSuffix.toLatin1();
    while (const dirent* item = ::readdir(folder)) {
        const QByteArrayView name(item->d_name);
        if (!name.endsWith(suffix)) continue;
        const QString id = QFile::decodeName(name.chopped(suffix.size()).toByteArray());
        if (auto upload = find(userName, id)) pending += upload.value().request.size;
    }
    ::closedir(folder);
    return pending;
}

ServiceResult<ServiceEntry> UploadStore::commit(const QString& userName, const QString& id, UserTree& tree, bool* created) {
    auto found = find(userName, id);
    if (!found) return found.failure();
    const Upload& upload = found.value();
    if (upload.offset != upload.request.size)
        return ServiceFailure{ServiceError::uploadOffset,
                              QStringLiteral("The upload holds %1 of its %2 bytes.").arg(upload.offset).arg(upload.request.size)};
    auto placed = verifyAndPlace(userName, id + partSuffix, upload.request, tree, created);
    if (placed) QFile::remove(folderOf(userName) + u'/' + id + metaSuffix);
    else if (placed.error() == ServiceError::hashMismatch) remove(userName, id);
    return placed;
}

ServiceResult<ServiceEntry> UploadStore::commitStaged(const QString& userName, const QString& stagedPath,
                                                      const ServiceWire::UploadRequest& request, UserTree& tree, bool* created) {
    const QFileInfo staged(stagedPath);
    ServiceResult<ServiceEntry> placed = ServiceFailure{ServiceError::storageFailure, QStringLiteral("The upload was not staged here.")};
    if (stagedPath == folderOf(userName) + u'/' + staged.fileName() && staged.fileName().endsWith(stagingSuffix)) {
        if (staged.size() != request.size)
            placed = ServiceFailure{ServiceError::uploadOffset,
                                    QStringLiteral("The upload holds %1 of its %2 bytes.").arg(staged.size()).arg(request.size)};
        else
            placed = verifyAndPlace(userName, staged.fileName(), request, tree, created);
    }
    // Placed, it was renamed away; refused, nothing is kept for a request that cannot go on.
    if (!placed) QFile::remove(stagedPath);
    return placed;
}

ServiceResult<ServiceEntry> UploadStore::verifyAndPlace(const QString& userName, const QString& name,
                                                        const ServiceWire::UploadRequest& request, UserTree& tree, bool* created) {
    const QString folder = folderOf(userName);
    QFile part(folder + u'/' + name);
    if (!part.open(QIODevice::ReadOnly)) return ServiceFailure{ServiceError::storageFailure, QStringLiteral("Cannot read the upload.")};
    ContentHash hash;
    while (!part.atEnd()) {
        const QByteArray chunk = part.read(hashChunk);
        if (chunk.isEmpty()) return ServiceFailure{ServiceError::storageFailure, QStringLiteral("Cannot read the upload.")};
        hash.add(chunk);
    }
    part.close();
    if (hash.hex() != request.sha256)
        return ServiceFailure{ServiceError::hashMismatch, QStringLiteral("The bytes received are not the ones announced; the upload is dropped.")};
    UniqueFd folderFd(::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!folderFd) return ServiceFailure{ServiceError::storageFailure, QStringLiteral("Cannot open the uploads.")};
    return tree.place(folderFd.get(), QFile::encodeName(name), request.path, request.revision, request.mtimeNs, created);
}

ServiceResult<ServiceDone> UploadStore::remove(const QString& userName, const QString& id) {
    if (!hasIdShape(id)) return unknownUpload();
    const QString base = folderOf(userName) + u'/' + id;
    const bool had = QFile::remove(base + metaSuffix);
    QFile::remove(base + partSuffix);
    if (!had) return unknownUpload();
    return ServiceDone{};
}

namespace {
QString stagingName() { return QString::fromLatin1(OVCryptoManager().randomBytes(16).toHex()) + stagingSuffix; }

// Every byte, or the error that stopped the writing.
int writeAll(int fd, const QByteArray& bytes) {
    for (qsizetype written = 0; written < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + written, std::size_t(bytes.size() - written));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return n < 0 ? errno : EIO;
        written += n;
    }
    return 0;
}
}  // namespace

std::vector<ServiceResult<ServiceEntry>> UploadStore::placeWhole(const QString& userName, UserTree& tree,
                                                                 const std::vector<ServiceWire::BatchFile>& files) {
    std::vector<ServiceResult<ServiceEntry>> outcomes;
    outcomes.reserve(files.size());
    // Asked once for the batch: the quota, the uploads under way and the folder cost a look at
    // the disk each.
    auto room = this->room(userName);
    auto folder = room ? ensureFolder(userName) : ServiceResult<QString>(room.failure());
    UniqueFd folderFd(folder ? ::open(QFile::encodeName(folder.value()).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC) : -1);
    const ServiceFailure cannotStage{ServiceError::storageFailure, QStringLiteral("Cannot stage the body.")};
    for (const ServiceWire::BatchFile& file : files) {
        if (!room || !folder || !folderFd) {
            outcomes.push_back(!room ? room.failure() : !folder ? folder.failure() : cannotStage);
            continue;
        }
        const ServiceWire::UploadRequest& request = file.request;
        auto replaced = admitWithin(tree, request, room.value());
        if (!replaced) {
            outcomes.push_back(replaced.failure());
            continue;
        }
        if (file.bytes.size() != request.size) {
            outcomes.push_back(ServiceFailure{ServiceError::uploadOffset, QStringLiteral("The upload holds %1 of its %2 bytes.")
                                                                              .arg(file.bytes.size())
                                                                              .arg(request.size)});
            continue;
        }
        ContentHash hash;
        hash.add(file.bytes);
        if (hash.hex() != request.sha256) {
            outcomes.push_back(ServiceFailure{ServiceError::hashMismatch,
                                              QStringLiteral("The bytes received are not the ones announced; the upload is dropped.")});
            continue;
        }
        const QByteArray name = QFile::encodeName(stagingName());
        UniqueFd staged(::openat(folderFd.get(), name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (!staged) {
            outcomes.push_back(cannotStage);
            continue;
        }
        const int error = writeAll(staged.get(), file.bytes);
        staged.reset();
        auto placed = error ? ServiceResult<ServiceEntry>(ServiceFailure{
                                  error == ENOSPC || error == EDQUOT ? ServiceError::insufficientStorage : ServiceError::storageFailure,
                                  QStringLiteral("The upload could not be stored.")})
                            : tree.place(folderFd.get(), name, request.path, request.revision, request.mtimeNs);
        if (placed) room.value() -= request.size - replaced.value();
        else ::unlinkat(folderFd.get(), name.constData(), 0);
        outcomes.push_back(std::move(placed));
    }
    return outcomes;
}

ServiceResult<QString> UploadStore::newStagingFile(const QString& userName) const {
    auto folder = ensureFolder(userName);
    if (!folder) return folder.failure();
    const QString path = folder.value() + u'/' + stagingName();
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) return ServiceFailure{ServiceError::storageFailure, QStringLiteral("Cannot stage the body.")};
    ::close(fd);
    return path;
}

void UploadStore::removeLeftovers(bool starting) {
    const QDir uploads(service_.root() + QStringLiteral("/uploads"));
    for (const QString& user : uploads.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QDir folder(uploads.filePath(user));
        for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden)) {
            if (name.endsWith(stagingSuffix)) {
                if (starting) folder.remove(name);
            } else if (name.endsWith(metaSuffix)) {
                const QString id = name.chopped(metaSuffix.size());
                if (!find(user, id)) remove(user, id);
            } else if (name.endsWith(partSuffix)) {
                // A part whose announcement was never written, or went with its expiry.
                if (!folder.exists(name.chopped(partSuffix.size()) + metaSuffix)) folder.remove(name);
            }
        }
    }
}
