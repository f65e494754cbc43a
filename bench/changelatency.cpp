// Measures how long a change made on one computer takes to reach another of the same user: two
// engines, two sync folders, one account. The first folder gets a new small file every 50 ms (the
// engine told of each as the file-event stream would tell it); the time runs from the file's close
// until the second folder holds all of its bytes. Once through an Orvella_Service on loopback (TLS,
// one HttpServiceClient per engine), beside the same over the folder on this machine (both engines
// on LocalRemoteTree over one StorageService root) in the same run. Prints the median and the 99th
// percentile of each, with their ratios.
//
//   bench_changelatency [base folder] [changes]   (defaults: /dev/shm, 200)
#include "ServerBench.h"
#include "SyncBench.h"

#include <QThread>

#include <atomic>
#include <chrono>
#include <cmath>
#include <thread>

#include "frameworks/sync/LocalRemoteTree.h"
#include "frameworks/sync/ServiceRemoteTree.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto spacing = 50ms;
constexpr auto giveUpAfter = 30s;  // after the last write, for changes that never arrive
constexpr int fileBytes = 1024;
const QString user = QStringLiteral("bench");

struct Latencies {
    std::vector<double> ms;  // of the changes that arrived
    int missing = 0;
};

// The engine over `remote`, its folders below `folder`, once it found nothing left to do.
std::unique_ptr<OrvellaSyncEngine> settledEngine(const QString& folder, std::shared_ptr<RemoteTree> remote,
                                                 syncbench::WaitingDelegate& delegate) {
    QDir().mkpath(folder + QStringLiteral("/Orvella"));
    SyncFacadeConfiguration configuration;
    configuration.rootDirectoryLocalURL = folder + QStringLiteral("/Orvella");
    configuration.syncStatusDelegate = &delegate;
    configuration.conflictSuffix = QStringLiteral("conflicted copy");
    auto engine = std::make_unique<OrvellaSyncEngine>(configuration, std::move(remote), folder + QStringLiteral("/SyncData"),
                                                      OrvellaSyncEngine::Options{});
    const auto check = engine->requestCheck();
    while (engine->checkedCount() < check) QThread::msleep(20);
    return engine;
}

QByteArray contentOf(int index) {
    QByteArray data = QByteArrayLiteral("change ") + QByteArray::number(index) + '\n';
    return data.leftJustified(fileBytes, '.');
}

Latencies measure(const QString& folder, std::shared_ptr<RemoteTree> remoteA, std::shared_ptr<RemoteTree> remoteB, int count) {
    syncbench::WaitingDelegate delegateA, delegateB;
    const auto engineA = settledEngine(folder + QStringLiteral("/A"), std::move(remoteA), delegateA);
    const auto engineB = settledEngine(folder + QStringLiteral("/B"), std::move(remoteB), delegateB);
    // The second engine's question for remote changes waits at the other side by now.
    QThread::sleep(1);

    const auto name = [](int i) { return QStringLiteral("change %1.txt").arg(i, 4, 10, QLatin1Char('0')); };
    std::vector<std::atomic<Clock::rep>> written(count);  // close time; 0 until then
    std::vector<double> arrived(count, -1);
    std::atomic<int> writes{0};
    std::atomic<bool> writingDone{false};

    // Looks at each written file not yet seen complete in the second folder, about every millisecond.
    std::thread watcher([&] {
        int seen = 0;
        Clock::time_point lastWrite{};
        while (seen < count) {
            const int known = writes.load();
            for (int i = 0; i < known; ++i) {
                if (arrived[i] >= 0) continue;
                QFile file(folder + QStringLiteral("/B/Orvella/") + name(i));
                if (!file.open(QIODevice::ReadOnly) || file.readAll() != contentOf(i)) continue;
                const Clock::time_point at{Clock::duration(written[i].load())};
                arrived[i] = std::chrono::duration<double, std::milli>(Clock::now() - at).count();
                ++seen;
            }
            if (writingDone && lastWrite == Clock::time_point{}) lastWrite = Clock::now();
            if (writingDone && Clock::now() - lastWrite > giveUpAfter) break;
            std::this_thread::sleep_for(1ms);
        }
    });

    const auto start = Clock::now();
    for (int i = 0; i < count; ++i) {
        std::this_thread::sleep_until(start + i * spacing);
        const QString path = folder + QStringLiteral("/A/Orvella/") + name(i);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(contentOf(i)) != fileBytes) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            break;
        }
        file.close();
        written[i] = Clock::now().time_since_epoch().count();
        writes = i + 1;
        engineA->localChangesListener().fileChanged(path);
    }
    writingDone = true;
    watcher.join();

    Latencies result;
    for (const double ms : arrived) {
        if (ms >= 0) result.ms.push_back(ms);
        else ++result.missing;
    }
    std::sort(result.ms.begin(), result.ms.end());
    return result;
}

