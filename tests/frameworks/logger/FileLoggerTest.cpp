#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>

#include <atomic>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "frameworks/logger/DetailedLogFormatter.h"
#include "frameworks/logger/LogChannel.h"
#include "frameworks/logger/Logger.h"
#include "LoggerTestSupport.h"

namespace {

const QString kGroup = QStringLiteral("group.test.logger");
const QByteArray kSeparator = QByteArray(60, '-') + '\n';

QString uniqueFolder() {
    static std::atomic<int> counter{0};
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    QString name = QString::fromLatin1(info->test_suite_name()) + QLatin1Char('.') + QLatin1String(info->name()) +
                   QLatin1Char('.') + QString::number(counter++);
    return name.replace(QLatin1Char('/'), QLatin1Char('_'));
}

// A controllable clock; starts at a fixed moment so that file times are predictable.
struct ManualClock {
    static std::atomic<qint64>& msecs() {
        static std::atomic<qint64> value{0};
        return value;
    }
    static void install(const QDateTime& start) {
        msecs() = start.toMSecsSinceEpoch();
        Logger::setClock([] { return QDateTime::fromMSecsSinceEpoch(msecs().load(), Qt::UTC); });
    }
    static void advanceSeconds(qint64 seconds) { msecs() += seconds * 1000; }
};

class FileLoggerTest : public ::testing::Test {
protected:
    void SetUp() override { Logger::setConsoleOutputEnabled(false); }
    void TearDown() override {
        Logger::removeFileLogger();
        Logger::setClock({});
    }

    bool start(Logger::FileConfiguration configuration) {
        if (configuration.folderName.isEmpty()) configuration.folderName = uniqueFolder();
        folderName_ = configuration.folderName;
        return Logger::addFileLogger(kGroup, configuration, DetailedLogFormatter::shared());
    }
    QString folder() const { return Logger::logFolderPath(kGroup, folderName_); }
    QStringList filesOnDisk() const {
        QStringList result;
        for (const QString& name : QDir(folder()).entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name))
            result.append(folder() + QLatin1Char('/') + name);
        return result;
    }

    QString folderName_;
};

Log::Channel& fileChannel() {
    return Logger::channel(QStringLiteral("Files"), 4);
}

void logNumbered(int count, const QString& padding = {}) {
    for (int i = 0; i < count; ++i)
        OVLOG_INFO(fileChannel(), QStringLiteral("entry %1 %2").arg(i, 5, 10, QLatin1Char('0')).arg(padding));
}

// Entry numbers in the order they appear in the files, oldest file first.
std::vector<int> numbersIn(const QStringList& files) {
    static const QRegularExpression pattern(QStringLiteral(" - entry (\\d{5}) "));
    std::vector<int> numbers;
    for (const QString& path : files) {
        auto it = pattern.globalMatch(QString::fromUtf8(readAll(path)));
        while (it.hasNext()) numbers.push_back(it.next().captured(1).toInt());
    }
    return numbers;
}

struct RollRow {
    const char* name;
    qint64 maximumFileSize;
    int maximumNumberOfLogFiles;
    qint64 quota;
    int entries;
};

class RollingBySizeTest : public FileLoggerTest, public ::testing::WithParamInterface<RollRow> {};

TEST_P(RollingBySizeTest, KeepsTheNewestFilesWithinCountAndQuota) {
    const RollRow& row = GetParam();
    Logger::FileConfiguration configuration;
    configuration.maximumFileSize = row.maximumFileSize;
    configuration.maximumNumberOfLogFiles = row.maximumNumberOfLogFiles;
    configuration.logFilesDiskQuota = row.quota;
    ASSERT_TRUE(start(configuration));
    logNumbered(row.entries, QStringLiteral("padding-to-make-lines-longer"));

    const QStringList files = Logger::logFilePaths();
    ASSERT_FALSE(files.isEmpty());
    EXPECT_EQ(files, filesOnDisk()) << "rolled-away files must be gone from disk";
    if (row.maximumNumberOfLogFiles > 0) { EXPECT_LE(files.size(), row.maximumNumberOfLogFiles); }
    qint64 total = 0;
    for (const QString& path : files) {
        const QByteArray data = readAll(path);
        total += data.size();
        if (row.maximumFileSize > 0) { EXPECT_LE(data.size(), row.maximumFileSize) << path.toStdString(); }
        EXPECT_TRUE(data.startsWith("Application: ")) << path.toStdString();
        EXPECT_TRUE(data.contains(kSeparator)) << path.toStdString();
    }
    if (row.quota > 0) { EXPECT_LE(total, row.quota); }

    // What is kept is an unbroken run of the newest entries.
    const std::vector<int> numbers = numbersIn(files);
    ASSERT_FALSE(numbers.empty());
    EXPECT_EQ(numbers.back(), row.entries - 1);
    EXPECT_GT(numbers.front(), 0) << "the row should have rolled the oldest entries away";
    for (std::size_t i = 1; i < numbers.size(); ++i) ASSERT_EQ(numbers[i], numbers[i - 1] + 1) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Limits, RollingBySizeTest,
    ::testing::Values(RollRow{"count_limits", 2000, 3, 0, 300},
                      RollRow{"quota_limits", 2000, 0, 4500, 300},
                      RollRow{"quota_below_file_size", 8000, 10, 3000, 300},
                      RollRow{"both_limits", 1500, 4, 5000, 400}),
    [](const auto& info) { return std::string(info.param.name); });

