#include "frameworks/business/OrvellaUser.h"

#include "frameworks/business/OrvellaDirectoryNode.h"
#include "frameworks/business/RequestCancelable.h"
#include "frameworks/business/ServiceErrors.h"
#include "platform/foundation/SerialQueue.h"
#include "service/StorageService.h"

OrvellaUser::OrvellaUser(ServiceAccount account, QString sessionToken, std::shared_ptr<StorageService> service,
                         std::shared_ptr<SerialQueue> queue)
    : account_(std::move(account)),
      sessionToken_(std::move(sessionToken)),
      service_(std::move(service)),
      queue_(std::move(queue)) {}

OVFeatureSet OrvellaUser::featureSet(const ServiceFeatures& features) {
    OVFeatureSet set;
    set.backupEnabled = features.backupEnabled;
    set.encryptionEnabled = features.encryptionEnabled;
    if (features.sharing) {
        set.sharing = OVFeatureSet::Sharing{features.sharing->directorySharing, features.sharing->fileSharing,
                                            features.sharing->shareEmailViaBackend};
    }
    return set;
}

std::optional<QString> OrvellaUser::mailAddress() const {
    if (account_.mailAddress.isEmpty()) return std::nullopt;
    return account_.mailAddress;
}

std::shared_ptr<Cancelable> OrvellaUser::fetchQuota(std::function<void(BusinessResult<OVQuota>)> completion) const {
    auto request = std::make_shared<RequestCancelable>();
    queue_->async([request, completion = std::move(completion), service = service_, token = sessionToken_] {
        if (request->isCancelled()) return;  // spare the disk scan
        const auto quota = service->quota(token);
        const BusinessResult<OVQuota> result =
            quota ? BusinessResult<OVQuota>(OVQuota{quota.value().overall, quota.value().used, quota.value().free})
                  : BusinessResult<OVQuota>(businessError(quota.failure()));
        request->complete([&] {
            if (completion) completion(result);
        });
    });
    return request;
}

std::optional<OVCryptoKey> OrvellaUser::cryptoKey() const {
    std::lock_guard lock(*keyMutex_);
    const QString& text = importedKey_->isEmpty() ? account_.cryptoKey : *importedKey_;
    if (text.isEmpty()) return std::nullopt;
    return OVCryptoKey{text, {}};
}

void OrvellaUser::importCryptoKey(const QString& key, const QString& password,
                                  std::function<void(VoidResult)> completion) const {
    queue_->async([service = service_, token = sessionToken_, key, password, mutex = keyMutex_,
                   imported = importedKey_, completion = std::move(completion)] {
        const auto done = service->importCryptoKey(token, key, password);
        if (done) {
            std::lock_guard lock(*mutex);
            *imported = key.trimmed();
        }
        if (completion) completion(done ? VoidResult(Success{}) : VoidResult(businessError(done.failure())));
    });
}

std::shared_ptr<DirectoryHierarchyNode> OrvellaUser::rootDirectory() const {
    auto session = std::make_shared<OrvellaDirectoryNode::Session>();
    session->service = service_;
    session->queue = queue_;
    session->userName = account_.userName;
    session->sessionToken = sessionToken_;
    return OrvellaDirectoryNode::makeRoot(std::move(session));
}
