#include "frameworks/business/OrvellaFacade.h"

#include "frameworks/sync/OrvellaSyncEngine.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <condition_variable>
#include <sys/stat.h>

#include <QDir>

#include <mutex>

#include "frameworks/business/OrvellaBackupFacade.h"
#include "frameworks/business/OrvellaDirectoryNode.h"
#include "frameworks/business/OrvellaShareItem.h"
#include "frameworks/business/OrvellaUser.h"
#include "frameworks/business/ServiceErrors.h"
#include "frameworks/business/TokenKeychain.h"
#include "frameworks/logger/FrameworkChannels.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "frameworks/sync/ServiceRemoteTree.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/SerialQueue.h"
#include "service/EmbeddedServiceClient.h"
#include "service/StorageService.h"

namespace {

std::shared_ptr<StorageService> serviceOrShared(const std::shared_ptr<StorageService>& service) {
    return service ? service : StorageService::shared();
}

QString stateFolderFor(const QString& keychainFolder) {
    return QDir::cleanPath(keychainFolder + QStringLiteral("/../Business"));
}

}  // namespace

// What requests need, shared with the work they hand to the queue, so that a request still
// completes when the facade itself goes away meanwhile.
struct OrvellaFacade::Core {
    Core(std::shared_ptr<ServiceClient> c, TokenKeychain k)
        : client(std::move(c)), keychain(std::move(k)), queue(std::make_shared<SerialQueue>(QStringLiteral("business.facade"))) {}

    std::shared_ptr<ServiceClient> client;
    TokenKeychain keychain;
    std::shared_ptr<SerialQueue> queue;

    mutable std::mutex mutex;
    std::shared_ptr<const BusinessUser> user;
    std::shared_ptr<OrvellaSession> session;

    std::shared_ptr<const BusinessUser> currentUser() const {
        std::lock_guard lock(mutex);
        return user;
    }
    // Nobody, or the account of a session that begins now: whatever the former session made stops.
    void setUser(const std::optional<ServiceAccount>& account) {
        std::shared_ptr<OrvellaSession> next;
        std::shared_ptr<const BusinessUser> nextUser;
        if (account) {
            next = std::make_shared<OrvellaSession>();
            next->client = client;
            next->queue = queue;
            next->userName = account->userName;
            nextUser = std::make_shared<OrvellaUser>(*account, rootIdentifier(), next);
        }
        std::lock_guard lock(mutex);
        if (session) session->current.store(false);
        session = std::move(next);
        user = std::move(nextUser);
    }
    // The key does not come with the account; its owner asks for it.
    ServiceAccount withKey(const ServiceWire::AccountInfo& info) const {
        ServiceAccount account = info.account;
        if (info.hasCryptoKey)
            if (auto key = client->cryptoKey()) account.cryptoKey = key.value();
        return account;
    }
    QString rootIdentifier() const {
        auto root = client->entry(QString());
        return root ? OrvellaDirectoryNode::identifierOf(root.value()) : QString();
    }

    // The client renewed the tokens: the next launch needs these.
    void tokensChanged(const ServiceClient::Tokens& tokens) {
        const auto current = currentUser();
        if (!current) return;
        if (const auto stored = keychain.store(tokens, current->name()); !stored)
            OVLOG_ERROR(Log::Business::setup(), QStringLiteral("Cannot store the renewed session: ") + stored.error);
    }
    // The service ended the session: as when connect() finds it ended.
    void sessionEnded() {
        OVLOG_INFO(Log::Business::setup(), QStringLiteral("The session was ended by the service."));
        keychain.remove();
        setUser(std::nullopt);
    }

    VoidResult signIn(const QString& userName, const QString& password) {
        const auto previous = client->tokens() ? client->tokens() : keychain.tokens().tokens;
        auto tokens = client->signIn(userName, password);
        if (!tokens) {
            OVLOG_INFO(Log::Business::setup(), QStringLiteral("Sign-in failed: ") + tokens.failure().message);
            return businessError(tokens.failure());
        }
        auto info = client->account();
        if (!info) return businessError(info.failure());
        const ServiceAccount account = withKey(info.value());
        // The tokens as they are now: the client may have renewed them already.
        const auto current = client->tokens().value_or(tokens.value());
        if (const auto stored = keychain.store(current, account.userName); !stored) {
            // The session kept before stays valid: a keyring that is back at the next launch has it.
            (void)client->revoke();
            setUser(std::nullopt);
            OVLOG_ERROR(Log::Business::setup(), QStringLiteral("Cannot store the session: ") + stored.error);
            if (stored.unavailable()) return BusinessError::make(BusinessError::Kind::keychainUnavailable);
            return BusinessError::make(BusinessError::Kind::unableToSave, QStringLiteral("Cannot store the session: ") + stored.error);
        }
        // A session this facade held before is ended, once the new one is kept: one facade, one session.
        if (previous && previous->refreshToken != tokens.value().refreshToken) {
            client->setTokens(previous);
            (void)client->revoke();
            client->setTokens(current);
        }
        setUser(account);
        OVLOG_INFO(Log::Business::setup(), QStringLiteral("Signed in account ") + account.accountId);
        return Success{};
    }

