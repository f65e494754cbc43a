#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>

#include "service/ChangeJournal.h"
#include "service/ServiceAccount.h"
#include "service/ServiceFeatures.h"
#include "service/ServiceQuota.h"
#include "service/ServiceResult.h"
#include "service/ServiceSession.h"

// The embedded storage service: a folder tree that plays the cloud. Accounts, sessions and each
// user's remote tree (under "users/<name>") live below its root.
//
// Accounts and sessions are not cached in memory: every call reads the files, so several service
// objects, in this process or in others, can share one root. What changed in the users' trees is
// kept by the root's change journal, one per process (see ChangeJournal). Every file is replaced atomically, and account
// changes are made under an exclusive lock on the root, so concurrent callers never corrupt or
// lose an account. While the service is unreachable every call fails with `noConnection`.
class StorageService {
public:
    using Clock = std::function<QDateTime()>;

    static constexpr std::int64_t defaultQuotaBytes = 5LL * 1024 * 1024 * 1024;
    static constexpr std::int64_t defaultSessionLifetimeSeconds = 30LL * 24 * 60 * 60;
    static constexpr int defaultLockTimeoutMs = 5000;

    // Root from ORVELLA_SERVICE_ROOT, else "OrvellaService" under the user's XDG data folder.
    static QString defaultRoot();
    // The process-wide service at the default root, created on first use.
    static std::shared_ptr<StorageService> shared();

    explicit StorageService(QString root);

    const QString& root() const { return root_; }
    // Creates the root and its top folders (owner-only) when missing; false when that fails.
    bool ensureCreated() const;
    QString usersFolder() const;
    QString accountsFolder() const;
    QString sessionsFolder() const;
    // The user's remote tree, "users/<name>" below the root.
    QString homeFolder(const QString& userName) const;
    QString accountFile(const QString& userName) const;

    // Tests and demos take the service away and bring it back.
    bool isReachable() const { return reachable_.load(); }
    void setReachable(bool reachable) { reachable_.store(reachable); }

    // Accounts. The name is stored in its composed Unicode form; the user's home folder is
    // created with the account. Fails with invalidUserName, invalidMailAddress, invalidPassword
    // (each with a message saying why), userExists, timeout or storageFailure.
    ServiceResult<ServiceAccount> createAccount(const QString& userName, const QString& mailAddress,
                                                const QString& password);
    ServiceResult<ServiceAccount> account(const QString& userName) const;
    ServiceResult<QStringList> accountNames() const;
    // The account when the password is right; wrongCredentials for a wrong password and for an
    // unknown user alike, in about the same time, so that nobody can probe for names.
    ServiceResult<ServiceAccount> checkPassword(const QString& userName, const QString& password) const;
    ServiceResult<ServiceDone> setQuotaOverall(const QString& userName, std::int64_t bytes);
    ServiceResult<ServiceDone> setFeatures(const QString& userName, const ServiceFeatures& features);
    // Keeps `key` as the session's account's encryption key, replacing any earlier one, when
    // `password` is the account's password: wrongCredentials otherwise, invalidSession for a
    // session that is gone, notFound for a key without text.
    ServiceResult<ServiceDone> importCryptoKey(const QString& sessionToken, const QString& key, const QString& password);

    // Sessions. Signing in checks the password and opens a session with a fresh random token.
    ServiceResult<ServiceSession> signIn(const QString& userName, const QString& password);
    // The session's account; invalidSession for an unknown, revoked or expired token, and when
    // the account was removed or made anew under the same name since.
    ServiceResult<ServiceAccount> validateSession(const QString& token) const;
    ServiceResult<ServiceDone> revokeSession(const QString& token);

    // Changes in the user's remote tree after `cursor`, waiting up to `timeout` for one (see
    // ChangeJournal). An empty or unknown cursor gets a reset answer with the current one. Fails
    // with notFound for a name that cannot be a user's and with storageFailure when the trees
    // cannot be watched (the caller then has to look at the tree itself).
    ServiceResult<ServiceChanges> changesOfUser(const QString& userName, const QString& cursor,
                                                std::chrono::milliseconds timeout, std::stop_token stop = {}) const;
    ServiceResult<ServiceChanges> changes(const QString& sessionToken, const QString& cursor,
                                          std::chrono::milliseconds timeout, std::stop_token stop = {}) const;
    // The root's journal (created on first use), for tests that steer it.
    std::shared_ptr<ChangeJournal> changeJournal() const;

    // Quota: `used` is the size of the files in the user's remote tree.
    ServiceResult<ServiceQuota> quota(const QString& sessionToken) const;
    ServiceResult<ServiceQuota> quotaOfUser(const QString& userName) const;

    // Tests move time and shorten waits.
    void setClock(Clock clock);
    QDateTime now() const;
    void setSessionLifetime(std::int64_t seconds) { sessionLifetime_.store(seconds); }
    void setLockTimeout(int milliseconds) { lockTimeoutMs_.store(milliseconds); }
    QString lockFilePath() const;

private:
    struct StoredAccount;

    std::optional<ServiceFailure> unreachable() const;
    ServiceResult<StoredAccount> readAccount(const QString& userName) const;
    ServiceResult<ServiceDone> writeAccount(const StoredAccount& account) const;
    ServiceResult<ServiceDone> updateAccount(const QString& userName, const std::function<void(StoredAccount&)>& change);
    QString sessionFile(const QString& token) const;
    void removeExpiredSessions() const;
    std::int64_t usedBytes(const QString& userName) const;

    QString root_;
    std::atomic<bool> reachable_{true};
    std::atomic<std::int64_t> sessionLifetime_{defaultSessionLifetimeSeconds};
    std::atomic<int> lockTimeoutMs_{defaultLockTimeoutMs};
    mutable std::mutex clockMutex_;
    Clock clock_;
    mutable std::mutex journalMutex_;
    mutable std::shared_ptr<ChangeJournal> journal_;
};
