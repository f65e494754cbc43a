#include "service/EmbeddedServiceClient.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "service/BackupStore.h"
#include "service/ShareStore.h"
#include "service/UserTree.h"

namespace {

constexpr std::size_t copyChunk = 1 << 20;
constexpr std::size_t treeBatchBytes = 64 * 1024;

ServiceFailure cancelled() { return {ServiceError::storageFailure, QStringLiteral("cancelled")}; }
bool isCancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(); }

ServiceFailure pathFailure(const QString& why) { return {ServiceError::invalidPath, why}; }

// Copies `length` bytes of `from` at `offset` (pread) to `to`; none, or why it stopped.
std::optional<ServiceFailure> copyRange(int from, std::int64_t offset, std::int64_t length, int to,
                                        const std::atomic<bool>* cancel) {
    std::vector<char> buffer(copyChunk);
    while (length > 0) {
        if (isCancelled(cancel)) return cancelled();
        const ssize_t got = ::pread(from, buffer.data(), std::size_t(std::min<std::int64_t>(length, copyChunk)), offset);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return ServiceFailure{ServiceError::storageFailure, QStringLiteral("The source cannot be read.")};
        for (ssize_t written = 0; written < got;) {
            const ssize_t put = ::write(to, buffer.data() + written, std::size_t(got - written));
            if (put < 0 && errno == EINTR) continue;
            if (put < 0)
                return ServiceFailure{errno == ENOSPC || errno == EDQUOT ? ServiceError::insufficientStorage : ServiceError::storageFailure,
                                      QStringLiteral("The bytes could not be stored.")};
            written += put;
        }
        offset += got;
        length -= got;
    }
    return std::nullopt;
}

// Hands `fd`'s bytes from `offset` on to `sink`.
std::optional<ServiceFailure> readAll(int fd, std::int64_t offset, const ServiceClient::Sink& sink, const std::atomic<bool>* cancel) {
    std::vector<char> buffer(copyChunk);
    for (;;) {
        if (isCancelled(cancel)) return cancelled();
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), offset);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return ServiceFailure{ServiceError::storageFailure, QStringLiteral("The file cannot be read.")};
        if (got == 0) return std::nullopt;
        if (!sink(buffer.data(), std::size_t(got)))
            return ServiceFailure{ServiceError::storageFailure, QStringLiteral("The bytes could not be taken.")};
        offset += got;
    }
}

// A backup item's path as the server takes it: a user path that names something.
std::optional<ServiceFailure> itemPathProblem(const QString& path) {
    if (auto why = ServiceWire::checkUserPath(path)) return pathFailure(*why);
    if (path.isEmpty()) return pathFailure(QStringLiteral("An item needs a path."));
    return std::nullopt;
}

template <typename T>
ServiceResult<T> withPath(const QString& path, const std::function<ServiceResult<T>()>& call) {
    if (auto why = ServiceWire::checkUserPath(path)) return pathFailure(*why);
    return call();
}

}  // namespace

EmbeddedServiceClient::EmbeddedServiceClient(std::shared_ptr<StorageService> service, ServiceWire::ChunkSizes chunkSizes)
    : service_(std::move(service)), chunkSizes_(chunkSizes), uploads_(*service_) {}

// ---- tokens

void EmbeddedServiceClient::setTokens(std::optional<Tokens> tokens) {
    std::lock_guard lock(mutex_);
    tokens_ = std::move(tokens);
}

std::optional<ServiceClient::Tokens> EmbeddedServiceClient::tokens() const {
    std::lock_guard lock(mutex_);
    return tokens_;
}

void EmbeddedServiceClient::setTokensChanged(std::function<void(const Tokens&)> changed) {
    std::lock_guard lock(mutex_);
    tokensChanged_ = std::move(changed);
}

void EmbeddedServiceClient::setSessionEnded(std::function<void()> ended) {
    std::lock_guard lock(mutex_);
    sessionEnded_ = std::move(ended);
}

