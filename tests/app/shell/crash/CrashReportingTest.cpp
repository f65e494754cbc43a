#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <csignal>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

#include "app/shell/crash/AppCenterSDK.h"
#include "app/shell/crash/CrashHandler.h"
#include "app/shell/crash/CrashReport.h"
#include "app/shell/crash/CrashService.h"
#include "frameworks/logger/Logger.h"
#include "support/TestEnvironment.h"

namespace {

constexpr int handled[] = {SIGSEGV, SIGABRT, SIGBUS, SIGFPE, SIGILL};

// Puts the fatal signals' actions back as they were when it was made, so a test leaves the
// process as it found it.
class SignalActionsKept {
public:
    SignalActionsKept() {
        for (std::size_t i = 0; i < std::size(handled); ++i) ::sigaction(handled[i], nullptr, &saved_[i]);
    }
    ~SignalActionsKept() {
        for (std::size_t i = 0; i < std::size(handled); ++i) ::sigaction(handled[i], &saved_[i], nullptr);
    }

private:
    struct sigaction saved_[std::size(handled)];
};

// Runs `crash` in a child process with the handler installed; answers the signal that ended it
// (0 when it exited normally).
int crashChild(const QString& folder, const std::function<void()>& crash) {
    // The handler hands the signal on to the action it replaced; a sanitizer's would end the
    // child with an exit code instead of the signal, so the child starts from the defaults.
    const SignalActionsKept kept;
    struct sigaction defaults {};
    defaults.sa_handler = SIG_DFL;
    for (const int signal : handled) ::sigaction(signal, &defaults, nullptr);
    EXPECT_TRUE(CrashHandler::install(folder, QStringLiteral("2.1.0 (42)")));
    const pid_t child = ::fork();
    if (child == 0) {
        crash();
        ::_exit(0);
    }
    CrashHandler::uninstall();
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) ? WTERMSIG(status) : 0;
}

// A real invalid access; the sanitizers would stop it before it faults.
__attribute__((noinline, no_sanitize("address", "undefined"))) void writeToNowhere() {
    int* volatile nowhere = nullptr;
    *nowhere = 1;
}

struct SignalCase {
    const char* name;
    int signal;
    bool realFault;  // a real invalid access rather than a sent signal
};

class CrashHandlerSignals : public ::testing::TestWithParam<SignalCase> {};

TEST_P(CrashHandlerSignals, WritesOneCompleteReportAndDiesOfTheSameSignal) {
    const SignalCase& c = GetParam();
    QTemporaryDir dir(QStringLiteral("/dev/shm/crash-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const int ended = crashChild(dir.path(), [&] {
        if (c.realFault) writeToNowhere();
        ::raise(c.signal);
    });
    EXPECT_EQ(ended, c.signal);

    const QStringList reports = CrashReport::pendingReportPaths(dir.path());
    ASSERT_EQ(reports.size(), 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);  // no partial file left
    const auto report = CrashReport::read(reports.first());
    ASSERT_TRUE(report);
    EXPECT_TRUE(report->isComplete);
    EXPECT_EQ(report->signal, c.signal);
    EXPECT_EQ(report->signalName, CrashHandler::signalName(c.signal));
    EXPECT_EQ(report->version, QStringLiteral("2.1.0 (42)"));
    EXPECT_GT(report->processIdentifier, 0);
    EXPECT_NE(report->processIdentifier, ::getpid());
    EXPECT_FALSE(report->backtrace.isEmpty());
    EXPECT_LE(qAbs(report->time.secsTo(QDateTime::currentDateTimeUtc())), 60);
}

