#pragma once

#include <QDBusConnection>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

// A session bus of the test's own, so that nothing reaches the desktop of whoever runs the tests.
class PrivateSessionBus {
public:
    PrivateSessionBus() = default;
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    ~PrivateSessionBus() {
        for (const QString& name : connectionNames_) QDBusConnection::disconnectFromBus(name);
        if (daemon_.state() != QProcess::NotRunning) {
            daemon_.terminate();
            if (!daemon_.waitForFinished(2000)) daemon_.kill();
            daemon_.waitForFinished(2000);
        }
    }

    static bool daemonInstalled() { return !QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty(); }

    // Starts the daemon; an empty answer means it worked, else why not.
    QString start() {
        if (!directory_.isValid()) return QStringLiteral("no temporary folder");
        const QString config = directory_.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) return QStringLiteral("cannot write the bus configuration");
        file.write(QStringLiteral(
                       "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                       " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                       "<busconfig><type>session</type><listen>unix:dir=%1</listen>\n"
                       "<policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                       "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n")
                       .arg(directory_.path())
                       .toUtf8());
        file.close();
        daemon_.start(QStringLiteral("dbus-daemon"),
                      {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                       QStringLiteral("--print-address=1")});
        if (!daemon_.waitForStarted(3000)) return QStringLiteral("dbus-daemon did not start");
        while (!daemon_.canReadLine()) {
            if (!daemon_.waitForReadyRead(3000)) return QStringLiteral("dbus-daemon printed no address");
        }
        address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
        return address_.isEmpty() ? QStringLiteral("dbus-daemon printed no address") : QString();
    }

    // For programs the test starts on the bus, as their DBUS_SESSION_BUS_ADDRESS.
    const QString& address() const { return address_; }

    // A new connection to the bus; each has a unique name of its own.
    QDBusConnection connect(const QString& name) {
        connectionNames_ << name;
        return QDBusConnection::connectToBus(address_, name);
    }

private:
    QTemporaryDir directory_{QStringLiteral("/dev/shm/orvella-bus-XXXXXX")};
    QProcess daemon_;
    QString address_;
    QStringList connectionNames_;
};
