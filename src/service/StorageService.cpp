#include "service/StorageService.h"
#include "service/TransferTemporary.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include "frameworks/crypto/OVCryptoManager.h"
#include "service/AccountRules.h"
#include "service/AtomicFile.h"
#include "service/BackupStore.h"
#include "service/ServiceLock.h"

namespace {

constexpr int saltBytes = 16;
constexpr int tokenBytes = 32;
constexpr int passwordIterations = 10000;
const QString accountSuffix = QStringLiteral(".json");

const auto ownerOnlyFolder = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

QString isoTime(const QDateTime& time) { return time.toUTC().toString(Qt::ISODateWithMs); }
QDateTime parseTime(const QJsonValue& value) { return QDateTime::fromString(value.toString(), Qt::ISODateWithMs); }

QJsonObject featuresToJson(const ServiceFeatures& features) {
    QJsonObject json;
    if (features.backupEnabled) json[QStringLiteral("backup")] = QJsonObject{{QStringLiteral("enabled"), *features.backupEnabled}};
    if (features.encryptionEnabled)
        json[QStringLiteral("encryption")] = QJsonObject{{QStringLiteral("enabled"), *features.encryptionEnabled}};
    if (features.sharing) {
        json[QStringLiteral("sharing")] = QJsonObject{
            {QStringLiteral("directory"), features.sharing->directorySharing},
            {QStringLiteral("file"), features.sharing->fileSharing},
            {QStringLiteral("emailViaBackend"), features.sharing->shareEmailViaBackend},
        };
    }
    return json;
}

ServiceFeatures featuresFromJson(const QJsonObject& json) {
    ServiceFeatures features;
    const auto flag = [&](const QString& key) -> std::optional<bool> {
        const QJsonValue part = json.value(key);
        if (!part.isObject()) return std::nullopt;
        return part.toObject().value(QStringLiteral("enabled")).toBool();
    };
    features.backupEnabled = flag(QStringLiteral("backup"));
    features.encryptionEnabled = flag(QStringLiteral("encryption"));
    const QJsonValue sharing = json.value(QStringLiteral("sharing"));
    if (sharing.isObject()) {
        const QJsonObject s = sharing.toObject();
        features.sharing = ServiceFeatures::Sharing{s.value(QStringLiteral("directory")).toBool(),
                                                    s.value(QStringLiteral("file")).toBool(),
                                                    s.value(QStringLiteral("emailViaBackend")).toBool()};
    }
    return features;
}

// Tokens are made by us: URL-safe Base64 of 32 bytes. Anything else is not looked up at all.
bool hasTokenShape(const QString& token) {
    if (token.size() != 43) return false;
    for (QChar c : token) {
        const char16_t u = c.unicode();
        const bool ok = (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '-' || u == '_';
        if (!ok) return false;
    }
    return true;
}

ServiceFailure storageFailure(const QString& what) { return {ServiceError::storageFailure, what}; }

}  // namespace

struct StorageService::StoredAccount {
    ServiceAccount account;
    QByteArray salt;
    QByteArray passwordHash;
    int iterations = passwordIterations;
};

QString StorageService::defaultRoot() {
    const QString env = qEnvironmentVariable("ORVELLA_SERVICE_ROOT");
    if (!env.isEmpty()) return QDir::cleanPath(env);
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty()) data = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(data + QStringLiteral("/OrvellaService"));
}

std::shared_ptr<StorageService> StorageService::shared() {
    static std::once_flag once;
    static std::shared_ptr<StorageService> service;
    std::call_once(once, [] { service = std::make_shared<StorageService>(defaultRoot()); });
    return service;
}

StorageService::StorageService(QString root) : root_(QDir::cleanPath(std::move(root))) {}

QString StorageService::usersFolder() const { return root_ + QStringLiteral("/users"); }
QString StorageService::accountsFolder() const { return root_ + QStringLiteral("/accounts"); }
QString StorageService::sessionsFolder() const { return root_ + QStringLiteral("/sessions"); }
QString StorageService::homeFolder(const QString& userName) const {
    return usersFolder() + u'/' + AccountRules::normalizedUserName(userName);
}
QString StorageService::accountFile(const QString& userName) const {
    return accountsFolder() + u'/' + AccountRules::normalizedUserName(userName) + accountSuffix;
}
QString StorageService::lockFilePath() const { return root_ + QStringLiteral("/.lock"); }

