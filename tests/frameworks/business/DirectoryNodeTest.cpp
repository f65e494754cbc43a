#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QThread>

#include <unistd.h>

#include "FacadeTestSupport.h"
#include "frameworks/business/OrvellaDirectoryNode.h"
#include "service/ServiceLock.h"

namespace {

using NodePtr = std::shared_ptr<DirectoryHierarchyNode>;
using LevelResult = BusinessResult<NodePtr>;

// Builds a tree below `root` from lines: "a/" a folder, "a/f:12" a file of 12 bytes,
// "a/l->target" a symbolic link.
void makeTree(const QString& root, const QStringList& entries) {
    for (const QString& entry : entries) {
        if (entry.endsWith('/')) {
            ASSERT_TRUE(QDir().mkpath(root + '/' + entry));
        } else if (entry.contains("->")) {
            const QString link = root + '/' + entry.section("->", 0, 0);
            QString target = entry.section("->", 1);
            ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(link).constData()), 0);
        } else {
            const QString path = root + '/' + entry.section(':', 0, 0);
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile file(path);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(entry.section(':', 1).toInt(), 'x'));
        }
    }
}

// "/a 8 {/a/x 5 ?}": path, size, and the children when they were filled in ("?" when not).
QString render(const DirectoryHierarchyNode& node) {
    QString text = *node.path() + ' ' + QString::number(node.size());
    const auto children = node.children();
    if (!children) return text + " ?";
    QStringList parts;
    for (const auto& child : *children) parts << render(*child);
    return text + " {" + parts.join(", ") + '}';
}

LevelResult load(const DirectoryHierarchyNode& node, int depth = 1) {
    Outcome<LevelResult> outcome;
    auto request = node.loadLevel(depth, 1, outcome.handler());
    EXPECT_TRUE(request);
    EXPECT_TRUE(outcome.wait());
    EXPECT_FALSE(outcome.ranOnMainThread());
    EXPECT_EQ(outcome.calls(), 1);
    return outcome.result();
}

NodePtr child(const DirectoryHierarchyNode& node, const QString& name) {
    for (const auto& c : node.children().value_or(std::vector<NodePtr>{}))
        if (c->name() == name) return c;
    return nullptr;
}

class DirectoryNodeFixture : public FacadeFixture {
protected:
    void SetUp() override {
        FacadeFixture::SetUp();
        makeAccount("alice");
        ASSERT_TRUE(facade->signInNow("alice", "password1").isSuccess());
        home = service->homeFolder("alice");
        root = facade->currentUser()->rootDirectory();
        ASSERT_TRUE(root);
    }
    QString home;
    NodePtr root;
};

struct LevelCase {
    const char* name;
    QStringList entries;
    QString start;  // the folder loaded, reached level by level from the root
    int depth;
    QString expected;
};

class DirectoryLevelTest : public DirectoryNodeFixture, public ::testing::WithParamInterface<LevelCase> {};

TEST_P(DirectoryLevelTest, LoadsTheRequestedLevels) {
    const auto& c = GetParam();
    makeTree(home, c.entries);
    NodePtr node = root;
    for (const QString& part : c.start.split('/', Qt::SkipEmptyParts)) {
        auto level = load(*node);
        ASSERT_TRUE(level.isSuccess());
        node = child(*level.value(), part);
        ASSERT_TRUE(node) << part.toStdString();
    }
    const auto result = load(*node, c.depth);
    ASSERT_TRUE(result.isSuccess());
    EXPECT_EQ(render(*result.value()), c.expected);
}

const QStringList sample{"a/x/f:5", "a/g:3", "b/", "h:7"};

