#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/common/LogChannels.h"
#include "app/sync/FSEventListener.h"
#include "app/sync/LocalFSObserver.h"
#include "app/sync/LocalFSObserverDelegate.h"
#include "frameworks/logger/Logger.h"
#include "frameworks/sync/LocalChangesListener.h"
#include "platform/foundation/SerialQueue.h"
#include "support/TestEnvironment.h"

namespace {

using namespace std::chrono_literals;
using Action = C::FSEvent::Action;
using Flag = FSEvent::Flags::Flag;

constexpr std::uint32_t file = Flag::isFile;
constexpr std::uint32_t dir = Flag::isDirectory;
constexpr std::uint32_t created = Flag::created;
constexpr std::uint32_t removed = Flag::removed;
constexpr std::uint32_t renamed = Flag::renamed;
constexpr std::uint32_t modified = Flag::modified;

// Every call as one line, e.g. "fileMoved /s/a /s/b".
class RecordingListener : public LocalChangesListener {
public:
    void fileChanged(const QString& path) override { record("fileChanged " + path); }
    void fileMoved(const QString& from, const QString& to) override { record("fileMoved " + from + " " + to); }
    void fileReplaced(const QString& from, const QString& to) override { record("fileReplaced " + from + " " + to); }
    void directoryAdded(const QString& path) override { record("directoryAdded " + path); }
    void directoryMoved(const QString& from, const QString& to) override {
        record("directoryMoved " + from + " " + to);
    }
    void directoryReplaced(const QString& from, const QString& to) override {
        record("directoryReplaced " + from + " " + to);
    }
    void itemDeleted(const QString& path) override { record("itemDeleted " + path); }
    void itemPermissionChanged(const QString& path, bool isDirectory) override {
        record("itemPermissionChanged " + path + (isDirectory ? " dir" : " file"));
    }
    void mustScanSubDirectories() override { record("mustScanSubDirectories"); }

    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    bool has(const std::string& call) const {
        const auto all = calls();
        return std::find(all.begin(), all.end(), call) != all.end();
    }

