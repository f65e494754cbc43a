#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QImage>
#include <QString>

#include <functional>

#include "platform/foundation/Bundle.h"

namespace TestEnvironment {

// Points home and the XDG folders (and the embedded service) into `root`.
inline void useHome(const QString& root) {
    const auto set = [&](const char* name, const QString& sub) {
        const QString path = root + sub;
        QDir().mkpath(path);
        qputenv(name, path.toUtf8());
    };
    set("HOME", QStringLiteral("/home"));
    set("XDG_CONFIG_HOME", QStringLiteral("/config"));
    set("XDG_DATA_HOME", QStringLiteral("/data"));
    set("XDG_CACHE_HOME", QStringLiteral("/cache"));
    set("XDG_RUNTIME_DIR", QStringLiteral("/runtime"));
    set("ORVELLA_SERVICE_ROOT", QStringLiteral("/service"));
    // The sync folder's default parent: never the real user's home in a test.
    set("ORVELLA_HOME", QStringLiteral("/realhome"));
    QFile::setPermissions(root + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

inline void loadMainBundle(const QByteArray& info, const QByteArray& strings) {
    Bundle::main().setInfoJson(info);
    Bundle::main().setStringsTable({}, Bundle::parseStrings(strings));
}

// Runs the event loop until the condition holds or the time is up; answers the condition.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000) {
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

// For a look at what a window test drew: ORVELLA_SNAPSHOT_DIR=/dev/shm <test binary>. Without it
// nothing is written, so that a test run leaves no files behind. False only when a save failed.
inline bool keepSnapshot(const QImage& image, const QString& name) {
    const QString folder = qEnvironmentVariable("ORVELLA_SNAPSHOT_DIR");
    return folder.isEmpty() || image.save(folder + QLatin1Char('/') + name + QStringLiteral(".png"));
}

}  // namespace TestEnvironment
