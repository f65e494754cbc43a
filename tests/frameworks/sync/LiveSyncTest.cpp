// The running engine: local changes through the listener, remote changes from the service's
// journal, and the states it goes through on the way.
#include "SyncTestSupport.h"

#include "frameworks/logger/Logger.h"

#include <QThread>

#include <atomic>
#include <cctype>
#include <functional>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = SyncFileSystem;
using Tree = std::map<QString, QByteArray>;

class LiveSync : public EngineFixture {
public:
    void SetUp() override {
        EngineFixture::SetUp();
        start();
        ASSERT_TRUE(waitUpToDate());
    }
    bool bothSidesEqual(int timeoutMs = 10000) {
        return TestEnvironment::waitUntil([&] { return tree(localRoot) == tree(remoteRoot); }, timeoutMs) &&
               waitUpToDate();
    }
    static ino_t inode(const QString& path) {
        struct stat st {};
        return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
    }
};

struct LocalStep {
    const char* name;
    std::function<void(LiveSync&, OrvellaSyncEngine&)> change;
};

TEST_F(LiveSync, LocalChangesReachTheRemoteTree) {
    ino_t uploaded = 0;
    const std::vector<LocalStep> steps{
        {"create", [](LiveSync& t, OrvellaSyncEngine& e) {
             t.write(t.local("a.txt"), "first");
             e.fileChanged(t.local("a.txt"));
         }},
        {"modify", [](LiveSync& t, OrvellaSyncEngine& e) {
             t.write(t.local("a.txt"), "second version");
             e.fileChanged(t.local("a.txt"));
         }},
        {"rename", [&](LiveSync& t, OrvellaSyncEngine& e) {
             uploaded = inode(t.remote("a.txt"));
             QFile::rename(t.local("a.txt"), t.local("b c.txt"));
             e.fileMoved(t.local("a.txt"), t.local("b c.txt"));
         }},
        {"directoryWithFiles", [](LiveSync& t, OrvellaSyncEngine& e) {
             t.write(t.local("Ordner ü/inner/x.md"), "x");
             t.write(t.local("Ordner ü/y.md"), "y");
             e.directoryAdded(t.local("Ordner ü"));
         }},
        {"moveIntoDirectory", [](LiveSync& t, OrvellaSyncEngine& e) {
             QFile::rename(t.local("b c.txt"), t.local("Ordner ü/b c.txt"));
             e.fileMoved(t.local("b c.txt"), t.local("Ordner ü/b c.txt"));
         }},
        {"renameDirectory", [](LiveSync& t, OrvellaSyncEngine& e) {
             QDir().rename(t.local("Ordner ü"), t.local("Mappe ø"));
             e.directoryMoved(t.local("Ordner ü"), t.local("Mappe ø"));
         }},
        {"saveThroughTempFile", [](LiveSync& t, OrvellaSyncEngine& e) {
             t.write(t.local("Mappe ø/y.md.sb-123"), "y saved anew");
             ::rename(QFile::encodeName(t.local("Mappe ø/y.md.sb-123")).constData(),
                      QFile::encodeName(t.local("Mappe ø/y.md")).constData());
             e.fileReplaced(t.local("Mappe ø/y.md.sb-123"), t.local("Mappe ø/y.md"));
         }},
        {"deleteFile", [](LiveSync& t, OrvellaSyncEngine& e) {
             QFile::remove(t.local("Mappe ø/inner/x.md"));
             e.itemDeleted(t.local("Mappe ø/inner/x.md"));
         }},
        {"deleteDirectory", [](LiveSync& t, OrvellaSyncEngine& e) {
             QDir(t.local("Mappe ø")).removeRecursively();
             e.itemDeleted(t.local("Mappe ø"));
         }},
    };
    for (const LocalStep& step : steps) {
        SCOPED_TRACE(step.name);
        step.change(*this, *engine);
        ASSERT_TRUE(bothSidesEqual());
        if (std::string(step.name) == "rename") {
            EXPECT_EQ(inode(remote("b c.txt")), uploaded) << "a rename is a rename remotely, not a new upload";
        }
    }
    EXPECT_EQ(tree(remoteRoot), Tree{});
}

// A file moved without the engine being told where from is still found by its inode, whatever
// happened to its record before: a rename remotely, not a new upload and a deletion.
TEST_F(LiveSync, AMoveToldOnlyByItsTargetIsARenameRemotely) {
    const std::vector<std::pair<const char*, std::function<void()>>> before{
        {"nothing", [] {}},
        {"itsFolderMoved", [&] {
             ASSERT_TRUE(QDir().rename(local("a"), local("b")));
             engine->directoryMoved(local("a"), local("b"));
             ASSERT_TRUE(bothSidesEqual());
             ASSERT_TRUE(QDir().rename(local("b"), local("a")));
             engine->directoryMoved(local("b"), local("a"));
             ASSERT_TRUE(bothSidesEqual());
         }},
        {"restarted", [&] {
             engine.reset();
             start();
             ASSERT_TRUE(waitUpToDate());
         }},
    };
    for (const auto& [name, prepare] : before) {
        SCOPED_TRACE(name);
        write(local("a/x.txt"), name);
        engine->directoryAdded(local("a"));
        ASSERT_TRUE(bothSidesEqual());
        const ino_t uploaded = inode(remote("a/x.txt"));
        prepare();
        ASSERT_TRUE(QFile::rename(local("a/x.txt"), local("y.txt")));
        engine->fileChanged(local("y.txt"));
        ASSERT_TRUE(bothSidesEqual());
        EXPECT_EQ(inode(remote("y.txt")), uploaded);
        QFile::remove(local("y.txt"));
        engine->itemDeleted(local("y.txt"));
        ASSERT_TRUE(bothSidesEqual());
    }
}

