#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <functional>
#include <future>
#include <memory>

#include "service/StorageService.h"

namespace {

using std::chrono::milliseconds;

class ChangeJournalTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        root_ = dir_.filePath(QStringLiteral("service"));
        startService();
        ASSERT_TRUE(QDir().mkpath(home()));
    }
    void TearDown() override { service.reset(); }
    void startService() {
        service = std::make_unique<StorageService>(root_);
        ASSERT_TRUE(service->ensureCreated());
    }
    QString root() const { return root_; }
    QString home() const { return root_ + QStringLiteral("/users/alice"); }
    QString path(const QString& relative) const { return home() + u'/' + relative; }
    void write(const QString& relative, qsizetype bytes) {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        QFile file(path(relative));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(bytes, 'x'));
    }
    ServiceChanges changes(const QString& cursor, int timeoutMs = 0) {
        auto answer = service->changesOfUser(QStringLiteral("alice"), cursor, milliseconds(timeoutMs));
        EXPECT_TRUE(answer);
        return answer ? answer.value() : ServiceChanges{};
    }
    QString currentCursor() {
        const ServiceChanges reset = changes(QString());
        EXPECT_TRUE(reset.reset);
        return reset.cursor;
    }

    std::unique_ptr<StorageService> service;

private:
    QTemporaryDir dir_;
    QString root_;
};

