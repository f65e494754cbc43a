#include <gtest/gtest.h>

#include <QStandardPaths>

#include <mutex>

#include "app/common/LocalizationController.h"
#include "app/core/UserController.h"
#include "app/delegate/AppDelegate.h"
#include "app/shell/archive/ZipTestSupport.h"
#include "frameworks/logger/DetailedLogFormatter.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Workspace.h"
#include "support/TestEnvironment.h"

namespace {

struct ReportCase {
    const char* name;
    int answer;
    bool downloadsIsAFile;
    bool expectArchive;
    const char* expectedLog;  // the start of the one "GUI" error, or "" for none
    friend void PrintTo(const ReportCase& c, std::ostream* os) { *os << c.name; }
};

class CreateErrorReportAction : public ::testing::TestWithParam<ReportCase> {};

TEST_P(CreateErrorReportAction, AsksPacksAndShowsTheArchive) {
    const ReportCase& c = GetParam();
    AppDelegate delegate(AppDelegate::Environment{});
    TestEnvironment::waitUntil([] { return false; }, 50);  // the launch's sign-out of nobody
    TestEnvironment::waitUntil([&] { return !delegate.userController().isLogoutInProgress(); });
    ASSERT_TRUE(Logger::addFileLogger("group.example.orvella", AppDelegate::fileLogConfiguration(),
                                      std::make_shared<DetailedLogFormatter>()));
    ASSERT_TRUE(ziptest::writeFile(delegate.syncDataDirectoryURL().value() + "/engine.db", "engine"));
    const QString downloads = QStandardPaths::standardLocations(QStandardPaths::DownloadLocation).first();
    QDir(downloads).removeRecursively();
    QFile::remove(downloads);
    if (c.downloadsIsAFile) {
        ASSERT_TRUE(ziptest::writeFile(downloads, "not a folder"));
    }
    std::mutex mutex;
    QStringList errors;
    const auto sink = Logger::addSink([&](const LogEntry& entry) {
        std::lock_guard lock(mutex);
        if (entry.channel == QLatin1String("GUI") && entry.level == LogLevel::error) errors << entry.message;
    });
    QList<QUrl> revealed;
    Workspace::setOpener([&](const QUrl& url) {
        revealed << url;
        return true;
    });
    Alert::clearShownAlerts();
    Alert::setResponder([&](const Alert&) { return c.answer; });

    EXPECT_TRUE(Application::shared().sendAction("createErrorReport:"));
    TestEnvironment::waitUntil([&] {
        Logger::flush();
        std::lock_guard lock(mutex);
        return !revealed.isEmpty() || !errors.isEmpty();
    }, c.answer == Alert::FirstButtonReturn ? 5000 : 100);
    Logger::removeSink(sink);
    Logger::removeFileLogger();
    Workspace::setOpener(nullptr);

    LocalizationController texts;
    ASSERT_EQ(Alert::shownCount(), 1);
    EXPECT_EQ(Alert::shownAlerts()[0].messageText(), texts.mbMenuItemCreateErrorReportAlertTitle());
    EXPECT_EQ(Alert::shownAlerts()[0].buttonTitles(), (QStringList{texts.mbMenuItemCreateErrorReportAlertCreateButton(),
                                                                   texts.mbMenuItemCreateErrorReportAlertCancelButton()}));
    const QStringList archives = QDir(downloads).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(archives.size(), c.expectArchive ? 1 : 0);
    EXPECT_EQ(revealed, c.expectArchive ? QList<QUrl>{QUrl::fromLocalFile(downloads)} : QList<QUrl>{});
    if (c.expectArchive && archives.size() == 1) {
        EXPECT_TRUE(archives[0].startsWith("Orvella 1.0.0 (1)  ") && archives[0].endsWith(".zip")) << archives[0].toStdString();
        const auto entries = ziptest::entries(QDir(downloads).filePath(archives[0])).value_or(QStringList());
        EXPECT_TRUE(entries.contains("<top>/SyncData/engine.db") && entries.contains("<top>/example.orvella.desktop/"))
            << entries.join(' ').toStdString();
    }
    ASSERT_EQ(errors.size(), *c.expectedLog ? 1 : 0);
    if (*c.expectedLog) {
        EXPECT_TRUE(errors[0].startsWith(c.expectedLog)) << errors[0].toStdString();
    }
    QFile::remove(downloads);
}

INSTANTIATE_TEST_SUITE_P(
    Delegate, CreateErrorReportAction,
    ::testing::Values(ReportCase{"cancelled", Alert::SecondButtonReturn, false, false, ""},
                      ReportCase{"created", Alert::FirstButtonReturn, false, true, ""},
                      ReportCase{"downloadsUnusable", Alert::FirstButtonReturn, true, false,
                                 "error while exporting error report: "}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