struct ChainedMoves {
    const char* name;
    std::vector<std::pair<const char*, const char*>> moves;  // done in this order, told at once
    Tree expected;
    bool toldAsDeletion = false;
};

TEST_F(LiveSync, QuicklyChainedMovesLeaveEveryFileInOnePlace) {
    const std::vector<ChainedMoves> cases{
        {"filesIntoAFolderThenTheFolderRenamed",
         {{"src/report1.txt", "dst/report1.txt"}, {"src/report2.txt", "dst/report2.txt"},
          {"src/report3.txt", "dst/report3.txt"}, {"dst", "Reports"}},
         {{"Reports", "/"}, {"Reports/report1.txt", "1"}, {"Reports/report2.txt", "2"}, {"Reports/report3.txt", "3"}, {"src", "/"}}},
        {"filesIntoAFolderThenTheFolderRenamedToldByTheirTargets",
         {{"src/report1.txt", "dst/report1.txt"}, {"src/report2.txt", "dst/report2.txt"},
          {"src/report3.txt", "dst/report3.txt"}, {"dst", "Reports"}},
         {{"Reports", "/"}, {"Reports/report1.txt", "1"}, {"Reports/report2.txt", "2"}, {"Reports/report3.txt", "3"}, {"src", "/"}},
         true},
        {"aFolderRenamedThenAFileMovedOutOfIt",
         {{"src", "moved"}, {"moved/report1.txt", "report1.txt"}},
         {{"dst", "/"}, {"moved", "/"}, {"moved/report2.txt", "2"}, {"moved/report3.txt", "3"}, {"report1.txt", "1"}}},
        {"aFileMovedTwice",
         {{"src/report1.txt", "dst/report1.txt"}, {"dst/report1.txt", "dst/final.txt"}},
         {{"dst", "/"}, {"dst/final.txt", "1"}, {"src", "/"}, {"src/report2.txt", "2"}, {"src/report3.txt", "3"}}},
        {"aFileMovedTwiceToldByItsTargets",
         {{"src/report1.txt", "dst/report1.txt"}, {"dst/report1.txt", "dst/final.txt"}},
         {{"dst", "/"}, {"dst/final.txt", "1"}, {"src", "/"}, {"src/report2.txt", "2"}, {"src/report3.txt", "3"}},
         true},
        {"aFolderMovedIntoAFolderThenThatOneRenamed",
         {{"src", "dst/src"}, {"dst", "Reports"}},
         {{"Reports", "/"}, {"Reports/src", "/"}, {"Reports/src/report1.txt", "1"}, {"Reports/src/report2.txt", "2"},
          {"Reports/src/report3.txt", "3"}}},
    };
    for (const ChainedMoves& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& [name, content] : tree(localRoot)) removeTree(local(name));
        engine->triggerSync();
        ASSERT_TRUE(bothSidesEqual());
        for (int i = 1; i <= 3; ++i) write(local(QStringLiteral("src/report%1.txt").arg(i)), QByteArray::number(i));
        ASSERT_TRUE(QDir().mkpath(local("dst")));
        engine->triggerSync();
        ASSERT_TRUE(bothSidesEqual());
        for (const auto& [from, to] : c.moves) ASSERT_TRUE(QDir().rename(local(from), local(to))) << from;
        for (const auto& [from, to] : c.moves) {
            // Told late, a move whose target has moved on may arrive as a deletion of the target alone.
            if (c.toldAsDeletion && !QFileInfo::exists(local(to))) engine->itemDeleted(local(to));
            else if (QString::fromLatin1(to).endsWith(QStringLiteral(".txt"))) engine->fileMoved(local(from), local(to));
            else engine->directoryMoved(local(from), local(to));
        }
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return tree(remoteRoot) == c.expected; }))
            << tree(remoteRoot).size();
        ASSERT_TRUE(waitUpToDate());
        EXPECT_EQ(tree(localRoot), c.expected);
    }
}

TEST_F(LiveSync, ABatchOfManyFilesArrivesWhole) {
    Tree expected{{"batch", "/"}};
    for (int i = 0; i < 500; ++i) {
        const QString name = QStringLiteral("batch/file %1 é.txt").arg(i);
        const QByteArray content = QByteArray::number(i).repeated(i % 7 + 1);
        write(local(name), content);
        expected[name] = content;
    }
    engine->directoryAdded(local(QStringLiteral("batch")));
    for (int i = 0; i < 500; ++i) engine->fileChanged(local(QStringLiteral("batch/file %1 é.txt").arg(i)));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return tree(remoteRoot) == expected; }, 20000));
    ASSERT_TRUE(waitUpToDate());
    for (int i = 0; i < 500; i += 37) {
        const QString path = local(QStringLiteral("batch/file %1 é.txt").arg(i));
        EXPECT_EQ(delegate.lastItemStatus(path), OVItemSyncStatus::synced) << i;
        EXPECT_EQ(engine->itemSyncStatus(path), OVItemSyncStatus::synced) << i;
    }
    // Progress is counted in bytes and ends finished.
    SyncStatus last;
    for (const SyncStatus& status : delegate.statuses())
        if (status.kind == SyncStatus::Kind::progress) last = status;
    EXPECT_TRUE(last.upload.isFinished);
    EXPECT_GT(last.upload.total, 0);
    EXPECT_EQ(last.upload.completed, last.upload.total);
}

