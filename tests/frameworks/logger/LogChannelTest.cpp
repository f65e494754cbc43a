#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <latch>
#include <thread>
#include <vector>

#include "frameworks/logger/DetailedLogFormatter.h"
#include "frameworks/logger/LogChannel.h"
#include "frameworks/logger/Logger.h"
#include "LoggerTestSupport.h"

namespace {

constexpr std::array<LogLevel, 4> kLevels{LogLevel::debug, LogLevel::info, LogLevel::warning, LogLevel::error};

struct MatrixRow {
    const char* name;
    int verbosity;
    std::array<bool, 4> written;  // debug, info, warning, error
};

class VerbosityMatrixTest : public ::testing::TestWithParam<MatrixRow> {
protected:
    void SetUp() override { Logger::setConsoleOutputEnabled(false); }
};

TEST_P(VerbosityMatrixTest, LetsThroughExactlyTheLevelsOfTheOrdinal) {
    const MatrixRow& row = GetParam();
    Log::Channel& channel = Logger::channel(QStringLiteral("Matrix.") + QLatin1String(row.name), 0);
    channel.setVerbosity(row.verbosity);
    CapturingSink sink;
    for (std::size_t i = 0; i < kLevels.size(); ++i) {
        SCOPED_TRACE(logLevelName(kLevels[i]).toStdString());
        int built = 0;
        channel.log(kLevels[i], [&] { ++built; return QStringLiteral("m"); }, __FILE__, "f", 1);
        EXPECT_EQ(channel.isEnabled(kLevels[i]), row.written[i]);
        EXPECT_EQ(built, row.written[i] ? 1 : 0);
    }
    std::vector<LogLevel> expected;
    for (std::size_t i = 0; i < kLevels.size(); ++i)
        if (row.written[i]) expected.push_back(kLevels[i]);
    std::vector<LogLevel> got;
    for (const LogEntry& entry : sink.entries()) got.push_back(entry.level);
    EXPECT_EQ(got, expected);
}

INSTANTIATE_TEST_SUITE_P(
    Ordinals, VerbosityMatrixTest,
    ::testing::Values(MatrixRow{"below_range", -3, {false, false, false, false}},
                      MatrixRow{"nothing", 0, {false, false, false, false}},
                      MatrixRow{"error", 1, {false, false, false, true}},
                      MatrixRow{"warning", 2, {false, false, true, true}},
                      MatrixRow{"info", 3, {false, true, true, true}},
                      MatrixRow{"debug", 4, {true, true, true, true}},
                      MatrixRow{"above_range", 9, {true, true, true, true}}),
    [](const auto& info) { return std::string(info.param.name); });

class LogChannelTest : public ::testing::Test {
protected:
    void SetUp() override { Logger::setConsoleOutputEnabled(false); }
};

TEST_F(LogChannelTest, MessageIsNeverBuiltWhenFilteredOrWhenNothingListens) {
    Log::Channel& channel = Logger::channel(QStringLiteral("Lazy"), 1);
    int built = 0;
    const auto expensive = [&] { ++built; return QStringLiteral("costly"); };
    {
        CapturingSink sink;
        OVLOG_DEBUG(channel, expensive());
        OVLOG_INFO(channel, expensive());
        OVLOG_WARNING(channel, expensive());
        channel.info(expensive, __FILE__, Q_FUNC_INFO, __LINE__);
        EXPECT_EQ(built, 0);
        OVLOG_ERROR(channel, expensive());
        EXPECT_EQ(built, 1);
        EXPECT_EQ(sink.count(), 1u);
    }
    // No console, no sink, no file: a passing entry has nowhere to go and is not built either.
    ASSERT_FALSE(Logger::hasOutputs());
    OVLOG_ERROR(channel, expensive());
    EXPECT_EQ(built, 1);
}

TEST_F(LogChannelTest, EntryCarriesTheCallSiteAndFormatsOnOneLine) {
    Log::Channel& channel = Logger::channel(QStringLiteral("Detail.site"), 4);
    CapturingSink sink;
    const unsigned line = __LINE__ + 1;
    OVLOG_WARNING(channel, QStringLiteral("first\nsecond\r\nthird"));
    const auto entries = sink.entries();
    ASSERT_EQ(entries.size(), 1u);
    const LogEntry& entry = entries.front();
    EXPECT_EQ(entry.channel, QStringLiteral("Detail.site"));
    EXPECT_EQ(entry.file, QStringLiteral(__FILE__));
    EXPECT_EQ(entry.line, line);
    EXPECT_TRUE(entry.function.contains(QStringLiteral("TestBody"))) << entry.function.toStdString();

    const QString text = DetailedLogFormatter::shared()->format(entry);
    EXPECT_FALSE(text.contains(QLatin1Char('\n')));
    EXPECT_FALSE(text.contains(QLatin1Char('\r')));
    EXPECT_TRUE(text.contains(QStringLiteral("[WARNING] [Detail.site] LogChannelTest.cpp:") + QString::number(line)))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral(" - first\\nsecond\\nthird"))) << text.toStdString();
    EXPECT_TRUE(text.startsWith(entry.timestamp.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"))));
}

TEST_F(LogChannelTest, OneChannelPerNameAcrossThreads) {
    constexpr int kThreads = 16;
    std::latch start(kThreads);
    std::array<Log::Channel*, kThreads> seen{};
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            start.arrive_and_wait();
            seen[i] = &Logger::channel(QStringLiteral("Race.shared"), i % 5);
        });
    }
    for (auto& thread : threads) thread.join();
    for (Log::Channel* channel : seen) EXPECT_EQ(channel, seen.front());
    const int firstVerbosity = seen.front()->verbosity();
    EXPECT_GE(firstVerbosity, 0);
    EXPECT_LE(firstVerbosity, 4);
    // Later requests neither make a new channel nor reset the verbosity.
    EXPECT_EQ(&Logger::channel(QStringLiteral("Race.shared"), (firstVerbosity + 1) % 5), seen.front());
    EXPECT_EQ(seen.front()->verbosity(), firstVerbosity);
    EXPECT_EQ(Logger::existingChannel(QStringLiteral("Race.shared")), seen.front());
    EXPECT_EQ(Logger::existingChannel(QStringLiteral("Race.never")), nullptr);
}

}  // namespace