    // The queues the calls came on ("" for none).
    QSet<QString> queues() const {
        std::lock_guard lock(mutex_);
        return queues_;
    }

private:
    void record(const QString& call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(call.toStdString());
        queues_.insert(SerialQueue::current() ? SerialQueue::current()->label() : QString());
    }
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
    QSet<QString> queues_;
};

class CountingDelegate : public LocalFSObserverDelegate {
public:
    void rootFolderRemoved() override { ++removals; }
    std::atomic<int> removals{0};
};

// An event source without a stream: tests hand batches to the observer themselves.
class NoSource : public FSEventListenerProtocol {
public:
    FileEventStream* eventStream() const override { return nullptr; }
};

FSEvent event(const QString& path, std::uint32_t flags, std::uint64_t id, const QString& oldPath = {}) {
    return FSEvent{path, FSEvent::Flags(flags), id, Action::none, oldPath};
}

// ---- classification

struct ClassifyCase {
    const char* name;
    std::uint32_t flags;
    bool exists;
    int renamedCount;
    bool hasOldPath;
    Action expected;
};

void PrintTo(const ClassifyCase& c, std::ostream* os) { *os << c.name; }

class LocalFSObserverClassifyTest : public ::testing::TestWithParam<ClassifyCase> {};

TEST_P(LocalFSObserverClassifyTest, ChoosesTheFirstMatchingRow) {
    const ClassifyCase& c = GetParam();
    const FSEvent e = event("/s/x", c.flags, 1, c.hasOldPath ? "/s/old" : "");
    EXPECT_EQ(C::FSEvent::rawValue(LocalFSObserver::action(e, c.exists, c.renamedCount)),
              C::FSEvent::rawValue(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Rows, LocalFSObserverClassifyTest,
    ::testing::Values(
        // Existing files.
        ClassifyCase{"FileLoneRenameHalfIsAdded", file | renamed, true, 1, false, Action::fileAdded},
        ClassifyCase{"FileRenamePairIsMove", file | renamed, true, 2, true, Action::fileMovedOrRenamed},
        ClassifyCase{"FileOldNameTakenAgainIsIgnored", file | renamed, true, 2, false, Action::ignore},
        ClassifyCase{"FileCreatedAndRenamedInPairIsUpdate", file | renamed | created, true, 2, false,
                     Action::fileUpdated},
        ClassifyCase{"FileCreatedAndModifiedIsAdded", file | created | modified, true, 0, false, Action::fileAdded},
        ClassifyCase{"FileCreatedOnlyIsKept", file | created, true, 0, false, Action::none},
        ClassifyCase{"FileModifiedIsUpdated", file | modified, true, 0, false, Action::fileUpdated},
        ClassifyCase{"FileClonedIsAdded", file | created | Flag::itemCloned, true, 0, false, Action::fileAdded},
        ClassifyCase{"FileExactlyRemovedIsDeleted", file | removed, true, 0, false, Action::fileDeleted},
        ClassifyCase{"FileRemovedWithMoreIsKept", file | removed | Flag::metaMod, true, 0, false, Action::none},
        ClassifyCase{"FileOwnerChanged", file | Flag::changeOwner | Flag::metaMod, true, 0, false,
                     Action::itemPermissionChanged},
        ClassifyCase{"FileMetaOnlyIsKept", file | Flag::metaMod, true, 0, false, Action::none},
        // Existing directories, and whatever lacks the file flag.
        ClassifyCase{"FileBecameFolderIsLookedAt", file | dir | removed | created, true, 0, false, Action::fileUpdated},
        ClassifyCase{"FolderBecameFileIsLookedAt", dir | file | removed | created | modified, true, 0, false,
                     Action::fileUpdated},
        ClassifyCase{"DirLoneRenameHalfIsAdded", dir | renamed, true, 1, false, Action::directoryAdded},
        ClassifyCase{"DirRenamePairIsMove", dir | renamed, true, 2, true, Action::directoryMovedOrRenamed},
        ClassifyCase{"DirCreated", dir | created, true, 0, false, Action::directoryAdded},
        ClassifyCase{"NoTypeCreatedAndModifiedIsDirAdded", created | modified, true, 0, false, Action::directoryAdded},
        ClassifyCase{"DirExactlyRemovedIsDeleted", dir | removed, true, 0, false, Action::directoryDeleted},
        ClassifyCase{"MustScan", std::uint32_t(Flag::mustScanSubDirs) | Flag::kernelDropped, true, 0, false, Action::mustScanSubDirs},
        ClassifyCase{"DirOwnerChanged", dir | Flag::changeOwner, true, 0, false, Action::itemPermissionChanged},
        ClassifyCase{"DirMetaOnlyIsKept", dir | Flag::metaMod, true, 0, false, Action::none},
        ClassifyCase{"SymlinkCreatedIsKept", Flag::isSymlink | created, true, 0, false, Action::none},
        // Nothing at the path.
        ClassifyCase{"GoneLoneRenameHalfIsDeleted", file | renamed, false, 1, false, Action::itemDeleted},
        ClassifyCase{"GoneRemoved", file | removed, false, 0, false, Action::itemDeleted},
        ClassifyCase{"GoneCreatedAndWritten", file | created | modified, false, 0, false, Action::itemDeleted},
        ClassifyCase{"GoneRootChanged", Flag::rootChanged, false, 0, false, Action::itemDeleted},
        ClassifyCase{"GoneCreatedRenameHalfIsIgnored", file | renamed | created, false, 2, true, Action::ignore},
        ClassifyCase{"GoneSecondHalfIsDeleted", file | renamed, false, 2, true, Action::itemDeleted},
        ClassifyCase{"GoneFirstHalfIsIgnored", dir | renamed, false, 2, false, Action::ignore}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the whole road of a batch

struct BatchCase {
    const char* name;
    QSet<QString> existing;
    std::vector<FSEvent> batch;
    std::vector<std::string> calls;
    int rootRemovals = 0;
};

void PrintTo(const BatchCase& c, std::ostream* os) { *os << c.name; }

class LocalFSObserverBatchTest : public ::testing::TestWithParam<BatchCase> {};

TEST_P(LocalFSObserverBatchTest, DispatchesTheChangesInOrder) {
    const BatchCase& c = GetParam();
    RecordingListener listener;
    CountingDelegate delegate;
    LocalFSObserver observer(
        "/s", &listener, [&](const QString& path) { return c.existing.contains(path); }, &delegate,
        std::make_unique<NoSource>());
    observer.eventHandler(c.batch);
    EXPECT_EQ(listener.calls(), c.calls);
    EXPECT_EQ(delegate.removals.load(), c.rootRemovals);
}

INSTANTIATE_TEST_SUITE_P(
    Batches, LocalFSObserverBatchTest,
    ::testing::Values(
        BatchCase{"EmptyBatch", {}, {}, {}},
        BatchCase{"SameEventTwiceOnce",
                  {"/s/a"},
                  {event("/s/a", file | modified, 3), event("/s/a", file | modified, 3)},
                  {"fileChanged /s/a"}},
        BatchCase{"FileRenamedInside",
                  {"/s/new"},
                  {event("/s/old", file | renamed, 4), event("/s/new", file | renamed, 5, "/s/old")},
                  {"fileMoved /s/old /s/new"}},
        // A save that moves the file aside and the new version in: two moves, in that order.
        BatchCase{"SavedWithBackup",
                  {"/s/doc", "/s/doc~"},
                  {event("/s/doc", file | renamed, 1), event("/s/doc~", file | renamed, 2, "/s/doc"),
                   event("/s/.tmp", file | renamed, 3), event("/s/doc", file | renamed, 4, "/s/.tmp")},
                  {"fileMoved /s/doc /s/doc~", "fileMoved /s/.tmp /s/doc"}},
        BatchCase{"FolderRenamedInside",
                  {"/s/B"},
                  {event("/s/A", dir | renamed, 4), event("/s/B", dir | renamed, 5, "/s/A")},
                  {"directoryMoved /s/A /s/B"}},
        BatchCase{"FileMovedIn", {"/s/in"}, {event("/s/in", file | renamed, 9)}, {"fileChanged /s/in"}},
        BatchCase{"FolderMovedOut", {}, {event("/s/out", dir | renamed, 9)}, {"itemDeleted /s/out"}},
        // Saved by writing elsewhere and renaming over: one replacement from where it came.
        BatchCase{"FileReplacedByRename",
                  {"/s/doc"},
                  {event("/s/doc", file | removed, 10), event("/s/.tmp", file | renamed, 11),
                   event("/s/doc", file | renamed, 12, "/s/.tmp"), event("/s/doc", file | Flag::metaMod, 13)},
                  {"fileReplaced /s/.tmp /s/doc"}},
        BatchCase{"FolderReplacedByRename",
                  {"/s/d"},
                  {event("/s/d", dir | removed, 10), event("/s/d2", dir | renamed, 11),
                   event("/s/d", dir | renamed, 12, "/s/d2")},
                  {"directoryReplaced /s/d2 /s/d"}},
        BatchCase{"RankOrderThenIds",
                  {"/s/new", "/s/dir", "/s/dir/f", "/s"},
                  {event("/s/gone", file | removed, 1), event("/s/new", file | created | modified, 2),
                   event("/s/ignored", file | renamed | created, 3), event("/s/x", file | renamed, 4),
                   event("/s/dir/f", file | created | modified, 5), event("/s/dir", dir | created, 6),
                   event("/s", std::uint32_t(Flag::mustScanSubDirs) | Flag::kernelDropped, 7)},
                  {"mustScanSubDirectories", "directoryAdded /s/dir", "fileChanged /s/new", "fileChanged /s/dir/f",
                   "itemDeleted /s/gone"}},
        BatchCase{"PermissionChanges",
                  {"/s/d", "/s/f"},
                  {event("/s/d", dir | Flag::changeOwner, 1), event("/s/f", file | Flag::changeOwner, 2)},
                  {"itemPermissionChanged /s/d dir", "itemPermissionChanged /s/f file"}},
        BatchCase{"DsStoreNeverPasses",
                  {"/s/.DS_Store", "/s/sub/.DS_Store", "/s/keep"},
                  {event("/s/.DS_Store", file | created | modified, 1), event("/s/x", file | renamed, 2),
                   event("/s/sub/.DS_Store", file | renamed, 3, "/s/x"), event("/s/keep", file | modified, 4)},
                  {"fileChanged /s/keep"}},
        // The sync folder itself.
        BatchCase{"RootGoneWithRootChanged", {}, {event("/s", Flag::rootChanged, 20)}, {}, 1},
        BatchCase{"RootPresentWithRootChanged", {"/s"}, {event("/s", Flag::rootChanged, 20)}, {}, 0},
        BatchCase{"RootDeletedAloneWithoutRootChanged", {}, {event("/s", dir | removed, 20)}, {}, 0},
        BatchCase{"RootDeletedAmongOthersIsDispatched",
                  {"/s/a"},
                  {event("/s", dir | removed, 20), event("/s/a", file | modified, 21)},
                  {"fileChanged /s/a", "itemDeleted /s"}},
        BatchCase{"RootPermissionChangeAloneIsDispatched",
                  {"/s"},
                  {event("/s", dir | Flag::changeOwner, 20)},
                  {"itemPermissionChanged /s dir"}},
        BatchCase{"OtherPathAloneIsDispatched", {}, {event("/s2", dir | removed, 20)}, {"itemDeleted /s2"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LocalFSObserverTest, WithoutListenerOrDelegateNothingIsCalledAndEachEventIsLogged) {
    Log::Channel& channel = AppLog::fsEvents();
    const int verbosity = channel.verbosity();
    channel.setVerbosity(LogVerbosity::debug);
    std::mutex mutex;
    QStringList lines;
    const auto sink = Logger::addSink([&](const LogEntry& entry) {
        if (entry.channel != channel.name()) return;
        std::lock_guard lock(mutex);
        lines << entry.message;
    });
    LocalFSObserver observer("/s", nullptr, [](const QString&) { return false; }, nullptr, std::make_unique<NoSource>());
    observer.eventHandler({event("/s/a", file | removed, 1)});
    observer.eventHandler({event("/s", Flag::rootChanged, 5)});
    observer.eventHandler({});
    Logger::flush();
    Logger::removeSink(sink);
    channel.setVerbosity(verbosity);
    std::lock_guard lock(mutex);
    EXPECT_EQ(lines, QStringList({"Start dispatching 1 Events to SyncFrameWork",
                                  "Local changes listener is nil. Ignore 1 itemDeleted /s/a < | removed | isFile |  >>",
                                  "Succesfully dispatched 1 Events to SyncFrameWork",
                                  "Start dispatching 0 Events to SyncFrameWork",
                                  "Succesfully dispatched 0 Events to SyncFrameWork"}));
}

// The observer on a real folder: what the user does reaches the listener.
TEST(LocalFSObserverTest, FeedsTheListenerFromTheRealFolderUntilStopped) {
    QTemporaryDir temp(QDir::tempPath() + QStringLiteral("/observer-XXXXXX"));
    ASSERT_TRUE(temp.isValid());
    const QString root = temp.path() + "/Orvella";
    ASSERT_TRUE(QDir().mkpath(root + "/docs"));
    QFile(root + "/docs/old.txt").open(QIODevice::WriteOnly);
    RecordingListener listener;
    CountingDelegate delegate;
    LocalFSObserver observer(root, &listener, LocalFSObserver::defaultFileExists(), &delegate, nullptr, 30ms);
    ASSERT_NE(observer.fSEventListener(), nullptr);
    FileEventStream* stream = observer.fSEventListener()->eventStream();
    ASSERT_NE(stream, nullptr);
    ASSERT_TRUE(stream->waitUntilReady(5000));

    const auto write = [](const QString& path) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
    };
    write(root + "/docs/new file ä.txt");
    ASSERT_TRUE(QDir().mkpath(root + "/made/inner"));
    write(root + "/made/inner/f.txt");
    write(root + "/.DS_Store");
    ASSERT_TRUE(QFile::rename(root + "/docs/old.txt", root + "/docs/renamed.txt"));
    const std::vector<std::string> expected{
        ("fileChanged " + root + "/docs/new file ä.txt").toStdString(),
        ("directoryAdded " + root + "/made").toStdString(),
        ("directoryAdded " + root + "/made/inner").toStdString(),
        ("fileChanged " + root + "/made/inner/f.txt").toStdString(),
        ("fileMoved " + root + "/docs/old.txt " + root + "/docs/renamed.txt").toStdString(),
    };
    ASSERT_TRUE(TestEnvironment::waitUntil([&] {
        for (const auto& call : expected)
            if (!listener.has(call)) return false;
        return true;
    })) << ::testing::PrintToString(listener.calls());
    for (const auto& call : listener.calls()) EXPECT_EQ(call.find(".DS_Store"), std::string::npos) << call;
    EXPECT_EQ(listener.queues(), QSet<QString>{QStringLiteral("FSEventListener")});

    // The sync folder moved away: the delegate hears of it, the listener does not (late events
    // from inside it may still reach the listener).
    ASSERT_TRUE(QFile::rename(root, temp.path() + "/elsewhere"));
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return delegate.removals.load() == 1; }));
    for (const auto& call : listener.calls())
        EXPECT_NE(call, ("itemDeleted " + root).toStdString());

    observer.stop();
    EXPECT_EQ(observer.fSEventListener(), nullptr);
    const std::size_t stopped = listener.calls().size();
    ASSERT_TRUE(QDir().mkpath(root));
    write(root + "/after.txt");
    std::this_thread::sleep_for(150ms);
    EXPECT_EQ(listener.calls().size(), stopped);
}

}  // namespace