struct TypeChange {
    const char* name;
    bool remotely;
    bool toFolder;                 // a file becomes a folder, or a folder a file
    std::vector<const char*> told;  // the local paths the events name (the remote side has its journal)
};

// An item replaced at the same instant by one of the other kind, with content inside. File events
// merge what happened to one path within a burst, and may leave only the paths inside it.
TEST_F(LiveSync, AnItemThatTurnsIntoTheOtherKindIsSyncedAsWhatItIsNow) {
    const std::vector<TypeChange> cases{
        {"fileToFolderToldByWhatIsInside", false, true, {"x/inner.txt"}},
        {"fileToFolderToldByBoth", false, true, {"x", "x/inner.txt"}},
        {"folderToFileToldByWhatWasInside", false, false, {"x/inner.txt"}},
        {"folderToFileToldByBoth", false, false, {"x/inner.txt", "x"}},
        {"fileToFolderRemotely", true, true, {}},
        {"folderToFileRemotely", true, false, {}},
    };
    for (const TypeChange& c : cases) {
        SCOPED_TRACE(c.name);
        const QString& root = c.remotely ? remoteRoot : localRoot;
        const QString x = root + QStringLiteral("/x");
        if (c.toFolder) write(local("x"), "was a file");
        else write(local("x/inner.txt"), "was inside a folder");
        engine->fileChanged(local("x"));
        ASSERT_TRUE(bothSidesEqual());

        removeTree(x);
        if (c.toFolder) write(x + QStringLiteral("/inner.txt"), "now inside a folder");
        else write(x, "now a file");
        for (const char* path : c.told) engine->fileChanged(local(QString::fromUtf8(path)));
        ASSERT_TRUE(bothSidesEqual());
        EXPECT_EQ(tree(localRoot), (c.toFolder ? Tree{{"x", "/"}, {"x/inner.txt", "now inside a folder"}}
                                               : Tree{{"x", "now a file"}}));
        EXPECT_TRUE(engine->syncErrors().empty());
        removeTree(local("x"));
        engine->itemDeleted(local("x"));
        ASSERT_TRUE(bothSidesEqual());
    }
}

TEST_F(LiveSync, RemoteChangesReachTheSyncFolderWithoutComingBack) {
    const std::vector<std::pair<const char*, std::function<void()>>> steps{
        {"newFile", [&] { write(remote("r.txt"), "remote"); }},
        {"changedFile", [&] { write(remote("r.txt"), "remote, changed"); }},
        {"newFolder", [&] { write(remote("R ü/s/t.txt"), "t"); }},
        {"deletedFile", [&] { QFile::remove(remote("r.txt")); }},
        {"deletedFolder", [&] { QDir(remote("R ü")).removeRecursively(); }},
        {"anotherNewFile", [&] { write(remote("n.txt"), "n"); }},
    };
    for (const auto& [name, change] : steps) {
        SCOPED_TRACE(name);
        change();
        ASSERT_TRUE(bothSidesEqual());
    }
    // The engine's own download reaches the listener like any local change: it must not go back.
    const ino_t remoteInode = inode(remote("n.txt"));
    engine->fileChanged(local(QStringLiteral("n.txt")));
    engine->directoryAdded(localRoot);
    ASSERT_TRUE(waitUpToDate());
    EXPECT_EQ(inode(remote("n.txt")), remoteInode);
    EXPECT_EQ(delegate.itemStatusCount(local(QStringLiteral("n.txt")), OVItemSyncStatus::syncing), 1);
    EXPECT_EQ(delegate.lastItemStatus(local(QStringLiteral("n.txt"))), OVItemSyncStatus::synced);
}

TEST_F(LiveSync, PausedAndOfflineEnginesCatchUpAfterwards) {
    struct Interruption {
        const char* name;
        std::function<void(bool)> set;
        SyncStatus::Kind shows;
    };
    const std::vector<Interruption> interruptions{
        {"paused", [&](bool on) { engine->setSyncEnabled(!on); }, SyncStatus::Kind::paused},
        {"offline", [&](bool on) { service->setReachable(!on); }, SyncStatus::Kind::offline},
    };
    for (const Interruption& i : interruptions) {
        SCOPED_TRACE(i.name);
        i.set(true);
        ASSERT_TRUE(settle());
        EXPECT_EQ(delegate.lastStatus()->kind, i.shows);
        const QString name = QString::fromLatin1(i.name);
        write(local(name + QStringLiteral(".local")), "l");
        engine->fileChanged(local(name + QStringLiteral(".local")));
        write(remote(name + QStringLiteral(".remote")), "r");
        ASSERT_TRUE(settle());
        EXPECT_FALSE(QFile::exists(remote(name + QStringLiteral(".local"))));
        EXPECT_FALSE(QFile::exists(local(name + QStringLiteral(".remote"))));
        EXPECT_EQ(delegate.lastStatus()->kind, i.shows);
        i.set(false);
        ASSERT_TRUE(bothSidesEqual());
        EXPECT_EQ(read(remote(name + QStringLiteral(".local"))), QByteArray("l"));
        EXPECT_EQ(read(local(name + QStringLiteral(".remote"))), QByteArray("r"));
    }
}

