// Measures the CPU one small change costs the sync engine once it has settled: a new 1 KiB file in
// the sync folder, from the engine being told of it until it has uploaded it and gone idle again.
// Once with 100,000 synced files (about 101,000 records), once with an empty sync folder (the
// baseline), in the same run; the remote tree is the service's journaled folder on this machine.
// The cost of a change should not grow with the size of the tree.
//
//   bench_change [base folder] [changes]   (defaults: /dev/shm, 40)
#include <QFile>
#include <QThread>


#include <cstdio>
#include <memory>

#include "SyncBench.h"
#include "frameworks/sync/LocalRemoteTree.h"

namespace {

constexpr syncbench::Shape shape = syncbench::hundredThousandFiles;

// CPU milliseconds per change; negative when a change did not arrive.
double perChange(const QString& base, bool full, int changes) {
    QTemporaryDir dir(base + QStringLiteral("/bench-change-XXXXXX"));
    if (!dir.isValid()) return -1;
    const QString syncFolder = dir.filePath(QStringLiteral("Orvella"));
    if (!QDir().mkpath(syncFolder) || (full && !syncbench::makeTree(syncFolder, shape))) return -1;
    const auto [service, remoteRoot] = syncbench::serviceWithUserTree(dir.filePath(QStringLiteral("service")));
    syncbench::WaitingDelegate delegate;
    OrvellaSyncEngine engine(syncbench::configurationFor(syncFolder, delegate),
                             std::make_shared<LocalRemoteTree>(remoteRoot, service), dir.filePath(QStringLiteral("SyncData")),
                             OrvellaSyncEngine::Options{});
    const int expected = full ? shape.files() : 0;
    while (syncbench::measure(remoteRoot).first < expected) QThread::msleep(200);
    syncbench::settle(engine, 1500);

    const QByteArray content(1024, 'c');
    const double before = syncbench::processCpuSeconds();
    for (int i = 0; i < changes; ++i) {
        const QString name = QStringLiteral("change %1.txt").arg(i);
        QFile file(syncFolder + QLatin1Char('/') + name);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) return -1;
        file.close();
        engine.fileChanged(file.fileName());
        for (int waited = 0; !QFile::exists(remoteRoot + QLatin1Char('/') + name); ++waited) {
            if (waited > 30'000) return -1;
            QThread::msleep(1);
        }
        syncbench::settle(engine, 100);
    }
    return 1000.0 * (syncbench::processCpuSeconds() - before) / changes;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Logger::setConsoleOutputEnabled(false);
    const auto [base, changes] = syncbench::arguments(argc, argv, 40);
    const double empty = perChange(base, false, changes);
    const double full = perChange(base, true, changes);
    if (empty < 0 || full < 0) {
        std::puts("a change did not reach the remote tree");
        return 1;
    }
    std::printf("CPU per small change (mean of %d), engine and its threads:\n", changes);
    syncbench::printBeside(shape.files(), full, empty, "%7.2f ms");
    return 0;
}
