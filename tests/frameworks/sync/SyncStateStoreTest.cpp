#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <sys/stat.h>

#include <functional>

#include "frameworks/logger/FrameworkChannels.h"
#include "frameworks/logger/LoggerTestSupport.h"
#include "frameworks/sync/SyncStateStore.h"

namespace {

mode_t modeOf(const QString& path) {
    struct stat info {};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

class SyncStateStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path() const { return dir.filePath(QStringLiteral("SyncState.sqlite")); }

    QTemporaryDir dir{QStringLiteral("/dev/shm/sync-state-XXXXXX")};
};

// The state lists every synced path: it and its journals are the owner's alone, also when an
// earlier version left them readable by others.
TEST_F(SyncStateStoreTest, TheStateAndItsJournalsAreOwnerOnly) {
    const struct {
        const char* name;
        std::function<sqlite3*(const QString& path)> before;  // may keep a connection open
    } cases[] = {
        {"new", [](const QString&) { return nullptr; }},
        {"leftWider", [](const QString& path) {
             sqlite3* db = nullptr;
             const mode_t old = ::umask(022);
             EXPECT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
             EXPECT_EQ(sqlite3_exec(db, "PRAGMA journal_mode=WAL; CREATE TABLE t(x); INSERT INTO t VALUES(1)", nullptr,
                                    nullptr, nullptr),
                       SQLITE_OK);
             ::umask(old);
             for (const char* suffix : {"", "-wal", "-shm"}) EXPECT_EQ(modeOf(path + suffix), 0644u) << suffix;
             return db;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(path());
        sqlite3* other = c.before(path());
        {
            SyncStateStore store(path());
            store.setValue(QStringLiteral("k"), QStringLiteral("v"));
            store.commit();
            for (const char* suffix : {"", "-wal", "-shm"}) EXPECT_EQ(modeOf(path() + suffix), 0600u) << suffix;
        }
        sqlite3_close(other);
    }
}

TEST_F(SyncStateStoreTest, AnExistingEmptyStateIsReportedAsRebuilt) {
    const struct {
        const char* name;
        std::function<void(const QString& path)> before;
        bool warned;
    } cases[] = {
        {"noFileYet", [](const QString&) {}, false},
        {"emptyFile", [](const QString& path) { ASSERT_TRUE(QFile(path).open(QIODevice::WriteOnly)); }, true},
        {"storedState", [](const QString& path) { SyncStateStore(path).setValue(QStringLiteral("k"), QStringLiteral("v")); },
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* suffix : {"", "-wal", "-shm"}) QFile::remove(path() + suffix);
        c.before(path());
        CapturingSink sink;
        SyncStateStore store(path());
        Logger::flush();
        QStringList warnings;
        for (const LogEntry& entry : sink.entries())
            if (entry.channel == Log::Sync::persistence().name() && entry.level == LogLevel::warning) warnings << entry.message;
        EXPECT_EQ(warnings, c.warned ? QStringList{QStringLiteral("The sync state \"%1\" is empty; it is rebuilt by comparing both sides")
                                                       .arg(path())}
                                     : QStringList{});
    }
}

}  // namespace
