// Measures the CPU the sync engine spends while nothing changes: once with 100,000 synced files,
// once with an empty sync folder (the baseline), each over the same idle stretch after the engine
// settled. Prints the CPU share of one core, the passes run meanwhile, and the difference. For
// comparison, also the 100,000 files in a remote tree outside the service's users, which the
// service does not journal and the engine therefore polls; and the same two folders through an
// Orvella_Service on loopback (TLS, ServiceRemoteTree over HttpServiceClient), where the server's
// CPU over the stretch counts too, beside the engine's over the folder on this machine.
//
// The default stretch is a minute: over a few seconds, one-off work that follows settling (a
// compaction, a journal catch-up) is folded into the rate and makes it look several times worse.
//
//   bench_idle [base folder] [idle seconds]   (defaults: /dev/shm, 60)
#include <QThread>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "ServerBench.h"
#include "SyncBench.h"
#include "frameworks/sync/LocalRemoteTree.h"
#include "frameworks/sync/ServiceRemoteTree.h"

namespace {

constexpr syncbench::Shape shape = syncbench::hundredThousandFiles;

// Where the remote tree is: the service's users (journaled), a folder outside them (polled), or
// across a server.
enum class Remote { journaled, polled, server };

struct Idle {
    double cpuMs = 0;
    double cpuPercent = 0;
    bool throughServer = false;
    double serverCpuMs = 0;
    double serverCpuPercent = 0;
    std::uint64_t passes = 0;
    bool synced = false;
};

int countFiles(const QString& root) { return syncbench::measure(root).first; }

Idle measure(const QString& base, bool full, Remote where, int idleSeconds) {
    QTemporaryDir dir(base + QStringLiteral("/bench-idle-XXXXXX"));
    Idle result;
    if (!dir.isValid()) return result;
    const QString syncFolder = dir.filePath(QStringLiteral("Orvella"));
    if (!QDir().mkpath(syncFolder) || (full && !syncbench::makeTree(syncFolder, shape))) return result;
    std::unique_ptr<ServiceProcess> server;
    std::shared_ptr<RemoteTree> remote;
    QString remoteRoot;  // the remote tree on disk
    if (where == Remote::server) {
        server = serverbench::startServer(dir.filePath(QStringLiteral("server")));
        const auto client = server ? serverbench::newAccount(*server, QStringLiteral("bench")) : nullptr;
        if (!client) return result;
        remoteRoot = server->home(QStringLiteral("bench"));
        remote = std::make_shared<ServiceRemoteTree>(client);
    } else {
        auto service = std::make_shared<StorageService>(dir.filePath(QStringLiteral("service")));
        service->ensureCreated();
        remoteRoot = where == Remote::journaled ? service->usersFolder() + QStringLiteral("/bench") : dir.filePath(QStringLiteral("remote"));
        QDir().mkpath(remoteRoot);
        remote = std::make_shared<LocalRemoteTree>(remoteRoot, service);
    }

    syncbench::WaitingDelegate delegate;
    SyncFacadeConfiguration configuration;
    configuration.rootDirectoryLocalURL = syncFolder;
    configuration.syncStatusDelegate = &delegate;
    configuration.conflictSuffix = QStringLiteral("conflicted copy");
    OrvellaSyncEngine engine(configuration, remote, dir.filePath(QStringLiteral("SyncData")), OrvellaSyncEngine::Options{});
    // Synced: every file arrived and a check after that found nothing left to do.
    const int expected = full ? shape.files() : 0;
    while (countFiles(remoteRoot) < expected) QThread::msleep(200);
    const auto check = engine.requestCheck();
    while (engine.checkedCount() < check) QThread::msleep(50);
    // The echo of its own uploads has died down once no pass started for a while.
    for (auto passes = engine.passCount();; ) {
        QThread::msleep(1000);
        if (engine.passCount() == passes) break;
        passes = engine.passCount();
    }
    result.synced = countFiles(remoteRoot) == expected;

    const std::uint64_t passesBefore = engine.passCount();
    const double cpuBefore = syncbench::processCpuSeconds();
    const auto serverBefore = server ? serverbench::processUse(server->pid()) : std::nullopt;
    const auto wallBefore = std::chrono::steady_clock::now();
    QThread::sleep(idleSeconds);
    const double cpu = syncbench::processCpuSeconds() - cpuBefore;
    const auto serverAfter = server ? serverbench::processUse(server->pid()) : std::nullopt;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    result.cpuMs = 1000.0 * cpu;
    result.cpuPercent = 100.0 * cpu / wall;
    result.throughServer = server != nullptr;
    if (serverBefore && serverAfter) {
        result.serverCpuMs = 1000.0 * (serverAfter->cpuSeconds - serverBefore->cpuSeconds);
        result.serverCpuPercent = 100.0 * (serverAfter->cpuSeconds - serverBefore->cpuSeconds) / wall;
    } else if (server) {
        result.synced = false;
    }
    result.passes = engine.passCount() - passesBefore;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Logger::setConsoleOutputEnabled(false);
    const auto [base, seconds] = syncbench::arguments(argc, argv, 60);

    const auto show = [&](const char* what, const Idle& idle) {
        std::printf("%-44s %7.3f %% of a core (%8.1f ms CPU), %llu passes in %d s", what, idle.cpuPercent, idle.cpuMs,
                    static_cast<unsigned long long>(idle.passes), seconds);
        if (idle.throughServer)
            std::printf("; the server %7.3f %% (%8.1f ms)", idle.serverCpuPercent, idle.serverCpuMs);
        std::printf("\n");
        std::fflush(stdout);
    };
    const Idle empty = measure(base, false, Remote::journaled, seconds);
    show("empty folder (baseline):", empty);
    const Idle full = measure(base, true, Remote::journaled, seconds);
    show("100000 synced files:", full);
    const Idle polled = measure(base, true, Remote::polled, seconds);
    show("100000 synced files, polled remote:", polled);
    const Idle emptyServer = measure(base, false, Remote::server, seconds);
    show("empty folder, through the server (HTTPS):", emptyServer);
    const Idle fullServer = measure(base, true, Remote::server, seconds);
    show("100000 synced files, through the server:", fullServer);
    std::printf("difference to the baseline:                  %7.3f percentage points", full.cpuPercent - empty.cpuPercent);
    if (empty.cpuMs >= 1) std::printf(", ratio %.2f", full.cpuMs / empty.cpuMs);
    std::printf("\nthe same files polled / journaled:           %.0f times the CPU\n", polled.cpuMs / std::max(full.cpuMs, 0.1));
    // Engine and server together: what the machines spend on an idle tree through the network.
    const double serverMs = fullServer.cpuMs + fullServer.serverCpuMs;
    std::printf("through the server / local folder:           %.3f %% / %.3f %% of a core (engine and server), ratio %.2f\n",
                fullServer.cpuPercent + fullServer.serverCpuPercent, full.cpuPercent, serverMs / std::max(full.cpuMs, 0.1));
    const bool synced = empty.synced && full.synced && polled.synced && emptyServer.synced && fullServer.synced;
    if (!synced) std::fprintf(stderr, "a remote tree is incomplete\n");
    return synced ? 0 : 1;
}
