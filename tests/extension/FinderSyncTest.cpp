#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <functional>

#include "extension/FinderSync.h"
#include "platform/findersync/FinderSyncController.h"
#include "support/TestEnvironment.h"

namespace {

QUrl file(const QString& path) { return QUrl::fromLocalFile(path); }

struct InsideCase {
    const char* name;
    const char* item;
    const char* folder;
    bool inside;
};

class IsURLInside : public ::testing::TestWithParam<InsideCase> {};

TEST_P(IsURLInside, ComparesWholeComponents) {
    const InsideCase& c = GetParam();
    EXPECT_EQ(FinderSync::isURL(file(QString::fromUtf8(c.item)), file(QString::fromUtf8(c.folder))), c.inside);
}

INSTANTIATE_TEST_SUITE_P(
    Table, IsURLInside,
    ::testing::Values(InsideCase{"Child", "/h/Orvella/a.txt", "/h/Orvella", true},
                      InsideCase{"Deep", "/h/Orvella/x/y/z", "/h/Orvella/", true},
                      InsideCase{"Itself", "/h/Orvella", "/h/Orvella", true},
                      InsideCase{"ItselfWithSlash", "/h/Orvella/", "/h/Orvella", true},
                      InsideCase{"SiblingSharingThePrefix", "/h/Orvella 1/a", "/h/Orvella", false},
                      InsideCase{"SiblingGluedToThePrefix", "/h/Orvellax", "/h/Orvella", false},
                      InsideCase{"Parent", "/h", "/h/Orvella", false},
                      InsideCase{"CaseMatters", "/h/orvella/a", "/h/Orvella", false},
                      InsideCase{"DecomposedEqualsComposed", "/h/Cafe\xcc\x81/a", "/h/Caf\xc3\xa9", true},
                      InsideCase{"RootHoldsEverything", "/anything/at/all", "/", true}),
    [](const auto& info) { return std::string(info.param.name); });

struct MoveCase {
    const char* name;
    const char* path;
    const char* oldPath;
    const char* newPath;
    const char* moved;
};

class MovedPath : public ::testing::TestWithParam<MoveCase> {};

TEST_P(MovedPath, ReplacesOnlyTheLeadingPath) {
    const MoveCase& c = GetParam();
    EXPECT_EQ(FinderSync::movedPath(QString::fromUtf8(c.path), QString::fromUtf8(c.oldPath),
                                    QString::fromUtf8(c.newPath))
                  .toStdString(),
              c.moved);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MovedPath,
    ::testing::Values(
        MoveCase{"Item", "/x/Orvella/a.txt", "/x/Orvella", "/y/Orvella", "/y/Orvella/a.txt"},
        MoveCase{"TheFolderItself", "/x/Orvella", "/x/Orvella", "/y/Renamed", "/y/Renamed"},
        MoveCase{"OldPathTwiceInside", "/x/Orvella/x/Orvella/f", "/x/Orvella", "/z", "/z/x/Orvella/f"},
        MoveCase{"OldPathLaterOnly", "/a/x/Orvella/f", "/x/Orvella", "/z", "/a/x/Orvella/f"},
        MoveCase{"SiblingWithLongerName", "/x/Orvella 1/f", "/x/Orvella", "/y/Orvella", "/x/Orvella 1/f"},
        MoveCase{"TrailingSlashes", "/x/Orvella/f", "/x/Orvella/", "/y/New/", "/y/New/f"},
        MoveCase{"ToTheRoot", "/x/Orvella/f", "/x/Orvella", "/", "/f"}),
    [](const auto& info) { return std::string(info.param.name); });

// A sync folder under a temp home, a host controller of the test's own and a badge query that
// answers from a table and counts its calls.
class FinderSyncTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        root_ = home_.path() + QStringLiteral("/Orvella");
        ASSERT_TRUE(QDir().mkpath(root_ + QStringLiteral("/docs")));
        FinderSyncController::setDefaultController(&controller_);
        controller_.setDirectoriesObserver([this](const QSet<QUrl>& urls) { directoryLists_.append(urls); });
    }
    void TearDown() override { FinderSyncController::setDefaultController(nullptr); }

    std::unique_ptr<FinderSync> makeExtension() {
        FinderSync::Options options;
        options.connectToApplication = false;
        options.badgeQuery = [this](const QUrl& url) {
            queried_.append(url.path());
            return answers_.value(url.path(), QStringLiteral("synced"));
        };
        return std::make_unique<FinderSync>(options);
    }

    QTemporaryDir home_;
    QString root_;
    FinderSyncController controller_;
    QList<QSet<QUrl>> directoryLists_;
    QStringList queried_;
    QHash<QString, QString> answers_;
};

TEST_F(FinderSyncTest, StartsWithSixRegisteredBadgesAndAPortNameOfItsOwn) {
    auto first = makeExtension();
    auto second = makeExtension();
    EXPECT_EQ(controller_.registeredBadgeIdentifiers(),
              (QStringList{"error", "ignored", "readOnly", "selectivelyNotSynced", "synced", "syncing"}));
    EXPECT_EQ(controller_.registeredBadge("readOnly")->label, "Read Only");
    const QString prefix = QStringLiteral("group.example.orvella.");
    EXPECT_TRUE(first->finderSyncExtensionMessagePortName().startsWith(prefix));
    EXPECT_EQ(first->finderSyncExtensionMessagePortName().size(), prefix.size() + 7);
    EXPECT_NE(first->finderSyncExtensionMessagePortName(), second->finderSyncExtensionMessagePortName());
    EXPECT_FALSE(first->syncDirectory());
}

