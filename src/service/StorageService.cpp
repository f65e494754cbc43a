#include "service/StorageService.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <mutex>

QString StorageService::defaultRoot() {
    const QString env = qEnvironmentVariable("ORVELLA_SERVICE_ROOT");
    if (!env.isEmpty()) return QDir::cleanPath(env);
    QString data = qEnvironmentVariable("XDG_DATA_HOME");
    if (data.isEmpty()) data = QDir::homePath() + QStringLiteral("/.local/share");
    return QDir::cleanPath(data + QStringLiteral("/OrvellaService"));
}

std::shared_ptr<StorageService> StorageService::shared() {
    static std::once_flag once;
    static std::shared_ptr<StorageService> service;
    std::call_once(once, [] { service = std::make_shared<StorageService>(defaultRoot()); });
    return service;
}

StorageService::StorageService(QString root) : root_(QDir::cleanPath(std::move(root))) {}

QString StorageService::usersFolder() const { return root_ + QStringLiteral("/users"); }
QString StorageService::accountsFolder() const { return root_ + QStringLiteral("/accounts"); }
QString StorageService::sessionsFolder() const { return root_ + QStringLiteral("/sessions"); }

bool StorageService::ensureCreated() const {
    const auto ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;
    for (const QString& dir : {root_, usersFolder(), accountsFolder(), sessionsFolder()}) {
        if (!QDir().mkpath(dir)) return false;
    }
    // Accounts and sessions hold secrets: only their owner may enter them.
    return QFile::setPermissions(root_, ownerOnly) && QFile::setPermissions(accountsFolder(), ownerOnly) &&
           QFile::setPermissions(sessionsFolder(), ownerOnly);
}
