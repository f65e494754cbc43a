// Times starting the sync engine with 100,000 records in its state, as the application does before
// its main loop runs, beside the same start with an empty state:
// - from constructing the engine to the constructor's return;
// - from constructing the engine to the first turn of a Qt event loop in the same process;
// - from constructing the engine to its records being read (on the engine's own thread).
// Medians of 5 starts each; every start gets a fresh copy of the state.
//
//   bench_startup
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include "frameworks/logger/Logger.h"
#include "frameworks/sync/OrvellaSyncEngine.h"
#include "frameworks/sync/SyncStateStore.h"
#include "service/StorageService.h"

namespace {

constexpr int recordCount = 100'000;
constexpr int starts = 5;

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Figures {
    double constructorMs = 0;
    double firstLoopTurnMs = 0;
    double loadedMs = 0;
};

class Bench {
public:
    explicit Bench(const QString& base)
        : localRoot_(base + QStringLiteral("/Orvella")),
          dataFolder_(base + QStringLiteral("/SyncData")),
          templates_(base + QStringLiteral("/templates")),
          service_(std::make_shared<StorageService>(base + QStringLiteral("/service"))) {
        service_->ensureCreated();
        remoteRoot_ = service_->usersFolder() + QStringLiteral("/alice");
        QDir().mkpath(localRoot_);
        QDir().mkpath(remoteRoot_);
        QDir().mkpath(templates_);
    }

    // A state as the engine leaves it for these roots, with `records` items in step.
    QString makeState(const QString& name, int records) {
        const QString path = templates_ + QLatin1Char('/') + name;
        SyncStateStore store(path);
        store.setValue(QStringLiteral("localRoot"), QDir::cleanPath(localRoot_));
        store.setValue(QStringLiteral("remoteRoot"), QDir::cleanPath(remoteRoot_));
        for (int i = 0; i < records; ++i) {
            FsEntry entry;
            entry.size = 1000 + i;
            entry.mtimeNs = 1'700'000'000'000'000'000LL + i;
            entry.inode = std::uint64_t(10'000 + i);
            entry.mode = 0644;
            store.putRecord(QStringLiteral("folder %1/file %2.txt").arg(i / 100).arg(i % 100), SyncRecord{entry, entry});
        }
        store.commit();
        return path;
    }

    Figures start(const QString& state) {
        QDir(dataFolder_).removeRecursively();
        QDir().mkpath(dataFolder_);
        QFile::copy(state, dataFolder_ + QLatin1Char('/') + OrvellaSyncEngine::stateFileName());

        SyncFacadeConfiguration configuration;
        configuration.rootDirectoryLocalURL = localRoot_;
        configuration.conflictSuffix = QStringLiteral("conflicted copy");
        Figures figures;
        const auto begin = Clock::now();
        auto engine = std::make_unique<OrvellaSyncEngine>(configuration, service_, remoteRoot_, dataFolder_);
        figures.constructorMs = msSince(begin);
        // The records speak of items that are not there: no pass may act on them.
        engine->setSyncEnabled(false);
        QTimer::singleShot(0, [&] {
            figures.firstLoopTurnMs = msSince(begin);
            QCoreApplication::quit();
        });
        QCoreApplication::exec();
        engine->subscriptions();  // waits for the records
        figures.loadedMs = msSince(begin);
        return figures;
    }

private:
    QString localRoot_;
    QString dataFolder_;
    QString templates_;
    QString remoteRoot_;
    std::shared_ptr<StorageService> service_;
};

Figures medians(Bench& bench, const QString& state) {
    std::vector<double> constructor, loop, loaded;
    for (int i = 0; i < starts; ++i) {
        const Figures f = bench.start(state);
        constructor.push_back(f.constructorMs);
        loop.push_back(f.firstLoopTurnMs);
        loaded.push_back(f.loadedMs);
    }
    return {median(constructor), median(loop), median(loaded)};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Logger::setConsoleOutputEnabled(false);
    QTemporaryDir base(QStringLiteral("/dev/shm/orvella-bench-startup-XXXXXX"));
    if (!base.isValid()) {
        std::fputs("cannot make a temp folder under /dev/shm\n", stderr);
        return 1;
    }
    Bench bench(base.path());
    const QString full = bench.makeState(QStringLiteral("full.sqlite"), recordCount);
    const QString empty = bench.makeState(QStringLiteral("empty.sqlite"), 0);

    const Figures withRecords = medians(bench, full);
    const Figures withoutRecords = medians(bench, empty);
    const auto row = [](const char* what, double figure, double baseline) {
        std::printf("  %-34s %9.2f ms   empty state %7.2f ms   ratio %6.2f\n", what, figure, baseline,
                    baseline > 0 ? figure / baseline : 0.0);
    };
    std::printf("sync engine start with %d records (median of %d starts):\n", recordCount, starts);
    row("constructor returns", withRecords.constructorMs, withoutRecords.constructorMs);
    row("first turn of the event loop", withRecords.firstLoopTurnMs, withoutRecords.firstLoopTurnMs);
    row("records read (engine's thread)", withRecords.loadedMs, withoutRecords.loadedMs);
    return 0;
}
