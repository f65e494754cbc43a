// Measures what a start costs once everything is in step: the CPU the service and the engine
// spend from being made until the engine has looked at both sides and gone idle, with 100,000
// synced files (about 101,000 records) beside the same start over an empty sync folder, in the
// same run. Nothing changed while they were stopped, so the start should find that out cheaply.
//
//   bench_restart [base folder] [starts]   (defaults: /dev/shm, 3; the median is printed)
#include <QThread>

#include <cstdio>
#include <memory>

#include "SyncBench.h"
#include "frameworks/sync/LocalRemoteTree.h"

namespace {

constexpr syncbench::Shape shape = syncbench::hundredThousandFiles;

struct Setup {
    QString syncFolder, serviceRoot, remoteRoot, stateFolder;
    syncbench::WaitingDelegate delegate;
    SyncFacadeConfiguration configuration;
};

std::unique_ptr<OrvellaSyncEngine> startEngine(Setup& setup, std::shared_ptr<StorageService>& service) {
    service = std::make_shared<StorageService>(setup.serviceRoot);
    service->ensureCreated();
    return std::make_unique<OrvellaSyncEngine>(setup.configuration,
                                               std::make_shared<LocalRemoteTree>(setup.remoteRoot, service),
                                               setup.stateFolder, OrvellaSyncEngine::Options{});
}

// CPU seconds of a start until idle (median of `starts`); negative when the first sync failed.
double perStart(const QString& base, bool full, int starts) {
    QTemporaryDir dir(base + QStringLiteral("/bench-restart-XXXXXX"));
    if (!dir.isValid()) return -1;
    Setup setup;
    setup.syncFolder = dir.filePath(QStringLiteral("Orvella"));
    setup.serviceRoot = dir.filePath(QStringLiteral("service"));
    setup.stateFolder = dir.filePath(QStringLiteral("SyncData"));
    if (!QDir().mkpath(setup.syncFolder) || (full && !syncbench::makeTree(setup.syncFolder, shape))) return -1;
    setup.configuration.rootDirectoryLocalURL = setup.syncFolder;
    setup.configuration.syncStatusDelegate = &setup.delegate;
    setup.configuration.conflictSuffix = QStringLiteral("conflicted copy");
    {
        std::shared_ptr<StorageService> service = std::make_shared<StorageService>(setup.serviceRoot);
        service->ensureCreated();
        setup.remoteRoot = service->usersFolder() + QStringLiteral("/bench");
        QDir().mkpath(setup.remoteRoot);
        auto engine = startEngine(setup, service);
        while (syncbench::measure(setup.remoteRoot).first < (full ? shape.files() : 0)) QThread::msleep(200);
        syncbench::settle(*engine, 1500);
    }
    std::vector<double> cpu;
    for (int i = 0; i < starts; ++i) {
        const double before = syncbench::processCpuSeconds();
        std::shared_ptr<StorageService> service;
        auto engine = startEngine(setup, service);
        syncbench::settle(*engine, 300);
        cpu.push_back(syncbench::processCpuSeconds() - before);
        engine.reset();
        service.reset();
    }
    return syncbench::median(cpu);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Logger::setConsoleOutputEnabled(false);
    const auto [base, starts] = syncbench::arguments(argc, argv, 3);
    const double empty = perStart(base, false, starts);
    const double full = perStart(base, true, starts);
    if (empty < 0 || full < 0) {
        std::puts("the first sync did not finish");
        return 1;
    }
    std::printf("CPU of a start until idle, nothing changed meanwhile (median of %d), service and engine:\n", starts);
    syncbench::printBeside(shape.files(), full, empty, "%7.3f s");
    return 0;
}