TEST_F(LiveSync, ChangesMadeWhileTheRemoteTreeIsAwayArriveWhenItIsBack) {
    write(local("kept.txt"), "v1");
    engine->fileChanged(local("kept.txt"));
    ASSERT_TRUE(bothSidesEqual());
    struct Outage {
        const char* name;
        std::function<void(bool)> set;  // true: away, false: back
        bool asRoot;                    // root reads a folder without permissions anyway
    };
    const QString serviceRoot = service->root();
    const auto rename = [](const QString& from, const QString& to) { ASSERT_TRUE(QDir().rename(from, to)); };
    std::optional<InjectedFault> fault;
    const std::vector<Outage> outages{
        {"userTreeRenamed", [&](bool away) { away ? rename(remoteRoot, remoteRoot + "~") : rename(remoteRoot + "~", remoteRoot); }, true},
        {"serviceRootMoved", [&](bool away) { away ? rename(serviceRoot, serviceRoot + "~") : rename(serviceRoot + "~", serviceRoot); }, true},
        {"userTreeDenied", [&](bool away) { away ? void(fault.emplace(remoteRoot, EACCES, true)) : fault.reset(); }, true},
        {"serviceRootChmod", [&](bool away) { ::chmod(QFile::encodeName(serviceRoot).constData(), away ? 0 : 0700); }, false},
    };
    for (const Outage& outage : outages) {
        SCOPED_TRACE(outage.name);
        if (!outage.asRoot && ::geteuid() == 0) continue;
        outage.set(true);
        Tree expected = tree(localRoot);
        for (int i = 0; i < 10; ++i) {
            const QString name = QString::fromLatin1(outage.name) + QStringLiteral("-%1.txt").arg(i);
            write(local(name), name.toUtf8());
            engine->fileChanged(local(name));
            expected[name] = name.toUtf8();
        }
        const QByteArray changed = QByteArray("changed during ") + outage.name;
        write(local("kept.txt"), changed);
        engine->fileChanged(local("kept.txt"));
        expected["kept.txt"] = changed;
        ASSERT_TRUE(settle());
        EXPECT_EQ(delegate.lastStatus(), SyncStatus::of(SyncStatus::Kind::offline));
        outage.set(false);
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return tree(remoteRoot) == expected; }))
            << "caught up without a restart";
        ASSERT_TRUE(waitUpToDate());
        EXPECT_EQ(tree(localRoot), expected);
    }
}

TEST_F(LiveSync, AFailedWriteKeepsTheOldVersionAndReportsTheItem) {
    write(local("ro/a.txt"), "old");
    engine->directoryAdded(local("ro"));
    ASSERT_TRUE(bothSidesEqual());
    ASSERT_TRUE(QFile::setPermissions(local("ro"), QFile::ReadOwner | QFile::ExeOwner));
    write(remote("ro/a.txt"), "new remote version");
    const QString item = local(QStringLiteral("ro/a.txt"));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return delegate.lastItemStatus(item) == OVItemSyncStatus::error; }));
    ASSERT_TRUE(settle());
    EXPECT_EQ(read(item), QByteArray("old"));
    EXPECT_EQ(QDir(local("ro")).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("a.txt")});
    EXPECT_EQ(engine->itemSyncStatus(item), OVItemSyncStatus::error);
    const auto errors = engine->syncErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rootRelativePath, QStringLiteral("ro/a.txt"));
    EXPECT_EQ(errors[0].error.kind, SyncError::Kind::itemIsInReadonlyDirectory);
    EXPECT_EQ(delegate.lastStatus()->kind, SyncStatus::Kind::error);
    EXPECT_FALSE(delegate.lastStatus()->isInterruptingSync());

    ASSERT_TRUE(QFile::setPermissions(local("ro"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    engine->itemPermissionChanged(local("ro"), true);
    ASSERT_TRUE(bothSidesEqual());
    EXPECT_EQ(read(item), QByteArray("new remote version"));
    EXPECT_TRUE(engine->syncErrors().empty());
    EXPECT_EQ(delegate.lastItemStatus(item), OVItemSyncStatus::synced);
}

struct UnreadableCase {
    const char* name;
    bool remoteSide;
    const char* item;  // below the case's folder "<name>/sub": the folder itself or one file
    int error;
    bool byPermission;  // chmod 000 instead of an injected failure (not as root, who reads anyway)
    bool fullScan;      // the engine rescans everything instead of the folder the event names
};

TEST_F(LiveSync, WhatCannotBeReadIsNeverTakenForDeleted) {
    const std::vector<UnreadableCase> cases{
        {"localDenied", false, "", EACCES, false, false},
        {"localOutOfDescriptors", false, "", EMFILE, false, true},
        {"localIoError", false, "", EIO, false, false},
        {"localFileIoError", false, "f2.txt", EIO, false, true},
        {"remoteDenied", true, "", EACCES, false, false},
        {"remoteOutOfDescriptors", true, "", EMFILE, false, false},
        {"remoteFileIoError", true, "f2.txt", EIO, false, false},
        {"localChmod", false, "", EACCES, true, false},
        {"remoteChmod", true, "", EACCES, true, false},
    };
    for (const UnreadableCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.byPermission && ::geteuid() == 0) continue;
        const QString folder = QString::fromLatin1(c.name) + QStringLiteral("/sub");
        for (int i = 0; i < 5; ++i) write(local(folder + QStringLiteral("/f%1.txt").arg(i)), QByteArray::number(i));
        engine->directoryAdded(local(QString::fromLatin1(c.name)));
        ASSERT_TRUE(bothSidesEqual());
        const QString& sideRoot = c.remoteSide ? remoteRoot : localRoot;
        const QString& otherRoot = c.remoteSide ? localRoot : remoteRoot;
        const Tree before = tree(otherRoot);
        const QString broken = fs::join(fs::join(sideRoot, folder), QString::fromLatin1(c.item));
        std::optional<InjectedFault> fault;
        if (c.byPermission) {
            ASSERT_EQ(::chmod(QFile::encodeName(broken).constData(), 0), 0);
        } else {
            fault.emplace(broken, c.error, *c.item != 0);
        }
        if (c.fullScan) {
            engine->triggerSync();
        } else if (!c.remoteSide) {
            engine->itemPermissionChanged(broken, true);
        } else if (!c.byPermission) {
            // A fault made in the engine alone goes past the service's journal: the item is touched
            // (its mode set as it is) so that the journal names it, as it would a real one.
            ASSERT_TRUE(QFile::setPermissions(broken, QFile::permissions(broken)));
        }
        const QString other = QString::fromLatin1(c.name) + QStringLiteral(".txt");
        write(local(other), "another change");
        engine->fileChanged(local(other));
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return QFile::exists(remote(other)); }));
        ASSERT_TRUE(settle());
        Tree expected = before;
        expected[other] = "another change";
        EXPECT_EQ(tree(otherRoot), expected) << "nothing is deleted on the other side";
        const QString reported = *c.item ? fs::join(folder, QString::fromLatin1(c.item)) : folder;
        EXPECT_EQ(engine->itemSyncStatus(local(folder + QStringLiteral("/f2.txt"))), OVItemSyncStatus::error);
        bool told = false;
        for (const SyncErrorInfo& error : engine->syncErrors())
            told |= error.rootRelativePath == reported &&
                    (c.remoteSide || error.error.kind == SyncError::Kind::itemIsUnreadable);
        EXPECT_TRUE(told) << "the user is told which item cannot be read, and that it cannot be read";
        EXPECT_TRUE(waitIdle(SyncStatus::Kind::error));

        // Readable again: sync goes on by itself.
        if (c.byPermission) {
            ASSERT_EQ(::chmod(QFile::encodeName(broken).constData(), 0700), 0);
        }
        fault.reset();
        write(fs::join(sideRoot, folder + QStringLiteral("/new.txt")), "after");
        if (!c.remoteSide) engine->fileChanged(local(folder + QStringLiteral("/new.txt")));
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return QFile::exists(fs::join(otherRoot, folder + QStringLiteral("/new.txt"))); }));
        ASSERT_TRUE(bothSidesEqual());
        EXPECT_TRUE(engine->syncErrors().empty());
        EXPECT_EQ(engine->itemSyncStatus(local(folder + QStringLiteral("/f2.txt"))), OVItemSyncStatus::synced);
    }
}

