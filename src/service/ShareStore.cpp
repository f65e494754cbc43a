#include "service/ShareStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

#include "frameworks/crypto/OVCryptoManager.h"
#include "service/AccountRules.h"
#include "service/AtomicFile.h"
#include "service/ServiceLock.h"
#include "service/StorageService.h"

namespace {

constexpr int tokenBytes = 32;
constexpr int saltBytes = 16;
constexpr int passwordIterations = 10000;
const QString sharesSuffix = QStringLiteral(".json");

QString isoTime(const QDateTime& time) { return time.toUTC().toString(Qt::ISODateWithMs); }
QDateTime parseTime(const QJsonValue& value) { return QDateTime::fromString(value.toString(), Qt::ISODateWithMs); }

ServiceFailure storageFailure(const QString& what) { return {ServiceError::storageFailure, what}; }
ServiceFailure noLink() { return {ServiceError::notFound, QStringLiteral("This item has no share link.")}; }
ServiceFailure noItem() { return {ServiceError::notFound, QStringLiteral("There is no such item to share.")}; }

bool hasTokenShape(const QString& token) {
    if (token.size() != 43) return false;
    return std::all_of(token.begin(), token.end(), [](QChar c) {
        const char16_t u = c.unicode();
        return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' || u == '_';
    });
}

// A path below the home folder as the service writes it: absolute, no empty, "." or ".."
// components, no trailing separator, and not the home folder itself.
bool isCleanItemPath(const QString& path) {
    if (path.size() < 2 || !path.startsWith(u'/') || path.endsWith(u'/')) return false;
    const QStringList parts = path.mid(1).split(u'/');
    return std::none_of(parts.begin(), parts.end(), [](const QString& part) {
        return part.isEmpty() || part == QStringLiteral(".") || part == QStringLiteral("..") || part.contains(QChar(0));
    });
}

}  // namespace

struct ShareStore::StoredShare {
    ServiceShare share;
    QByteArray salt;
    QByteArray passwordHash;
};

ShareStore::ShareStore(std::shared_ptr<StorageService> service) : service_(std::move(service)) {}

QString ShareStore::sharesFile(const QString& userName) const {
    return service_->root() + QStringLiteral("/shares/") + AccountRules::normalizedUserName(userName) + sharesSuffix;
}

ServiceResult<QString> ShareStore::userOf(const QString& sessionToken) const {
    auto account = service_->validateSession(sessionToken);
    if (!account) return account.failure();
    return account.value().userName;
}

std::optional<QString> ShareStore::itemLocation(const QString& userName, const QString& itemPath) const {
    if (!isCleanItemPath(itemPath)) return std::nullopt;
    const QString home = service_->homeFolder(userName);
    const QString path = home + itemPath;
    const QFileInfo info(path);
    if (!info.exists() || info.isSymLink()) return std::nullopt;
    // A linked folder on the way must not lead out of the home folder.
    const QString canonicalHome = QFileInfo(home).canonicalFilePath();
    const QString canonical = info.canonicalFilePath();
    if (canonicalHome.isEmpty() || !canonical.startsWith(canonicalHome + u'/')) return std::nullopt;
    return path;
}

