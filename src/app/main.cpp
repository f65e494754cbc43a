#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>

#include <cstdio>

#include "app/delegate/AppDelegate.h"
#include "app/selectivesync/SelectiveSyncViewController.h"
#include "app/shell/backup/BackupRestoreWindowController.h"
#include "app/shell/doctor/ConnectionDoctorWindowController.h"
#include "app/shell/menubar/MenuBarExtrasController.h"
#include "app/shell/preferences/PreferencesWindowController.h"
#include "app/shell/sharing/ShareWindowController.h"
#include "frameworks/sync/OrvellaSyncEngine.h"
#include "platform/appkit/Application.h"
#include "platform/foundation/Bundle.h"
#include "platform/instance/SingleInstance.h"
#include "service/StorageService.h"

QByteArray orvellaInfo();
QByteArray localizableStrings();

namespace {

// "--share FILE..." asks to share the files; any other start asks to be shown.
InstanceRequest startRequest(const QStringList& arguments) {
    const qsizetype share = arguments.indexOf(QStringLiteral("--share"));
    if (share < 0) return {};
    InstanceRequest request{InstanceRequest::Command::share, {}};
    // The running instance has another working directory.
    for (const QString& file : arguments.mid(share + 1))
        request.paths.append(QDir::cleanPath(QFileInfo(file).absoluteFilePath()));
    return request;
}

// One instance per user (the ports folder is the user's) and per profile: the service and the
// sync state it works on, so that a test or demo with folders of its own never meets the user's.
QString instanceName() {
    const QString profile =
        StorageService::defaultRoot() + u'\n' + AppDelegate::makeSyncDataDirectoryURL().value_or(QString());
    const QByteArray digest = QCryptographicHash::hash(profile.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("Orvella.instance.") + QString::fromLatin1(digest.left(16));
}

}  // namespace

int main(int argc, char** argv) {
    OrvellaSyncEngine::configureProcessHeap();
    QApplication app(argc, argv);
    // The tray application has no main window: closing a window must not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    Bundle::main().setInfoJson(orvellaInfo());
    Bundle::main().setStringsTable({}, Bundle::parseStrings(localizableStrings()));
    // Windows and notifications are the installed desktop entry's, and share its icon and name.
    const QString desktopEntry = Bundle::main().object(QStringLiteral("AppBundleIdentifier")).toString();
    QGuiApplication::setDesktopFileName(desktopEntry);
    QApplication::setWindowIcon(QIcon::fromTheme(desktopEntry));
    if (QGuiApplication::platformName() == QLatin1String("offscreen"))
        qInfo("Orvella: no display, running offscreen");

    SingleInstance::Claim instance = SingleInstance::claim(instanceName(), startRequest(QApplication::arguments()));
    switch (instance.status) {
    case SingleInstance::Status::owner: break;
    case SingleInstance::Status::handedOver: return 0;
    case SingleInstance::Status::ownerNotAnswering:
    case SingleInstance::Status::refused:
        // A second engine on the same sync state would fight the first.
        std::fprintf(stderr, "Orvella is already running: %s\n", qPrintable(instance.error));
        return 1;
    case SingleInstance::Status::unavailable:
        qWarning("Orvella: cannot tell whether Orvella already runs (%s); starting", qPrintable(instance.error));
        break;
    }

    registerMenuBarExtrasScene();
    registerSelectiveSyncScenes();
    registerConnectionDoctorScenes();
    registerPreferencesScenes();
    registerShareScenes();
    registerBackupBrowserScenes();
    AppDelegate delegate;
    if (instance.instance)
        QObject::connect(&Application::shared(), &Application::didFinishLaunching, &delegate, [&] {
            instance.instance->setHandler([&delegate](const InstanceRequest& request) { delegate.handOver(request); });
        }, Qt::SingleShotConnection);
    return Application::shared().run(&delegate);
}
