#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QString>

#include <mutex>
#include <utility>

#include "app/core/SyncFolderPaths.h"
#include "app/sync/AppServer.h"
#include "app/sync/CommServer.h"
#include "app/sync/support/StatusTableFacade.h"
#include "protocol/MessagePortProtocol.h"

// The application's two port servers, as its launch opens them.
struct AppPortServers {
    explicit AppPortServers(const QString& group)
        : opened(appServer.addSourceForNewLocalMessagePort(MessagePortProtocol::badgePortName(group)) &&
                 commServer.addSourceForNewLocalMessagePort(MessagePortProtocol::registrationPortName(group))) {
        EXPECT_TRUE(opened) << "the application's ports could not be opened";
    }
    AppServer appServer;
    CommServer commServer;
    bool opened;
};

// The sync folder under `root` holding an item in each of three states, which the facade's engine
// answers; empty when it cannot be made. What the file-manager tests show.
inline QString makeSyncFolderInThreeStates(StatusTableFacade& facade, const QString& root) {
    facade.settings()->setSyncRoot(root);
    const QString folder = syncFolderPath().value_or(QString());
    if (folder.isEmpty() || !QDir().mkpath(folder)) return {};
    const std::pair<const char*, OVItemSyncStatus> items[] = {{"report.txt", OVItemSyncStatus::synced},
                                                              {"draft with space.txt", OVItemSyncStatus::syncing},
                                                              {"broken.bin", OVItemSyncStatus::error}};
    for (const auto& [name, status] : items) {
        QFile file(folder + u'/' + QLatin1String(name));
        if (!file.open(QIODevice::WriteOnly)) return {};
        std::lock_guard lock(facade.engine.mutex);
        facade.engine.statuses[file.fileName()] = status;
    }
    return folder;
}
