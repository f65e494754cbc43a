#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <map>
#include <mutex>

#include "app/common/LogChannels.h"
#include "app/selectivesync/SelectiveSyncSizeCalculator.h"
#include "frameworks/business/DirectoryHierarchyNode.h"
#include "frameworks/logger/Logger.h"

namespace {

struct FakeNode : SelectiveSyncSizeCalculatorNode {
    QString path;
    std::int16_t state = 1;
    std::vector<std::unique_ptr<FakeNode>> children;
    std::optional<QString> cachedRelativePath() const override { return path; }
    std::int16_t syncState() const override { return state; }
    std::vector<const SelectiveSyncSizeCalculatorNode*> sizeCalculatorChildren() const override {
        std::vector<const SelectiveSyncSizeCalculatorNode*> result;
        for (const auto& child : children) result.push_back(child.get());
        return result;
    }
};

// "path:value" pairs separated by spaces, parents before children.
std::vector<std::pair<QString, std::int64_t>> pairs(const char* text) {
    std::vector<std::pair<QString, std::int64_t>> result;
    for (const QString& item : QString(text).split(' ', Qt::SkipEmptyParts)) {
        const qsizetype colon = item.lastIndexOf(':');
        result.emplace_back(item.left(colon), item.mid(colon + 1).toLongLong());
    }
    return result;
}

std::unique_ptr<FakeNode> makeTree(const char* text) {
    auto root = std::make_unique<FakeNode>();
    std::map<QString, FakeNode*> byPath;
    for (const auto& [path, state] : pairs(text)) {
        FakeNode* node = root.get();
        if (path != "/") {
            const QString parent = path.left(path.lastIndexOf('/'));
            auto& siblings = byPath.at(parent.isEmpty() ? "/" : parent)->children;
            node = siblings.emplace_back(std::make_unique<FakeNode>()).get();
        }
        node->path = path;
        node->state = static_cast<std::int16_t>(state);
        byPath[path] = node;
    }
    return root;
}

class FakeDirectory : public DirectoryHierarchyNode {
public:
    explicit FakeDirectory(std::int64_t size) : size_(size) {}
    std::optional<QString> path() const override { return std::nullopt; }
    QString identifier() const override { return {}; }
    QString name() const override { return {}; }
    std::int64_t flags() const override { return selectableFlag; }
    std::int64_t size() const override { return size_; }
    std::optional<std::vector<std::shared_ptr<DirectoryHierarchyNode>>> children() const override { return {}; }
    std::shared_ptr<Cancelable> loadLevel(int, int, LevelCompletion) const override { return nullptr; }

private:
    std::int64_t size_;
};

struct FakeRemoteItem : SelectiveSyncSizeCalculatorRemoteItem {
    std::shared_ptr<DirectoryHierarchyNode> node;
    std::shared_ptr<DirectoryHierarchyNode> directoryNode() const override { return node; }
};

// A size of -1 stands for an entry without a directory node.
auto remoteItems(const char* text) {
    QHash<RemotePath, std::shared_ptr<const SelectiveSyncSizeCalculatorRemoteItem>> items;
    for (const auto& [path, size] : pairs(text)) {
        auto item = std::make_shared<FakeRemoteItem>();
        if (size >= 0) item->node = std::make_shared<FakeDirectory>(size);
        items.insert(RemotePath::fromPath(path), item);
    }
    return items;
}

// The real file system, except for folders that refuse to be listed and a chosen free capacity.
struct FakeFileManager : SelectiveSyncSizeCalculator::FileManager {
    QStringList unlistable;
    std::optional<std::optional<std::int64_t>> capacity;
    const std::shared_ptr<const FileManager> real = SelectiveSyncSizeCalculator::defaultFileManager();

    bool fileExists(const QString& path) const override { return real->fileExists(path); }
    std::optional<QStringList> contentsOfDirectory(const QString& path) const override {
        return unlistable.contains(path) ? std::nullopt : real->contentsOfDirectory(path);
    }
    std::optional<std::int64_t> volumeAvailableCapacity(const QString& path) const override {
        return capacity ? *capacity : real->volumeAvailableCapacity(path);
    }
};

struct FakeDu : LocalDirectorySizeCalculator {
    std::int64_t answer = 0;
    mutable QList<QStringList> calls;
    std::int64_t size(const QStringList& ofPaths) const override {
        calls << ofPaths;
        return ofPaths.isEmpty() ? 0 : answer;
    }
};

struct Fixture {
    QTemporaryDir temp{QStringLiteral("/dev/shm/size-XXXXXX")};
    std::shared_ptr<FakeFileManager> files = std::make_shared<FakeFileManager>();
    std::shared_ptr<FakeDu> du = std::make_shared<FakeDu>();

