#include <gtest/gtest.h>

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

#include "app/core/SyncFolderPaths.h"
#include "app/sync/AppServer.h"
#include "app/sync/CommServer.h"
#include "app/sync/support/AppPortServers.h"
#include "frameworks/logger/Logger.h"
#include "nautilus/ModuleLog.h"
#include "platform/foundation/Bundle.h"
#include "protocol/MessagePortProtocol.h"
#include "support/TestEnvironment.h"

namespace {

// Nautilus loads modules from its own folder only. In a mount namespace of its own that folder is
// the build's, so the test neither writes into /usr nor shows the module to the machine's Nautilus;
// in a PID namespace of its own everything it started ends with it.
const char* const nautilusSession = R"sh(
mount --bind "$1" "$2" || exit 77
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$3/display" &
while [ ! -s "$3/display" ]; do sleep 0.05; done
export DISPLAY=":$(cat "$3/display")" GDK_BACKEND=x11 GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1
dbus-run-session -- nautilus --new-window "$4"
)sh";

// The items counted in "answered <n> items of <folder>" lines so far.
[[maybe_unused]] int answeredIn(const QString& folder) {
    QFile log(QString::fromStdString(ModuleLog::path()));
    if (!log.open(QIODevice::ReadOnly)) return 0;
    const QRegularExpression line(QStringLiteral("answered (\\d+) items of (.*)$"));
    int answered = 0;
    for (const QByteArray& text : log.readAll().split('\n')) {
        const QRegularExpressionMatch match = line.match(QString::fromUtf8(text));
        if (match.hasMatch() && match.captured(2) == folder) answered += match.captured(1).toInt();
    }
    return answered;
}

// How many lines of the module's log say this.
[[maybe_unused]] int logSays(const char* text) {
    QFile log(QString::fromStdString(ModuleLog::path()));
    return log.open(QIODevice::ReadOnly) ? int(log.readAll().count(text)) : 0;
}

class NautilusSmoke : public ::testing::Test {
protected:
    void TearDown() override {
        if (session.state() != QProcess::NotRunning) {
            session.kill();
            session.waitForFinished(3000);
        }
        if (facade) facade->settings()->setSyncRoot(std::nullopt);
        BusinessFacadeHolder::setFacadeForTesting(nullptr);
    }
    std::shared_ptr<StatusTableFacade> facade;
    QProcess session;
};

TEST_F(NautilusSmoke, ARealNautilusStartedFirstShowsTheItemsFollowsAPushAndARestartedApplication) {
#if !defined(NAUTILUS_MODULE)
    GTEST_SKIP() << "the Nautilus module is not built here";
#elif defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "a module built with AddressSanitizer does not load into Nautilus, which is built without";
#else
    for (const char* program : {"nautilus", "Xvfb", "dbus-run-session", "unshare"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            GTEST_SKIP() << program << " is not installed";
    Logger::setConsoleOutputEnabled(false);
    const QString group = Bundle::main().object(QStringLiteral("AppGroupIdentifier")).toString();
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/orvella-nautilus-XXXXXX"));
    ASSERT_TRUE(root.isValid());
    facade = std::make_shared<StatusTableFacade>(group, OVItemSyncStatus::synced);
    BusinessFacadeHolder::setFacadeForTesting(facade);
    const QString folder = makeSyncFolderInThreeStates(*facade, root.path());
    ASSERT_FALSE(folder.isEmpty());

    const QString moduleDir = root.path() + QStringLiteral("/extensions");
    ASSERT_TRUE(QDir().mkpath(moduleDir));
    ASSERT_TRUE(QFile::copy(QStringLiteral(NAUTILUS_MODULE), moduleDir + QStringLiteral("/liborvella-nautilus.so")));
    QStringList namespaces{QStringLiteral("--mount"), QStringLiteral("--pid"), QStringLiteral("--fork"),
                           QStringLiteral("--kill-child")};
    if (getuid() != 0) namespaces << QStringLiteral("--user") << QStringLiteral("--map-root-user");
    if (QProcess::execute(QStringLiteral("unshare"), namespaces + QStringList{QStringLiteral("true")}) != 0)
        GTEST_SKIP() << "no namespaces here to show Nautilus the built module";
    session.setProcessChannelMode(QProcess::MergedChannels);
    session.start(QStringLiteral("unshare"), namespaces + QStringList{QStringLiteral("sh"), QStringLiteral("-c"),
                                                                      QString::fromLatin1(nautilusSession),
                                                                      QStringLiteral("sh"), moduleDir,
                                                                      QStringLiteral(NAUTILUS_EXTENSION_DIR),
                                                                      root.path(), folder});
    ASSERT_TRUE(session.waitForStarted(3000));
    const auto output = [&] {
        QFile log(QString::fromStdString(ModuleLog::path()));
        log.open(QIODevice::ReadOnly);
        return "Nautilus said:\n" + session.readAll().toStdString() + "the module's log:\n" + log.readAll().toStdString();
    };

    const bool registered = TestEnvironment::waitUntil(
        [&] { return logSays("registered with Nautilus") || session.state() == QProcess::NotRunning; }, 30000);
    if (session.state() == QProcess::NotRunning && session.exitCode() == 77)
        GTEST_SKIP() << "no bind mount here to show Nautilus the built module: " << output();
    ASSERT_TRUE(registered && logSays("registered with Nautilus")) << output();
    // Nautilus started before the application: it shows the folder without emblems meanwhile. Once
    // the application answers the registration, the three items are asked of it and answered.
    TestEnvironment::waitUntil([] { return false; }, 1500);
    auto application = std::make_unique<AppPortServers>(group);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return answeredIn(folder) >= 3; }, 20000)) << output();
    EXPECT_TRUE(logSays("registered with the application")) << output();

    // A pushed change redraws its item: Nautilus asks for it again and is answered at once.
    const int before = answeredIn(folder);
    application->commServer.sendStatus(OVItemSyncStatus::synced, folder + QStringLiteral("/broken.bin"));
    application->commServer.waitForPendingPushes();
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return answeredIn(folder) > before; }, 10000)) << output();

    // The application restarts while Nautilus stays open: the module registers again within its
    // retry interval and every item is asked and shown anew.
    application.reset();
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return logSays("the application went away") == 1; }, 10000))
        << output();
    const int beforeRestart = answeredIn(folder);
    application = std::make_unique<AppPortServers>(group);
    EXPECT_TRUE(TestEnvironment::waitUntil(
        [&] { return logSays("registered with the application") == 2 && answeredIn(folder) >= beforeRestart + 3; },
        20000))
        << output();
#endif
}

}  // namespace