ServiceResult<EmbeddedServiceClient::Session> EmbeddedServiceClient::session() {
    const auto held = tokens();
    if (!held) return ServiceFailure{ServiceError::invalidSession, QStringLiteral("A valid access token is needed.")};
    auto account = service_->validateSession(held->accessToken);
    if (account) return Session{held->accessToken, account.value().userName, account.value().accountId};
    if (account.error() == ServiceError::invalidSession) {
        std::function<void()> ended;
        {
            std::lock_guard lock(mutex_);
            // Only the first caller that finds these tokens dead ends the session.
            if (tokens_ == held) {
                tokens_.reset();
                ended = sessionEnded_;
            }
        }
        if (ended) ended();
    }
    return account.failure();
}

ServiceResult<ServiceClient::Tokens> EmbeddedServiceClient::signIn(const QString& userName, const QString& password) {
    auto signedIn = service_->signIn(userName, password);
    if (!signedIn) return signedIn.failure();
    const Tokens tokens{signedIn.value().token, signedIn.value().token};
    setTokens(tokens);
    return tokens;
}

ServiceResult<ServiceDone> EmbeddedServiceClient::revoke() {
    std::optional<Tokens> held;
    {
        std::lock_guard lock(mutex_);
        held = std::exchange(tokens_, std::nullopt);
    }
    if (!held) return ServiceDone{};
    auto revoked = service_->revokeSession(held->accessToken);
    // A session that already ended is as good as one ended now.
    if (!revoked && revoked.error() != ServiceError::invalidSession) return revoked.failure();
    return ServiceDone{};
}

ServiceResult<ServiceWire::TokenInfo> EmbeddedServiceClient::tokenInfo() {
    auto s = session();
    if (!s) return s.failure();
    // The session itself is the access token; it is never refreshed, so it lasts as long as the session.
    return ServiceWire::TokenInfo{s.value().userName, s.value().accountId, service_->defaultSessionLifetimeSeconds,
                                  QString::fromLatin1(ServiceWire::scope)};
}

// ---- account

namespace {
ServiceWire::AccountInfo infoOf(ServiceAccount account) {
    ServiceWire::AccountInfo info;
    info.hasCryptoKey = !account.cryptoKey.isEmpty();
    // The key never leaves the service, here as across the network.
    account.cryptoKey.clear();
    info.account = std::move(account);
    return info;
}
}  // namespace

ServiceResult<ServiceWire::AccountInfo> EmbeddedServiceClient::createAccount(const ServiceWire::NewAccount& account) {
    auto made = service_->createAccount(account.userName, account.mailAddress, account.password);
    if (!made) return made.failure();
    return infoOf(made.value());
}

ServiceResult<ServiceWire::AccountInfo> EmbeddedServiceClient::account() {
    auto s = session();
    if (!s) return s.failure();
    auto found = service_->account(s.value().userName);
    if (!found) return found.failure();
    return infoOf(found.value());
}

ServiceResult<ServiceQuota> EmbeddedServiceClient::quota() {
    auto s = session();
    if (!s) return s.failure();
    return service_->quotaOfUser(s.value().userName);
}

ServiceResult<ServiceDone> EmbeddedServiceClient::importCryptoKey(const QString& key, const QString& password) {
    auto s = session();
    if (!s) return s.failure();
    return service_->importCryptoKey(s.value().token, key, password);
}

ServiceResult<QString> EmbeddedServiceClient::cryptoKey() {
    auto s = session();
    if (!s) return s.failure();
    return ServiceWire::storedCryptoKey(service_->account(s.value().userName));
}

// ---- files

ServiceResult<ServiceEntry> EmbeddedServiceClient::entry(const QString& path) {
    auto s = session();
    if (!s) return s.failure();
    return withPath<ServiceEntry>(path, [&] { return UserTree(service_->homeFolder(s.value().userName)).entry(path); });
}

