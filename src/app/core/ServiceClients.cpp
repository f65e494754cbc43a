#include "app/core/ServiceClients.h"

#include <mutex>

#include "app/common/LogChannels.h"
#include "app/core/LocalServer.h"
#include "frameworks/api/ServerChoice.h"
#include "frameworks/net/HttpServiceClient.h"
#include "service/EmbeddedServiceClient.h"
#include "service/StorageService.h"

namespace {

std::shared_ptr<ServiceClient> overNetwork(const QUrl& server) {
    HttpServiceClient::Options options;
    options.baseUrl = server;
    return std::make_shared<HttpServiceClient>(std::move(options));
}

struct Held {
    std::mutex mutex;
    std::optional<QUrl> server;  // the chosen server the client is for; none: this computer's own
    std::shared_ptr<ServiceClient> client;
    LocalServer local;
    bool localStarted = false;
};

// Never released: the server must outlive every client, and a process that ends closes its pipe.
Held& held() {
    static Held* h = new Held;
    return *h;
}

class ChosenServerClient final : public ServiceClient {
public:
    // The tree, not the way to it this run: this computer's own server listens on a new port at
    // every start, and the sync state kept for a tree is dropped when its description changes.
    // The same root as the service inside the application, should that stand in for it.
    QString describe() const override {
        const std::optional<QUrl> chosen = ServerChoice::chosen();
        return chosen ? chosen->toString(QUrl::StripTrailingSlash) : StorageService::defaultRoot();
    }
    bool isReachable() const override { return target()->isReachable(); }
    bool probe() override { return target()->probe(); }
    QString localTreeFolder(const QString& userName) const override { return target()->localTreeFolder(userName); }

    void setTokens(std::optional<Tokens> tokens) override { target()->setTokens(std::move(tokens)); }
    std::optional<Tokens> tokens() const override { return target()->tokens(); }
    void setTokensChanged(std::function<void(const Tokens&)> changed) override {
        std::lock_guard lock(mutex_);
        changed_ = std::move(changed);
        if (current_) current_->setTokensChanged(changed_);
    }
    void setSessionEnded(std::function<void()> ended) override {
        std::lock_guard lock(mutex_);
        ended_ = std::move(ended);
        if (current_) current_->setSessionEnded(ended_);
    }
    ServiceResult<Tokens> signIn(const QString& userName, const QString& password) override {
        return target()->signIn(userName, password);
    }
    ServiceResult<ServiceDone> revoke() override { return target()->revoke(); }
    ServiceResult<ServiceWire::AccountInfo> createAccount(const ServiceWire::NewAccount& account) override {
        return target()->createAccount(account);
    }

