#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "frameworks/business/BusinessError.h"
#include "frameworks/business/DirectoryHierarchyNode.h"
#include "frameworks/business/SignInBackend.h"
#include "frameworks/sync/SelectiveSyncItem.h"
#include "service/ServiceClient.h"

class BackupFacade;
class ConnectivityManager;
class SyncFacade;
class SyncStatusDelegate;
struct SyncFacadeConfiguration;
enum class SyncFacadeImplementation;
class OrvellaSettingsManager;
class BasicItem;

// A request that can be called off; its completion then does not run.
class Cancelable {
public:
    virtual ~Cancelable() = default;
    virtual void cancel() = 0;
    virtual bool isCancelled() const = 0;
};

// An account's storage in bytes.
struct OVQuota {
    std::int64_t overall = 0;
    std::int64_t used = 0;
    std::int64_t free = 0;
    bool operator==(const OVQuota&) const = default;
};

// What the account may use; a part the service leaves out is absent.
struct OVFeatureSet {
    struct Sharing {
        bool isDirectorySharingEnabled = false;
        bool isFileSharingEnabled = false;
        bool isShareEmailViaBackendFeatureAvailable = false;
        bool operator==(const Sharing&) const = default;
    };
    std::optional<bool> backupEnabled;
    std::optional<bool> encryptionEnabled;
    std::optional<Sharing> sharing;
    bool operator==(const OVFeatureSet&) const = default;
};

struct OVCryptoKey {
    QString stringRepresentation;
    QByteArray qrCodeImageData;
};

// The signed-in account as the facade reports it.
class BusinessUser {
public:
    virtual ~BusinessUser() = default;
    virtual QString name() const = 0;
    virtual QString accountId() const = 0;
    virtual std::optional<QString> mailAddress() const = 0;
    virtual std::optional<OVCryptoKey> cryptoKey() const = 0;
    virtual std::optional<OVFeatureSet> features() const = 0;
    // The remote path of the user's home folder ("/users/<name>").
    virtual QString homePath() const = 0;
    // Calls back once, on any thread, unless cancelled first.
    virtual std::shared_ptr<Cancelable> fetchQuota(std::function<void(BusinessResult<OVQuota>)> completion) const = 0;
    // The root of the user's remote folder tree, its children not loaded yet; none when unknown.
    virtual std::shared_ptr<DirectoryHierarchyNode> rootDirectory() const { return nullptr; }
    // Makes `key` the account's encryption key when `password` is the account's; calls back once,
    // on any thread. A user that cannot hold keys fails.
    virtual void importCryptoKey(const QString& key, const QString& password,
                                 std::function<void(VoidResult)> completion) const;
};


enum class ConnectAPIOptions { all };

// The service facade through which every controller reaches the service.
class BusinessFacade {
public:
    virtual ~BusinessFacade() = default;

    // The signed-in user; none before a session exists.
    virtual std::shared_ptr<const BusinessUser> currentUser() const = 0;
    virtual OrvellaSettingsManager* settings() const = 0;
    virtual ConnectivityManager& connectivityManager() = 0;
    // Runs the completion once, on any thread.
    virtual void connect(ConnectAPIOptions options, std::function<void(VoidResult)> completion) = 0;
    // Ends the session (`reset` also drops the facade's local state); afterwards currentUser() is none.
    virtual void logout(bool reset, std::function<void(VoidResult)> completion) = 0;
    // The stored subscription list; none when nothing was ever stored.
    virtual std::optional<std::vector<SelectiveSyncItem>> subscriptionItems() const = 0;
    // The signed-in account's tokens as they are now (renewals included); none without a session.
    virtual std::optional<ServiceClient::Tokens> sessionTokens() const { return std::nullopt; }
    // The sync engine; none until sync is set up.
    virtual SyncFacade* syncFacade() const { return nullptr; }
    // Sets the sync engine up (again) for the configuration; throws std::runtime_error on failure.
    virtual void setUpSync(SyncFacadeImplementation implementation, const SyncFacadeConfiguration& configuration);
    // Stops the engine whose status delegate is `delegate`, before that delegate goes away.
    virtual void tearDownSync(const SyncStatusDelegate* delegate) { (void)delegate; }
    // The backup service; none when the facade offers no backups.
    virtual BackupFacade* backupFacade() const { return nullptr; }
    // What a sign-in page for the onboarding window calls; none when the facade has no sign-in to
    // offer (the window then shows an empty page).
    virtual std::optional<SignInBackend> signInBackend() { return std::nullopt; }

    // Sharing. Every item of the account that has a share link; the completion runs once, on the
    // main thread. Facades without sharing answer notSupported.
    virtual void sharedItems(std::function<void(BusinessResult<std::vector<std::shared_ptr<BasicItem>>>)> completion);
    // A shareable item (also `Shareable`) for a local file or folder inside the sync folder, its
    // share info not yet known; none for anything else. Quick: reads only the local item.
    virtual std::shared_ptr<BasicItem> makeLocalItem(const QString& localPath, bool isDirectory) const;
};
