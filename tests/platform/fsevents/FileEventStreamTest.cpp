#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/fsevents/FileEventStream.h"
#include "platform/foundation/SerialQueue.h"
#include "support/TestEnvironment.h"

namespace {

using namespace std::chrono_literals;
namespace F = FileEventFlag;

constexpr auto latency = 40ms;

void writeFile(const QString& path, const QByteArray& content = "content") {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(content);
}

void makeDir(const QString& path) { ASSERT_TRUE(QDir().mkpath(path)) << path.toStdString(); }

void moveItem(const QString& from, const QString& to) {
    ASSERT_EQ(::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()), 0)
        << from.toStdString() << " -> " << to.toStdString();
}

// Collects every delivery of a stream.
class Recorder {
public:
    void operator()(const std::vector<FileEvent>& events) {
        std::lock_guard lock(mutex_);
        deliveries_.push_back(events);
    }
    std::vector<std::vector<FileEvent>> deliveries() const {
        std::lock_guard lock(mutex_);
        return deliveries_;
    }
    std::size_t count() const {
        std::lock_guard lock(mutex_);
        return deliveries_.size();
    }
    // The first event on `path` whose flags hold all of `required`.
    std::optional<FileEvent> find(const QString& path, std::uint32_t required) const {
        std::lock_guard lock(mutex_);
        for (const auto& delivery : deliveries_)
            for (const auto& event : delivery)
                if (event.path == path && (event.flags & required) == required) return event;
        return std::nullopt;
    }

    // The flags of the events on `path` in the deliveries from `first` on, OR-ed.
    std::uint32_t flagsSince(const QString& path, std::size_t first) const {
        std::lock_guard lock(mutex_);
        std::uint32_t flags = 0;
        for (std::size_t i = first; i < deliveries_.size(); ++i)
            for (const auto& event : deliveries_[i])
                if (event.path == path) flags |= event.flags;
        return flags;
    }

    // The flags of all events on each path, OR-ed.
    QHash<QString, std::uint32_t> flagsByPath() const {
        std::lock_guard lock(mutex_);
        QHash<QString, std::uint32_t> result;
        for (const auto& delivery : deliveries_)
            for (const auto& event : delivery) result[event.path] |= event.flags;
        return result;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::vector<FileEvent>> deliveries_;
};

class FileEventStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(temp_.isValid());
        root_ = temp_.path() + QStringLiteral("/root");
        outside_ = temp_.path() + QStringLiteral("/outside");
        makeDir(root_);
        makeDir(outside_);
    }

    void TearDown() override {
        if (stream_) stream_->stop();
        if (!recorder_.deliveries().empty()) checkDeliveries();
    }

    // Waits until owners and modes are read too, so that metadata changes are told apart exactly.
    void startStream(const std::function<void(FileEventStream&)>& configure = nullptr) {
        stream_ = std::make_unique<FileEventStream>(root_, queue_, std::ref(recorder_), latency);
        stream_->setLogHandler([this](const QString& message) {
            std::lock_guard lock(logMutex_);
            log_.push_back(message);
        });
        if (configure) configure(*stream_);
        ASSERT_TRUE(stream_->start());
        ASSERT_TRUE(stream_->waitUntilReady(5000));
        ASSERT_TRUE(stream_->waitUntilOwnersKnown(5000));
    }

    bool waitFor(const QString& path, std::uint32_t required, int timeoutMs = 3000) {
        return TestEnvironment::waitUntil([&] { return recorder_.find(path, required).has_value(); }, timeoutMs);
    }

    // Waits until all done so far has been delivered; answers how many deliveries that took.
    std::size_t settle() {
        const QString marker = root_ + QStringLiteral("/settled %1").arg(++settled_);
        writeFile(marker);
        EXPECT_TRUE(waitFor(marker, F::itemCreated));
        return recorder_.count();
    }

    QStringList logLines() {
        std::lock_guard lock(logMutex_);
        return log_;
    }

    // What holds for every delivery: paths under the root, ids rising, and within a delivery a
    // gap exactly around the events that stand alone.
    void checkDeliveries() {
        std::uint64_t lastId = 0;
        for (const auto& delivery : recorder_.deliveries()) {
            ASSERT_FALSE(delivery.empty());
            const std::vector<bool> alone = standingAlone(delivery);
            for (std::size_t i = 0; i < delivery.size(); ++i) {
                const FileEvent& event = delivery[i];
                EXPECT_TRUE(event.path == root_ || event.path.startsWith(root_ + QLatin1Char('/')))
                    << event.path.toStdString();
                EXPECT_GT(event.id, lastId) << event.path.toStdString();
                if (i > 0) {
                    const FileEvent& previous = delivery[i - 1];
                    const bool consecutive = event.id == previous.id + 1;
                    EXPECT_EQ(consecutive, !alone[i] && !alone[i - 1])
                        << previous.path.toStdString() << " then " << event.path.toStdString();
                }
                lastId = event.id;
            }
        }
    }

    // The root changing, and rename halves without a partner right after or before them.
    static std::vector<bool> standingAlone(const std::vector<FileEvent>& delivery) {
        std::vector<bool> alone(delivery.size(), false);
        for (std::size_t i = 0; i < delivery.size(); ++i) {
            const std::uint32_t flags = delivery[i].flags;
            if (flags & F::rootChanged) {
                alone[i] = true;
            } else if (flags & F::itemRenamed) {
                if (i + 1 < delivery.size() && (delivery[i + 1].flags & F::itemRenamed) &&
                    delivery[i + 1].id == delivery[i].id + 1) {
                    ++i;  // a pair
                } else {
                    alone[i] = true;
                }
            }
        }
        return alone;
    }

    QTemporaryDir temp_{QDir::tempPath() + QStringLiteral("/fsevents-XXXXXX")};
    QString root_;
    QString outside_;
    SerialQueue queue_{QStringLiteral("test.fsevents")};
    Recorder recorder_;
    std::unique_ptr<FileEventStream> stream_;
    std::mutex logMutex_;
    QStringList log_;
    int settled_ = 0;
};

