#include <gtest/gtest.h>

#include "frameworks/sync/SubscriptionSet.h"
#include "frameworks/sync/SyncDecision.h"
#include "frameworks/sync/SyncFileSystem.h"

namespace {

using A = SyncAction;
using Entry = std::optional<FsEntry>;

FsEntry file(std::int64_t size, std::int64_t mtime, std::uint64_t inode = 1) {
    return FsEntry{FsEntry::Type::file, size, mtime, inode, 0644};
}
FsEntry folder() { return FsEntry{FsEntry::Type::directory, 0, 5, 9, 0755}; }

const FsEntry oldLocal = file(10, 100, 1);
const FsEntry newLocal = file(12, 200, 1);
const FsEntry oldRemote = file(10, 150, 7);
const FsEntry newRemote = file(11, 250, 8);
const SyncRecord fileRecord{oldLocal, oldRemote};
const SyncRecord folderRecord{folder(), folder()};

struct DecisionCase {
    const char* name;
    Entry local;
    Entry remote;
    std::optional<SyncRecord> base;
    bool subscribed;
    SyncStep expected;
};

class Decisions : public ::testing::TestWithParam<DecisionCase> {};

TEST_P(Decisions, FollowTheReconcileRule) {
    const DecisionCase& c = GetParam();
    EXPECT_EQ(decide(c.local, c.remote, c.base, c.subscribed), c.expected)
        << "got " << actionName(decide(c.local, c.remote, c.base, c.subscribed).action).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Table, Decisions,
    ::testing::Values(
        DecisionCase{"inStep", oldLocal, oldRemote, fileRecord, true, {}},
        DecisionCase{"newLocalUploads", newLocal, std::nullopt, std::nullopt, true, {A::none, A::upload}},
        DecisionCase{"newRemoteDownloads", std::nullopt, newRemote, std::nullopt, true, {A::none, A::download}},
        DecisionCase{"localChangeUploads", newLocal, oldRemote, fileRecord, true, {A::none, A::upload}},
        DecisionCase{"remoteChangeDownloads", oldLocal, newRemote, fileRecord, true, {A::none, A::download}},
        DecisionCase{"localDeletionDeletesRemote", std::nullopt, oldRemote, fileRecord, true, {A::none, A::deleteRemote}},
        DecisionCase{"remoteDeletionDeletesLocal", oldLocal, std::nullopt, fileRecord, true, {A::none, A::deleteLocal}},
        DecisionCase{"bothChangedResolves", newLocal, newRemote, fileRecord, true, {A::none, A::resolveBothChanged}},
        DecisionCase{"bothNewResolves", newLocal, newRemote, std::nullopt, true, {A::none, A::resolveBothChanged}},
        DecisionCase{"deletedLocallyChangedRemotelyComesBack", std::nullopt, newRemote, fileRecord, true,
                     {A::none, A::download}},
        DecisionCase{"changedLocallyDeletedRemotelyGoesBack", newLocal, std::nullopt, fileRecord, true,
                     {A::none, A::upload}},
        DecisionCase{"goneOnBothSidesIsForgotten", std::nullopt, std::nullopt, fileRecord, true, {A::none, A::forget}},
        // An inode change alone is a new version: editors save by renaming a new file over the old.
        DecisionCase{"renamedOverIsAChange", file(10, 100, 2), oldRemote, fileRecord, true, {A::none, A::upload}},
        DecisionCase{"newLocalFolder", folder(), std::nullopt, std::nullopt, true, {A::none, A::createRemoteFolder}},
        DecisionCase{"newRemoteFolder", std::nullopt, folder(), std::nullopt, true, {A::none, A::createLocalFolder}},
        DecisionCase{"foldersOnBothSidesAgree", folder(), folder(), std::nullopt, true, {A::none, A::recordInSync}},
        DecisionCase{"localFileBecameFolder", folder(), oldRemote, fileRecord, true,
                     {A::deleteRemote, A::createRemoteFolder}},
        DecisionCase{"remoteFolderBecameFile", folder(), newRemote, folderRecord, true, {A::deleteLocal, A::download}},
        DecisionCase{"localFolderAgainstRemoteFileResolves", folder(), newRemote, std::nullopt, true,
                     {A::none, A::resolveBothChanged}},
        DecisionCase{"unsubscribedInStepIsRemoved", oldLocal, oldRemote, fileRecord, false,
                     {A::none, A::removeUnsubscribed}},
        DecisionCase{"unsubscribedRemoteIsNotFetched", std::nullopt, newRemote, std::nullopt, false, {}},
        DecisionCase{"unsubscribedLocalChangeStillUploads", newLocal, oldRemote, fileRecord, false,
                     {A::none, A::upload}},
        DecisionCase{"unsubscribedRemoteChangeRemovesUnchangedLocal", oldLocal, newRemote, fileRecord, false,
                     {A::none, A::removeUnsubscribed}}),
    [](const auto& info) { return std::string(info.param.name); });

struct NameCase {
    const char* name;
    QString item;
    QString suffix;
    bool isDirectory;
    int number;
    QString expected;
};

class ConflictNames : public ::testing::TestWithParam<NameCase> {};

TEST_P(ConflictNames, PutTheSuffixBeforeTheExtension) {
    const NameCase& c = GetParam();
    EXPECT_EQ(conflictCopyName(c.item, c.suffix, c.isDirectory, c.number), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConflictNames,
    ::testing::Values(
        NameCase{"plain", "report.txt", "conflicted copy", false, 1, "report (conflicted copy).txt"},
        NameCase{"numbered", "report.txt", "conflicted copy", false, 3, "report (conflicted copy 3).txt"},
        NameCase{"lastExtensionOnly", "a.tar.gz", "conflicted copy", false, 1, "a.tar (conflicted copy).gz"},
        NameCase{"noExtension", "Makefile", "conflicted copy", false, 1, "Makefile (conflicted copy)"},
        NameCase{"dotFile", ".profile", "conflicted copy", false, 1, ".profile (conflicted copy)"},
        NameCase{"folderKeepsDots", "v1.2", "conflicted copy", true, 1, "v1.2 (conflicted copy)"},
        NameCase{"parenthesizedSuffix", "a.txt", "(Konfliktkopie)", false, 1, "a (Konfliktkopie).txt"},
        NameCase{"emptySuffix", "a.txt", "", false, 1, "a (conflicted copy).txt"},
        NameCase{"nonAscii", "Übersicht größe.md", "conflicted copy", false, 1, "Übersicht größe (conflicted copy).md"}),
    [](const auto& info) { return std::string(info.param.name); });

struct SubscriptionCase {
    const char* name;
    std::vector<SelectiveSyncItem> items;
    QString path;
    bool isDirectory;
    bool expected;
};

class Subscriptions : public ::testing::TestWithParam<SubscriptionCase> {};

TEST_P(Subscriptions, DecideWhatIsHeldLocally) {
    const SubscriptionCase& c = GetParam();
    EXPECT_EQ(SubscriptionSet(c.items).contains(c.path, c.isDirectory), c.expected);
}

const std::vector<SelectiveSyncItem> selection{{"/", false, "r"}, {"/Docs", true, "d"}, {"/Photos", false, "p"},
                                               {"/Photos/2023/Best", true, "b"}};

INSTANTIATE_TEST_SUITE_P(
    Table, Subscriptions,
    ::testing::Values(
        SubscriptionCase{"emptyListHoldsEverything", {}, "any/thing.txt", false, true},
        SubscriptionCase{"recursiveRootHoldsEverything", {{"/", true, ""}}, "a/b/c", true, true},
        SubscriptionCase{"fileInNonRecursiveRoot", selection, "top.txt", false, true},
        SubscriptionCase{"otherFolderInRoot", selection, "Music", true, false},
        SubscriptionCase{"fileInOtherFolder", selection, "Music/song.mp3", false, false},
        SubscriptionCase{"deepInRecursiveFolder", selection, "Docs/a/b/c.txt", false, true},
        SubscriptionCase{"sameNamePrefixIsAnotherFolder", selection, "Docs 2/c.txt", false, false},
        SubscriptionCase{"fileInNonRecursiveFolder", selection, "Photos/cover.jpg", false, true},
        SubscriptionCase{"subfolderOfNonRecursiveFolder", selection, "Photos/2022", true, false},
        SubscriptionCase{"containerOnTheWayDown", selection, "Photos/2023", true, true},
        SubscriptionCase{"fileInContainerIsNotHeld", selection, "Photos/2023/x.jpg", false, false},
        SubscriptionCase{"insideDeepRecursiveItem", selection, "Photos/2023/Best/a.jpg", false, true},
        SubscriptionCase{"trailingSlashesAreNormalized", {{"/", false, ""}, {"/Docs/", true, ""}}, "Docs/x", false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SubscriptionSet, AddingAFolderHoldsItWithEverythingBelow) {
    SubscriptionSet set(selection);
    EXPECT_TRUE(set.add(QStringLiteral("Music")));
    EXPECT_TRUE(set.contains(QStringLiteral("Music/a/b.mp3"), false));
    EXPECT_FALSE(set.add(QStringLiteral("Docs/sub")));  // held already
    EXPECT_EQ(set.items().size(), selection.size() + 1);
    EXPECT_EQ(set.items().back().path, QStringLiteral("/Music"));
}

struct RelativeCase {
    const char* name;
    QString root;
    QString path;
    std::optional<QString> expected;
};

class RelativePaths : public ::testing::TestWithParam<RelativeCase> {};

TEST_P(RelativePaths, CompareWholeComponents) {
    const RelativeCase& c = GetParam();
    EXPECT_EQ(SyncFileSystem::relativeTo(c.root, c.path), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, RelativePaths,
    ::testing::Values(RelativeCase{"inside", "/x/Orvella", "/x/Orvella/a/b", QStringLiteral("a/b")},
                      RelativeCase{"rootItself", "/x/Orvella", "/x/Orvella/", QString()},
                      RelativeCase{"siblingWithSamePrefix", "/x/Orvella", "/x/Orvella 1/a", std::nullopt},
                      RelativeCase{"outside", "/x/Orvella", "/y/a", std::nullopt},
                      RelativeCase{"climbingOut", "/x/Orvella", "/x/Orvella/../secret", std::nullopt},
                      RelativeCase{"rootWithSlash", "/x/Orvella/", "/x/Orvella/a", QStringLiteral("a")}),
    [](const auto& info) { return std::string(info.param.name); });

// A refusal the quota cannot explain: only a small file refused says the storage is full.
TEST(NoRemoteRoom, TellsAFullStorageFromAFileTooLarge) {
    using K = SyncError::Kind;
    EXPECT_EQ(noRemoteRoomError(std::nullopt, 3'000'000'000), K::fileTooLargeForRemoteStorage);
    EXPECT_EQ(noRemoteRoomError(std::nullopt, 20'000), K::insufficientRemoteStorage);
    EXPECT_EQ(noRemoteRoomError(50'000'000, 20'000), K::insufficientRemoteStorage) << "refused though the quota has room";
}

}  // namespace
