#include <gtest/gtest.h>

#include <QDateTime>

#include <atomic>
#include <functional>
#include <thread>

#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TestEnvironment.h"

namespace {

using M = OrvellaSettingsManager;

QString uniqueSuite(const QString& hint) {
    static int counter = 0;
    return QStringLiteral("test.settings.%1.%2").arg(hint).arg(++counter);
}

struct KeyCase {
    const char* key;
    std::function<void(M&)> write;  // stores a value other than the default
    std::function<QVariant(const M&)> read;
    QVariant written;
    void (M::*signal)();
    std::function<void(M&)> registerDefault;  // registers `registered` as default
    std::function<void(M&)> clear;            // the remover, or setting none
    QVariant registered;
};

template <typename T>
QVariant fromOptional(const std::optional<T>& v) {
    return v ? QVariant::fromValue(*v) : QVariant();
}

#define BOOL_CASE(Upper, lower)                                                                      \
    KeyCase {                                                                                        \
        #lower, [](M& m) { m.set##Upper(true); }, [](const M& m) { return QVariant(m.lower()); },     \
            QVariant(true), &M::lower##Changed, [](M& m) { m.setDefaultWith##Upper(true); },         \
            [](M& m) { m.remove##lower(); }, QVariant(true)                                          \
    }

#define OPTIONAL_CASE(Upper, lower, sample, dflt)                                                    \
    KeyCase {                                                                                        \
        #lower, [](M& m) { m.set##Upper(sample); }, [](const M& m) { return fromOptional(m.lower()); }, \
            QVariant::fromValue(sample), &M::lower##Changed, [](M& m) { m.setDefaultWith##Upper(dflt); }, \
            [](M& m) { m.set##Upper(std::nullopt); }, QVariant::fromValue(dflt)                       \
    }

const QDateTime kDate = QDateTime::fromMSecsSinceEpoch(1700000000250LL, Qt::UTC);
const QDateTime kOtherDate = QDateTime::fromSecsSinceEpoch(61200, Qt::UTC);

class SettingsKeys : public ::testing::TestWithParam<KeyCase> {};

// Every setting is stored under its own key, read back through another manager, and signalled on
// both managers exactly when its value changes.
TEST_P(SettingsKeys, writeIsSharedSignalledAndClearable) {
    const KeyCase& c = GetParam();
    const QString suite = uniqueSuite(QString::fromLatin1(c.key));
    M writer(suite);
    M reader(suite);
    int readerSignals = 0;
    QStringList writerKeys;
    QObject::connect(&reader, c.signal, [&] { ++readerSignals; });
    QObject::connect(&writer, &M::changed, [&](const QString& key) { writerKeys.append(key); });

    EXPECT_NE(c.read(reader), c.written);  // primes the reader's cache with the old value
    c.write(writer);
    EXPECT_EQ(c.read(reader), c.written);
    EXPECT_EQ(reader.value(QString::fromLatin1(c.key)), c.written);
    EXPECT_EQ(UserDefaults(suite).object(QString::fromLatin1(c.key)), c.written);  // under its own key
    EXPECT_EQ(readerSignals, 1);
    EXPECT_EQ(writerKeys, QStringList{QString::fromLatin1(c.key)});

    c.write(writer);
    EXPECT_EQ(readerSignals, 1) << "an unchanged value must not signal";

    c.registerDefault(writer);
    c.clear(writer);
    EXPECT_EQ(c.read(reader), c.registered);
    EXPECT_FALSE(UserDefaults(suite).object(QString::fromLatin1(c.key)).isValid());
    EXPECT_TRUE(M::keys().contains(QString::fromLatin1(c.key)));
}

INSTANTIATE_TEST_SUITE_P(
    AllKeys, SettingsKeys,
    ::testing::Values(
        OPTIONAL_CASE(SyncRoot, syncRoot, QStringLiteral("/home/u"), QStringLiteral("/home")),
        OPTIONAL_CASE(BackupName, backupName, QStringLiteral("Desk Backup"), QStringLiteral("Backup")),
        OPTIONAL_CASE(AccountId, accountId, QStringLiteral("acc-1"), QStringLiteral("none")),
        OPTIONAL_CASE(NextBackupDate, nextBackupDate, kDate, kOtherDate),
        OPTIONAL_CASE(LatestBackupDate, latestBackupDate, kDate, kOtherDate),
        OPTIONAL_CASE(LatestBackupStatus, latestBackupStatus, QByteArray("\x01\x02", 2), QByteArray("d")),
        OPTIONAL_CASE(LatestBackupStatusAccountId, latestBackupStatusAccountId, QStringLiteral("acc-2"), QStringLiteral("acc-1")),
        OPTIONAL_CASE(SelectiveSyncPaths, selectiveSyncPaths, QByteArray("[\"/a\"]"), QByteArray("[]")),
        BOOL_CASE(IsAlreadyLaunched, isAlreadyLaunched),
        BOOL_CASE(OpenAutomaticallyOnLogin, openAutomaticallyOnLogin),
        BOOL_CASE(ShowBadgesInFinder, showBadgesInFinder), BOOL_CASE(CrashReportsEnabled, crashReportsEnabled),
        BOOL_CASE(HasPromptedToSendCrashReports, hasPromptedToSendCrashReports),
        BOOL_CASE(BackupAutomatically, backupAutomatically), BOOL_CASE(BackupImmediately, backupImmediately),
        BOOL_CASE(BackupImages, backupImages), BOOL_CASE(BackupVideos, backupVideos),
        BOOL_CASE(BackupContacts, backupContacts), BOOL_CASE(BackupCalendars, backupCalendars),
        BOOL_CASE(BackupKeepDeletedItems, backupKeepDeletedItems), BOOL_CASE(ShowWarnings, showWarnings),
        BOOL_CASE(ContinuouslyUpdateDebugInterface, continuouslyUpdateDebugInterface),
        BOOL_CASE(ShouldBackupResumeOnStart, shouldBackupResumeOnStart)),
    [](const auto& info) { return std::string(info.param.key); });

TEST(SettingsKeysList, holdsExactlyTheSettingsOfTheStore) { EXPECT_EQ(M::keys().size(), 23); }

class SettingsCaching : public ::testing::TestWithParam<bool> {};

// Another process writes the suite's file; the cached value must not outlive that write.
TEST_P(SettingsCaching, changeFromAnotherProcessReachesTheManagerAndItsObservers) {
    const QString suite = uniqueSuite(QStringLiteral("process"));
    M manager(suite, GetParam());
    manager.setSyncRoot(QStringLiteral("/before"));
    ASSERT_EQ(manager.syncRoot(), QStringLiteral("/before"));
    int signals_ = 0;
    QObject::connect(&manager, &M::syncRootChanged, [&] { ++signals_; });

    UserDefaults otherProcess(suite);
    otherProcess.setObject(QStringLiteral("syncRoot"), QStringLiteral("/after"));
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return manager.syncRoot() == QStringLiteral("/after"); }));
    EXPECT_EQ(signals_, 1);
}

INSTANTIATE_TEST_SUITE_P(Modes, SettingsCaching, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "cachingDisabled" : "cachingOn"; });

TEST(SettingsManager, writeOnAnotherThreadIsSignalledOnThatThreadAndVisibleAtOnce) {
    M manager(uniqueSuite(QStringLiteral("thread")));
    manager.setDefaultWithBackupImages(false);
    EXPECT_FALSE(manager.backupImages());
    std::atomic<int> signals_{0};
    std::thread::id signalThread;
    QObject::connect(&manager, &M::backupImagesChanged, [&] {
        signalThread = std::this_thread::get_id();
        ++signals_;
    });
    std::thread::id writerThread;
    std::thread writer([&] {
        writerThread = std::this_thread::get_id();
        manager.setBackupImages(true);
    });
    writer.join();
    EXPECT_EQ(signals_, 1);
    EXPECT_EQ(signalThread, writerThread);
    EXPECT_TRUE(manager.backupImages());
}

}  // namespace