struct Expectation {
    QString path;  // relative to the root; empty for the root itself
    std::uint32_t required;
    std::uint32_t forbidden = 0;
};

struct OperationCase {
    const char* name;
    std::function<void(const QString& root, const QString& outside)> prepare;
    std::function<void(const QString& root, const QString& outside)> act;
    std::vector<Expectation> expected;
};

void PrintTo(const OperationCase& c, std::ostream* os) { *os << c.name; }

class FileEventStreamOperationTest : public FileEventStreamTest,
                                     public ::testing::WithParamInterface<OperationCase> {};

TEST_P(FileEventStreamOperationTest, ReportsTheOperationWithItsFlags) {
    const OperationCase& c = GetParam();
    if (c.prepare) c.prepare(root_, outside_);
    startStream();
    c.act(root_, outside_);
    // The flags of a path summed over deliveries: under load one change may straddle two.
    for (const Expectation& e : c.expected) {
        const QString path = e.path.isEmpty() ? root_ : root_ + QLatin1Char('/') + e.path;
        ASSERT_TRUE(TestEnvironment::waitUntil([&] {
            return (recorder_.flagsByPath().value(path) & e.required) == e.required;
        }, 3000)) << "not all flags on " << e.path.toStdString();
        EXPECT_EQ(recorder_.flagsByPath().value(path) & e.forbidden, 0u) << e.path.toStdString();
    }
}

const auto touch = [](const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ::close(fd);
};