TEST_F(LiveSync, ARootThatCannotBeReadIsNeverTakenForAnEmptyOne) {
    write(local("a/b.txt"), "b");
    write(local("c.txt"), "c");
    engine->triggerSync();
    ASSERT_TRUE(bothSidesEqual());
    const Tree synced = tree(localRoot);
    for (const bool remoteSide : {false, true}) {
        SCOPED_TRACE(remoteSide ? "remote" : "local");
        {
            InjectedFault fault(remoteSide ? remoteRoot : localRoot, EMFILE);
            engine->triggerSync();
            ASSERT_TRUE(settle());
            EXPECT_EQ(tree(localRoot), synced);
            EXPECT_EQ(tree(remoteRoot), synced);
            EXPECT_TRUE(delegate.lastStatus()->isInterruptingSync());
        }
        ASSERT_TRUE(waitUpToDate());
        EXPECT_EQ(tree(localRoot), synced);
        EXPECT_EQ(tree(remoteRoot), synced);
    }
}

TEST_F(LiveSync, TempFilesOfInterruptedUploadsDoNotStayInTheRemoteTree) {
    const auto temporaries = [&] {
        QStringList names;
        for (const auto& [path, content] : tree(remoteRoot))
            if (fs::isTemporaryName(fs::nameOf(path))) names << path;
        return names;
    };
    const QString foreign = QStringLiteral(".~ovsync-otherclient-inflight");
    for (const bool restart : {false, true}) {
        SCOPED_TRACE(restart ? "killedMeanwhile" : "keptRunning");
        const QString name = restart ? QStringLiteral("after restart.bin") : QStringLiteral("while running.bin");
        // A new version of a file already there: only a replacement has a named temp file.
        write(local(name), "first version");
        engine->fileChanged(local(name));
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return read(remote(name)) == QByteArray("first version"); }));
        ASSERT_TRUE(waitUpToDate());
        // The service goes away mid-upload: the copy fails, and so does the temp file's removal
        // (not found where it was: the tree moved away with it), and the tree stays away a while.
        std::atomic<bool> away{false};
        std::optional<InjectedFault> serviceAway;
        serviceAway.emplace([&](fs::Operation operation, const QString& path) {
            if (operation == fs::Operation::writeData && path.startsWith(remoteRoot)) away = true;
            if (!away || !path.startsWith(remoteRoot)) return 0;
            return operation == fs::Operation::writeData || operation == fs::Operation::stat ||
                           operation == fs::Operation::openFolder || operation == fs::Operation::removeTemporary
                       ? ENOENT
                       : 0;
        });
        write(local(name), QByteArray(64 * 1024, 'u'));
        engine->fileChanged(local(name));
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !temporaries().isEmpty(); }));
        if (restart) {
            engine.reset();
            write(remote(foreign), "another client's upload under way");
        }
        serviceAway.reset();
        if (restart) start();
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return read(remote(name)) == QByteArray(64 * 1024, 'u'); }));
        ASSERT_TRUE(TestEnvironment::waitUntil([&] {
            return temporaries() == (restart ? QStringList{foreign} : QStringList{});
        })) << temporaries().join(QLatin1Char(' ')).toStdString();
    }
}

