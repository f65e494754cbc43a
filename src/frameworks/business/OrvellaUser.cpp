#include "frameworks/business/OrvellaUser.h"

#include "frameworks/business/OrvellaDirectoryNode.h"
#include "frameworks/business/RequestCancelable.h"
#include "frameworks/business/ServiceErrors.h"
#include "platform/foundation/SerialQueue.h"

OrvellaUser::OrvellaUser(ServiceAccount account, QString rootIdentifier, std::shared_ptr<const OrvellaSession> session)
    : account_(std::move(account)), rootIdentifier_(std::move(rootIdentifier)), session_(std::move(session)) {}

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
    session_->queue->async([request, completion = std::move(completion), session = session_] {
        if (request->isCancelled()) return;  // spare the disk scan
        const auto ended = session->ended();
        const auto quota = ended ? ServiceResult<ServiceQuota>(ServiceError::invalidSession) : session->client->quota();
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
    session_->queue->async([session = session_, key, password, mutex = keyMutex_, imported = importedKey_,
                            completion = std::move(completion)] {
        const auto done = session->ended() ? ServiceResult<ServiceDone>(ServiceError::invalidSession)
                                           : session->client->importCryptoKey(key, password);
        if (done) {
            std::lock_guard lock(*mutex);
            *imported = key.trimmed();
        }
        if (completion) completion(done ? VoidResult(Success{}) : VoidResult(businessError(done.failure())));
    });
}

std::shared_ptr<DirectoryHierarchyNode> OrvellaUser::rootDirectory() const {
    return OrvellaDirectoryNode::makeRoot(session_, rootIdentifier_);
}