INSTANTIATE_TEST_SUITE_P(
    Operations, FileEventStreamOperationTest,
    ::testing::Values(
        OperationCase{"EmptyFileCreated", nullptr,
                      [](const QString& r, const QString&) { touch(r + "/empty"); },
                      {{"empty", F::itemCreated | F::itemModified | F::itemIsFile, F::itemIsDir}}},
        OperationCase{"FileCreatedAndWritten", nullptr,
                      [](const QString& r, const QString&) { writeFile(r + "/new.txt"); },
                      {{"new.txt", F::itemCreated | F::itemModified | F::itemIsFile, F::itemRemoved}}},
        OperationCase{"FileModified", [](const QString& r, const QString&) { writeFile(r + "/a.txt"); },
                      [](const QString& r, const QString&) { writeFile(r + "/a.txt", "changed"); },
                      {{"a.txt", F::itemModified | F::itemIsFile, F::itemCreated}}},
        OperationCase{"FileDeleted", [](const QString& r, const QString&) { writeFile(r + "/a.txt"); },
                      [](const QString& r, const QString&) { QFile::remove(r + "/a.txt"); },
                      {{"a.txt", F::itemRemoved | F::itemIsFile, F::itemCreated}}},
        OperationCase{"FolderCreated", nullptr,
                      [](const QString& r, const QString&) { makeDir(r + "/dir"); },
                      {{"dir", F::itemCreated | F::itemIsDir, F::itemIsFile}}},
        OperationCase{"FolderDeleted", [](const QString& r, const QString&) { makeDir(r + "/dir"); },
                      [](const QString& r, const QString&) { QDir().rmdir(r + "/dir"); },
                      {{"dir", F::itemRemoved | F::itemIsDir, F::itemIsFile}}},
        OperationCase{"ModeChanged", [](const QString& r, const QString&) { writeFile(r + "/a.txt"); },
                      [](const QString& r, const QString&) {
                          ::chmod(QFile::encodeName(r + "/a.txt").constData(), 0600);
                      },
                      {{"a.txt", F::itemInodeMetaMod | F::itemChangeOwner | F::itemIsFile}}},
        OperationCase{"TimesChangedOnly",
                      [](const QString& r, const QString&) {
                          writeFile(r + "/a.txt");
                          // Last changed a clock tick or more before the watch: its mode is known for sure.
                          std::this_thread::sleep_for(20ms);
                      },
                      [](const QString& r, const QString&) {
                          const timespec times[2] = {{1000, 0}, {1000, 0}};
                          ::utimensat(AT_FDCWD, QFile::encodeName(r + "/a.txt").constData(), times, 0);
                      },
                      {{"a.txt", F::itemInodeMetaMod | F::itemIsFile, F::itemChangeOwner}}},
        OperationCase{"FileDeepInAFolderThatExistedBefore",
                      [](const QString& r, const QString&) { makeDir(r + "/a/b/c"); },
                      [](const QString& r, const QString&) { writeFile(r + "/a/b/c/deep.txt"); },
                      {{"a/b/c/deep.txt", F::itemCreated | F::itemModified | F::itemIsFile}}},
        OperationCase{"NamesWithSpacesAndNonAsciiLetters",
                      [](const QString& r, const QString&) { makeDir(r + QStringLiteral("/Ünïcode ordner")); },
                      [](const QString& r, const QString&) {
                          writeFile(r + QStringLiteral("/Ünïcode ordner/straße ñ 日本.txt"));
                      },
                      {{QStringLiteral("Ünïcode ordner/straße ñ 日本.txt"),
                        F::itemCreated | F::itemModified | F::itemIsFile}}},
        OperationCase{"FolderCreatedAndFilledAtOnce", nullptr,
                      [](const QString& r, const QString&) {
                          makeDir(r + "/burst/inner");
                          writeFile(r + "/burst/inner/x.txt");
                          writeFile(r + "/burst/y.txt");
                      },
                      {{"burst", F::itemCreated | F::itemIsDir},
                       {"burst/inner", F::itemCreated | F::itemIsDir},
                       {"burst/inner/x.txt", F::itemCreated | F::itemModified | F::itemIsFile},
                       {"burst/y.txt", F::itemCreated | F::itemModified | F::itemIsFile}}},
        OperationCase{"FolderMovedInWithContent",
                      [](const QString&, const QString& o) {
                          makeDir(o + "/tree/sub");
                          writeFile(o + "/tree/sub/f.txt");
                          writeFile(o + "/tree/top.txt");
                      },
                      [](const QString& r, const QString& o) { moveItem(o + "/tree", r + "/tree"); },
                      {{"tree", F::itemRenamed | F::itemIsDir, F::itemCreated},
                       {"tree/sub", F::itemCreated | F::itemIsDir},
                       {"tree/sub/f.txt", F::itemCreated | F::itemModified | F::itemIsFile},
                       {"tree/top.txt", F::itemCreated | F::itemModified | F::itemIsFile}}},
        OperationCase{"FolderMovedInIsWatched",
                      [](const QString&, const QString& o) { makeDir(o + "/tree"); },
                      [](const QString& r, const QString& o) {
                          moveItem(o + "/tree", r + "/tree");
                          std::this_thread::sleep_for(2 * latency);
                          writeFile(r + "/tree/later.txt");
                      },
                      {{"tree/later.txt", F::itemCreated | F::itemModified | F::itemIsFile}}},
        OperationCase{"FileMovedOut", [](const QString& r, const QString&) { writeFile(r + "/gone.txt"); },
                      [](const QString& r, const QString& o) { moveItem(r + "/gone.txt", o + "/gone.txt"); },
                      {{"gone.txt", F::itemRenamed | F::itemIsFile, F::itemRemoved}}},
        OperationCase{"SymlinkCreated", nullptr,
                      [](const QString& r, const QString&) {
                          ASSERT_EQ(::symlink("/nowhere", QFile::encodeName(r + "/link").constData()), 0);
                      },
                      {{"link", F::itemCreated | F::itemIsSymlink, F::itemIsFile | F::itemIsDir}}},
        OperationCase{"HardLinkCreatedCountsAsWritten",
                      [](const QString& r, const QString&) { writeFile(r + "/a.txt"); },
                      [](const QString& r, const QString&) {
                          ASSERT_EQ(::link(QFile::encodeName(r + "/a.txt").constData(),
                                           QFile::encodeName(r + "/b.txt").constData()),
                                    0);
                      },
                      {{"b.txt", F::itemCreated | F::itemModified | F::itemIsHardlink | F::itemIsFile}}}),
    [](const ::testing::TestParamInfo<OperationCase>& info) { return std::string(info.param.name); });

// Moves inside the tree: the two halves side by side, old path first, ids consecutive.
struct RenameCase {
    const char* name;
    bool folder;
    QString from;
    QString to;
};

void PrintTo(const RenameCase& c, std::ostream* os) { *os << c.name; }

class FileEventStreamRenameTest : public FileEventStreamTest, public ::testing::WithParamInterface<RenameCase> {};

TEST_P(FileEventStreamRenameTest, PairsTheHalvesOldPathFirst) {
    const RenameCase& c = GetParam();
    makeDir(root_ + "/a");
    makeDir(root_ + "/b");
    if (c.folder) {
        makeDir(root_ + "/" + c.from + "/inner");
    } else {
        writeFile(root_ + "/" + c.from);
    }
    startStream();
    moveItem(root_ + "/" + c.from, root_ + "/" + c.to);
    const QString from = root_ + "/" + c.from;
    const QString to = root_ + "/" + c.to;
    ASSERT_TRUE(waitFor(to, F::itemRenamed));
    const std::uint32_t type = c.folder ? F::itemIsDir : F::itemIsFile;
    bool found = false;
    for (const auto& delivery : recorder_.deliveries()) {
        for (std::size_t i = 0; i + 1 < delivery.size(); ++i) {
            if (delivery[i].path != from) continue;
            found = true;
            EXPECT_EQ(delivery[i].flags, F::itemRenamed | type);
            EXPECT_EQ(delivery[i + 1].path, to);
            EXPECT_EQ(delivery[i + 1].flags, F::itemRenamed | type);
            EXPECT_EQ(delivery[i + 1].id, delivery[i].id + 1);
        }
    }
    EXPECT_TRUE(found) << "the old half is not right before the new half";
    if (c.folder) {
        // Events inside a renamed folder carry its new path.
        writeFile(to + "/inner/after.txt");
        EXPECT_TRUE(waitFor(to + "/inner/after.txt", F::itemCreated | F::itemModified));
        EXPECT_FALSE(recorder_.find(from + "/inner/after.txt", 0));
    }
}

