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
    std::optional<QString> path;
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

struct Row {
    QString path;
    std::int16_t state;
};

// Rows list parents before children; "/" is the root.
std::unique_ptr<FakeNode> makeTree(const std::vector<Row>& rows) {
    auto root = std::make_unique<FakeNode>();
    std::map<QString, FakeNode*> byPath;
    for (const Row& row : rows) {
        FakeNode* node = root.get();
        if (row.path != "/") {
            const QString parent = row.path.left(row.path.lastIndexOf('/'));
            FakeNode* owner = byPath.at(parent.isEmpty() ? "/" : parent);
            owner->children.push_back(std::make_unique<FakeNode>());
            node = owner->children.back().get();
        }
        node->path = row.path;
        node->state = row.state;
        byPath[row.path] = node;
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

constexpr std::int64_t noDirectoryNode = -1;

QHash<RemotePath, std::shared_ptr<const SelectiveSyncSizeCalculatorRemoteItem>> remoteItems(
    const std::map<QString, std::int64_t>& sizes) {
    QHash<RemotePath, std::shared_ptr<const SelectiveSyncSizeCalculatorRemoteItem>> items;
    for (const auto& [path, size] : sizes) {
        auto item = std::make_shared<FakeRemoteItem>();
        if (size != noDirectoryNode) item->node = std::make_shared<FakeDirectory>(size);
        items.insert(RemotePath::fromPath(path), item);
    }
    return items;
}

// The real file system, except for folders that refuse to be listed and a chosen free capacity.
struct FakeFileManager : SelectiveSyncSizeCalculator::FileManager {
    QStringList unlistable;
    std::optional<std::optional<std::int64_t>> capacity;

    bool fileExists(const QString& path) const override {
        return SelectiveSyncSizeCalculator::defaultFileManager()->fileExists(path);
    }
    std::optional<QStringList> contentsOfDirectory(const QString& path) const override {
        if (unlistable.contains(path)) return std::nullopt;
        return SelectiveSyncSizeCalculator::defaultFileManager()->contentsOfDirectory(path);
    }
    std::optional<std::int64_t> volumeAvailableCapacity(const QString& path) const override {
        return capacity ? *capacity : SelectiveSyncSizeCalculator::defaultFileManager()->volumeAvailableCapacity(path);
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
            if (entry.endsWith('/')) {
                ASSERT_TRUE(QDir().mkpath(path));
                continue;
            }
            ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write("data");
        }
    }
    SelectiveSyncSizeCalculator calculator(const std::map<QString, std::int64_t>& sizes) const {
        return SelectiveSyncSizeCalculator{.remoteItems = remoteItems(sizes),
                                           .fileManager = files,
                                           .localDirectorySizeCalculator = du,
                                           .syncRootURL = QUrl::fromLocalFile(temp.path()),
                                           .minimumFreeDiskSpace = 500'000'000};
    }
};

const QStringList usualSkips{"/", "/users"};

struct SizeCase {
    const char* name;
    std::vector<Row> tree;
    std::map<QString, std::int64_t> remote;
    QStringList local;
    std::int64_t expected;
    QStringList measured = {};  // what du is asked about
    std::int64_t freed = 0;     // what du answers
    QStringList skip = usualSkips;
    QStringList unlistable = {};
    bool syncRootSet = true;
};

class SizeNeededCases : public ::testing::TestWithParam<SizeCase> {};

TEST_P(SizeNeededCases, CountsWhatMustComeDownLessWhatIsFreed) {
    const SizeCase& c = GetParam();
    Fixture setup;
    ASSERT_TRUE(setup.temp.isValid());
    setup.createLocal(c.local);
    setup.du->answer = c.freed;
    for (const QString& path : c.unlistable) setup.files->unlistable << setup.syncFolder() + path;
    SelectiveSyncSizeCalculator calculator = setup.calculator(c.remote);
    if (!c.syncRootSet) calculator.syncRootURL = QUrl();

    const auto root = makeTree(c.tree);
    EXPECT_EQ(calculator.calculateSizeNeeded(*root, c.skip), c.expected);
    QStringList measured;
    for (const QString& path : c.measured) measured << setup.syncFolder() + path;
    EXPECT_EQ(setup.du->calls, QList<QStringList>{measured});
}

// Remote sizes: "/" 9999 unless said otherwise, so a root counted whole shows.
INSTANTIATE_TEST_SUITE_P(
    SelectiveSync, SizeNeededCases,
    ::testing::Values(
        SizeCase{"existingFolderCountsOnlyMissingChildren",
                 {{"/", -1}, {"/A", 1}, {"/A/B", 1}, {"/A/C", 1}},
                 {{"/", 9999}, {"/A", 1000}, {"/A/B", 300}, {"/A/C", 200}},
                 {"/A/B/f"},
                 200},
        SizeCase{"dotNamesOnlyCountAsMissing",
                 {{"/", -1}, {"/A", 1}, {"/A/B", 1}, {"/E", 1}},
                 {{"/", 9999}, {"/A", 1000}, {"/A/B", 300}, {"/E", 40}},
                 {"/A/.DS_Store", "/E/"},
                 1040},
        SizeCase{"missingMixedFolderLessDeselectedSubfolders",
                 {{"/", -1}, {"/A", -1}, {"/A/B", 0}, {"/A/C", -1}, {"/A/C/D", 0}, {"/A/C/E", 1}, {"/A/F", 1}},
                 {{"/", 9999}, {"/A", 1000}, {"/A/B", 100}, {"/A/C", 300}, {"/A/C/D", 50}, {"/A/C/E", 60}, {"/A/F", 200}},
                 {},
                 850},
        SizeCase{"existingMixedFolderMeasuresDeselectedAndCountsMissing",
                 {{"/", -1}, {"/A", -1}, {"/A/B", 0}, {"/A/C", -1}, {"/A/C/D", 0}, {"/A/C/E", 1}, {"/A/F", 1}},
                 {{"/", 9999}, {"/A", 1000}, {"/A/B", 100}, {"/A/C", 300}, {"/A/C/D", 50}, {"/A/C/E", 60}, {"/A/F", 200}},
                 {"/A/B/y", "/A/F/x"},
                 250 - 4096,
                 {"/A/B"},
                 4096},
        SizeCase{"deselectedMissingOrUnloadedNotMeasured",
                 {{"/", -1}, {"/A", 0}, {"/B", 0}, {"/C", 0}},
                 {{"/", 9999}, {"/A", 500}, {"/C", 400}},
                 {"/B/f", "/C/g"},
                 -4096,
                 {"/C"},
                 4096},
        SizeCase{"unloadedFoldersCountNothing",
                 {{"/", -1}, {"/A", 1}, {"/A/X", 1}, {"/B", 1}},
                 {{"/", 9999}, {"/A/X", 100}, {"/B", noDirectoryNode}},
                 {},
                 0},
        SizeCase{"rootNotSkippedCountsWhole",
                 {{"/", 1}, {"/users", 1}, {"/users/me", 1}},
                 {{"/", 9999}, {"/users", 5000}, {"/users/me", 700}},
                 {},
                 9999,
                 {},
                 0,
                 {}},
        SizeCase{"skippedPathsCountOnlyTheirChildren",
                 {{"/", 1}, {"/users", 1}, {"/users/me", 1}},
                 {{"/", 9999}, {"/users", 5000}, {"/users/me", 700}},
                 {},
                 700},
        SizeCase{"withoutSyncRootNothingIsLocal",
                 {{"/", -1}, {"/A", 1}, {"/B", 0}},
                 {{"/", 9999}, {"/A", 100}, {"/B", 50}},
                 {"/B/f"},
                 0,
                 {},
                 0,
                 usualSkips,
                 {},
                 false},
        SizeCase{"encodedLookingNameIsItsOwnFolder",
                 {{"/", -1}, {"/a%20b", 1}, {"/100%", 1}},
                 {{"/", 9999}, {"/a%20b", 100}, {"/100%", 30}},
                 {"/a%20b/f"},
                 30},
        SizeCase{"pathClimbingOutIsNeverMeasured",
                 {{"/", -1}, {"/..", 0}},
                 {{"/", 9999}, {"/..", 100}},
                 {"/"},
                 0},
        SizeCase{"unlistableFolderCountsOnlyMissingChildren",
                 {{"/", -1}, {"/A", 1}, {"/A/B", 1}},
                 {{"/", 9999}, {"/A", 1000}, {"/A/B", 300}},
                 {"/A/"},
                 300,
                 {},
                 0,
                 usualSkips,
                 {"/A"}},
        SizeCase{"mixedFolderNeverNeedsLessThanNothing",
                 {{"/", -1}, {"/A", -1}, {"/A/B", 0}},
                 {{"/", 9999}, {"/A", 100}, {"/A/B", 300}},
                 {},
                 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct SpaceCase {
    const char* name;
    std::optional<std::int64_t> capacity;
    bool needsThousand;
    std::optional<std::int64_t> available;
    std::optional<bool> enough;
};

class FreeSpaceCases : public ::testing::TestWithParam<SpaceCase> {};

TEST_P(FreeSpaceCases, ComparesAvailableLessReserveWithNeeded) {
    const SpaceCase& c = GetParam();
    Fixture setup;
    ASSERT_TRUE(setup.temp.isValid());
    setup.files->capacity = c.capacity;
    const auto calculator = setup.calculator({{"/", 9999}, {"/A", 1000}});
    const auto root = makeTree(c.needsThousand ? std::vector<Row>{{"/", -1}, {"/A", 1}} : std::vector<Row>{{"/", -1}});
    EXPECT_EQ(calculator.availableSpace(), c.available);
    EXPECT_EQ(calculator.hasEnoughFreeDiskSpace(*root, usualSkips), c.enough);
}

INSTANTIATE_TEST_SUITE_P(SelectiveSync, FreeSpaceCases,
                         ::testing::Values(SpaceCase{"exactlyTheReserveAndNothingNeeded", 500'000'000, false, 0, true},
                                           SpaceCase{"oneByteBelowTheReserve", 499'999'999, false, -1, false},
                                           SpaceCase{"neededJustFits", 500'001'000, true, 1000, true},
                                           SpaceCase{"neededOneByteShort", 500'000'999, true, 999, false},
                                           SpaceCase{"unreadableCapacityIsNoAnswer", std::nullopt, true, std::nullopt,
                                                     std::nullopt}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SelectiveSyncSizeCalculatorTest, ReadsTheRealVolume) {
    Fixture setup;
    ASSERT_TRUE(setup.temp.isValid());
    const auto calculator = setup.calculator({});
    const auto available = calculator.availableSpace();
    ASSERT_TRUE(available.has_value());
    const std::int64_t expected = QStorageInfo(setup.temp.path()).bytesAvailable() - 500'000'000;
    // Other writers share the volume; a wrong unit or a missing reserve is far larger than this.
    EXPECT_LT(std::abs(*available - expected), 64 << 20);

    SelectiveSyncSizeCalculator elsewhere = calculator;
    elsewhere.syncRootURL = QUrl::fromLocalFile(setup.temp.path() + "/missing");
    EXPECT_EQ(elsewhere.availableSpace(), std::nullopt);
    elsewhere.syncRootURL = QUrl("https://example.com/x");
    EXPECT_EQ(elsewhere.availableSpace(), std::nullopt);
}

TEST(SelectiveSyncSizeCalculatorTest, LogsNeededAndFreed) {
    Fixture setup;
    ASSERT_TRUE(setup.temp.isValid());
    setup.createLocal({"/C/g"});
    setup.du->answer = 4096;
    const auto root = makeTree({{"/", -1}, {"/A", 1}, {"/C", 0}});
    std::mutex mutex;
    QStringList lines;
    const auto sink = Logger::addSink([&](const LogEntry& entry) {
        if (entry.channel != AppLog::selectiveSyncBrowser().name()) return;
        std::lock_guard lock(mutex);
        lines << entry.message;
    });
    setup.calculator({{"/", 9999}, {"/A", 1000}, {"/C", 400}}).calculateSizeNeeded(*root, usualSkips);
    Logger::flush();
    Logger::removeSink(sink);
    std::lock_guard lock(mutex);
    EXPECT_EQ(lines, QStringList{"1000 needed for selected directories - 4096 freed up for deselected directories"});
}

}  // namespace
