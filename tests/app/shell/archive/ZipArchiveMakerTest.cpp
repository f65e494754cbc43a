#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <sys/stat.h>

#include "app/shell/archive/ZipArchiveMaker.h"
#include "app/shell/archive/ZipTestSupport.h"

namespace {

using Code = ZipArchiveMaker::Error::Code;

struct ZipCase {
    const char* name;
    QStringList items;  // relative to the tree; "https:..." stays a web address
    QStringList expectedEntries;
    std::optional<Code> expectedError = std::nullopt;
    const char* errorItem = "";
    const char* target = "report.zip";  // "folder.zip" is a folder; "no/" has no parent
    friend void PrintTo(const ZipCase& c, std::ostream* os) { *os << c.name; }
};

class ZipArchiveMakerTest : public ::testing::TestWithParam<ZipCase> {
protected:
    void SetUp() override {
        savedTmp_ = qgetenv("TMPDIR");
        qputenv("TMPDIR", at("tmp").toUtf8());  // ours alone, so that a leftover working folder shows
        for (const char* file : {"logs/a.log", "logs/sub/b.log", "store.sqlite", "data/in.txt", "data/sub/c.txt",
                                 "other/logs/x.log", "out/report.zip", "out/folder.zip/keep", "tmp/.keep"})
            ASSERT_TRUE(ziptest::writeFile(at(file), "old"));
        QFile::remove(at("tmp/.keep"));
        for (auto [target, link] : {std::pair{"in.txt", "data/linkToIn"}, {"../store.sqlite", "data/linkOut"},
                                    {"sub", "data/linkToSub"}, {"nowhere", "data/dangling"}, {"logs", "linkToLogs"}})
            ASSERT_TRUE(QFile::link(QString::fromLatin1(target), at(link)));
        ASSERT_EQ(mkfifo(QFile::encodeName(at("data/fifo")).constData(), 0600), 0);
    }
    void TearDown() override { qputenv("TMPDIR", savedTmp_); }
    QString at(const char* relative) const { return dir_.filePath(QString::fromLatin1(relative)); }
    QUrl url(const QString& item) const {
        return item.startsWith(QLatin1String("https")) ? QUrl(item) : QUrl::fromLocalFile(at(item.toLatin1()));
    }

    QTemporaryDir dir_{QDir::tempPath() + QStringLiteral("/zip-test-XXXXXX")};
    QByteArray savedTmp_;
};

TEST_P(ZipArchiveMakerTest, PacksTheItemsOrLeavesEverythingAsItWas) {
    const ZipCase& c = GetParam();
    QList<QUrl> items;
    for (const QString& item : c.items) items << url(item);
    const QString target = at("out/") + QString::fromLatin1(c.target);

    const auto error = ZipArchiveMaker(items).zip(QUrl::fromLocalFile(target));

    EXPECT_EQ(QDir(at("tmp")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());
    EXPECT_EQ(QDir(at("out")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"folder.zip", "report.zip"}));
    if (!c.expectedError) {
        ASSERT_FALSE(error) << error->description().toStdString();
        EXPECT_EQ(ziptest::entries(target), c.expectedEntries);
        return;
    }
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code, *c.expectedError) << error->description().toStdString();
    if (*c.errorItem) {
        EXPECT_EQ(error->url, url(QString::fromLatin1(c.errorItem)));
    }
    QFile old(at("out/report.zip"));
    EXPECT_TRUE(old.open(QIODevice::ReadOnly) && old.readAll() == "old");
    EXPECT_TRUE(QFile::exists(at("out/folder.zip/keep")));
}

INSTANTIATE_TEST_SUITE_P(
    Shell, ZipArchiveMakerTest,
    ::testing::Values(
        ZipCase{"emptyList", {}, {"<top>/"}},
        ZipCase{"folderAndFile", {"logs", "store.sqlite"},
                {"<top>/", "<top>/logs/", "<top>/logs/a.log", "<top>/logs/sub/", "<top>/logs/sub/b.log",
                 "<top>/store.sqlite"}},
        // Only the link to a file inside the folder is followed; a fifo would block its reader.
        ZipCase{"linksInsideAFolder", {"data"},
                {"<top>/", "<top>/data/", "<top>/data/in.txt", "<top>/data/linkToIn", "<top>/data/sub/",
                 "<top>/data/sub/c.txt"}},
        ZipCase{"listedLink", {"linkToLogs"},
                {"<top>/", "<top>/linkToLogs/", "<top>/linkToLogs/a.log", "<top>/linkToLogs/sub/",
                 "<top>/linkToLogs/sub/b.log"}},
        ZipCase{"webAddress", {"logs", "https://example.com/l"}, {}, Code::notAFileURL, "https://example.com/l"},
        ZipCase{"missingItem", {"store.sqlite", "gone.log"}, {}, Code::fileSystem, "gone.log"},
        ZipCase{"sameNameTwice", {"logs", "other/logs"}, {}, Code::fileSystem, "other/logs"},
        ZipCase{"listedFifo", {"data/fifo"}, {}, Code::fileSystem, "data/fifo"},
        // Fails only at the rename, after the whole archive was written.
        ZipCase{"folderAtTarget", {"logs"}, {}, Code::fileSystem, "", "folder.zip"},
        ZipCase{"noParentFolder", {"logs"}, {}, Code::fileSystem, "", "no/r.zip"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