bool StorageService::ensureCreated() const {
    for (const QString& dir : {root_, usersFolder(), accountsFolder(), sessionsFolder()}) {
        if (!QDir().mkpath(dir)) return false;
    }
    // Accounts and sessions hold secrets: only their owner may enter them.
    return QFile::setPermissions(root_, ownerOnlyFolder) && QFile::setPermissions(accountsFolder(), ownerOnlyFolder) &&
           QFile::setPermissions(sessionsFolder(), ownerOnlyFolder);
}

void StorageService::setClock(Clock clock) {
    std::lock_guard lock(clockMutex_);
    clock_ = std::move(clock);
}

QDateTime StorageService::now() const {
    std::lock_guard lock(clockMutex_);
    return clock_ ? clock_() : QDateTime::currentDateTimeUtc();
}

std::optional<ServiceFailure> StorageService::unreachable() const {
    if (isReachable()) return std::nullopt;
    return ServiceFailure{ServiceError::noConnection, QStringLiteral("The service cannot be reached.")};
}

// ---- accounts

ServiceResult<StorageService::StoredAccount> StorageService::readAccount(const QString& userName) const {
    if (AccountRules::userNameProblem(userName)) return ServiceFailure{ServiceError::notFound, QStringLiteral("No such account.")};
    const QString path = accountFile(userName);
    const std::optional<QByteArray> bytes = AtomicFile::read(path);
    if (!bytes) {
        if (!QFileInfo::exists(path)) return ServiceFailure{ServiceError::notFound, QStringLiteral("No such account.")};
        return storageFailure(QStringLiteral("Cannot read the account ") + userName);
    }
    const QJsonObject json = QJsonDocument::fromJson(*bytes).object();
    StoredAccount stored;
    stored.account.userName = json.value(QStringLiteral("userName")).toString();
    stored.account.accountId = json.value(QStringLiteral("accountId")).toString();
    stored.account.mailAddress = json.value(QStringLiteral("mailAddress")).toString();
    stored.account.created = parseTime(json.value(QStringLiteral("created")));
    stored.account.quotaOverall =
        json.value(QStringLiteral("quota")).toObject().value(QStringLiteral("overall")).toInteger(defaultQuotaBytes);
    stored.account.features = featuresFromJson(json.value(QStringLiteral("features")).toObject());
    stored.account.cryptoKey = json.value(QStringLiteral("cryptoKey")).toString();
    stored.salt = QByteArray::fromBase64(json.value(QStringLiteral("salt")).toString().toLatin1());
    stored.passwordHash = QByteArray::fromBase64(json.value(QStringLiteral("passwordHash")).toString().toLatin1());
    stored.iterations = json.value(QStringLiteral("iterations")).toInt();
    if (stored.account.userName != AccountRules::normalizedUserName(userName) || stored.account.accountId.isEmpty() ||
        stored.salt.isEmpty() || stored.passwordHash.isEmpty() || stored.iterations <= 0)
        return storageFailure(QStringLiteral("The account ") + userName + QStringLiteral(" is damaged."));
    return stored;
}

ServiceResult<ServiceDone> StorageService::writeAccount(const StoredAccount& stored) const {
    const ServiceAccount& a = stored.account;
    const QJsonObject json{
        {QStringLiteral("userName"), a.userName},
        {QStringLiteral("accountId"), a.accountId},
        {QStringLiteral("mailAddress"), a.mailAddress},
        {QStringLiteral("created"), isoTime(a.created)},
        {QStringLiteral("quota"), QJsonObject{{QStringLiteral("overall"), qint64(a.quotaOverall)}}},
        {QStringLiteral("features"), featuresToJson(a.features)},
        {QStringLiteral("salt"), QString::fromLatin1(stored.salt.toBase64())},
        {QStringLiteral("passwordHash"), QString::fromLatin1(stored.passwordHash.toBase64())},
        {QStringLiteral("iterations"), stored.iterations},
        {QStringLiteral("cryptoKey"), a.cryptoKey},
    };
    QString error;
    if (!AtomicFile::write(accountFile(a.userName), QJsonDocument(json).toJson(), 0600, &error)) return storageFailure(error);
    return ServiceDone{};
}