TEST_F(LiveSync, IgnoredItemsAndLinksStayLocal) {
    write(local("build.tmp"), "scratch");
    write(local("~$report.docx"), "lock");
    write(local("keep.txt"), "keep");
    ASSERT_EQ(::symlink("/etc", QFile::encodeName(local("link")).constData()), 0);
    for (const char* name : {"build.tmp", "~$report.docx", "keep.txt", "link"}) engine->fileChanged(local(name));
    write(remote("remote.tmp"), "not fetched either");
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return QFile::exists(remote("keep.txt")); }));
    ASSERT_TRUE(waitUpToDate());
    EXPECT_EQ(tree(remoteRoot), (Tree{{"keep.txt", "keep"}, {"remote.tmp", "not fetched either"}}));
    EXPECT_FALSE(QFile::exists(local("remote.tmp")));
    for (const char* name : {"build.tmp", "~$report.docx", "link", "remote.tmp"}) {
        EXPECT_EQ(engine->itemSyncStatus(local(name)), OVItemSyncStatus::ignored) << name;
        EXPECT_EQ(delegate.lastItemStatus(local(name)), OVItemSyncStatus::ignored) << name;
    }
    EXPECT_EQ(engine->itemSyncStatus(local("keep.txt")), OVItemSyncStatus::synced);
    EXPECT_EQ(engine->itemSyncStatus(localRoot + QStringLiteral(" 1/keep.txt")), OVItemSyncStatus::ignored)
        << "a sibling folder sharing the name's start is outside";
    EXPECT_EQ(engine->itemSyncStatus(localRoot), OVItemSyncStatus::synced);
}

// What is left out must be told, with why: a file that silently never reaches the storage is a
// file the user believes safe.
TEST_F(LiveSync, ItemsLeftOutAreListedWithTheReasonUntilTheyCanBeSynced) {
    delegate.alsoIgnore(QStringLiteral("secret.txt"));
    fs::setFaultHook([](fs::Operation operation, const QString& path) {
        return operation == fs::Operation::readFile && path.endsWith(QStringLiteral("/secret.txt")) ? EACCES : 0;
    });
    write(local("secret.txt"), "not for everyone");
    const QByteArray badName = QFile::encodeName(localRoot) + "/bad\xff.txt";
    const int fd = ::open(badName.constData(), O_CREAT | O_WRONLY, 0600);
    ASSERT_GE(fd, 0);
    ::close(fd);
    write(local("ok.txt"), "ok");
    // As the file-event stream names them: the undecodable name only by a look-alike.
    for (const QString& name : {QStringLiteral("secret.txt"), QStringLiteral("bad\uFFFD.txt"), QStringLiteral("ok.txt")})
        engine->fileChanged(local(name));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return QFile::exists(remote("ok.txt")); }));
    ASSERT_TRUE(settle());
    std::map<QString, SyncError::Kind> listed;
    for (const SyncErrorInfo& info : engine->syncErrors()) listed[info.rootRelativePath.value_or(QString())] = info.error.kind;
    EXPECT_EQ(listed, (std::map<QString, SyncError::Kind>{{QStringLiteral("bad\uFFFD.txt"), SyncError::Kind::invalidItemName},
                                                           {QStringLiteral("secret.txt"), SyncError::Kind::itemIsUnreadable}}));
    EXPECT_EQ(engine->itemSyncStatus(local("ok.txt")), OVItemSyncStatus::synced);

    // Mended: the list empties.
    fs::setFaultHook(nullptr);
    ASSERT_EQ(::unlink(badName.constData()), 0);
    engine->mustScanSubDirectories();
    ASSERT_TRUE(settle());
    EXPECT_TRUE(engine->syncErrors().empty());
}

TEST_F(LiveSync, SubscriptionsKeepUnsubscribedFoldersOffTheSyncFolder) {
    write(remote("A/a.txt"), "a");
    write(remote("B/b.txt"), "b");
    write(remote("top.txt"), "top");
    ASSERT_TRUE(bothSidesEqual());

    // A local change in a folder about to be dropped must reach the remote tree first.
    write(local("A/a.txt"), "changed locally just before");
    const std::vector<SelectiveSyncItem> items{{"/", false, "root"}, {"/B", true, "b"}};
    engine->setSubscriptions(items);
    EXPECT_EQ(engine->subscriptions(), items);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !QFile::exists(local("A")); }));
    ASSERT_TRUE(waitUpToDate());
    EXPECT_EQ(read(remote("A/a.txt")), QByteArray("changed locally just before"));
    EXPECT_EQ(tree(localRoot), (Tree{{"B", "/"}, {"B/b.txt", "b"}, {"top.txt", "top"}}));
    EXPECT_EQ(engine->itemSyncStatus(local("A")), OVItemSyncStatus::selectivelyNotSynced);
    EXPECT_EQ(engine->itemSyncStatus(local("A/a.txt")), OVItemSyncStatus::selectivelyNotSynced);

    write(remote("A/new.txt"), "not fetched");
    write(remote("C/c.txt"), "not fetched either");
    write(remote("B/more.txt"), "fetched");
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return QFile::exists(local("B/more.txt")); }));
    ASSERT_TRUE(waitUpToDate());
    EXPECT_FALSE(QFile::exists(local("A")));
    EXPECT_FALSE(QFile::exists(local("C")));

    // A folder made locally is kept, also where nothing else is subscribed.
    write(local("D/d.txt"), "d");
    engine->directoryAdded(local("D"));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return QFile::exists(remote("D/d.txt")); }));
    ASSERT_TRUE(waitUpToDate());
    EXPECT_TRUE(QFile::exists(local("D/d.txt")));

    // Subscribing again brings the folder back; the choice outlives the engine.
    engine.reset();
    start();
    ASSERT_TRUE(waitUpToDate());
    EXPECT_FALSE(QFile::exists(local("A")));
    EXPECT_EQ(engine->subscriptions().size(), 3u);
    engine->setSubscriptions({{"/", true, "root"}});
    ASSERT_TRUE(bothSidesEqual());
    EXPECT_EQ(read(local("A/new.txt")), QByteArray("not fetched"));
}

