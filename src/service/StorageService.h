#pragma once

#include <QString>

#include <atomic>
#include <memory>

// The embedded storage service: a folder tree that plays the cloud. Accounts, sessions and each
// user's remote tree (under "users/<name>") live below its root.
class StorageService {
public:
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

    // Tests and demos take the service away and bring it back.
    bool isReachable() const { return reachable_.load(); }
    void setReachable(bool reachable) { reachable_.store(reachable); }

private:
    QString root_;
    std::atomic<bool> reachable_{true};
};
