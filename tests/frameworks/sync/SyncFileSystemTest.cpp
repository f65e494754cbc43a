#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

#include <atomic>

#include "frameworks/sync/SyncFileSystem.h"
#include "frameworks/sync/SyncStateStore.h"

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

struct CopyCase {
    const char* name;
    bool readOnlyFolder;
    bool sourceChangesFirst;
    bool targetChangedMeanwhile;
    fs::Outcome expected;
};

class AtomicCopy : public FileSystemTest, public ::testing::WithParamInterface<CopyCase> {};

TEST_P(AtomicCopy, LeavesTheOldVersionUnlessItSucceeds) {
    const CopyCase& c = GetParam();
    write(path("source.txt"), "new version");
    write(path("target/file.txt"), "old version");
    const auto expected = fs::stat(path("source.txt"));
    ASSERT_TRUE(expected);
    if (c.sourceChangesFirst) write(path("source.txt"), "newer, longer version");
    if (c.readOnlyFolder) QFile::setPermissions(path("target"), QFile::ReadOwner | QFile::ExeOwner);

    const auto result = fs::copyAtomically(path("source.txt"), *expected, path("target/file.txt"),
                                           [&] { return !c.targetChangedMeanwhile; }, noCancel);

    EXPECT_EQ(result.outcome, c.expected);
    EXPECT_EQ(read(path("target/file.txt")), c.expected == fs::Outcome::done ? "new version" : "old version");
    EXPECT_EQ(targetFolder(), QStringList{QStringLiteral("file.txt")}) << "no temp file stays behind";
    if (c.expected == fs::Outcome::done) {
        EXPECT_EQ(result.written.mtimeNs, expected->mtimeNs) << "the modification time travels along";
        EXPECT_EQ(result.written, *fs::stat(path("target/file.txt")));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, AtomicCopy,
    ::testing::Values(CopyCase{"succeeds", false, false, false, fs::Outcome::done},
                      CopyCase{"readOnlyFolderFails", true, false, false, fs::Outcome::failed},
                      CopyCase{"changedSourceIsNotCopied", false, true, false, fs::Outcome::sourceChanged},
                      CopyCase{"changedTargetIsNotReplaced", false, false, true, fs::Outcome::targetChanged}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileSystemTest, ACancelledCopyLeavesNothing) {
    write(path("source.txt"), QByteArray(1 << 20, 'x'));
    write(path("target/file.txt"), "old");
    std::atomic<bool> cancel{true};
    const auto result = fs::copyAtomically(path("source.txt"), *fs::stat(path("source.txt")), path("target/file.txt"), {}, cancel);
    EXPECT_EQ(result.outcome, fs::Outcome::cancelled);
    EXPECT_EQ(read(path("target/file.txt")), "old");
    EXPECT_EQ(targetFolder(), QStringList{QStringLiteral("file.txt")});
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