    QString syncFolder() const { return temp.path() + "/Orvella"; }
    // "x/" makes a folder, anything else a small file.
    void createLocal(const QStringList& entries) const {
        for (const QString& entry : entries) {
            const QString path = syncFolder() + entry;
            ASSERT_TRUE(QDir().mkpath(entry.endsWith('/') ? path : QFileInfo(path).path()));
            if (entry.endsWith('/')) continue;
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("data") == 4);
        }
    }
    SelectiveSyncSizeCalculator calculator(const char* remote) const {
        return {.remoteItems = remoteItems(remote),
                .fileManager = files,
                .localDirectorySizeCalculator = du,
                .syncRootURL = QUrl::fromLocalFile(temp.path()),
                .minimumFreeDiskSpace = 500'000'000};
    }
};

const QStringList usualSkips{"/", "/users"};

struct SizeCase {
    const char* name;
    const char* tree;
    const char* remote;  // "/" is 9999 throughout, so a root counted whole shows
    QStringList local;
    std::int64_t expected;
    QStringList measured = {};  // what du is asked about, answering 4096
    QStringList skip = usualSkips;
    QStringList unlistable = {};
    bool syncRootSet = true;
};

class SizeNeededCases : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeNeededCases, CountsWhatMustComeDownLessWhatIsFreed) {
    const SizeCase& c = GetParam();
    Fixture fixture;
    ASSERT_TRUE(fixture.temp.isValid());
    fixture.createLocal(c.local);
    fixture.du->answer = 4096;
    for (const QString& path : c.unlistable) fixture.files->unlistable << fixture.syncFolder() + path;
    SelectiveSyncSizeCalculator calculator = fixture.calculator(c.remote);
    if (!c.syncRootSet) calculator.syncRootURL = QUrl();

    EXPECT_EQ(calculator.calculateSizeNeeded(*makeTree(c.tree), c.skip), c.expected);
    QStringList measured;
    for (const QString& path : c.measured) measured << fixture.syncFolder() + path;
    EXPECT_EQ(fixture.du->calls, QList<QStringList>{measured});
}

const char* mixedTree = "/:-1 /A:-1 /A/B:0 /A/C:-1 /A/C/D:0 /A/C/E:1 /A/F:1";
const char* mixedRemote = "/:9999 /A:1000 /A/B:100 /A/C:300 /A/C/D:50 /A/C/E:60 /A/F:200";
const char* usersTree = "/:1 /users:1 /users/me:1";
const char* usersRemote = "/:9999 /users:5000 /users/me:700";