INSTANTIATE_TEST_SUITE_P(Shell, CrashHandlerSignals,
                         ::testing::Values(SignalCase{"segmentationFault", SIGSEGV, true},
                                           SignalCase{"abort", SIGABRT, false}, SignalCase{"bus", SIGBUS, false},
                                           SignalCase{"floatingPoint", SIGFPE, false},
                                           SignalCase{"illegal", SIGILL, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// Installed once already (by the launch), and the signals reset since: installing again must
// take them back, or a crash leaves no report.
TEST(CrashHandlerTest, InstallingAgainTakesBackSignalsThatWereReset) {
    const SignalActionsKept kept;
    QTemporaryDir earlier(QStringLiteral("/dev/shm/crash-XXXXXX"));
    QTemporaryDir dir(QStringLiteral("/dev/shm/crash-XXXXXX"));
    ASSERT_TRUE(CrashHandler::install(earlier.path(), QStringLiteral("1")));
    EXPECT_EQ(crashChild(dir.path(), [] { ::raise(SIGABRT); }), SIGABRT);
    EXPECT_EQ(CrashReport::pendingReportPaths(dir.path()).size(), 1);
    EXPECT_FALSE(CrashHandler::isInstalled());
}

TEST(CrashHandlerTest, UninstalledHandlerWritesNothing) {
    QTemporaryDir dir(QStringLiteral("/dev/shm/crash-XXXXXX"));
    ASSERT_TRUE(CrashHandler::install(dir.path(), QStringLiteral("1")));
    CrashHandler::uninstall();
    EXPECT_FALSE(CrashHandler::isInstalled());
    const pid_t child = ::fork();
    if (child == 0) {
        ::raise(SIGABRT);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status));
    EXPECT_TRUE(CrashReport::pendingReportPaths(dir.path()).isEmpty());
}

struct ReportCase {
    const char* name;
    const char* text;
    bool readable;
    bool complete;
    int signal;
    int frames;
};

class CrashReportReading : public ::testing::TestWithParam<ReportCase> {};

TEST_P(CrashReportReading, ReadsWhatTheHandlerWrote) {
    const ReportCase& c = GetParam();
    QTemporaryDir dir(QStringLiteral("/dev/shm/crash-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("crash-1.ovcrash"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(c.text);
    file.close();
    const auto report = CrashReport::read(path);
    ASSERT_EQ(report.has_value(), c.readable);
    if (!report) return;
    EXPECT_EQ(report->identifier, QStringLiteral("crash-1"));
    EXPECT_EQ(report->isComplete, c.complete);
    EXPECT_EQ(report->signal, c.signal);
    EXPECT_EQ(report->backtrace.size(), c.frames);
}

INSTANTIATE_TEST_SUITE_P(
    Shell, CrashReportReading,
    ::testing::Values(
        ReportCase{"complete",
                   "Orvella crash report\nVersion: 1.0.0 (1)\nProcess: 7\nSignal: 11 (SIGSEGV)\nCode: 1\nAddress: 0x0\n"
                   "Time: 1700000000\nBacktrace:\n./Orvella(+0x1)[0x1]\n./Orvella(+0x2)[0x2]\nEnd of report\n",
                   true, true, 11, 2},
        ReportCase{"cutShort", "Orvella crash report\nVersion: 1\nProcess: 7\nSignal: 6 (SIGABRT)\nBacktrace:\nframe\n",
                   true, false, 6, 1},
        ReportCase{"noSignal", "Orvella crash report\nVersion: 1\n", false, false, 0, 0},
        ReportCase{"foreign", "Some other file\nSignal: 11 (SIGSEGV)\n", false, false, 0, 0},
        ReportCase{"empty", "", false, false, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the crash service and the consent ----

struct ConsentCase {
    const char* name;
    bool consentAtLaunch;
    bool logUpload;
    bool withdrawnBeforeSending;
    bool expectSent;
    bool expectLogAttachment;
};

class CrashConsent : public ::testing::TestWithParam<ConsentCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        CrashService::shared().resetForTesting();
        CrashService::shared().setFolders(dir.filePath(QStringLiteral("pending")), dir.filePath(QStringLiteral("service")));
    }
    void TearDown() override { CrashService::shared().resetForTesting(); }

    QTemporaryDir dir{QStringLiteral("/dev/shm/crashsvc-XXXXXX")};
};

TEST_P(CrashConsent, SendsEarlierReportsOnlyWithConsent) {
    const ConsentCase& c = GetParam();
    // An earlier run crashed.
    const QString pending = dir.filePath(QStringLiteral("pending"));
    EXPECT_EQ(crashChild(pending, [] { ::raise(SIGABRT); }), SIGABRT);
    const QStringList reports = CrashReport::pendingReportPaths(pending);
    ASSERT_EQ(reports.size(), 1);
    const QString identifier = CrashReport::read(reports.first())->identifier;

    Logger::removeAllLogFiles();
    AppCenterSDK::start(QStringLiteral("the-secret"), c.consentAtLaunch, c.logUpload);
    EXPECT_EQ(CrashService::shared().isStarted(), c.consentAtLaunch);
    EXPECT_EQ(CrashHandler::isInstalled(), c.consentAtLaunch);
    if (c.withdrawnBeforeSending) {
        CrashService::shared().setEnabled(false);
        EXPECT_FALSE(CrashHandler::isInstalled());
    }
    // What the launch scheduled, and one more request, both run their course.
    TestEnvironment::waitUntil([] { return false; }, 30);
    int sent = -1;
    CrashService::shared().sendPendingReports([&](int count) { sent = count; });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return sent >= 0; }, 3000));

    const QDir package(dir.filePath(QStringLiteral("service/") + identifier));
    EXPECT_EQ(package.exists(), c.expectSent);
    EXPECT_EQ(QFile::exists(reports.first()), !c.expectSent);
    if (!c.expectSent) return;
    EXPECT_TRUE(package.exists(QFileInfo(reports.first()).fileName()));
    EXPECT_EQ(package.exists(QStringLiteral("KVTLogger.log")), c.expectLogAttachment);
    if (c.expectLogAttachment) {
        QFile log(package.filePath(QStringLiteral("KVTLogger.log")));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        EXPECT_EQ(log.readAll(), QByteArray("No Log found"));
    }
    QFile metaFile(package.filePath(QStringLiteral("report.json")));
    ASSERT_TRUE(metaFile.open(QIODevice::ReadOnly));
    const QJsonObject meta = QJsonDocument::fromJson(metaFile.readAll()).object();
    EXPECT_EQ(meta.value(QStringLiteral("appSecret")).toString(), QStringLiteral("the-secret"));
    EXPECT_EQ(meta.value(QStringLiteral("signal")).toInt(), SIGABRT);
    // No half-made package is left beside it.
    EXPECT_EQ(QDir(dir.filePath(QStringLiteral("service"))).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).size(), 1);
}

INSTANTIATE_TEST_SUITE_P(Shell, CrashConsent,
                         ::testing::Values(ConsentCase{"consentWithLogs", true, true, false, true, true},
                                           ConsentCase{"consentWithoutLogs", true, false, false, true, false},
                                           ConsentCase{"noConsentAtLaunch", false, true, false, false, false},
                                           ConsentCase{"consentWithdrawn", true, true, true, false, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CrashServiceTest, ConsentGivenLaterInARunWithoutServiceChangesNothing) {
    QTemporaryDir dir(QStringLiteral("/dev/shm/crashsvc-XXXXXX"));
    CrashService::shared().resetForTesting();
    CrashService::shared().setFolders(dir.filePath(QStringLiteral("pending")), dir.filePath(QStringLiteral("service")));
    AppCenterSDK::start(QStringLiteral("s"), false, true);
    CrashService::shared().setEnabled(true);
    EXPECT_FALSE(CrashService::shared().isEnabled());
    EXPECT_FALSE(CrashHandler::isInstalled());
    CrashService::shared().resetForTesting();
}

}  // namespace
