#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "platform/findersync/FinderSyncHost.h"
#include "support/TestEnvironment.h"

namespace {

void touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

QStringList readLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

// Lines compare readably in failure messages.
std::string lines(const QStringList& list) { return list.join(QLatin1Char('\n')).toStdString(); }

QStringList rows(const QList<FinderSyncHost::Item>& items) {
    QStringList out;
    for (const auto& item : items) out << item.name + QLatin1Char('\t') + item.badge;
    return out;
}

// A watched folder "sync" with items named after the answers the test plug-in gives, a sibling
// folder outside it, and the plug-in's call log.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        sync_ = dir_.path() + QStringLiteral("/sync");
        outside_ = dir_.path() + QStringLiteral("/sync 2");
        log_ = dir_.path() + QStringLiteral("/calls.log");
        QDir().mkpath(sync_ + QStringLiteral("/bfolder"));
        QDir().mkpath(outside_);
        // A hidden item is neither listed nor asked for, as in a file manager.
        for (const char* name : {"a1", "late3", "other", "u4", ".hidden"}) touch(sync_ + QLatin1Char('/') + name);
        touch(outside_ + QStringLiteral("/a1"));
        qputenv("FINDERSYNC_TEST_WATCH", sync_.toUtf8());
        qputenv("FINDERSYNC_TEST_LOG", log_.toUtf8());
        qunsetenv("FINDERSYNC_TEST_WATCH_DELAY");
    }
    void TearDown() override {
        qunsetenv("FINDERSYNC_TEST_WATCH");
        qunsetenv("FINDERSYNC_TEST_LOG");
        qunsetenv("FINDERSYNC_TEST_WATCH_DELAY");
    }
    QStringList calls() const { return readLines(log_); }

    QTemporaryDir dir_;
    QString sync_, outside_, log_;
};

TEST_F(HostTest, ShownFolderInsideTheWatchedOnesIsObservedAndEveryItemAskedForOnceOnTheMainThread) {
    FinderSyncHost host;
    ASSERT_TRUE(host.load(QStringLiteral(FINDERSYNC_TEST_PLUGIN))) << host.errorString().toStdString();
    host.showFolder(sync_);
    host.showFolder(outside_);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return host.listing(sync_).at(2).badge == "a"; }, 3000));
    EXPECT_EQ(lines(rows(host.listing(sync_))),
              lines({"a1\ta", "bfolder\tb", "late3\ta", "other\t", "u4\t"}));
    EXPECT_EQ(host.controller().badgeIdentifier(QUrl::fromLocalFile(sync_ + "/u4")), "unregistered");
    EXPECT_EQ(lines(rows(host.listing(outside_))), "a1\t");
    EXPECT_EQ(lines(calls()), lines({"begin " + sync_, "request " + sync_ + "/a1",
                                     "request " + sync_ + "/bfolder", "request " + sync_ + "/late3",
                                     "request " + sync_ + "/other", "request " + sync_ + "/u4"}))
        << "the sibling whose name begins with the watched folder's is not the extension's";

    // A new item is asked for by itself; closing the window ends the observation.
    touch(sync_ + QStringLiteral("/b5"));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return calls().size() == 7; }, 3000));
    EXPECT_EQ(calls().last().toStdString(), ("request " + sync_ + "/b5").toStdString());
    host.hideFolder(sync_);
    host.hideFolder(outside_);
    EXPECT_EQ(calls().last().toStdString(), ("end " + sync_).toStdString());
    EXPECT_EQ(calls().size(), 8);
}

TEST_F(HostTest, FoldersWatchedLaterAreObservedThenAndADisabledExtensionIsNotCalled) {
    qputenv("FINDERSYNC_TEST_WATCH_DELAY", "50");
    FinderSyncHost host;
    ASSERT_TRUE(host.load(QStringLiteral(FINDERSYNC_TEST_PLUGIN)));
    host.showFolder(sync_ + QStringLiteral("/bfolder"));
    EXPECT_TRUE(calls().isEmpty());
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !calls().isEmpty(); }, 3000));
    EXPECT_EQ(lines(calls()), ("begin " + sync_ + "/bfolder").toStdString());

    host.controller().setExtensionEnabled(false);
    host.showFolder(sync_);
    TestEnvironment::waitUntil([] { return false; }, 50);
    EXPECT_EQ(calls().size(), 1);
}

