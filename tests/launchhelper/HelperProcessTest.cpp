// Runs the real helper program in a package folder beside a stand-in for the main application.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>
#include <vector>

#include "launchhelper/RunningApplications.h"
#include "support/TestEnvironment.h"

namespace {

struct HelperRun {
    const char* name;
    bool installed;
    bool startedBefore;  // the application runs before any helper starts
    int helpers;         // helpers started together
    int exitCode;
    int running;         // processes of the application afterwards
};

class HelperProcess : public ::testing::TestWithParam<HelperRun> {
protected:
    void TearDown() override {
        // Lets every stand-in end, so none outlives the test.
        QFile(file("stop")).open(QIODevice::WriteOnly);
        EXPECT_TRUE(TestEnvironment::waitUntil([this] { return !RunningApplications::isRunning(app()); }, 3000));
    }
    QString file(const char* name) const { return QFileInfo(dir_.path()).canonicalFilePath() + '/' + name; }
    QString app() const { return file("Orvella"); }
    QList<qint64> recorded() const {
        QFile record(file("record"));
        QList<qint64> pids;
        if (!record.open(QIODevice::ReadOnly)) return pids;
        for (const QByteArray& line : record.readAll().split('\n'))
            if (!line.isEmpty()) pids << line.toLongLong();
        return pids;
    }
    QProcess* process(const QString& program) {
        auto* p = new QProcess;
        processes_.emplace_back(p);
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ORVELLA_FAKE_APP_RECORD"), file("record"));
        env.insert(QStringLiteral("ORVELLA_FAKE_APP_STOP"), file("stop"));
        p->setProcessEnvironment(env);
        p->setProgram(program);
        // The application inherits the helper's streams: it must not hold a pipe of ours.
        p->setProcessChannelMode(QProcess::ForwardedChannels);
        return p;
    }

    QTemporaryDir dir_{QDir::tempPath() + QStringLiteral("/launchhelper-XXXXXX")};
    std::vector<std::unique_ptr<QProcess>> processes_;
};

TEST_P(HelperProcess, StartsTheApplicationOnceAndExits) {
    const HelperRun& run = GetParam();
    ASSERT_TRUE(QFile::copy(QStringLiteral(LAUNCH_HELPER), file("Orvella_LaunchHelper")));
    if (run.installed) {
        ASSERT_TRUE(QFile::copy(QStringLiteral(FAKE_MAIN_APPLICATION), app()));
    }
    if (run.startedBefore) {
        ASSERT_TRUE(process(app())->startDetached());
        ASSERT_TRUE(TestEnvironment::waitUntil([this] { return recorded().size() == 1; }, 3000));
    }
    std::vector<QProcess*> helpers;
    for (int i = 0; i < run.helpers; ++i) helpers.push_back(process(file("Orvella_LaunchHelper")));
    for (QProcess* helper : helpers) helper->start();
    for (QProcess* helper : helpers) {
        ASSERT_TRUE(helper->waitForFinished(5000)) << "the helper did not exit";
        EXPECT_EQ(helper->exitCode(), run.exitCode);
    }
    // Each process was executed before its helper exited, and records itself a moment later: all
    // are the package's application, and they run on after the helpers ended.
    QList<qint64> running = RunningApplications::processIds(app());
    EXPECT_EQ(running.size(), run.running);
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return recorded().size() >= run.running; }, 3000));
    QList<qint64> launches = recorded();
    std::sort(running.begin(), running.end());
    std::sort(launches.begin(), launches.end());
    EXPECT_EQ(launches, running);
}

INSTANTIATE_TEST_SUITE_P(Table, HelperProcess,
                         ::testing::Values(HelperRun{"notInstalled", false, false, 1, 1, 0},
                                           HelperRun{"startedTogether", true, false, 4, 0, 1},
                                           HelperRun{"alreadyRunning", true, true, 2, 0, 1}),
                         [](const ::testing::TestParamInfo<HelperRun>& info) { return std::string(info.param.name); });

}  // namespace
