#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <functional>
#include <memory>
#include <vector>

#include "platform/pluginkit/ExtensionRegistry.h"
#include "platform/pluginkit/PluginKitTool.h"

namespace {

using State = ExtensionRegistry::State;
using Election = ExtensionRegistry::Election;

const QString kId = QStringLiteral("example.orvella.desktop.findersync");
const QString kOther = QStringLiteral("example.othervendor.findersync");

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir_.isValid()); }
    QString registryPath() const { return dir_.path() + QStringLiteral("/pluginkit/registry.json"); }
    QTemporaryDir dir_;
};

// ---- the state rules ----

struct RuleCase {
    const char* name;
    std::vector<std::function<bool(ExtensionRegistry&)>> steps;
    State expected;
    State otherExpected;  // a second extension the steps never name stays as it was
};

auto elect(Election e) { return [e](ExtensionRegistry& r) { return r.setElection(kId, e); }; }
auto install() { return [](ExtensionRegistry& r) { return r.install(kId); }; }
auto uninstall() { return [](ExtensionRegistry& r) { return r.uninstall(kId); }; }

class RegistryRules : public RegistryTest, public ::testing::WithParamInterface<RuleCase> {};

TEST_P(RegistryRules, StateFollowsInstallAndElection) {
    const RuleCase& c = GetParam();
    ExtensionRegistry registry(registryPath());
    ASSERT_TRUE(registry.install(kOther));
    for (const auto& step : c.steps) ASSERT_TRUE(step(registry));
    EXPECT_EQ(registry.state(kId), c.expected);
    // A fresh reader of the same file sees the same: nothing is kept in memory.
    EXPECT_EQ(ExtensionRegistry(registryPath()).state(kId), c.expected);
    EXPECT_EQ(registry.state(kOther), c.otherExpected);
}

INSTANTIATE_TEST_SUITE_P(
    Pluginkit, RegistryRules,
    ::testing::Values(RuleCase{"NeverSeen", {}, State::unknown, State::enabled},
                      RuleCase{"InstalledWithoutElection", {install()}, State::enabled, State::enabled},
                      RuleCase{"UseInstalls", {elect(Election::use)}, State::enabled, State::enabled},
                      RuleCase{"IgnoreOfUnknownIsRecorded", {elect(Election::ignore)}, State::ignored, State::enabled},
                      RuleCase{"IgnoreBeatsInstall", {install(), elect(Election::ignore)}, State::ignored, State::enabled},
                      RuleCase{"ElectionOutlivesReinstall",
                               {elect(Election::ignore), install()}, State::ignored, State::enabled},
                      RuleCase{"LatestElectionWins",
                               {elect(Election::ignore), elect(Election::use)}, State::enabled, State::enabled},
                      RuleCase{"UninstallForgetsElection",
                               {elect(Election::use), uninstall()}, State::unknown, State::enabled},
                      RuleCase{"InstallTwiceOnce", {install(), install(), uninstall()}, State::unknown, State::enabled}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryTest, InvalidIdentifiersAreRefusedAndUnknown) {
    ExtensionRegistry registry(registryPath());
    for (const QString& id : {QString(), QStringLiteral("a b"), QStringLiteral("../x"), QStringLiteral("a\nb"),
                              QString(256, QLatin1Char('a'))}) {
        SCOPED_TRACE(id.toStdString());
        EXPECT_FALSE(registry.setElection(id, Election::use));
        EXPECT_FALSE(registry.install(id));
        EXPECT_EQ(registry.state(id), State::unknown);
    }
    EXPECT_FALSE(QFile::exists(registryPath())) << "a refused change writes nothing";
    EXPECT_TRUE(ExtensionRegistry::isValidIdentifier(QString(255, QLatin1Char('a'))));
}

TEST_F(RegistryTest, UnreadableFileReadsEmptyAndIsReplacedWhole) {
    QDir().mkpath(dir_.path() + QStringLiteral("/pluginkit"));
    for (const QByteArray& junk : {QByteArray("{\"installed\": [\"x.y\""), QByteArray("[1,2]"),
                                   QByteArray("{\"installed\": \"x.y\", \"elections\": {\"x.y\": 3}}")}) {
        SCOPED_TRACE(junk.toStdString());
        QFile file(registryPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(junk);
        file.close();
        ExtensionRegistry registry(registryPath());
        EXPECT_EQ(registry.state(QStringLiteral("x.y")), State::unknown);
        ASSERT_TRUE(registry.setElection(kId, Election::ignore));
        QFile written(registryPath());
        ASSERT_TRUE(written.open(QIODevice::ReadOnly));
        EXPECT_TRUE(QJsonDocument::fromJson(written.readAll()).isObject());
        EXPECT_EQ(registry.state(kId), State::ignored);
    }
}

TEST_F(RegistryTest, ConcurrentWritersLoseNothingAndLeaveOnlyTheFile) {
    constexpr int kThreads = 6;
    constexpr int kPerThread = 15;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back(QThread::create([this, t] {
            ExtensionRegistry registry(registryPath());
            for (int i = 0; i < kPerThread; ++i)
                registry.setElection(QStringLiteral("w%1.e%2").arg(t).arg(i), i % 2 ? Election::ignore : Election::use);
        }));
        threads.back()->start();
    }
    for (auto& thread : threads) thread->wait();

    ExtensionRegistry registry(registryPath());
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kPerThread; ++i)
            ASSERT_EQ(registry.state(QStringLiteral("w%1.e%2").arg(t).arg(i)), i % 2 ? State::ignored : State::enabled)
                << t << "/" << i;
    EXPECT_EQ(registry.installed().size(), kThreads * ((kPerThread + 1) / 2));
    // No temp file or lock is left beside the registry.
    EXPECT_EQ(QDir(dir_.path() + QStringLiteral("/pluginkit")).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("registry.json")});
}

