#include <gtest/gtest.h>

#include <QDir>

#include <string>
#include <unordered_set>
#include <vector>

#include "app/sync/FSEvent.h"
#include "app/sync/FSEventListener.h"

namespace {

using Action = C::FSEvent::Action;
using Flag = FSEvent::Flags::Flag;

constexpr std::uint32_t renamed = Flag::renamed;
constexpr std::uint32_t file = Flag::isFile;

// One batch as "path<oldPath" pairs, the old path only when there is one.
using Batch = std::vector<std::string>;

struct CutCase {
    const char* name;
    std::vector<FileEvent> delivery;
    std::vector<Batch> batches;
};

void PrintTo(const CutCase& c, std::ostream* os) { *os << c.name; }

class FSEventListenerCutTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(FSEventListenerCutTest, CutsRunsOfConsecutiveIdsAndPairsRenameHalves) {
    const CutCase& c = GetParam();
    std::vector<Batch> batches;
    std::vector<std::uint64_t> ids;
    FSEventListener::deliver(c.delivery, [&](const std::vector<FSEvent>& events) {
        Batch batch;
        for (const FSEvent& e : events) {
            EXPECT_EQ(e.action, Action::none);
            ids.push_back(e.id);
            batch.push_back((e.path + (e.oldPath.isEmpty() ? QString() : "<" + e.oldPath)).toStdString());
        }
        batches.push_back(batch);
    });
    EXPECT_EQ(batches, c.batches);
    std::vector<std::uint64_t> delivered;
    for (const FileEvent& e : c.delivery) delivered.push_back(e.id);
    EXPECT_EQ(ids, delivered) << "every event once, in the delivery's order";
}

INSTANTIATE_TEST_SUITE_P(
    Deliveries, FSEventListenerCutTest,
    ::testing::Values(
        CutCase{"ConsecutiveIdsOneBatch", {{"/a", file, 10}, {"/b", file, 11}, {"/c", file, 12}}, {{"/a", "/b", "/c"}}},
        CutCase{"GapTwoBatches",
                {{"/a", file, 10}, {"/b", file, 11}, {"/c", file, 13}, {"/d", file, 14}},
                {{"/a", "/b"}, {"/c", "/d"}}},
        CutCase{"FallingIdsTwoBatches", {{"/a", file, 12}, {"/b", file, 11}}, {{"/a"}, {"/b"}}},
        CutCase{"SameIdTwiceTwoBatches", {{"/a", file, 12}, {"/a", file, 12}}, {{"/a"}, {"/a"}}},
        CutCase{"RenamePair", {{"/old", renamed | file, 5}, {"/new", renamed | file, 6}}, {{"/old", "/new</old"}}},
        CutCase{"ThreeHalvesOnlyTheSecondPoints",
                {{"/a", renamed, 5}, {"/b", renamed, 6}, {"/c", renamed, 7}},
                {{"/a", "/b</a", "/c"}}},
        CutCase{"TwoPairsInARow",
                {{"/a", renamed, 5}, {"/b", renamed, 6}, {"/c", renamed, 7}, {"/d", renamed, 8}},
                {{"/a", "/b</a", "/c", "/d</c"}}},
        CutCase{"HalvesWithAGapDoNotPair", {{"/a", renamed, 5}, {"/b", renamed, 7}}, {{"/a"}, {"/b"}}},
        CutCase{"RenameThenOtherDoesNotPair", {{"/a", renamed, 5}, {"/b", file, 6}}, {{"/a", "/b"}}},
        CutCase{"OtherThenRenameDoesNotPair", {{"/a", file, 5}, {"/b", renamed, 6}}, {{"/a", "/b"}}},
        CutCase{"EmptyDeliveryOneEmptyBatch", {}, {{}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FSEventListenerTest, StopsCuttingWhenToldToStop) {
    int calls = 0;
    const std::vector<FileEvent> delivery{{"/a", file, 1}, {"/b", file, 3}, {"/c", file, 5}};
    FSEventListener::deliver(delivery, [&](const std::vector<FSEvent>&) { ++calls; }, [&] { return calls < 2; });
    EXPECT_EQ(calls, 2);
}

TEST(FSEventTest, IdentityIsIdPathAndFlagsOnly) {
    const FSEvent base{"/s/a", FSEvent::Flags(renamed | file), 7, Action::none, {}};
    const struct {
        const char* name;
        FSEvent other;
        bool equal;
    } cases[] = {
        {"OtherActionAndOldPath", {"/s/a", FSEvent::Flags(renamed | file), 7, Action::fileMovedOrRenamed, "/s/x"}, true},
        {"OtherId", {"/s/a", FSEvent::Flags(renamed | file), 8, Action::none, {}}, false},
        {"OtherPath", {"/s/b", FSEvent::Flags(renamed | file), 7, Action::none, {}}, false},
        {"OtherFlags", {"/s/a", FSEvent::Flags(file), 7, Action::none, {}}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(base == c.other, c.equal);
        if (c.equal) {
            EXPECT_EQ(qHash(base), qHash(c.other));
        }
        const std::unordered_set<FSEvent> set{base, c.other};
        EXPECT_EQ(set.size(), c.equal ? 1u : 2u);
    }
}

TEST(FSEventTest, TextFormForLogLines) {
    const struct {
        FSEvent event;
        const char* text;
    } cases[] = {
        {{"/s/a", FSEvent::Flags(file | Flag::created), 7, Action::none, {}}, "7 none /s/a < | created | isFile |  >>"},
        {{"/s/b", FSEvent::Flags(renamed | file), 8, Action::fileMovedOrRenamed, "/s/a"},
         "8 fileMovedOrRenamed /s/a -> /s/b  < | renamed | isFile |  >>"},
        {{"/s", FSEvent::Flags(0), 1, Action::ignore, {}}, "1 ignore /s < |  >>"},
        // Bit 23 has no name: the whole word stands in its place.
        {{"/s", FSEvent::Flags(0x800001u), 2, Action::mustScanSubDirs, {}},
         "2 mustScanSubDirs /s < | mustScanSubDirs | 8388609 |  >>"},
        {{"/s", FSEvent::Flags(0x400000u | 0x1000000u), 3, Action::none, {}}, "3 none /s < | itemCloned |  >>"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.event.description().toStdString(), c.text);
}

TEST(FSEventTest, ActionsReadBackFromTheirRawValuesOnly) {
    for (int i = 0; i <= static_cast<int>(Action::itemPermissionChanged); ++i) {
        const auto action = static_cast<Action>(i);
        EXPECT_EQ(C::FSEvent::actionFromRawValue(C::FSEvent::rawValue(action)), action) << i;
    }
    for (const char* unknown : {"", "FileAdded", "fileAdded ", "moved"})
        EXPECT_FALSE(C::FSEvent::actionFromRawValue(QLatin1String(unknown))) << unknown;
}

TEST(FSEventListenerTest, WithoutAFolderThereIsNoStream) {
    int calls = 0;
    FSEventListener listener(QDir::tempPath() + QStringLiteral("/no-such-folder-here"),
                             [&](const std::vector<FSEvent>&) { ++calls; });
    EXPECT_EQ(listener.eventStream(), nullptr);
    EXPECT_EQ(calls, 0);
}

}  // namespace
