#pragma once

#include <memory>
#include <mutex>

#include "frameworks/business/BusinessFacade.h"
#include "frameworks/business/OrvellaSession.h"
#include "service/ServiceAccount.h"

// The signed-in account as the facade hands it out: the values the service had when the session
// was (re)checked, and the quota fetched afresh on the facade's worker queue.
class OrvellaUser final : public BusinessUser {
public:
    // `rootIdentifier` names the root of the user's tree as its folders name themselves (empty
    // when it could not be read).
    OrvellaUser(ServiceAccount account, QString rootIdentifier, std::shared_ptr<const OrvellaSession> session);

    static OVFeatureSet featureSet(const ServiceFeatures& features);

    QString name() const override { return account_.userName; }
    QString accountId() const override { return account_.accountId; }
    std::optional<QString> mailAddress() const override;
    // The key never comes back from the service: only one imported in this session is known.
    std::optional<OVCryptoKey> cryptoKey() const override;
    std::optional<OVFeatureSet> features() const override { return featureSet(account_.features); }
    QString homePath() const override { return QStringLiteral("/users/") + account_.userName; }
    // Fails with invalidSession once the session was ended; a cancelled request never calls back.
    std::shared_ptr<Cancelable> fetchQuota(std::function<void(BusinessResult<OVQuota>)> completion) const override;
    // The folders of the user's tree at the service; their level requests fail like the quota.
    std::shared_ptr<DirectoryHierarchyNode> rootDirectory() const override;
    // Checked and kept by the service on the facade's worker queue; cryptoKey() answers the new
    // key afterwards.
    void importCryptoKey(const QString& key, const QString& password,
                         std::function<void(VoidResult)> completion) const override;
    // The session the user's requests are made in.
    const std::shared_ptr<const OrvellaSession>& session() const { return session_; }

private:
    ServiceAccount account_;
    QString rootIdentifier_;
    std::shared_ptr<const OrvellaSession> session_;
    // Read from any thread, replaced by an import.
    std::shared_ptr<std::mutex> keyMutex_ = std::make_shared<std::mutex>();
    std::shared_ptr<QString> importedKey_ = std::make_shared<QString>();
};