ServiceResult<ServiceDone> EmbeddedServiceClient::tree(const QString& path, const std::function<bool(const ServiceEntry&)>& each,
                                                       int depth, const std::atomic<bool>* cancel) {
    auto s = session();
    if (!s) return s.failure();
    if (auto why = ServiceWire::checkUserPath(path)) return pathFailure(*why);
    auto walk = UserTree(service_->homeFolder(s.value().userName)).walk(path, depth);
    if (!walk) return walk.failure();
    // The listing goes through the wire's lines, so that it reads as the server's does.
    while (auto batch = walk.value()->next(treeBatchBytes)) {
        for (const QByteArray& line : batch->split('\n')) {
            if (line.isEmpty()) continue;
            if (isCancelled(cancel)) return cancelled();
            const auto found = ServiceWire::decodeEntryLine(line);
            if (!found) return ServiceFailure{ServiceError::storageFailure, QStringLiteral("The listing cannot be read.")};
            if (!each(*found)) return ServiceDone{};
        }
    }
    return ServiceDone{};
}

ServiceResult<ServiceEntry> EmbeddedServiceClient::download(const QString& path, const std::optional<QString>& revision,
                                                            std::int64_t offset, const Sink& sink, const std::atomic<bool>* cancel) {
    auto s = session();
    if (!s) return s.failure();
    if (auto why = ServiceWire::checkUserPath(path)) return pathFailure(*why);
    auto opened = UserTree(service_->homeFolder(s.value().userName)).openFile(path);
    if (!opened) return opened.failure();
    const ServiceEntry entry = opened.value().entry;
    if (revision && *revision != entry.revision())
        return ServiceFailure{ServiceError::revisionMismatch, QStringLiteral("The file has changed since it was last seen.")};
    if (offset < 0 || (offset > 0 && offset >= entry.size))
        return ServiceFailure{ServiceError::invalidRequest, QStringLiteral("The range lies beyond the file.")};
    if (auto stopped = readAll(opened.value().fd.get(), offset, sink, cancel)) return *stopped;
    return entry;
}

ServiceResult<ServiceEntry> EmbeddedServiceClient::makeFolder(const QString& path) {
    auto s = session();
    if (!s) return s.failure();
    return withPath<ServiceEntry>(path, [&] { return UserTree(service_->homeFolder(s.value().userName)).makeFolder(path); });
}

ServiceResult<ServiceDone> EmbeddedServiceClient::remove(const QString& path, const QString& revision) {
    auto s = session();
    if (!s) return s.failure();
    return withPath<ServiceDone>(path, [&] { return UserTree(service_->homeFolder(s.value().userName)).remove(path, revision); });
}

std::vector<ServiceResult<ServiceDone>> EmbeddedServiceClient::removeBatch(const std::vector<ServiceWire::Removal>& items) {
    std::vector<ServiceResult<ServiceDone>> outcomes;
    auto s = session();
    for (const ServiceWire::Removal& item : items) {
        if (!s) outcomes.emplace_back(s.failure());
        else outcomes.push_back(withPath<ServiceDone>(item.path, [&] {
            return UserTree(service_->homeFolder(s.value().userName)).removeItem(item.path, item.revision);
        }));
    }
    return outcomes;
}

ServiceResult<ServiceEntry> EmbeddedServiceClient::move(const ServiceWire::MoveRequest& move) {
    auto s = session();
    if (!s) return s.failure();
    return UserTree(service_->homeFolder(s.value().userName)).move(move.from, move.to, move.revision);
}

ServiceResult<ServiceChanges> EmbeddedServiceClient::changes(const QString& cursor, std::chrono::milliseconds timeout,
                                                             std::stop_token stop) {
    auto s = session();
    if (!s) return s.failure();
    timeout = std::clamp(timeout, std::chrono::milliseconds(0), std::chrono::milliseconds(ServiceWire::maximumChangesTimeoutMs));
    auto found = service_->changesOfUser(s.value().userName, cursor, timeout, stop);
    if (found && stop.stop_requested() && found.value().paths.isEmpty() && !found.value().reset)
        return ServiceFailure{ServiceError::timeout, QStringLiteral("Stopped waiting for changes.")};
    return found;
}