    ServiceResult<ServiceWire::TokenInfo> tokenInfo() override { return target()->tokenInfo(); }
    ServiceResult<ServiceWire::AccountInfo> account() override { return target()->account(); }
    ServiceResult<ServiceQuota> quota() override { return target()->quota(); }
    ServiceResult<ServiceDone> importCryptoKey(const QString& key, const QString& password) override { return target()->importCryptoKey(key, password); }
    ServiceResult<QString> cryptoKey() override { return target()->cryptoKey(); }
    ServiceResult<ServiceWire::ChunkSizes> chunkSizes() override { return target()->chunkSizes(); }
    ServiceResult<ServiceEntry> entry(const QString& path) override { return target()->entry(path); }
    ServiceResult<ServiceDone> tree(const QString& path, const std::function<bool(const ServiceEntry&)>& each, int depth, const std::atomic<bool>* cancel) override { return target()->tree(path, each, depth, cancel); }
    ServiceResult<ServiceEntry> download(const QString& path, const std::optional<QString>& revision, std::int64_t offset, const Sink& sink, const std::atomic<bool>* cancel) override { return target()->download(path, revision, offset, sink, cancel); }
    ServiceResult<ServiceEntry> makeFolder(const QString& path) override { return target()->makeFolder(path); }
    ServiceResult<ServiceDone> remove(const QString& path, const QString& revision) override { return target()->remove(path, revision); }
    ServiceResult<ServiceEntry> move(const ServiceWire::MoveRequest& move) override { return target()->move(move); }
    ServiceResult<ServiceChanges> changes(const QString& cursor, std::chrono::milliseconds timeout, std::stop_token stop) override { return target()->changes(cursor, timeout, stop); }
    ServiceResult<ServiceWire::UploadState> createUpload(const ServiceWire::UploadRequest& request) override { return target()->createUpload(request); }
    ServiceResult<ServiceWire::UploadState> uploadStatus(const QString& id) override { return target()->uploadStatus(id); }
    ServiceResult<ServiceWire::UploadState> putChunk(const QString& id, int fd, std::int64_t offset, std::int64_t length, std::int64_t size, const std::atomic<bool>* cancel) override { return target()->putChunk(id, fd, offset, length, size, cancel); }
    ServiceResult<ServiceEntry> commitUpload(const QString& id) override { return target()->commitUpload(id); }
    ServiceResult<ServiceDone> removeUpload(const QString& id) override { return target()->removeUpload(id); }
    ServiceResult<ServiceEntry> upload(const ServiceWire::UploadRequest& request, int fd, const std::atomic<bool>* cancel, QString* resumeId) override { return target()->upload(request, fd, cancel, resumeId); }
    std::vector<ServiceResult<ServiceEntry>> uploadBatch(const std::vector<ServiceWire::BatchFile>& files, const std::atomic<bool>* cancel) override { return target()->uploadBatch(files, cancel); }
    std::vector<ServiceResult<ServiceWire::ServedFile>> downloadBatch(const std::vector<ServiceWire::WantedFile>& files, const std::atomic<bool>* cancel) override { return target()->downloadBatch(files, cancel); }
    std::vector<ServiceResult<ServiceDone>> removeBatch(const std::vector<ServiceWire::Removal>& items) override { return target()->removeBatch(items); }
    ServiceResult<std::vector<ServiceShare>> shares() override { return target()->shares(); }
    ServiceResult<std::optional<ServiceShare>> share(const QString& path) override { return target()->share(path); }
    ServiceResult<ServiceShare> createShare(const QString& path) override { return target()->createShare(path); }
    ServiceResult<ServiceShare> updateShare(const QString& path, const ServiceShareChanges& changes) override { return target()->updateShare(path, changes); }
    ServiceResult<ServiceDone> removeShare(const QString& path) override { return target()->removeShare(path); }
    ServiceResult<ServiceShare> addRecipients(const QString& path, const QStringList& addresses) override { return target()->addRecipients(path, addresses); }
    ServiceResult<std::vector<ServiceBackupRecord>> backups() override { return target()->backups(); }
    ServiceResult<ServiceBackupRecord> backup(const QString& identifier) override { return target()->backup(identifier); }
    ServiceResult<ServiceBackupRecord> beginBackup(const ServiceWire::BackupStart& start) override { return target()->beginBackup(start); }
    ServiceResult<std::vector<ServiceBackupItem>> backupItems(const QString& identifier) override { return target()->backupItems(identifier); }
    ServiceResult<ServiceBackupItem> storeBackupItem(const QString& identifier, ServiceBackupCategory category, const QString& path, const QDateTime& modified, int fd, std::int64_t size, const std::atomic<bool>* cancel) override { return target()->storeBackupItem(identifier, category, path, modified, fd, size, cancel); }
    ServiceResult<ServiceDone> backupItemContent(const QString& identifier, ServiceBackupCategory category, const QString& path, const Sink& sink, const std::atomic<bool>* cancel) override { return target()->backupItemContent(identifier, category, path, sink, cancel); }
    ServiceResult<ServiceDone> removeBackupItem(const QString& identifier, ServiceBackupCategory category, const QString& path) override { return target()->removeBackupItem(identifier, category, path); }
    ServiceResult<ServiceBackupRecord> finishBackup(const QString& identifier, const ServiceWire::BackupFinish& finish) override { return target()->finishBackup(identifier, finish); }

private:
    std::shared_ptr<ServiceClient> target() const {
        auto next = ServiceClients::current();
        std::lock_guard lock(mutex_);
        if (next != current_) {
            next->setTokensChanged(changed_);
            next->setSessionEnded(ended_);
            if (current_) next->setTokens(current_->tokens());
            current_ = next;
        }
        return current_;
    }

    mutable std::mutex mutex_;
    mutable std::shared_ptr<ServiceClient> current_;
    std::function<void(const Tokens&)> changed_;
    std::function<void()> ended_;
};

}  // namespace

std::shared_ptr<ServiceClient> ServiceClients::current() {
    Held& h = held();
    const std::optional<QUrl> chosen = ServerChoice::chosen();
    std::lock_guard lock(h.mutex);
    // This computer's own server is started again should it have ended.
    if (h.client && h.server == chosen && (chosen || h.local.isRunning() || !h.localStarted)) return h.client;
    h.server = chosen;
    if (chosen) {
        h.client = overNetwork(*chosen);
        OVLOG_INFO(AppLog::setup(), QStringLiteral("Talking to the server at %1.").arg(ServerChoice::describe(chosen)));
        return h.client;
    }
    auto started = h.local.start(LocalServer::executableBesideApplication(), StorageService::defaultRoot());
    if (const auto* url = std::get_if<QUrl>(&started)) {
        h.localStarted = true;
        h.client = overNetwork(*url);
        return h.client;
    }
    // Without a server of its own the application still keeps the user's files, in this process.
    OVLOG_ERROR(AppLog::setup(), QStringLiteral("%1 The service runs inside the application instead.")
                                     .arg(std::get<QString>(started)));
    h.client = std::make_shared<EmbeddedServiceClient>(StorageService::shared());
    return h.client;
}

std::shared_ptr<ServiceClient> ServiceClients::forApplication() {
    // The service inside the application is the one there is for this run: nothing to choose.
    if (auto now = current(); std::dynamic_pointer_cast<EmbeddedServiceClient>(now)) return now;
    static const auto client = std::make_shared<ChosenServerClient>();
    return client;
}
