// Measures the CPU the sync engine spends while nothing changes: once with 100,000 synced files,
// once with an empty sync folder (the baseline), each over the same idle stretch after the engine
// settled. Prints the CPU share of one core, the passes run meanwhile, and the difference.
//
//   bench_idle [base folder] [idle seconds]   (defaults: the temp folder, 10)
#include <QThread>

#include <time.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "SyncBench.h"

namespace {

constexpr syncbench::Shape shape{1000, 100, 100000LL * 1024};

double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

struct Idle {
    double cpuPercent = 0;
    std::uint64_t passes = 0;
    bool synced = false;
};

int countFiles(const QString& root) { return syncbench::measure(root).first; }

Idle measure(const QString& base, bool full, int idleSeconds) {
    QTemporaryDir dir(base + QStringLiteral("/bench-idle-XXXXXX"));
    Idle result;
    if (!dir.isValid()) return result;
    const QString syncFolder = dir.filePath(QStringLiteral("Orvella"));
    if (!QDir().mkpath(syncFolder) || (full && !syncbench::makeTree(syncFolder, shape))) return result;
    auto service = std::make_shared<StorageService>(dir.filePath(QStringLiteral("service")));
    service->ensureCreated();
    const QString remoteRoot = service->usersFolder() + QStringLiteral("/bench");
    QDir().mkpath(remoteRoot);

    syncbench::WaitingDelegate delegate;
    SyncFacadeConfiguration configuration;
    configuration.rootDirectoryLocalURL = syncFolder;
    configuration.syncStatusDelegate = &delegate;
    configuration.conflictSuffix = QStringLiteral("conflicted copy");
    OrvellaSyncEngine engine(configuration, service, remoteRoot, dir.filePath(QStringLiteral("SyncData")));
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
    const double cpuBefore = processCpuSeconds();
    const auto wallBefore = std::chrono::steady_clock::now();
    QThread::sleep(idleSeconds);
    const double cpu = processCpuSeconds() - cpuBefore;
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    result.cpuPercent = 100.0 * cpu / wall;
    result.passes = engine.passCount() - passesBefore;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Logger::setConsoleOutputEnabled(false);
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    const int seconds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 10;

    const Idle empty = measure(base, false, seconds);
    std::printf("empty folder (baseline):  %6.2f %% of a core idle, %llu passes in %d s\n", empty.cpuPercent,
                static_cast<unsigned long long>(empty.passes), seconds);
    std::printf("Writing and syncing %d files of 1 KiB ...\n", shape.files());
    std::fflush(stdout);
    const Idle full = measure(base, true, seconds);
    std::printf("%d synced files:      %6.2f %% of a core idle, %llu passes in %d s\n", shape.files(),
                full.cpuPercent, static_cast<unsigned long long>(full.passes), seconds);
    std::printf("difference:               %6.2f percentage points", full.cpuPercent - empty.cpuPercent);
    if (empty.cpuPercent >= 0.05) std::printf(", ratio %.2f", full.cpuPercent / empty.cpuPercent);
    std::printf("\n");
    if (!empty.synced || !full.synced) std::fprintf(stderr, "the remote tree is incomplete\n");
    return empty.synced && full.synced ? 0 : 1;
}