TEST_F(HostTest, LoadingFailsForAMissingFileOrOneWithoutTheFactory) {
    FinderSyncHost missing;
    EXPECT_FALSE(missing.load(dir_.path() + QStringLiteral("/none.so")));
    EXPECT_FALSE(missing.errorString().isEmpty());
    EXPECT_FALSE(missing.isLoaded());
}

QProcess* startHost(const QStringList& arguments) {
    auto* process = new QProcess;
    process->setProgram(QStringLiteral(FINDERSYNC_HOST));
    process->setArguments(QStringList{"--plugin", QStringLiteral(FINDERSYNC_TEST_PLUGIN)} + arguments);
    process->start();
    return process;
}

TEST_F(HostTest, TheHostProgramListsAFolderOnceItsBadgesSettleAndSeveralRunAtOnce) {
    QFile::remove(sync_ + QStringLiteral("/other"));
    QFile::remove(sync_ + QStringLiteral("/u4"));
    QElapsedTimer clock;
    clock.start();
    std::unique_ptr<QProcess> first(startHost({"--list", sync_, "--wait", "5000"}));
    std::unique_ptr<QProcess> second(startHost({"--list", sync_, "--list", outside_, "--wait", "300"}));
    ASSERT_TRUE(first->waitForFinished(10000));
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_LT(clock.elapsed(), 4000) << "a settled listing does not wait out its time";
    EXPECT_EQ(first->exitCode(), 0) << first->readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(first->readAllStandardOutput()), "a1\ta\nbfolder\tb\nlate3\ta\n");
    EXPECT_EQ(QString::fromUtf8(second->readAllStandardOutput()),
              sync_ + ":\na1\ta\nbfolder\tb\nlate3\ta\n" + outside_ + ":\na1\t\n");
}

// A name is one line of the listing, whatever it holds: a line feed in a name must not forge a
// second entry with a badge of its own choosing.
TEST(HostListingTest, ControlCharactersInNamesAreEscaped) {
    struct Row {
        QString name;
        QString listed;
    };
    const Row rows[] = {
        {"plain name.txt", "plain name.txt"},
        {"evil\nok.txt\tsynced", "evil\\nok.txt\\tsynced"},
        {"back\\slash", "back\\\\slash"},
        {QString("cr\r") + QChar(0x1b) + "[31m" + QChar(0x7f), "cr\\r\\x1b[31m\\x7f"},
        {QString("next") + QChar(0x85) + "line" + QChar(0x2028), "next\\u0085line\\u2028"},
        {QString::fromUtf8("caf\xc3\xa9 \xe2\x9c\x93"), QString::fromUtf8("caf\xc3\xa9 \xe2\x9c\x93")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.listed.toStdString());
        EXPECT_EQ(FinderSyncHost::escapedForListing(row.name), row.listed);
    }
}

TEST_F(HostTest, TheHostProgramRefusesBadArgumentsAndAMissingPlugin) {
    struct Case {
        QStringList arguments;
        int exitCode;
    };
    const Case cases[] = {
        {{"--list", sync_, "--wait", "soon"}, 2},
        {{}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        std::unique_ptr<QProcess> host(startHost(c.arguments));
        ASSERT_TRUE(host->waitForFinished(5000));
        EXPECT_EQ(host->exitCode(), c.exitCode);
    }
    QProcess missing;
    missing.start(QStringLiteral(FINDERSYNC_HOST), {"--plugin", dir_.path() + "/none.so", "--list", sync_});
    ASSERT_TRUE(missing.waitForFinished(5000));
    EXPECT_EQ(missing.exitCode(), 1);
    EXPECT_TRUE(missing.readAllStandardError().startsWith("cannot load the extension"));
}

}  // namespace
