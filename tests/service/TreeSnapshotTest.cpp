#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "service/TreeSnapshot.h"

namespace {

using Node = TreeSnapshot::Node;
using Paths = std::map<std::string, Node>;

Node fileOf(std::int64_t size) { return Node{size, size * 7, std::uint64_t(size) + 1, Node::file}; }
Node folderNode(std::int64_t mtime = 1) { return Node{0, mtime, 99, Node::directory}; }

Paths contents(TreeSnapshot& snapshot) {
    Paths all;
    snapshot.forEach([&](const std::string& path, const Node& node) { EXPECT_TRUE(all.emplace(path, node).second) << path; });
    return all;
}

TreeSnapshot snapshotOf(const Paths& paths) {
    TreeSnapshot snapshot;
    for (const auto& [path, node] : paths) snapshot.set(path, node);
    return snapshot;
}

// A folder of thousands of items changed in every order the kernel may report them, against a
// plain map of full paths: nothing may be lost, kept twice or misreported on the way.
TEST(TreeSnapshotTest, AgreesWithAMapOfFullPathsWhateverTheOrderOfChanges) {
    enum Order { ascending, descending, shuffled };
    const struct {
        const char* name;
        Order order;
        int erasePercent;
    } cases[] = {{"ascending", ascending, 0}, {"descending", descending, 0}, {"shuffled", shuffled, 0},
                 {"shuffledWithErasures", shuffled, 40}, {"ascendingWithErasures", ascending, 60}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> names;
        for (int i = 0; i < 3000; ++i) names.push_back("big/item " + std::to_string(i * 7919 % 3000) + (i % 3 ? ".txt" : ""));
        for (int i = 0; i < 40; ++i) names.push_back("big/sub/" + std::string(std::size_t(i % 5 + 1), char('a' + i % 26)) + std::to_string(i));
        std::sort(names.begin(), names.end());
        if (c.order == descending) std::reverse(names.begin(), names.end());
        std::mt19937 random(12345);
        if (c.order == shuffled) std::shuffle(names.begin(), names.end(), random);
        std::vector<std::string> changes = names;  // then some again: changed, or back after an erasure
        for (std::size_t i = 0; i < names.size(); i += 5) changes.push_back(names[i]);
        TreeSnapshot snapshot;
        Paths expected;
        for (std::size_t i = 0; i < changes.size(); ++i) {
            const Node node = fileOf(std::int64_t(i));
            ASSERT_EQ(snapshot.set(changes[i], node).has_value(), expected.contains(changes[i]));
            expected[changes[i]] = node;
            if (int(random() % 100) < c.erasePercent) {
                const std::string& gone = changes[random() % (i + 1)];
                EXPECT_EQ(snapshot.eraseBelow(gone), expected.contains(gone) ? expected[gone].usedBytes() : 0);
                expected.erase(gone);
            }
        }
        for (const std::string& name : names) {
            const Node* found = snapshot.find(name);
            ASSERT_EQ(found != nullptr, expected.contains(name)) << name;
            if (found) {
                EXPECT_EQ(*found, expected[name]) << name;
            }
        }
        std::int64_t used = 0;
        for (const auto& [path, node] : expected) used += node.usedBytes();
        EXPECT_EQ(snapshot.size(), expected.size());
        EXPECT_EQ(snapshot.usedBytes(), used);
        EXPECT_EQ(contents(snapshot), expected);
    }
}

// Folders named alike: "a b" and "a-c" sort between "a" and what is below it.
const Paths tree{{"a", folderNode()},   {"a/x", fileOf(1)},   {"a/c", folderNode()}, {"a/c/d", fileOf(2)},
                 {"a b", folderNode()}, {"a b/y", fileOf(4)}, {"a-c", fileOf(8)},    {"a0", fileOf(16)},
                 {"ab", folderNode()},  {"ab/x", fileOf(32)}, {"z/a", fileOf(64)}};

Paths without(Paths paths, const std::string& top) {
    std::erase_if(paths, [&](const auto& item) { return top.empty() || item.first == top || item.first.starts_with(top + '/'); });
    return paths;
}

TEST(TreeSnapshotTest, ErasingAFolderLeavesTheSiblingsItsNameBegins) {
    const struct {
        const char* name;
        std::string erased;
        std::int64_t bytes;
    } cases[] = {{"folderWithSiblings", "a", 3}, {"nested", "a/c", 2}, {"siblingWithSpace", "a b", 4},
                 {"file", "a-c", 8}, {"sameNameElsewhere", "z/a", 64}, {"unknown", "a/zz", 0}, {"everything", "", 127}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TreeSnapshot snapshot = snapshotOf(tree);
        EXPECT_EQ(snapshot.eraseBelow(c.erased), c.bytes);
        EXPECT_EQ(contents(snapshot), without(tree, c.erased));
    }
}

TEST(TreeSnapshotTest, ADiffListsEveryChangeAndAFolderThatCameOrWentAsAWhole) {
    const struct {
        const char* name;
        std::function<void(Paths&)> change;
        std::vector<std::string> expected;
    } cases[] = {
        {"nothing", [](Paths&) {}, {}},
        {"deepFile", [](Paths& p) { p["a/c/d"] = fileOf(3); }, {"a/c/d"}},
        {"folderGone", [](Paths& p) { p = without(p, "a"); }, {"a"}},
        {"folderCameBesideAChange", [](Paths& p) { p["n"] = p["n/m"] = folderNode(); p["n/m/f"] = p["a b/y"] = fileOf(5); }, {"a b/y", "n"}},
        {"fileBecameFolder", [](Paths& p) { p["a-c"] = folderNode(); p["a-c/new"] = fileOf(9); }, {"a-c"}},
        {"folderBecameFile", [](Paths& p) { p = without(p, "a"); p["a"] = fileOf(1); }, {"a"}},
        {"folderTouchedAndFileAdded", [](Paths& p) { p["a/c"] = folderNode(2); p["a/c/e"] = fileOf(7); }, {"a/c", "a/c/e"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Paths after = tree;
        c.change(after);
        TreeSnapshot before = snapshotOf(tree);
        TreeSnapshot now = snapshotOf(after);
        std::vector<std::string> listed;
        TreeSnapshot::diff(before, now, [&](const std::string& path) { listed.push_back(path); });
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(listed, c.expected);
    }
}

}  // namespace
