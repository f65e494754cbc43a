// Times the file-manager badge query from the extension's side of the road:
// - the round trip of one badge query from a second process to a port answering as the
//   application's badge server does (median and 99th percentile over 10,000 queries), beside the
//   round trip of a bare AF_UNIX SOCK_SEQPACKET socket pair between two processes;
// - the time to answer the queries for a folder of 10,000 items, one query per item.
//
//   bench_badges
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/sync/Server.h"
#include "platform/messageport/MessagePort.h"
#include "protocol/MessagePortProtocol.h"

namespace {

constexpr int queries = 10'000;
constexpr int folderItems = 10'000;
const QString folder = QStringLiteral("/srv/bench/Orvella/Folder");

using Clock = std::chrono::steady_clock;

QString itemPath(int index) { return folder + QStringLiteral("/item %1.txt").arg(index, 5, 10, QLatin1Char('0')); }

struct Summary {
    double medianUs = 0;
    double p99Us = 0;
};

Summary summarize(std::vector<double> micros) {
    std::sort(micros.begin(), micros.end());
    const auto at = [&](double q) { return micros[std::min(micros.size() - 1, std::size_t(q * double(micros.size())))]; };
    return {at(0.5), at(0.99)};
}

// A payload shaped like a badge query: the item's file URL.
QByteArray queryFor(int index) { return QUrl::fromLocalFile(itemPath(index % folderItems)).toEncoded(); }

// The baseline: a bare socket pair, the child echoing each packet back.
Summary socketPairRoundTrip() {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds) != 0) {
        std::perror("socketpair");
        std::exit(1);
    }
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        char buffer[4096];
        for (;;) {
            const ssize_t n = read(fds[1], buffer, sizeof buffer);
            if (n <= 0) _exit(0);
            // The reply is a badge word, as the real answer would be.
            if (write(fds[1], "synced", 6) != 6) _exit(1);
        }
    }
    close(fds[1]);
    std::vector<double> micros;
    micros.reserve(queries);
    char reply[64];
    for (int i = 0; i < queries; ++i) {
        const QByteArray query = queryFor(i);
        const auto start = Clock::now();
        if (write(fds[0], query.constData(), size_t(query.size())) != query.size() || read(fds[0], reply, sizeof reply) <= 0) {
            std::fputs("socket pair round trip failed\n", stderr);
            std::exit(1);
        }
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    close(fds[0]);
    waitpid(child, nullptr, 0);
    return summarize(std::move(micros));
}

// The extension's side, in the second process: times each query, then a sweep over the folder.
int runClient(const QString& portName) {
    auto port = MessagePort::createRemote(portName);
    if (!port) {
        std::fputs("client: nobody serves the badge port\n", stderr);
        return 1;
    }
    const auto ask = [&](int index) {
        const MessagePortReply reply = port->sendRequest(MessagePortProtocol::messageId, queryFor(index),
                                                         MessagePortProtocol::sendTimeout,
                                                         MessagePortProtocol::receiveTimeout, true);
        if (reply.result != MessagePortResult::success || !reply.data) {
            std::fprintf(stderr, "client: query %d failed (%d)\n", index, reply.result);
            std::exit(1);
        }
    };
    std::vector<double> micros;
    micros.reserve(queries);
    for (int i = 0; i < queries; ++i) {
        const auto start = Clock::now();
        ask(i);
        micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    const Summary summary = summarize(std::move(micros));

    const auto sweepStart = Clock::now();
    for (int i = 0; i < folderItems; ++i) ask(i);
    const double sweepMs = std::chrono::duration<double, std::milli>(Clock::now() - sweepStart).count();
    std::printf("%.2f %.2f %.1f\n", summary.medianUs, summary.p99Us, sweepMs);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--client") {
        QCoreApplication app(argc, argv);
        return runClient(QString::fromUtf8(argv[2]));
    }

    // Forked before Qt starts any thread.
    const Summary bare = socketPairRoundTrip();

    QTemporaryDir runtime(QStringLiteral("/dev/shm/orvella-bench-badges-XXXXXX"));
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    QCoreApplication app(argc, argv);

    // The application's side: the item statuses of the folder and a port answering as its badge
    // server does, from the query's file URL to the item's badge word.
    QHash<QString, OVItemSyncStatus> statuses;
    statuses.reserve(folderItems);
    for (int i = 0; i < folderItems; ++i)
        statuses.insert(itemPath(i), i % 10 == 0 ? OVItemSyncStatus::syncing : OVItemSyncStatus::synced);
    const QString portName =
        MessagePortProtocol::badgePortName(QStringLiteral("bench.%1").arg(QCoreApplication::applicationPid()));
    auto port = MessagePort::createLocal(portName, [&](std::int32_t, const QByteArray& data) -> std::optional<QByteArray> {
        const QUrl url = QUrl::fromEncoded(data, QUrl::StrictMode);
        if (!url.isValid() || !url.isLocalFile()) return std::nullopt;
        return Server::badgeWord(statuses.value(url.toLocalFile(), OVItemSyncStatus::error)).toUtf8();
    });
    if (!port) {
        std::fputs("cannot open the badge port\n", stderr);
        return 1;
    }

    QProcess client;
    client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QObject::connect(&client, &QProcess::finished, &app, [&] { app.quit(); });
    QObject::connect(&client, &QProcess::errorOccurred, &app, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) app.quit();
    });
    client.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--client"), portName});
    app.exec();

    double medianUs = 0, p99Us = 0, sweepMs = 0;
    const QByteArray line = client.readAllStandardOutput();
    if (client.exitCode() != 0 || std::sscanf(line.constData(), "%lf %lf %lf", &medianUs, &p99Us, &sweepMs) != 3) {
        std::fputs("the client process failed\n", stderr);
        return 1;
    }
    std::printf("badge query round trip over %d queries (second process):\n", queries);
    std::printf("  message port to the badge server: median %8.2f us   p99 %8.2f us\n", medianUs, p99Us);
    std::printf("  bare SOCK_SEQPACKET socket pair : median %8.2f us   p99 %8.2f us\n", bare.medianUs, bare.p99Us);
    std::printf("answering a folder of %d items, one query each: %.1f ms (%.2f us per item)\n", folderItems, sweepMs,
                sweepMs * 1000.0 / folderItems);
    return 0;
}