INSTANTIATE_TEST_SUITE_P(Renames, FileEventStreamRenameTest,
                         ::testing::Values(RenameCase{"FileInOneFolder", false, "a/x.txt", "a/y.txt"},
                                           RenameCase{"FileAcrossFolders", false, "a/x.txt", "b/x.txt"},
                                           RenameCase{"FolderInOneFolder", true, "a/d", "a/e"},
                                           RenameCase{"FolderAcrossFolders", true, "a/d", "b/d"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileEventStreamTest, MovesOnAgainInOneDeliveryBecomeOneMoveAndEveryNameInBetweenStandsAlone) {
    // The renamed events of the delivery, in order: a name, then "+" when it pairs with the
    // event before it (consecutive ids), "|" when an id gap sets it apart from its neighbours.
    const struct {
        const char* name;
        QStringList hops;  // the file's names, one move from each to the next
        std::vector<std::string> renamed;
    } cases[] = {
        {"chain", {"a", "b", "c"}, {"a", "c+", "b|"}},
        {"long chain", {"a", "b", "c", "d"}, {"a", "d+", "b|", "c|"}},
        {"back and forth", {"a", "b", "a"}, {"a|", "b|"}},
        {"round trip", {"a", "b", "c", "a"}, {"a|", "c|", "b|"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(root_).removeRecursively();
        makeDir(root_);
        writeFile(root_ + "/a");
        // A long latency keeps all moves in one delivery.
        Recorder recorder;
        FileEventStream stream(root_, queue_, std::ref(recorder), 300ms);
        ASSERT_TRUE(stream.start());
        ASSERT_TRUE(stream.waitUntilReady(5000));
        for (qsizetype i = 0; i + 1 < c.hops.size(); ++i) moveItem(root_ + "/" + c.hops[i], root_ + "/" + c.hops[i + 1]);
        writeFile(root_ + "/marker");
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return recorder.find(root_ + "/marker", F::itemCreated).has_value(); }));
        std::vector<std::string> renamed;
        for (const auto& delivery : recorder.deliveries()) {
            for (std::size_t i = 0; i < delivery.size(); ++i) {
                if (!(delivery[i].flags & F::itemRenamed)) continue;
                std::string entry = QFileInfo(delivery[i].path).fileName().toStdString();
                const bool gapBefore = i == 0 || delivery[i].id > delivery[i - 1].id + 1;
                const bool gapAfter = i + 1 == delivery.size() || delivery[i + 1].id > delivery[i].id + 1;
                if (!gapBefore) entry += "+";
                else if (gapAfter) entry += "|";
                renamed.push_back(entry);
            }
        }
        EXPECT_EQ(renamed, c.renamed);
    }
}

TEST_F(FileEventStreamTest, AHalfWithoutPartnerStandsAloneBetweenIdGaps) {
    writeFile(root_ + "/before.txt");
    writeFile(outside_ + "/in.txt");
    startStream();
    // Changes before and after, so that the lone half has neighbours in its delivery.
    writeFile(root_ + "/before.txt", "1");
    moveItem(outside_ + "/in.txt", root_ + "/in.txt");
    writeFile(root_ + "/after.txt");
    ASSERT_TRUE(waitFor(root_ + "/after.txt", F::itemCreated));
    ASSERT_TRUE(waitFor(root_ + "/in.txt", F::itemRenamed));
    for (const auto& delivery : recorder_.deliveries()) {
        for (std::size_t i = 0; i < delivery.size(); ++i) {
            if (delivery[i].path != root_ + "/in.txt") continue;
            if (i > 0) {
                EXPECT_GT(delivery[i].id, delivery[i - 1].id + 1);
            }
            if (i + 1 < delivery.size()) {
                EXPECT_GT(delivery[i + 1].id, delivery[i].id + 1);
            }
        }
    }
}

TEST_F(FileEventStreamTest, MergesTheOperationsOnOnePathIntoOneEvent) {
    startStream();
    {
        QFile file(root_ + "/merged.txt");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        for (int i = 0; i < 20; ++i) {
            file.write("chunk");
            file.flush();
        }
    }
    ::chmod(QFile::encodeName(root_ + "/merged.txt").constData(), 0600);
    ASSERT_TRUE(waitFor(root_ + "/merged.txt", F::itemCreated));
    std::this_thread::sleep_for(3 * latency);
    int eventsOnPath = 0;
    std::uint32_t flags = 0;
    for (const auto& delivery : recorder_.deliveries()) {
        int inDelivery = 0;
        for (const auto& event : delivery) {
            if (event.path != root_ + "/merged.txt") continue;
            ++inDelivery;
            flags |= event.flags;
        }
        EXPECT_LE(inDelivery, 1) << "one event per path and delivery";
        eventsOnPath += inDelivery;
    }
    EXPECT_GE(eventsOnPath, 1);
    EXPECT_EQ(flags & (F::itemCreated | F::itemModified | F::itemIsFile),
              F::itemCreated | F::itemModified | F::itemIsFile);
}

TEST_F(FileEventStreamTest, ReportsEveryFileOfALargeBatch) {
    makeDir(root_ + "/batch");
    startStream();
    constexpr int count = 600;
    for (int i = 0; i < count; ++i) writeFile(root_ + QStringLiteral("/batch/file %1.txt").arg(i));
    // Under load a file's creation and its writing may fall into two deliveries.
    ASSERT_TRUE(TestEnvironment::waitUntil([&] {
        const QHash<QString, std::uint32_t> flags = recorder_.flagsByPath();
        for (int i = 0; i < count; ++i) {
            const std::uint32_t f = flags.value(root_ + QStringLiteral("/batch/file %1.txt").arg(i));
            if ((f & (F::itemCreated | F::itemModified)) != (F::itemCreated | F::itemModified)) return false;
        }
        return true;
    }));
    EXPECT_FALSE(recorder_.find(root_, F::mustScanSubDirs)) << "nothing was lost";
}

// Owners and modes are read after the watches are in place: a change in between must not pass
// for none.
struct EarlyChangeCase {
    const char* name;
    QString path;  // relative to the root; empty for the root itself
    std::function<void(const QByteArray& path)> change;
    std::uint32_t type;
    bool needsRoot = false;
};

void PrintTo(const EarlyChangeCase& c, std::ostream* os) { *os << c.name; }

class FileEventStreamEarlyChangeTest : public FileEventStreamTest,
                                       public ::testing::WithParamInterface<EarlyChangeCase> {};

TEST_P(FileEventStreamEarlyChangeTest, IsReportedAsAPossiblePermissionChange) {
    const EarlyChangeCase& c = GetParam();
    if (c.needsRoot && geteuid() != 0) GTEST_SKIP() << "only the superuser gives a file away";
    writeFile(root_ + "/a.txt");
    makeDir(root_ + "/dir");
    std::this_thread::sleep_for(20ms);  // all older than the watches
    const QString path = c.path.isEmpty() ? root_ : root_ + QLatin1Char('/') + c.path;
    startStream([&](FileEventStream& stream) {
        stream.setSetUpHookForTesting([&](FileEventStream::SetUpStage stage, const QString&) {
            if (stage == FileEventStream::SetUpStage::watchesInPlace) c.change(QFile::encodeName(path));
        });
    });
    EXPECT_TRUE(waitFor(path, F::itemInodeMetaMod | F::itemChangeOwner | c.type));
}

INSTANTIATE_TEST_SUITE_P(
    EarlyChanges, FileEventStreamEarlyChangeTest,
    ::testing::Values(
        EarlyChangeCase{"FileMode", "a.txt", [](const QByteArray& p) { ASSERT_EQ(::chmod(p.constData(), 0600), 0); },
                        F::itemIsFile},
        EarlyChangeCase{"FileGroup", "a.txt",
                        [](const QByteArray& p) { ASSERT_EQ(::chown(p.constData(), -1, getgid() + 1), 0); },
                        F::itemIsFile, true},
        EarlyChangeCase{"FolderMode", "dir", [](const QByteArray& p) { ASSERT_EQ(::chmod(p.constData(), 0700), 0); },
                        F::itemIsDir},
        EarlyChangeCase{"RootMode", "", [](const QByteArray& p) { ASSERT_EQ(::chmod(p.constData(), 0700), 0); },
                        F::itemIsDir}),
    [](const ::testing::TestParamInfo<EarlyChangeCase>& info) { return std::string(info.param.name); });

// A permission change on an item that is there is told, whatever its name or its inode went through
// before: a missed one leaves the item as it was wherever it is synced.
struct LaterPermissionCase {
    const char* name;
    std::function<void(const QString& root, const QString& outside)> prepare;
    // Ends with the permission change; `settle` waits until what came before is delivered.
    std::function<void(const QString& root, const QString& outside, const std::function<void()>& settle)> act;
    QStringList paths;  // relative to the root: the change is to be told on one of them
};

void PrintTo(const LaterPermissionCase& c, std::ostream* os) { *os << c.name; }

class FileEventStreamLaterPermissionTest : public FileEventStreamTest,
                                           public ::testing::WithParamInterface<LaterPermissionCase> {};

TEST_P(FileEventStreamLaterPermissionTest, IsReported) {
    const LaterPermissionCase& c = GetParam();
    c.prepare(root_, outside_);
    std::this_thread::sleep_for(20ms);  // all older than the watches: known for sure
    startStream();
    std::size_t from = 0;
    c.act(root_, outside_, [&] { from = settle(); });
    const std::uint32_t expected = F::itemInodeMetaMod | F::itemChangeOwner | F::itemIsFile;
    EXPECT_TRUE(TestEnvironment::waitUntil([&] {
        return std::any_of(c.paths.begin(), c.paths.end(), [&](const QString& path) {
            return (recorder_.flagsSince(root_ + QLatin1Char('/') + path, from) & expected) == expected;
        });
    }));
}

void setMode(const QString& path, mode_t mode) {
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << path.toStdString();
}

void linkItem(const QString& from, const QString& to) {
    ASSERT_EQ(::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()), 0) << to.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    LaterPermissions, FileEventStreamLaterPermissionTest,
    ::testing::Values(
        // As on file systems that give a deleted item's number to a new one: the inode comes back
        // under the name with other permissions than last seen, and a change back to those counts.
        LaterPermissionCase{"InodeBackUnderTheSameNameChangedMeanwhile",
                            [](const QString& r, const QString& o) {
                                writeFile(r + "/a");
                                setMode(r + "/a", 0644);
                                linkItem(r + "/a", o + "/a");
                            },
                            [](const QString& r, const QString& o, const auto& settle) {
                                QFile::remove(r + "/a");
                                setMode(o + "/a", 0600);
                                linkItem(o + "/a", r + "/a");
                                settle();
                                setMode(r + "/a", 0644);
                            },
                            {"a"}},
        LaterPermissionCase{"HardLinkChangedThroughANameSinceRemoved",
                            [](const QString& r, const QString&) {
                                writeFile(r + "/a");
                                setMode(r + "/a", 0644);
                                linkItem(r + "/a", r + "/b");
                            },
                            [](const QString& r, const QString&, const auto& settle) {
                                setMode(r + "/b", 0600);
                                settle();
                                QFile::remove(r + "/b");
                                settle();
                                setMode(r + "/a", 0644);
                            },
                            {"a"}},
        // Read before the move, the change is told on the old name; after, its own event finds
        // that name gone.
        LaterPermissionCase{"ChangedJustBeforeAMoveWithinTheTree",
                            [](const QString& r, const QString&) { writeFile(r + "/a"); },
                            [](const QString& r, const QString&, const auto&) {
                                setMode(r + "/a", 0600);
                                moveItem(r + "/a", r + "/b");
                            },
                            {"a", "b"}},
        // The change may be read along with the move.
        LaterPermissionCase{"ChangedJustAfterAMoveWithinTheTree",
                            [](const QString& r, const QString&) {
                                makeDir(r + "/d");
                                writeFile(r + "/a");
                            },
                            [](const QString& r, const QString&, const auto&) {
                                moveItem(r + "/a", r + "/d/a");
                                setMode(r + "/d/a", 0600);
                            },
                            {"d/a"}}),
    [](const ::testing::TestParamInfo<LaterPermissionCase>& info) { return std::string(info.param.name); });

