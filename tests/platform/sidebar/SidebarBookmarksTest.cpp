#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "platform/sidebar/SidebarBookmarks.h"

namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeAll(const QString& path, const QByteArray& content) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(content), content.size());
}

TEST(SidebarBookmarkTest, LinesParseIntoUriLabelAndLocalPath) {
    EXPECT_EQ(SidebarBookmarks::defaultFilePath(), qEnvironmentVariable("XDG_CONFIG_HOME") + "/gtk-3.0/bookmarks");
    const struct {
        const char* line;
        bool isBookmark;
        const char* label;
        std::optional<QString> localPath;
        const char* displayName;
    } cases[] = {
        {"file:///home/a/My%20Files  Work stuff", true, " Work stuff", QStringLiteral("/home/a/My Files"), " Work stuff"},
        {"file:///home/a/%C3%9Cbung/", true, "", QString::fromUtf8("/home/a/Übung"), "Übung"},
        {"file:///home/a/Docs Label\r", true, "Label", QStringLiteral("/home/a/Docs"), "Label"},
        {"file://localhost/srv/x", true, "", QStringLiteral("/srv/x"), "x"},
        {"file://otherhost/srv/x", true, "", std::nullopt, "x"},
        {"sftp://host/srv/share Server", true, "Server", std::nullopt, "Server"},
        {"", false, "", std::nullopt, ""},
        {" file:///leading/blank", false, "", std::nullopt, ""},
        {"no-scheme-here", false, "", std::nullopt, ""},
        {"file:///bad%zzescape", false, "", std::nullopt, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        const auto bookmark = SidebarBookmark::parse(QByteArray(c.line));
        ASSERT_EQ(bookmark.has_value(), c.isBookmark);
        if (!bookmark) continue;
        EXPECT_EQ(bookmark->label, QString::fromUtf8(c.label));
        EXPECT_EQ(bookmark->localPath(), c.localPath);
        EXPECT_EQ(bookmark->displayName(), QString::fromUtf8(c.displayName));
    }
    // Paths that need encoding come back as they went in; a line end in a label cannot split the entry.
    for (const QString& path : {QString::fromUtf8("/home/a/Ünïcødé ✓"), QStringLiteral("/x/50% off?#yes")}) {
        SCOPED_TRACE(path.toStdString());
        const auto read = SidebarBookmark::parse(SidebarBookmark{SidebarBookmark::uriForPath(path), "L\nM"}.line());
        ASSERT_TRUE(read);
        EXPECT_EQ(read->localPath(), path);
        EXPECT_EQ(read->label, QStringLiteral("L M"));
    }
}

class SidebarBookmarksTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const QString& sub) const { return dir.path() + u'/' + sub; }
    QTemporaryDir dir;
};

TEST_F(SidebarBookmarksTest, AddingAndRemovingKeepEveryOtherLineAsItWas) {
    const QString file = path(QStringLiteral("gtk-3.0/bookmarks"));
    const QByteArray foreign = "file:///home/a/Documents\n"
                               "sftp://server/srv Server files\n"
                               "\n"
                               "this line is not a bookmark\n"
                               "file:///home/a/Music%20Library   spaced  label  \n"
                               "file:///home/a/Windows\r\n";
    writeAll(file, foreign);
    SidebarBookmarks bookmarks(file);

    ASSERT_TRUE(bookmarks.add(QStringLiteral("/srv/My Orvella"), QStringLiteral("Orvella")));
    const QByteArray added = "file:///srv/My%20Orvella Orvella\n";
    EXPECT_EQ(readAll(file), foreign + added);
    // Present already, whatever the label or trailing separator: not added twice.
    ASSERT_TRUE(bookmarks.add(QStringLiteral("/srv/My Orvella/"), QStringLiteral("Other")));
    EXPECT_EQ(readAll(file), foreign + added);

    EXPECT_EQ(bookmarks.removePath(QStringLiteral("/srv/My Orvella")), 1);
    EXPECT_EQ(readAll(file), foreign);
    EXPECT_EQ(bookmarks.removePath(QStringLiteral("/nowhere")), 0);
    EXPECT_EQ(readAll(file), foreign);

    const auto list = bookmarks.bookmarks();
    ASSERT_TRUE(list);
    QStringList names;
    for (const auto& b : *list) names << b.displayName();
    EXPECT_EQ(names, QStringList({"Documents", "Server files", "  spaced  label  ", "Windows"}));

    // Each entry is looked at once, in order.
    writeAll(file, "file:///a A\nfile:///b B\nfile:///c C\nfile:///a again");
    QStringList seen;
    EXPECT_EQ(bookmarks.removeIf([&](const SidebarBookmark& b) {
        seen << b.label;
        return b.localPath() == QStringLiteral("/a") || b.label == QLatin1String("C");
    }),
              3);
    EXPECT_EQ(seen, QStringList({"A", "B", "C", "again"}));
    EXPECT_EQ(readAll(file), QByteArray("file:///b B\n"));
}

