#include "app/core/DeploymentController.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <filesystem>
#include <system_error>
#include <thread>

#include "app/common/LogChannels.h"
#include "app/core/ProcessLauncher.h"
#include "app/core/SyncFolderPaths.h"
#include "platform/appkit/Alert.h"
#include "platform/foundation/MountTable.h"

namespace fs = std::filesystem;

namespace {

fs::path nativePath(const QString& path) { return fs::path(QFile::encodeName(path).toStdString()); }

bool isBuildTree(QDir dir) {
    do {
        if (dir.exists(QStringLiteral("CMakeCache.txt"))) return true;
    } while (dir.cdUp());
    return false;
}

// Moving a shared prefix such as /usr/local or ~/.local would carry off, and then delete, files
// that are not ours.
bool isInstallationOfItsOwn(const QDir& bundle, const QString& executableName) {
    if (!bundle.dirName().startsWith(executableName)) return false;
    static const QStringList ours = {QStringLiteral("bin"), QStringLiteral("lib"), QStringLiteral("share")};
    for (const QString& entry : bundle.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot))
        if (!ours.contains(entry)) return false;
    return true;
}

void runOffMainThread(const std::function<void()>& work) {
    QEventLoop loop;
    std::thread worker([&] {
        work();
        QMetaObject::invokeMethod(&loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
    });
    loop.exec();
    worker.join();
}

}  // namespace

DeploymentController::Environment DeploymentController::defaultEnvironment() {
    Environment env;
    env.executablePath = QCoreApplication::applicationFilePath();
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty()) env.applicationsFolder = QDir(home).filePath(QStringLiteral("Applications"));
    env.moveToTrash = [](const QString& path) { return QFile::moveToTrash(path); };
    env.launch = [](const QString& program, const QStringList& arguments) {
        (void)ProcessLauncher().launchAndWait(program, arguments);
    };
    env.processIdentifier = QCoreApplication::applicationPid();
    return env;
}

DeploymentController::DeploymentController(LocalizationController localizationController, Environment environment)
    : localizationController_(localizationController),
      environment_(std::move(environment)),
      bundlePath_(findBundle(environment_.executablePath)) {}

// A program is judged by where it really lies, not by the link it was started through: the
// package's /usr/bin/Orvella leads into /usr/lib/orvella, which is not a bin/ folder and belongs to
// the package manager, so a system installation is never moved.
std::optional<QString> DeploymentController::findBundle(const QString& executablePath) {
    QFileInfo executable(executablePath);
    if (const QString real = executable.canonicalFilePath(); !real.isEmpty()) executable = QFileInfo(real);
    QDir bundle = executable.absoluteDir();
    if (isBuildTree(bundle) || bundle.dirName() != QLatin1String("bin") || !bundle.cdUp()) return std::nullopt;
    if (!isInstallationOfItsOwn(bundle, executable.fileName())) return std::nullopt;
    return bundle.absolutePath();
}