struct TimeRow {
    const char* name;
    std::vector<qint64> offsets;  // seconds after start, one entry each
    qint64 expectedFiles;
};

class RollingByTimeTest : public FileLoggerTest, public ::testing::WithParamInterface<TimeRow> {};

TEST_P(RollingByTimeTest, StartsANewFileOnceTheCurrentOneIsOldEnough) {
    const TimeRow& row = GetParam();
    const QDateTime start = QDateTime(QDate(2030, 5, 6), QTime(7, 8, 9), Qt::UTC);
    ManualClock::install(start);
    Logger::FileConfiguration configuration;
    configuration.rollingFrequency = 60;
    ASSERT_TRUE(this->start(configuration));
    qint64 elapsed = 0;
    for (const qint64 offset : row.offsets) {
        ManualClock::advanceSeconds(offset - elapsed);
        elapsed = offset;
        OVLOG_INFO(fileChannel(), QStringLiteral("at %1").arg(offset));
    }
    const QStringList files = Logger::logFilePaths();
    ASSERT_EQ(files.size(), row.expectedFiles);
    EXPECT_EQ(QFileInfo(files.front()).fileName(), folderName_ + QStringLiteral(" 2030-05-06--07-08-09-000.log"));
    for (const QString& path : files) { EXPECT_TRUE(readAll(path).startsWith("Application: ")) << path.toStdString(); }
    // Every entry is in exactly one file.
    QByteArray all;
    for (const QString& path : files) all += readAll(path);
    for (const qint64 offset : row.offsets)
        EXPECT_EQ(all.count(QStringLiteral(" - at %1\n").arg(offset).toUtf8()), 1) << offset;
}

INSTANTIATE_TEST_SUITE_P(
    Frequencies, RollingByTimeTest,
    ::testing::Values(TimeRow{"within_the_period", {0, 30, 59}, 1},
                      TimeRow{"exactly_one_period", {0, 60}, 2},
                      TimeRow{"measured_from_the_new_file", {0, 61, 100, 121}, 3},
                      TimeRow{"long_gap", {0, 10000}, 2}),
    [](const auto& info) { return std::string(info.param.name); });

struct HeaderRow {
    const char* name;
    QList<Logger::HeaderElement> elements;
    QStringList present;
    QStringList absent;
};

class HeaderTest : public FileLoggerTest, public ::testing::WithParamInterface<HeaderRow> {};

