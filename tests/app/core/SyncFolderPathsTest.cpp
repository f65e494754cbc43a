#include <gtest/gtest.h>

#include <QHash>
#include <QSet>

#include <unordered_set>

#include "app/core/OVPathResolver.h"
#include "app/core/RemotePath.h"
#include "app/core/SyncFolderPaths.h"
#include "support/FakeBusinessUser.h"
#include "app/core/support/TestBusinessFacade.h"

namespace {

const std::optional<QString> none;

TEST(SyncFolderPathsTest, JoiningLeavesOneSeparatorAndNoTrailingOne) {
    const struct {
        const char* base;
        const char* component;
        const char* joined;
    } cases[] = {
        {"/Users/a/Documents", "Orvella", "/Users/a/Documents/Orvella"},
        {"/Users/a/Documents/", "Orvella", "/Users/a/Documents/Orvella"},
        {"/", "Orvella", "/Orvella"},
        {"/a", "b/c/", "/a/b/c"},
        {"/a//", "//b", "/a/b"},
        {"/a/", "", "/a"},
        {"/home/zoë", "Ünïcødé ✓", "/home/zoë/Ünïcødé ✓"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.base) + " + " + c.component);
        EXPECT_EQ(SyncFolderPaths::appendingPathComponent(QString::fromUtf8(c.base), QString::fromUtf8(c.component)),
                  QString::fromUtf8(c.joined));
    }
}

TEST(SyncFolderPathsTest, RelativePathComparesWholeComponents) {
    const struct {
        const char* path;
        const char* folder;
        const char* relative;  // nullptr: outside
    } cases[] = {
        {"/x/Orvella", "/x/Orvella", "/"},
        {"/x/Orvella/", "/x/Orvella", "/"},
        {"/x/Orvella/a/b", "/x/Orvella", "/a/b"},
        {"/x/Orvella/a/b/", "/x/Orvella", "/a/b"},
        {"/x/Orvella//a", "/x/Orvella/", "/a"},
        {"/x/Orvella 1/a", "/x/Orvella", nullptr},
        {"/x/Orvell", "/x/Orvella", nullptr},
        {"/x", "/x/Orvella", nullptr},
        {"/x/Orvella/../secret", "/x/Orvella", nullptr},
        {"/x/Orvella/a/../b", "/x/Orvella", "/b"},
        {"x/Orvella/a", "/x/Orvella", nullptr},
        {"/home/zoë/Orvella/Übung/ß.txt", "/home/zoë/Orvella", "/Übung/ß.txt"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.path) + " in " + c.folder);
        const auto relative = SyncFolderPaths::relativePath(QString::fromUtf8(c.path), QString::fromUtf8(c.folder));
        EXPECT_EQ(relative, c.relative ? std::optional<QString>(QString::fromUtf8(c.relative)) : none);
        EXPECT_EQ(SyncFolderPaths::isInside(QString::fromUtf8(c.path), QString::fromUtf8(c.folder)),
                  c.relative != nullptr);
    }
}

class SyncFolderSettingTest : public ::testing::Test {
protected:
    ScopedTestBusinessFacade facade{QStringLiteral("syncfolderpaths")};
};

TEST_F(SyncFolderSettingTest, FunctionsFollowTheSyncRootSetting) {
    facade.settings().setSyncRoot(QStringLiteral("/Users/a/Documents"));
    EXPECT_EQ(syncFolderPath(), QStringLiteral("/Users/a/Documents/Orvella"));
    EXPECT_EQ(syncRootPath(QStringLiteral("Orvella/x/y")), QStringLiteral("/Users/a/Documents/Orvella/x/y"));
    EXPECT_EQ(syncRootPath(QStringLiteral("other")), QStringLiteral("/Users/a/Documents/other"));
    EXPECT_EQ(pathRelativeToSyncFolder(QStringLiteral("/Users/a/Documents/Orvella")), QStringLiteral("/"));
    EXPECT_EQ(pathRelativeToSyncFolder(QStringLiteral("/Users/a/Documents/Orvella/x/y")), QStringLiteral("/x/y"));
    EXPECT_EQ(pathRelativeToSyncFolder(QStringLiteral("/Users/a/Documents/Orvella 1/x")), none);
    EXPECT_TRUE(isInsideSyncFolder(QStringLiteral("/Users/a/Documents/Orvella/x")));
    EXPECT_FALSE(isInsideSyncFolder(QStringLiteral("/Users/a/Documents/x")));

    // Read afresh on every call.
    facade.settings().setSyncRoot(QStringLiteral("/srv/"));
    EXPECT_EQ(syncFolderPath(), QStringLiteral("/srv/Orvella"));
    EXPECT_EQ(pathRelativeToSyncFolder(QStringLiteral("/Users/a/Documents/Orvella/x/y")), none);
}

