// What the engine does at start with the changes made on either side while it was not running.
#include "SyncTestSupport.h"

#include <functional>

#include "frameworks/sync/SqliteDatabase.h"

namespace {

struct Op {
    enum Kind { write, remove, mkdir } kind;
    QString path;
    QByteArray content;
};
using Tree = std::map<QString, QByteArray>;

struct ReconcileCase {
    const char* name;
    std::vector<Op> initial;  // synced once before the changes
    std::vector<Op> localChanges;
    std::vector<Op> remoteChanges;
    Tree expected;  // on both sides afterwards ("/" marks a folder)
    bool renamesLocalItem = false;
};

const QByteArray folderMark("/");

class Reconcile : public EngineFixture, public ::testing::WithParamInterface<ReconcileCase> {
protected:
    static void apply(const QString& root, const std::vector<Op>& ops) {
        for (const Op& op : ops) {
            const QString path = root + QLatin1Char('/') + op.path;
            switch (op.kind) {
            case Op::write: write(path, op.content); break;
            case Op::remove: removeTree(path); break;
            case Op::mkdir: QDir().mkpath(path); break;
            }
        }
    }
};

TEST_P(Reconcile, BringsBothSidesTogetherWithoutLosingAnything) {
    const ReconcileCase& c = GetParam();
    apply(localRoot, c.initial);
    start();
    ASSERT_TRUE(waitUpToDate());
    ASSERT_EQ(tree(remoteRoot), tree(localRoot));
    engine.reset();

    apply(localRoot, c.localChanges);
    apply(remoteRoot, c.remoteChanges);
    start();
    ASSERT_TRUE(waitUpToDate());
    EXPECT_EQ(tree(localRoot), c.expected);
    EXPECT_EQ(tree(remoteRoot), c.expected);

    bool renamed = false;
    for (const SyncEvent& event : delegate.events()) renamed |= event.kind == SyncEvent::Kind::localItemRenamed;
    EXPECT_EQ(renamed, c.renamesLocalItem);
    for (const auto& [path, content] : c.expected)
        EXPECT_EQ(engine->itemSyncStatus(local(path)), OVItemSyncStatus::synced) << path.toStdString();
}

const QString doc = QStringLiteral("doc.txt");
const QString copy = QStringLiteral("doc (conflicted copy).txt");

INSTANTIATE_TEST_SUITE_P(
    Table, Reconcile,
    ::testing::Values(
        ReconcileCase{"newLocalFile", {}, {{Op::write, "n.txt", "new"}}, {}, {{"n.txt", "new"}}},
        ReconcileCase{"newRemoteFile", {}, {}, {{Op::write, "n.txt", "new"}}, {{"n.txt", "new"}}},
        ReconcileCase{"changedLocally", {{Op::write, doc, "v1"}}, {{Op::write, doc, "v2 local"}}, {}, {{doc, "v2 local"}}},
        ReconcileCase{"changedRemotely", {{Op::write, doc, "v1"}}, {}, {{Op::write, doc, "v2 remote"}}, {{doc, "v2 remote"}}},
        ReconcileCase{"deletedLocally", {{Op::write, "a", "1"}, {Op::write, "b", "2"}}, {{Op::remove, "a", {}}}, {}, {{"b", "2"}}},
        ReconcileCase{"deletedRemotely", {{Op::write, "a", "1"}, {Op::write, "b", "2"}}, {}, {{Op::remove, "a", {}}}, {{"b", "2"}}},
        ReconcileCase{"changedOnBothSidesKeepsBoth", {{Op::write, doc, "v1"}}, {{Op::write, doc, "mine"}},
                      {{Op::write, doc, "theirs!"}}, {{doc, "theirs!"}, {copy, "mine"}}, true},
        ReconcileCase{"sameChangeOnBothSidesIsNoConflict", {{Op::write, doc, "v1"}}, {{Op::write, doc, "same"}},
                      {{Op::write, doc, "same"}}, {{doc, "same"}}},
        ReconcileCase{"newOnBothSidesKeepsBoth", {}, {{Op::write, doc, "mine"}}, {{Op::write, doc, "theirs!"}},
                      {{doc, "theirs!"}, {copy, "mine"}}, true},
        ReconcileCase{"deletedLocallyChangedRemotelyComesBack", {{Op::write, doc, "v1"}}, {{Op::remove, doc, {}}},
                      {{Op::write, doc, "theirs!"}}, {{doc, "theirs!"}}},
        ReconcileCase{"changedLocallyDeletedRemotelyGoesBack", {{Op::write, doc, "v1"}}, {{Op::write, doc, "mine!"}},
                      {{Op::remove, doc, {}}}, {{doc, "mine!"}}},
        ReconcileCase{"newLocalTree", {}, {{Op::write, "x/y/z.txt", "z"}, {Op::mkdir, "x/empty", {}}}, {},
                      {{"x", folderMark}, {"x/empty", folderMark}, {"x/y", folderMark}, {"x/y/z.txt", "z"}}},
        ReconcileCase{"remoteFolderDeleted", {{Op::write, "d/a", "1"}, {Op::write, "d/e/b", "2"}, {Op::write, "k", "3"}}, {},
                      {{Op::remove, "d", {}}}, {{"k", "3"}}},
        ReconcileCase{"localFolderDeletedWhileRemoteChangedInside", {{Op::write, "d/a", "1"}, {Op::write, "d/b", "2"}},
                      {{Op::remove, "d", {}}}, {{Op::write, "d/b", "theirs!"}}, {{"d", folderMark}, {"d/b", "theirs!"}}},
        ReconcileCase{"remoteFolderDeletedWhileLocalChangedInside", {{Op::write, "d/a", "1"}, {Op::write, "d/b", "2"}},
                      {{Op::write, "d/b", "mine!"}}, {{Op::remove, "d", {}}}, {{"d", folderMark}, {"d/b", "mine!"}}},
        ReconcileCase{"localFileBecameFolder", {{Op::write, "p", "file"}}, {{Op::remove, "p", {}}, {Op::write, "p/q", "q"}},
                      {}, {{"p", folderMark}, {"p/q", "q"}}},
        ReconcileCase{"localFileAgainstRemoteFolderKeepsBoth", {}, {{Op::write, "p", "mine"}}, {{Op::write, "p/q", "q"}},
                      {{"p", folderMark}, {"p/q", "q"}, {"p (conflicted copy)", "mine"}}, true},
        ReconcileCase{"namesWithSpacesAndNonAsciiLetters", {{Op::write, "Ärger über/naïve ﬁle.txt", "1"}},
                      {{Op::write, "Ärger über/日本語 名前.md", "2"}}, {{Op::write, "Ärger über/naïve ﬁle.txt", "3!"}},
                      {{"Ärger über", folderMark}, {"Ärger über/naïve ﬁle.txt", "3!"}, {"Ärger über/日本語 名前.md", "2"}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineFixture, ANewSyncFolderInPlaceOfTheOldOneDeletesNothingRemotely) {
    write(local("a.txt"), "a");
    write(local("d/b.txt"), "b");
    start();
    ASSERT_TRUE(waitUpToDate());
    engine.reset();
    // Deleted and made anew while the engine was away: no deletion may follow from that.
    ASSERT_TRUE(QDir(localRoot).removeRecursively());
    ASSERT_TRUE(QDir().mkpath(localRoot));
    start();
    ASSERT_TRUE(waitUpToDate());
    const Tree expected{{"a.txt", "a"}, {"d", folderMark}, {"d/b.txt", "b"}};
    EXPECT_EQ(tree(remoteRoot), expected);
    EXPECT_EQ(tree(localRoot), expected);
}

TEST_F(EngineFixture, AMissingTreeOnEitherSideDeletesNothingOnTheOther) {
    write(local("a.txt"), "a");
    start();
    ASSERT_TRUE(waitUpToDate());
    const auto rootNotFound = SyncStatus::makeError(SyncError{SyncError::Kind::rootDirectoryNotFound, 0});
    struct Side {
        const char* name;
        QString root;
        QString other;
        SyncStatus shows;  // a remote tree away is the service away, not the sync folder
    };
    for (const Side& side : {Side{"remote", remoteRoot, localRoot, SyncStatus::of(SyncStatus::Kind::offline)},
                             Side{"local", localRoot, remoteRoot, rootNotFound}}) {
        SCOPED_TRACE(side.name);
        const QString moved = side.root + QStringLiteral(".away");
        ASSERT_TRUE(QDir().rename(side.root, moved));
        ASSERT_TRUE(settle());
        EXPECT_EQ(delegate.lastStatus(), side.shows);
        EXPECT_EQ(tree(side.other), (Tree{{"a.txt", "a"}}));
        ASSERT_TRUE(QDir().rename(moved, side.root));
        ASSERT_TRUE(waitUpToDate());
        EXPECT_EQ(tree(side.root), (Tree{{"a.txt", "a"}}));
    }
}

TEST_F(EngineFixture, TempFilesLeftByAnInterruptedRunAreRemoved) {
    write(local("d/.~ovsync-leftover1"), "partial");
    write(remote(".~ovsync-leftover2"), "old partial");
    write(remote(".~ovsync-inflight3"), "another client's transfer");
    QFile old(remote(".~ovsync-leftover2"));
    ASSERT_TRUE(old.open(QIODevice::ReadWrite));
    ASSERT_TRUE(old.setFileTime(QDateTime::currentDateTime().addDays(-2), QFileDevice::FileModificationTime));
    old.close();
    start();
    ASSERT_TRUE(waitUpToDate());
    EXPECT_EQ(tree(localRoot), (Tree{{"d", folderMark}}));
    EXPECT_EQ(tree(remoteRoot), (Tree{{"d", folderMark}, {".~ovsync-inflight3", "another client's transfer"}}));
}

struct Damage {
    const char* name;
    std::function<void(QFile&)> apply;
};

class DamagedState : public EngineFixture, public ::testing::WithParamInterface<Damage> {};

TEST_P(DamagedState, IsSetAsideAndRebuiltWithoutDeletingAnything) {
    Tree expected;
    for (int i = 0; i < 300; ++i) {
        const QString name = QStringLiteral("many/file %1.txt").arg(i);
        write(local(name), name.toUtf8());
        expected[name] = name.toUtf8();
    }
    expected["many"] = folderMark;
    write(local(doc), "v1");
    write(local("gone.txt"), "g");
    start();
    ASSERT_TRUE(waitUpToDate());
    engine->setSubscriptions({{"/", true, "kept in the state"}});
    ASSERT_TRUE(settle());
    engine.reset();

    QFile state(QDir(dataFolder).filePath(OrvellaSyncEngine::stateFileName()));
    ASSERT_TRUE(state.open(QIODevice::ReadWrite));
    ASSERT_GT(state.size(), 8192);
    GetParam().apply(state);
    state.close();
    write(local(doc), "mine");
    write(remote(doc), "theirs!");
    QFile::remove(remote("gone.txt"));
    write(local("l.txt"), "l");
    write(remote("r.txt"), "r");

    ASSERT_NO_THROW(start());
    ASSERT_TRUE(waitUpToDate());
    expected[doc] = "theirs!";
    expected[copy] = "mine";
    expected["gone.txt"] = "g";  // with no memory of it, one side's copy is never taken for a deletion
    expected["l.txt"] = "l";
    expected["r.txt"] = "r";
    EXPECT_EQ(tree(localRoot), expected);
    EXPECT_EQ(tree(remoteRoot), expected);
    EXPECT_EQ(QDir(dataFolder).entryList({QStringLiteral("SyncState.sqlite.damaged-*")}).size(), 1);
    EXPECT_EQ(engine->subscriptions(), (std::vector<SelectiveSyncItem>{{"/", true, ""}}));

    // The rebuilt state is a good one: a later start finds everything in step.
    engine.reset();
    start();
    ASSERT_TRUE(waitUpToDate());
    EXPECT_EQ(tree(remoteRoot), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, DamagedState,
    ::testing::Values(Damage{"garbageOverTheStart",
                             [](QFile& file) {
                                 QByteArray garbage(4096, 0);
                                 for (int i = 0; i < garbage.size(); ++i) garbage[i] = char((i * 7919 + 13) % 251);
                                 file.write(garbage);
                             }},
                      Damage{"cutInHalf", [](QFile& file) { file.resize(file.size() / 2); }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(EngineFixture, ASecondEngineOnTheSameStateIsRefused) {
    start();
    EXPECT_THROW(OrvellaSyncEngine(configuration(), service, remoteRoot, dataFolder), std::runtime_error);
    EXPECT_THROW(OrvellaSyncEngine(configuration(), service, localRoot + QStringLiteral("/inner"),
                                   dataFolder + QStringLiteral("2")),
                 std::runtime_error)
        << "a remote tree inside the sync folder would sync into itself";
}

// What the caller sets while the engine still reads its state is newer than what was stored: the
// read must not take the user's choice back. The test's write lock on the state holds the read up.
TEST_F(EngineFixture, SubscriptionsSetWhileTheStateIsReadAreKept) {
    write(local("kept/a.txt"), "a");
    write(local("dropped/b.txt"), "b");
    start();
    ASSERT_TRUE(waitUpToDate());
    engine->setSubscriptions({{"/kept", true, "stored"}, {"/dropped", true, "stored"}});
    ASSERT_TRUE(settle());
    engine.reset();

    const std::vector<SelectiveSyncItem> chosen{{"/kept", true, "chosen while loading"}};
    {
        SqliteDatabase holder(QDir(dataFolder).filePath(OrvellaSyncEngine::stateFileName()));
        holder.exec("BEGIN IMMEDIATE");
        start();
        EXPECT_EQ(engine->currentStatus().kind, SyncStatus::Kind::preparing);
        EXPECT_EQ(engine->itemSyncStatus(local("kept/a.txt")), OVItemSyncStatus::syncing)
            << "nothing is known to be in step before the records are read";
        engine->setSubscriptions(chosen);
        holder.exec("ROLLBACK");
    }
    ASSERT_TRUE(waitUpToDate());
    EXPECT_EQ(engine->subscriptions(), chosen);
    EXPECT_FALSE(QFileInfo::exists(local("dropped/b.txt")));
    EXPECT_EQ(engine->itemSyncStatus(local("kept/a.txt")), OVItemSyncStatus::synced);

    engine.reset();
    start();
    EXPECT_EQ(engine->subscriptions(), chosen) << "the choice was stored too";
}

// A state that cannot be opened (here a folder in its place) stops sync and says so, as a failed
// set-up; nothing is copied without the memory of what was in step.
TEST_F(EngineFixture, AStateThatCannotBeOpenedIsASetupFailure) {
    write(local("a.txt"), "a");
    ASSERT_TRUE(QDir().mkpath(QDir(dataFolder).filePath(OrvellaSyncEngine::stateFileName())));
    start();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] {
        const auto status = delegate.lastStatus();
        return status && status->kind == SyncStatus::Kind::error;
    }, 15000));
    EXPECT_EQ(delegate.lastStatus()->error->kind, SyncError::Kind::setupFailure);
    const auto errors = engine->syncErrors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].error.kind, SyncError::Kind::setupFailure);
    EXPECT_EQ(engine->itemSyncStatus(local("a.txt")), OVItemSyncStatus::error);
    EXPECT_EQ(engine->subscriptions(), (std::vector<SelectiveSyncItem>{{"/", true, ""}})) << "answers, not waits";
    engine->fileChanged(local("a.txt"));
    ASSERT_TRUE(settle());
    EXPECT_EQ(tree(remoteRoot), Tree{});
}

// A first sync of more files than one batch of transfers, in many folders, with files beside the
// folders that sort among the folders' own items: every file arrives once, whole, in its folder.
struct ManyFilesCase {
    const char* name;
    bool localHalf;   // the even folders start on the local side
    bool remoteHalf;  // the odd folders start on the remote side
};

class ManyFiles : public EngineFixture, public ::testing::WithParamInterface<ManyFilesCase> {};

TEST_P(ManyFiles, AFirstSyncBringsEveryFileAcross) {
    const ManyFilesCase& c = GetParam();
    Tree expected;
    for (int f = 0; f < 40; ++f) {
        const bool even = f % 2 == 0;
        if (even ? !c.localHalf : !c.remoteHalf) continue;
        const QString& root = even ? localRoot : remoteRoot;
        const QString folder = QStringLiteral("folder %1").arg(f, 2, 10, QLatin1Char('0'));
        expected[folder] = folderMark;
        // "folder 03.txt" sorts between "folder 03" and "folder 03/...".
        const QString beside = folder + QStringLiteral(".txt");
        expected[beside] = beside.toUtf8();
        for (int i = 0; i < 40; ++i) {
            const QString file = QStringLiteral("%1/%2 %3.bin").arg(folder, i % 5 ? QStringLiteral("f") : QStringLiteral("sub/g")).arg(i);
            if (i % 5 == 0) expected[folder + QStringLiteral("/sub")] = folderMark;
            expected[file] = QByteArray(i * 37, char('a' + f)) + file.toUtf8();
        }
        for (const auto& [path, content] : expected)
            if (content != folderMark && (path.startsWith(folder + QLatin1Char('/')) || path == beside))
                write(root + QLatin1Char('/') + path, content);
    }
    ASSERT_GT(expected.size(), 600u) << "more than one batch";
    start();
    ASSERT_TRUE(waitUpToDate(30000));
    EXPECT_EQ(tree(localRoot), expected);
    EXPECT_EQ(tree(remoteRoot), expected);
    for (const char* path : {"folder 00/f 1.bin", "folder 01/sub/g 35.bin", "folder 38.txt", "folder 39/f 39.bin"})
        if (expected.count(QString::fromUtf8(path))) {
            EXPECT_EQ(engine->itemSyncStatus(local(QString::fromUtf8(path))), OVItemSyncStatus::synced) << path;
        }
    EXPECT_TRUE(engine->syncErrors().empty());
}

INSTANTIATE_TEST_SUITE_P(Table, ManyFiles,
                         ::testing::Values(ManyFilesCase{"up", true, false}, ManyFilesCase{"down", false, true},
                                           ManyFilesCase{"bothWays", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
