#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>

#include "app/selectivesync/OVLocalDirectorySizeCalculator.h"

namespace {

struct DuOutputCase {
    const char* name;
    QStringList paths;
    std::optional<QString> output;
    int status;
    std::int64_t expected;
};

class DuOutputCases : public ::testing::TestWithParam<DuOutputCase> {};

TEST_P(DuOutputCases, SumsBlocksOfSuccessfulRuns) {
    const DuOutputCase& c = GetParam();
    int runs = 0;
    QString tool;
    QStringList arguments;
    const OVLocalDirectorySizeCalculator calculator(
        OVLocalDirectorySizeCalculator::Launcher([&](const QString& path, const QStringList& args) {
            ++runs;
            tool = path;
            arguments = args;
            return std::make_pair(c.output, c.status);
        }));
    EXPECT_EQ(calculator.size(c.paths), c.expected);
    if (c.paths.isEmpty()) {
        EXPECT_EQ(runs, 0);
        return;
    }
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(tool, "/usr/bin/du");
    // The paths come last, after the end of options.
    ASSERT_GT(arguments.size(), c.paths.size());
    EXPECT_EQ(arguments.first(), "-s");
    EXPECT_EQ(arguments.mid(arguments.size() - c.paths.size() - 1), QStringList{"--"} + c.paths);
}

const QStringList one{"/s/Orvella/a"};

INSTANTIATE_TEST_SUITE_P(
    SelectiveSync, DuOutputCases,
    ::testing::Values(
        DuOutputCase{"emptyListRunsNothing", {}, QString("1\t/a"), 0, 0},
        DuOutputCase{"lineOf1024Blocks", one, QString("1024\t/path"), 0, 524288},
        DuOutputCase{"recordsAdded", {"/a", "/b"}, QString("1\t/a") + QChar(0) + "3\t/b" + QChar(0), 0, 2048},
        DuOutputCase{"unreadableAndNegativeRecordsSkipped", {"/a", "/b", "/c"},
                     QString("x\t/a") + QChar(0) + "-5\t/b" + QChar(0) + "7\t/c" + QChar(0), 0, 3584},
        DuOutputCase{"lineFeedInNameIsNoRecord", one, QString("8\t/x/a\n999999\tb") + QChar(0), 0, 4096},
        DuOutputCase{"failureGivesZero", one, QString("8\t/a") + QChar(0), 1, 0},
        DuOutputCase{"noOutputGivesZero", one, std::nullopt, 0, 0},
        DuOutputCase{"overflowGivesZero", one, QString("9223372036854775807\t/a") + QChar(0), 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

void writeFile(const QString& path, qint64 bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    // Real bytes, not a hole, so the blocks are allocated.
    ASSERT_EQ(file.write(QByteArray(bytes, 'x')), bytes);
}

// What the folder occupies, counted the way du counts it: every entry's allocated 512-byte blocks.
std::int64_t allocatedBytes(const QString& folder) {
    struct stat info {};
    std::int64_t total = ::lstat(QFile::encodeName(folder).constData(), &info) == 0 ? info.st_blocks * 512 : 0;
    QDirIterator it(folder, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        if (::lstat(QFile::encodeName(it.next()).constData(), &info) == 0) total += info.st_blocks * 512;
    return total;
}

class RealDu : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        for (const char* folder : {"a/deep", "b", "-n"}) ASSERT_TRUE(QDir().mkpath(temp.filePath(folder)));
        writeFile(temp.filePath("a/big"), 1 << 20);
        writeFile(temp.filePath("a/deep/small"), 3);
        writeFile(temp.filePath("b/mid"), 200000);
        writeFile(temp.filePath("-n/f"), 65536);
    }
    QTemporaryDir temp{QStringLiteral("/dev/shm/du-XXXXXX")};
};

TEST_F(RealDu, MeasuresWhatTheFoldersOccupy) {
    const OVLocalDirectorySizeCalculator calculator;
    const std::int64_t a = allocatedBytes(temp.filePath("a"));
    const std::int64_t b = allocatedBytes(temp.filePath("b"));
    ASSERT_GE(a, 1 << 20);
    EXPECT_EQ(calculator.size({temp.filePath("a")}), a);
    EXPECT_EQ(calculator.size({temp.filePath("a"), temp.filePath("b")}), a + b);
    // One folder du cannot read spoils the whole answer toward "nothing freed".
    EXPECT_EQ(calculator.size({temp.filePath("a"), temp.filePath("missing")}), 0);
}

TEST_F(RealDu, PathStartingWithDashIsNoOption) {
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(temp.path()));
    const std::int64_t measured = OVLocalDirectorySizeCalculator().size({"-n"});
    QDir::setCurrent(previous);
    EXPECT_EQ(measured, allocatedBytes(temp.filePath("-n")));
    EXPECT_GE(measured, 65536);
}

}  // namespace
