#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/common/ConfigurationProvider.h"
#include "app/core/AppResetter.h"
#include "app/core/support/TestBusinessFacade.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TestEnvironment.h"

namespace {

bool makeFile(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

TEST(AppResetterTest, EveryStepRunsWhateverIsMissingAndTheNextLaunchIsAFirstLaunch) {
    const struct {
        const char* name;
        bool dataDirectoryExists;
        bool storeFileExists;
    } cases[] = {
        {"everything there", true, true},
        {"no sync data directory", false, true},
        {"store file gone", true, false},
        {"nothing on disk", false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedTestBusinessFacade facade;
        QTemporaryDir dir(QStringLiteral("/dev/shm/resetter-XXXXXX"));
        const QString data = dir.path() + QStringLiteral("/SyncData");
        const QString store = dir.path() + QStringLiteral("/Model.sqlite");
        const QString keep = dir.path() + QStringLiteral("/unrelated.txt");
        if (c.dataDirectoryExists) {
            ASSERT_TRUE(makeFile(data + QStringLiteral("/state.db")));
        }
        if (c.storeFileExists) {
            ASSERT_TRUE(makeFile(store) && makeFile(store + QStringLiteral("-wal")));
        }
        ASSERT_TRUE(makeFile(keep));
        OrvellaSettingsManager& settings = facade.settings();
        settings.setSelectiveSyncPaths(QByteArray("[\"/a\"]"));
        settings.setLatestBackupDate(QDateTime::currentDateTimeUtc());
        settings.setLatestBackupStatus(QByteArray("{}"));
        const QString app = infoPlistString(QStringLiteral("AppBundleIdentifier"));
        const QString group = infoPlistString(QStringLiteral("AppGroupIdentifier"));
        ASSERT_TRUE(UserDefaults::standard().setObject(QStringLiteral("isAlreadyLaunched"), true));
        ASSERT_TRUE(UserDefaults::suite(group)->setObject(QStringLiteral("syncRoot"), QStringLiteral("/x")));

        AppResetter resetter(data, nullptr);
        // An empty name stands for a store description without a file.
        resetter.setStoreFiles({QString(), store});
        bool completed = false;
        resetter.reset([&] { completed = true; });
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return completed; }, 5000));

        EXPECT_FALSE(QFileInfo::exists(data));
        EXPECT_FALSE(QFileInfo::exists(store));
        EXPECT_FALSE(QFileInfo::exists(store + QStringLiteral("-wal")));
        EXPECT_TRUE(QFileInfo::exists(keep));
        EXPECT_EQ(facade.facade().logoutCalls, 1);
        EXPECT_TRUE(facade.facade().lastLogoutReset);
        EXPECT_FALSE(QFileInfo::exists(UserDefaults::filePathForDomain(app)));
        EXPECT_FALSE(QFileInfo::exists(UserDefaults::filePathForDomain(group)));
        EXPECT_FALSE(UserDefaults::standard().object(QStringLiteral("isAlreadyLaunched")).isValid());
        // The facade's suite here is the test's own, so its keys show the clearing steps.
        EXPECT_FALSE(settings.selectiveSyncPaths().has_value());
        EXPECT_FALSE(settings.latestBackupDate().has_value());
        EXPECT_FALSE(settings.latestBackupStatus().has_value());
    }
}

}  // namespace
