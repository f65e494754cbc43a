#pragma once

#include <QString>

#include <memory>
#include <mutex>
#include <set>
#include <vector>

#include "server/AccessTokens.h"
#include "server/HttpExchange.h"
#include "server/SignInLimiter.h"
#include "service/ServiceWire.h"
#include "service/StorageService.h"
#include "service/UploadStore.h"

// The service's HTTP API (see ServiceWire for its end points and encodings) over the storage
// service, its shares, backups, uploads and change journal. Every route but sign-in, account
// creation and the chunk sizes needs a valid access token and acts on that session's user alone.
class ServiceApi : public HttpHandler {
public:
    struct Options {
        std::chrono::seconds accessTokenLifetime{3600};
        ServiceWire::ChunkSizes chunkSizes;
        SignInLimiter::Limits signInLimits;
    };

    ServiceApi(std::shared_ptr<StorageService> service, Options options);

    HttpHandling handle(const HttpRequestHead& head) override;

    struct Call;
    struct Route;

private:
    static const std::vector<Route>& routes();

    // Accounts and tokens
    HttpHandling token(Call& call);
    HttpHandling revoke(Call& call);
    HttpHandling tokenInfo(Call& call);
    HttpHandling createAccount(Call& call);
    HttpHandling account(Call& call);
    HttpHandling quota(Call& call);
    HttpHandling cryptoKey(Call& call);
    HttpHandling storedCryptoKey(Call& call);
    HttpHandling chunkSize(Call& call);
    // Files
    HttpHandling tree(Call& call);
    HttpHandling entry(Call& call);
    HttpHandling content(Call& call);
    HttpHandling removeEntry(Call& call);
    HttpHandling makeFolder(Call& call);
    HttpHandling move(Call& call);
    HttpHandling changes(Call& call);
    // Uploads
    HttpHandling createUpload(Call& call);
    HttpHandling putChunk(Call& call);
    HttpHandling uploadStatus(Call& call);
    HttpHandling commitUpload(Call& call);
    HttpHandling removeUpload(Call& call);
    // A whole file no larger than a chunk in one request, answered as a commit is.
    HttpHandling putContent(Call& call);
    // Several small files in one request, each placed or served on its own (see ServiceWire).
    HttpHandling batchUpload(Call& call);
    HttpHandling batchDownload(Call& call);
    HttpHandling batchRemove(Call& call);
    // Shares
    HttpHandling shares(Call& call);
    HttpHandling share(Call& call);
    HttpHandling createShare(Call& call);
    HttpHandling updateShare(Call& call);
    HttpHandling removeShare(Call& call);
    HttpHandling addRecipients(Call& call);
    // Backups
    HttpHandling backups(Call& call);
    HttpHandling backup(Call& call);
    HttpHandling beginBackup(Call& call);
    HttpHandling backupItems(Call& call);
    HttpHandling storeBackupItem(Call& call);
    HttpHandling backupItemContent(Call& call);
    HttpHandling removeBackupItem(Call& call);
    HttpHandling finishBackup(Call& call);

    std::optional<HttpResponse> authenticate(Call& call);
    HttpResponse tokenAnswer(const ServiceSession& session, int status);
    HttpResponse uploadFailure(const ServiceFailure& failure, const QString& userName, const QString& id);
    // Marks the upload as being written to; none while another request writes to it or commits it.
    std::shared_ptr<void> claimUpload(const QString& id);

    std::shared_ptr<StorageService> service_;
    Options options_;
    AccessTokens tokens_;
    SignInLimiter limiter_;
    UploadStore uploads_;
    std::mutex busyMutex_;
    std::set<QString> busyUploads_;
};