ServiceResult<std::vector<ShareStore::StoredShare>> ShareStore::read(const QString& userName) const {
    const QString path = sharesFile(userName);
    const std::optional<QByteArray> bytes = AtomicFile::read(path);
    if (!bytes) {
        if (!QFileInfo::exists(path)) return std::vector<StoredShare>{};
        return storageFailure(QStringLiteral("Cannot read the share links of ") + userName);
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(*bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return storageFailure(QStringLiteral("The share links of ") + userName + QStringLiteral(" are damaged."));
    std::vector<StoredShare> shares;
    for (const QJsonValue& value : document.object().value(QStringLiteral("links")).toArray()) {
        const QJsonObject json = value.toObject();
        StoredShare stored;
        ServiceShare& s = stored.share;
        s.token = json.value(QStringLiteral("token")).toString();
        s.itemPath = json.value(QStringLiteral("path")).toString();
        s.isDirectory = json.value(QStringLiteral("directory")).toBool();
        s.created = parseTime(json.value(QStringLiteral("created")));
        if (json.contains(QStringLiteral("validUntil"))) s.validUntil = parseTime(json.value(QStringLiteral("validUntil")));
        if (json.contains(QStringLiteral("maxDownloads"))) s.maxDownloads = json.value(QStringLiteral("maxDownloads")).toInteger();
        s.downloadCount = json.value(QStringLiteral("downloadCount")).toInteger();
        s.isWritable = json.value(QStringLiteral("writable")).toBool();
        for (const QJsonValue& r : json.value(QStringLiteral("recipients")).toArray()) s.recipients << r.toString();
        stored.salt = QByteArray::fromBase64(json.value(QStringLiteral("salt")).toString().toLatin1());
        stored.passwordHash = QByteArray::fromBase64(json.value(QStringLiteral("passwordHash")).toString().toLatin1());
        s.isPasswordProtected = !stored.passwordHash.isEmpty();
        if (!hasTokenShape(s.token) || !isCleanItemPath(s.itemPath) || (s.validUntil && !s.validUntil->isValid()))
            return storageFailure(QStringLiteral("The share links of ") + userName + QStringLiteral(" are damaged."));
        shares.push_back(std::move(stored));
    }
    return shares;
}

ServiceResult<ServiceDone> ShareStore::write(const QString& userName, const std::vector<StoredShare>& shares) const {
    QJsonArray links;
    for (const StoredShare& stored : shares) {
        const ServiceShare& s = stored.share;
        QJsonObject json{
            {QStringLiteral("token"), s.token},
            {QStringLiteral("path"), s.itemPath},
            {QStringLiteral("directory"), s.isDirectory},
            {QStringLiteral("created"), isoTime(s.created)},
            {QStringLiteral("downloadCount"), qint64(s.downloadCount)},
            {QStringLiteral("writable"), s.isWritable},
            {QStringLiteral("recipients"), QJsonArray::fromStringList(s.recipients)},
        };
        if (s.validUntil) json[QStringLiteral("validUntil")] = isoTime(*s.validUntil);
        if (s.maxDownloads) json[QStringLiteral("maxDownloads")] = qint64(*s.maxDownloads);
        if (!stored.passwordHash.isEmpty()) {
            json[QStringLiteral("salt")] = QString::fromLatin1(stored.salt.toBase64());
            json[QStringLiteral("passwordHash")] = QString::fromLatin1(stored.passwordHash.toBase64());
        }
        links.append(json);
    }
    const QString folder = QFileInfo(sharesFile(userName)).absolutePath();
    if (!QDir().mkpath(folder) ||
        !QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
        return storageFailure(QStringLiteral("Cannot create the folder of the share links."));
    QString error;
    if (!AtomicFile::write(sharesFile(userName), QJsonDocument(QJsonObject{{QStringLiteral("links"), links}}).toJson(), 0600,
                           &error))
        return storageFailure(error);
    return ServiceDone{};
}

template <typename T, typename F>
ServiceResult<T> ShareStore::modify(const QString& userName, F&& change) {
    ServiceLock lock(service_->lockFilePath(), StorageService::defaultLockTimeoutMs);
    if (lock.failedToOpen()) return storageFailure(QStringLiteral("Cannot open the service lock."));
    if (!lock.isLocked()) return ServiceFailure{ServiceError::timeout, QStringLiteral("The service is busy.")};
    auto shares = read(userName);
    if (!shares) return shares.failure();
    std::vector<StoredShare>& list = shares.value();
    // Links whose item went away go with it, so a later item of the same name starts afresh.
    std::erase_if(list, [&](const StoredShare& s) { return !itemLocation(userName, s.share.itemPath); });
    ServiceResult<T> result = change(list);
    if (!result) return result;
    auto written = write(userName, list);
    if (!written) return written.failure();
    return result;
}

ServiceResult<std::vector<ServiceShare>> ShareStore::shares(const QString& sessionToken) const {
    auto user = userOf(sessionToken);
    if (!user) return user.failure();
    auto stored = read(user.value());
    if (!stored) return stored.failure();
    std::vector<ServiceShare> shares;
    for (const StoredShare& s : stored.value())
        if (itemLocation(user.value(), s.share.itemPath)) shares.push_back(s.share);
    return shares;
}

ServiceResult<std::optional<ServiceShare>> ShareStore::share(const QString& sessionToken, const QString& itemPath) const {
    auto user = userOf(sessionToken);
    if (!user) return user.failure();
    if (!itemLocation(user.value(), itemPath)) return noItem();
    auto stored = read(user.value());
    if (!stored) return stored.failure();
    for (const StoredShare& s : stored.value())
        if (s.share.itemPath == itemPath) return std::optional<ServiceShare>(s.share);
    return std::optional<ServiceShare>();
}

ServiceResult<ServiceShare> ShareStore::createShare(const QString& sessionToken, const QString& itemPath) {
    auto user = userOf(sessionToken);
    if (!user) return user.failure();
    const QString userName = user.value();
    return modify<ServiceShare>(userName, [&](std::vector<StoredShare>& list) -> ServiceResult<ServiceShare> {
        const auto location = itemLocation(userName, itemPath);
        if (!location) return noItem();
        for (const StoredShare& s : list)
            if (s.share.itemPath == itemPath) return s.share;
        StoredShare stored;
        stored.share.token = QString::fromLatin1(OVCryptoManager().randomBytes(tokenBytes).toBase64(
            QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
        stored.share.itemPath = itemPath;
        stored.share.isDirectory = QFileInfo(*location).isDir();
        stored.share.created = service_->now();
        list.push_back(stored);
        return stored.share;
    });
}

ServiceResult<ServiceShare> ShareStore::updateShare(const QString& sessionToken, const QString& itemPath,
                                                   const ServiceShareChanges& changes) {
    auto user = userOf(sessionToken);
    if (!user) return user.failure();
    return modify<ServiceShare>(user.value(), [&](std::vector<StoredShare>& list) -> ServiceResult<ServiceShare> {
        const auto found = std::find_if(list.begin(), list.end(), [&](const StoredShare& s) { return s.share.itemPath == itemPath; });
        if (found == list.end()) return noLink();
        ServiceShare& s = found->share;
        if (changes.maxDownloads) {
            if (*changes.maxDownloads > 0) s.maxDownloads = *changes.maxDownloads;
            else s.maxDownloads.reset();
        }
        if (changes.password) {
            if (changes.password->isEmpty()) {
                found->salt.clear();
                found->passwordHash.clear();
            } else {
                OVCryptoManager crypto;
                found->salt = crypto.randomBytes(saltBytes);
                found->passwordHash = crypto.passwordHash(*changes.password, found->salt, passwordIterations);
            }
            s.isPasswordProtected = !found->passwordHash.isEmpty();
        }
        if (changes.writable && s.isDirectory) s.isWritable = *changes.writable;
        if (changes.timeToLive) {
            const double ttl = *changes.timeToLive;
            if (ttl < 0 || !std::isfinite(ttl)) s.validUntil.reset();
            else s.validUntil = service_->now().addMSecs(static_cast<qint64>(std::llround(std::min(ttl, 1e12) * 1000)));
        }
        return s;
    });
}

ServiceResult<ServiceDone> ShareStore::removeShare(const QString& sessionToken, const QString& itemPath) {
    auto user = userOf(sessionToken);
    if (!user) return user.failure();
    return modify<ServiceDone>(user.value(), [&](std::vector<StoredShare>& list) -> ServiceResult<ServiceDone> {
        if (std::erase_if(list, [&](const StoredShare& s) { return s.share.itemPath == itemPath; }) == 0) return noLink();
        return ServiceDone{};
    });
}

ServiceResult<ServiceShare> ShareStore::addRecipients(const QString& sessionToken, const QString& itemPath,
                                                     const QStringList& addresses) {
    auto user = userOf(sessionToken);
    if (!user) return user.failure();
    return modify<ServiceShare>(user.value(), [&](std::vector<StoredShare>& list) -> ServiceResult<ServiceShare> {
        const auto found = std::find_if(list.begin(), list.end(), [&](const StoredShare& s) { return s.share.itemPath == itemPath; });
        if (found == list.end()) return noLink();
        for (const QString& address : addresses)
            if (!found->share.recipients.contains(address, Qt::CaseInsensitive)) found->share.recipients << address;
        return found->share;
    });
}

ServiceResult<ServiceShareAccess> ShareStore::open(const QString& linkToken, const QString& password) {
    if (!service_->isReachable()) return ServiceFailure{ServiceError::noConnection, QStringLiteral("The service cannot be reached.")};
    const ServiceFailure unknown{ServiceError::notFound, QStringLiteral("This link does not exist (any more).")};
    if (!hasTokenShape(linkToken)) return unknown;
    auto names = service_->accountNames();
    if (!names) return names.failure();
    for (const QString& userName : names.value()) {
        auto stored = read(userName);
        if (!stored) continue;
        const bool owns = std::any_of(stored.value().begin(), stored.value().end(),
                                      [&](const StoredShare& s) { return s.share.token == linkToken; });
        if (!owns) continue;
        return modify<ServiceShareAccess>(userName, [&](std::vector<StoredShare>& list) -> ServiceResult<ServiceShareAccess> {
            const auto found = std::find_if(list.begin(), list.end(), [&](const StoredShare& s) { return s.share.token == linkToken; });
            if (found == list.end()) return unknown;
            const auto location = itemLocation(userName, found->share.itemPath);
            if (!location) return unknown;
            switch (found->share.state(service_->now())) {
            case ServiceShare::State::expired:
                return ServiceFailure{ServiceError::notFound, QStringLiteral("This link has expired.")};
            case ServiceShare::State::downloadLimitReached:
                return ServiceFailure{ServiceError::notFound, QStringLiteral("This link has been used up.")};
            case ServiceShare::State::active:
                break;
            }
            if (!found->passwordHash.isEmpty() &&
                !OVCryptoManager::constantTimeEquals(OVCryptoManager().passwordHash(password, found->salt, passwordIterations),
                                                     found->passwordHash))
                return ServiceFailure{ServiceError::wrongCredentials, QStringLiteral("The password of this link is wrong.")};
            ++found->share.downloadCount;
            return ServiceShareAccess{*location, found->share};
        });
    }
    return unknown;
}
