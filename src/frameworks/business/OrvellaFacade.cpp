#include "frameworks/business/OrvellaFacade.h"

#include "frameworks/sync/OrvellaSyncEngine.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <sys/stat.h>

#include <QDir>

#include <mutex>

#include "frameworks/business/OrvellaBackupFacade.h"
#include "frameworks/business/OrvellaShareItem.h"
#include "frameworks/business/OrvellaUser.h"
#include "frameworks/business/ServiceErrors.h"
#include "frameworks/business/TokenKeychain.h"
#include "frameworks/logger/FrameworkChannels.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/SerialQueue.h"
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
    Core(std::shared_ptr<StorageService> s, TokenKeychain k)
        : service(std::move(s)), keychain(std::move(k)), queue(std::make_shared<SerialQueue>(QStringLiteral("business.facade"))) {}

    std::shared_ptr<StorageService> service;
    TokenKeychain keychain;
    std::shared_ptr<SerialQueue> queue;

    mutable std::mutex mutex;
    std::shared_ptr<const BusinessUser> user;

    std::shared_ptr<const BusinessUser> currentUser() const {
        std::lock_guard lock(mutex);
        return user;
    }
    void setUser(std::shared_ptr<const BusinessUser> newUser) {
        std::lock_guard lock(mutex);
        user = std::move(newUser);
    }
    void setUser(const ServiceAccount& account, const QString& token) {
        setUser(std::make_shared<OrvellaUser>(account, token, service, queue));
    }

    VoidResult signIn(const QString& userName, const QString& password) {
        auto session = service->signIn(userName, password);
        if (!session) {
            OVLOG_INFO(Log::Business::setup(), QStringLiteral("Sign-in failed: ") + session.failure().message);
            return businessError(session.failure());
        }
        const QString token = session.value().token;
        auto account = service->validateSession(token);
        if (!account) return businessError(account.failure());
        // A session this facade held before is ended: one facade, one session.
        if (const auto previous = keychain.token(); previous && *previous != token) (void)service->revokeSession(*previous);
        if (!keychain.store(token, account.value().userName)) {
            (void)service->revokeSession(token);
            setUser(nullptr);
            return BusinessError::make(BusinessError::Kind::unableToSave,
                                       QStringLiteral("Cannot store the session in ") + keychain.path());
        }
        setUser(account.value(), token);
        OVLOG_INFO(Log::Business::setup(), QStringLiteral("Signed in account ") + account.value().accountId);
        return Success{};
    }

    VoidResult createAccount(const QString& userName, const QString& mailAddress, const QString& password) {
        auto made = service->createAccount(userName, mailAddress, password);
        if (!made) return businessError(made.failure());
        OVLOG_INFO(Log::Business::setup(), QStringLiteral("Created account ") + made.value().accountId);
        return signIn(userName, password);
    }

    VoidResult connect() {
        if (!service->isReachable()) return BusinessError::make(BusinessError::Kind::noConnection);
        const auto token = keychain.token();
        if (!token) {
            setUser(nullptr);
            return BusinessError::make(BusinessError::Kind::invalidSession);
        }
        auto account = service->validateSession(*token);
        if (!account) {
            if (account.error() == ServiceError::invalidSession) {
                OVLOG_INFO(Log::Business::setup(), QStringLiteral("The stored session is no longer valid."));
                keychain.remove();
                setUser(nullptr);
            }
            return businessError(account.failure());
        }
        setUser(account.value(), *token);
        return Success{};
    }

    VoidResult logout(bool reset) {
        setUser(nullptr);
        VoidResult result = Success{};
        if (const auto token = keychain.token()) {
            auto revoked = service->revokeSession(*token);
            // A session that already ended is as good as one ended now.
            if (!revoked && revoked.error() != ServiceError::invalidSession) result = businessError(revoked.failure());
        }
        if (!keychain.remove())
            result = BusinessError::make(BusinessError::Kind::unableToSave, QStringLiteral("Cannot remove ") + keychain.path());
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

OrvellaFacade::OrvellaFacade(OVFacadeConfiguration configuration, DependencyProvider dependencies)
    : configuration_(std::move(configuration)),
      dependencies_([&] {
          dependencies.service = serviceOrShared(dependencies.service);
          return std::move(dependencies);
      }()),
      connectivity_([service = dependencies_.service] { return service->isReachable(); }) {
    if (!dependencies_.settingsManager) throw FacadeSetupError("No settings manager");
    if (!dependencies_.service->ensureCreated())
        throw FacadeSetupError("Cannot create the service storage at " + dependencies_.service->root().toStdString());
    core_ = std::make_shared<Core>(dependencies_.service,
                                   TokenKeychain(TokenKeychain::defaultFolder(configuration_.userDefaultsGroup),
                                                 configuration_.tokenKeychainAccount));
    backupFacade_ = std::make_unique<OrvellaBackupFacade>(dependencies_.service, [core = std::weak_ptr<Core>(core_)] {
        const auto strong = core.lock();
        const auto user = strong ? strong->currentUser() : nullptr;
        return user ? std::optional<QString>(user->name()) : std::nullopt;
    });
}

OrvellaFacade::~OrvellaFacade() = default;

BackupFacade* OrvellaFacade::backupFacade() const { return backupFacade_.get(); }

std::shared_ptr<const BusinessUser> OrvellaFacade::currentUser() const { return core_->currentUser(); }

OrvellaSettingsManager* OrvellaFacade::settings() const { return dependencies_.settingsManager.get(); }

ConnectivityManager& OrvellaFacade::connectivityManager() { return connectivity_; }

void OrvellaFacade::connect(ConnectAPIOptions, std::function<void(VoidResult)> completion) {
    core_->run([](Core& core) { return core.connect(); }, std::move(completion), core_);
}

void OrvellaFacade::logout(bool reset, std::function<void(VoidResult)> completion) {
    // Nobody is signed in from now on, also before the service has heard of it; nor is anyone synced.
    core_->setUser(nullptr);
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
        return core && core->service->isReachable();
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
    const QString remoteRoot = service().homeFolder(user->name());
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
    syncEngine_ = std::make_shared<OrvellaSyncEngine>(configuration, dependencies_.service, remoteRoot, dataFolder);
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

std::optional<OrvellaShareContext> shareContext(const std::shared_ptr<const BusinessUser>& user,
                                                const std::shared_ptr<StorageService>& service,
                                                const std::shared_ptr<SerialQueue>& queue, const OVFacadeConfiguration& config) {
    const auto orvellaUser = std::dynamic_pointer_cast<const OrvellaUser>(user);
    if (!orvellaUser) return std::nullopt;
    return OrvellaShareContext{service, queue, orvellaUser->name(), orvellaUser->sessionToken(),
                               OrvellaShareItem::linkBase(config.appConfiguration)};
}

}  // namespace

void OrvellaFacade::sharedItems(std::function<void(BusinessResult<std::vector<std::shared_ptr<BasicItem>>>)> completion) {
    auto context = shareContext(currentUser(), core_->service, core_->queue, configuration_);
    if (!context) {
        MainQueue::async([completion = std::move(completion)] {
            if (completion) completion(BusinessError::make(BusinessError::Kind::invalidSession));
        });
        return;
    }
    OrvellaShareItem::sharedItems(std::move(*context), std::move(completion));
}

std::shared_ptr<BasicItem> OrvellaFacade::makeLocalItem(const QString& localPath, bool isDirectory) const {
    auto context = shareContext(currentUser(), core_->service, core_->queue, configuration_);
    const std::optional<QString> syncRoot = settings() ? settings()->syncRoot() : std::nullopt;
    if (!context || !syncRoot || syncRoot->isEmpty()) return nullptr;
    return OrvellaShareItem::makeLocal(std::move(*context), QDir::cleanPath(*syncRoot + QStringLiteral("/Orvella")), localPath,
                                       isDirectory);
}