TEST_P(HeaderTest, WritesTheConfiguredElementsAtTheTopOfEveryFile) {
    const HeaderRow& row = GetParam();
    ManualClock::install(QDateTime(QDate(2031, 1, 2), QTime(3, 4, 5), Qt::UTC));
    Logger::FileConfiguration configuration;
    configuration.headerElements = row.elements;
    configuration.rollingFrequency = 10;
    ASSERT_TRUE(start(configuration));
    OVLOG_INFO(fileChannel(), QStringLiteral("one"));
    ManualClock::advanceSeconds(11);
    OVLOG_INFO(fileChannel(), QStringLiteral("two"));
    const QStringList files = Logger::logFilePaths();
    ASSERT_EQ(files.size(), 2);
    for (const QString& path : files) {
        const QString text = QString::fromUtf8(readAll(path));
        const qsizetype firstEntry = text.indexOf(QStringLiteral(" [INFO] [Files]"));
        const QString header = text.left(text.lastIndexOf(QLatin1Char('\n'), firstEntry) + 1);
        for (const QString& label : row.present) { EXPECT_TRUE(header.contains(label)) << label.toStdString(); }
        for (const QString& label : row.absent) { EXPECT_FALSE(header.contains(label)) << label.toStdString(); }
        if (row.elements.isEmpty()) { EXPECT_TRUE(header.isEmpty()) << header.toStdString(); }
    }
    const QString versionLine = QStringLiteral("Version: 1.0.0 (1)");
    if (row.elements.contains(Logger::HeaderElement::applicationVersion)) {
        EXPECT_TRUE(QString::fromUtf8(readAll(files.front())).contains(versionLine));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Elements, HeaderTest,
    ::testing::Values(
        HeaderRow{"all_four",
                  {Logger::HeaderElement::applicationName, Logger::HeaderElement::applicationVersion,
                   Logger::HeaderElement::operatingSystem, Logger::HeaderElement::date},
                  {QStringLiteral("Application: Orvella\n"), QStringLiteral("Version: "),
                   QStringLiteral("Operating system: "), QStringLiteral("Date: 20")},
                  {}},
        HeaderRow{"date_only",
                  {Logger::HeaderElement::date},
                  {QStringLiteral("Date: ")},
                  {QStringLiteral("Application: "), QStringLiteral("Version: ")}},
        HeaderRow{"none", {}, {}, {QStringLiteral("Date: "), QStringLiteral("-----")}}),
    [](const auto& info) { return std::string(info.param.name); });

class ContentTest : public FileLoggerTest, public ::testing::WithParamInterface<qint64> {};

TEST_P(ContentTest, KeepsTheNewestTextWithinTheLimit) {
    Logger::FileConfiguration configuration;
    configuration.maximumFileSize = 1200;
    configuration.maximumNumberOfLogFiles = 0;
    configuration.logFilesDiskQuota = 0;
    ASSERT_TRUE(start(configuration));
    // Multi-byte characters so that a cut can fall inside one.
    logNumbered(60, QStringLiteral("äöü€ text"));
    QByteArray full;
    qsizetype longestLine = 0;
    for (const QString& path : Logger::logFilePaths()) full += readAll(path);
    for (const QByteArray& line : full.split('\n')) longestLine = std::max(longestLine, line.size() + 1);
    ASSERT_GT(full.size(), 5000);

    const qint64 wanted = GetParam() < 0 ? full.size() + GetParam() : GetParam();
    const QByteArray content = Logger::logFilesContent(wanted).toUtf8();
    EXPECT_LE(content.size(), wanted);
    EXPECT_TRUE(full.endsWith(content));
    EXPECT_FALSE(QString::fromUtf8(content).contains(QChar::ReplacementCharacter));
    if (wanted >= full.size()) {
        EXPECT_EQ(content, full);
    } else if (wanted >= longestLine) {
        // Begins at a line and loses less than one line to get there.
        EXPECT_EQ(full.at(full.size() - content.size() - 1), '\n');
        EXPECT_GT(content.size(), wanted - longestLine);
    } else if (wanted >= 4) {
        EXPECT_GE(content.size(), wanted - 3);
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, ContentTest, ::testing::Values(1, 2, 3, 37, 90, 777, 4096, -1, 100000),
                         [](const auto& info) {
                             return info.param < 0 ? "full_minus_" + std::to_string(-info.param)
                                                   : "max_" + std::to_string(info.param);
                         });

TEST_F(FileLoggerTest, NothingToReadWithoutLogFiles) {
    EXPECT_TRUE(Logger::logFilesContent(1000).isEmpty());
    EXPECT_TRUE(Logger::logFilePaths().isEmpty());
    EXPECT_FALSE(Logger::currentLogFilePath().has_value());
    EXPECT_FALSE(Logger::exportLogs().has_value());

    Logger::FileConfiguration configuration;
    configuration.headerElements.clear();
    ASSERT_TRUE(start(configuration));
    EXPECT_TRUE(Logger::logFilesContent(1000).isEmpty());
    EXPECT_EQ(Logger::logFilePaths().size(), 1);
    OVLOG_INFO(fileChannel(), QStringLiteral("hello"));
    EXPECT_TRUE(Logger::logFilesContent(0).isEmpty());
    EXPECT_TRUE(Logger::logFilesContent(1000).endsWith(QStringLiteral(" - hello\n")));
}

TEST_F(FileLoggerTest, ConcurrentWritersLoseNoLine) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 400;
    Logger::FileConfiguration configuration;
    configuration.maximumFileSize = 0;
    configuration.logFilesDiskQuota = 0;
    ASSERT_TRUE(start(configuration));
    CapturingSink sink;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kPerThread; ++i) OVLOG_INFO(fileChannel(), QStringLiteral("w%1-%2;").arg(t).arg(i));
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(sink.count(), static_cast<std::size_t>(kThreads * kPerThread));

    const QStringList files = Logger::logFilePaths();
    ASSERT_EQ(files.size(), 1);
    const QList<QByteArray> lines = readAll(files.front()).split('\n');
    QSet<QByteArray> seen;
    int entries = 0;
    for (const QByteArray& line : lines) {
        const qsizetype at = line.indexOf(" - w");
        if (at < 0) continue;
        ++entries;
        EXPECT_TRUE(line.endsWith(';')) << line.constData();  // never two entries interleaved
        seen.insert(line.mid(at));
    }
    EXPECT_EQ(entries, kThreads * kPerThread);
    EXPECT_EQ(seen.size(), kThreads * kPerThread);
}