TEST_F(SidebarBookmarksTest, MissingFileAndFolderReadAsEmptyAndAreMadeOnTheFirstWrite) {
    const QString file = path(QStringLiteral("config/gtk-3.0/bookmarks"));
    SidebarBookmarks bookmarks(file);
    ASSERT_TRUE(bookmarks.bookmarks());
    EXPECT_TRUE(bookmarks.bookmarks()->isEmpty());
    EXPECT_EQ(bookmarks.removePath(QStringLiteral("/a")), 0);
    EXPECT_FALSE(QFileInfo::exists(file));
    ASSERT_TRUE(bookmarks.add(QStringLiteral("/srv/My Folder")));
    EXPECT_EQ(readAll(file), QByteArray("file:///srv/My%20Folder\n"));
}

TEST_F(SidebarBookmarksTest, RewriteReplacesTheFileAtomicallyAndKeepsItsModeAndLink) {
    const QString real = path(QStringLiteral("dotfiles/bookmarks"));
    writeAll(real, "file:///a A\n");
    ASSERT_EQ(::chmod(QFile::encodeName(real).constData(), 0640), 0);
    const QString link = path(QStringLiteral("gtk-3.0/bookmarks"));
    QDir().mkpath(QFileInfo(link).absolutePath());
    ASSERT_TRUE(QFile::link(real, link));
    struct stat before {}, after {};
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &before), 0);

    ASSERT_TRUE(SidebarBookmarks(link).add(QStringLiteral("/b")));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readAll(real), QByteArray("file:///a A\nfile:///b\n"));
    ASSERT_EQ(::stat(QFile::encodeName(real).constData(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);  // a new file renamed into place, not written over
    EXPECT_EQ(after.st_mode & 07777, 0640u);
    EXPECT_EQ(QDir(QFileInfo(real).absolutePath()).entryList(QDir::Files | QDir::Hidden), QStringList({"bookmarks"}));
}

TEST_F(SidebarBookmarksTest, UnreadableFileOrUnmakeableFolderChangesNothing) {
    // A folder where the file should be cannot be read; a file where its folder should be cannot be
    // written into (unlike permission bits, both hold for root too).
    const QString unreadable = path(QStringLiteral("a/bookmarks"));
    ASSERT_TRUE(QDir().mkpath(unreadable));
    SidebarBookmarks a(unreadable);
    EXPECT_FALSE(a.bookmarks());
    EXPECT_FALSE(a.add(QStringLiteral("/b")));
    EXPECT_FALSE(a.removePath(QStringLiteral("/a")));
    EXPECT_TRUE(QFileInfo(unreadable).isDir());

    writeAll(path(QStringLiteral("blocked")), "not a folder\n");
    SidebarBookmarks b(path(QStringLiteral("blocked/bookmarks")));
    EXPECT_FALSE(b.add(QStringLiteral("/b")));
    EXPECT_EQ(readAll(path(QStringLiteral("blocked"))), QByteArray("not a folder\n"));
}

}  // namespace