INSTANTIATE_TEST_SUITE_P(
    Trees, DirectoryLevelTest,
    ::testing::Values(
        LevelCase{"EmptyHome", {}, "/", 1, "/ 0 {}"},
        LevelCase{"OneLevel", sample, "/", 1, "/ 15 {/a 8 ?, /b 0 ?}"},
        LevelCase{"TwoLevels", sample, "/", 2, "/ 15 {/a 8 {/a/x 5 ?}, /b 0 {}}"},
        LevelCase{"AFolderBelow", sample, "/a", 1, "/a 8 {/a/x 5 ?}"},
        LevelCase{"EngineTempItemsLeftOut", {".~ovsync-a1:50", ".~ovsync-d/f:9", ".config/k:2", "p/.~ovsync-b:4"}, "/", 1,
                  "/ 2 {/.config 2 ?, /p 0 ?}"},
        LevelCase{"LinksNeitherListedNorCounted",
                  {"a/f:1", "la->a", "lf->a/f", "out->/etc", "a/up->..", "dangling->/no/such"}, "/", 2,
                  "/ 1 {/a 1 {}}"},
        LevelCase{"NonAsciiNames", {"Über/é:4", "日本/"}, "/", 1, "/ 4 {/Über 4 ?, /日本 0 ?}"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DirectoryNodeFixture, NodesDescribeThemselvesAndKeepTheirIdentifiers) {
    makeTree(home, {"a/Old/", "b/"});
    EXPECT_EQ(root->path(), "/");
    EXPECT_EQ(root->name(), "root");
    EXPECT_EQ(root->flags(), DirectoryHierarchyNode::selectableFlag);
    const auto first = load(*root, 2);
    ASSERT_TRUE(first.isSuccess());
    // The unloaded root and its loaded form are the same folder.
    EXPECT_EQ(first.value()->identifier(), root->identifier());
    const auto old = child(*child(*first.value(), "a"), "Old");
    ASSERT_TRUE(old);
    EXPECT_EQ(old->name(), "Old");
    EXPECT_EQ(old->flags(), DirectoryHierarchyNode::selectableFlag);
    const QString a = child(*first.value(), "a")->identifier();
    const QString b = child(*first.value(), "b")->identifier();
    EXPECT_NE(a, b);

    // Read again, and after a rename: each folder keeps its identifier.
    ASSERT_TRUE(QDir(home).rename("b", "c"));
    const auto second = load(*facade->currentUser()->rootDirectory());
    ASSERT_TRUE(second.isSuccess());
    ASSERT_TRUE(child(*second.value(), "c"));
    EXPECT_EQ(child(*second.value(), "a")->identifier(), a);
    EXPECT_EQ(child(*second.value(), "c")->identifier(), b);
}

struct ErrorCase {
    const char* name;
    std::function<void(OrvellaFacade& facade, StorageService& service, const QString& home)> change;
    BusinessError::Kind expected;
};

class DirectoryErrorTest : public DirectoryNodeFixture, public ::testing::WithParamInterface<ErrorCase> {};

TEST_P(DirectoryErrorTest, FailsWithTheMatchingError) {
    makeTree(home, {"a/f:1", "elsewhere/g:1"});
    const auto level = load(*root);
    ASSERT_TRUE(level.isSuccess());
    const auto a = child(*level.value(), "a");
    ASSERT_TRUE(a);
    GetParam().change(*facade, *service, home);
    const auto result = load(*a);
    service->setReachable(true);
    ASSERT_FALSE(result.isSuccess());
    EXPECT_EQ(result.error().kind, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Failures, DirectoryErrorTest,
    ::testing::Values(
        ErrorCase{"SessionEnded",
                  [](OrvellaFacade& facade, StorageService&, const QString&) {
                      Outcome<VoidResult> out;
                      facade.logout(false, out.handler());
                      ASSERT_TRUE(out.wait());
                  },
                  BusinessError::Kind::invalidSession},
        ErrorCase{"ServiceUnreachable",
                  [](OrvellaFacade&, StorageService& service, const QString&) { service.setReachable(false); },
                  BusinessError::Kind::noConnection},
        ErrorCase{"FolderRemoved",
                  [](OrvellaFacade&, StorageService&, const QString& home) {
                      ASSERT_TRUE(QDir(home + "/a").removeRecursively());
                  },
                  BusinessError::Kind::directoryUnknown},
        ErrorCase{"FolderReplacedByALink",
                  [](OrvellaFacade&, StorageService&, const QString& home) {
                      ASSERT_TRUE(QDir(home + "/a").removeRecursively());
                      ASSERT_TRUE(QFile::link(home + "/elsewhere", home + "/a"));
                  },
                  BusinessError::Kind::directoryUnknown}),

    [](const auto& info) { return std::string(info.param.name); });

TEST_F(DirectoryNodeFixture, ACancelledRequestNeverCallsBack) {
    // Keep the facade's queue busy behind the service lock, so the cancel surely comes first.
    auto held = std::make_unique<ServiceLock>(service->lockFilePath(), 0);
    ASSERT_TRUE(held->isLocked());
    // A name already taken: refused under the lock, so alice's session lives on.
    Outcome<VoidResult> blocker;
    facade->createAccount("alice", "alice@example.org", "password1", blocker.handler());
    Outcome<LevelResult> cancelled, kept;
    auto cancelledRequest = root->loadLevel(1, 1, cancelled.handler());
    auto keptRequest = root->loadLevel(1, 1, kept.handler());
    cancelledRequest->cancel();
    EXPECT_TRUE(cancelledRequest->isCancelled());
    held.reset();

    ASSERT_TRUE(kept.wait());
    EXPECT_EQ(blocker.calls(), 1);
    EXPECT_TRUE(kept.result().isSuccess());
    QThread::msleep(20);
    EXPECT_EQ(cancelled.calls(), 0);
    EXPECT_EQ(kept.calls(), 1);
}

}  // namespace
