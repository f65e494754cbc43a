// The flat table of owners and modes must answer as a plain map of the same entries would,
// through growth, sweeps and inodes that collide, so that no permission change goes unreported.
#include <gtest/gtest.h>

#include <QRandomGenerator>

#include <unordered_map>

#include "platform/fsevents/InodeTable.h"

namespace {

bool same(const InodeMeta& a, const InodeMeta& b) {
    return a.sameOwnerAndMode(b) && a.uncertain == b.uncertain && a.mark == b.mark;
}

TEST(InodeTable, AnswersAsAMapOfTheSameEntries) {
    InodeTable table;
    std::unordered_map<ino_t, InodeMeta> model;
    QRandomGenerator random(7);
    // Few distinct inodes, so that entries are found again and replaced; the extremes included.
    const auto inode = [&] {
        const quint32 pick = random.bounded(40000u);
        return pick == 0 ? ino_t(0) : pick == 1 ? ino_t(-1) : ino_t(pick) << (pick % 3 ? 0 : 20);
    };
    const auto meta = [&] {
        return InodeMeta{mode_t(random.bounded(010000u)), uid_t(1000 + random.bounded(3u)), gid_t(100 + random.bounded(2u)),
                         random.bounded(8u) == 0, std::uint8_t(random.bounded(2u))};
    };
    for (int step = 0; step < 200000; ++step) {
        const ino_t at = inode();
        switch (random.bounded(5u)) {
        case 0: {
            const InodeMeta m = meta();
            const auto before = table.exchange(at, m);
            const auto known = model.find(at);
            ASSERT_EQ(before.has_value(), known != model.end()) << step;
            if (before) {
                ASSERT_TRUE(same(*before, known->second)) << step;
            }
            model[at] = m;
            break;
        }
        case 1: {
            const InodeMeta m = meta();
            ASSERT_EQ(table.insert(at, m), model.emplace(at, m).second) << step;
            break;
        }
        case 2:
            table.setMark(at, 1);
            if (auto it = model.find(at); it != model.end()) it->second.mark = 1;
            break;
        case 3:
            if (step % 5000 == 3) {
                table.keepIf([](const InodeMeta& m) { return m.mark == 1; });
                std::erase_if(model, [](const auto& entry) { return entry.second.mark != 1; });
            }
            break;
        default: {
            const auto found = table.find(at);
            const auto known = model.find(at);
            ASSERT_EQ(found.has_value(), known != model.end()) << step;
            if (found) {
                ASSERT_TRUE(same(*found, known->second)) << step;
            }
        }
        }
        ASSERT_EQ(table.size(), model.size()) << step;
    }
}

// Past the owners it can tell apart, the table says it cannot tell, rather than take one owner
// for another.
TEST(InodeTable, AnOwnerPastThoseItNamesIsUncertain) {
    InodeTable table;
    for (uid_t uid = 0; uid < 300; ++uid) table.assign(ino_t(uid + 1), InodeMeta{0644, uid, 0, false, 0});
    for (uid_t uid = 0; uid < 300; ++uid) {
        const auto found = table.find(ino_t(uid + 1));
        ASSERT_TRUE(found);
        if (found->uncertain) continue;
        EXPECT_EQ(found->uid, uid);
    }
    EXPECT_TRUE(table.find(300)->uncertain);
}

}  // namespace
