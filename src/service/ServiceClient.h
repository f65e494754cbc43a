#pragma once

#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

#include "service/BackupStore.h"
#include "service/ServiceEntry.h"
#include "service/ServiceQuota.h"
#include "service/ServiceResult.h"
#include "service/ServiceShare.h"
#include "service/ServiceWire.h"

// The storage service as its clients reach it, one call per end point (see ServiceWire), each
// made synchronously on the calling thread: callers are worker queues and the sync engine's
// threads, never the main thread. Any thread may call. HttpServiceClient reaches a server across
// the network; EmbeddedServiceClient the service's own objects in this process, for tests and tools.
//
// Failures are ServiceErrors: noConnection when the server cannot be reached (also a certificate
// that fails verification: the message then says so, and it is never accepted), timeout when an
// answer stalls, the server's own codes otherwise.
//
// Tokens: signIn keeps the access and refresh tokens. A 401 on any call refreshes the access token
// once (one refresh for all threads that met it) and repeats the call; when the refresh itself is
// refused the tokens are dropped, sessionEnded is told, and the call fails with invalidSession.
// No token, password or Authorization header is ever written to a log.
class ServiceClient {
public:
    struct Tokens {
        QString accessToken;
        QString refreshToken;
        bool operator==(const Tokens&) const = default;
    };

    virtual ~ServiceClient() = default;

    // Where the service is, for messages and for telling one state's tree from another's.
    virtual QString describe() const = 0;
    // Whether the last call reached the service at all (for the connectivity display).
    virtual bool isReachable() const = 0;
    // Asks the service whether it answers at all (no session needed, cheap) and answers what
    // isReachable() says then. It may block for a few seconds: never on the main thread.
    virtual bool probe() { return isReachable(); }
    // The folder of the user's tree when the service keeps it on this machine and the engine may
    // sync with it directly; empty across the network.
    virtual QString localTreeFolder(const QString& userName) const {
        (void)userName;
        return {};
    }

    // ---- tokens
    virtual void setTokens(std::optional<Tokens> tokens) = 0;
    virtual std::optional<Tokens> tokens() const = 0;
    // Told (on the calling thread) after every refresh, so that the caller keeps the new tokens.
    virtual void setTokensChanged(std::function<void(const Tokens&)> changed) = 0;
    // Told once when a refresh is refused: the session is over.
    virtual void setSessionEnded(std::function<void()> ended) = 0;

    // Password grant; wrongCredentials for a wrong name or password. Keeps the tokens.
    virtual ServiceResult<Tokens> signIn(const QString& userName, const QString& password) = 0;
    // Ends the session at the server and forgets the tokens (also when the server cannot be told).
    virtual ServiceResult<ServiceDone> revoke() = 0;
    virtual ServiceResult<ServiceWire::TokenInfo> tokenInfo() = 0;

    // ---- account
    virtual ServiceResult<ServiceWire::AccountInfo> createAccount(const ServiceWire::NewAccount& account) = 0;
    virtual ServiceResult<ServiceWire::AccountInfo> account() = 0;
    virtual ServiceResult<ServiceQuota> quota() = 0;
    virtual ServiceResult<ServiceDone> importCryptoKey(const QString& key, const QString& password) = 0;
    // The account's encryption key, for its owner alone; notFound while it has none.
    virtual ServiceResult<QString> cryptoKey() = 0;
    virtual ServiceResult<ServiceWire::ChunkSizes> chunkSizes() = 0;

    // ---- files; paths are user paths ("" the root)
    virtual ServiceResult<ServiceEntry> entry(const QString& path) = 0;
    // The item and all below it (down to `depth` levels below it when not negative: 1 lists a
    // folder's children), a folder before what it holds, handed over as the listing streams in;
    // `each` answers false to stop early (the result is then a success).
    virtual ServiceResult<ServiceDone> tree(const QString& path, const std::function<bool(const ServiceEntry&)>& each,
                                            int depth = -1, const std::atomic<bool>* cancel = nullptr) = 0;
    // The file's bytes from `offset` on, handed to `sink` as they arrive (false from it stops with
    // storageFailure). With a revision the server refuses another one (revisionMismatch). Answers
    // the file as the server served it.
    using Sink = std::function<bool(const char* data, std::size_t size)>;
    virtual ServiceResult<ServiceEntry> download(const QString& path, const std::optional<QString>& revision, std::int64_t offset,
                                         const Sink& sink, const std::atomic<bool>* cancel = nullptr) = 0;
    // The folder and its missing parents.
    virtual ServiceResult<ServiceEntry> makeFolder(const QString& path) = 0;
    // Only while it is still `revision` (revisionMismatch otherwise); notEmpty for a folder that holds items.
    virtual ServiceResult<ServiceDone> remove(const QString& path, const QString& revision) = 0;
    virtual ServiceResult<ServiceEntry> move(const ServiceWire::MoveRequest& move) = 0;
    // Long-polls the journal: answers as soon as something changed after `cursor`, or after `timeout`
    // with nothing. Stopping ends the wait at once with timeout.
    virtual ServiceResult<ServiceChanges> changes(const QString& cursor, std::chrono::milliseconds timeout,
                                          std::stop_token stop = {}) = 0;

