#pragma once

#include <memory>
#include <mutex>
#include <set>

#include "service/ServiceClient.h"
#include "service/StorageService.h"
#include "service/UploadStore.h"

// The service's own objects in this process behind the client interface, answering as the server
// does (the same checks of paths, revisions and quota). The session token is both the access and
// the refresh token: nothing is refreshed, and a session that is gone fails at once with
// invalidSession (sessionEnded told, the tokens dropped).
class EmbeddedServiceClient final : public ServiceClient {
public:
    explicit EmbeddedServiceClient(std::shared_ptr<StorageService> service, ServiceWire::ChunkSizes chunkSizes = {});

    const std::shared_ptr<StorageService>& service() const { return service_; }

    QString describe() const override { return service_->root(); }
    bool isReachable() const override { return service_->isReachable(); }
    QString localTreeFolder(const QString& userName) const override { return service_->homeFolder(userName); }

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
    ServiceResult<ServiceWire::ChunkSizes> chunkSizes() override { return chunkSizes_; }

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
    // In this process a request costs no more than a call: item by item.
    std::vector<ServiceResult<ServiceEntry>> uploadBatch(const std::vector<ServiceWire::BatchFile>& files,
                                                         const std::atomic<bool>* cancel = nullptr) override {
        return uploadEachOf(files, cancel);
    }
    std::vector<ServiceResult<ServiceWire::ServedFile>> downloadBatch(const std::vector<ServiceWire::WantedFile>& files,
                                                                      const std::atomic<bool>* cancel = nullptr) override {
        return downloadEachOf(files, cancel);
    }
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

private:
    struct Session {
        QString token;
        QString userName;
        QString accountId;
    };
    // The session of the tokens held; a session that is gone drops them and tells sessionEnded.
    ServiceResult<Session> session();
    // Marks the upload as being written to; none while another call writes to it or commits it.
    std::shared_ptr<void> claimUpload(const QString& id);
    ServiceResult<ServiceWire::UploadState> appendChunk(const Session& session, const QString& id, int fd, std::int64_t offset,
                                                        std::int64_t length, const std::atomic<bool>* cancel);
    ServiceResult<ServiceEntry> commit(const Session& session, const QString& id);

    const std::shared_ptr<StorageService> service_;
    const ServiceWire::ChunkSizes chunkSizes_;
    UploadStore uploads_;

    mutable std::mutex mutex_;
    std::optional<Tokens> tokens_;
    std::function<void(const Tokens&)> tokensChanged_;
    std::function<void()> sessionEnded_;
    std::set<QString> busyUploads_;
};
