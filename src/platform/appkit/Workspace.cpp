#include "platform/appkit/Workspace.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>

#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>

#include <mutex>
#include <thread>

#include "platform/foundation/MainQueue.h"

namespace {

std::mutex openerMutex;
std::function<bool(const QUrl&)> openerHook;
std::function<void(const QUrl&)> failureHook;

std::function<bool(const QUrl&)> currentOpener() {
    std::lock_guard lock(openerMutex);
    return openerHook;
}

void reportFailure(const QUrl& url) {
    MainQueue::async([url] {
        std::function<void(const QUrl&)> handler;
        {
            std::lock_guard lock(openerMutex);
            handler = failureHook;
        }
        if (handler) handler(url);
    });
}

// Without a screen (offscreen, minimal) there is no desktop to hand anything to.
QString desktopOpener() {
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return {};
    return QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
}

// xdg-open answers whether a program took the URL only when it ends, and for some desktops
// only when that program ends: it is waited for on a thread of its own.
bool openWithXdgOpen(const QString& tool, const QUrl& url) {
    std::thread([tool, url] {
        QProcess process;
        process.setProgram(tool);
        process.setArguments({url.toString(QUrl::FullyEncoded)});
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setStandardErrorFile(QProcess::nullDevice());
        process.start();
        const bool ok = process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit &&
                        process.exitCode() == 0;
        if (!ok) reportFailure(url);
    }).detach();
    return true;
}

void openFolders(const QStringList& paths) {
    for (const QString& folder : Workspace::containingFolders(paths))
        Workspace::openUrl(QUrl::fromLocalFile(folder));
}

}  // namespace

bool Workspace::openUrl(const QUrl& url) {
    if (!url.isValid()) return false;
    bool opened = false;
    if (const auto opener = currentOpener()) opened = opener(url);
    else if (const QString tool = desktopOpener(); !tool.isEmpty())
        opened = openWithXdgOpen(tool, url);
    else
        opened = QDesktopServices::openUrl(url);
    if (!opened) reportFailure(url);
    return opened;
}

bool Workspace::openUrlText(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return false;
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative()) return false;
    return openUrl(url);
}

QStringList Workspace::containingFolders(const QStringList& paths) {
    QStringList folders;
    for (const QString& path : paths) {
        if (path.isEmpty()) continue;
        const QString folder = QFileInfo(QDir::cleanPath(path)).absolutePath();
        if (!folders.contains(folder)) folders << folder;
    }
    return folders;
}

void Workspace::activateFileViewerSelecting(const QStringList& paths) {
    if (paths.isEmpty()) return;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (currentOpener() || !bus.isConnected()) {
        openFolders(paths);
        return;
    }
    QStringList uris;
    for (const QString& path : paths) uris << QUrl::fromLocalFile(QDir::cleanPath(path)).toString();
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000));
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [paths](QDBusPendingCallWatcher* w) {
                         // No file manager answers the service: fall back to the folders.
                         if (w->isError()) openFolders(paths);
                         w->deleteLater();
                     });
}

void Workspace::setOpener(std::function<bool(const QUrl&)> opener) {
    std::lock_guard lock(openerMutex);
    openerHook = std::move(opener);
}

void Workspace::setFailureHandler(std::function<void(const QUrl&)> handler) {
    std::lock_guard lock(openerMutex);
    failureHook = std::move(handler);
}

bool Workspace::isFilePackageAtPath(const QString& path) {
    static const QStringList suffixes{
        QStringLiteral("app"),          QStringLiteral("bundle"),       QStringLiteral("framework"),
        QStringLiteral("plugin"),       QStringLiteral("kext"),         QStringLiteral("appex"),
        QStringLiteral("rtfd"),         QStringLiteral("pkg"),          QStringLiteral("mpkg"),
        QStringLiteral("photoslibrary"), QStringLiteral("xcodeproj"),   QStringLiteral("xcworkspace"),
        QStringLiteral("pages"),        QStringLiteral("numbers"),      QStringLiteral("key"),
    };
    const QFileInfo info(path);
    if (!info.isDir()) return false;
    // A hidden folder named like a suffix (".app") has no name before it and is no package.
    if (info.completeBaseName().isEmpty()) return false;
    return suffixes.contains(info.suffix(), Qt::CaseInsensitive);
}