    // ---- uploads
    virtual ServiceResult<ServiceWire::UploadState> createUpload(const ServiceWire::UploadRequest& request) = 0;
    virtual ServiceResult<ServiceWire::UploadState> uploadStatus(const QString& id) = 0;
    // `length` bytes read from `fd` at `offset` (pread: the descriptor's position is not used).
    // uploadOffset when the upload stands elsewhere (uploadStatus tells where).
    virtual ServiceResult<ServiceWire::UploadState> putChunk(const QString& id, int fd, std::int64_t offset, std::int64_t length,
                                                     std::int64_t size, const std::atomic<bool>* cancel = nullptr) = 0;
    virtual ServiceResult<ServiceEntry> commitUpload(const QString& id) = 0;
    virtual ServiceResult<ServiceDone> removeUpload(const QString& id) = 0;
    // A whole file from `fd`: creates the upload, sends it in chunks of the server's size, picks up
    // from the server's offset after a cut, and commits. `request` carries size, hash and mtime.
    // On failure the upload is removed at the server unless the failure is noConnection or timeout
    // (then `resumeId`, when given, keeps its id for a later call with the same request).
    virtual ServiceResult<ServiceEntry> upload(const ServiceWire::UploadRequest& request, int fd,
                                       const std::atomic<bool>* cancel = nullptr, QString* resumeId = nullptr) = 0;

    // ---- several small files at once (see ServiceWire's batches): each item's outcome, in order,
    // as upload and download would have it. One request across the network.
    virtual std::vector<ServiceResult<ServiceEntry>> uploadBatch(const std::vector<ServiceWire::BatchFile>& files,
                                                                 const std::atomic<bool>* cancel = nullptr) = 0;
    virtual std::vector<ServiceResult<ServiceWire::ServedFile>> downloadBatch(const std::vector<ServiceWire::WantedFile>& files,
                                                                              const std::atomic<bool>* cancel = nullptr) = 0;
    virtual std::vector<ServiceResult<ServiceDone>> removeBatch(const std::vector<ServiceWire::Removal>& items) = 0;

    // ---- shares; item paths are user paths
    virtual ServiceResult<std::vector<ServiceShare>> shares() = 0;
    virtual ServiceResult<std::optional<ServiceShare>> share(const QString& path) = 0;
    virtual ServiceResult<ServiceShare> createShare(const QString& path) = 0;
    virtual ServiceResult<ServiceShare> updateShare(const QString& path, const ServiceShareChanges& changes) = 0;
    virtual ServiceResult<ServiceDone> removeShare(const QString& path) = 0;
    virtual ServiceResult<ServiceShare> addRecipients(const QString& path, const QStringList& addresses) = 0;

    // ---- backups
    virtual ServiceResult<std::vector<ServiceBackupRecord>> backups() = 0;
    virtual ServiceResult<ServiceBackupRecord> backup(const QString& identifier) = 0;
    virtual ServiceResult<ServiceBackupRecord> beginBackup(const ServiceWire::BackupStart& start) = 0;
    virtual ServiceResult<std::vector<ServiceBackupItem>> backupItems(const QString& identifier) = 0;
    // The item's bytes from `fd` (from its start, `size` of them).
    virtual ServiceResult<ServiceBackupItem> storeBackupItem(const QString& identifier, ServiceBackupCategory category,
                                                     const QString& path, const QDateTime& modified, int fd,
                                                     std::int64_t size, const std::atomic<bool>* cancel = nullptr) = 0;
    virtual ServiceResult<ServiceDone> backupItemContent(const QString& identifier, ServiceBackupCategory category,
                                                 const QString& path, const Sink& sink,
                                                 const std::atomic<bool>* cancel = nullptr) = 0;
    virtual ServiceResult<ServiceDone> removeBackupItem(const QString& identifier, ServiceBackupCategory category,
                                                const QString& path) = 0;
    virtual ServiceResult<ServiceBackupRecord> finishBackup(const QString& identifier, const ServiceWire::BackupFinish& finish) = 0;

protected:
    // A batch carried out item by item with upload and download, for a client with nothing better.
    std::vector<ServiceResult<ServiceEntry>> uploadEachOf(const std::vector<ServiceWire::BatchFile>& files,
                                                          const std::atomic<bool>* cancel);
    std::vector<ServiceResult<ServiceWire::ServedFile>> downloadEachOf(const std::vector<ServiceWire::WantedFile>& files,
                                                                       const std::atomic<bool>* cancel);
    std::vector<ServiceResult<ServiceDone>> removeEachOf(const std::vector<ServiceWire::Removal>& items);
};