Latencies throughTheServer(const QString& base, int count) {
    QTemporaryDir dir(base + QStringLiteral("/bench-latency-XXXXXX"));
    const auto server = serverbench::startServer(dir.filePath(QStringLiteral("server")));
    if (!server) return {{}, count};
    const auto clientA = serverbench::newAccount(*server, user);
    const auto clientB = serverbench::clientOf(*server);
    if (!clientA || !clientB->signIn(user, serverbench::password)) {
        std::fprintf(stderr, "cannot sign the second computer in\n");
        return {{}, count};
    }
    return measure(dir.path(), std::make_shared<ServiceRemoteTree>(clientA), std::make_shared<ServiceRemoteTree>(clientB), count);
}

Latencies onThisMachine(const QString& base, int count) {
    QTemporaryDir dir(base + QStringLiteral("/bench-latency-XXXXXX"));
    auto service = std::make_shared<StorageService>(dir.filePath(QStringLiteral("service")));
    service->ensureCreated();
    if (!service->createAccount(user, QStringLiteral("bench@example.org"), serverbench::password)) {
        std::fprintf(stderr, "no account\n");
        return {{}, count};
    }
    const QString remoteRoot = service->homeFolder(user);
    return measure(dir.path(), std::make_shared<LocalRemoteTree>(remoteRoot, service),
                   std::make_shared<LocalRemoteTree>(remoteRoot, service), count);
}

// Nearest rank: the smallest value with at least `fraction` of them at or below it.
double percentile(const std::vector<double>& sorted, double fraction) {
    if (sorted.empty()) return NAN;
    const auto rank = std::size_t(std::ceil(fraction * double(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Logger::setConsoleOutputEnabled(false);
    const auto [base, count] = syncbench::arguments(argc, argv, 200);
    std::printf("%d new files of %d bytes, one every %lld ms, from one sync folder to another of the same user, in %s\n",
                count, fileBytes, static_cast<long long>(spacing.count()), qPrintable(base));
    std::fflush(stdout);

    const Latencies server = throughTheServer(base, count);
    const Latencies local = onThisMachine(base, count);
    const auto show = [&](const char* what, const Latencies& l) {
        std::printf("%-34s median %8.1f ms   p99 %8.1f ms   max %8.1f ms   %zu arrived%s\n", what, percentile(l.ms, 0.5),
                    percentile(l.ms, 0.99), l.ms.empty() ? NAN : l.ms.back(), l.ms.size(),
                    l.missing ? qPrintable(QStringLiteral(", %1 MISSING").arg(l.missing)) : "");
    };
    show("through the server (HTTPS):", server);
    show("local folder (baseline):", local);
    std::printf("ratio server / local:              median %8.2f      p99 %8.2f\n",
                percentile(server.ms, 0.5) / percentile(local.ms, 0.5), percentile(server.ms, 0.99) / percentile(local.ms, 0.99));
    std::printf("goal through the server: median <= 1000 ms (%s), p99 <= 2000 ms (%s)\n",
                percentile(server.ms, 0.5) <= 1000 ? "met" : "NOT met", percentile(server.ms, 0.99) <= 2000 ? "met" : "NOT met");
    const bool complete = server.missing == 0 && local.missing == 0;
    if (!complete) std::fprintf(stderr, "some changes never arrived\n");
    return complete ? 0 : 1;
}
