#pragma once

#include <memory>
#include <mutex>
#include <stdexcept>
#include <stop_token>
#include <thread>

#include "frameworks/business/BusinessFacade.h"
#include "frameworks/business/ConnectivityManager.h"
#include "frameworks/business/OVFacadeConfiguration.h"

class EmbeddedServiceClient;
class OrvellaBackupFacade;
class SerialQueue;
class ServiceClient;
class StorageService;

class OrvellaSyncEngine;

struct FacadeSetupError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The facade over the storage service, which it reaches through a ServiceClient alone.
//
// Requests (sign-in, account creation, connect, logout, quota) run one after the other on the
// facade's own worker queue, and their completions run there too, never on the main thread. The
// session's tokens are kept in the desktop's keyring, or an owner-only file where none runs (see
// TokenKeychain), under the configuration's `tokenKeychainAccount`, so that a later launch connects
// without asking again, and again whenever the client renews them. A session the service ends meanwhile signs the user out as connect() does (only the tokens
// are dropped). currentUser() may be read from any thread.
class OrvellaFacade : public BusinessFacade {
public:
    // Throws FacadeSetupError when the storage of a service in this process cannot be created.
    OrvellaFacade(OVFacadeConfiguration configuration, DependencyProvider dependencies);
    ~OrvellaFacade() override;

    std::shared_ptr<const BusinessUser> currentUser() const override;
    OrvellaSettingsManager* settings() const override;
    ConnectivityManager& connectivityManager() override;
    // Success with a stored, valid session (currentUser() is then that user). invalidSession
    // without a stored session or when it was ended or expired (the stored token is dropped);
    // noConnection while the service is unreachable (the user, if any, is kept).
    // keychainUnavailable while the keyring cannot be read (locked, not answering) and this launch
    // holds no session yet: nobody is signed in, and the stored session stays for a later launch
    // or sign-in. A session held already goes on.
    void connect(ConnectAPIOptions options, std::function<void(VoidResult)> completion) override;
    // currentUser() is none at once; the session is then ended at the service and the stored token
    // removed. `reset` also removes the facade's local state. The token is dropped also when the
    // service cannot be reached, and the completion then reports noConnection.
    void logout(bool reset, std::function<void(VoidResult)> completion) override;
    std::optional<std::vector<SelectiveSyncItem>> subscriptionItems() const override;
    std::optional<ServiceClient::Tokens> sessionTokens() const override;
    std::optional<SignInBackend> signInBackend() override;

    // Signs in and keeps the session. Wrong credentials fail with the API error `unauthorized`; a
    // keyring that cannot take the session fails with keychainUnavailable (the session is ended).
    void signIn(const QString& userName, const QString& password, std::function<void(VoidResult)> completion);
    // Creates the account (and its home folder) and signs it in. A taken name fails with the API
    // error `conflict`, a refused name, address or password with `unprocessableEntity` and a
    // message saying why.
    void createAccount(const QString& userName, const QString& mailAddress, const QString& password,
                       std::function<void(VoidResult)> completion);
    // The same, synchronously on the calling thread: for tests and tools, never the main thread
    // of the application.
    VoidResult signInNow(const QString& userName, const QString& password);
    VoidResult createAccountNow(const QString& userName, const QString& mailAddress, const QString& password);

    const OVFacadeConfiguration& configuration() const { return configuration_; }
    const std::shared_ptr<ServiceClient>& client() const { return client_; }
    // The service in this process, when the facade reaches it so; throws std::logic_error otherwise.
    StorageService& service() const;
    // The keychain file of this facade's token: where it is kept without a keyring, and where an
    // earlier version kept it.
    QString tokenPath() const;
    // The folder of the facade's local state, dropped by a logout with reset.
    QString localStateFolder() const;

    SyncFacade* syncFacade() const override;
    // Replaces the engine for the signed-in user; throws std::runtime_error without a user or when
    // the engine cannot start.
    void setUpSync(SyncFacadeImplementation implementation, const SyncFacadeConfiguration& configuration) override;
    void tearDownSync(const SyncStatusDelegate* delegate) override;

    // Share links of the signed-in user (invalidSession without one); links are made under the
    // brand's web address. Local items are those of the sync folder in the setting `syncRoot`.
    void sharedItems(std::function<void(BusinessResult<std::vector<std::shared_ptr<BasicItem>>>)> completion) override;
    std::shared_ptr<BasicItem> makeLocalItem(const QString& localPath, bool isDirectory) const override;
    // Backs up the signed-in user's personal data to the service.
    BackupFacade* backupFacade() const override;

    struct Core;

private:
    void watchReachability(std::stop_token stop);

    // The engine of the signed-in user; replaced at each set-up, gone at logout.
    mutable std::mutex syncMutex_;
    std::shared_ptr<OrvellaSyncEngine> syncEngine_;
    const SyncStatusDelegate* syncDelegate_ = nullptr;

    OVFacadeConfiguration configuration_;
    DependencyProvider dependencies_;
    std::shared_ptr<EmbeddedServiceClient> embedded_;  // the client, when it is one (set with it)
    std::shared_ptr<ServiceClient> client_;
    ConnectivityManager connectivity_;
    std::shared_ptr<Core> core_;
    std::unique_ptr<OrvellaBackupFacade> backupFacade_;
    // Last, so that it ends first: it reads the client and the connectivity.
    std::jthread reachabilityWatch_;
};
