#include "app/core/AppResetter.h"

#include <QDir>
#include <QFileInfo>

#include <thread>

#include "app/common/ConfigurationProvider.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/ProcessLauncher.h"
#include "app/core/SettingsController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/UserDefaults.h"

AppResetter::AppResetter(QString syncDataDirectory, std::function<void()> pauseSync)
    : syncDataDirectory_(std::move(syncDataDirectory)), pauseSync_(std::move(pauseSync)) {}

// Application permissions on a Linux desktop live in the portal permission store, which flatpak's
// tool resets per application id; without it nothing was granted to forget.
QString AppResetter::privacyResetTool() { return QStringLiteral("/usr/bin/flatpak"); }

QStringList AppResetter::privacyResetArguments(const QString& bundleIdentifier) {
    return {QStringLiteral("permission-reset"), bundleIdentifier};
}

namespace {

void removeItem(const QString& path) {
    const QFileInfo info(path);
    if (info.isDir() && !info.isSymLink()) {
        QDir(path).removeRecursively();
    } else if (info.exists() || info.isSymLink()) {
        QFile::remove(path);
    }
}

}  // namespace

void AppResetter::reset(std::function<void()> completion) {
    if (pauseSync_) pauseSync_();
    removeItem(syncDataDirectory_);
    BusinessFacade& facade = BusinessFacadeHolder::facade();
    facade.settings()->setSelectiveSyncPaths(std::nullopt);
    for (const QString& file : storeFiles_) {
        if (file.isEmpty() || !QFileInfo::exists(file)) continue;
        removeItem(file);
        // A journal left beside a deleted database would be replayed into the next one made there.
        for (const char* suffix : {"-wal", "-shm", "-journal"}) removeItem(file + QLatin1String(suffix));
    }
    facade.settings()->setLatestBackupDate(std::nullopt);
    facade.settings()->setLatestBackupStatus(std::nullopt);

    const QString bundleIdentifier = infoPlistString(QStringLiteral("AppBundleIdentifier"));
    const QString groupIdentifier = infoPlistString(QStringLiteral("AppGroupIdentifier"));
    // The tool blocks; the log-out waits for it so that the steps keep their order.
    std::thread([bundleIdentifier, groupIdentifier, completion = std::move(completion)]() mutable {
        ProcessLauncher().launch(privacyResetTool(), privacyResetArguments(bundleIdentifier));
        MainQueue::async([bundleIdentifier, groupIdentifier, completion = std::move(completion)]() mutable {
            BusinessFacadeHolder::facade().logout(
                true, [bundleIdentifier, groupIdentifier, completion = std::move(completion)](VoidResult) {
                    UserDefaults::standard().removePersistentDomain(bundleIdentifier);
                    UserDefaults::standard().removePersistentDomain(groupIdentifier);
                    if (completion) completion();
                });
        });
    }).detach();
}