// ---- uploads

std::shared_ptr<void> EmbeddedServiceClient::claimUpload(const QString& id) {
    struct Claim {
        EmbeddedServiceClient* client;
        QString id;
        ~Claim() {
            std::lock_guard lock(client->mutex_);
            client->busyUploads_.erase(id);
        }
    };
    {
        std::lock_guard lock(mutex_);
        if (!busyUploads_.insert(id).second) return nullptr;
    }
    return std::shared_ptr<Claim>(new Claim{this, id});
}

ServiceResult<ServiceWire::UploadState> EmbeddedServiceClient::createUpload(const ServiceWire::UploadRequest& request) {
    auto s = session();
    if (!s) return s.failure();
    auto made = uploads_.begin(s.value().userName, UserTree(service_->homeFolder(s.value().userName)), request);
    if (!made) return made.failure();
    return ServiceWire::UploadState{made.value().id, 0, request.size, chunkSizes_.chunkSize};
}

ServiceResult<ServiceWire::UploadState> EmbeddedServiceClient::uploadStatus(const QString& id) {
    auto s = session();
    if (!s) return s.failure();
    auto found = uploads_.find(s.value().userName, id);
    if (!found) return found.failure();
    return ServiceWire::UploadState{{}, found.value().offset, found.value().request.size, 0};
}

ServiceResult<ServiceWire::UploadState> EmbeddedServiceClient::appendChunk(const Session& session, const QString& id, int fd,
                                                                           std::int64_t offset, std::int64_t length,
                                                                           const std::atomic<bool>* cancel) {
    if (length > chunkSizes_.maximumChunkSize)
        return ServiceFailure{ServiceError::tooLarge, QStringLiteral("A chunk has at most %1 bytes.").arg(chunkSizes_.maximumChunkSize)};
    auto claim = claimUpload(id);
    auto upload = uploads_.find(session.userName, id);
    if (!upload) return upload.failure();
    if (length < 0 || offset + length > upload.value().request.size)
        return ServiceFailure{ServiceError::invalidRequest, QStringLiteral("A chunk needs to lie within the upload's size.")};
    // Another call moving the offset, or a chunk that does not start where the upload stands.
    if (!claim || offset != upload.value().offset)
        return ServiceFailure{ServiceError::uploadOffset, QStringLiteral("The upload stands elsewhere.")};
    auto out = uploads_.openForAppend(session.userName, id);
    if (!out) return out.failure();
    if (auto stopped = copyRange(fd, offset, length, out.value().get(), cancel)) return *stopped;
    return ServiceWire::UploadState{{}, offset + length, 0, 0};
}

ServiceResult<ServiceWire::UploadState> EmbeddedServiceClient::putChunk(const QString& id, int fd, std::int64_t offset,
                                                                        std::int64_t length, std::int64_t size,
                                                                        const std::atomic<bool>* cancel) {
    auto s = session();
    if (!s) return s.failure();
    auto upload = uploads_.find(s.value().userName, id);
    if (!upload) return upload.failure();
    if (size != upload.value().request.size)
        return ServiceFailure{ServiceError::invalidRequest, QStringLiteral("A chunk needs to lie within the upload's size.")};
    return appendChunk(s.value(), id, fd, offset, length, cancel);
}

ServiceResult<ServiceEntry> EmbeddedServiceClient::commit(const Session& session, const QString& id) {
    auto claim = claimUpload(id);
    if (!claim) return ServiceFailure{ServiceError::uploadOffset, QStringLiteral("A chunk of the upload is still being written.")};
    UserTree tree(service_->homeFolder(session.userName));
    return uploads_.commit(session.userName, id, tree);
}

ServiceResult<ServiceEntry> EmbeddedServiceClient::commitUpload(const QString& id) {
    auto s = session();
    if (!s) return s.failure();
    return commit(s.value(), id);
}