TEST_F(FileLoggerTest, ExportMirrorsTheLogFiles) {
    const QString parent = QDir::tempPath() + QStringLiteral("/orvella-log-export-") + QString::number(QCoreApplication::applicationPid());
    QDir(parent).removeRecursively();
    Logger::FileConfiguration configuration;
    configuration.exportParentFolderPath = parent;
    configuration.maximumFileSize = 800;
    configuration.maximumNumberOfLogFiles = 2;
    ASSERT_TRUE(start(configuration));
    logNumbered(20);
    const auto first = Logger::exportLogs();
    ASSERT_TRUE(first.has_value());
    EXPECT_EQ(*first, parent + QLatin1Char('/') + folderName_);
    logNumbered(20);  // rolls the earlier files away
    const auto second = Logger::exportLogs();
    ASSERT_TRUE(second.has_value());

    const QStringList files = Logger::logFilePaths();
    const QStringList exported = QDir(*second).entryList(QDir::Files, QDir::Name);
    ASSERT_EQ(exported.size(), files.size());
    for (const QString& path : files)
        EXPECT_EQ(readAll(*second + QLatin1Char('/') + QFileInfo(path).fileName()), readAll(path));
    QDir(parent).removeRecursively();
}

TEST_F(FileLoggerTest, RemovingAllFilesStartsAFreshOne) {
    Logger::FileConfiguration configuration;
    configuration.maximumFileSize = 600;
    ASSERT_TRUE(start(configuration));
    logNumbered(30);
    const QStringList before = Logger::logFilePaths();
    ASSERT_GT(before.size(), 1);
    Logger::removeAllLogFiles();
    const QStringList after = Logger::logFilePaths();
    ASSERT_EQ(after.size(), 1);
    // The fresh file may reuse a name from within the same millisecond, never the old text.
    for (const QString& path : before) {
        if (path != after.front()) { EXPECT_FALSE(QFileInfo::exists(path)) << path.toStdString(); }
    }
    EXPECT_FALSE(readAll(after.front()).contains(" - entry "));
    EXPECT_EQ(Logger::currentLogFilePath(), after.front());
    EXPECT_EQ(filesOnDisk(), after);
    EXPECT_TRUE(readAll(after.front()).startsWith("Application: "));
}

TEST_F(FileLoggerTest, EveryStartBeginsANewFileAndKeepsTheLimitOverEarlierRuns) {
    Logger::FileConfiguration configuration;
    configuration.folderName = uniqueFolder();
    configuration.maximumNumberOfLogFiles = 2;
    // The clock is set back between runs: names must still sort by age for the oldest to go.
    ManualClock::install(QDateTime(QDate(2030, 1, 1), QTime(12, 0), Qt::UTC));
    QStringList previous;
    for (int run = 0; run < 4; ++run) {
        SCOPED_TRACE(run);
        ManualClock::advanceSeconds(-3600);
        ASSERT_TRUE(start(configuration));
        OVLOG_INFO(fileChannel(), QStringLiteral("run %1").arg(run));
        const QStringList files = Logger::logFilePaths();
        ASSERT_EQ(files.size(), std::min(run + 1, 2));
        EXPECT_EQ(files, filesOnDisk());
        EXPECT_FALSE(previous.contains(files.back())) << "a run must not reuse an earlier file";
        EXPECT_TRUE(readAll(files.back()).endsWith(QStringLiteral(" - run %1\n").arg(run).toUtf8()));
        if (run > 0) { EXPECT_EQ(files.front(), previous.back()); }
        previous = files;
        Logger::removeFileLogger();
    }
}

