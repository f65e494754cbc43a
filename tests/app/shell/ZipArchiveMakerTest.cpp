#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "app/shell/ZipArchiveMaker.h"
#include "app/shell/ZipTestSupport.h"
#include "platform/foundation/MainQueue.h"
#include "support/TestEnvironment.h"

namespace {

using Code = ZipArchiveMaker::Error::Code;

struct ZipCase {
    const char* name;
    QStringList items;  // relative to the tree; "http:..." stays a web address
    QStringList expectedEntries;
    std::optional<Code> expectedError = std::nullopt;
    const char* errorItem = "";  // the item the error names
};

// A tree with folders, links of every kind and a fifo, a private temporary directory and an
// output folder.
class ZipTree : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root_.isValid());
        // A temporary directory of our own, so that a leftover working folder shows.
        savedTmp_ = qgetenv("TMPDIR");
        ASSERT_TRUE(QDir().mkpath(tmp()));
        qputenv("TMPDIR", tmp().toUtf8());
        ASSERT_TRUE(ziptest::writeFile(src("logs/a.log"), "alpha"));
        ASSERT_TRUE(ziptest::writeFile(src("logs/sub/b.log"), "beta"));
        ASSERT_TRUE(ziptest::writeFile(src("store.sqlite"), "store"));
        ASSERT_TRUE(ziptest::writeFile(src("data/inner.txt"), "inner"));
        ASSERT_TRUE(ziptest::writeFile(src("data/sub/c.txt"), "c"));
        ASSERT_TRUE(ziptest::writeFile(src("other/logs/x.log"), "x"));
        ASSERT_TRUE(QFile::link(QStringLiteral("inner.txt"), src("data/linkToInner")));
        ASSERT_TRUE(QFile::link(QStringLiteral("../store.sqlite"), src("data/linkToOutside")));
        ASSERT_TRUE(QFile::link(QStringLiteral("sub"), src("data/linkToSub")));
        ASSERT_TRUE(QFile::link(QStringLiteral("nowhere"), src("data/dangling")));
        ASSERT_EQ(mkfifo(QFile::encodeName(src("data/fifo")).constData(), 0600), 0);
        ASSERT_TRUE(QFile::link(QStringLiteral("logs"), src("linkToLogs")));
        ASSERT_TRUE(QDir().mkpath(out()));
    }
    void TearDown() override { qputenv("TMPDIR", savedTmp_); }

    QString tmp() const { return root_.filePath(QStringLiteral("tmp")); }
    QString src(const QString& relative) const { return root_.filePath(QStringLiteral("src/") + relative); }
    QString out(const QString& name = {}) const {
        return root_.filePath(QStringLiteral("out")) + (name.isEmpty() ? QString() : u'/' + name);
    }
    QUrl itemUrl(const QString& item) const {
        return item.startsWith(QLatin1String("http")) ? QUrl(item) : QUrl::fromLocalFile(src(item));
    }
    QList<QUrl> urls(const QStringList& items) const {
        QList<QUrl> result;
        for (const QString& item : items) result << itemUrl(item);
        return result;
    }
    QStringList leftovers() const {
        return QDir(tmp()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) +
               QDir(out()).entryList({QStringLiteral(".*.part")}, QDir::Files | QDir::Hidden);
    }

    QTemporaryDir root_{QDir::tempPath() + QStringLiteral("/zip-test-XXXXXX")};
    QByteArray savedTmp_;
};

class ZipArchiveMakerTest : public ZipTree, public ::testing::WithParamInterface<ZipCase> {};

TEST_P(ZipArchiveMakerTest, PacksTheItemsOrFailsLeavingTheOldArchive) {
    const ZipCase& c = GetParam();
    const QString target = out(QStringLiteral("report.zip"));
    ASSERT_TRUE(ziptest::writeFile(target, "an earlier archive"));

    const std::optional<ZipArchiveMaker::Error> error = ZipArchiveMaker(urls(c.items)).zip(QUrl::fromLocalFile(target));

    EXPECT_EQ(leftovers(), QStringList());
    if (c.expectedError) {
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(error->code, *c.expectedError) << error->description().toStdString();
        EXPECT_EQ(error->url, itemUrl(QString::fromLatin1(c.errorItem)));
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::ReadOnly));
        EXPECT_EQ(old.readAll(), QByteArray("an earlier archive"));
        return;
    }
    ASSERT_FALSE(error.has_value()) << error->description().toStdString();
    EXPECT_EQ(ziptest::entries(target), c.expectedEntries);
}

