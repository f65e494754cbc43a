#include <QApplication>
#include <QGuiApplication>

#include "app/delegate/AppDelegate.h"
#include "app/selectivesync/SelectiveSyncViewController.h"
#include "app/shell/backup/BackupRestoreWindowController.h"
#include "app/shell/doctor/ConnectionDoctorWindowController.h"
#include "app/shell/menubar/MenuBarExtrasController.h"
#include "app/shell/preferences/PreferencesWindowController.h"
#include "app/shell/sharing/ShareWindowController.h"
#include "platform/appkit/Application.h"
#include "platform/foundation/Bundle.h"

QByteArray orvellaInfo();
QByteArray localizableStrings();

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    // The tray application has no main window: closing a window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    Bundle::main().setInfoJson(orvellaInfo());
    Bundle::main().setStringsTable({}, Bundle::parseStrings(localizableStrings()));
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        qInfo("Orvella: no display, running offscreen");

    registerMenuBarExtrasScene();
    registerSelectiveSyncScenes();
    registerConnectionDoctorScenes();
    registerPreferencesScenes();
    registerShareScenes();
    registerBackupBrowserScenes();
    AppDelegate delegate;
    return Application::shared().run(&delegate);
}