// On tmpfs no inode number comes back: every round brings items never seen. What is remembered
// follows the items there are, and sorting out the dead does not forget the living.
TEST_F(FileEventStreamTest, RememberedOwnersFollowTheLiveItemsAcrossRoundsOfDeletingAndMaking) {
    constexpr int files = 500;
    const auto file = [&](int i) { return root_ + (i % 2 ? QStringLiteral("/x/f%1") : QStringLiteral("/f%1")).arg(i); };
    startStream();
    writeFile(root_ + "/kept.txt");
    makeDir(root_ + "/x");
    for (int round = 1; round <= 8; ++round) {
        for (int i = 0; i < files; ++i) QFile::remove(file(i));
        for (int i = 0; i < files; ++i) writeFile(file(i));
        settle();
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return stream_->rememberedCount() <= 4 * files; }))
            << stream_->rememberedCount() << " remembered after round " << round;
    }
    ASSERT_FALSE(recorder_.find(root_, F::mustScanSubDirs)) << "lost events clear what is remembered";
    const std::size_t from = recorder_.count();
    const timespec times[2] = {{1000, 0}, {1000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(root_ + "/kept.txt").constData(), times, 0), 0);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return recorder_.flagsSince(root_ + "/kept.txt", from) != 0; }));
    EXPECT_EQ(recorder_.flagsSince(root_ + "/kept.txt", from) & F::itemChangeOwner, 0u)
        << "a live item's owner and mode were forgotten";
}

