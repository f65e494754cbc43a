#pragma once

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <signal.h>
#include <sys/prctl.h>

#include "support/TestEnvironment.h"

// A real gnome-keyring-daemon, unlocked with a password, on a session bus of the test's own: the
// desktop of whoever runs the tests is never reached. The bus is one per test process (libsecret
// keeps its connection to it), made by the first keyring and set as DBUS_SESSION_BUS_ADDRESS; it
// offers nothing to start, so a keyring killed stays gone. Each keyring keeps its files in a
// folder of its own under /dev/shm.
class PrivateKeyring {
public:
    static constexpr const char* serviceName = "org.freedesktop.secrets";

    static bool installed() {
        return !QStandardPaths::findExecutable(QStringLiteral("gnome-keyring-daemon")).isEmpty() &&
               !QStandardPaths::findExecutable(QStringLiteral("dbus-daemon")).isEmpty();
    }

    PrivateKeyring() = default;
    PrivateKeyring(const PrivateKeyring&) = delete;
    PrivateKeyring& operator=(const PrivateKeyring&) = delete;
    ~PrivateKeyring() { kill(); }

    // Starts the keyring, unlocked; an empty answer means it answers, else why not. Once more
    // after kill(): the same keyring files, unlocked again, as at the user's next login.
    // Without `login`, no login collection is made: the keyring of a session that never unlocked
    // one, which has nowhere to keep a secret.
    QString start(bool login = true) {
        if (const QString why = startBus(); !why.isEmpty()) return why;
        if (!home_.isValid()) return QStringLiteral("no temporary folder");
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_CACHE_HOME"}) {
            const QString path = home_.filePath(QString::fromLatin1(name));
            QDir().mkpath(path);
            QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            environment.insert(QString::fromLatin1(name), path);
        }
        environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus().address);
        daemon_.setProcessEnvironment(environment);
        daemon_.setStandardOutputFile(QProcess::nullDevice());
        daemon_.setStandardErrorFile(QProcess::nullDevice());
        diesWithTheTest(daemon_);
        QStringList arguments{QStringLiteral("--foreground"), QStringLiteral("--components=secrets")};
        if (login) arguments << QStringLiteral("--unlock");
        daemon_.start(QStringLiteral("gnome-keyring-daemon"), arguments);
        if (!daemon_.waitForStarted(5000)) return QStringLiteral("gnome-keyring-daemon did not start");
        if (!login) {
            daemon_.closeWriteChannel();
            if (!TestEnvironment::waitUntil([] { return connection().interface()->isServiceRegistered(QString::fromLatin1(serviceName)); },
                                            20000))
                return QStringLiteral("gnome-keyring-daemon does not answer");
            return {};
        }
        daemon_.write("keyring password");
        daemon_.waitForBytesWritten(5000);
        daemon_.closeWriteChannel();
        // Answering means owning the name with the login collection made and unlocked.
        if (!TestEnvironment::waitUntil([this] { return !defaultCollection().isEmpty(); }, 20000))
            return QStringLiteral("gnome-keyring-daemon does not answer");
        return {};
    }

    // Locks the default collection, as the desktop does on a screen lock or by the user's hand.
    bool lock() {
        QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(serviceName), QStringLiteral("/org/freedesktop/secrets"),
                                                           QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("Lock"));
        call << QVariant::fromValue(QList<QDBusObjectPath>{QDBusObjectPath(defaultCollection())});
        return connection().call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
    }

    // Stops the daemon without letting it answer (SIGSTOP): calls wait for it until they give up.
    void freeze() { ::kill(static_cast<pid_t>(daemon_.processId()), SIGSTOP); }

    // Ends the daemon at once (SIGKILL) and waits until the bus has forgotten it.
    void kill() {
        if (daemon_.state() == QProcess::NotRunning) return;
        ::kill(static_cast<pid_t>(daemon_.processId()), SIGKILL);
        daemon_.waitForFinished(5000);
        TestEnvironment::waitUntil([this] { return !connection().interface()->isServiceRegistered(QString::fromLatin1(serviceName)); },
                                   5000);
    }

    // The number of items in the default collection, read over the bus past the code under test;
    // -1 when the keyring does not say.
    int itemCount() {
        QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(serviceName), defaultCollection(),
                                                           QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
        call << QStringLiteral("org.freedesktop.Secret.Collection") << QStringLiteral("Items");
        const QDBusReply<QDBusVariant> reply = connection().call(call, QDBus::Block, 5000);
        if (!reply.isValid()) return -1;
        return static_cast<int>(qdbus_cast<QList<QDBusObjectPath>>(reply.value().variant()).size());
    }

private:
    struct Bus {
        QProcess daemon;
        QString address;
        // In the test's own runtime folder, which goes with the test program's home.
        QTemporaryDir folder{qEnvironmentVariable("XDG_RUNTIME_DIR") + QStringLiteral("/keyring-bus-XXXXXX")};
    };

    // A child that a crashed or killed test takes with it, instead of leaving it running.
    static void diesWithTheTest(QProcess& process) {
        process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    }

    // Kept for the whole process: the bus goes when the test program does.
    static Bus& bus() {
        static Bus* bus = new Bus;
        return *bus;
    }

    static QString startBus() {
        Bus& b = bus();
        if (!b.address.isEmpty()) return {};
        if (!b.folder.isValid()) return QStringLiteral("no temporary folder");
        const QString config = b.folder.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly)) return QStringLiteral("cannot write the bus configuration");
        file.write(QStringLiteral("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                                  " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                                  "<busconfig><type>session</type><listen>unix:dir=%1</listen>\n"
                                  "<policy context=\"default\"><allow send_destination=\"*\"/><allow receive_sender=\"*\"/><allow own=\"*\"/></policy>"
                                  "</busconfig>\n")
                       .arg(b.folder.path())
                       .toUtf8());
        file.close();
        diesWithTheTest(b.daemon);
        b.daemon.setStandardErrorFile(QProcess::nullDevice());
        b.daemon.start(QStringLiteral("dbus-daemon"),
                       {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!b.daemon.waitForStarted(5000)) return QStringLiteral("dbus-daemon did not start");
        while (!b.daemon.canReadLine())
            if (!b.daemon.waitForReadyRead(5000)) return QStringLiteral("dbus-daemon printed no address");
        b.address = QString::fromUtf8(b.daemon.readLine()).trimmed();
        qputenv("DBUS_SESSION_BUS_ADDRESS", b.address.toUtf8());
        return {};
    }

    static QDBusConnection connection() {
        return QDBusConnection::connectToBus(bus().address, QStringLiteral("orvella-private-keyring"));
    }

    // The path of the collection the "default" alias names; empty while there is none.
    static QString defaultCollection() {
        QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(serviceName), QStringLiteral("/org/freedesktop/secrets"),
                                                           QStringLiteral("org.freedesktop.Secret.Service"), QStringLiteral("ReadAlias"));
        call << QStringLiteral("default");
        const QDBusReply<QDBusObjectPath> reply = connection().call(call, QDBus::Block, 2000);
        return reply.isValid() && reply.value().path() != QStringLiteral("/") ? reply.value().path() : QString();
    }

    QTemporaryDir home_{QStringLiteral("/dev/shm/orvella-keyring-XXXXXX")};
    QProcess daemon_;
};