TEST_F(ChangeJournalTest, ChangesMadeWhileNothingRanAreFoundAndOldCursorsStayValid) {
    struct Case {
        const char* name;
        std::function<void(ChangeJournalTest&)> before;  // while the service runs
        std::function<void(ChangeJournalTest&)> away;    // while nothing runs
        QStringList expected;
    };
    const std::vector<Case> cases{
        {"newFile", [](auto&) {}, [](auto& t) { t.write("n.txt", 3); }, {"n.txt"}},
        {"grownFile", [](auto& t) { t.write("g.txt", 3); }, [](auto& t) { t.write("g.txt", 30); }, {"g.txt"}},
        {"deletedFile", [](auto& t) { t.write("d.txt", 3); }, [](auto& t) { QFile::remove(t.path("d.txt")); }, {"d.txt"}},
        {"deletedFolder", [](auto& t) { t.write("f/a/b.txt", 3); },
         [](auto& t) { QDir(t.path("f")).removeRecursively(); }, {"f"}},
        {"renamedFolder", [](auto& t) { t.write("r/x.txt", 3); },
         [](auto& t) { QDir().rename(t.path("r"), t.path("s")); }, {"r", "s"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.before(*this);
        const QString cursor = currentCursor();
        // A change the running service sees, so that the old cursor lies before the stop.
        write("seen.txt", qsizetype(cursor.size()));
        const ServiceChanges seen = changes(cursor, 5000);
        ASSERT_FALSE(seen.reset);
        ASSERT_EQ(seen.paths, QStringList{"seen.txt"});
        service.reset();
        c.away(*this);
        startService();
        const ServiceChanges after = changes(seen.cursor);
        EXPECT_FALSE(after.reset) << "a cursor from before the stop stays valid";
        EXPECT_EQ(after.paths, c.expected);
        const ServiceChanges fromOlder = changes(cursor);
        EXPECT_FALSE(fromOlder.reset);
        EXPECT_TRUE(fromOlder.paths.contains("seen.txt"));
        for (const QString& p : c.expected) EXPECT_TRUE(fromOlder.paths.contains(p)) << p.toStdString();
    }
}

TEST_F(ChangeJournalTest, CursorsItCannotVouchForGetAReset) {
    write("a.txt", 1);
    const QString cursor = currentCursor();
    const QString generation = cursor.section(u':', 0, 0);
    const quint64 sequence = cursor.section(u':', 1).toULongLong();
    const struct {
        const char* name;
        QString cursor;
    } cases[] = {
        {"none", QString()},
        {"otherGeneration", QStringLiteral("zz:%1").arg(sequence)},
        {"fromTheFuture", generation + u':' + QString::number(sequence + 5)},
        {"garbage", generation + QStringLiteral(":x")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ServiceChanges answer = changes(c.cursor);
        EXPECT_TRUE(answer.reset);
        EXPECT_TRUE(answer.paths.isEmpty());
        EXPECT_EQ(answer.cursor, cursor);
    }
}

TEST_F(ChangeJournalTest, OnlyTheFirstJournalOfARootKeepsItsNumbersAcrossARestart) {
    service.reset();
    const auto cursorOf = [](ChangeJournal& journal) {
        return journal.changesSince(QStringLiteral("alice"), QString(), milliseconds(0))->cursor;
    };
    auto first = std::make_unique<ChangeJournal>(root());
    auto second = std::make_unique<ChangeJournal>(root());  // as another process would have it
    const QString kept = cursorOf(*first);
    const QString other = cursorOf(*second);
    write("x.txt", 1);
    const auto seen = second->changesSince(QStringLiteral("alice"), other, milliseconds(5000));
    ASSERT_TRUE(seen && !seen->reset);
    first.reset();
    second.reset();  // stops last, and must not leave its numbers behind
    ChangeJournal restarted(root());
    const auto fromKept = restarted.changesSince(QStringLiteral("alice"), kept, milliseconds(0));
    ASSERT_TRUE(fromKept);
    EXPECT_FALSE(fromKept->reset);
    EXPECT_EQ(fromKept->paths, QStringList{"x.txt"});
    for (const QString& cursor : {other, seen->cursor}) {
        const auto fromOther = restarted.changesSince(QStringLiteral("alice"), cursor, milliseconds(0));
        ASSERT_TRUE(fromOther);
        EXPECT_TRUE(fromOther->reset) << "numbers of a journal that kept nothing";
    }
}

TEST_F(ChangeJournalTest, AServiceRootRemovedWhileItRanIsNotMadeAgainByTheJournal) {
    currentCursor();
    write("x.txt", 1);  // something left to write when the journal stops
    changes(currentCursor());
    ASSERT_TRUE(QDir(root()).removeRecursively());
    service.reset();
    EXPECT_FALSE(QFileInfo::exists(root()));
}

TEST_F(ChangeJournalTest, AnOverflowOfTheKernelsQueueIsMadeUpForByARescan) {
    write("old.txt", 1);
    const QString cursor = currentCursor();
    auto journal = service->changeJournal();
    journal->pauseReading(true);
    write("during overflow.txt", 5);
    QFile::remove(path("old.txt"));
    journal->rescanAsAfterOverflow();  // the queued events are dropped, as the kernel does
    journal->pauseReading(false);
    const ServiceChanges answer = changes(cursor);
    EXPECT_FALSE(answer.reset);
    EXPECT_EQ(answer.paths, (QStringList{"during overflow.txt", "old.txt"}));
}

TEST_F(ChangeJournalTest, ALongPollEndsWithTheNextChangeOrWhenStopped) {
    const QString cursor = currentCursor();
    std::stop_source stop;
    auto stopped = std::async(std::launch::async, [&] {
        return service->changesOfUser(QStringLiteral("alice"), cursor, milliseconds(600000), stop.get_token());
    });
    stop.request_stop();
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    const auto none = stopped.get();
    ASSERT_TRUE(none);
    EXPECT_TRUE(none.value().paths.isEmpty());
    EXPECT_EQ(none.value().cursor, cursor);

    auto waiting = std::async(std::launch::async, [&] {
        return service->changesOfUser(QStringLiteral("alice"), cursor, milliseconds(600000));
    });
    write("arrives.txt", 1);
    ASSERT_EQ(waiting.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    const auto some = waiting.get();
    ASSERT_TRUE(some);
    EXPECT_EQ(some.value().paths, QStringList{"arrives.txt"});

    service->setReachable(false);
    EXPECT_EQ(service->changesOfUser(QStringLiteral("alice"), cursor, milliseconds(0)).error(), ServiceError::noConnection);
}

TEST_F(ChangeJournalTest, UsedBytesFollowTheChangesWithoutTheTransfersTemporaries) {
    ASSERT_TRUE(service->createAccount(QStringLiteral("alice"), QStringLiteral("a@example.com"), QStringLiteral("correct horse 1")));
    const auto used = [&] { return service->quotaOfUser(QStringLiteral("alice")).value().used; };
    const struct {
        const char* name;
        std::function<void()> change;
        std::int64_t expected;
    } steps[] = {
        {"twoFiles", [&] { write("a.txt", 100); write("d/b.txt", 50); }, 150},
        {"grown", [&] { write("a.txt", 300); }, 350},
        {"temporary", [&] { write(".~ovsync-abc-upload", 1000); }, 350},
        {"temporaryRenamedIntoPlace", [&] { QFile::rename(path(".~ovsync-abc-upload"), path("d/c.bin")); }, 1350},
        {"folderMovedAway", [&] { QDir().rename(path("d"), root() + QStringLiteral("/elsewhere")); }, 300},
        {"folderMovedBack", [&] { QDir().rename(root() + QStringLiteral("/elsewhere"), path("e")); }, 1350},
        {"folderDeleted", [&] { QDir(path("e")).removeRecursively(); }, 300},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        EXPECT_EQ(used(), step.expected);
    }
    service.reset();
    startService();
    EXPECT_EQ(used(), 300) << "after a restart, from the snapshot and the walk";
}

}  // namespace