INSTANTIATE_TEST_SUITE_P(
    Shell, ZipArchiveMakerTest,
    ::testing::Values(
        ZipCase{"emptyListGivesAnEmptyFolder", {}, {"<top>/"}},
        ZipCase{"folderWithItsContentsAndAFile",
                {"logs", "store.sqlite"},
                {"<top>/", "<top>/logs/", "<top>/logs/a.log", "<top>/logs/sub/", "<top>/logs/sub/b.log",
                 "<top>/store.sqlite"}},
        // Only the link to a file inside the folder is followed; the fifo would block a reader.
        ZipCase{"linksAndSpecialFilesInsideAFolder",
                {"data"},
                {"<top>/", "<top>/data/", "<top>/data/inner.txt", "<top>/data/linkToInner", "<top>/data/sub/",
                 "<top>/data/sub/c.txt"}},
        ZipCase{"listedLinkIsPackedAsItsTarget",
                {"linkToLogs"},
                {"<top>/", "<top>/linkToLogs/", "<top>/linkToLogs/a.log", "<top>/linkToLogs/sub/",
                 "<top>/linkToLogs/sub/b.log"}},
        ZipCase{"webAddressFailsTheWhole", {"logs", "https://example.com/log"}, {}, Code::notAFileURL,
                "https://example.com/log"},
        ZipCase{"missingItem", {"store.sqlite", "gone.log"}, {}, Code::fileSystem, "gone.log"},
        ZipCase{"sameNameTwice", {"logs", "other/logs"}, {}, Code::fileSystem, "other/logs"},
        ZipCase{"listedFifo", {"data/fifo"}, {}, Code::fileSystem, "data/fifo"}),
    [](const ::testing::TestParamInfo<ZipCase>& info) { return std::string(info.param.name); });


TEST_F(ZipTree, ArchiveHoldsTheBytesAndReplacesAnEarlierFile) {
    const QString target = out(QStringLiteral("report.zip"));
    ASSERT_TRUE(ziptest::writeFile(target, "old"));
    ASSERT_FALSE(ZipArchiveMaker({QUrl::fromLocalFile(src("data"))}).zip(QUrl::fromLocalFile(target)));
    EXPECT_EQ(ziptest::content(target, QStringLiteral("<top>/data/linkToInner")), QByteArray("inner"));
    EXPECT_EQ(ziptest::content(target, QStringLiteral("<top>/data/sub/c.txt")), QByteArray("c"));
}

TEST_F(ZipTree, FailuresWhileWritingLeaveNoPartialArchive) {
    // A folder at the target is never replaced; the archive was complete before the rename failed.
    const QString folderTarget = out(QStringLiteral("folder.zip"));
    ASSERT_TRUE(ziptest::writeFile(folderTarget + QStringLiteral("/keep.txt"), "keep"));
    auto error = ZipArchiveMaker({QUrl::fromLocalFile(src("logs"))}).zip(QUrl::fromLocalFile(folderTarget));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, Code::fileSystem);
    EXPECT_TRUE(QFile::exists(folderTarget + QStringLiteral("/keep.txt")));

    // No parent folder: nothing can be written at all.
    error = ZipArchiveMaker({QUrl::fromLocalFile(src("logs"))}).zip(QUrl::fromLocalFile(out(QStringLiteral("no/r.zip"))));
    ASSERT_TRUE(error.has_value());
    EXPECT_FALSE(QFile::exists(out(QStringLiteral("no"))));

    // The folder to zip must be an existing directory, and the target a file.
    error = ZipArchiveMaker::zipFolder(QUrl::fromLocalFile(src("store.sqlite")), QUrl::fromLocalFile(out(QStringLiteral("r.zip"))));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, Code::notAFileURL);
    error = ZipArchiveMaker::zipFolder(QUrl::fromLocalFile(src("logs")), QUrl(QStringLiteral("https://example.com/r.zip")));
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code, Code::notAFileURL);
    EXPECT_EQ(leftovers(), QStringList());
    EXPECT_FALSE(QFile::exists(out(QStringLiteral("r.zip"))));
}

TEST_F(ZipTree, AsynchronousZipCompletesOnTheMainThread) {
    const QString target = out(QStringLiteral("async.zip"));
    std::optional<std::optional<ZipArchiveMaker::Error>> result;
    bool onMainThread = false;
    ZipArchiveMaker({QUrl::fromLocalFile(src("store.sqlite"))}).zipAsync(QUrl::fromLocalFile(target), [&](auto error) {
        onMainThread = MainQueue::isMainThread();
        result = error;
    });
    EXPECT_FALSE(result.has_value());  // never before the caller goes on
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return result.has_value(); }));
    EXPECT_TRUE(onMainThread);
    EXPECT_FALSE(result->has_value());
    EXPECT_EQ(ziptest::entries(target), (QStringList{"<top>/", "<top>/store.sqlite"}));
}

}  // namespace
