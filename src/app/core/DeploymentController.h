#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

#include "app/common/LocalizationController.h"

// Offers, once per launch, to move an installation started from elsewhere (a download folder, a
// mounted stick) into ~/Applications, and starts the moved copy in place of the running process.
//
// The installation is the folder a `cmake --install` makes: <bundle>/bin/<executable> beside the
// plug-in, with share/ for the desktop entry and icon. Only a folder of its own is ever moved: one
// named after the executable that holds nothing but bin, lib and share. A build tree, a shared
// prefix such as /usr/local, a system installation (the package's programs in /usr/lib/orvella,
// started through links in /usr/bin) and an unknown applications folder count as installed.
class DeploymentController {
public:
    struct Environment {
        // The running executable; it decides the bundle.
        QString executablePath;
        // ~/Applications; empty when there is no home folder.
        QString applicationsFolder;
        // Moves a file or folder to the desktop's trash.
        std::function<bool(const QString& path)> moveToTrash;
        // Runs a tool and waits for it; the relaunch and detach tools return at once and work on in
        // the background.
        std::function<void(const QString& program, const QStringList& arguments)> launch;
        QString mountInfoPath = QStringLiteral("/proc/self/mountinfo");
        // The process the relaunch waits for.
        qint64 processIdentifier = 0;
        int detachDelaySeconds = 5;
    };
    static Environment defaultEnvironment();

    explicit DeploymentController(LocalizationController localizationController = {},
                                  Environment environment = defaultEnvironment());

    // Asks on the calling (main) thread; the file work and the launches run on a worker thread
    // while the main thread waits in an event loop.
    void deployIfNeeded();

    // The bundle the running executable belongs to, as it was when the controller was made; none
    // for a build tree or a folder that is not an installation of its own.
    std::optional<QString> bundlePath() const { return bundlePath_; }
    // None when there is no home folder.
    std::optional<QString> applicationsFolderURL() const;
    std::optional<QString> destinationURL() const;
    std::optional<bool> isInApplicationsFolder() const;
    bool copyMainApplicationBundle() const;
    // The device of the volume whose mount point holds the bundle; none when it is not on one.
    std::optional<QString> sourceVolumeDevice() const;
    bool isRunningFromMountedVolume() const { return sourceVolumeDevice().has_value(); }
    void removeSourceApplication() const;
    void relaunch() const;
    void detachSourceVolume() const;

private:
    static std::optional<QString> findBundle(const QString& executablePath);

    LocalizationController localizationController_;
    Environment environment_;
    std::optional<QString> bundlePath_;
};
