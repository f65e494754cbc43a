#include <QCoreApplication>

#include "launchhelper/AppDelegate.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/MainQueue.h"

QByteArray launchHelperInfo();
QByteArray localizableStrings();

int main(int argc, char** argv) {
    // No windows and no tray: a plain event loop is all the helper needs.
    QCoreApplication app(argc, argv);
    Bundle::main().setInfoJson(launchHelperInfo());
    Bundle::main().setStringsTable({}, Bundle::parseStrings(localizableStrings()));

    Orvella_LaunchHelper::AppDelegate delegate;
    MainQueue::async([&delegate] { delegate.applicationDidFinishLaunching(); });
    return app.exec();
}
