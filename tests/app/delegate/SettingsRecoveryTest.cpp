#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include "app/common/LocalizationController.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/SettingsController.h"
#include "app/core/SyncFolderPaths.h"
#include "app/core/UserController.h"
#include "app/delegate/AppDelegate.h"
#include "app/sync/SettingsRecovery.h"
#include "app/sync/SyncController.h"
#include "app/sync/SyncControllerTestSupport.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "frameworks/sync/OrvellaSyncEngine.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TestEnvironment.h"

namespace {

bool writeBytes(const QString& path, const QByteArray& bytes) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The engine's state file as the engine leaves it, holding only what recovery reads.
bool writeEngineState(const QString& path, const QString& localRoot) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    sqlite3* db = nullptr;
    bool ok = sqlite3_open(QFile::encodeName(path).constData(), &db) == SQLITE_OK &&
              sqlite3_exec(db, "CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL)", nullptr, nullptr,
                           nullptr) == SQLITE_OK;
    sqlite3_stmt* insert = nullptr;
    ok = ok && sqlite3_prepare_v2(db, "INSERT INTO meta(key, value) VALUES('localRoot', ?)", -1, &insert, nullptr) ==
                   SQLITE_OK;
    const QByteArray value = localRoot.toUtf8();
    ok = ok && sqlite3_bind_text(insert, 1, value.constData(), int(value.size()), SQLITE_TRANSIENT) == SQLITE_OK &&
         sqlite3_step(insert) == SQLITE_DONE;
    sqlite3_finalize(insert);
    sqlite3_close(db);
    return ok;
}

// Where the sync folder's place is written down, besides the lost settings.
enum class Where {
    standardDefaults,   // the sync root the onboarding keeps under the account's id
    engineState,        // only the engine's state knows the folder
    movedSinceOnboarding,  // the onboarding's root holds an old marked copy; the engine syncs the new one
    markedForAnother,   // the folder stands where the defaults say, but carries another account's marker
};

struct RecoveryCase {
    const char* name;
    QByteArray groupFile;  // the app group's settings file at the start
    bool signedIn;         // a session survives in its own store
    Where where;
    bool connectAnswersLater;  // as the real facade does, from its own queue
    bool recovered;
};

