// The other process of the message-port tests.
//   serve NAME   serves the port and prints "ready" (or "failed"); a request "sleep:MS" is answered
//                "slept" after that many milliseconds, "none" with no data, "empty" with empty
//                data, anything else with "<id>:<payload>".
//   watch NAME   connects to the port, prints "connected" (or "failed") and "invalidated" when the
//                port's owner goes away.
//   starve NAME  serves as "serve" does and takes commands on stdin: "limit" leaves the process no
//                descriptor to accept a connection with, "lift" gives them back, "attempts" prints
//                how often accepting was tried.
//   flood NAME N [speak]
//                opens N connections that never send (with "speak": that each send one request,
//                then nothing), prints "connected <n>", then answers "live" with how many the port
//                has not closed; quits when stdin closes or after 30 s.
#include <QCoreApplication>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include "platform/messageport/MessagePort.h"

namespace {
void say(const char* line) {
    std::printf("%s\n", line);
    std::fflush(stdout);
}

std::atomic<int> acceptAttempts = 0;
int countingAccept(int listenFd, int flags) {
    ++acceptAttempts;
    return ::accept4(listenFd, nullptr, nullptr, flags);
}

// Connections that each asked once and then hold on: a hello, one request, its answer.
std::vector<std::shared_ptr<MessagePort>> speakingConnections(const QString& name, int count) {
    std::vector<std::shared_ptr<MessagePort>> ports;
    for (int i = 0; i < count; ++i) {
        auto port = MessagePort::createRemote(name);
        if (!port) break;
        (void)port->sendRequest(1, "once", 1.0, 1.0, true);
        ports.push_back(std::move(port));
    }
    return ports;
}

int flood(const QString& name, int count, bool speak) {
    const QByteArray path = QFile::encodeName(*MessagePort::portsDirectory() + u'/' + name + QStringLiteral(".sock"));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", path.constData());
    std::vector<int> fds;
    const std::vector<std::shared_ptr<MessagePort>> ports = speak ? speakingConnections(name, count)
                                                                  : std::vector<std::shared_ptr<MessagePort>>();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!speak && int(fds.size()) < count && std::chrono::steady_clock::now() < deadline) {
        const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) break;
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0) {
            fds.push_back(fd);
            continue;
        }
        ::close(fd);
        if (errno != EAGAIN) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // the backlog is full for now
    }
    say(("connected " + std::to_string(speak ? ports.size() : fds.size())).c_str());
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    std::string command;
    while (std::chrono::steady_clock::now() < end) {
        pollfd input{0, POLLIN, 0};
        if (::poll(&input, 1, 100) <= 0) continue;
        char c = 0;
        if (::read(0, &c, 1) != 1) break;
        if (c != '\n') {
            command += c;
            continue;
        }
        if (command == "live") {
            int live = 0;
            for (const auto& port : ports) live += port->isValid() ? 1 : 0;
            for (const int fd : fds) {
                pollfd p{fd, 0, 0};
                if (::poll(&p, 1, 0) == 0 || !(p.revents & (POLLHUP | POLLERR))) ++live;
            }
            say(std::to_string(live).c_str());
        }
        command.clear();
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 3) return 2;
    const QString mode = QString::fromUtf8(argv[1]);
    const QString name = QString::fromUtf8(argv[2]);
    if (mode == QStringLiteral("flood") && (argc == 4 || argc == 5))
        return flood(name, std::atoi(argv[3]), argc == 5 && std::strcmp(argv[4], "speak") == 0);
    if (argc != 3) return 2;
    std::shared_ptr<MessagePort> port;
    rlimit saved{};
    ::getrlimit(RLIMIT_NOFILE, &saved);
    QSocketNotifier commands(0, QSocketNotifier::Read);
    commands.setEnabled(mode == QStringLiteral("starve"));
    QObject::connect(&commands, &QSocketNotifier::activated, [&] {
        char buffer[64] = {};
        const ssize_t n = ::read(0, buffer, sizeof(buffer) - 1);
        if (n <= 0) {
            commands.setEnabled(false);
            return;
        }
        const QByteArray command = QByteArray(buffer, int(n)).trimmed();
        if (command == "limit") {
            // The lowest free descriptor is the next one to be handed out: none is left.
            const int lowest = ::dup(0);
            ::close(lowest);
            rlimit starved = saved;
            starved.rlim_cur = rlim_t(lowest);
            say(::setrlimit(RLIMIT_NOFILE, &starved) == 0 ? "limited" : "failed");
        } else if (command == "lift") {
            say(::setrlimit(RLIMIT_NOFILE, &saved) == 0 ? "lifted" : "failed");
        } else if (command == "attempts") {
            say(std::to_string(acceptAttempts.load()).c_str());
        }
    });
    if (mode == QStringLiteral("starve")) MessagePort::setAcceptFunctionForTesting(&countingAccept);
    if (mode == QStringLiteral("serve") || mode == QStringLiteral("starve")) {
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