std::optional<QString> DeploymentController::applicationsFolderURL() const {
    if (environment_.applicationsFolder.isEmpty()) return std::nullopt;
    const QString canonical = QFileInfo(environment_.applicationsFolder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(environment_.applicationsFolder) : canonical;
}

std::optional<QString> DeploymentController::destinationURL() const {
    const auto folder = applicationsFolderURL();
    const auto bundle = bundlePath();
    if (!folder || !bundle) return std::nullopt;
    return QDir(*folder).filePath(QFileInfo(*bundle).fileName());
}

std::optional<bool> DeploymentController::isInApplicationsFolder() const {
    const auto folder = applicationsFolderURL();
    if (!folder) return std::nullopt;
    const auto bundle = bundlePath();
    // Whole path components: ~/ApplicationsOld is not the applications folder.
    return !bundle || SyncFolderPaths::isInside(*bundle, *folder);
}

bool DeploymentController::copyMainApplicationBundle() const {
    const QString error = [this]() -> QString {
        const auto destination = destinationURL();
        if (!destination) return QStringLiteral("no applications folder");
        const QFileInfo target(*destination);
        QDir().mkpath(target.absolutePath());
        // Copied beside the destination first: a failed copy leaves no half bundle behind, and an
        // older copy stays where it was.
        QTemporaryDir staging(QDir(target.absolutePath()).filePath(QStringLiteral(".deploy-XXXXXX")));
        if (!staging.isValid()) return staging.errorString();
        const fs::path copy = nativePath(staging.path()) / nativePath(target.fileName());
        std::error_code ec;
        fs::copy(nativePath(*bundlePath()), copy, fs::copy_options::recursive | fs::copy_options::copy_symlinks, ec);
        if (ec) return QString::fromStdString(ec.message());
        if ((target.exists() || target.isSymLink()) && !environment_.moveToTrash(*destination))
            return QStringLiteral("cannot move %1 to the trash").arg(*destination);
        fs::rename(copy, nativePath(*destination), ec);
        return ec ? QString::fromStdString(ec.message()) : QString();
    }();
    if (error.isEmpty()) return true;
    OVLOG_ERROR(AppLog::setup(), QStringLiteral("Cannot deploy application: ") + error);
    return false;
}

std::optional<QString> DeploymentController::sourceVolumeDevice() const {
    const auto bundle = bundlePath();
    if (!bundle) return std::nullopt;
    const QString parent = QFileInfo(*bundle).absolutePath();
    if (parent == QLatin1String("/")) return std::nullopt;
    std::optional<QString> device;
    for (const MountTable::Mount& mount : MountTable::read(environment_.mountInfoPath))
        if (mount.mountPoint == parent) device = mount.source;
    return device;
}

void DeploymentController::removeSourceApplication() const {
    const auto bundle = bundlePath();
    if (!bundle) return;
    std::error_code ec;
    fs::remove_all(nativePath(*bundle), ec);
    if (ec)
        OVLOG_INFO(AppLog::setup(),
                   QStringLiteral("Cannot remove application from source URL: ") + QString::fromStdString(ec.message()));
}

// The process id and the paths reach the shell as positional parameters, never as part of its
// script, so a path with blanks, quotes, ";" or "$(...)" is only ever a path.
void DeploymentController::relaunch() const {
    const auto destination = destinationURL();
    // kill -9 with 0 or a negative id would reach a whole process group.
    if (!destination || environment_.processIdentifier <= 0) return;
    const QString executable =
        QDir(*destination).filePath(QStringLiteral("bin/") + QFileInfo(environment_.executablePath).fileName());
    environment_.launch(QStringLiteral("/bin/sh"),
                        {QStringLiteral("-c"),
                         QStringLiteral("(while kill -9 \"$1\" 2>/dev/null; do sleep 0.1; done; exec \"$2\")"
                                        " </dev/null >/dev/null &"),
                         QStringLiteral("sh"), QString::number(environment_.processIdentifier), executable});
}

void DeploymentController::detachSourceVolume() const {
    const auto bundle = bundlePath();
    const auto device = sourceVolumeDevice();
    if (!bundle || !device) return;
    environment_.launch(QStringLiteral("/bin/sh"),
                        {QStringLiteral("-c"),
                         QStringLiteral("(sleep \"$1\"; udisksctl unmount -b \"$3\" || gio mount -u \"$2\" || umount \"$2\")"
                                        " </dev/null >/dev/null 2>&1 &"),
                         QStringLiteral("sh"), QString::number(environment_.detachDelaySeconds),
                         QFileInfo(*bundle).absolutePath(), *device});
}

void DeploymentController::deployIfNeeded() {
    const auto installed = isInApplicationsFolder();
    if (!installed) {
        OVLOG_INFO(AppLog::setup(), QStringLiteral("No applications folder: the application stays where it is"));
        return;
    }
    if (*installed) {
        if (!bundlePath())
            OVLOG_INFO(AppLog::setup(), QStringLiteral("Not an installation of its own (a build tree, a shared "
                                                       "prefix or a system installation): treated as installed"));
        return;
    }
    const LocalizationController& texts = localizationController_;
    if (Alert::runModal(texts.obAlertMoveApplicationMessage(), texts.obAlertMoveApplicationInformative(),
                        texts.obAlertButtonMoveApplicationMoveToApplicationsFolder(),
                        texts.obAlertButtonMoveApplicationDoNotMove()) != Alert::FirstButtonReturn)
        return;
    runOffMainThread([this] {
        if (!copyMainApplicationBundle()) return;
        // The detach waits 5 s anyway; started first, it cannot be lost to the relaunch ending
        // this process.
        if (isRunningFromMountedVolume()) {
            detachSourceVolume();
        } else {
            removeSourceApplication();
        }
        relaunch();
    });
}
