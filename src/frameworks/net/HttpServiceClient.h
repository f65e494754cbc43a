#pragma once

#include <QUrl>

#include <chrono>
#include <memory>
#include <mutex>

#include "service/ServiceClient.h"

class HttpTransport;

// The storage service across the network (see ServiceWire for the end points), over HTTP or TLS.
// The trust is the system's certificates plus those of `caFile` (or of the file ORVELLA_CA_FILE
// names when caFile is empty); a certificate that fails verification is never accepted.
//
// Requests that are safe to send again (reads, removals, chunks, whose offset the server checks,
// commits, folders, token refreshes) are repeated after a connection that was reset or closed, any
// request after one that was refused, and safe ones after "busy" answers (429, 503): after
// Retry-After when the server names it (unless longer than maximumBackoff), else after a back-off
// that doubles from firstBackoff up to maximumBackoff, at most maximumAttempts times in all. A
// chunk cut off is not sent again by itself (the server may have refused it unread): upload() asks
// where the upload stands, and goes on as long as each cut came after more of it arrived. A file
// no larger than a chunk goes up in one request; cut off, or refused as something already there
// (a request Qt sent again), it counts as placed only when the file at its path holds its bytes,
// and cut off without being placed it goes on in chunks. A
// download of a named revision cut off after some bytes goes on from the first one missing. A
// cancelled call fails with storageFailure ("cancelled"), a stopped long poll with timeout; no
// byte either way for stallTimeout fails with timeout.
class HttpServiceClient : public ServiceClient {
public:
    struct Options {
        QUrl baseUrl;
        QString caFile;
        std::chrono::milliseconds stallTimeout{30000};
        int maximumAttempts = 4;
        std::chrono::milliseconds firstBackoff{200};
        std::chrono::milliseconds maximumBackoff{10000};
    };

    explicit HttpServiceClient(Options options);
    ~HttpServiceClient() override;

    QString describe() const override;
    bool isReachable() const override;
    bool probe() override;

    void setTokens(std::optional<Tokens> tokens) override;
    std::optional<Tokens> tokens() const override;
    void setTokensChanged(std::function<void(const Tokens&)> changed) override;
    void setSessionEnded(std::function<void()> ended) override;

    ServiceResult<Tokens> signIn(const QString& userName, const QString& password) override;
    ServiceResult<ServiceDone> revoke() override;
    ServiceResult<ServiceWire::TokenInfo> tokenInfo() override;

    ServiceResult<ServiceWire::AccountInfo> createAccount(const ServiceWire::NewAccount& account) override;
    ServiceResult<ServiceWire::AccountInfo> account() override;
    ServiceResult<ServiceQuota> quota() override;
    ServiceResult<ServiceDone> importCryptoKey(const QString& key, const QString& password) override;
    ServiceResult<QString> cryptoKey() override;
    ServiceResult<ServiceWire::ChunkSizes> chunkSizes() override;

    ServiceResult<ServiceEntry> entry(const QString& path) override;
    ServiceResult<ServiceDone> tree(const QString& path, const std::function<bool(const ServiceEntry&)>& each, int depth = -1,
                                    const std::atomic<bool>* cancel = nullptr) override;
    ServiceResult<ServiceEntry> download(const QString& path, const std::optional<QString>& revision, std::int64_t offset,
                                         const Sink& sink, const std::atomic<bool>* cancel = nullptr) override;
    ServiceResult<ServiceEntry> makeFolder(const QString& path) override;
    ServiceResult<ServiceDone> remove(const QString& path, const QString& revision) override;
    ServiceResult<ServiceEntry> move(const ServiceWire::MoveRequest& move) override;
    ServiceResult<ServiceChanges> changes(const QString& cursor, std::chrono::milliseconds timeout,
                                          std::stop_token stop = {}) override;

