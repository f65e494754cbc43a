// Times the two ends of the sync folder's event road:
// - how many events per second the local observer classifies, orders, folds and dispatches, for a
//   synthetic stream of 100,000 events;
// - how long the file event stream takes to watch a tree of 10,000 folders and 100,000 files, per
//   folder, beside the least it could take: reading each folder and adding its watch;
// - how many owners and modes the stream remembers, and the heap, over rounds of deleting every
//   file of that tree and making it again, beside the items there are.
//
//   bench_fsevents [base folder]   (default: /dev/shm)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include <mutex>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <malloc.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "app/sync/FSEventListener.h"
#include "app/sync/LocalFSObserver.h"
#include "frameworks/sync/LocalChangesListener.h"
#include "platform/fsevents/FileEventStream.h"
#include "platform/foundation/SerialQueue.h"

namespace {

constexpr int syntheticEvents = 100'000;
constexpr int topFolders = 100;
constexpr int subFoldersEach = 99;  // 100 + 100 * 99 = 10,000 folders
constexpr int filesPerFolder = 10;  // 100,000 files
constexpr int rounds = 3;
constexpr int remakeRounds = 4;

class CountingListener : public LocalChangesListener {
public:
    void fileChanged(const QString&) override { ++calls; }
    void fileMoved(const QString&, const QString&) override { ++calls; }
    void fileReplaced(const QString&, const QString&) override { ++calls; }
    void directoryAdded(const QString&) override { ++calls; }
    void directoryMoved(const QString&, const QString&) override { ++calls; }
    void directoryReplaced(const QString&, const QString&) override { ++calls; }
    void itemDeleted(const QString&) override { ++calls; }
    void itemPermissionChanged(const QString&, bool) override { ++calls; }
    void mustScanSubDirectories() override { ++calls; }
    long calls = 0;
};

class NoSource : public FSEventListenerProtocol {
public:
    FileEventStream* eventStream() const override { return nullptr; }
};

void classificationBenchmark() {
    namespace F = FileEventFlag;
    // A stream such as a busy sync folder gives: new files, edits, deletions, renames inside the
    // folder, new folders; a gap every 500 ids cuts it into batches.
    const QString root = QStringLiteral("/sync/Orvella");
    std::vector<FileEvent> raw;
    raw.reserve(syntheticEvents);
    QSet<QString> existing;
    std::uint64_t id = 1000;
    for (int i = 0; static_cast<int>(raw.size()) < syntheticEvents; ++i) {
        if (i % 500 == 0) ++id;
        const QString folder = root + QStringLiteral("/folder %1").arg(i % 97);
        const QString path = folder + QStringLiteral("/file %1.txt").arg(i);
        switch (i % 6) {
        case 0:
            raw.push_back({path, F::itemCreated | F::itemModified | F::itemIsFile, id++});
            existing.insert(path);
            break;
        case 1:
            raw.push_back({path, F::itemModified | F::itemIsFile, id++});
            existing.insert(path);
            break;
        case 2:
            raw.push_back({path, F::itemRemoved | F::itemIsFile, id++});
            break;
        case 3: {
            const QString target = folder + QStringLiteral("/renamed %1.txt").arg(i);
            raw.push_back({path, F::itemRenamed | F::itemIsFile, id++});
            raw.push_back({target, F::itemRenamed | F::itemIsFile, id++});
            existing.insert(target);
            break;
        }
        case 4:
            raw.push_back({folder + QStringLiteral("/sub %1").arg(i), F::itemCreated | F::itemIsDir, id++});
            existing.insert(folder + QStringLiteral("/sub %1").arg(i));
            break;
        default:
            raw.push_back({path, F::itemInodeMetaMod | F::itemChangeOwner | F::itemIsFile, id++});
            existing.insert(path);
            break;
        }
    }
    raw.resize(syntheticEvents);

    CountingListener listener;
    LocalFSObserver observer(root, &listener, [&](const QString& path) { return existing.contains(path); }, nullptr,
                             std::make_unique<NoSource>());
    QElapsedTimer timer;
    timer.start();
    // Deliveries of 10,000 events, as the stream would hand them over.
    long batches = 0;
    for (std::size_t start = 0; start < raw.size(); start += 10'000) {
        const std::vector<FileEvent> delivery(raw.begin() + static_cast<std::ptrdiff_t>(start),
                                              raw.begin() + static_cast<std::ptrdiff_t>(std::min(raw.size(), start + 10'000)));
        FSEventListener::deliver(delivery, [&](const std::vector<FSEvent>& batch) {
            ++batches;
            observer.eventHandler(batch);
        });
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    std::printf("classification: %d synthetic events in %ld batches, %ld listener calls, %.3f s, %.0f events/s\n",
                syntheticEvents, batches, listener.calls, seconds, syntheticEvents / seconds);
}

// Makes the tree's folders and files, or with `remove` deletes its files.
bool makeTree(const QString& root, bool remove = false) {
    for (int t = 0; t < topFolders; ++t) {
        const QString top = root + QStringLiteral("/top %1").arg(t);
        QStringList folders{top};
        for (int s = 0; s < subFoldersEach; ++s) folders << top + QStringLiteral("/sub %1").arg(s);
        for (const QString& folder : folders) {
            if (!remove && !QDir().mkpath(folder)) return false;
            for (int f = 0; f < filesPerFolder; ++f) {
                const QByteArray path = QFile::encodeName(folder + QStringLiteral("/file %1.txt").arg(f));
                if (remove) {
                    if (::unlink(path.constData()) != 0) return false;
                    continue;
                }
                const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
                if (fd < 0) return false;
                ::close(fd);
            }
        }
    }
    return true;
}

long maxUserWatches() {
    QFile file(QStringLiteral("/proc/sys/fs/inotify/max_user_watches"));
    if (!file.open(QIODevice::ReadOnly)) return -1;
    return file.readAll().trimmed().toLong();
}

// The least that watching a tree takes: every folder read for its subfolders and given a watch,
// nothing else.
double baselineSeconds(const QString& root, std::size_t& folders) {
    const int fd = inotify_init1(IN_CLOEXEC);
    if (fd < 0) return -1;
    constexpr std::uint32_t mask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_MOVED_FROM |
                                   IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR | IN_DONT_FOLLOW;
    QElapsedTimer timer;
    timer.start();
    folders = 0;
    std::vector<std::string> stack{QFile::encodeName(root).toStdString()};
    while (!stack.empty()) {
        const std::string path = std::move(stack.back());
        stack.pop_back();
        if (inotify_add_watch(fd, path.c_str(), mask) >= 0) ++folders;
        DIR* dir = opendir(path.c_str());
        if (!dir) continue;
        while (const dirent* entry = readdir(dir)) {
            if (entry->d_type != DT_DIR || std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
                continue;
            stack.push_back(path + '/' + entry->d_name);
        }
        closedir(dir);
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    ::close(fd);
    return seconds;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Whether any round lost events (the kernel's queue overflowed, or watches ran out): the figures
// of such a run do not count.
bool anyEventsLost = false;

double heapMegabytes() { return static_cast<double>(mallinfo2().uordblks) / (1024.0 * 1024.0); }

// On tmpfs no inode number comes back, so every round brings 100,000 the stream has not seen.
void rememberedBenchmark(const QString& root, SerialQueue& queue) {
    std::mutex mutex;
    std::condition_variable delivered;
    QSet<QString> seen;
    bool lost = false;
    int rescans = 0;  // deliveries that ask for a look over the tree
    FileEventStream stream(root, queue, [&](const std::vector<FileEvent>& events) {
        std::lock_guard lock(mutex);
        for (const FileEvent& event : events) {
            const bool rescan = (event.flags & FileEventFlag::mustScanSubDirs) != 0;
            lost |= rescan;
            rescans += rescan ? 1 : 0;
            if (event.path.contains(QStringLiteral("/marker "))) seen.insert(event.path);
        }
        delivered.notify_all();
    }, std::chrono::milliseconds(100));
    if (!stream.start() || !stream.waitUntilReady(600'000) || !stream.waitUntilOwnersKnown(600'000)) {
        std::printf("the stream did not start\n");
        return;
    }
    const std::size_t items = static_cast<std::size_t>(topFolders) * (subFoldersEach + 1) * (filesPerFolder + 1);
    std::printf("remembered owners and modes after set-up: %zu entries for %zu items, heap %.1f MB\n",
                stream.rememberedCount(), items, heapMegabytes());
    for (int round = 1; round <= remakeRounds; ++round) {
        const QString marker = root + QStringLiteral("/marker %1").arg(round);
        if (!makeTree(root, true) || !makeTree(root)) {
            std::printf("cannot make the tree again\n");
            return;
        }
        // The marker's own event may be among the lost ones: a look over the tree asked for from
        // now on finds it all the same.
        std::unique_lock lock(mutex);
        const int rescansBefore = rescans;
        lock.unlock();
        if (!QFile(marker).open(QIODevice::WriteOnly)) {
            std::printf("cannot make the marker\n");
            return;
        }
        lock.lock();
        if (!delivered.wait_for(lock, std::chrono::seconds(60),
                                [&] { return seen.contains(marker) || rescans > rescansBefore; })) {
            std::printf("round %d: the stream did not keep up\n", round);
            return;
        }
        lock.unlock();
        // A look over the tree may have begun with the last events: let it end.
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        lock.lock();
        std::printf("round %d of deleting and making all files: %zu entries for %zu items (%.2f per item), "
                    "heap %.1f MB; events lost: %s\n",
                    round, stream.rememberedCount(), items + round,
                    static_cast<double>(stream.rememberedCount()) / static_cast<double>(items + round),
                    heapMegabytes(), lost ? "yes" : "no");
        anyEventsLost |= lost;
    }
    stream.stop();
}

void watchBenchmark(const QString& base) {
    const long limit = maxUserWatches();
    std::printf("fs.inotify.max_user_watches: %ld\n", limit);
    QTemporaryDir temp(base + QStringLiteral("/bench-fsevents-XXXXXX"));
    if (!temp.isValid()) {
        std::printf("cannot make a folder in %s\n", qPrintable(base));
        return;
    }
    const QString root = temp.path() + QStringLiteral("/Orvella");
    QElapsedTimer timer;
    timer.start();
    if (!makeTree(root)) {
        std::printf("cannot make the tree under %s\n", qPrintable(root));
        return;
    }
    const double makeSeconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    std::printf("tree: %d folders, %d files made in %.2f s\n", topFolders * (subFoldersEach + 1),
                topFolders * (subFoldersEach + 1) * filesPerFolder, makeSeconds);

    SerialQueue queue(QStringLiteral("bench.fsevents"));
    std::vector<double> streamPerFolder;
    std::vector<double> baselinePerFolder;
    // Turn about, so that both meet the same state of the machine and of the kernel's caches.
    for (int round = 0; round < rounds; ++round) {
        std::size_t folders = 0;
        const double baseline = baselineSeconds(root, folders);
        if (baseline < 0 || folders == 0) {
            std::printf("the baseline could not watch the tree\n");
            return;
        }
        baselinePerFolder.push_back(baseline * 1e6 / static_cast<double>(folders));

        std::mutex mutex;
        bool lost = false;
        FileEventStream stream(root, queue, [&](const std::vector<FileEvent>& events) {
            std::lock_guard lock(mutex);
            for (const FileEvent& event : events) lost |= (event.flags & FileEventFlag::mustScanSubDirs) != 0;
        }, std::chrono::milliseconds(100));
        stream.setLogHandler([](const QString& message) { std::printf("  stream: %s\n", qPrintable(message)); });
        timer.restart();
        if (!stream.start() || !stream.waitUntilReady(600'000)) {
            std::printf("the stream did not start\n");
            return;
        }
        const double watchSeconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        const std::size_t watches = stream.watchCount();
        streamPerFolder.push_back(watchSeconds * 1e6 / static_cast<double>(watches));
        // Owners and modes are read after the watches are in place, off the set-up's path.
        const bool ownersKnown = stream.waitUntilOwnersKnown(600'000);
        const double ownersSeconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        // Running out of watches shows as one lost-events delivery after the latency.
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stream.stop();
        std::lock_guard lock(mutex);
        std::printf("round %d: stream %zu watches in %.3f s (%.2f us per folder), owners and modes "
                    "%s %.3f s after start; baseline %zu in %.3f s (%.2f us per folder); events lost: %s\n",
                    round + 1, watches, watchSeconds, streamPerFolder.back(), ownersKnown ? "read" : "NOT read",
                    ownersSeconds, folders, baseline, baselinePerFolder.back(), lost ? "yes" : "no");
        anyEventsLost |= lost;
    }
    rememberedBenchmark(root, queue);
    const double figure = median(streamPerFolder);
    const double baseline = median(baselinePerFolder);
    std::printf("watch set-up per folder (median of %d): stream %.2f us, baseline (readdir + inotify_add_watch) "
                "%.2f us, ratio %.2f\n",
                rounds, figure, baseline, figure / baseline);
    timer.restart();
    QDir(root).removeRecursively();
    std::printf("clean-up: %.2f s\n", static_cast<double>(timer.nsecsElapsed()) / 1e9);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/dev/shm");
    classificationBenchmark();
    watchBenchmark(base);
    if (anyEventsLost) {
        std::printf("events were lost: this run's figures do not count\n");
        return 1;
    }
    return 0;
}
