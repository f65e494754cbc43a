#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "launchhelper/AppDelegate.h"
#include "launchhelper/RunningApplications.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/MainQueue.h"
#include "support/TestEnvironment.h"

QByteArray orvellaInfo();

namespace {

using Outcome = LaunchHelper::Outcome;
const QString kApp = QStringLiteral("/opt/orvella/Orvella");

// Fakes that answer from `answers` ("installed", "locked", "running", "starts") and log each call.
LaunchHelper::Environment fakes(const QString& answers, QStringList& log) {
    LaunchHelper::Environment env;
    env.locateApplication = [=, &log](const QString& id) -> std::optional<QString> {
        log << QStringLiteral("locate ") + id;
        return answers.contains(QStringLiteral("installed")) ? std::optional(kApp) : std::nullopt;
    };
    env.acquireLock = [=, &log](const QString&) -> std::shared_ptr<void> {
        log << QStringLiteral("lock");
        if (!answers.contains(QStringLiteral("locked"))) return nullptr;
        return std::shared_ptr<void>(new int, [&log](void* p) {
            log << QStringLiteral("unlock");
            delete static_cast<int*>(p);
        });
    };
    env.isRunning = [=, &log](const QString& path) {
        log << QStringLiteral("running? ") + path;
        return answers.contains(QStringLiteral("running"));
    };
    env.launch = [=, &log](const QString& path) {
        log << QStringLiteral("launch ") + path;
        return answers.contains(QStringLiteral("starts"));
    };
    return env;
}

struct Decision {
    const char* name;
    QString identifier;
    QString answers;
    Outcome outcome;
    int exitCode;
    QString log;
};

class LaunchDecision : public ::testing::TestWithParam<Decision> {};

TEST_P(LaunchDecision, ChecksUnderTheLockAndStartsAtMostOnce) {
    const Decision& d = GetParam();
    QStringList log;
    const Outcome outcome = LaunchHelper(fakes(d.answers, log)).launchMainApplication(d.identifier);
    EXPECT_EQ(outcome, d.outcome);
    EXPECT_EQ(LaunchHelper::exitCode(outcome), d.exitCode);
    EXPECT_EQ(log.join(QStringLiteral("; ")), d.log);
}

const QString kId = QStringLiteral("example.orvella.desktop");
const QString kAll = QStringLiteral("installed locked starts");
const QString kChecked = QStringLiteral("locate example.orvella.desktop; lock; running? /opt/orvella/Orvella");
const QString kStarted = kChecked + QStringLiteral("; launch /opt/orvella/Orvella");

INSTANTIATE_TEST_SUITE_P(
    Table, LaunchDecision,
    ::testing::Values(Decision{"emptyIdentifier", {}, kAll, Outcome::noApplication, 1, {}},
                      Decision{"identifierClimbingOut", QStringLiteral("../x"), kAll, Outcome::noApplication, 1, {}},
                      Decision{"notInstalled", kId, QStringLiteral("locked starts"), Outcome::noApplication, 1,
                               QStringLiteral("locate example.orvella.desktop")},
                      Decision{"notRunning", kId, kAll, Outcome::launched, 0, kStarted + QStringLiteral("; unlock")},
                      Decision{"running", kId, kAll + QStringLiteral(" running"), Outcome::alreadyRunning, 0,
                               kChecked + QStringLiteral("; unlock")},
                      Decision{"startFails", kId, QStringLiteral("installed locked"), Outcome::launchFailed, 2,
                               kStarted + QStringLiteral("; unlock")},
                      Decision{"lockNotHadInTime", kId, QStringLiteral("installed starts"), Outcome::launched, 0, kStarted}),
    [](const ::testing::TestParamInfo<Decision>& info) { return std::string(info.param.name); });

TEST(LaunchHelperAppDelegate, StartsByItsOwnInformationKeyAndReportsOnceOnTheMainThread) {
    const struct {
        const char* info;
        Outcome outcome;
        QString log;
    } rows[] = {
        {R"({"AppBundleIdentifier": "example.orvella.desktop"})", Outcome::launched, kStarted + QStringLiteral("; unlock")},
        {R"({"CFBundleExecutable": "Orvella_LaunchHelper"})", Outcome::noApplication, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.info);
        ASSERT_TRUE(Bundle::main().setInfoJson(row.info));
        QStringList log;
        QList<Outcome> reports;
        bool onMainThread = false;
        Orvella_LaunchHelper::AppDelegate delegate(LaunchHelper(fakes(kAll, log)), [&](Outcome outcome) {
            reports << outcome;
            onMainThread = MainQueue::isMainThread();
        });
        delegate.applicationDidFinishLaunching();
        TestEnvironment::waitUntil([] { return false; }, 100);  // room for a second, wrong report
        EXPECT_EQ(reports, QList<Outcome>{row.outcome});
        EXPECT_TRUE(onMainThread);
        EXPECT_EQ(log.join(QStringLiteral("; ")), row.log);
    }
    Bundle::main().setInfoJson(orvellaInfo());
}

TEST(RunningApplications, MatchesTheExecutableInAProcTree) {
    // Entries of a proc tree and where their "exe" links point (none: no link).
    const QString self = QString::number(QCoreApplication::applicationPid());
    const QList<std::pair<QString, QString>> entries = {
        {QStringLiteral("30"), kApp},                               // runs it
        {QStringLiteral("31"), kApp + QStringLiteral(" (deleted)")},  // replaced while running
        {self, kApp},                                               // the caller itself
        {QStringLiteral("40"), kApp + QStringLiteral("_LaunchHelper")},
        {QStringLiteral("41"), QStringLiteral("/usr/bin/Orvella")},
        {QStringLiteral("42"), {}},                                 // exe unreadable: zombie, other user
        {QStringLiteral("self"), kApp},
        {QStringLiteral("4x"), kApp},
    };
    QTemporaryDir proc;
    for (const auto& [name, exe] : entries) {
        ASSERT_TRUE(QDir().mkpath(proc.filePath(name)));
        if (!exe.isEmpty()) {
            ASSERT_TRUE(QFile::link(exe, proc.filePath(name + QStringLiteral("/exe"))));
        }
    }
    QList<qint64> found = RunningApplications::processIds(kApp, proc.path());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (QList<qint64>{30, 31}));
    EXPECT_FALSE(RunningApplications::isRunning(QStringLiteral("/opt/orvella/Other"), proc.path()));
}

}  // namespace
