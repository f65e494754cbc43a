#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

#include "app/core/UserController.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/sync/OVFileSystemMetadataController.h"
#include "app/sync/support/PathsTestUser.h"
#include "frameworks/logger/Logger.h"
#include "support/TestEnvironment.h"

namespace {

const QString kMarkerFailure = QStringLiteral("Failed to create the metadata folder or account file. Error: ");

// Collects what is logged on one channel while it lives.
class LogCapture {
public:
    explicit LogCapture(QString channel) : channel_(std::move(channel)) {
        id_ = Logger::addSink([this](const LogEntry& entry) {
            if (entry.channel != channel_) return;
            std::lock_guard lock(mutex_);
            messages_ << entry.message;
        });
    }
    ~LogCapture() { Logger::removeSink(id_); }
    QStringList messages() {
        Logger::flush();
        std::lock_guard lock(mutex_);
        return messages_;
    }
    bool waitFor(const QString& prefix) {
        return TestEnvironment::waitUntil([&] {
            const QStringList seen = messages();
            return std::any_of(seen.cbegin(), seen.cend(), [&](const QString& m) { return m.startsWith(prefix); });
        }, 2000);
    }

private:
    QString channel_;
    Logger::SinkId id_ = 0;
    std::mutex mutex_;
    QStringList messages_;
};

mode_t modeOf(const QString& path) {
    struct stat info {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0) return 0;
    return info.st_mode & 07777;
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

class AccountMarkerTest : public ::testing::Test {
public:
    void SetUp() override {
        ASSERT_TRUE(tree.isValid());
        signIn(QStringLiteral("acc-1"));
    }
    void signIn(const QString& accountId) {
        facade.facade().user = std::make_shared<PathsTestUser>(accountId, QStringLiteral("anna"));
        users.update();
    }
    void signOut() {
        facade.facade().user.reset();
        users.update();
    }
    QString path(const QString& sub) const { return QDir::cleanPath(tree.path() + u'/' + sub); }
    void makeFolder(const QString& sub) const { ASSERT_TRUE(QDir().mkpath(path(sub))); }
    void writeFile(const QString& sub, const QByteArray& content) const {
        QDir().mkpath(QFileInfo(path(sub)).absolutePath());
        QFile file(path(sub));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }
    // A sync folder "<sub>/Orvella" whose marker names the account.
    void makeSyncFolder(const QString& sub, const QByteArray& accountId) const {
        writeFile(sub + QStringLiteral("/Orvella/.ovmd.db/accountId"), accountId);
    }

    ScopedTestBusinessFacade facade{QStringLiteral("accountmarker")};
    UserController users;
    OVFileSystemMetadataController metadata{users};
    QTemporaryDir tree;
};

TEST_F(AccountMarkerTest, CreatesAnOwnerOnlyMarkerWithTheBareAccountId) {
    makeFolder(QStringLiteral("Orvella"));
    metadata.createAccountInfoFile(path(QStringLiteral("Orvella")));
    EXPECT_EQ(contentOf(path(QStringLiteral("Orvella/.ovmd.db/accountId"))), QByteArray("acc-1"));
    EXPECT_EQ(modeOf(path(QStringLiteral("Orvella/.ovmd.db"))), 0700u);
    EXPECT_EQ(modeOf(path(QStringLiteral("Orvella/.ovmd.db/accountId"))), 0600u);
    // Nothing else is left in the marker folder (no temporary file).
    EXPECT_EQ(QDir(path(QStringLiteral("Orvella/.ovmd.db"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList({"accountId"}));

    // A second set-up, now for another account, leaves the marker as it is.
    signIn(QStringLiteral("acc-2"));
    metadata.createAccountInfoFile(path(QStringLiteral("Orvella")));
    EXPECT_EQ(contentOf(path(QStringLiteral("Orvella/.ovmd.db/accountId"))), QByteArray("acc-1"));
}

TEST_F(AccountMarkerTest, ExistingMarkerPartsAreKeptAndMissingOnesAdded) {
    struct Case {
        const char* name;
        std::function<void(AccountMarkerTest&)> prepare;
        QByteArray expectedContent;
        mode_t expectedFolderMode;
    };
    const Case cases[] = {
        {"folder of someone else's making, no file",
         [](AccountMarkerTest& t) {
             t.makeFolder(QStringLiteral("Orvella/.ovmd.db"));
             ::chmod(QFile::encodeName(t.path(QStringLiteral("Orvella/.ovmd.db"))).constData(), 0755);
         },
         "acc-1", 0755},
        {"another account's marker", [](AccountMarkerTest& t) { t.makeSyncFolder({}, "acc-other"); }, "acc-other",
         0},
        {"empty marker file", [](AccountMarkerTest& t) { t.makeSyncFolder({}, ""); }, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(path(QStringLiteral("Orvella"))).removeRecursively();
        makeFolder(QStringLiteral("Orvella"));
        c.prepare(*this);
        const mode_t folderModeBefore = modeOf(path(QStringLiteral("Orvella/.ovmd.db")));
        metadata.createAccountInfoFile(path(QStringLiteral("Orvella")));
        EXPECT_EQ(contentOf(path(QStringLiteral("Orvella/.ovmd.db/accountId"))), c.expectedContent);
        EXPECT_EQ(modeOf(path(QStringLiteral("Orvella/.ovmd.db"))), c.expectedFolderMode ? c.expectedFolderMode : folderModeBefore);
    }
}

TEST_F(AccountMarkerTest, FailuresAreLoggedAndNothingElseHappens) {
    struct Case {
        const char* name;
        std::function<void(AccountMarkerTest&)> prepare;
        QString syncFolder;
    };
    const Case cases[] = {
        // No intermediate folders are made: a missing sync folder stays missing.
        {"sync folder missing", [](AccountMarkerTest&) {}, QStringLiteral("missing/Orvella")},
        {"marker name taken by a file",
         [](AccountMarkerTest& t) { t.writeFile(QStringLiteral("blocked/Orvella/.ovmd.db"), "x"); },
         QStringLiteral("blocked/Orvella")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LogCapture log(QStringLiteral("Setup"));
        c.prepare(*this);
        metadata.createAccountInfoFile(path(c.syncFolder));
        EXPECT_TRUE(log.waitFor(kMarkerFailure));
        EXPECT_FALSE(QFileInfo(path(c.syncFolder + QStringLiteral("/.ovmd.db/accountId"))).isFile());
    }
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("missing"))));
}

TEST_F(AccountMarkerTest, WithoutUserNothingIsWrittenAndQuestionsFail) {
    signOut();
    makeFolder(QStringLiteral("Orvella"));
    metadata.createAccountInfoFile(path(QStringLiteral("Orvella")));
    EXPECT_FALSE(QFileInfo::exists(path(QStringLiteral("Orvella/.ovmd.db"))));

    const auto belongs = metadata.belongsToOtherAccount(tree.path());
    ASSERT_FALSE(belongs.isSuccess());
    EXPECT_EQ(belongs.error(), OVFileSystemMetadataError::unknownAccountId);
    // Also when there is no "Orvella" folder at all.
    const auto proposed = metadata.proposedSyncRootURL(path(QStringLiteral("empty")));
    ASSERT_FALSE(proposed.isSuccess());
    EXPECT_EQ(proposed.error(), OVFileSystemMetadataError::unknownAccountId);
}

TEST_F(AccountMarkerTest, MarkerBelongsToAnotherAccountOnlyWhenItReadsAsAnotherId) {
    struct Case {
        const char* name;
        std::function<void(AccountMarkerTest&)> prepare;
        bool belongsToOther;
    };
    const Case cases[] = {
        {"no sync folder", [](AccountMarkerTest&) {}, false},
        {"sync folder without marker", [](AccountMarkerTest& t) { t.makeFolder(QStringLiteral("Orvella")); }, false},
        {"this account", [](AccountMarkerTest& t) { t.makeSyncFolder({}, "acc-1"); }, false},
        {"another account", [](AccountMarkerTest& t) { t.makeSyncFolder({}, "acc-2"); }, true},
        {"empty marker", [](AccountMarkerTest& t) { t.makeSyncFolder({}, ""); }, true},
        {"trailing line end is not trimmed", [](AccountMarkerTest& t) { t.makeSyncFolder({}, "acc-1\n"); }, true},
        {"prefix of the id", [](AccountMarkerTest& t) { t.makeSyncFolder({}, "acc-"); }, true},
        {"not UTF-8", [](AccountMarkerTest& t) { t.makeSyncFolder({}, "acc-\xff\xfe"); }, false},
        {"marker is a folder",
         [](AccountMarkerTest& t) { t.makeFolder(QStringLiteral("Orvella/.ovmd.db/accountId")); }, false},
        {"marker is a pipe (must not block)",
         [](AccountMarkerTest& t) {
             t.makeFolder(QStringLiteral("Orvella/.ovmd.db"));
             ASSERT_EQ(::mkfifo(QFile::encodeName(t.path(QStringLiteral("Orvella/.ovmd.db/accountId"))).constData(), 0600), 0);
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(path(QStringLiteral("Orvella"))).removeRecursively();
        c.prepare(*this);
        const auto belongs = metadata.belongsToOtherAccount(tree.path());
        ASSERT_TRUE(belongs.isSuccess());
        EXPECT_EQ(belongs.value(), c.belongsToOther);
    }
}

TEST_F(AccountMarkerTest, InsideSyncRootLooksUpToButNotIntoTheRoot) {
    makeSyncFolder(QStringLiteral("home"), "acc-1");
    makeFolder(QStringLiteral("home/Orvella/a/b"));
    makeFolder(QStringLiteral("home/Orvella 1/a"));
    makeFolder(QStringLiteral("elsewhere"));
    const struct {
        const char* folder;
        bool inside;
    } cases[] = {
        {"home/Orvella", true},      {"home/Orvella/a/b", true}, {"home/Orvella/a/b/", true},
        {"home", false},             {"home/Orvella 1/a", false}, {"elsewhere", false},
        {"home/Orvella/missing/x", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.folder);
        EXPECT_EQ(metadata.isInsideSyncRoot(path(QString::fromUtf8(c.folder))), c.inside);
    }
    EXPECT_FALSE(metadata.isInsideSyncRoot(QStringLiteral("/")));
}

TEST_F(AccountMarkerTest, ProposalAvoidsOtherAccountsAndNestedSyncFolders) {
    struct Case {
        const char* name;
        std::function<void(AccountMarkerTest&)> prepare;
        const char* candidate;
        const char* proposal;
    };
    const Case cases[] = {
        {"no Orvella folder", [](AccountMarkerTest&) {}, "p", "p"},
        {"Orvella folder without marker", [](AccountMarkerTest& t) { t.makeFolder(QStringLiteral("p/Orvella")); }, "p",
         "p"},
        {"this account's folder", [](AccountMarkerTest& t) { t.makeSyncFolder(QStringLiteral("p"), "acc-1"); }, "p",
         "p"},
        {"another account's folder", [](AccountMarkerTest& t) { t.makeSyncFolder(QStringLiteral("p"), "acc-2"); }, "p",
         "p/Orvella 1"},
        {"another account's folder, first number taken",
         [](AccountMarkerTest& t) {
             t.makeSyncFolder(QStringLiteral("p"), "acc-2");
             t.makeFolder(QStringLiteral("p/Orvella 1"));
             t.writeFile(QStringLiteral("p/Orvella 2"), "a file takes the name too");
         },
         "p", "p/Orvella 3"},
        {"inside a sync folder, holding an Orvella folder",
         [](AccountMarkerTest& t) {
             t.makeSyncFolder(QStringLiteral("q"), "acc-1");
             t.makeFolder(QStringLiteral("q/Orvella/sub/Orvella"));
         },
         "q/Orvella/sub", "q/Orvella 1"},
        {"inside two nested sync folders",
         [](AccountMarkerTest& t) {
             t.makeSyncFolder(QStringLiteral("r"), "acc-1");
             t.makeSyncFolder(QStringLiteral("r/Orvella/x"), "acc-1");
             t.makeFolder(QStringLiteral("r/Orvella/x/Orvella/y/Orvella"));
             t.makeFolder(QStringLiteral("r/Orvella 1"));
         },
         "r/Orvella/x/Orvella/y", "r/Orvella 2"},
        {"inside a sync folder, without an Orvella folder",
         [](AccountMarkerTest& t) {
             t.makeSyncFolder(QStringLiteral("s"), "acc-1");
             t.makeFolder(QStringLiteral("s/Orvella/sub"));
         },
         "s/Orvella/sub", "s/Orvella/sub"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (const char* top : {"p", "q", "r", "s"}) QDir(path(QString::fromLatin1(top))).removeRecursively();
        c.prepare(*this);
        const auto proposed = metadata.proposedSyncRootURL(path(QString::fromUtf8(c.candidate)));
        ASSERT_TRUE(proposed.isSuccess());
        EXPECT_EQ(proposed.value(), QUrl::fromLocalFile(path(QString::fromUtf8(c.proposal))));
    }
}

TEST(OwnerExclusiveTest, LeavesOnlyTheOwnersAccess) {
    QTemporaryDir tree;
    ASSERT_TRUE(tree.isValid());
    const QString folder = tree.path() + QStringLiteral("/folder");
    const QString file = tree.path() + QStringLiteral("/file");
    const QString tool = tree.path() + QStringLiteral("/tool");
    const QString link = tree.path() + QStringLiteral("/link");
    ASSERT_TRUE(QDir().mkdir(folder));
    for (const QString& f : {file, tool}) {
        QFile out(f);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    }
    ASSERT_TRUE(QFile::link(file, link));
    const struct {
        QString path;
        mode_t before;
        mode_t after;
    } cases[] = {{folder, 0777, 0700}, {folder, 0500, 0700}, {file, 0666, 0600}, {file, 0444, 0600},
                 {tool, 0755, 0700}};
    for (const auto& c : cases) {
        SCOPED_TRACE(QFileInfo(c.path).fileName().toStdString() + " " + std::to_string(c.before));
        ASSERT_EQ(::chmod(QFile::encodeName(c.path).constData(), c.before), 0);
        EXPECT_EQ(OVFileSystemMetadataController::makeItemOwnerExclusive(c.path), QString());
        EXPECT_EQ(modeOf(c.path), c.after);
    }
    // A link is refused and its target left alone; a missing item is an error.
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0644), 0);
    EXPECT_NE(OVFileSystemMetadataController::makeItemOwnerExclusive(link), QString());
    EXPECT_EQ(modeOf(file), 0644u);
    EXPECT_NE(OVFileSystemMetadataController::makeItemOwnerExclusive(tree.path() + QStringLiteral("/none")), QString());
}

}  // namespace