// ---- the tool ----

struct ToolCase {
    const char* name;
    QStringList setup;      // a command run first, if any
    QStringList arguments;
    int exitCode;
    QString output;
};

class ToolCommands : public RegistryTest, public ::testing::WithParamInterface<ToolCase> {};

TEST_P(ToolCommands, RunInProcess) {
    const ToolCase& c = GetParam();
    ExtensionRegistry registry(registryPath());
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    if (!c.setup.isEmpty()) {
        ASSERT_EQ(PluginKitTool::run(c.setup, registry, outStream, errStream), 0) << err.toStdString();
    }
    out.clear();
    err.clear();
    EXPECT_EQ(PluginKitTool::run(c.arguments, registry, outStream, errStream), c.exitCode);
    EXPECT_EQ(out, c.output);
    EXPECT_EQ(err.isEmpty(), c.exitCode == 0) << err.toStdString();
}

const QStringList kUse{"-e", "use", "-i", kId};
const QStringList kIgnore{"-e", "ignore", "-i", kId};
const QStringList kQuery{"-m", "-A", "-i", kId};

INSTANTIATE_TEST_SUITE_P(
    Pluginkit, ToolCommands,
    ::testing::Values(
        ToolCase{"QueryUnknownPrintsNothing", {}, kQuery, 0, {}},
        ToolCase{"QueryAfterUse", kUse, kQuery, 0, "+    " + kId + "\n"},
        ToolCase{"QueryAfterIgnore", kIgnore, kQuery, 0, "-    " + kId + "\n"},
        ToolCase{"IgnoreOfUnknownSucceeds", {}, kIgnore, 0, {}},
        ToolCase{"WithoutAllIgnoredIsNotListed", kIgnore, {"-m", "-i", kId}, 0, {}},
        ToolCase{"UnknownElection", {}, {"-e", "maybe", "-i", kId}, PluginKitTool::exitUsage, {}},
        ToolCase{"MissingIdentifier", {}, {"-m", "-A"}, PluginKitTool::exitUsage, {}},
        ToolCase{"ElectAndQueryAtOnce", {}, {"-m", "-e", "use", "-i", kId}, PluginKitTool::exitUsage, {}},
        ToolCase{"BadIdentifier", {}, {"-e", "use", "-i", "a/b"}, PluginKitTool::exitUsage, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RegistryTest, UnwritableRegistryFailsTheElection) {
    // A file where the folder should be: nothing can be written below it.
    QFile blocker(dir_.path() + QStringLiteral("/pluginkit"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ExtensionRegistry registry(registryPath());
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    EXPECT_EQ(PluginKitTool::run(kUse, registry, outStream, errStream), PluginKitTool::exitFailure);
    EXPECT_FALSE(err.isEmpty());
    EXPECT_EQ(registry.state(kId), State::unknown);
}

TEST_F(RegistryTest, ToolPathIsBesideTheApplicationUnlessSet) {
    const QString standard = QCoreApplication::applicationDirPath() + QStringLiteral("/Orvella_pluginkit");
    EXPECT_EQ(PluginKitTool::path(), standard);
    PluginKitTool::setPath(QStringLiteral("/opt/tools/pk"));
    EXPECT_EQ(PluginKitTool::path(), QStringLiteral("/opt/tools/pk"));
    PluginKitTool::setPath({});
    EXPECT_EQ(PluginKitTool::path(), standard);
}

// The real executable against the registry of a private config home, as the application runs it.
TEST_F(RegistryTest, ExecutableRoundTrip) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir_.path());
    const auto tool = [&](const QStringList& arguments) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(ORVELLA_PLUGINKIT_TOOL), arguments);
        EXPECT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        return std::make_pair(process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()));
    };
    const ExtensionRegistry registry(dir_.path() + QStringLiteral("/Orvella/pluginkit/registry.json"));
    struct Step {
        QStringList arguments;
        int exitCode;
        QString firstCharacter;
        State after;
    };
    const Step steps[] = {
        {kQuery, 0, {}, State::unknown},
        {kIgnore, 0, {}, State::ignored},
        {kQuery, 0, "-", State::ignored},
        {kUse, 0, {}, State::enabled},
        {kQuery, 0, "+", State::enabled},
        {{"-e", "off", "-i", kId}, PluginKitTool::exitUsage, {}, State::enabled},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.arguments.join(' ').toStdString());
        const auto [code, output] = tool(step.arguments);
        EXPECT_EQ(code, step.exitCode);
        EXPECT_EQ(output.left(1), step.firstCharacter);
        EXPECT_EQ(registry.state(kId), step.after);
    }
}

}  // namespace
