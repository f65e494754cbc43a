#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <mutex>

#include "app/common/LocalizationController.h"
#include "app/core/AppResetter.h"
#include "app/core/UserController.h"
#include "app/delegate/AppDelegate.h"
#include "app/shell/ZipTestSupport.h"
#include "frameworks/logger/DetailedLogFormatter.h"
#include "frameworks/logger/Logger.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Workspace.h"
#include "support/TestEnvironment.h"

namespace {

struct ReportCase {
    const char* name;
    int answer;
    bool downloadsIsAFile;
    bool expectArchive;
    const char* expectedLog;  // the start of the one "GUI" error line, or "" for none
};

class CreateErrorReportAction : public ::testing::TestWithParam<ReportCase> {};

TEST_P(CreateErrorReportAction, AsksPacksAndShowsTheArchive) {
    const ReportCase& c = GetParam();
    AppDelegate::Environment environment;
    environment.addFileLogger = [](const QString&, const Logger::FileConfiguration&) { return true; };
    AppDelegate delegate(environment);
    TestEnvironment::waitUntil([&] { return false; }, 50);
    TestEnvironment::waitUntil([&] { return !delegate.userController().isLogoutInProgress(); });
    ASSERT_TRUE(Logger::addFileLogger(QStringLiteral("group.example.orvella"), AppDelegate::fileLogConfiguration(),
                                      std::make_shared<DetailedLogFormatter>()));
    ASSERT_TRUE(delegate.syncDataDirectoryURL().has_value());
    ASSERT_TRUE(ziptest::writeFile(*delegate.syncDataDirectoryURL() + QStringLiteral("/engine.db"), "engine"));

    const QString downloads = QStandardPaths::standardLocations(QStandardPaths::DownloadLocation).first();
    QDir(downloads).removeRecursively();
    QFile::remove(downloads);
    if (c.downloadsIsAFile) {
        ASSERT_TRUE(ziptest::writeFile(downloads, "not a folder"));
    }

    std::mutex mutex;
    QStringList guiErrors;
    const auto sink = Logger::addSink([&](const LogEntry& entry) {
        std::lock_guard lock(mutex);
        if (entry.channel == QLatin1String("GUI") && entry.level == LogLevel::error) guiErrors << entry.message;
    });
    QList<QUrl> revealed;
    Workspace::setOpener([&](const QUrl& url) {
        revealed << url;
        return true;
    });
    Alert::clearShownAlerts();
    Alert::setResponder([&](const Alert&) { return c.answer; });

    EXPECT_TRUE(Application::shared().sendAction(QStringLiteral("createErrorReport:")));
    const auto errors = [&] {
        Logger::flush();
        std::lock_guard lock(mutex);
        return guiErrors;
    };
    TestEnvironment::waitUntil([&] { return !revealed.isEmpty() || !errors().isEmpty(); },
                               c.answer == Alert::FirstButtonReturn ? 5000 : 200);

    LocalizationController texts;
    ASSERT_EQ(Alert::shownCount(), 1);
    const Alert asked = Alert::shownAlerts().front();
    EXPECT_EQ(asked.messageText(), texts.mbMenuItemCreateErrorReportAlertTitle());
    EXPECT_EQ(asked.informativeText(), texts.mbMenuItemCreateErrorReportAlertMessage());
    EXPECT_EQ(asked.buttonTitles(), (QStringList{texts.mbMenuItemCreateErrorReportAlertCreateButton(),
                                                 texts.mbMenuItemCreateErrorReportAlertCancelButton()}));

    const QStringList archives = QDir(downloads).entryList({QStringLiteral("*.zip")}, QDir::Files | QDir::Hidden);
    if (c.expectArchive) {
        ASSERT_EQ(archives.size(), 1);
        EXPECT_TRUE(archives.front().startsWith(QStringLiteral("Orvella 1.0.0 (1)  "))) << archives.front().toStdString();
        EXPECT_FALSE(archives.front().contains(u':'));
        EXPECT_EQ(revealed, QList<QUrl>{QUrl::fromLocalFile(downloads)});
        const auto entries = ziptest::entries(QDir(downloads).filePath(archives.front()));
        ASSERT_TRUE(entries.has_value());
        EXPECT_TRUE(entries->contains(QStringLiteral("<top>/SyncData/engine.db")));
        EXPECT_TRUE(entries->contains(QStringLiteral("<top>/example.orvella.desktop/")));
        for (const QString& store : AppResetter::storeFiles()) {
            if (!store.isEmpty() && QFile::exists(store)) {
                EXPECT_TRUE(entries->contains(QStringLiteral("<top>/") + QFileInfo(store).fileName()));
            }
        }
    } else {
        EXPECT_EQ(archives, QStringList());
        EXPECT_EQ(revealed, QList<QUrl>());
    }
    const QStringList lines = errors();
    if (QByteArray(c.expectedLog).isEmpty()) {
        EXPECT_EQ(lines, QStringList());
    } else {
        ASSERT_EQ(lines.size(), 1);
        EXPECT_TRUE(lines.front().startsWith(QString::fromUtf8(c.expectedLog))) << lines.front().toStdString();
    }

    Alert::setResponder([](const Alert&) { return Alert::SecondButtonReturn; });
    Workspace::setOpener(nullptr);
    Logger::removeSink(sink);
    Logger::removeFileLogger();
    QFile::remove(downloads);
}

INSTANTIATE_TEST_SUITE_P(
    Delegate, CreateErrorReportAction,
    ::testing::Values(ReportCase{"cancelled", Alert::SecondButtonReturn, false, false, ""},
                      ReportCase{"created", Alert::FirstButtonReturn, false, true, ""},
                      ReportCase{"downloadsUnusable", Alert::FirstButtonReturn, true, false,
                                 "error while exporting error report: "}),
    [](const ::testing::TestParamInfo<ReportCase>& info) { return std::string(info.param.name); });

}  // namespace