    VoidResult createAccount(const QString& userName, const QString& mailAddress, const QString& password) {
        auto made = client->createAccount({userName, mailAddress, password});
        if (!made) return businessError(made.failure());
        OVLOG_INFO(Log::Business::setup(), QStringLiteral("Created account ") + made.value().account.accountId);
        return signIn(userName, password);
    }

    VoidResult connect() {
        const auto stored = keychain.tokens();
        // A keyring that went away meanwhile does not end the session this launch holds.
        const auto tokens = stored.unavailable && !stored ? client->tokens() : stored.tokens;
        if (!tokens) {
            setUser(std::nullopt);
            // Signed out for now, with the stored session left as it is for a later launch.
            if (stored.unavailable) return BusinessError::make(BusinessError::Kind::keychainUnavailable);
            if (!client->isReachable()) return BusinessError::make(BusinessError::Kind::noConnection);
            return BusinessError::make(BusinessError::Kind::invalidSession);
        }
        client->setTokens(tokens);
        auto info = client->account();
        if (!info) {
            if (info.error() == ServiceError::invalidSession) {
                OVLOG_INFO(Log::Business::setup(), QStringLiteral("The stored session is no longer valid."));
                keychain.remove();
                setUser(std::nullopt);
            }
            return businessError(info.failure());
        }
        setUser(withKey(info.value()));
        return Success{};
    }

    VoidResult logout(bool reset) {
        setUser(std::nullopt);
        VoidResult result = Success{};
        if (!client->tokens()) client->setTokens(keychain.tokens().tokens);
        // A session that already ended is as good as one ended now.
        if (auto revoked = client->revoke(); !revoked && revoked.error() != ServiceError::invalidSession)
            result = businessError(revoked.failure());
        if (const auto removed = keychain.remove(); !removed)
            result = removed.unavailable()
                ? BusinessError::make(BusinessError::Kind::keychainUnavailable)
                : BusinessError::make(BusinessError::Kind::unableToSave, QStringLiteral("Cannot remove the session: ") + removed.error);
        if (reset) QDir(stateFolderFor(keychain.folder())).removeRecursively();
        return result;
    }

    void run(std::function<VoidResult(Core&)> work, std::function<void(VoidResult)> completion,
             const std::shared_ptr<Core>& self) {
        queue->async([self, work = std::move(work), completion = std::move(completion)] {
            const VoidResult result = work(*self);
            if (completion) completion(result);
        });
    }
};

namespace {

// The client the dependencies name, or one over the service's own objects in this process.
std::shared_ptr<ServiceClient> clientFor(DependencyProvider& dependencies, std::shared_ptr<EmbeddedServiceClient>& embedded) {
    if (dependencies.client) {
        embedded = std::dynamic_pointer_cast<EmbeddedServiceClient>(dependencies.client);
        return dependencies.client;
    }
    dependencies.service = serviceOrShared(dependencies.service);
    if (!dependencies.service->ensureCreated())
        throw FacadeSetupError("Cannot create the service storage at " + dependencies.service->root().toStdString());
    embedded = std::make_shared<EmbeddedServiceClient>(dependencies.service);
    return embedded;
}

}  // namespace

OrvellaFacade::OrvellaFacade(OVFacadeConfiguration configuration, DependencyProvider dependencies)
    : configuration_(std::move(configuration)),
      dependencies_(std::move(dependencies)),
      client_([this] {
          if (!dependencies_.settingsManager) throw FacadeSetupError("No settings manager");
          return clientFor(dependencies_, embedded_);
      }()),
      connectivity_([client = client_] { return client->isReachable(); }) {
    core_ = std::make_shared<Core>(client_, TokenKeychain(TokenKeychain::defaultFolder(configuration_.userDefaultsGroup),
                                                          configuration_.tokenKeychainAccount));
    // The client tells on whichever thread met it; the core outlives no facade's client.
    const std::weak_ptr<Core> weak = core_;
    client_->setTokensChanged([weak](const ServiceClient::Tokens& tokens) {
        if (auto core = weak.lock()) core->tokensChanged(tokens);
    });
    client_->setSessionEnded([weak] {
        if (auto core = weak.lock()) core->sessionEnded();
    });
    backupFacade_ = std::make_unique<OrvellaBackupFacade>(client_, [core = std::weak_ptr<Core>(core_)] {
        const auto strong = core.lock();
        const auto user = strong ? strong->currentUser() : nullptr;
        return user ? std::optional<QString>(user->name()) : std::nullopt;
    });
    // Across the network nobody tells when the service comes or goes: it is asked.
    if (!embedded_) reachabilityWatch_ = std::jthread([this](std::stop_token stop) { watchReachability(stop); });
}

