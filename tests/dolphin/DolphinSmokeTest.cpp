#include <gtest/gtest.h>

#include <signal.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <memory>

#include "app/core/support/TestBusinessFacade.h"
#include "app/sync/support/AppPortServers.h"
#include "frameworks/logger/Logger.h"
#include "platform/foundation/Bundle.h"
#include "support/TestEnvironment.h"

namespace {

// Dolphin on a display of its own, in a session of its own whose processes all end with the test.
const char* const dolphinSession = R"sh(
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$1/display" &
while [ ! -s "$1/display" ]; do sleep 0.05; done
export DISPLAY=":$(cat "$1/display")"
exec dbus-run-session -- dolphin --new-window "$2"
)sh";

class DolphinSmoke : public ::testing::Test {
protected:
    void TearDown() override {
        if (session.state() != QProcess::NotRunning) {
            ::kill(-pid_t(session.processId()), SIGKILL);
            session.waitForFinished(3000);
        }
        if (facade) facade->settings()->setSyncRoot(std::nullopt);
        BusinessFacadeHolder::setFacadeForTesting(nullptr);
    }
    std::shared_ptr<StatusTableFacade> facade;
    QProcess session;
    QByteArray said;
};

TEST_F(DolphinSmoke, ARealDolphinShowsTheBadgesAndRedrawsAPushedChange) {
    const QString plugins = QStringLiteral(DOLPHIN_PLUGINS);
    if (!QFileInfo::exists(plugins + QStringLiteral("/kf5/overlayicon/orvella_overlay.so")))
        GTEST_SKIP() << "the Dolphin plug-ins are not built here";
    for (const char* program : {"dolphin", "Xvfb", "dbus-run-session", "setsid"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            GTEST_SKIP() << program << " is not installed";
    Logger::setConsoleOutputEnabled(false);
    const QString group = Bundle::main().object(QStringLiteral("AppGroupIdentifier")).toString();
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/orvella-dolphin-XXXXXX"));
    ASSERT_TRUE(root.isValid());
    facade = std::make_shared<StatusTableFacade>(group, OVItemSyncStatus::synced);
    BusinessFacadeHolder::setFacadeForTesting(facade);
    const QString folder = makeSyncFolderInThreeStates(*facade, root.path());
    ASSERT_FALSE(folder.isEmpty());
    AppPortServers application(group);
    ASSERT_TRUE(application.opened);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_PLUGIN_PATH"), plugins);
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("orvella.dolphin.debug=true"));
    environment.insert(QStringLiteral("HOME"), root.path() + QStringLiteral("/home"));
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), root.path() + QStringLiteral("/home/.config"));
    environment.insert(QStringLiteral("XDG_CACHE_HOME"), root.path() + QStringLiteral("/home/.cache"));
    environment.remove(QStringLiteral("QT_QPA_PLATFORM"));  // the tests' offscreen would hide the view
    session.setProcessEnvironment(environment);
    session.setProcessChannelMode(QProcess::MergedChannels);
    session.start(QStringLiteral("setsid"), {QStringLiteral("sh"), QStringLiteral("-c"), QString::fromLatin1(dolphinSession),
                                             QStringLiteral("sh"), root.path(), folder});
    ASSERT_TRUE(session.waitForStarted(3000));
    const auto says = [&](const QString& line) {
        said += session.readAll();
        return said.contains(line.toUtf8());
    };
    const auto badge = [&](const char* word, const char* name) {
        return QStringLiteral("badge \"%1\" for \"%2/%3\"").arg(QLatin1String(word), folder, QLatin1String(name));
    };

    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return says(QStringLiteral("registered; sync folder \"") + folder); },
                                           30000))
        << said.toStdString();
    // Each item drawn is asked of the application and shown with its own badge.
    EXPECT_TRUE(TestEnvironment::waitUntil([&] {
        return says(badge("synced", "report.txt")) && says(badge("syncing", "draft with space.txt")) &&
               says(badge("error", "broken.bin"));
    }, 20000)) << said.toStdString();

    // A pushed change reaches the item without a reload.
    application.commServer.sendStatus(OVItemSyncStatus::synced, folder + QStringLiteral("/broken.bin"));
    application.commServer.waitForPendingPushes();
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return says(badge("synced", "broken.bin")); }, 10000)) << said.toStdString();
}

}  // namespace
