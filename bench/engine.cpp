// Times the sync engine bringing a tree of 10,000 small files (100 MiB in all) from the sync
// folder to an empty remote tree, beside a plain `cp -r` of the same tree on the same disk.
//
//   bench_engine [base folder]   (default: the temp folder)
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>

#include "frameworks/logger/Logger.h"
#include "frameworks/sync/OrvellaSyncEngine.h"
#include "service/StorageService.h"

namespace {

constexpr int folderCount = 100;
constexpr int filesPerFolder = 100;
constexpr qint64 totalBytes = 100LL * 1024 * 1024;

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

bool makeTree(const QString& root) {
    const int files = folderCount * filesPerFolder;
    const qint64 base = totalBytes / files;
    const qint64 larger = totalBytes % files;  // so many files get one byte more: exactly 100 MiB
    QRandomGenerator random(42);
    int index = 0;
    for (int f = 0; f < folderCount; ++f) {
        const QString folder = QStringLiteral("%1/folder %2").arg(root).arg(f, 3, 10, QLatin1Char('0'));
        if (!QDir().mkpath(folder)) return false;
        for (int i = 0; i < filesPerFolder; ++i, ++index) {
            QByteArray data(base + (index < larger ? 1 : 0), Qt::Uninitialized);
            random.fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
            QFile file(QStringLiteral("%1/file %2.bin").arg(folder).arg(i));
            if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) return false;
        }
    }
    return true;
}

std::pair<int, qint64> measure(const QString& root) {
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

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Logger::setConsoleOutputEnabled(false);
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    QTemporaryDir dir(base + QStringLiteral("/bench-engine-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a folder in %s\n", qPrintable(base));
        return 1;
    }
    const QString syncFolder = dir.filePath(QStringLiteral("Orvella"));
    std::printf("Writing %d files (%lld bytes) into %s ...\n", folderCount * filesPerFolder, totalBytes,
                qPrintable(syncFolder));
    if (!makeTree(syncFolder)) {
        std::fprintf(stderr, "cannot write the tree\n");
        return 1;
    }

    auto service = std::make_shared<StorageService>(dir.filePath(QStringLiteral("service")));
    service->ensureCreated();
    const QString remoteRoot = service->usersFolder() + QStringLiteral("/bench");
    QDir().mkpath(remoteRoot);

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
    const double engineSeconds = engineTimer.nsecsElapsed() / 1e9;
    const auto [engineFiles, engineBytes] = measure(remoteRoot);

    QElapsedTimer copyTimer;
    copyTimer.start();
    const int copyResult =
        QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), syncFolder, dir.filePath(QStringLiteral("copy"))});
    const double copySeconds = copyTimer.nsecsElapsed() / 1e9;
    const auto [copyFiles, copyBytes] = measure(dir.filePath(QStringLiteral("copy")));

    const double mib = double(totalBytes) / (1024 * 1024);
    std::printf("engine (start to up to date): %7.3f s  %5d files  %10lld bytes  %7.1f MiB/s  final status %s\n",
                engineSeconds, engineFiles, engineBytes, mib / engineSeconds, qPrintable(describe(end)));
    std::printf("cp -r:                        %7.3f s  %5d files  %10lld bytes  %7.1f MiB/s  exit %d\n", copySeconds,
                copyFiles, copyBytes, mib / copySeconds, copyResult);
    std::printf("engine / cp -r:               %7.2f\n", engineSeconds / copySeconds);
    const bool complete = engineFiles == folderCount * filesPerFolder && engineBytes == totalBytes;
    if (!complete) std::fprintf(stderr, "the remote tree is incomplete\n");
    return complete && copyResult == 0 ? 0 : 1;
}
