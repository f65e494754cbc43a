#include "app/core/OVPathResolver.h"

#include "app/core/BusinessFacadeHolder.h"
#include "app/core/SyncFolderPaths.h"
#include "frameworks/business/BusinessFacade.h"

std::shared_ptr<OVPathResolver> OVPathResolver::shared() {
    static const auto instance = std::make_shared<OVPathResolver>();
    return instance;
}

QString OVPathResolver::usersFolderName() const { return QStringLiteral("users"); }

std::optional<QString> OVPathResolver::userHomeLocalPath() const {
    const auto folder = syncFolderPath();
    if (!folder) return std::nullopt;
    const auto user = BusinessFacadeHolder::facade().currentUser();
    if (!user) return std::nullopt;
    return SyncFolderPaths::appendingPathComponent(
        SyncFolderPaths::appendingPathComponent(*folder, usersFolderName()), user->name());
}

QStringList OVPathResolver::localSystemPaths() const {
    QStringList paths;
    if (const auto folder = syncFolderPath()) paths << *folder;
    if (const auto home = userHomeLocalPath()) paths << *home;
    return paths;
}

QStringList OVPathResolver::remoteSystemNames() const {
    const auto user = BusinessFacadeHolder::facade().currentUser();
    if (!user) return {};
    return {user->name()};
}
