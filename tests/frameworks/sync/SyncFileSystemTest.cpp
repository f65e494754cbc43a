#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

#include <atomic>

#include "frameworks/sync/SyncFileSystem.h"
#include "frameworks/sync/SyncStateStore.h"
#include "SyncTestSupport.h"

namespace fs = SyncFileSystem;

namespace {

class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    void TearDown() override { QFile::setPermissions(path("target"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner); }

    QString path(const QString& name) const { return dir_.filePath(name); }
    static void write(const QString& file, const QByteArray& content) {
        QDir().mkpath(QFileInfo(file).absolutePath());
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    static QByteArray read(const QString& file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QStringList targetFolder() const { return QDir(path("target")).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden); }

    std::atomic<bool> noCancel{false};

private:
    QTemporaryDir dir_{QDir::tempPath() + QStringLiteral("/sync-fs-XXXXXX")};
};

// What happens to the copy on its way, and what must come of it.
enum class Meanwhile { nothing, sourceEdited, targetEdited, targetAppeared, rangeUnsupported, rangeFails, readOnlyFolder };

struct CopyCase {
    const char* name;
    Meanwhile meanwhile;
    fs::Outcome expected;
};

class AtomicCopy : public FileSystemTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(AtomicCopy, LeavesTheTargetAloneUnlessItSucceeds) {
    const CopyCase& c = GetParam();
    // Larger than one read of the fallback, so that it has to loop.
    QByteArray content(600 * 1024 + 7, Qt::Uninitialized);
    for (qsizetype i = 0; i < content.size(); ++i) content[i] = char(i * 131 % 251);
    write(path("source.bin"), content);
    const bool targetThere = c.meanwhile != Meanwhile::targetAppeared;
    if (targetThere) write(path("target/file.bin"), "old version");
    else ASSERT_TRUE(QDir().mkpath(path("target")));
    const auto source = fs::stat(path("source.bin"));
    const auto target = targetThere ? fs::stat(path("target/file.bin")) : std::nullopt;
    ASSERT_TRUE(source);
    if (c.meanwhile == Meanwhile::readOnlyFolder) QFile::setPermissions(path("target"), QFile::ReadOwner | QFile::ExeOwner);

    // The hook runs once the temp file exists, right before the data is copied.
    const QString targetPath = path("target/file.bin");
    InjectedFault during([&](fs::Operation operation, const QString& absolute) {
        if (absolute != targetPath) return 0;
        if (operation == fs::Operation::writeData) {
            if (c.meanwhile == Meanwhile::sourceEdited) write(path("source.bin"), content + "more");
            if (c.meanwhile == Meanwhile::targetEdited || c.meanwhile == Meanwhile::targetAppeared)
                write(targetPath, "the user's version");
        }
        if (operation == fs::Operation::copyRange) {
            if (c.meanwhile == Meanwhile::rangeUnsupported) return EXDEV;
            if (c.meanwhile == Meanwhile::rangeFails) return EIO;
        }
        return 0;
    });
    const auto result = fs::copyAtomically(path("source.bin"), *source, targetPath, target, noCancel);

