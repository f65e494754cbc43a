#pragma once
// Times the sync engine's first sync of a tree, both ways, beside `cp -r` of the same tree on the
// same disk in the same run:
// - up: the sync folder full, the remote tree empty;
// - down: the remote tree full, the sync folder empty.
// Each run writes fresh trees (not timed); with several runs the medians follow.
//
//   <bench> [base folder] [runs]   (default: /dev/shm, 1 run)
#include <QCoreApplication>

#include <time.h>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

#include "frameworks/logger/Logger.h"
#include "frameworks/sync/OrvellaSyncEngine.h"
#include "service/StorageService.h"

namespace syncbench {

// Where a bench makes its trees unless given a folder: in memory, or the figures measure the disk.
inline QString defaultBase() { return QStringLiteral("/dev/shm"); }

// What most benches take: the folder their trees go in, and how many runs, changes or seconds.
struct Arguments {
    QString base;
    int count = 1;
};
inline Arguments arguments(int argc, char** argv, int defaultCount) {
    return {argc > 1 ? QString::fromLocal8Bit(argv[1]) : defaultBase(), argc > 2 ? std::max(1, std::atoi(argv[2])) : defaultCount};
}

struct Shape {
    int folders = 0;
    int filesPerFolder = 0;
    qint64 totalBytes = 0;  // spread evenly over the files

    int files() const { return folders * filesPerFolder; }
};

class WaitingDelegate : public SyncStatusDelegate {
public:
    void itemStatusChanged(const QString&, OVItemSyncStatus) override {}
    void syncStatusChanged(const SyncStatus& status) override {
        std::lock_guard lock(mutex_);
        if (status.kind == SyncStatus::Kind::syncing) started_ = true;
        if (started_ && (status.kind == SyncStatus::Kind::upToDate || status.kind == SyncStatus::Kind::error)) {
            done_ = true;
            last_ = status;
            changed_.notify_all();
        }
    }
    bool shouldIgnoreItem(const QString&) override { return false; }
    bool isRegularItem(const QString&, const QString&) override { return true; }
    bool isSystemFolder(const QString&, const QString&) override { return false; }
    void handle(const SyncEvent&) override {}

    SyncStatus waitUntilDone() {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return done_; });
        return last_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool started_ = false;
    bool done_ = false;
    SyncStatus last_;
};

// How the benches set the engine up: the sync folder, the delegate, the usual conflict suffix.
inline SyncFacadeConfiguration configurationFor(const QString& syncFolder, SyncStatusDelegate& delegate) {
    SyncFacadeConfiguration configuration;
    configuration.rootDirectoryLocalURL = syncFolder;
    configuration.syncStatusDelegate = &delegate;
    configuration.conflictSuffix = QStringLiteral("conflicted copy");
    return configuration;
}

// The service made in `root` and the tree of its user "bench", which its journal follows.
inline std::pair<std::shared_ptr<StorageService>, QString> serviceWithUserTree(const QString& root) {
    auto service = std::make_shared<StorageService>(root);
    service->ensureCreated();
    const QString tree = service->usersFolder() + QStringLiteral("/bench");
    QDir().mkpath(tree);
    return {service, tree};
}

inline bool makeTree(const QString& root, const Shape& shape) {
    const qint64 base = shape.totalBytes / shape.files();
    const qint64 larger = shape.totalBytes % shape.files();  // so many files get one byte more
    QRandomGenerator random(42);
    int index = 0;
    for (int f = 0; f < shape.folders; ++f) {
        const QString folder = QStringLiteral("%1/folder %2").arg(root).arg(f, 4, 10, QLatin1Char('0'));
        if (!QDir().mkpath(folder)) return false;
        for (int i = 0; i < shape.filesPerFolder; ++i, ++index) {
            QByteArray data(base + (index < larger ? 1 : 0), Qt::Uninitialized);
            random.fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
            QFile file(QStringLiteral("%1/file %2.bin").arg(folder).arg(i));
            if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) return false;
        }
    }
    return true;
}

inline std::pair<int, qint64> measure(const QString& root) {
    int files = 0;
    qint64 bytes = 0;
    QDirIterator it(root, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        ++files;
        bytes += it.fileInfo().size();
    }
    return {files, bytes};
}

// Whether `copy` holds the files of `original`, byte for byte, and no others; hidden items (a
// sync folder's own state among them) are neither synced nor compared.
inline bool sameFiles(const QString& original, const QString& copy) {
    int files = 0;
    QDirIterator it(original, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile a(path), b(copy + path.mid(original.size()));
        if (!a.open(QIODevice::ReadOnly) || !b.open(QIODevice::ReadOnly) || a.size() != b.size() ||
            a.readAll() != b.readAll())
            return false;
        ++files;
    }
    return measure(copy).first == files;
}

inline double seconds(const QElapsedTimer& timer) { return timer.nsecsElapsed() / 1e9; }

