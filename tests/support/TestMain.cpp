// Every test program: a QApplication on the offscreen platform, the main bundle filled as the
// application's, and a private home so that no test touches the user's files or session.
#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>

#include "platform/appkit/Application.h"
#include "platform/foundation/Bundle.h"
#include "support/TestEnvironment.h"

QByteArray orvellaInfo();
QByteArray localizableStrings();

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("TMPDIR")) qputenv("TMPDIR", "/dev/shm");
    qputenv("UNIT_TEST", "1");
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/orvella-test-XXXXXX"));
    if (!home.isValid()) return 2;
    TestEnvironment::useHome(home.path());
    // Nor the user's session bus: a test that wants one brings its own (a keyring in the user's
    // session would otherwise receive every test's sign-in).
    qputenv("DBUS_SESSION_BUS_ADDRESS", (QStringLiteral("unix:path=") + home.path() + QStringLiteral("/no-session-bus")).toUtf8());

    QApplication app(argc, argv);
    TestEnvironment::loadMainBundle(orvellaInfo(), localizableStrings());
    ::testing::InitGoogleTest(&argc, argv);
    // An action that goes nowhere is a button that does nothing: the test that sends it fails.
    Application::shared().setUnhandledActionObserver(
        [](const QString& name) { ADD_FAILURE() << "nobody handles the action " << name.toStdString(); });
    return RUN_ALL_TESTS();
}
