#include <gtest/gtest.h>

#include <QDataStream>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <future>
#include <map>
#include <memory>
#include <tuple>

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

TEST_F(ChangeJournalTest, AfterTheOldestChangesAreDroppedTheRestAreAnsweredExactly) {
    const QString first = currentCursor();
    QString late;
    QStringList expected;
    // In batches, so that the kernel's queue never overflows; names of every length, so that a
    // path cut at the wrong byte shows.
    for (int batch = 0; batch < 8; ++batch) {
        if (batch == 7) late = changes(first).cursor;
        for (int i = 0; i < 1200; ++i) {
            const QString name = QString(i % 37, u'n') + QString::number(batch * 1200 + i) + QStringLiteral("ä.txt");
            write(name, 1);
            if (batch == 7) expected << name;
        }
        changes(first);
    }
    expected.sort();
    for (const bool restarted : {false, true}) {
        SCOPED_TRACE(restarted ? "restarted" : "running");
        if (restarted) {
            service.reset();
            startService();
        }
        EXPECT_TRUE(changes(first).reset) << "more changes came after it than are kept";
        const ServiceChanges answer = changes(late);
        EXPECT_FALSE(answer.reset);
        EXPECT_EQ(answer.paths, expected);
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

// What a run killed in the middle of writing a snapshot leaves: the write's temp file beside it.
QString leaveTemporary(const QString& folder, const QString& target) {
    QByteArray name = QFile::encodeName(folder + QStringLiteral("/.") + target + QStringLiteral(".XXXXXX"));
    const int fd = ::mkstemp(name.data());
    EXPECT_GE(fd, 0);
    EXPECT_EQ(::write(fd, "half", 4), 4);
    ::close(fd);
    return QFile::decodeName(name);
}

TEST_F(ChangeJournalTest, TempFilesOfAKilledRunAreRemovedOnlyByTheJournalThatHoldsTheLock) {
    write("kept.txt", 1);
    const QString cursor = currentCursor();
    service.reset();  // writes alice's snapshot
    const QString journal = root() + QStringLiteral("/journal");
    ASSERT_TRUE(QFileInfo::exists(journal + QStringLiteral("/alice.journal")));
    // Another process's journal holds the lock: the temp files could be its writes under way.
    auto other = std::make_unique<ChangeJournal>(root());
    ASSERT_TRUE(other->changesSince(QStringLiteral("alice"), QString(), milliseconds(0)));
    const struct {
        const char* name;
        QString path;
        bool removed;
    } files[] = {
        {"snapshotTemp", leaveTemporary(journal, QStringLiteral("alice.journal")), true},
        {"otherUsersSnapshotTemp", leaveTemporary(journal, QStringLiteral("bob.journal")), true},
        {"notASnapshotsTemp", leaveTemporary(journal, QStringLiteral("notes.txt")), false},
        {"sameNameInTheUsersTree", leaveTemporary(home(), QStringLiteral("alice.journal")), false},
        {"otherSuffix", journal + QStringLiteral("/.alice.journal.tmp"), false},
    };
    {
        QFile tmp(files[std::size(files) - 1].path);
        ASSERT_TRUE(tmp.open(QIODevice::WriteOnly));
    }
    const auto existing = [&] {
        std::vector<bool> there;
        for (const auto& f : files) there.push_back(QFileInfo::exists(f.path));
        return there;
    };
    startService();
    changes(QString());
    EXPECT_EQ(existing(), std::vector<bool>(std::size(files), true));
    service.reset();
    other.reset();

    startService();
    const ServiceChanges after = changes(cursor);
    EXPECT_FALSE(after.reset) << "the snapshot itself stays";
    for (const auto& f : files) {
        SCOPED_TRACE(f.name);
        EXPECT_EQ(QFileInfo::exists(f.path), !f.removed);
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

// The snapshot file as written before the journal kept its tree per folder, and as it must stay for
// a journal of either kind to read what the other wrote: the header, the entries, then every item
// by its full path, in the order of those paths.
using StoredItem = std::tuple<qint64, qint64, quint64, quint8>;  // size, mtime, inode, type
using Stored = std::map<QString, StoredItem>;

Stored itemsOf(const QString& home) {
    Stored items;
    QDirIterator it(home, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        struct stat st {};
        EXPECT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0);
        const bool file = S_ISREG(st.st_mode);
        items[path.mid(home.size() + 1)] = {file ? qint64(st.st_size) : 0, qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
                                            quint64(st.st_ino) & ((quint64(1) << 62) - 1), file ? 0 : S_ISDIR(st.st_mode) ? 1 : 2};
    }
    return items;
}

void writeStored(const QString& file, const QString& generation, quint64 sequence, const Stored& items) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out << quint32(0x4f564a31) << generation << sequence << quint64(0) << quint64(0) << quint64(items.size());
    for (const auto& [path, item] : items) out << path << std::get<0>(item) << std::get<1>(item) << std::get<2>(item) << std::get<3>(item);
    QFile stored(file);
    ASSERT_TRUE(stored.open(QIODevice::WriteOnly));
    stored.write(bytes);
}

Stored readStored(const QString& file) {
    QFile stored(file);
    EXPECT_TRUE(stored.open(QIODevice::ReadOnly));
    QDataStream in(stored.readAll());
    quint32 magic = 0;
    QString generation, path;
    quint64 sequence = 0, floor = 0, count = 0, seq = 0;
    in >> magic >> generation >> sequence >> floor >> count;
    for (quint64 i = 0; i < count; ++i) in >> seq >> path;
    in >> count;
    Stored items;
    for (quint64 i = 0; i < count && in.status() == QDataStream::Ok; ++i) {
        StoredItem item;
        in >> path >> std::get<0>(item) >> std::get<1>(item) >> std::get<2>(item) >> std::get<3>(item);
        items[path] = item;
    }
    EXPECT_EQ(magic, 0x4f564a31u);
    EXPECT_EQ(in.status(), QDataStream::Ok);
    EXPECT_TRUE(in.atEnd());
    return items;
}

TEST_F(ChangeJournalTest, ASnapshotInTheStoredLayoutIsDiffedRightAndWrittenBackWhole) {
    const struct {
        const char* name;
        std::function<void(ChangeJournalTest&)> away;
        QStringList expected;
    } cases[] = {
        {"nothing", [](auto&) {}, {}},
        {"deepFileGrown", [](auto& t) { t.write("a/c/z.txt", 30); }, {"a/c/z.txt"}},
        {"folderGoneBesideItsNamesakes", [](auto& t) { QDir(t.path("a")).removeRecursively(); }, {"a"}},
        {"fileAddedInTheSiblingWithASpace", [](auto& t) { t.write("a b/new.txt", 2); }, {"a b", "a b/new.txt"}},
    };
    const QString file = root() + QStringLiteral("/journal/alice.journal");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        service.reset();
        ASSERT_TRUE(QDir(home()).removeRecursively());
        QFile::remove(file);
        for (const char* p : {"a/x.txt", "a/c/z.txt", "a b/y.txt", "a-b.txt", "a0/w.txt", "ab.txt"}) write(p, 3);
        QDir().mkpath(root() + QStringLiteral("/journal"));
        writeStored(file, QStringLiteral("old"), 7, itemsOf(home()));
        c.away(*this);
        startService();
        const ServiceChanges answer = changes(QStringLiteral("old:7"));
        EXPECT_FALSE(answer.reset);
        EXPECT_EQ(answer.paths, c.expected);
        service.reset();  // writes the snapshot
        EXPECT_EQ(readStored(file), itemsOf(home()));
        startService();
    }
}

}  // namespace