struct Figures {
    double engine = 0;
    double copy = 0;
    bool complete = false;
};

// One first sync in the direction given, in a fresh folder below `base`, and `cp -r` of its tree.
inline Figures once(const QString& base, const Shape& shape, bool up) {
    Figures figures;
    QTemporaryDir dir(base + QStringLiteral("/bench-sync-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a folder in %s\n", qPrintable(base));
        return figures;
    }
    const QString syncFolder = dir.filePath(QStringLiteral("Orvella"));
    auto service = std::make_shared<StorageService>(dir.filePath(QStringLiteral("service")));
    service->ensureCreated();
    const QString remoteRoot = service->usersFolder() + QStringLiteral("/bench");
    QDir().mkpath(remoteRoot);
    QDir().mkpath(syncFolder);
    const QString full = up ? syncFolder : remoteRoot;
    const QString empty = up ? remoteRoot : syncFolder;
    if (!makeTree(full, shape)) {
        std::fprintf(stderr, "cannot write the tree\n");
        return figures;
    }

    WaitingDelegate delegate;
    SyncFacadeConfiguration configuration;
    configuration.rootDirectoryLocalURL = syncFolder;
    configuration.syncStatusDelegate = &delegate;
    configuration.conflictSuffix = QStringLiteral("conflicted copy");
    configuration.minimumFreeDiskSpace = 0;
    QElapsedTimer engineTimer;
    engineTimer.start();
    SyncStatus end;
    {
        OrvellaSyncEngine engine(configuration, service, remoteRoot, dir.filePath(QStringLiteral("SyncData")));
        end = delegate.waitUntilDone();
    }
    figures.engine = seconds(engineTimer);
    const auto [engineFiles, engineBytes] = measure(empty);

    QElapsedTimer copyTimer;
    copyTimer.start();
    const int copyResult = QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), full, dir.filePath(QStringLiteral("copy"))});
    figures.copy = seconds(copyTimer);
    const auto [copyFiles, copyBytes] = measure(dir.filePath(QStringLiteral("copy")));

    figures.complete = engineFiles == shape.files() && engineBytes == shape.totalBytes && copyResult == 0 &&
                       copyFiles == engineFiles && copyBytes == engineBytes && sameFiles(full, empty);
    std::printf("%-4s engine %8.3f s   cp -r %8.3f s   ratio %5.2f   %d files, %lld bytes, final status %s%s\n",
                up ? "up" : "down", figures.engine, figures.copy, figures.engine / figures.copy, engineFiles,
                engineBytes, qPrintable(describe(end)), figures.complete ? "" : "   INCOMPLETE");
    std::fflush(stdout);
    return figures;
}

// 100,000 files of 1 KiB in 1,000 folders: the tree the idle and per-change figures are taken on.
inline constexpr Shape hundredThousandFiles{1000, 100, 100000LL * 1024};

// The CPU this process (every thread) has used so far.
inline double processCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// Waits until everything changed before now was looked at, and no pass ran for a while after.
inline void settle(OrvellaSyncEngine& engine, int quietMs) {
    const auto check = engine.requestCheck();
    while (engine.checkedCount() < check) QThread::msleep(2);
    for (auto passes = engine.passCount();;) {
        QThread::msleep(quietMs);
        if (engine.passCount() == passes) return;
        passes = engine.passCount();
    }
}

// A figure taken with `files` synced beside the same with an empty state, and their ratio;
// `value` is a printf format for one figure ("%7.2f ms").
inline void printBeside(int files, double full, double empty, const char* value) {
    std::printf((QByteArray("  %d files synced   ") + value + '\n').constData(), files, full);
    std::printf((QByteArray("  baseline: empty   ") + value + '\n').constData(), empty);
    std::printf("  ratio %.2f\n", full / empty);
}

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

inline int run(int argc, char** argv, const Shape& shape) {
    QCoreApplication app(argc, argv);
    Logger::setConsoleOutputEnabled(false);
    const auto [base, runs] = arguments(argc, argv, 1);
    std::printf("First sync of %d files in %d folders (%lld bytes), %d run(s), in %s\n", shape.files(), shape.folders,
                shape.totalBytes, runs, qPrintable(base));
    bool complete = true;
    for (const bool up : {true, false}) {
        std::vector<double> engine, copy, ratio;
        for (int i = 0; i < runs; ++i) {
            const Figures figures = once(base, shape, up);
            complete = complete && figures.complete;
            engine.push_back(figures.engine);
            copy.push_back(figures.copy);
            ratio.push_back(figures.engine / figures.copy);
        }
        if (runs > 1)
            std::printf("%-4s median of %d: engine %8.3f s   cp -r %8.3f s   ratio %5.2f (median of the runs' ratios)\n",
                        up ? "up" : "down", runs, median(engine), median(copy), median(ratio));
    }
    if (!complete) std::fprintf(stderr, "a tree was not complete\n");
    return complete ? 0 : 1;
}

}  // namespace syncbench