ServiceResult<ServiceDone> EmbeddedServiceClient::removeUpload(const QString& id) {
    auto s = session();
    if (!s) return s.failure();
    auto claim = claimUpload(id);
    if (!claim) return ServiceFailure{ServiceError::uploadOffset, QStringLiteral("A chunk of the upload is being written.")};
    return uploads_.remove(s.value().userName, id);
}

ServiceResult<ServiceEntry> EmbeddedServiceClient::upload(const ServiceWire::UploadRequest& request, int fd,
                                                          const std::atomic<bool>* cancel, QString* resumeId) {
    auto s = session();
    if (!s) return s.failure();
    const QString& user = s.value().userName;
    // An upload kept from an earlier call goes on where it stands, when it is still this one.
    std::optional<UploadStore::Upload> upload;
    if (resumeId && !resumeId->isEmpty())
        if (auto found = uploads_.find(user, *resumeId); found && found.value().request == request) upload = found.value();
    if (!upload) {
        auto made = uploads_.begin(user, UserTree(service_->homeFolder(user)), request);
        if (!made) return made.failure();
        upload = made.value();
    }
    if (resumeId) *resumeId = upload->id;
    const auto fail = [&](const ServiceFailure& failure) -> ServiceResult<ServiceEntry> {
        if (failure.error != ServiceError::noConnection && failure.error != ServiceError::timeout) {
            (void)uploads_.remove(user, upload->id);
            if (resumeId) resumeId->clear();
        }
        return failure;
    };
    for (std::int64_t at = upload->offset; at < request.size;) {
        const std::int64_t length = std::min(chunkSizes_.chunkSize, request.size - at);
        auto put = appendChunk(s.value(), upload->id, fd, at, length, cancel);
        if (!put) return fail(put.failure());
        at = put.value().offset;
    }
    auto placed = commit(s.value(), upload->id);
    if (!placed) return fail(placed.failure());
    if (resumeId) resumeId->clear();
    return placed;
}

// ---- shares

ServiceResult<std::vector<ServiceShare>> EmbeddedServiceClient::shares() {
    auto s = session();
    if (!s) return s.failure();
    return ShareStore(service_).shares(s.value().token);
}

ServiceResult<std::optional<ServiceShare>> EmbeddedServiceClient::share(const QString& path) {
    auto s = session();
    if (!s) return s.failure();
    return withPath<std::optional<ServiceShare>>(
        path, [&] { return ShareStore(service_).share(s.value().token, ShareStore::itemOfUserPath(path)); });
}

ServiceResult<ServiceShare> EmbeddedServiceClient::createShare(const QString& path) {
    auto s = session();
    if (!s) return s.failure();
    return withPath<ServiceShare>(
        path, [&] { return ShareStore(service_).createShare(s.value().token, ShareStore::itemOfUserPath(path)); });
}

ServiceResult<ServiceShare> EmbeddedServiceClient::updateShare(const QString& path, const ServiceShareChanges& changes) {
    auto s = session();
    if (!s) return s.failure();
    return withPath<ServiceShare>(
        path, [&] { return ShareStore(service_).updateShare(s.value().token, ShareStore::itemOfUserPath(path), changes); });
}

ServiceResult<ServiceDone> EmbeddedServiceClient::removeShare(const QString& path) {
    auto s = session();
    if (!s) return s.failure();
    return withPath<ServiceDone>(
        path, [&] { return ShareStore(service_).removeShare(s.value().token, ShareStore::itemOfUserPath(path)); });
}

ServiceResult<ServiceShare> EmbeddedServiceClient::addRecipients(const QString& path, const QStringList& addresses) {
    auto s = session();
    if (!s) return s.failure();
    return withPath<ServiceShare>(
        path, [&] { return ShareStore(service_).addRecipients(s.value().token, ShareStore::itemOfUserPath(path), addresses); });
}

// ---- backups

ServiceResult<std::vector<ServiceBackupRecord>> EmbeddedServiceClient::backups() {
    auto s = session();
    if (!s) return s.failure();
    return BackupStore(*service_).backups(s.value().userName);
}