    EXPECT_EQ(result.outcome, c.expected);
    const bool userWrote = c.meanwhile == Meanwhile::targetEdited || c.meanwhile == Meanwhile::targetAppeared;
    EXPECT_EQ(read(targetPath), c.expected == fs::Outcome::done ? content
                                : userWrote                      ? QByteArray("the user's version")
                                                                 : QByteArray("old version"));
    EXPECT_EQ(targetFolder(), QStringList{QStringLiteral("file.bin")}) << "no temp file stays behind";
    EXPECT_TRUE(result.leftover.isEmpty());
    if (c.expected == fs::Outcome::done) {
        EXPECT_EQ(result.written.mtimeNs, source->mtimeNs) << "the modification time travels along";
        EXPECT_EQ(result.written, *fs::stat(targetPath));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, AtomicCopy,
    ::testing::Values(CopyCase{"replacesTheOldVersion", Meanwhile::nothing, fs::Outcome::done},
                      CopyCase{"fallsBackToReadAndWrite", Meanwhile::rangeUnsupported, fs::Outcome::done},
                      CopyCase{"failsOnAReadError", Meanwhile::rangeFails, fs::Outcome::failed},
                      CopyCase{"readOnlyFolderFails", Meanwhile::readOnlyFolder, fs::Outcome::failed},
                      CopyCase{"sourceEditedDuringTheCopy", Meanwhile::sourceEdited, fs::Outcome::sourceChanged},
                      CopyCase{"targetEditedDuringTheCopy", Meanwhile::targetEdited, fs::Outcome::targetChanged},
                      CopyCase{"targetAppearedDuringTheCopy", Meanwhile::targetAppeared, fs::Outcome::targetChanged}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileSystemTest, ACancelledCopyLeavesNothing) {
    write(path("source.txt"), QByteArray(1 << 20, 'x'));
    write(path("target/file.txt"), "old");
    for (const bool duringCopy : {false, true}) {
        SCOPED_TRACE(duringCopy ? "duringCopy" : "beforeStart");
        std::atomic<bool> cancel{!duringCopy};
        // Flipped once the temp file exists.
        InjectedFault pause([&](fs::Operation operation, const QString&) {
            if (operation == fs::Operation::writeData) cancel = true;
            return 0;
        });
        const auto result = fs::copyAtomically(path("source.txt"), *fs::stat(path("source.txt")),
                                               path("target/file.txt"), fs::stat(path("target/file.txt")), cancel);
        EXPECT_EQ(result.outcome, fs::Outcome::cancelled);
        EXPECT_EQ(read(path("target/file.txt")), "old");
        EXPECT_EQ(targetFolder(), QStringList{QStringLiteral("file.txt")});
    }
}

// While a new file is copied there is nothing under any name in its folder, so that neither a
// reader nor a crash ever meets part of it; and a copy that fails leaves nothing to remove.
TEST_F(FileSystemTest, ANewFileIsNotSeenBeforeItIsWhole) {
    write(path("source.bin"), QByteArray(300 * 1024, 'n'));
    ASSERT_TRUE(QDir().mkpath(path("target")));
    const auto source = fs::stat(path("source.bin"));
    for (const bool fails : {false, true}) {
        SCOPED_TRACE(fails ? "fails" : "succeeds");
        QStringList seenDuringCopy{QStringLiteral("<not called>")};
        InjectedFault look([&](fs::Operation operation, const QString&) {
            if (operation == fs::Operation::writeData) seenDuringCopy = targetFolder();
            if (operation == fs::Operation::copyRange && fails) return EIO;
            // Were there a named temp file, it could not be removed.
            return operation == fs::Operation::removeTemporary ? ENOENT : 0;
        });
        const auto result = fs::copyAtomically(path("source.bin"), *source, path("target/new.bin"), std::nullopt, noCancel);
        EXPECT_EQ(seenDuringCopy, QStringList{});
        EXPECT_EQ(result.outcome, fails ? fs::Outcome::failed : fs::Outcome::done);
        EXPECT_TRUE(result.leftover.isEmpty());
        EXPECT_EQ(targetFolder(), fails ? QStringList{} : QStringList{QStringLiteral("new.bin")});
        if (!fails) {
            EXPECT_EQ(read(path("target/new.bin")), QByteArray(300 * 1024, 'n'));
        }
        QFile::remove(path("target/new.bin"));
    }
}

TEST_F(FileSystemTest, AFolderHeldOpenIsWrittenWhereverItWentButNotOnceDeleted) {
    write(path("source.txt"), "content");
    const auto source = fs::stat(path("source.txt"));
    const fs::Folder sources(path(""));
    ASSERT_TRUE(QDir().mkpath(path("target")));
    ASSERT_TRUE(QDir().mkpath(path("doomed")));
    const fs::Folder moved(path("target"));
    const fs::Folder deleted(path("doomed"));
    ASSERT_TRUE(moved.isOpen() && deleted.isOpen());
    // Between the batch's opening of its folders and the copies, the user renames one and deletes
    // the other.
    ASSERT_TRUE(QDir().rename(path("target"), path("renamed")));
    ASSERT_TRUE(QDir(path("doomed")).removeRecursively());

    auto result = fs::copyAtomically(sources, QStringLiteral("source.txt"), *source, moved, QStringLiteral("f.txt"),
                                     std::nullopt, noCancel);
    EXPECT_EQ(result.outcome, fs::Outcome::done);
    EXPECT_EQ(read(path("renamed/f.txt")), "content");
    EXPECT_FALSE(QFileInfo::exists(path("target"))) << "nothing is made again under the old name";

    result = fs::copyAtomically(sources, QStringLiteral("source.txt"), *source, deleted, QStringLiteral("f.txt"),
                                std::nullopt, noCancel);
    EXPECT_EQ(result.outcome, fs::Outcome::failed);
    EXPECT_EQ(result.error, ENOENT);
    EXPECT_FALSE(QFileInfo::exists(path("doomed"))) << "a deleted folder does not come back";
    EXPECT_TRUE(result.leftover.isEmpty());
}

TEST_F(FileSystemTest, ScanListsLinksWithoutFollowingAndSkipsTempFiles) {
    write(path("root/a b/ü.txt"), "1");
    write(path("outside/secret.txt"), "2");
    ASSERT_EQ(::symlink(QFile::encodeName(path("outside")).constData(), QFile::encodeName(path("root/link")).constData()), 0);
    write(path("root/.~ovsync-abc123"), "partial");
    FileTree tree;
    fs::Unreadable unreadable;
    ASSERT_EQ(fs::scan(path("root"), QString(), tree, unreadable), 0);
    EXPECT_TRUE(unreadable.empty());
    QStringList names;
    for (const auto& [name, entry] : tree) names << name;
    EXPECT_EQ(names, (QStringList{"a b", "a b/ü.txt", "link"}));
    EXPECT_EQ(tree.at(QStringLiteral("link")).type, FsEntry::Type::other);
    EXPECT_EQ(tree.at(QStringLiteral("a b/ü.txt")).size, 1);
    EXPECT_EQ(fs::scan(path("missing"), QString(), tree, unreadable), ENOENT);
    EXPECT_TRUE(unreadable.empty()) << "a folder that is not there is gone, not unknown";
}

TEST_F(FileSystemTest, ScanWithHeldKeysListsTheSameTreeSharingThoseKeys) {
    for (const char* name : {"a/b.txt", "a.b", "a-b/c", "a b/\xc3\xbc.txt", "a/b/c.txt", "z"})
        write(path(QStringLiteral("root/") + QString::fromUtf8(name)), "1");
    FileTree plain;
    fs::Unreadable unreadable;
    ASSERT_EQ(fs::scan(path("root"), QString(), plain, unreadable), 0);
    // Held strings for some of the paths, one of them no item has, made apart from the scan's.
    std::map<QString, SyncRecord> held;
    for (const char* name : {"a", "a/b", "a b/\xc3\xbc.txt", "a-b/c", "gone"}) held[QString::fromUtf8(name)] = SyncRecord{};
    const fs::KeySource keys = [&](const QString& relative) -> const QString* {
        const auto it = held.find(relative);
        return it == held.end() ? nullptr : &it->first;
    };
    FileTree shared;
    ASSERT_EQ(fs::scan(path("root"), QString(), shared, unreadable, nullptr, nullptr, keys), 0);
    EXPECT_EQ(shared, plain);
    for (const auto& [key, entry] : shared) {
        const auto it = held.find(key);
        if (it != held.end()) {
            EXPECT_EQ(key.constData(), it->first.constData()) << key.toStdString();
        }
    }
    EXPECT_FALSE(shared.count(QStringLiteral("gone")));
}

TEST_F(FileSystemTest, FoldersAreNeverMadeAboveTheRootTheyBelongTo) {
    // A sync root that went away must not come back empty: that would read as "everything deleted".
    EXPECT_EQ(fs::makeFolders(path("root/a/b"), 0700, path("root")), ENOENT);
    EXPECT_FALSE(QFileInfo::exists(path("root")));
    ASSERT_TRUE(QDir().mkpath(path("root")));
    EXPECT_EQ(fs::makeFolders(path("root/a/b"), 0700, path("root")), 0);
    EXPECT_TRUE(QFileInfo(path("root/a/b")).isDir());
}

TEST_F(FileSystemTest, RemovalSparesAFileThatChanged) {
    write(path("f.txt"), "one");
    const auto seen = fs::stat(path("f.txt"));
    write(path("f.txt"), "two!");
    EXPECT_EQ(fs::removeFileIfUnchanged(path("f.txt"), *seen), ESTALE);
    EXPECT_EQ(read(path("f.txt")), "two!");
    EXPECT_EQ(fs::removeFileIfUnchanged(path("f.txt"), *fs::stat(path("f.txt"))), 0);
    EXPECT_FALSE(QFile::exists(path("f.txt")));
}

TEST_F(FileSystemTest, StateStoreKeepsRecordsAndSubscriptionsAcrossReopening) {
    const SyncRecord record{FsEntry{FsEntry::Type::file, 42, 1234567890123LL, 77, 0100644},
                            FsEntry{FsEntry::Type::file, 42, 987, 88, 0100600}};
    const SyncRecord folderRecord{FsEntry{FsEntry::Type::directory, 0, 1, 2, 040755},
                                  FsEntry{FsEntry::Type::directory, 0, 3, 4, 040700}};
    const std::vector<SelectiveSyncItem> items{{"/", false, "root-id"}, {"/Docs", true, "docs-id"}};
    {
        SyncStateStore store(path("state.sqlite"));
        EXPECT_FALSE(store.loadSubscriptions()) << "nothing saved yet is not the same as an empty list";
        store.putRecord(QStringLiteral("Ä b/c.txt"), record);
        store.putRecord(QStringLiteral("Ä b"), folderRecord);
        store.putRecord(QStringLiteral("gone"), record);
        store.removeRecord(QStringLiteral("gone"));
        store.saveSubscriptions(items);
        store.setValue(QStringLiteral("k"), QStringLiteral("v"));
    }
    SyncStateStore store(path("state.sqlite"));
    const auto records = store.loadRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records.at(QStringLiteral("Ä b/c.txt")), record);
    EXPECT_EQ(records.at(QStringLiteral("Ä b")), folderRecord);
    EXPECT_EQ(store.loadSubscriptions(), items);
    EXPECT_EQ(store.value(QStringLiteral("k")), QStringLiteral("v"));
    store.removeAllRecords();
    store.commit();
    EXPECT_TRUE(store.loadRecords().empty());
}

}  // namespace

namespace {

// Keys that order closely: a folder before its contents, '/' against the characters just below
// and above it, composed and decomposed forms, and characters outside the basic plane.
const QStringList trickyKeys{
    QStringLiteral("a"),           QStringLiteral("a b"),        QStringLiteral("a-b"),
    QStringLiteral("a.b"),         QStringLiteral("a/b"),        QStringLiteral("a/b/c"),
    QStringLiteral("a/b.c"),       QStringLiteral("a0"),         QStringLiteral("ab"),
    QStringLiteral("A"),           QString::fromUtf8("caf\xc3\xa9"), QString::fromUtf8("cafe\xcc\x81"),
    QString::fromUtf8("\xe6\x97\xa5\xe6\x9c\xac/\xe8\xaa\x9e"), QString::fromUtf8("\xf0\x9f\x98\x80/x"),
    QString::fromUtf8("\xef\xbf\xbd"),
};

// A copy of the text in memory of its own, as a scan or a database read would make it.
QString separateCopy(const QString& key) { return QString(key.constData(), key.size()); }

struct ShareCase {
    const char* name;
    std::vector<int> inMap;        // indexes into trickyKeys
    std::vector<int> inCanonical;  // indexes into trickyKeys
};

class ShareKeys : public ::testing::TestWithParam<ShareCase> {};

// The case's tree and records, each key a copy of its own.
void fill(const ShareCase& c, FileTree& tree, std::map<QString, SyncRecord>& records) {
    std::int64_t size = 1;
    for (int index : c.inMap) tree[separateCopy(trickyKeys[index])] = FsEntry{FsEntry::Type::file, size++, 7, 9, 0644};
    for (int index : c.inCanonical) records[separateCopy(trickyKeys[index])] = SyncRecord{};
}

}  // namespace

TEST_P(ShareKeys, KeepsEveryKeyAndValueAndSharesOnlyEqualKeys) {
    const ShareCase& c = GetParam();
    FileTree tree;
    std::map<QString, SyncRecord> records;
    fill(c, tree, records);
    const std::vector<std::pair<QString, FsEntry>> before(tree.begin(), tree.end());

    const std::size_t changed = fs::shareKeys(tree, records);

    // The same items in the same order, each still found by its path.
    const std::vector<std::pair<QString, FsEntry>> after(tree.begin(), tree.end());
    EXPECT_EQ(after, before);
    std::size_t common = 0;
    for (const auto& [key, entry] : before) {
        const auto found = tree.find(key);
        ASSERT_NE(found, tree.end()) << key.toStdString();
        EXPECT_EQ(found->second, entry);
        const auto record = records.find(key);
        if (record == records.end()) continue;
        ++common;
        EXPECT_EQ(found->first.constData(), record->first.constData()) << key.toStdString();
    }
    EXPECT_EQ(changed, common);
    // A second run finds nothing left to share.
    EXPECT_EQ(fs::shareKeys(tree, records), 0u);
    const std::vector<std::pair<QString, FsEntry>> again(tree.begin(), tree.end());
    EXPECT_EQ(again, before);
}

// After one pass only what it touched is shared: the path and what lies below it, never a key that
// merely sorts among them ("a b" between "a" and "a/b").
TEST_P(ShareKeys, UnderAPathSharesThatPathAndItsSubtreeOnly) {
    const ShareCase& c = GetParam();
    for (const QString& path : {QStringLiteral("a"), QStringLiteral("a/b")}) {
        SCOPED_TRACE(path.toStdString());
        FileTree tree;
        std::map<QString, SyncRecord> records;
        fill(c, tree, records);
        const std::vector<std::pair<QString, FsEntry>> before(tree.begin(), tree.end());

        const std::size_t changed = fs::shareKeysUnder(tree, records, path);

        const std::vector<std::pair<QString, FsEntry>> after(tree.begin(), tree.end());
        EXPECT_EQ(after, before);
        std::size_t expected = 0;
        for (const auto& [key, entry] : tree) {
            const auto record = records.find(key);
            const bool below = key == path || key.startsWith(path + u'/');
            const bool shared = record != records.end() && key.constData() == record->first.constData();
            EXPECT_EQ(shared, below && record != records.end()) << key.toStdString();
            expected += shared ? 1 : 0;
        }
        EXPECT_EQ(changed, expected);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paths, ShareKeys,
    ::testing::Values(ShareCase{"all", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14},
                                {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}},
                      ShareCase{"folderButNotItsContents", {0, 3, 4, 5, 6}, {4}},
                      ShareCase{"contentsButNotTheirFolder", {4, 5, 6, 1, 2}, {5, 6, 2}},
                      ShareCase{"recordsTheTreeLacks", {3, 8}, {0, 1, 2, 3, 4, 5, 7, 8, 13}},
                      ShareCase{"unicodeOnly", {10, 11, 12, 13, 14, 0}, {11, 12, 14}},
                      ShareCase{"nothingInCommon", {0, 2, 4}, {1, 3, 5}},
                      ShareCase{"emptyRecords", {0, 1, 2}, {}},
                      ShareCase{"emptyTree", {}, {0, 1}}),
    [](const ::testing::TestParamInfo<ShareCase>& info) { return std::string(info.param.name); });