// A damaged app-group settings file at the start of the application, for a user whose session
// survives and whose sync folder still carries the account's marker: the settings come back and sync
// runs; without such a user or folder, nothing is invented and the start is a first one, as before.
TEST(SettingsRecovery, ADamagedGroupSettingsFileIsRecoveredForTheSignedInUserAndLogged) {
    const RecoveryCase cases[] = {
        {"garbage", "\x7f\x45LF{ not settings \xff", true, Where::standardDefaults, false, true},
        {"empty", "", true, Where::standardDefaults, false, true},
        {"cutShort", R"({"format":1,"values":{"isAlreadyLaunched":{"bo)", true, Where::standardDefaults, true, true},
        {"onlyTheEngineKnowsTheFolder", "garbage", true, Where::engineState, true, true},
        {"movedSinceOnboarding", "garbage", true, Where::movedSinceOnboarding, false, true},
        {"nobodySignedIn", "garbage", false, Where::standardDefaults, false, false},
        {"nobodySignedInEmpty", "", false, Where::standardDefaults, true, false},
        {"anotherAccountsFolder", "garbage", true, Where::markedForAnother, false, false},
    };
    const LocalizationController texts;
    // Each run its own suites, accounts and state: a repeated run in one process starts afresh too.
    static int run = 0;
    ++run;
    for (const RecoveryCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString name = QString::fromLatin1(c.name) + QStringLiteral("-%1").arg(run);
        const QString accountId = QStringLiteral("acc-recovery-") + name;
        QTemporaryDir place(QStringLiteral("/dev/shm/recovery-XXXXXX"));
        ASSERT_TRUE(place.isValid());
        const QString syncRoot = place.path() + QStringLiteral("/Chosen place");
        const QString syncFolder = syncRoot + QStringLiteral("/Orvella");
        ASSERT_TRUE(writeBytes(syncFolder + QStringLiteral("/.ovmd.db/accountId"),
                               c.where == Where::markedForAnother ? QByteArray("acc-someone-else") : accountId.toUtf8()));
        ASSERT_TRUE(writeBytes(syncFolder + QStringLiteral("/notes.txt"), "kept"));
        if (c.where == Where::engineState || c.where == Where::movedSinceOnboarding) {
            if (c.where == Where::engineState) {
                UserDefaults::standard().removeObject(accountId);
            } else {
                const QString oldRoot = place.path() + QStringLiteral("/Old place");
                ASSERT_TRUE(writeBytes(oldRoot + QStringLiteral("/Orvella/.ovmd.db/accountId"), accountId.toUtf8()));
                UserDefaults::standard().setObject(accountId, oldRoot);
            }
            ASSERT_TRUE(writeEngineState(*syncDataDirectoryPath() + u'/' + accountId + u'/' +
                                             OrvellaSyncEngine::stateFileName(),
                                         syncFolder));
        } else {
            UserDefaults::standard().setObject(accountId, syncRoot);
        }

        // The app group's file as the disk has it when the application starts; the facade's suite
        // reads it first.
        const QString suite = QStringLiteral("test.group.recovery.") + name;
        const QString groupFile = UserDefaults::filePathForDomain(suite);
        ASSERT_TRUE(groupFile.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME")));
        ASSERT_TRUE(writeBytes(groupFile, c.groupFile));
        synctest::LogRecorder log({&AppLog::setup()});
        auto facade = std::make_shared<synctest::SyncTestFacade>(suite);
        OrvellaSettingsManager* settings = facade->settings();
        ASSERT_FALSE(settings->isAlreadyLaunched()) << "the file was not read as settings";
        if (c.signedIn) facade->user = std::make_shared<TestBusinessUser>(accountId, QStringLiteral("recovery"));
        if (c.connectAnswersLater)
            facade->onConnect = [](std::function<void(VoidResult)> completion) {
                MainQueue::async([completion] { completion(Success{}); });
            };
        BusinessFacadeHolder::setFacadeForTesting(facade);
        Alert::clearShownAlerts();
        QStringList alertTitles;
        Alert::setResponder([&](const Alert& alert) {
            alertTitles << alert.messageText();
            return Alert::SecondButtonReturn;  // no crash reports
        });

        {
            AppDelegate::Environment env;
            env.setLoginItemEnabled = [](const QString&, bool) { return true; };
            AppDelegate delegate(env);
            Application::shared().setDelegate(nullptr);
            delegate.applicationDidFinishLaunching();
            // The connect answers, and whatever waited for it runs.
            TestEnvironment::waitUntil([&] { return false; }, 200);
            TestEnvironment::waitUntil([&] { return !delegate.userController().isLogoutInProgress(); });

            if (c.recovered) {
                EXPECT_TRUE(settings->isAlreadyLaunched());
                EXPECT_EQ(settings->syncRoot(), std::optional<QString>(syncRoot));
                EXPECT_EQ(syncFolderPath(), std::optional<QString>(syncFolder));
                EXPECT_TRUE(settings->hasPromptedToSendCrashReports());
                EXPECT_FALSE(alertTitles.contains(texts.appPromptSendCrashReportsTitle()))
                    << "the crash question is not asked again";
                EXPECT_FALSE(delegate.userController().isOnboarding()) << "no onboarding";
                EXPECT_FALSE(delegate.onboardingWindowController());
                // Sync is set up for the folder and runs.
                ASSERT_TRUE(facade->lastConfiguration.has_value());
                EXPECT_EQ(facade->lastConfiguration->rootDirectoryLocalURL, syncFolder);
                ASSERT_TRUE(delegate.syncController());
                EXPECT_TRUE(delegate.syncController()->isSyncEnabled());
                EXPECT_EQ(readBytes(syncFolder + QStringLiteral("/.ovmd.db/accountId")), accountId.toUtf8());
                // The next sign-in of the account finds the same root, as after onboarding.
                EXPECT_EQ(UserDefaults::standard().stringForKey(accountId), std::optional<QString>(syncRoot));
                EXPECT_EQ(log.matching(QStringLiteral("WARNING Setup: Recovered the settings for account ") + accountId)
                              .size(),
                          1)
                    << log.lines().join('\n').toStdString();
            } else {
                // Nothing is invented: a first start, as before.
                EXPECT_FALSE(settings->isAlreadyLaunched());
                // (Signed in, the sign-in itself restores the root the onboarding stored, as before.)
                if (!c.signedIn) {
                    EXPECT_NE(settings->syncRoot(), std::optional<QString>(syncRoot));
                }
                EXPECT_TRUE(alertTitles.contains(texts.appPromptSendCrashReportsTitle())) << "the crash question is asked";
                EXPECT_EQ(facade->setUpCalls, 0) << "nothing is synced";
                EXPECT_TRUE(log.matching(QStringLiteral("Recovered the settings")).isEmpty());
                if (c.where == Where::markedForAnother) {
                    EXPECT_EQ(UserDefaults::standard().stringForKey(accountId), std::optional<QString>(syncRoot))
                        << "left as it was";
                }
            }
            EXPECT_EQ(readBytes(syncFolder + QStringLiteral("/notes.txt")), "kept");
        }

        // The warning is in the application's log, with where the damaged file is kept.
        const QString keptAs = groupFile + QStringLiteral(".corrupt");
        EXPECT_EQ(readBytes(keptAs), c.groupFile);
        EXPECT_EQ(log.matching(QStringLiteral("WARNING Setup: The settings file \"%1\" (%2) could not be read and was "
                                              "set aside as \"%3\"")
                                   .arg(groupFile, suite, keptAs))
                      .size(),
                  1)
            << log.lines().join('\n').toStdString();

        Alert::setResponder({});
        BusinessFacadeHolder::setFacadeForTesting(nullptr);
        Application::shared().setDelegate(nullptr);
        Application::shared().resetTermination();
    }
}

}  // namespace