ServiceResult<ServiceAccount> StorageService::createAccount(const QString& rawUserName, const QString& mailAddress,
                                                            const QString& password) {
    if (auto failure = unreachable()) return *failure;
    const QString userName = AccountRules::normalizedUserName(rawUserName);
    if (auto problem = AccountRules::userNameProblem(userName)) return ServiceFailure{ServiceError::invalidUserName, *problem};
    if (auto problem = AccountRules::mailAddressProblem(mailAddress))
        return ServiceFailure{ServiceError::invalidMailAddress, *problem};
    if (auto problem = AccountRules::passwordProblem(password)) return ServiceFailure{ServiceError::invalidPassword, *problem};
    if (!ensureCreated()) return storageFailure(QStringLiteral("Cannot create the service folders at ") + root_);

    ServiceLock lock(lockFilePath(), lockTimeoutMs_.load());
    if (lock.failedToOpen()) return storageFailure(QStringLiteral("Cannot open the service lock."));
    if (!lock.isLocked()) return ServiceFailure{ServiceError::timeout, QStringLiteral("The service is busy.")};
    if (QFileInfo::exists(accountFile(userName)))
        return ServiceFailure{ServiceError::userExists, QStringLiteral("This user name is already taken.")};

    OVCryptoManager crypto;
    StoredAccount stored;
    stored.account.userName = userName;
    stored.account.accountId = QString::fromLatin1(crypto.randomBytes(16).toHex());
    stored.account.mailAddress = mailAddress;
    stored.account.created = now();
    stored.account.quotaOverall = defaultQuotaBytes;
    stored.account.features = ServiceFeatures::defaults();
    stored.salt = crypto.randomBytes(saltBytes);
    stored.iterations = passwordIterations;
    stored.passwordHash = crypto.passwordHash(password, stored.salt, stored.iterations);

    // The home folder first: an account must never exist without its tree.
    const QString home = homeFolder(userName);
    const bool homeExisted = QFileInfo(home).isDir();
    if (!homeExisted && (!QDir().mkpath(home) || !QFile::setPermissions(home, ownerOnlyFolder)))
        return storageFailure(QStringLiteral("Cannot create the home folder of ") + userName);
    auto written = writeAccount(stored);
    if (!written) {
        if (!homeExisted) QDir().rmdir(home);
        return written.failure();
    }
    return stored.account;
}

ServiceResult<ServiceAccount> StorageService::account(const QString& userName) const {
    if (auto failure = unreachable()) return *failure;
    auto stored = readAccount(userName);
    if (!stored) return stored.failure();
    return stored.value().account;
}

ServiceResult<QStringList> StorageService::accountNames() const {
    if (auto failure = unreachable()) return *failure;
    QStringList names;
    const QDir dir(accountsFolder());
    for (const QString& file : dir.entryList({QStringLiteral("*") + accountSuffix}, QDir::Files, QDir::Name))
        names << file.chopped(accountSuffix.size());
    return names;
}

ServiceResult<ServiceAccount> StorageService::checkPassword(const QString& rawUserName, const QString& password) const {
    if (auto failure = unreachable()) return *failure;
    const ServiceFailure wrong{ServiceError::wrongCredentials, QStringLiteral("The user name or password is incorrect.")};
    const QString userName = AccountRules::normalizedUserName(rawUserName);
    OVCryptoManager crypto;
    auto stored = readAccount(userName);
    if (!stored) {
        if (stored.error() != ServiceError::notFound) return stored.failure();
        // Spend the time a real check takes, so an unknown name does not answer faster.
        (void)crypto.passwordHash(password, QByteArray(saltBytes, '\0'), passwordIterations);
        return wrong;
    }
    const StoredAccount& a = stored.value();
    if (!OVCryptoManager::constantTimeEquals(crypto.passwordHash(password, a.salt, a.iterations), a.passwordHash))
        return wrong;
    return a.account;
}

