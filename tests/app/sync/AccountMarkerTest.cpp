#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTemporaryDir>

#include <mutex>
#include <sys/stat.h>

#include "app/core/UserController.h"
#include "app/core/support/PathsTestSupport.h"
#include "support/FakeBusinessUser.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/sync/OVFileSystemMetadataController.h"
#include "frameworks/logger/Logger.h"

namespace {

using Tree = std::initializer_list<std::pair<const char*, const char*>>;

mode_t modeOf(const QString& path) {
    struct stat info {};
    return ::lstat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0;
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

class AccountMarkerTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        signIn(QStringLiteral("acc-1"));
    }
    void signIn(const QString& accountId) {
        facade.facade().user = std::make_shared<FakeBusinessUser>(accountId, QStringLiteral("anna"));
        users.update();
    }
    QString path(const char* sub) const { return dir.path() + u'/' + QString::fromUtf8(sub); }
    // A fresh tree for each case of a table.
    void resetTree(Tree items) {
        for (const QString& name : QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden)) {
            QDir(dir.path() + u'/' + name).removeRecursively();
            QFile::remove(dir.path() + u'/' + name);
        }
        ASSERT_TRUE(makeTree(dir.path(), items));
    }

    ScopedTestBusinessFacade facade{QStringLiteral("accountmarker")};
    UserController users;
    OVFileSystemMetadataController metadata{users};
    QTemporaryDir dir;
};

TEST_F(AccountMarkerTest, CreatesAnOwnerOnlyMarkerWithTheBareAccountIdAndKeepsAnExistingOne) {
    resetTree({{"Orvella", nullptr}});
    metadata.createAccountInfoFile(path("Orvella"));
    EXPECT_EQ(contentOf(path("Orvella/.ovmd.db/accountId")), QByteArray("acc-1"));
    EXPECT_EQ(modeOf(path("Orvella/.ovmd.db")), 0700u);
    EXPECT_EQ(modeOf(path("Orvella/.ovmd.db/accountId")), 0600u);
    EXPECT_EQ(QDir(path("Orvella/.ovmd.db")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"accountId"}));  // no temporary file left

    // Set-up for another account, or over an existing marker folder of other making: what is there
    // stays, what is missing is added.
    signIn(QStringLiteral("acc-2"));
    metadata.createAccountInfoFile(path("Orvella"));
    EXPECT_EQ(contentOf(path("Orvella/.ovmd.db/accountId")), QByteArray("acc-1"));
    QFile::remove(path("Orvella/.ovmd.db/accountId"));
    ::chmod(QFile::encodeName(path("Orvella/.ovmd.db")).constData(), 0755);
    metadata.createAccountInfoFile(path("Orvella"));
    EXPECT_EQ(contentOf(path("Orvella/.ovmd.db/accountId")), QByteArray("acc-2"));
    EXPECT_EQ(modeOf(path("Orvella/.ovmd.db")), 0755u);
}

TEST_F(AccountMarkerTest, FailuresAreLoggedAndMakeNothing) {
    std::mutex mutex;
    QStringList logged;
    const auto sink = Logger::addSink([&](const LogEntry& entry) {
        std::lock_guard lock(mutex);
        if (entry.channel == QLatin1String("Setup")) logged << entry.message;
    });
    resetTree({{"blocked/Orvella/.ovmd.db", "a file where the marker folder goes"}});
    // No intermediate folders are made, so a missing sync folder stays missing.
    for (const char* folder : {"missing/Orvella", "blocked/Orvella"}) {
        SCOPED_TRACE(folder);
        metadata.createAccountInfoFile(path(folder));
        Logger::flush();
        std::lock_guard lock(mutex);
        ASSERT_EQ(logged.size(), 1);
        EXPECT_TRUE(logged.takeFirst().startsWith(
            QStringLiteral("Failed to create the metadata folder or account file. Error: ")));
    }
    Logger::removeSink(sink);
    EXPECT_FALSE(QFileInfo::exists(path("missing")));
}

TEST_F(AccountMarkerTest, WithoutUserNothingIsWrittenAndQuestionsFail) {
    facade.facade().user.reset();
    users.update();
    resetTree({{"Orvella", nullptr}});
    metadata.createAccountInfoFile(path("Orvella"));
    EXPECT_FALSE(QFileInfo::exists(path("Orvella/.ovmd.db")));
    const auto belongs = metadata.belongsToOtherAccount(dir.path());
    ASSERT_FALSE(belongs.isSuccess());
    EXPECT_EQ(belongs.error(), OVFileSystemMetadataError::unknownAccountId);
    // Also for a folder without "Orvella".
    EXPECT_FALSE(metadata.proposedSyncRootURL(path("empty")).isSuccess());
}

