#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/core/support/PathsTestSupport.h"
#include "app/sync/FinderSidebarController.h"
#include "platform/foundation/UserDefaults.h"

namespace {

// Answers fixed paths, as the application's resolver would for one sync folder and user.
class FixedPathResolver : public PathResolver {
public:
    QString usersFolderName() const override { return QStringLiteral("users"); }
    std::optional<QString> userHomeLocalPath() const override {
        if (!syncFolder || userName.isEmpty()) return std::nullopt;
        return *syncFolder + QStringLiteral("/users/") + userName;
    }
    QStringList localSystemPaths() const override {
        QStringList paths;
        if (syncFolder) paths << *syncFolder;
        if (const auto home = userHomeLocalPath()) paths << *home;
        return paths;
    }
    QStringList remoteSystemNames() const override { return userName.isEmpty() ? QStringList() : QStringList{userName}; }

    std::optional<QString> syncFolder;
    QString userName = QStringLiteral("anna");
};

class FinderSidebarControllerTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        UserDefaults::standard().removeObject(FinderSidebarController::addedFoldersKey);
        resolver->syncFolder = path("home/Orvella");
    }
    void TearDown() override { UserDefaults::standard().removeObject(FinderSidebarController::addedFoldersKey); }

    QString path(const QString& sub) const { return dir.path() + u'/' + sub; }
    QByteArray uri(const QString& sub) const { return SidebarBookmark::uriForPath(path(sub)).toUtf8(); }
    void writeBookmarks(const QByteArray& content) const {
        QFile file(path("bookmarks"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    QByteArray bookmarks() const {
        QFile file(path("bookmarks"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    FinderSidebarController controller() const {
        return FinderSidebarController(resolver, SidebarBookmarks(path("bookmarks")));
    }
    QVariant remembered() const { return UserDefaults::standard().object(FinderSidebarController::addedFoldersKey); }

    QTemporaryDir dir;
    std::shared_ptr<FixedPathResolver> resolver = std::make_shared<FixedPathResolver>();
};

TEST_F(FinderSidebarControllerTest, FavoritesCarryNameAndTheTargetWhenItResolves) {
    ASSERT_TRUE(makeTree(dir.path(), {{"Documents", nullptr}}));
    writeBookmarks(uri("Documents") + "\n" + uri("gone") + " Old stuff\nsftp://server/srv Server\nnot a bookmark\n");
    const auto favorites = controller().favorites();
    ASSERT_TRUE(favorites);
    const std::vector<std::pair<std::optional<QUrl>, QString>> expected{
        {QUrl::fromLocalFile(path("Documents")), "Documents"}, {std::nullopt, "Old stuff"}, {std::nullopt, "Server"}};
    ASSERT_EQ(favorites->size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ((*favorites)[i].url, expected[i].first);
        EXPECT_EQ((*favorites)[i].name, expected[i].second);
    }
}

TEST_F(FinderSidebarControllerTest, AddingAppendsOnceOnlyWithATargetAndOnlyToAReadableList) {
    // The desktop's own places are not in the file, so a missing file still means a sidebar with
    // favourites: the entry becomes the file's first line. The folder need not exist yet.
    controller().addFavorite({std::nullopt, QStringLiteral("Orvella")});
    EXPECT_EQ(bookmarks(), QByteArray());
    for (int i = 0; i < 2; ++i) controller().addFavorite({QUrl::fromLocalFile(path("home/Orvella")), "Orvella"});
    EXPECT_EQ(bookmarks(), uri("home/Orvella") + " Orvella\n");
    EXPECT_EQ(remembered(), QVariantList{path("home/Orvella")});

    QFile::remove(path("bookmarks"));
    ASSERT_TRUE(QDir().mkpath(path("bookmarks")));  // cannot be read
    controller().addFavorite({QUrl::fromLocalFile(path("other")), QStringLiteral("Other")});
    EXPECT_TRUE(QFileInfo(path("bookmarks")).isDir());
}

TEST_F(FinderSidebarControllerTest, RemovingTakesOutTheSyncFolderItsUserAreaAndDeadEntriesNamedLikeTheUser) {
    const struct {
        const char* name;
        const char* folder;  // made before the removal
        QByteArray entry;
        bool removed;
    } cases[] = {
        {"the sync folder", "home/Orvella", uri("home/Orvella") + " Orvella", true},
        {"the sync folder, trailing separator", "home/Orvella", uri("home/Orvella") + "/", true},
        {"the user's folder in it", "home/Orvella/users/anna", uri("home/Orvella/users/anna"), true},
        {"another user's folder", "home/Orvella/users/bob", uri("home/Orvella/users/bob"), false},
        {"dead entry named like the user", "home", uri("gone") + " anna", true},
        {"live entry named like the user", "live", uri("live") + " anna", false},
        {"dead entry named otherwise", "home", uri("gone") + " bob", false},
        {"a folder beside the sync folder", "home/Orvella 1", uri("home/Orvella 1"), false},
        {"a folder named Orvella without marker", "plain/Orvella", uri("plain/Orvella"), false},
    };
    const QByteArray foreign = "file:///srv/a A\nsftp://server/x Server\n";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(path("home")).removeRecursively();
        ASSERT_TRUE(makeTree(dir.path(), {{c.folder, nullptr}}));
        writeBookmarks(foreign + c.entry + "\nfile:///srv/b B\n");
        controller().removeSyncRootFavorite();
        EXPECT_EQ(bookmarks(), foreign + (c.removed ? QByteArray() : c.entry + "\n") + "file:///srv/b B\n");
    }

    // Canonically equivalent spellings of the sync folder are the same path.
    const QString nfc = QString::fromUtf8("caf\xc3\xa9");
    resolver->syncFolder = path(nfc);
    ASSERT_TRUE(QDir().mkpath(path(nfc.normalized(QString::NormalizationForm_D))));
    writeBookmarks(uri(nfc.normalized(QString::NormalizationForm_D)) + "\n");
    controller().removeSyncRootFavorite();
    EXPECT_EQ(bookmarks(), QByteArray());
}

TEST_F(FinderSidebarControllerTest, ReplacingLeavesOnlyTheCurrentSyncFolderAfterTheRootMoved) {
    const QByteArray foreign = "file:///srv/a A\n";
    // The old folder still there (known by its marker or by having been added), or gone (known only
    // by having been added).
    const struct {
        const char* name;
        bool folderRemains, remembered;
    } cases[] = {{"remains, remembered", true, true}, {"remains, forgotten", true, false}, {"gone, remembered", false, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(path("first")).removeRecursively();
        if (c.folderRemains) {
            ASSERT_TRUE(makeTree(dir.path(), {{"first/Orvella/.ovmd.db/accountId", "acc-1"}}));
        }
        writeBookmarks(foreign + uri("first/Orvella") + " Orvella\n");
        UserDefaults::standard().setObject(FinderSidebarController::addedFoldersKey,
                                           c.remembered ? QVariant(QVariantList{path("first/Orvella")}) : QVariant());
        resolver->syncFolder = path("second/Orvella");
        controller().replaceSyncRootFavorite(*resolver->syncFolder);
        EXPECT_EQ(bookmarks(), foreign + uri("second/Orvella") + " Orvella\n");
        EXPECT_EQ(remembered(), QVariantList{path("second/Orvella")});
    }
    // Sign-out takes the entry out and forgets it.
    controller().removeSyncRootFavorite();
    EXPECT_EQ(bookmarks(), foreign);
    EXPECT_FALSE(remembered().isValid());
}

TEST_F(FinderSidebarControllerTest, MakesItsStorageFolderOnCreation) {
    const auto directory = FinderSidebarFavorite::storageDirectoryURL();
    ASSERT_TRUE(directory);
    EXPECT_EQ(directory->toLocalFile(), qEnvironmentVariable("XDG_DATA_HOME") + "/Orvella/Finder Sidebar Items");
    QDir(directory->toLocalFile()).removeRecursively();
    controller();
    EXPECT_TRUE(QFileInfo(directory->toLocalFile()).isDir());
}

}  // namespace
