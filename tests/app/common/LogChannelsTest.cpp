#include <gtest/gtest.h>

#include <QSet>

#include <mutex>
#include <vector>

#include "app/common/LogChannels.h"
#include "frameworks/logger/FrameworkChannels.h"
#include "frameworks/logger/Logger.h"

namespace {

struct ChannelRow {
    const char* name;
    Log::Channel& (*channel)();
    int initial;
    int afterLaunch;
};

const std::vector<ChannelRow>& appChannels() {
    static const std::vector<ChannelRow> rows{
        {"Backup & Restore", AppLog::backupRestore, 3, 2},
        {"Flow", AppLog::flow, 3, 2},
        {"Framework", AppLog::framework, 1, 2},
        {"FrameworkSync", AppLog::frameworkSync, 4, 2},
        {"GUI", AppLog::gui, 3, 2},
        {"Setup", AppLog::setup, 3, 2},
        {"Tracking", AppLog::tracking, 3, 2},
        {"AutoImport", AppLog::autoImport, 3, 2},
        {"FSEvents", AppLog::fsEvents, 3, 2},
        {"FinderSidebar", AppLog::finderSidebar, 3, 2},
        {"SelectiveSyncBrowser", AppLog::selectiveSyncBrowser, 3, 2},
        {"Notification", AppLog::notification, 3, 2},
        {"Sync status", AppLog::syncStatus, 3, 2},
        {"App life cycle", AppLog::appLifeCycle, 3, 3},
        {"FinderSync", AppLog::finderSync, 3, 2},
    };
    return rows;
}

struct FrameworkRow {
    const char* member;
    Log::Channel& (*channel)();
    int afterLaunch;
};

// A sample of each framework group; every group's assignment differs from its initial value.
const std::vector<FrameworkRow>& frameworkChannels() {
    static const std::vector<FrameworkRow> rows{
        {"Business.backup", Log::Business::backup, 1},
        {"Business.connectivity", Log::Business::connectivity, 1},
        {"API.accessToken", Log::API::accessToken, 2},
        {"API.calls", Log::API::calls, 2},
        {"API.response", Log::API::response, 0},
        {"API.removingPathErrors", Log::API::removingPathErrors, 2},
        {"Backup.nimbusaveSDK", Log::Backup::nimbusaveSDK, 1},
        {"Backup.flow", Log::Backup::flow, 1},
        {"Sync.hash", Log::Sync::hash, 2},
        {"Sync.upload", Log::Sync::upload, 2},
        {"Sync.cleanupSelectiveSync", Log::Sync::cleanupSelectiveSync, 2},
    };
    return rows;
}

// The launch set-up changes process-wide state, so the states before and after are checked in one
// test, in order.
TEST(LogChannelsTest, InitialVerbositiesThenTheLaunchValues) {
    Logger::setConsoleOutputEnabled(false);
    std::mutex mutex;
    std::vector<std::pair<QString, LogLevel>> written;
    const auto sink = Logger::addSink([&](const LogEntry& entry) {
        std::lock_guard lock(mutex);
        written.emplace_back(entry.channel, entry.level);
    });

    QSet<QString> names;
    for (const ChannelRow& row : appChannels()) {
        SCOPED_TRACE(row.name);
        Log::Channel& channel = row.channel();
        EXPECT_EQ(channel.name(), QString::fromUtf8(row.name));
        EXPECT_EQ(channel.verbosity(), row.initial);
        EXPECT_EQ(&channel, &Logger::channel(QString::fromUtf8(row.name), 0)) << "one channel per name";
        names.insert(channel.name());
    }
    EXPECT_EQ(names.size(), 15);

    // Before the launch set-up an info message on the browser's channel is written.
    OVLOG_INFO(AppLog::selectiveSyncBrowser(), QStringLiteral("before"));
    OVLOG_ERROR(Log::API::response(), QStringLiteral("before"));
    AppLog::setVerbosities();
    OVLOG_INFO(AppLog::selectiveSyncBrowser(), QStringLiteral("after"));
    OVLOG_WARNING(AppLog::selectiveSyncBrowser(), QStringLiteral("after"));
    OVLOG_DEBUG(AppLog::frameworkSync(), QStringLiteral("after"));
    OVLOG_ERROR(Log::API::response(), QStringLiteral("after"));
    OVLOG_INFO(AppLog::appLifeCycle(), QStringLiteral("after"));
    Logger::removeSink(sink);

    for (const ChannelRow& row : appChannels()) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.channel().verbosity(), row.afterLaunch);
    }
    for (const FrameworkRow& row : frameworkChannels()) {
        SCOPED_TRACE(row.member);
        EXPECT_EQ(row.channel().name(), QString::fromUtf8(row.member));
        EXPECT_EQ(row.channel().verbosity(), row.afterLaunch);
    }
    const std::vector<std::pair<QString, LogLevel>> expected{
        {QStringLiteral("SelectiveSyncBrowser"), LogLevel::info},
        {QStringLiteral("API.response"), LogLevel::error},
        {QStringLiteral("SelectiveSyncBrowser"), LogLevel::warning},
        {QStringLiteral("App life cycle"), LogLevel::info},
    };
    EXPECT_EQ(written, expected);
}

}  // namespace