ServiceResult<ServiceBackupRecord> EmbeddedServiceClient::backup(const QString& identifier) {
    auto s = session();
    if (!s) return s.failure();
    return BackupStore(*service_).backup(s.value().userName, identifier);
}

ServiceResult<ServiceBackupRecord> EmbeddedServiceClient::beginBackup(const ServiceWire::BackupStart& start) {
    auto s = session();
    if (!s) return s.failure();
    return BackupStore(*service_).beginBackup(s.value().userName, start.name, start.deviceId, start.deviceName, start.operatingSystem);
}

ServiceResult<std::vector<ServiceBackupItem>> EmbeddedServiceClient::backupItems(const QString& identifier) {
    auto s = session();
    if (!s) return s.failure();
    return BackupStore(*service_).items(s.value().userName, identifier);
}

ServiceResult<ServiceBackupItem> EmbeddedServiceClient::storeBackupItem(const QString& identifier, ServiceBackupCategory category,
                                                                        const QString& path, const QDateTime& modified, int fd,
                                                                        std::int64_t size, const std::atomic<bool>* cancel) {
    auto s = session();
    if (!s) return s.failure();
    if (auto problem = itemPathProblem(path)) return *problem;
    const QString& user = s.value().userName;
    BackupStore store(*service_);
    if (auto record = store.backup(user, identifier); !record) return record.failure();
    auto room = uploads_.room(user);
    if (!room) return room.failure();
    if (size > room.value())
        return ServiceFailure{ServiceError::insufficientStorage, QStringLiteral("The item does not fit into the account's storage.")};
    // Staged beside the uploads and renamed into place whole: the earlier copy stays until then.
    auto staging = uploads_.newStagingFile(user);
    if (!staging) return staging.failure();
    const QString staged = staging.value();
    UniqueFd out(::open(QFile::encodeName(staged).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC));
    std::optional<ServiceFailure> stopped;
    if (!out) stopped = ServiceFailure{ServiceError::storageFailure, QStringLiteral("Cannot stage the item.")};
    if (!stopped) stopped = copyRange(fd, 0, size, out.get(), cancel);
    out.reset();
    auto stored = stopped ? ServiceResult<ServiceBackupItem>(*stopped) : store.adoptItem(user, identifier, category, path, staged, modified);
    if (!stored) QFile::remove(staged);
    return stored;
}

ServiceResult<ServiceDone> EmbeddedServiceClient::backupItemContent(const QString& identifier, ServiceBackupCategory category,
                                                                    const QString& path, const Sink& sink,
                                                                    const std::atomic<bool>* cancel) {
    auto s = session();
    if (!s) return s.failure();
    if (auto problem = itemPathProblem(path)) return *problem;
    auto file = BackupStore(*service_).itemFile(s.value().userName, identifier, category, path);
    if (!file) return file.failure();
    UniqueFd fd(::open(QFile::encodeName(file.value()).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) return ServiceFailure{ServiceError::notFound, QStringLiteral("No such item.")};
    if (auto stopped = readAll(fd.get(), 0, sink, cancel)) return *stopped;
    return ServiceDone{};
}

ServiceResult<ServiceDone> EmbeddedServiceClient::removeBackupItem(const QString& identifier, ServiceBackupCategory category,
                                                                   const QString& path) {
    auto s = session();
    if (!s) return s.failure();
    if (auto problem = itemPathProblem(path)) return *problem;
    BackupStore store(*service_);
    if (auto record = store.backup(s.value().userName, identifier); !record) return record.failure();
    return store.removeItem(s.value().userName, identifier, category, path);
}

ServiceResult<ServiceBackupRecord> EmbeddedServiceClient::finishBackup(const QString& identifier,
                                                                       const ServiceWire::BackupFinish& finish) {
    auto s = session();
    if (!s) return s.failure();
    return BackupStore(*service_).finishBackup(s.value().userName, identifier, finish.completed, finish.chosen);
}