TEST_F(LiveSync, AnEmptiedRemoteTreeLeavesTheSyncFolderItself) {
    write(local("x/y/z.txt"), "z");
    write(local("top.txt"), "t");
    engine->triggerSync();
    ASSERT_TRUE(bothSidesEqual());
    QDir(remote("x")).removeRecursively();
    QFile::remove(remote("top.txt"));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return tree(localRoot).empty(); }));
    ASSERT_TRUE(waitUpToDate());
    EXPECT_TRUE(QFileInfo(localRoot).isDir());
    EXPECT_TRUE(QFileInfo(remoteRoot).isDir());
}

TEST_F(LiveSync, AnEngineWithNothingToDoRunsNoPass) {
    // Letting go of the trees once idle (at once, or after a while of quiet) runs no pass either,
    // and what changes afterwards is still synced both ways.
    for (const int compactAfter : {0, 4 * longPollMs}) {
        SCOPED_TRACE(compactAfter);
        engine.reset();
        compactAfterIdleMs = compactAfter;
        start();
        const QString round = QString::number(compactAfter);
        // Its own uploads and downloads come back from the journal once; they must not keep it busy.
        for (int i = 0; i < 20; ++i) {
            write(local(QStringLiteral("up%1/%2.txt").arg(round).arg(i)), "up");
            write(remote(QStringLiteral("down%1/%2.txt").arg(round).arg(i)), "down");
        }
        engine->directoryAdded(local("up" + round));
        ASSERT_TRUE(bothSidesEqual());
        std::uint64_t passes = 0;
        ASSERT_TRUE(TestEnvironment::waitUntil([&] {
            const auto before = engine->passCount();
            QThread::msleep(3 * longPollMs);
            passes = engine->passCount();
            return passes == before;
        }));
        QThread::msleep(5 * longPollMs);
        EXPECT_EQ(engine->passCount(), passes) << "no pass while nothing changes";
        write(remote("later" + round + ".txt"), "later");
        write(local("up" + round + "/3.txt"), "changed here");
        engine->fileChanged(local("up" + round + "/3.txt"));
        QFile::remove(remote("down" + round + "/4.txt"));
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return read(local("later" + round + ".txt")) == QByteArray("later"); }));
        ASSERT_TRUE(bothSidesEqual());
        EXPECT_EQ(read(remote("up" + round + "/3.txt")), QByteArray("changed here"));
        EXPECT_FALSE(QFileInfo::exists(local("down" + round + "/4.txt")));
        EXPECT_TRUE(QFileInfo::exists(local("down" + round + "/5.txt")));
        EXPECT_GT(engine->passCount(), passes);
    }
}

TEST_F(LiveSync, AFailedUploadIsTriedAgainByItselfOnceItsBackOffIsOver) {
    // No event follows the end of the failure: only the retry time can bring the file over.
    std::optional<InjectedFault> failing;
    failing.emplace([&](fs::Operation operation, const QString& path) {
        return operation == fs::Operation::writeData && path.startsWith(remoteRoot) ? EIO : 0;
    });
    write(local("retried.txt"), "retried");
    engine->fileChanged(local("retried.txt"));
    ASSERT_TRUE(TestEnvironment::waitUntil(
        [&] { return delegate.lastItemStatus(local(QStringLiteral("retried.txt"))) == OVItemSyncStatus::error; }));
    failing.reset();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return read(remote("retried.txt")) == QByteArray("retried"); }));
    ASSERT_TRUE(waitUpToDate());
    EXPECT_TRUE(engine->syncErrors().empty());
}

TEST_F(EngineFixture, ARemoteChangeMadeWhileNothingRanArrivesAtTheNextStart) {
    write(remote("kept.txt"), "v1");
    start();
    ASSERT_TRUE(waitUpToDate());
    ASSERT_EQ(read(local("kept.txt")), QByteArray("v1"));
    engine.reset();
    const QString root = service->root();
    service.reset();  // the journal stops with the last service on its root
    write(remote("kept.txt"), "v2, written while nothing ran");
    write(remote("new/while away.txt"), "new");
    service = std::make_shared<StorageService>(root);
    start();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return tree(localRoot) == tree(remoteRoot); }));
    EXPECT_EQ(read(local("kept.txt")), QByteArray("v2, written while nothing ran"));
}