void OrvellaFacade::watchReachability(std::stop_token stop) {
    std::mutex pause;
    std::condition_variable_any wake;
    while (!stop.stop_requested()) {
        // While it answers, the calls of the facade and of the engine keep the client's word current.
        if (!connectivity_.isConnected()) client_->probe();
        connectivity_.refresh();
        std::unique_lock lock(pause);
        wake.wait_for(lock, stop, std::chrono::seconds(2), [] { return false; });
    }
}

StorageService& OrvellaFacade::service() const {
    if (!embedded_) throw std::logic_error("The facade reaches its service across the network.");
    return *embedded_->service();
}

OrvellaFacade::~OrvellaFacade() = default;

BackupFacade* OrvellaFacade::backupFacade() const { return backupFacade_.get(); }

std::shared_ptr<const BusinessUser> OrvellaFacade::currentUser() const { return core_->currentUser(); }

std::optional<ServiceClient::Tokens> OrvellaFacade::sessionTokens() const {
    if (!currentUser()) return std::nullopt;
    return client_->tokens();
}

OrvellaSettingsManager* OrvellaFacade::settings() const { return dependencies_.settingsManager.get(); }

ConnectivityManager& OrvellaFacade::connectivityManager() { return connectivity_; }

void OrvellaFacade::connect(ConnectAPIOptions, std::function<void(VoidResult)> completion) {
    core_->run([](Core& core) { return core.connect(); }, std::move(completion), core_);
}

void OrvellaFacade::logout(bool reset, std::function<void(VoidResult)> completion) {
    // Nobody is signed in from now on, also before the service has heard of it; nor is anyone synced.
    core_->setUser(std::nullopt);
    {
        std::lock_guard lock(syncMutex_);
        syncEngine_.reset();
    }
    core_->run([reset](Core& core) { return core.logout(reset); }, std::move(completion), core_);
}

std::optional<std::vector<SelectiveSyncItem>> OrvellaFacade::subscriptionItems() const {
    std::vector<SelectiveSyncItem> items;
    {
        std::lock_guard lock(syncMutex_);
        if (syncEngine_) {
            items = syncEngine_->subscriptions();
        } else if (!core_->currentUser()) {
            return std::nullopt;
        }
        // Signed in but not syncing yet (the first sign-in's folder choice): nothing has been
        // chosen, and an engine set up now keeps the whole tree.
    }
    // The engine keeps everything while its list is empty; said as a list, that is the whole tree.
    if (items.empty()) items.push_back(SelectiveSyncItem{QStringLiteral("/"), true, QString()});
    return items;
}

void OrvellaFacade::signIn(const QString& userName, const QString& password, std::function<void(VoidResult)> completion) {
    core_->run([userName, password](Core& core) { return core.signIn(userName, password); }, std::move(completion), core_);
}

void OrvellaFacade::createAccount(const QString& userName, const QString& mailAddress, const QString& password,
                                  std::function<void(VoidResult)> completion) {
    core_->run([userName, mailAddress, password](Core& core) { return core.createAccount(userName, mailAddress, password); },
               std::move(completion), core_);
}

VoidResult OrvellaFacade::signInNow(const QString& userName, const QString& password) {
    return core_->queue->sync([&] { return core_->signIn(userName, password); });
}

VoidResult OrvellaFacade::createAccountNow(const QString& userName, const QString& mailAddress, const QString& password) {
    return core_->queue->sync([&] { return core_->createAccount(userName, mailAddress, password); });
}

QString OrvellaFacade::tokenPath() const { return core_->keychain.path(); }

QString OrvellaFacade::localStateFolder() const { return stateFolderFor(core_->keychain.folder()); }

