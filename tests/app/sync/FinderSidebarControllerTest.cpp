#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

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
    QString userName;
};

QByteArray uri(const QString& path) { return SidebarBookmark::uriForPath(path).toUtf8(); }

class FinderSidebarControllerTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(tree.isValid());
        UserDefaults::standard().removeObject(FinderSidebarController::addedFoldersKey);
        resolver->syncFolder = path(QStringLiteral("home/Orvella"));
        resolver->userName = QStringLiteral("anna");
    }
    void TearDown() override { UserDefaults::standard().removeObject(FinderSidebarController::addedFoldersKey); }

    QString path(const QString& sub) const { return QDir::cleanPath(tree.path() + u'/' + sub); }
    void makeFolder(const QString& sub) const { ASSERT_TRUE(QDir().mkpath(path(sub))); }
    void makeSyncFolder(const QString& sub) const {
        makeFolder(sub + QStringLiteral("/.ovmd.db"));
        QFile marker(path(sub + QStringLiteral("/.ovmd.db/accountId")));
        ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
        marker.write("acc-1");
    }
    void writeBookmarks(const QByteArray& content) const {
        QFile file(bookmarksFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    QByteArray bookmarks() const {
        QFile file(bookmarksFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString bookmarksFile() const { return path(QStringLiteral("bookmarks")); }
    FinderSidebarController controller() const { return FinderSidebarController(resolver, SidebarBookmarks(bookmarksFile())); }

    QTemporaryDir tree;
    std::shared_ptr<FixedPathResolver> resolver = std::make_shared<FixedPathResolver>();
};

TEST_F(FinderSidebarControllerTest, FavoritesCarryNameAndTheTargetWhenItResolves) {
    makeFolder(QStringLiteral("Documents"));
    writeBookmarks(uri(path(QStringLiteral("Documents"))) + "\n" + uri(path(QStringLiteral("gone"))) + " Old stuff\n" +
                   "sftp://server/srv Server\nnot a bookmark\n");
    const auto favorites = controller().favorites();
    ASSERT_TRUE(favorites);
    ASSERT_EQ(favorites->size(), 3u);
    const struct {
        std::optional<QUrl> url;
        const char* name;
    } expected[] = {{QUrl::fromLocalFile(path(QStringLiteral("Documents"))), "Documents"},
                    {std::nullopt, "Old stuff"},
                    {std::nullopt, "Server"}};
    for (size_t i = 0; i < favorites->size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ((*favorites)[i].url, expected[i].url);
        EXPECT_EQ((*favorites)[i].name, QString::fromUtf8(expected[i].name));
    }
    // Equal by URL alone.
    EXPECT_EQ((FinderSidebarFavorite{QUrl::fromLocalFile("/a"), "x"}), (FinderSidebarFavorite{QUrl::fromLocalFile("/a"), "y"}));
    EXPECT_NE((FinderSidebarFavorite{QUrl::fromLocalFile("/a"), "x"}), (FinderSidebarFavorite{std::nullopt, "x"}));
    EXPECT_EQ((FinderSidebarFavorite{std::nullopt, "x"}), (FinderSidebarFavorite{std::nullopt, "y"}));
}

TEST_F(FinderSidebarControllerTest, AddingAppendsOnceAndOnlyWithATarget) {
    const QByteArray foreign = "file:///srv/a A\n";
    writeBookmarks(foreign);
    const QString folder = path(QStringLiteral("home/Orvella"));  // not made yet: added all the same
    controller().addFavorite({std::nullopt, QStringLiteral("Orvella")});
    EXPECT_EQ(bookmarks(), foreign);
    controller().addFavorite({QUrl::fromLocalFile(folder), QStringLiteral("Orvella")});
    controller().addFavorite({QUrl::fromLocalFile(folder), QStringLiteral("Orvella")});
    EXPECT_EQ(bookmarks(), foreign + uri(folder) + " Orvella\n");

    // A list that cannot be read gets nothing.
    QFile::remove(bookmarksFile());
    makeFolder(QStringLiteral("bookmarks"));
    controller().addFavorite({QUrl::fromLocalFile(path(QStringLiteral("other"))), QStringLiteral("Other")});
    EXPECT_TRUE(QFileInfo(bookmarksFile()).isDir());
}

TEST_F(FinderSidebarControllerTest, AddingToAnEmptySidebarFileAppendsTheFirstEntry) {
    // The desktop's own places are not in the file, so an empty or missing file is a sidebar with
    // favourites all the same.
    const QString folder = path(QStringLiteral("home/Orvella"));
    controller().addFavorite({QUrl::fromLocalFile(folder), QStringLiteral("Orvella")});
    EXPECT_EQ(bookmarks(), uri(folder) + " Orvella\n");
}

TEST_F(FinderSidebarControllerTest, RemovingTakesOutTheSyncFolderItsUserAreaAndDeadEntriesNamedLikeTheUser) {
    const QString nfc = QString::fromUtf8("caf\xc3\xa9");
    const QString nfd = nfc.normalized(QString::NormalizationForm_D);
    ASSERT_NE(nfc, nfd);
    struct Case {
        const char* name;
        std::function<void(FinderSidebarControllerTest&)> prepare;
        QByteArray entry;
        bool removed;
    };
    const Case cases[] = {
        {"the sync folder", [](auto& t) { t.makeFolder(QStringLiteral("home/Orvella")); },
         uri(path(QStringLiteral("home/Orvella"))) + " Orvella", true},
        {"the sync folder with a trailing separator", [](auto& t) { t.makeFolder(QStringLiteral("home/Orvella")); },
         uri(path(QStringLiteral("home/Orvella"))) + "/", true},
        {"the user's folder in it", [](auto& t) { t.makeFolder(QStringLiteral("home/Orvella/users/anna")); },
         uri(path(QStringLiteral("home/Orvella/users/anna"))), true},
        {"another folder in it", [](auto& t) { t.makeFolder(QStringLiteral("home/Orvella/users/bob")); },
         uri(path(QStringLiteral("home/Orvella/users/bob"))), false},
        {"dead entry named like the user", [](auto&) {}, uri(path(QStringLiteral("gone"))) + " anna", true},
        {"live entry named like the user", [](auto& t) { t.makeFolder(QStringLiteral("live")); },
         uri(path(QStringLiteral("live"))) + " anna", false},
        {"dead entry named otherwise", [](auto&) {}, uri(path(QStringLiteral("gone"))) + " bob", false},
        {"a folder beside the sync folder", [](auto& t) { t.makeFolder(QStringLiteral("home/Orvella 1")); },
         uri(path(QStringLiteral("home/Orvella 1"))), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(path(QStringLiteral("home"))).removeRecursively();
        c.prepare(*this);
        const QByteArray foreign = "file:///srv/a A\nsftp://server/x Server\n";
        writeBookmarks(foreign + c.entry + "\n" + "file:///srv/b B\n");
        controller().removeSyncRootFavorite();
        EXPECT_EQ(bookmarks(), c.removed ? foreign + "file:///srv/b B\n" : foreign + c.entry + "\nfile:///srv/b B\n");
    }

    // Canonically equivalent spellings of the sync folder count as the same path.
    resolver->syncFolder = path(nfc);
    makeFolder(nfd);
    writeBookmarks(uri(path(nfd)) + "\n");
    controller().removeSyncRootFavorite();
    EXPECT_EQ(bookmarks(), QByteArray());
}

TEST_F(FinderSidebarControllerTest, WithoutUserOrSyncFolderOnlyTheirEntriesStay) {
    resolver->syncFolder.reset();
    resolver->userName.clear();
    makeFolder(QStringLiteral("home/Orvella"));
    const QByteArray content = uri(path(QStringLiteral("home/Orvella"))) + "\n" + uri(path(QStringLiteral("gone"))) + " anna\n";
    writeBookmarks(content);
    controller().removeSyncRootFavorite();
    EXPECT_EQ(bookmarks(), content);
}

TEST_F(FinderSidebarControllerTest, ReplacingLeavesOnlyTheCurrentSyncFolderAfterTheRootMoved) {
    const QByteArray foreign = "file:///srv/a A\n";
    writeBookmarks(foreign);
    makeSyncFolder(QStringLiteral("first/Orvella"));
    resolver->syncFolder = path(QStringLiteral("first/Orvella"));
    controller().replaceSyncRootFavorite(*resolver->syncFolder);
    EXPECT_EQ(bookmarks(), foreign + uri(path(QStringLiteral("first/Orvella"))) + " Orvella\n");

    // The sync root moves on; the old folder may still be there, or already gone.
    for (const bool oldFolderRemains : {true, false}) {
        SCOPED_TRACE(oldFolderRemains ? "old folder remains" : "old folder gone");
        writeBookmarks(foreign + uri(path(QStringLiteral("first/Orvella"))) + " Orvella\n");
        UserDefaults::standard().setObject(FinderSidebarController::addedFoldersKey,
                                           QVariantList{path(QStringLiteral("first/Orvella"))});
        if (!oldFolderRemains) QDir(path(QStringLiteral("first"))).removeRecursively();
        resolver->syncFolder = path(QStringLiteral("second/Orvella"));
        controller().replaceSyncRootFavorite(*resolver->syncFolder);
        EXPECT_EQ(bookmarks(), foreign + uri(path(QStringLiteral("second/Orvella"))) + " Orvella\n");
        EXPECT_EQ(UserDefaults::standard().arrayForKey(FinderSidebarController::addedFoldersKey),
                  QVariantList{path(QStringLiteral("second/Orvella"))});
        makeSyncFolder(QStringLiteral("first/Orvella"));
    }

    // Sign-out takes the entry out and forgets it.
    controller().removeSyncRootFavorite();
    EXPECT_EQ(bookmarks(), foreign);
    EXPECT_FALSE(UserDefaults::standard().arrayForKey(FinderSidebarController::addedFoldersKey));
}

TEST_F(FinderSidebarControllerTest, EarlierSyncFoldersAreKnownByTheirMarkerToo) {
    // Nothing remembered (say after a reset): the marker tells an earlier sync folder from a folder
    // that merely carries the name.
    makeSyncFolder(QStringLiteral("old/Orvella"));
    makeFolder(QStringLiteral("plain/Orvella"));
    const QByteArray kept = uri(path(QStringLiteral("plain/Orvella"))) + "\n";
    writeBookmarks(uri(path(QStringLiteral("old/Orvella"))) + " Orvella\n" + kept);
    controller().removeSyncRootFavorite();
    EXPECT_EQ(bookmarks(), kept);
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