// Folders found by their type as the folder gives it, or by a look at each entry where the file
// system does not give it: every folder watched, no link followed.
class FileEventStreamEntryTypeTest : public FileEventStreamTest, public ::testing::WithParamInterface<bool> {};

TEST_P(FileEventStreamEntryTypeTest, WatchesEveryFolderAndFollowsNoLink) {
    makeDir(root_ + "/a/b/c");
    makeDir(root_ + "/d");
    writeFile(root_ + "/a/file.txt");
    makeDir(outside_ + "/x/y");
    ASSERT_EQ(::symlink(QFile::encodeName(outside_).constData(), QFile::encodeName(root_ + "/link").constData()), 0);
    startStream([](FileEventStream& stream) { stream.setEntryTypesUnknownForTesting(GetParam()); });
    EXPECT_EQ(stream_->watchCount(), 5u);  // the root, a, b, c and d
    writeFile(root_ + "/a/b/c/deep.txt");
    EXPECT_TRUE(waitFor(root_ + "/a/b/c/deep.txt", F::itemCreated | F::itemModified | F::itemIsFile));
    writeFile(outside_ + "/x/y/beyond.txt");
    std::this_thread::sleep_for(3 * latency);
    EXPECT_FALSE(recorder_.find(root_ + "/link/x/y/beyond.txt", 0)) << "the link was followed";
}

INSTANTIATE_TEST_SUITE_P(EntryTypes, FileEventStreamEntryTypeTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return std::string(info.param ? "Unknown" : "Given");
                         });

// A folder made while the watches are being set up is watched, whether its parent was read by then
// or not.
struct MadeDuringSetUpCase {
    const char* name;
    QString when;  // the folder, relative to the root, whose watch has just been added
    QString made;  // relative to the root
};