// A start after a stop in step takes the remote tree from the records and asks the journal only
// what changed since; what changed while the engine was stopped must still arrive, however little
// it shows, and a stop with something unsynced must not start that way.
TEST_F(EngineFixture, AStartFromTheRecordsStillFindsWhatChangedWhileStopped) {
    // Other bytes of the same size and modification time, as another inode.
    const auto replace = [&](const QString& path, const QByteArray& content) {
        struct stat before {};
        ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &before), 0);
        const QString aside = localRoot + QStringLiteral("/../replacement");
        write(aside, content);
        const struct timespec times[2] = {before.st_mtim, before.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(aside).constData(), times, 0), 0);
        ASSERT_EQ(::rename(QFile::encodeName(aside).constData(), QFile::encodeName(path).constData()), 0);
    };
    // With the service stopped too, its journal finds the change only by looking at the tree.
    const auto withNothingRunning = [&](const std::function<void()>& change) {
        const QString root = service->root();
        service.reset();
        change();
        service = std::make_shared<StorageService>(root);
    };
    struct Row {
        const char* name;
        std::function<void()> whileStopped;
        const char* path;
        std::optional<QByteArray> expected;  // on both sides; none: gone from both
        bool fromRecords = true;
    };
    const std::vector<Row> rows{
        {"localReplacedAlike", [&] { replace(local("a.txt"), "A2"); }, "a.txt", "A2"},
        {"remoteReplacedAlike", [&] { replace(remote("b.txt"), "B2"); }, "b.txt", "B2"},
        {"remoteReplacedAlikeWithNothingRunning", [&] { withNothingRunning([&] { replace(remote("c.txt"), "C2"); }); },
         "c.txt", "C2"},
        {"remoteDeleted", [&] { QFile::remove(remote("d.txt")); }, "d.txt", std::nullopt},
        {"remoteAddedWithNothingRunning", [&] { withNothingRunning([&] { write(remote("deep/new.txt"), "N1"); }); },
         "deep/new.txt", "N1"},
        {"localDeleted", [&] { QFile::remove(local("e.txt")); }, "e.txt", std::nullopt},
    };
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"})
        write(remote(QString::fromUtf8(name)), QByteArray(1, char(std::toupper(name[0]))) + "1");
    // Left out by the ignore rules, with what a folder of them holds: no reason to scan.
    write(remote("scratch.tmp"), "ignored");
    write(remote("~$lock/inside.txt"), "ignored with its folder");
    start();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return tree(localRoot).size() == 5; }));
    ASSERT_TRUE(waitUpToDate());
    const auto inStep = [&] {
        auto remoteItems = tree(remoteRoot);
        for (const char* ignored : {"scratch.tmp", "~$lock", "~$lock/inside.txt"}) remoteItems.erase(QString::fromUtf8(ignored));
        return tree(localRoot) == remoteItems;
    };

    std::mutex mutex;
    int takenFromRecords = 0;
    const auto sink = Logger::addSink([&](const LogEntry& entry) {
        std::lock_guard lock(mutex);
        takenFromRecords += entry.message.startsWith(QStringLiteral("The remote tree is taken from the sync state"));
    });
    const auto taken = [&] {
        std::lock_guard lock(mutex);
        return std::exchange(takenFromRecords, 0);
    };
    // A download that fails at the stop: the next start compares both sides whole.
    std::optional<InjectedFault> full;
    full.emplace([&](fs::Operation operation, const QString& path) {
        return operation == fs::Operation::writeData && path.startsWith(localRoot) ? EIO : 0;
    });
    write(remote("failed.txt"), "F1");
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !engine->syncErrors().empty(); }));
    std::vector<Row> all{{"failedBeforeTheStop", [&] { full.reset(); }, "failed.txt", "F1", false}};
    all.insert(all.end(), rows.begin(), rows.end());
    for (const Row& row : all) {
        SCOPED_TRACE(row.name);
        engine.reset();
        taken();
        row.whileStopped();
        start();
        const QString path = QString::fromUtf8(row.path);
        EXPECT_TRUE(TestEnvironment::waitUntil([&] {
            return read(local(path)) == row.expected && read(remote(path)) == row.expected && inStep();
        })) << read(local(path)).value_or("(none)").toStdString() << " / "
            << read(remote(path)).value_or("(none)").toStdString();
        ASSERT_TRUE(waitUpToDate());
        EXPECT_EQ(taken(), row.fromRecords ? 1 : 0);
    }
    Logger::removeSink(sink);
}

TEST_F(EngineFixture, TooLittleLocalSpaceStopsDownloadsAndSaysSo) {
    write(remote("big.bin"), QByteArray(1000, 'b'));
    write(local("up.txt"), "uploads go on");
    start(std::int64_t(1) << 62);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return QFile::exists(remote("up.txt")); }));
    ASSERT_TRUE(settle());
    EXPECT_FALSE(QFile::exists(local("big.bin")));
    EXPECT_EQ(delegate.lastStatus(), SyncStatus::makeError(SyncError{SyncError::Kind::insufficientLocalStorage, 0}));
    int warnings = 0;
    for (const SyncEvent& event : delegate.events()) warnings += event.kind == SyncEvent::Kind::notEnoughDiskSpace;
    EXPECT_EQ(warnings, 1) << "once, not every poll";
    const auto errors = engine->syncErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_FALSE(errors[0].rootRelativePath);
}

TEST_F(EngineFixture, TheQuotaIsRespected) {
    ASSERT_TRUE(service->createAccount(QStringLiteral("bob"), QStringLiteral("bob@example.com"),
                                       QStringLiteral("correct horse 1")));
    ASSERT_TRUE(service->setQuotaOverall(QStringLiteral("bob"), 1000));
    remoteRoot = service->homeFolder(QStringLiteral("bob"));
    write(local("small.txt"), QByteArray(100, 's'));
    write(local("large.bin"), QByteArray(5000, 'l'));
    start();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return QFile::exists(remote("small.txt")); }));
    ASSERT_TRUE(settle());
    EXPECT_FALSE(QFile::exists(remote("large.bin")));
    EXPECT_EQ(engine->itemSyncStatus(local("large.bin")), OVItemSyncStatus::error);
    EXPECT_EQ(delegate.lastStatus(), SyncStatus::makeError(SyncError{SyncError::Kind::insufficientRemoteStorage, 0}));
}

}  // namespace