ServiceResult<ServiceDone> StorageService::updateAccount(const QString& userName,
                                                         const std::function<void(StoredAccount&)>& change) {
    if (auto failure = unreachable()) return *failure;
    ServiceLock lock(lockFilePath(), lockTimeoutMs_.load());
    if (lock.failedToOpen()) return storageFailure(QStringLiteral("Cannot open the service lock."));
    if (!lock.isLocked()) return ServiceFailure{ServiceError::timeout, QStringLiteral("The service is busy.")};
    auto stored = readAccount(userName);
    if (!stored) return stored.failure();
    change(stored.value());
    return writeAccount(stored.value());
}

ServiceResult<ServiceDone> StorageService::setQuotaOverall(const QString& userName, std::int64_t bytes) {
    return updateAccount(userName, [&](StoredAccount& a) { a.account.quotaOverall = qMax<std::int64_t>(0, bytes); });
}

ServiceResult<ServiceDone> StorageService::setFeatures(const QString& userName, const ServiceFeatures& features) {
    return updateAccount(userName, [&](StoredAccount& a) { a.account.features = features; });
}

ServiceResult<ServiceDone> StorageService::importCryptoKey(const QString& sessionToken, const QString& key,
                                                           const QString& password) {
    auto session = validateSession(sessionToken);
    if (!session) return session.failure();
    // A session left open on a shared machine must not be enough to replace the key.
    auto account = checkPassword(session.value().userName, password);
    if (!account) return account.failure();
    const QString text = key.trimmed();
    if (text.isEmpty()) return ServiceFailure{ServiceError::notFound, QStringLiteral("The key has no text.")};
    return updateAccount(account.value().userName, [&](StoredAccount& a) { a.account.cryptoKey = text; });
}

// ---- sessions

QString StorageService::sessionFile(const QString& token) const {
    // Named by the token's hash: whoever can list the folder still cannot use a session.
    const QByteArray hash = QCryptographicHash::hash(token.toLatin1(), QCryptographicHash::Sha256).toHex();
    return sessionsFolder() + u'/' + QString::fromLatin1(hash) + QStringLiteral(".json");
}

void StorageService::removeExpiredSessions() const {
    const QDateTime current = now();
    QDirIterator it(sessionsFolder(), {QStringLiteral("*.json")}, QDir::Files);
    while (it.hasNext()) {
        const QString path = it.next();
        const auto bytes = AtomicFile::read(path);
        if (!bytes) continue;
        const QDateTime expires = parseTime(QJsonDocument::fromJson(*bytes).object().value(QStringLiteral("expires")));
        if (expires.isValid() && expires <= current) QFile::remove(path);
    }
}