void PrintTo(const MadeDuringSetUpCase& c, std::ostream* os) { *os << c.name; }

class FileEventStreamSetUpTest : public FileEventStreamTest,
                                 public ::testing::WithParamInterface<MadeDuringSetUpCase> {};

TEST_P(FileEventStreamSetUpTest, AFolderMadeMeanwhileIsWatched) {
    const MadeDuringSetUpCase& c = GetParam();
    makeDir(root_ + "/a");
    const QString when = c.when.isEmpty() ? root_ : root_ + QLatin1Char('/') + c.when;
    const QString made = root_ + QLatin1Char('/') + c.made;
    startStream([&](FileEventStream& stream) {
        stream.setSetUpHookForTesting([&](FileEventStream::SetUpStage stage, const QString& folder) {
            if (stage == FileEventStream::SetUpStage::folderWatched && folder == when) makeDir(made + "/inner");
        });
    });
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return stream_->watchCount() == 4; }))
        << "watched: " << stream_->watchCount();
    writeFile(made + "/inner/later.txt");
    EXPECT_TRUE(waitFor(made + "/inner/later.txt", F::itemCreated | F::itemModified | F::itemIsFile));
}

INSTANTIATE_TEST_SUITE_P(SetUp, FileEventStreamSetUpTest,
                         ::testing::Values(MadeDuringSetUpCase{"InAFolderNotReadYet", "", "a/new"},
                                           MadeDuringSetUpCase{"InAFolderReadAlready", "a", "new"}),
                         [](const ::testing::TestParamInfo<MadeDuringSetUpCase>& info) {
                             return std::string(info.param.name);
                         });

struct RootCase {
    const char* name;
    std::function<void(const QString& temp, const QString& root)> act;
};

void PrintTo(const RootCase& c, std::ostream* os) { *os << c.name; }

class FileEventStreamRootTest : public FileEventStreamTest, public ::testing::WithParamInterface<RootCase> {};

TEST_P(FileEventStreamRootTest, GivesOneRootChangedEventAloneAndThenNothing) {
    makeDir(root_ + "/sub");
    writeFile(root_ + "/sub/f.txt");
    startStream();
    GetParam().act(temp_.path(), root_);
    ASSERT_TRUE(waitFor(root_, F::rootChanged));
    std::this_thread::sleep_for(3 * latency);
    int rootChanged = 0;
    for (const auto& delivery : recorder_.deliveries()) {
        for (std::size_t i = 0; i < delivery.size(); ++i) {
            if (!(delivery[i].flags & F::rootChanged)) continue;
            ++rootChanged;
            EXPECT_EQ(delivery[i].path, root_);
            EXPECT_EQ(delivery[i].flags & ~F::unmount, F::rootChanged);
            // Among other events the observer would take it for one more change inside.
            EXPECT_EQ(delivery.size(), 1u);
        }
    }
    EXPECT_EQ(rootChanged, 1);
    EXPECT_EQ(stream_->watchCount(), 0u);
    // Whatever happens where the root was is no longer reported.
    const std::size_t before = recorder_.count();
    makeDir(root_ + "/again");
    std::this_thread::sleep_for(3 * latency);
    EXPECT_EQ(recorder_.count(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Root, FileEventStreamRootTest,
    ::testing::Values(RootCase{"RootMoved", [](const QString& t, const QString& r) { moveItem(r, t + "/moved"); }},
                      RootCase{"RootDeleted", [](const QString&, const QString& r) { QDir(r).removeRecursively(); }},
                      RootCase{"RootMovedRightAfterAChangeInside",
                               [](const QString& t, const QString& r) {
                                   writeFile(r + "/sub/g.txt");
                                   moveItem(r, t + "/moved");
                               }},
                      RootCase{"FolderAboveRootMoved",
                               [](const QString& t, const QString&) {
                                   moveItem(t, t + "-moved");
                                   moveItem(t + "-moved", t);
                               }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FileEventStreamTest, FoldersMovedOutOrDeletedAreNoLongerWatched) {
    const struct {
        const char* name;
        bool moveOut;
    } cases[] = {{"moved out", true}, {"deleted", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        makeDir(root_ + "/a/b");
        startStream();
        ASSERT_EQ(stream_->watchCount(), 3u);
        if (c.moveOut) moveItem(root_ + "/a", outside_ + "/a");
        else QDir(root_ + "/a").removeRecursively();
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return stream_->watchCount() == 1; }));
        if (c.moveOut) {
            // What happens in the folder's new place is none of the stream's business.
            writeFile(outside_ + "/a/b/later.txt");
            writeFile(root_ + "/marker.txt");
            ASSERT_TRUE(waitFor(root_ + "/marker.txt", F::itemCreated));
            for (const auto& delivery : recorder_.deliveries())
                for (const auto& event : delivery) EXPECT_FALSE(event.path.endsWith("later.txt")) << event.path.toStdString();
            QDir(outside_ + "/a").removeRecursively();
        }
        stream_->stop();
    }
}

TEST_F(FileEventStreamTest, AnOverflowGivesOneMustScanEventAndWatchingGoesOn) {
    makeDir(root_ + "/a/b");
    startStream();
    const std::size_t watches = stream_->watchCount();
    EXPECT_EQ(watches, 3u);
    stream_->injectQueueOverflowForTesting();
    stream_->injectQueueOverflowForTesting();
    ASSERT_TRUE(waitFor(root_, F::mustScanSubDirs | F::kernelDropped));
    std::this_thread::sleep_for(2 * latency);
    int lost = 0;
    for (const auto& delivery : recorder_.deliveries())
        for (const auto& event : delivery)
            if (event.flags & F::mustScanSubDirs) {
                ++lost;
                EXPECT_EQ(event.path, root_);
            }
    EXPECT_GE(lost, 1);
    EXPECT_FALSE(logLines().isEmpty());
    // The watches are in place again, deep folders included.
    EXPECT_TRUE(TestEnvironment::waitUntil([&] { return stream_->watchCount() == watches; }));
    writeFile(root_ + "/a/b/after.txt");
    EXPECT_TRUE(waitFor(root_ + "/a/b/after.txt", F::itemCreated | F::itemModified));
}

TEST_F(FileEventStreamTest, RunningOutOfWatchesGivesAMustScanEventNotACrash) {
    for (int i = 0; i < 5; ++i) makeDir(root_ + QStringLiteral("/d%1").arg(i));
    stream_ = std::make_unique<FileEventStream>(root_, queue_, std::ref(recorder_), latency);
    stream_->setLogHandler([this](const QString& message) {
        std::lock_guard lock(logMutex_);
        log_.push_back(message);
    });
    stream_->setWatchLimitForTesting(2);
    ASSERT_TRUE(stream_->start());
    ASSERT_TRUE(stream_->waitUntilReady(5000));
    EXPECT_EQ(stream_->watchCount(), 3u);  // the root and two folders
    ASSERT_TRUE(waitFor(root_, F::mustScanSubDirs | F::kernelDropped));
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 1) << "one line for all the folders left out";
    EXPECT_TRUE(lines.first().contains(QStringLiteral("3 folder(s)"))) << lines.first().toStdString();
    // A new folder cannot be watched either: reported the same way.
    const std::size_t before = recorder_.count();
    makeDir(root_ + "/new");
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return recorder_.count() > before; }));
    ASSERT_TRUE(waitFor(root_ + "/new", F::itemCreated | F::itemIsDir));
    EXPECT_TRUE(recorder_.deliveries().back().front().path == root_ + "/new");
    bool lostAgain = false;
    // A named copy: a range-for over a member of a temporary would read freed memory.
    const auto deliveries = recorder_.deliveries();
    for (const auto& event : deliveries.back()) lostAgain |= (event.flags & F::mustScanSubDirs) != 0;
    EXPECT_TRUE(lostAgain);
}