TEST_F(SyncFolderSettingTest, WithoutSyncRootEverythingIsAbsent) {
    for (const std::optional<QString>& root : {std::optional<QString>(), std::optional<QString>(QString())}) {
        SCOPED_TRACE(root ? "empty" : "unset");
        facade.settings().setSyncRoot(root);
        facade.facade().user = std::make_shared<FakeBusinessUser>(QStringLiteral("acc-1"), QStringLiteral("anna"));
        EXPECT_EQ(syncFolderPath(), none);
        EXPECT_EQ(syncRootPath(QStringLiteral("x")), none);
        EXPECT_EQ(pathRelativeToSyncFolder(QStringLiteral("/Orvella/x")), none);
        EXPECT_FALSE(isInsideSyncFolder(QStringLiteral("/Orvella")));
        const auto resolver = OVPathResolver::shared();
        EXPECT_EQ(resolver->userHomeLocalPath(), none);
        EXPECT_EQ(resolver->localSystemPaths(), QStringList());
        EXPECT_EQ(resolver->remoteSystemNames(), QStringList({"anna"}));
    }
}

TEST_F(SyncFolderSettingTest, ResolverNamesTheUsersAreaOnlyWithAUser) {
    facade.settings().setSyncRoot(QStringLiteral("/home/a"));
    const auto resolver = OVPathResolver::shared();
    EXPECT_EQ(resolver.get(), OVPathResolver::shared().get());

    EXPECT_EQ(resolver->userHomeLocalPath(), none);
    EXPECT_EQ(resolver->localSystemPaths(), QStringList({"/home/a/Orvella"}));
    EXPECT_EQ(resolver->remoteSystemNames(), QStringList());

    facade.facade().user = std::make_shared<FakeBusinessUser>(QStringLiteral("acc-1"), QString::fromUtf8("zoë"));
    EXPECT_EQ(resolver->userHomeLocalPath(), QString::fromUtf8("/home/a/Orvella/users/zoë"));
    EXPECT_EQ(resolver->localSystemPaths(), QStringList({"/home/a/Orvella", QString::fromUtf8("/home/a/Orvella/users/zoë")}));
    EXPECT_EQ(resolver->remoteSystemNames(), QStringList({QString::fromUtf8("zoë")}));
}

TEST(RemotePathTest, EncodedFormKeepsOnlyUrlPathCharacters) {
    const struct {
        const char* path;
        const char* encoded;
    } cases[] = {
        {"/My Files/a b", "/My%20Files/a%20b"},
        {"/Übung/ß", "/%C3%9Cbung/%C3%9F"},
        {"/50%/x?y#z", "/50%25/x%3Fy%23z"},
        {"/keep!$&'()*+,-.:;=@_~", "/keep!$&'()*+,-.:;=@_~"},
        {"/not\"<>[]\\^`{|}", "/not%22%3C%3E%5B%5D%5C%5E%60%7B%7C%7D"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const RemotePath path = RemotePath::fromPath(QString::fromUtf8(c.path));
        EXPECT_EQ(path.string, QString::fromUtf8(c.path));
        EXPECT_EQ(path.transformedValue, QString::fromLatin1(c.encoded));
    }
}

TEST(RemotePathTest, EqualityAndHashCoverBothStrings) {
    const RemotePath base(QStringLiteral("/a b"), QStringLiteral("/a%20b"));
    const struct {
        const char* name;
        RemotePath other;
        bool equal;
    } cases[] = {
        {"same", RemotePath(QStringLiteral("/a b"), QStringLiteral("/a%20b")), true},
        {"other string", RemotePath(QStringLiteral("/a  b"), QStringLiteral("/a%20b")), false},
        {"other encoding", RemotePath(QStringLiteral("/a b"), QStringLiteral("/a b")), false},
        {"swapped", RemotePath(QStringLiteral("/a%20b"), QStringLiteral("/a b")), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(base == c.other, c.equal);
        if (c.equal) {
            EXPECT_EQ(qHash(base, 7), qHash(c.other, 7));
            EXPECT_EQ(std::hash<RemotePath>()(base), std::hash<RemotePath>()(c.other));
        }
    }
    // As a key: every distinct pair is kept apart, equal pairs fold into one.
    QSet<RemotePath> qtSet;
    std::unordered_set<RemotePath> stdSet;
    qtSet.insert(base);
    stdSet.insert(base);
    for (const auto& c : cases) {
        qtSet.insert(c.other);
        stdSet.insert(c.other);
    }
    EXPECT_EQ(qtSet.size(), 4);
    EXPECT_EQ(stdSet.size(), 4u);
}

}  // namespace
