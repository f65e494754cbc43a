// The other process of the message-port tests.
//   serve NAME   serves the port and prints "ready" (or "failed"); a request "sleep:MS" is answered
//                "slept" after that many milliseconds, "none" with no data, "empty" with empty
//                data, anything else with "<id>:<payload>".
//   watch NAME   connects to the port, prints "connected" (or "failed") and "invalidated" when the
//                port's owner goes away.
#include <QCoreApplication>
#include <QThread>

#include <cstdio>

#include "platform/messageport/MessagePort.h"

namespace {
void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc != 3) return 2;
    const QString mode = QString::fromUtf8(argv[1]);
    const QString name = QString::fromUtf8(argv[2]);
    std::shared_ptr<MessagePort> port;
    if (mode == QStringLiteral("serve")) {
        port = MessagePort::createLocal(name, [](std::int32_t id, const QByteArray& data) -> std::optional<QByteArray> {
            if (data.startsWith("sleep:")) {
                QThread::msleep(data.mid(6).toULong());
                return QByteArray("slept");
            }
            if (data == "none") return std::nullopt;
            if (data == "empty") return QByteArray();
            return QByteArray::number(id) + ':' + data;
        });
        say(port ? "ready" : "failed");
    } else if (mode == QStringLiteral("watch")) {
        port = MessagePort::createRemote(name);
        say(port ? "connected" : "failed");
        if (port) port->setInvalidationCallback([] {
            say("invalidated");
            QCoreApplication::quit();
        });
    } else {
        return 2;
    }
    if (!port) return 1;
    return app.exec();
}