std::optional<SignInBackend> OrvellaFacade::signInBackend() {
    // The page holds the core weakly: a page outliving the facade fails its requests plainly.
    const std::weak_ptr<Core> weak = core_;
    const auto gone = [] { return VoidResult(BusinessError::genericError(QStringLiteral("The service facade is gone."))); };
    SignInBackend backend;
    backend.signIn = [weak, gone](const QString& user, const QString& password, std::function<void(VoidResult)> done) {
        auto core = weak.lock();
        if (!core) return done(gone());
        core->run([user, password](Core& c) { return c.signIn(user, password); }, std::move(done), core);
    };
    backend.createAccount = [weak, gone](const QString& user, const QString& mail, const QString& password,
                                         std::function<void(VoidResult)> done) {
        auto core = weak.lock();
        if (!core) return done(gone());
        core->run([user, mail, password](Core& c) { return c.createAccount(user, mail, password); }, std::move(done), core);
    };
    backend.isReachable = [weak] {
        auto core = weak.lock();
        return core && core->client->isReachable();
    };
    return backend;
}

SyncFacade* OrvellaFacade::syncFacade() const {
    std::lock_guard lock(syncMutex_);
    return syncEngine_.get();
}

void OrvellaFacade::setUpSync(SyncFacadeImplementation, const SyncFacadeConfiguration& configuration) {
    const auto user = currentUser();
    if (!user) throw std::runtime_error("Sync needs a signed-in user");
    const QString localTree = client_->localTreeFolder(user->name());
    const QString dataParent = configuration.dataDirectoryLocalURL.isEmpty()
        ? localStateFolder() + QStringLiteral("/SyncData")
        : configuration.dataDirectoryLocalURL;
    const QString dataFolder = dataParent + u'/' + user->accountId();
    // A first set-up finds no sync folder yet: make it, for its owner only, before the engine looks.
    if (!QFileInfo::exists(configuration.rootDirectoryLocalURL) &&
        (::mkdir(QFile::encodeName(configuration.rootDirectoryLocalURL).constData(), 0700) != 0 && errno != EEXIST))
        throw std::runtime_error("Cannot create the sync folder");
    std::lock_guard lock(syncMutex_);
    // The old engine holds the state's lock: it must be gone before the new one opens the state.
    syncEngine_.reset();
    if (!localTree.isEmpty()) {
        // The tree is a folder of this machine: the engine syncs with it directly.
        syncEngine_ = std::make_shared<OrvellaSyncEngine>(configuration, embedded_ ? embedded_->service() : nullptr, localTree,
                                                          dataFolder);
    } else {
        syncEngine_ = std::make_shared<OrvellaSyncEngine>(configuration, std::make_shared<ServiceRemoteTree>(client_), dataFolder,
                                                          OrvellaSyncEngine::Options{});
    }
    syncDelegate_ = configuration.syncStatusDelegate;
}

void OrvellaFacade::tearDownSync(const SyncStatusDelegate* delegate) {
    std::lock_guard lock(syncMutex_);
    // Only the engine that reports to this delegate: a newer set-up by someone else stays.
    if (!syncEngine_ || syncDelegate_ != delegate) return;
    syncEngine_.reset();
    syncDelegate_ = nullptr;
}

// ---- sharing

namespace {

std::optional<OrvellaShareContext> shareContext(const std::shared_ptr<const BusinessUser>& user, const OVFacadeConfiguration& config) {
    const auto orvellaUser = std::dynamic_pointer_cast<const OrvellaUser>(user);
    if (!orvellaUser) return std::nullopt;
    return OrvellaShareContext{orvellaUser->session(), OrvellaShareItem::linkBase(config.appConfiguration)};
}

}  // namespace

void OrvellaFacade::sharedItems(std::function<void(BusinessResult<std::vector<std::shared_ptr<BasicItem>>>)> completion) {
    auto context = shareContext(currentUser(), configuration_);
    if (!context) {
        MainQueue::async([completion = std::move(completion)] {
            if (completion) completion(BusinessError::make(BusinessError::Kind::invalidSession));
        });
        return;
    }
    OrvellaShareItem::sharedItems(std::move(*context), std::move(completion));
}

std::shared_ptr<BasicItem> OrvellaFacade::makeLocalItem(const QString& localPath, bool isDirectory) const {
    auto context = shareContext(currentUser(), configuration_);
    const std::optional<QString> syncRoot = settings() ? settings()->syncRoot() : std::nullopt;
    if (!context || !syncRoot || syncRoot->isEmpty()) return nullptr;
    return OrvellaShareItem::makeLocal(std::move(*context), QDir::cleanPath(*syncRoot + QStringLiteral("/Orvella")), localPath,
                                       isDirectory);
}
