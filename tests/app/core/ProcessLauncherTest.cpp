#include <gtest/gtest.h>

#include <QThread>

#include "app/core/ProcessLauncher.h"

namespace {

struct LaunchCase {
    const char* name;
    QString path;
    std::optional<QStringList> arguments;
    std::optional<QString> output;
    int status;
};

class ProcessLauncherCases : public ::testing::TestWithParam<LaunchCase> {};

TEST_P(ProcessLauncherCases, GivesOutputAndStatus) {
    const LaunchCase& c = GetParam();
    const auto [output, status] = ProcessLauncher().launchAndWait(c.path, c.arguments);
    EXPECT_EQ(output, c.output);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(ProcessLauncher().launch(c.path, c.arguments), c.output);
}

const QString sh = QStringLiteral("/bin/sh");

INSTANTIATE_TEST_SUITE_P(
    Core, ProcessLauncherCases,
    ::testing::Values(
        LaunchCase{"output", sh, QStringList{"-c", "printf 'a b\\n\\303\\274'"}, QString::fromUtf8("a b\n\xc3\xbc"), 0},
        LaunchCase{"nothingWrittenIsEmptyNotNone", sh, QStringList{"-c", "exit 0"}, QString(""), 0},
        LaunchCase{"statusKept", sh, QStringList{"-c", "echo x; exit 3"}, QString("x\n"), 3},
        LaunchCase{"invalidUtf8IsNoneWithRealStatus", sh, QStringList{"-c", "printf '\\377\\376'; exit 2"}, std::nullopt, 2},
        LaunchCase{"standardErrorNotCaptured", sh, QStringList{"-c", "echo out; echo err >&2"}, QString("out\n"), 0},
        LaunchCase{"argumentsPassedVerbatim", sh, QStringList{"-c", "printf '%s|' \"$@\"", "sh", "a b", "$HOME", ""},
                   QString("a b|$HOME||"), 0},
        LaunchCase{"missingToolFailsWithoutCrash", "/nonexistent/tool", std::nullopt, std::nullopt, -1},
        LaunchCase{"killedBySignal", sh, QStringList{"-c", "kill -TERM $$"}, QString(""), 128 + 15}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProcessLauncherTest, LargeOutputDoesNotDeadlock) {
    // More than a pipe buffer: the launcher must read while the tool writes.
    const auto out = ProcessLauncher().launch(sh, QStringList{"-c", "head -c 300000 /dev/zero | tr '\\0' x"});
    ASSERT_TRUE(out);
    EXPECT_EQ(out->size(), 300000);
}

TEST(ProcessLauncherTest, CallsFromSeveralThreadsAreIndependent) {
    std::vector<std::optional<QString>> results(6);
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < 6; ++i) {
        threads.emplace_back(QThread::create([&results, i] {
            results[i] = ProcessLauncher().launch(sh, QStringList{"-c", QStringLiteral("echo %1").arg(i)});
        }));
        threads.back()->start();
    }
    for (auto& t : threads) t->wait();
    for (int i = 0; i < 6; ++i) EXPECT_EQ(results[i], QStringLiteral("%1\n").arg(i));
}

}  // namespace
