#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <vector>

#include "service/ServiceResult.h"
#include "service/ServiceShare.h"

class StorageService;

// The share links of the service's accounts, one file per account under "shares" below the
// service's root, replaced atomically and changed only under the service's lock.
//
// The owner's calls take a session token and act on that session's account; items are named by
// their path below the account's home folder and must exist there (links are not followed out of
// it). A link is made of a 32-byte random token; its password is kept as a salted hash. Links of
// items that are gone are neither listed nor answered, and are dropped at the next change.
class ShareStore {
public:
    explicit ShareStore(std::shared_ptr<StorageService> service);

    // The item path of a user path ("a/b" is "/a/b"), as the calls below name items.
    static QString itemOfUserPath(const QString& userPath) { return u'/' + userPath; }

    // Every link of the session's account whose item still exists, in the order they were made.
    ServiceResult<std::vector<ServiceShare>> shares(const QString& sessionToken) const;
    // The item's link; none when it has none.
    ServiceResult<std::optional<ServiceShare>> share(const QString& sessionToken, const QString& itemPath) const;
    // The item's link, made now when it has none yet (valid until removed, no limit, no password).
    ServiceResult<ServiceShare> createShare(const QString& sessionToken, const QString& itemPath);
    // notFound when the item has no link.
    ServiceResult<ServiceShare> updateShare(const QString& sessionToken, const QString& itemPath,
                                            const ServiceShareChanges& changes);
    ServiceResult<ServiceDone> removeShare(const QString& sessionToken, const QString& itemPath);
    // Notes the addresses the link was mailed to; notFound when the item has no link.
    ServiceResult<ServiceShare> addRecipients(const QString& sessionToken, const QString& itemPath,
                                              const QStringList& addresses);

    // Someone opens a link: the item and the link after this download was counted. notFound for
    // an unknown, removed, expired or used-up link and for a link whose item is gone;
    // wrongCredentials when the password is missing or wrong.
    ServiceResult<ServiceShareAccess> open(const QString& linkToken, const QString& password = {});

    // The file holding the account's links.
    QString sharesFile(const QString& userName) const;

    struct StoredShare;

private:
    ServiceResult<QString> userOf(const QString& sessionToken) const;
    ServiceResult<std::vector<StoredShare>> read(const QString& userName) const;
    ServiceResult<ServiceDone> write(const QString& userName, const std::vector<StoredShare>& shares) const;
    // Runs `change` on the account's links under the service's lock and writes them when it succeeds.
    template <typename T, typename F>
    ServiceResult<T> modify(const QString& userName, F&& change);
    // The item's absolute path when it exists inside the user's home folder; none otherwise.
    std::optional<QString> itemLocation(const QString& userName, const QString& itemPath) const;

    std::shared_ptr<StorageService> service_;
};
