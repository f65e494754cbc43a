// Measures the memory of a process running the sync engine over a sync folder of 100,000 small
// files (1,000 folders of 100), beside the same process with the engine over an empty folder:
// after the first sync, after each of four rounds of deleting all files and adding them again,
// and in a fresh process that starts over the synced tree. Each figure waits for the engine to
// be idle and to have let go of what is in step, as the application's does. Memory is the
// resident set (VmRSS) and the heap in use, mapped blocks included (mallinfo2).
//
// The heap is set up as the application sets it up, unless the last argument is --default-heap.
//
//   bench_memory [base folder] [--default-heap]   (default: /dev/shm)
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <malloc.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <thread>

#include "frameworks/logger/Logger.h"
#include "frameworks/sync/OrvellaSyncEngine.h"
#include "service/StorageService.h"
#include "MemoryBench.h"
#include "SyncBench.h"

namespace {

bool defaultHeap = false;

struct Memory {
    double rssMb = 0;
    double heapMb = 0;
};

// Large blocks (the engine's node pools among them) are mapped apart from the heap proper.
Memory measure() {
    const auto info = mallinfo2();
    return {memorybench::residentMb(), double(info.uordblks + info.hblkhd) / (1024 * 1024)};
}

// Until a pass has looked at everything changed before now and found nothing left to do, and
// then no pass ran for longer than the engine waits before it lets go of what is in step: each
// figure is the one the application settles at, not one taken in the middle of letting go.
void waitUntilIdle(OrvellaSyncEngine& engine) {
    const auto check = engine.requestCheck();
    while (engine.checkedCount() < check) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto release = std::chrono::milliseconds(OrvellaSyncEngine::Options{}.compactAfterIdleMs + 2000);
    for (auto passes = engine.passCount();;) {
        std::this_thread::sleep_for(release);
        if (engine.passCount() == passes) return;
        passes = engine.passCount();
    }
}

using memorybench::countFiles;
using memorybench::makeTree;
using memorybench::removeFiles;

struct Setup {
    std::shared_ptr<StorageService> service;
    QString syncFolder;
    QString remoteRoot;
    QString dataFolder;
};

Setup setUp(const QString& base, const QString& name) {
    Setup setup;
    setup.service = std::make_shared<StorageService>(base + QStringLiteral("/service"));
    setup.service->ensureCreated();
    setup.remoteRoot = setup.service->usersFolder() + QLatin1Char('/') + name;
    setup.syncFolder = base + QLatin1Char('/') + name;
    setup.dataFolder = base + QStringLiteral("/data-") + name;
    QDir().mkpath(setup.remoteRoot);
    QDir().mkpath(setup.syncFolder);
    return setup;
}

std::unique_ptr<OrvellaSyncEngine> start(const Setup& setup, syncbench::WaitingDelegate& delegate) {
    SyncFacadeConfiguration configuration;
    configuration.rootDirectoryLocalURL = setup.syncFolder;
    configuration.syncStatusDelegate = &delegate;
    configuration.conflictSuffix = QStringLiteral("conflicted copy");
    configuration.minimumFreeDiskSpace = 0;
    // As the application's: the engine lets go of what is in step once idle a while.
    return std::make_unique<OrvellaSyncEngine>(configuration, setup.service, setup.remoteRoot, setup.dataFolder,
                                               OrvellaSyncEngine::Options{});
}

// A fresh process starting over the given tree (empty or already synced); prints "rss heap".
int child(const QString& base, const QString& name) {
    syncbench::WaitingDelegate delegate;
    const Setup setup = setUp(base, name);
    auto engine = start(setup, delegate);
    waitUntilIdle(*engine);
    const Memory memory = measure();
    std::printf("%.3f %.3f\n", memory.rssMb, memory.heapMb);
    return 0;
}

Memory inChild(const QString& base, const QString& name) {
    QProcess process;
    QStringList arguments{QStringLiteral("--child"), base, name};
    if (defaultHeap) arguments << QStringLiteral("--default-heap");
    process.start(QCoreApplication::applicationFilePath(), arguments);
    process.waitForFinished(-1);
    const QList<QByteArray> parts = process.readAllStandardOutput().trimmed().split(' ');
    if (process.exitCode() != 0 || parts.size() != 2) return {};
    return {parts[0].toDouble(), parts[1].toDouble()};
}

void print(const char* what, const Memory& memory, const Memory& baseline) {
    std::printf("%-34s RSS %7.1f MB (baseline %6.1f, ratio %5.2f)   heap %7.1f MB (baseline %6.1f, ratio %5.2f)\n", what,
                memory.rssMb, baseline.rssMb, memory.rssMb / baseline.rssMb, memory.heapMb, baseline.heapMb,
                memory.heapMb / baseline.heapMb);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    // As the application does; "--default-heap" leaves glibc's settings, to compare.
    defaultHeap = argc > 1 && QByteArray(argv[argc - 1]) == "--default-heap";
    if (defaultHeap) --argc;
    else OrvellaSyncEngine::configureProcessHeap();
    QCoreApplication app(argc, argv);
    Logger::setConsoleOutputEnabled(false);
    if (argc == 4 && QByteArray(argv[1]) == "--child")
        return child(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));

    const QString parent = argc > 1 ? QString::fromLocal8Bit(argv[1]) : syncbench::defaultBase();
    QTemporaryDir dir(parent + QStringLiteral("/bench-memory-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a folder in %s\n", qPrintable(parent));
        return 1;
    }
    const QString base = dir.path();
    const int total = memorybench::fileCount;

    // The baseline: this process with an engine over an empty folder, idle.
    syncbench::WaitingDelegate delegate;
    Memory baseline;
    {
        auto engine = start(setUp(base, QStringLiteral("empty")), delegate);
        waitUntilIdle(*engine);
        baseline = measure();
    }
    print("empty folder (this process)", baseline, baseline);

    const Setup setup = setUp(base, QStringLiteral("full"));
    if (!makeTree(setup.syncFolder)) {
        std::fprintf(stderr, "cannot write the tree\n");
        return 1;
    }
    bool complete = true;
    {
        auto engine = start(setup, delegate);
        waitUntilIdle(*engine);
        complete = complete && countFiles(setup.remoteRoot) == total;
        print("after the first sync", measure(), baseline);
        for (int round = 1; round <= 4; ++round) {
            if (!removeFiles(setup.syncFolder)) return 1;
            engine->mustScanSubDirectories();
            waitUntilIdle(*engine);
            complete = complete && countFiles(setup.remoteRoot) == 0;
            if (!makeTree(setup.syncFolder)) return 1;
            engine->mustScanSubDirectories();
            waitUntilIdle(*engine);
            complete = complete && countFiles(setup.remoteRoot) == total;
            const QByteArray what = QByteArray("after round ") + QByteArray::number(round) + " of remove and add";
            print(what.constData(), measure(), baseline);
        }
    }

    const Memory freshBaseline = inChild(base, QStringLiteral("empty"));
    const Memory restart = inChild(base, QStringLiteral("full"));
    print("fresh start, empty folder", freshBaseline, freshBaseline);
    print("fresh start over the synced tree", restart, freshBaseline);
    if (!complete) std::fprintf(stderr, "the remote tree did not follow the sync folder\n");
    return complete && restart.rssMb > 0 ? 0 : 1;
}
