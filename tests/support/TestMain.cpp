// Every test program: a QApplication on the offscreen platform, the main bundle filled as the
// application's, and a private home so that no test touches the user's files.
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

    QApplication app(argc, argv);
    TestEnvironment::loadMainBundle(orvellaInfo(), localizableStrings());
    ::testing::InitGoogleTest(&argc, argv);
    // An action that goes nowhere is a button that does nothing: the test that sends it fails.
    Application::shared().setUnhandledActionObserver(
        [](const QString& name) { ADD_FAILURE() << "nobody handles the action " << name.toStdString(); });
    return RUN_ALL_TESTS();
}
