// Times a deletion of 100,000 synced files of 1 KiB (1,000 folders of 100) reaching the remote
// tree: `rm -rf` of the sync folder's contents, the engine told of every removed item as the file
// events would tell it (each file, then its folder), until the remote tree (the service's journaled
// folder on this machine) is empty. The baseline, in the same run: `rm -rf` of an identical tree
// on the same disk.
//
//   bench_delete [base folder] [runs]   (defaults: /dev/shm, 1 run)
#include <QThread>

#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "SyncBench.h"
#include "frameworks/sync/LocalRemoteTree.h"

namespace {

constexpr syncbench::Shape shape = syncbench::hundredThousandFiles;
constexpr int timeoutMs = 120'000;

// Cheap enough to ask often: the remote tree's root holds only folders, each a link of the root.
bool holdsFolders(const QString& folder) {
    struct stat st {};
    return ::lstat(QFile::encodeName(folder).constData(), &st) != 0 || st.st_nlink > 2;
}

bool isEmpty(const QString& folder) {
    return QDir(folder).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
}

QStringList childrenOf(const QString& folder) {
    QStringList paths;
    const QDir dir(folder);
    for (const QString& name : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System))
        paths << dir.filePath(name);
    return paths;
}

bool removeAll(const QStringList& paths) {
    return QProcess::execute(QStringLiteral("rm"), QStringList{QStringLiteral("-rf"), QStringLiteral("--")} + paths) == 0;
}

struct Figures {
    double engine = -1;   // from the start of `rm -rf` until the remote tree is empty
    double localRm = -1;  // the `rm -rf` of the sync folder's contents, part of `engine`
    double baseline = -1;
    bool keptDeleted = false;  // idle afterwards with both trees empty
};

Figures once(const QString& base) {
    Figures figures;
    QTemporaryDir dir(base + QStringLiteral("/bench-delete-XXXXXX"));
    if (!dir.isValid()) return figures;
    const QString syncFolder = dir.filePath(QStringLiteral("Orvella"));
    const QString copy = dir.filePath(QStringLiteral("copy"));
    if (!QDir().mkpath(syncFolder) || !QDir().mkpath(copy) || !syncbench::makeTree(syncFolder, shape) ||
        !syncbench::makeTree(copy, shape))
        return figures;

    QElapsedTimer baseline;
    baseline.start();
    if (!removeAll(childrenOf(copy))) return figures;
    figures.baseline = syncbench::seconds(baseline);

    const auto [service, remoteRoot] = syncbench::serviceWithUserTree(dir.filePath(QStringLiteral("service")));
    syncbench::WaitingDelegate delegate;
    OrvellaSyncEngine engine(syncbench::configurationFor(syncFolder, delegate),
                             std::make_shared<LocalRemoteTree>(remoteRoot, service), dir.filePath(QStringLiteral("SyncData")),
                             OrvellaSyncEngine::Options{});
    if (delegate.waitUntilDone().kind != SyncStatus::Kind::upToDate ||
        syncbench::measure(remoteRoot).first != shape.files())
        return figures;
    // Settled: the journal's answers for the upload have come back and been looked at.
    syncbench::settle(engine, 1500);

    const QStringList folders = childrenOf(syncFolder);
    QStringList removed;  // as the file events name them
    for (const QString& folder : folders) {
        removed << childrenOf(folder);
        removed << folder;
    }
    QElapsedTimer timer;
    timer.start();
    if (!removeAll(folders)) return figures;
    figures.localRm = syncbench::seconds(timer);
    for (const QString& path : std::as_const(removed)) engine.itemDeleted(path);
    while (holdsFolders(remoteRoot) || !isEmpty(remoteRoot)) {
        if (timer.elapsed() > timeoutMs) return figures;
        QThread::usleep(500);
    }
    figures.engine = syncbench::seconds(timer);

    for (auto check = engine.requestCheck(); engine.checkedCount() < check;) QThread::msleep(5);
    for (int waited = 0; engine.currentStatus().kind != SyncStatus::Kind::upToDate && waited < 10'000; waited += 5)
        QThread::msleep(5);
    figures.keptDeleted = isEmpty(syncFolder) && isEmpty(remoteRoot) &&
                          engine.currentStatus().kind == SyncStatus::Kind::upToDate;
    return figures;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Logger::setConsoleOutputEnabled(false);
    const auto [base, runs] = syncbench::arguments(argc, argv, 1);
    std::printf("Deleting %d synced files in %d folders (%lld bytes) in %s, %d run(s)\n", shape.files(), shape.folders,
                shape.totalBytes, qPrintable(base), runs);
    std::vector<double> engine, baseline, ratio;
    for (int i = 0; i < runs; ++i) {
        const Figures figures = once(base);
        if (figures.engine < 0 || figures.baseline < 0) {
            std::puts("the deletion did not reach the remote tree");
            return 1;
        }
        std::printf("  remote tree empty after %7.3f s (of which the local rm -rf %6.3f s)   rm -rf of the same tree "
                    "%6.3f s   ratio %5.2f%s\n",
                    figures.engine, figures.localRm, figures.baseline, figures.engine / figures.baseline,
                    figures.keptDeleted ? "" : "   NOT IDLE WITH BOTH TREES EMPTY AFTERWARDS");
        std::fflush(stdout);
        if (!figures.keptDeleted) return 1;
        engine.push_back(figures.engine);
        baseline.push_back(figures.baseline);
        ratio.push_back(figures.engine / figures.baseline);
    }
    if (runs > 1)
        std::printf("  median of %d: engine %7.3f s   rm -rf %6.3f s   ratio %5.2f (median of the runs' ratios)\n", runs,
                    syncbench::median(engine), syncbench::median(baseline), syncbench::median(ratio));
    return 0;
}