TEST_F(FileLoggerTest, AFileDeletedBehindItsBackIsReplaced) {
    ASSERT_TRUE(start({}));
    OVLOG_INFO(fileChannel(), QStringLiteral("before"));
    Logger::flush();
    QDir(folder()).removeRecursively();
    OVLOG_INFO(fileChannel(), QStringLiteral("after"));
    const QStringList files = Logger::logFilePaths();
    ASSERT_EQ(files.size(), 1);
    const QByteArray text = readAll(files.front());
    EXPECT_TRUE(text.startsWith("Application: "));
    EXPECT_TRUE(text.endsWith(" - after\n"));
}

// The logs name the user's files: they stay the owner's alone, those left wider by an earlier run too.
TEST_F(FileLoggerTest, LogsAndTheirExportAreOwnerOnly) {
    const auto mode = [](const QString& path) {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? info.st_mode & 07777 : 0u;
    };
    Logger::FileConfiguration configuration;
    configuration.folderName = uniqueFolder();
    ASSERT_TRUE(start(configuration));
    OVLOG_INFO(fileChannel(), QStringLiteral("first run"));
    const QString earlier = Logger::logFilePaths().front();
    Logger::removeFileLogger();
    ASSERT_EQ(::chmod(QFile::encodeName(folder()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(earlier).constData(), 0644), 0);

    const QString parent = QDir::tempPath() + QStringLiteral("/orvella-log-modes-") +
                           QString::number(QCoreApplication::applicationPid());
    QDir(parent).removeRecursively();
    configuration.exportParentFolderPath = parent;
    ASSERT_TRUE(start(configuration));
    OVLOG_INFO(fileChannel(), QStringLiteral("second run"));
    const auto exported = Logger::exportLogs();
    ASSERT_TRUE(exported.has_value());
    const QStringList files = Logger::logFilePaths();
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(mode(folder()), 0700u);
    EXPECT_EQ(mode(*exported), 0700u);
    for (const QString& path : files) {
        SCOPED_TRACE(path.toStdString());
        EXPECT_EQ(mode(path), 0600u);
        EXPECT_EQ(mode(*exported + QLatin1Char('/') + QFileInfo(path).fileName()), 0600u);
    }
    QDir(parent).removeRecursively();
}

struct FolderRow {
    const char* name;
    QString group;
    QString folder;
    QString expectedTail;
};

class LogFolderTest : public ::testing::TestWithParam<FolderRow> {};

TEST_P(LogFolderTest, StaysInsideTheDataFolder) {
    const FolderRow& row = GetParam();
    const QString base = qEnvironmentVariable("XDG_DATA_HOME");
    ASSERT_FALSE(base.isEmpty());
    const QString path = Logger::logFolderPath(row.group, row.folder);
    EXPECT_EQ(path, QDir::cleanPath(base) + row.expectedTail);
    EXPECT_EQ(QDir::cleanPath(path), path);
}

INSTANTIATE_TEST_SUITE_P(
    Names, LogFolderTest,
    ::testing::Values(
        FolderRow{"plain", QStringLiteral("group.a"), QStringLiteral("app.id"), QStringLiteral("/group.a/Logs/app.id")},
        FolderRow{"parent_folder", QStringLiteral(".."), QStringLiteral(".."), QStringLiteral("/_/Logs/_")},
        FolderRow{"separators", QStringLiteral("a/../b"), QStringLiteral("../../etc"),
                  QStringLiteral("/a_.._b/Logs/.._.._etc")},
        FolderRow{"empty_folder", QStringLiteral("g"), QString(), QStringLiteral("/g/Logs/Application")}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace

namespace {

// Start-up lines logged before the application sets its file logger up are not lost.
TEST_F(FileLoggerTest, EntriesBeforeTheFirstFileLoggerReachItsFile) {
    if (!Logger::keepsEarlyEntries()) GTEST_SKIP() << "a file logger was added earlier in this process";
    Logger::setConsoleOutputEnabled(true);
    OVLOG_INFO(fileChannel(), QStringLiteral("logged before any file"));
    Logger::setConsoleOutputEnabled(false);
    ASSERT_TRUE(start({}));
    Logger::flush();
    EXPECT_TRUE(Logger::logFilesContent(1 << 20).contains(QStringLiteral("logged before any file")));
    EXPECT_FALSE(Logger::keepsEarlyEntries());
}

}  // namespace