    ServiceResult<ServiceWire::UploadState> createUpload(const ServiceWire::UploadRequest& request) override;
    ServiceResult<ServiceWire::UploadState> uploadStatus(const QString& id) override;
    ServiceResult<ServiceWire::UploadState> putChunk(const QString& id, int fd, std::int64_t offset, std::int64_t length,
                                                     std::int64_t size, const std::atomic<bool>* cancel = nullptr) override;
    ServiceResult<ServiceEntry> commitUpload(const QString& id) override;
    ServiceResult<ServiceDone> removeUpload(const QString& id) override;
    ServiceResult<ServiceEntry> upload(const ServiceWire::UploadRequest& request, int fd, const std::atomic<bool>* cancel = nullptr,
                                       QString* resumeId = nullptr) override;
    std::vector<ServiceResult<ServiceEntry>> uploadBatch(const std::vector<ServiceWire::BatchFile>& files,
                                                         const std::atomic<bool>* cancel = nullptr) override;
    std::vector<ServiceResult<ServiceWire::ServedFile>> downloadBatch(const std::vector<ServiceWire::WantedFile>& files,
                                                                      const std::atomic<bool>* cancel = nullptr) override;
    std::vector<ServiceResult<ServiceDone>> removeBatch(const std::vector<ServiceWire::Removal>& items) override;

    ServiceResult<std::vector<ServiceShare>> shares() override;
    ServiceResult<std::optional<ServiceShare>> share(const QString& path) override;
    ServiceResult<ServiceShare> createShare(const QString& path) override;
    ServiceResult<ServiceShare> updateShare(const QString& path, const ServiceShareChanges& changes) override;
    ServiceResult<ServiceDone> removeShare(const QString& path) override;
    ServiceResult<ServiceShare> addRecipients(const QString& path, const QStringList& addresses) override;

    ServiceResult<std::vector<ServiceBackupRecord>> backups() override;
    ServiceResult<ServiceBackupRecord> backup(const QString& identifier) override;
    ServiceResult<ServiceBackupRecord> beginBackup(const ServiceWire::BackupStart& start) override;
    ServiceResult<std::vector<ServiceBackupItem>> backupItems(const QString& identifier) override;
    ServiceResult<ServiceBackupItem> storeBackupItem(const QString& identifier, ServiceBackupCategory category, const QString& path,
                                                     const QDateTime& modified, int fd, std::int64_t size,
                                                     const std::atomic<bool>* cancel = nullptr) override;
    ServiceResult<ServiceDone> backupItemContent(const QString& identifier, ServiceBackupCategory category, const QString& path,
                                                 const Sink& sink, const std::atomic<bool>* cancel = nullptr) override;
    ServiceResult<ServiceDone> removeBackupItem(const QString& identifier, ServiceBackupCategory category,
                                                const QString& path) override;
    ServiceResult<ServiceBackupRecord> finishBackup(const QString& identifier, const ServiceWire::BackupFinish& finish) override;

    // One request as the calls make it (see HttpServiceClient.cpp).
    struct Call;
    struct Reply;

private:
    ServiceResult<Reply> perform(const Call& call);
    // A file no larger than a chunk in one request (PUT /content), answered as a commit is.
    ServiceResult<ServiceEntry> putContent(const ServiceWire::UploadRequest& request, int fd, const std::atomic<bool>* cancel);
    // What a refused or cut-off placement of `request` really did: the file an earlier sending of
    // it placed, when the one at the path holds its bytes; else `placed` as it is.
    ServiceResult<ServiceEntry> placedBefore(const ServiceWire::UploadRequest& request, ServiceResult<ServiceEntry> placed,
                                             const std::atomic<bool>* cancel);
    // A new access token for the one that was refused, or the one another thread got meanwhile.
    ServiceResult<ServiceDone> refresh(const QString& refusedAccessToken);
    void keepTokens(const ServiceWire::TokenResponse& tokens);
    bool pause(std::chrono::milliseconds wait, const Call& call) const;

    Options options_;
    std::unique_ptr<HttpTransport> transport_;
    std::atomic<bool> reachable_{false};

    mutable std::mutex tokensMutex_;
    std::optional<Tokens> tokens_;
    std::function<void(const Tokens&)> tokensChanged_;
    std::function<void()> sessionEnded_;
    bool sessionEndedTold_ = false;
    std::mutex refreshMutex_;  // one refresh at a time; the others wait for its outcome

    // A server of an earlier version knows no batches: they are then sent item by item.
    bool refusesBatches(const ServiceResult<Reply>& reply);
    std::atomic<bool> batchesRefused_{false};

    std::mutex chunkSizesMutex_;
    std::optional<ServiceWire::ChunkSizes> chunkSizes_;
};