TEST_F(FinderSyncTest, OnlyItemsInsideTheSyncFolderAreAskedForAndRemembered) {
    auto extension = makeExtension();
    extension->requestBadgeIdentifierForURL(file(root_ + "/a"));
    EXPECT_TRUE(queried_.isEmpty()) << "no sync folder yet: no query";

    answers_.insert(root_ + "/docs/b", QStringLiteral("syncing"));
    extension->updateSyncDirectory(root_);
    ASSERT_TRUE(extension->syncDirectory());
    EXPECT_EQ(directoryLists_.last(), QSet<QUrl>{file(root_ + "/")});
    EXPECT_EQ(controller_.badgeIdentifier(file(root_)), "synced") << "the folder gets its badge at once";

    for (const QString& path : {root_ + "/docs", root_ + "/docs/b", home_.path() + "/Orvella 1/c", home_.path()})
        extension->requestBadgeIdentifierForURL(file(path));
    EXPECT_EQ(queried_, (QStringList{root_ + "/", root_ + "/docs", root_ + "/docs/b"}));
    EXPECT_EQ(controller_.badgeIdentifier(file(root_ + "/docs/b")), "syncing");
    EXPECT_EQ(extension->monitoredURLs().size(), 3);

    // Leaving "docs" forgets what lies below it, not the folder itself.
    extension->endObservingDirectoryAtURL(file(root_ + "/docs"));
    EXPECT_EQ(extension->monitoredURLs(), (QSet<QUrl>{file(root_ + "/"), file(root_ + "/docs")}));
}

// The same folder announced again (the application registering, pushing its folder) sets the
// watched folders again only when badges shown may be wrong: each set makes the file manager ask
// for every item once more.
struct SamePathCase {
    const char* name;
    std::function<void(FinderSync&, const QString& root)> meanwhile;
    bool asksAgain;
};

class SamePathAgain : public FinderSyncTest, public ::testing::WithParamInterface<SamePathCase> {};

TEST_P(SamePathAgain, SetsTheWatchedFoldersAgainOnlyWhenBadgesMayBeStale) {
    auto extension = makeExtension();
    answers_.insert(root_ + "/unanswered", QStringLiteral("unknown"));  // what an application away answers
    extension->updateSyncDirectory(root_);
    extension->requestBadgeIdentifierForURL(file(root_ + "/docs"));
    GetParam().meanwhile(*extension, root_);
    directoryLists_.clear();
    queried_.clear();
    extension->updateSyncDirectory(root_);
    if (GetParam().asksAgain) {
        EXPECT_EQ(directoryLists_, (QList<QSet<QUrl>>{{}, {file(root_ + "/")}}));
        EXPECT_EQ(queried_, QStringList{root_ + "/"});
    } else {
        EXPECT_TRUE(directoryLists_.isEmpty());
        EXPECT_TRUE(queried_.isEmpty());
    }
    EXPECT_EQ(controller_.directoryURLs(), QSet<QUrl>{file(root_ + "/")});

    // Asked afresh, the badges are current again.
    directoryLists_.clear();
    extension->updateSyncDirectory(root_);
    EXPECT_TRUE(directoryLists_.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, SamePathAgain,
    ::testing::Values(
        SamePathCase{"EveryItemAnswered", [](FinderSync&, const QString&) {}, false},
        SamePathCase{"AnItemWithoutAnswer",
                     [](FinderSync& extension, const QString& root) {
                         extension.requestBadgeIdentifierForURL(file(root + "/unanswered"));
                     },
                     true},
        SamePathCase{"TheApplicationWentAway", [](FinderSync& extension, const QString&) { extension.applicationWentAway(); },
                     true},
        SamePathCase{"AnotherFolderInItsPlace",
                     [](FinderSync&, const QString& root) {
                         ASSERT_TRUE(QDir(root).removeRecursively());
                         ASSERT_TRUE(QDir().mkpath(root));
                     },
                     true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FinderSyncTest, AMovedFolderLosesTheOldBadgesWhereItsItemsNowAre) {
    auto extension = makeExtension();
    extension->updateSyncDirectory(root_);
    extension->requestBadgeIdentifierForURL(file(root_ + "/docs"));
    const QString moved = home_.path() + QStringLiteral("/Moved");
    ASSERT_TRUE(QDir().rename(root_, moved));
    // Badges the file manager still shows at the new place, as it carries them along.
    controller_.setBadgeIdentifier("synced", file(moved + "/"));
    controller_.setBadgeIdentifier("synced", file(moved + "/docs"));

    directoryLists_.clear();
    extension->updateSyncDirectory(moved);
    EXPECT_TRUE(controller_.badgeIdentifier(file(moved + "/docs")).isEmpty());
    EXPECT_EQ(extension->monitoredURLs(), QSet<QUrl>{file(moved + "/")}) << "the old items are forgotten";
    EXPECT_EQ(controller_.badgeIdentifier(file(moved)), "synced") << "the folder is asked for afresh";
    EXPECT_EQ(directoryLists_, QList<QSet<QUrl>>{{file(moved + "/")}});
}

TEST_F(FinderSyncTest, AFolderThatCannotBeIdentifiedShowsNoBadgesButIsStillWatched) {
    auto extension = makeExtension();
    extension->updateSyncDirectory(home_.path() + "/missing");
    EXPECT_FALSE(extension->syncDirectory());
    EXPECT_EQ(directoryLists_.last(), QSet<QUrl>{file(home_.path() + "/missing/")});
    extension->requestBadgeIdentifierForURL(file(home_.path() + "/missing/a"));
    EXPECT_TRUE(queried_.isEmpty());
}

}  // namespace