TEST_F(AccountMarkerTest, MarkerBelongsToAnotherAccountOnlyWhenItReadsAsAnotherId) {
    const struct {
        const char* name;
        Tree tree;
        bool belongsToOther;
    } cases[] = {
        {"no sync folder", {}, false},
        {"no marker", {{"Orvella", nullptr}}, false},
        {"this account", {{"Orvella/.ovmd.db/accountId", "acc-1"}}, false},
        {"another account", {{"Orvella/.ovmd.db/accountId", "acc-2"}}, true},
        {"empty", {{"Orvella/.ovmd.db/accountId", ""}}, true},
        {"line end is not trimmed", {{"Orvella/.ovmd.db/accountId", "acc-1\n"}}, true},
        {"not UTF-8", {{"Orvella/.ovmd.db/accountId", "acc-\xff"}}, false},
        {"a folder", {{"Orvella/.ovmd.db/accountId", nullptr}}, false},
        {"a pipe, which must not block", {{"Orvella/.ovmd.db", nullptr}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        resetTree(c.tree);
        if (QByteArray(c.name).startsWith("a pipe")) {
            ASSERT_EQ(::mkfifo(QFile::encodeName(path("Orvella/.ovmd.db/accountId")).constData(), 0600), 0);
        }
        const auto belongs = metadata.belongsToOtherAccount(dir.path());
        ASSERT_TRUE(belongs.isSuccess());
        EXPECT_EQ(belongs.value(), c.belongsToOther);
    }
}

TEST_F(AccountMarkerTest, InsideSyncRootLooksUpToButNotIntoTheRoot) {
    resetTree({{"home/Orvella/.ovmd.db/accountId", "acc-1"}, {"home/Orvella/a/b", nullptr},
               {"home/Orvella 1/a", nullptr}});
    const struct {
        const char* folder;
        bool inside;
    } cases[] = {{"home/Orvella", true}, {"home/Orvella/a/b/", true}, {"home/Orvella/missing/x", true},
                 {"home", false},        {"home/Orvella 1/a", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        EXPECT_EQ(metadata.isInsideSyncRoot(path(c.folder)), c.inside);
    }
    EXPECT_FALSE(metadata.isInsideSyncRoot(QStringLiteral("/")));
}

TEST_F(AccountMarkerTest, ProposalAvoidsOtherAccountsAndNestedSyncFolders) {
    const struct {
        const char* name;
        Tree tree;
        const char* candidate;
        const char* proposal;
    } cases[] = {
        {"no Orvella folder", {}, "p", "p"},
        {"Orvella folder without marker", {{"p/Orvella", nullptr}}, "p", "p"},
        {"this account's folder", {{"p/Orvella/.ovmd.db/accountId", "acc-1"}}, "p", "p"},
        {"another account's folder", {{"p/Orvella/.ovmd.db/accountId", "acc-2"}}, "p", "p/Orvella 1"},
        {"numbers taken by a folder and a file",
         {{"p/Orvella/.ovmd.db/accountId", "acc-2"}, {"p/Orvella 1", nullptr}, {"p/Orvella 2", "x"}},
         "p",
         "p/Orvella 3"},
        {"inside a sync folder, holding an Orvella folder",
         {{"q/Orvella/.ovmd.db/accountId", "acc-1"}, {"q/Orvella/sub/Orvella", nullptr}},
         "q/Orvella/sub",
         "q/Orvella 1"},
        {"inside two nested sync folders",
         {{"r/Orvella/.ovmd.db/accountId", "acc-1"},
          {"r/Orvella/x/Orvella/.ovmd.db/accountId", "acc-1"},
          {"r/Orvella/x/Orvella/y/Orvella", nullptr},
          {"r/Orvella 1", nullptr}},
         "r/Orvella/x/Orvella/y",
         "r/Orvella 2"},
        {"inside a sync folder, without an Orvella folder",
         {{"s/Orvella/.ovmd.db/accountId", "acc-1"}, {"s/Orvella/sub", nullptr}},
         "s/Orvella/sub",
         "s/Orvella/sub"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        resetTree(c.tree);
        const auto proposed = metadata.proposedSyncRootURL(path(c.candidate));
        ASSERT_TRUE(proposed.isSuccess());
        EXPECT_EQ(proposed.value(), QUrl::fromLocalFile(path(c.proposal)));
    }
}

// A damaged marker is mended only for the very folder this account's marker was last written in;
// any other folder with a damaged or foreign marker is refused, and its marker left as it is.
TEST_F(AccountMarkerTest, ClaimMendsADamagedMarkerOnlyInAFolderProvedToBeThisAccounts) {
    enum class Proof { none, sameFolder, replacedFolder };
    const struct {
        const char* name;
        Proof proof;
        Tree damage;
        OVSyncFolderClaim claim;
        QByteArray markerAfter;
    } cases[] = {
        {"no marker", Proof::none, {{"Orvella/a.txt", "a"}}, OVSyncFolderClaim::usable, "<unreadable>"},
        {"another account", Proof::sameFolder, {{"Orvella/.ovmd.db/accountId", "acc-other"}},
         OVSyncFolderClaim::otherAccount, "acc-other"},
        {"marker is a file, proved", Proof::sameFolder, {{"Orvella/.ovmd.db", "x"}}, OVSyncFolderClaim::usable, "ME"},
        {"empty, proved", Proof::sameFolder, {{"Orvella/.ovmd.db/accountId", ""}}, OVSyncFolderClaim::usable, "ME"},
        {"not UTF-8, proved", Proof::sameFolder, {{"Orvella/.ovmd.db/accountId", "\x01\xff"}}, OVSyncFolderClaim::usable, "ME"},
        {"text that is no id, proved", Proof::sameFolder, {{"Orvella/.ovmd.db/accountId", "ME\n"}},
         OVSyncFolderClaim::usable, "ME"},
        {"marker file gone, proved", Proof::sameFolder, {{"Orvella/.ovmd.db/other", "x"}}, OVSyncFolderClaim::usable, "ME"},
        {"marker is a file, never seen", Proof::none, {{"Orvella/.ovmd.db", "x"}}, OVSyncFolderClaim::unproven,
         "<unreadable>"},
        {"empty, never seen", Proof::none, {{"Orvella/.ovmd.db/accountId", ""}}, OVSyncFolderClaim::unproven, ""},
        {"empty, folder replaced under the same name", Proof::replacedFolder, {{"Orvella/.ovmd.db/accountId", ""}},
         OVSyncFolderClaim::unproven, ""},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        // An account of its own per case: what one case proved must not prove the next.
        const QString me = QStringLiteral("acc-claim-%1-%2").arg(QCoreApplication::applicationPid()).arg(++n);
        signIn(me);
        resetTree({{"Orvella", nullptr}});
        if (c.proof != Proof::none) metadata.createAccountInfoFile(path("Orvella"));
        if (c.proof == Proof::replacedFolder) {
            ASSERT_TRUE(QDir().rename(path("Orvella"), path("kept")));
        }
        QDir(path("Orvella/.ovmd.db")).removeRecursively();
        ASSERT_TRUE(makeTree(dir.path(), c.damage));

        const auto claim = metadata.claimSyncFolder(path("Orvella"));
        ASSERT_TRUE(claim.isSuccess());
        EXPECT_EQ(claim.value(), c.claim);
        QByteArray expected = c.markerAfter;
        expected.replace("ME", me.toUtf8());
        EXPECT_EQ(contentOf(path("Orvella/.ovmd.db/accountId")), expected);
        // Set-up refuses a folder of unproven ownership, so onboarding must not propose it again.
        const auto proposed = metadata.proposedSyncRootURL(dir.path());
        ASSERT_TRUE(proposed.isSuccess());
        EXPECT_EQ(proposed.value() == QUrl::fromLocalFile(dir.path()), c.claim == OVSyncFolderClaim::usable);
    }
}

TEST_F(AccountMarkerTest, OwnerExclusiveLeavesOnlyTheOwnersAccessAndRefusesLinks) {
    resetTree({{"folder", nullptr}, {"file", ""}});
    ASSERT_TRUE(QFile::link(path("file"), path("link")));
    const struct {
        const char* item;
        mode_t before, after;
    } cases[] = {{"folder", 0777, 0700}, {"folder", 0500, 0700}, {"file", 0666, 0600}, {"file", 0755, 0700}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.item) + " " + std::to_string(c.before));
        ASSERT_EQ(::chmod(QFile::encodeName(path(c.item)).constData(), c.before), 0);
        EXPECT_EQ(OVFileSystemMetadataController::makeItemOwnerExclusive(path(c.item)), QString());
        EXPECT_EQ(modeOf(path(c.item)), c.after);
    }
    ASSERT_EQ(::chmod(QFile::encodeName(path("file")).constData(), 0644), 0);
    EXPECT_NE(OVFileSystemMetadataController::makeItemOwnerExclusive(path("link")), QString());
    EXPECT_EQ(modeOf(path("file")), 0644u);
}

}  // namespace