TEST_F(FileEventStreamTest, StopWaitsAndNoCallbackFollows) {
    std::atomic<int> calls{0};
    std::atomic<bool> inside{false};
    std::atomic<bool> overlapped{false};
    FileEventStream stream(root_, queue_, [&](const std::vector<FileEvent>&) {
        inside = true;
        std::this_thread::sleep_for(30ms);  // a slow receiver: stop must wait for it
        calls.fetch_add(1);
        inside = false;
    }, 5ms);
    ASSERT_TRUE(stream.start());
    ASSERT_TRUE(stream.waitUntilReady(5000));
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        for (int i = 0; writing; ++i) writeFile(root_ + QStringLiteral("/w%1").arg(i % 50));
    });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return calls.load() >= 2; }));
    stream.stop();
    if (inside) overlapped = true;
    const int afterStop = calls.load();
    std::this_thread::sleep_for(100ms);
    writing = false;
    writer.join();
    EXPECT_FALSE(overlapped) << "stop returned while a callback ran";
    EXPECT_EQ(calls.load(), afterStop);
    EXPECT_FALSE(stream.isRunning());
    EXPECT_EQ(stream.watchCount(), 0u);
}

TEST_F(FileEventStreamTest, StopFromTheCallbackItselfDoesNotWaitForItself) {
    std::atomic<int> calls{0};
    std::unique_ptr<FileEventStream> stream;
    stream = std::make_unique<FileEventStream>(root_, queue_, [&](const std::vector<FileEvent>&) {
        calls.fetch_add(1);
        stream->stop();
    }, latency);
    ASSERT_TRUE(stream->start());
    ASSERT_TRUE(stream->waitUntilReady(5000));
    writeFile(root_ + "/one.txt");
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !stream->isRunning(); }));
    writeFile(root_ + "/two.txt");
    std::this_thread::sleep_for(3 * latency);
    EXPECT_EQ(calls.load(), 1);
}

TEST_F(FileEventStreamTest, StartsOnlyOnAFolderAndNotOnceInvalidated) {
    writeFile(root_ + "/file");
    const struct {
        QString path;
        bool starts;
    } cases[] = {{root_, true}, {root_ + "/missing", false}, {root_ + "/file", false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        FileEventStream stream(c.path, queue_, std::ref(recorder_), latency);
        EXPECT_EQ(stream.start(), c.starts);
        EXPECT_EQ(stream.isRunning(), c.starts);
    }
    FileEventStream stream(root_ + "//", queue_, std::ref(recorder_), latency);
    EXPECT_EQ(stream.path(), root_);
    stream.invalidate();
    EXPECT_FALSE(stream.start());
}

}  // namespace