ServiceResult<ServiceSession> StorageService::signIn(const QString& userName, const QString& password) {
    auto account = checkPassword(userName, password);
    if (!account) return account.failure();
    if (!ensureCreated()) return storageFailure(QStringLiteral("Cannot create the service folders at ") + root_);
    removeExpiredSessions();

    ServiceSession session;
    session.token = QString::fromLatin1(
        OVCryptoManager().randomBytes(tokenBytes).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
    session.userName = account.value().userName;
    session.accountId = account.value().accountId;
    const QDateTime created = now();
    session.expires = created.addSecs(sessionLifetime_.load());
    const QJsonObject json{
        {QStringLiteral("userName"), session.userName},
        {QStringLiteral("accountId"), session.accountId},
        {QStringLiteral("created"), isoTime(created)},
        {QStringLiteral("expires"), isoTime(session.expires)},
    };
    QString error;
    if (!AtomicFile::write(sessionFile(session.token), QJsonDocument(json).toJson(), 0600, &error)) return storageFailure(error);
    return session;
}

ServiceResult<ServiceAccount> StorageService::validateSession(const QString& token) const {
    if (auto failure = unreachable()) return *failure;
    const ServiceFailure invalid{ServiceError::invalidSession, QStringLiteral("The session is no longer valid.")};
    if (!hasTokenShape(token)) return invalid;
    const QString path = sessionFile(token);
    const auto bytes = AtomicFile::read(path);
    if (!bytes) return invalid;
    const QJsonObject json = QJsonDocument::fromJson(*bytes).object();
    const QDateTime expires = parseTime(json.value(QStringLiteral("expires")));
    if (!expires.isValid() || expires <= now()) {
        QFile::remove(path);
        return invalid;
    }
    auto account = readAccount(json.value(QStringLiteral("userName")).toString());
    if (!account) return account.error() == ServiceError::notFound ? ServiceResult<ServiceAccount>(invalid) : account.failure();
    // A session outlives neither its account nor a new account under the same name.
    if (account.value().account.accountId != json.value(QStringLiteral("accountId")).toString()) return invalid;
    return account.value().account;
}

ServiceResult<ServiceDone> StorageService::revokeSession(const QString& token) {
    if (auto failure = unreachable()) return *failure;
    const ServiceFailure invalid{ServiceError::invalidSession, QStringLiteral("The session is no longer valid.")};
    if (!hasTokenShape(token)) return invalid;
    const QString path = sessionFile(token);
    if (!QFileInfo::exists(path)) return invalid;
    if (!QFile::remove(path)) return storageFailure(QStringLiteral("Cannot end the session."));
    return ServiceDone{};
}

// ---- changes

std::shared_ptr<ChangeJournal> StorageService::changeJournal() const {
    std::lock_guard lock(journalMutex_);
    if (!journal_) journal_ = ChangeJournal::forRoot(root_);
    return journal_;
}

ServiceResult<ServiceChanges> StorageService::changesOfUser(const QString& userName, const QString& cursor,
                                                            std::chrono::milliseconds timeout, std::stop_token stop) const {
    if (auto failure = unreachable()) return *failure;
    if (AccountRules::userNameProblem(AccountRules::normalizedUserName(userName)))
        return ServiceFailure{ServiceError::notFound, QStringLiteral("No such user.")};
    auto changes = changeJournal()->changesSince(userName, cursor, timeout, std::move(stop));
    // Taken away while the call waited: what it may have seen is not handed out.
    if (auto failure = unreachable()) return *failure;
    if (!changes) return storageFailure(QStringLiteral("The changes of the users' trees cannot be followed."));
    return *changes;
}

ServiceResult<ServiceChanges> StorageService::changes(const QString& sessionToken, const QString& cursor,
                                                      std::chrono::milliseconds timeout, std::stop_token stop) const {
    auto account = validateSession(sessionToken);
    if (!account) return account.failure();
    return changesOfUser(account.value().userName, cursor, timeout, std::move(stop));
}

// ---- quota

std::int64_t StorageService::usedBytes(const QString& userName) const {
    // Kept by the journal as sizes change; walked only when the tree cannot be watched.
    if (const auto used = changeJournal()->usedBytes(userName)) return *used + BackupStore(*this).usedBytes(userName);
    std::int64_t used = 0;
    // Links are not followed: a link pointing out of the tree must not count, nor loop.
    QDirIterator it(homeFolder(userName), QDir::Files | QDir::Hidden | QDir::System | QDir::NoSymLinks,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        // A transfer under way (or one that was cut off) is not the user's data.
        if (!TransferTemporary::isTemporaryName(it.fileName())) used += it.fileInfo().size();
    }
    // Backups take room in the account as well.
    return used + BackupStore(*this).usedBytes(userName);
}

ServiceResult<ServiceQuota> StorageService::quotaOfUser(const QString& userName) const {
    auto account = this->account(userName);
    if (!account) return account.failure();
    ServiceQuota quota;
    quota.overall = account.value().quotaOverall;
    quota.used = usedBytes(account.value().userName);
    quota.free = qMax<std::int64_t>(0, quota.overall - quota.used);
    return quota;
}

ServiceResult<ServiceQuota> StorageService::quota(const QString& sessionToken) const {
    auto account = validateSession(sessionToken);
    if (!account) return account.failure();
    return quotaOfUser(account.value().userName);
}