INSTANTIATE_TEST_SUITE_P(
    SelectiveSync, SizeNeededCases,
    ::testing::Values(
        SizeCase{"existingFolderCountsOnlyMissingChildren", "/:-1 /A:1 /A/B:1 /A/C:1",
                 "/:9999 /A:1000 /A/B:300 /A/C:200", {"/A/B/f"}, 200},
        SizeCase{"dotNamesOnlyCountAsMissing", "/:-1 /A:1 /A/B:1 /E:1", "/:9999 /A:1000 /A/B:300 /E:40",
                 {"/A/.DS_Store", "/E/"}, 1040},
        SizeCase{"missingMixedFolderLessDeselectedSubfolders", mixedTree, mixedRemote, {}, 1000 - 100 - 50},
        SizeCase{"existingMixedFolderMeasuresDeselected", mixedTree, mixedRemote, {"/A/B/y", "/A/F/x"},
                 300 - 50 - 4096, {"/A/B"}},
        SizeCase{"deselectedMissingOrUnloadedNotMeasured", "/:-1 /A:0 /B:0 /C:0", "/:9999 /A:500 /C:400",
                 {"/B/f", "/C/g"}, -4096, {"/C"}},
        SizeCase{"unloadedFoldersCountNothing", "/:-1 /A:1 /A/X:1 /B:1", "/:9999 /A/X:100 /B:-1", {}, 0},
        SizeCase{"rootNotSkippedCountsWhole", usersTree, usersRemote, {}, 9999, {}, {}},
        SizeCase{"skippedPathsCountOnlyTheirChildren", usersTree, usersRemote, {}, 700},
        SizeCase{"withoutSyncRootNothingIsLocal", "/:-1 /A:1 /B:0", "/:9999 /A:100 /B:50", {"/B/f"}, 0, {},
                 usualSkips, {}, false},
        SizeCase{"encodedLookingNameIsItsOwnFolder", "/:-1 /a%20b:1 /100%:1", "/:9999 /a%20b:100 /100%:30",
                 {"/a%20b/f"}, 30},
        SizeCase{"pathClimbingOutIsNeverMeasured", "/:-1 /..:0", "/:9999 /..:100", {"/"}, 0},
        SizeCase{"unlistableFolderCountsOnlyMissingChildren", "/:-1 /A:1 /A/B:1", "/:9999 /A:1000 /A/B:300",
                 {"/A/"}, 300, {}, usualSkips, {"/A"}},
        SizeCase{"mixedFolderNeverNeedsLessThanNothing", "/:-1 /A:-1 /A/B:0", "/:9999 /A:100 /A/B:300", {}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct SpaceCase {
    const char* name;
    std::optional<std::int64_t> capacity;
    const char* tree;
    std::optional<std::int64_t> available;
    std::optional<bool> enough;
};

class FreeSpaceCases : public ::testing::TestWithParam<SpaceCase> {};

TEST_P(FreeSpaceCases, ComparesAvailableLessReserveWithNeeded) {
    const SpaceCase& c = GetParam();
    Fixture fixture;
    ASSERT_TRUE(fixture.temp.isValid());
    fixture.files->capacity = c.capacity;
    const auto calculator = fixture.calculator("/:9999 /A:1000");
    EXPECT_EQ(calculator.availableSpace(), c.available);
    EXPECT_EQ(calculator.hasEnoughFreeDiskSpace(*makeTree(c.tree), usualSkips), c.enough);
}

INSTANTIATE_TEST_SUITE_P(SelectiveSync, FreeSpaceCases,
                         ::testing::Values(SpaceCase{"exactlyTheReserveAndNothingNeeded", 500'000'000, "/:-1", 0, true},
                                           SpaceCase{"oneByteBelowTheReserve", 499'999'999, "/:-1", -1, false},
                                           SpaceCase{"neededJustFits", 500'001'000, "/:-1 /A:1", 1000, true},
                                           SpaceCase{"neededOneByteShort", 500'000'999, "/:-1 /A:1", 999, false},
                                           SpaceCase{"unreadableIsNoAnswer", std::nullopt, "/:-1", std::nullopt,
                                                     std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SelectiveSyncSizeCalculatorTest, ReadsTheRealVolume) {
    Fixture fixture;
    ASSERT_TRUE(fixture.temp.isValid());
    auto calculator = fixture.calculator("");
    const auto available = calculator.availableSpace();
    ASSERT_TRUE(available.has_value());
    // Other writers share the volume; a wrong unit or a missing reserve is far larger than this.
    EXPECT_LT(std::abs(*available - (QStorageInfo(fixture.temp.path()).bytesAvailable() - 500'000'000)), 64 << 20);
    calculator.syncRootURL = QUrl::fromLocalFile(fixture.temp.path() + "/missing");
    EXPECT_EQ(calculator.availableSpace(), std::nullopt);
    calculator.syncRootURL = QUrl("https://example.com/x");
    EXPECT_EQ(calculator.availableSpace(), std::nullopt);
}

TEST(SelectiveSyncSizeCalculatorTest, LogsNeededAndFreed) {
    Fixture fixture;
    ASSERT_TRUE(fixture.temp.isValid());
    fixture.createLocal({"/C/g"});
    fixture.du->answer = 4096;
    std::mutex mutex;
    QStringList lines;
    const auto sink = Logger::addSink([&](const LogEntry& entry) {
        std::lock_guard lock(mutex);
        if (entry.channel == AppLog::selectiveSyncBrowser().name()) lines << entry.message;
    });
    fixture.calculator("/:9999 /A:1000 /C:400").calculateSizeNeeded(*makeTree("/:-1 /A:1 /C:0"), usualSkips);
    Logger::flush();
    Logger::removeSink(sink);
    std::lock_guard lock(mutex);
    EXPECT_EQ(lines, QStringList{"1000 needed for selected directories - 4096 freed up for deselected directories"});
}

}  // namespace
