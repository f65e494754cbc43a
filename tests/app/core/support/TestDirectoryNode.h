#pragma once

// An in-memory remote folder tree for tests. The test writes each folder's level into a table
// (the children a level request lists, or the error it fails with); nodes answer level requests
// from that table, on a thread of the tree's own by default, at once, or when the test releases
// them. TestDirectoryUser is a test user whose root directory is such a tree's root.

#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "frameworks/business/BusinessFacade.h"
#include "frameworks/business/DirectoryHierarchyNode.h"
#include "frameworks/business/RequestCancelable.h"
#include "platform/foundation/SerialQueue.h"
#include "app/core/support/TestBusinessUser.h"

// One folder as a level lists it.
struct TestDirectorySpec {
    std::optional<QString> path;
    QString identifier;
    QString name;  // empty: the last path component, "root" for "/"
    std::int64_t flags = DirectoryHierarchyNode::selectableFlag;
    std::int64_t size = 0;
};

class TestDirectoryTree : public std::enable_shared_from_this<TestDirectoryTree> {
public:
    enum class Delivery {
        otherThread,  // on the tree's own queue, as the framework would
        immediately,  // inside loadLevel, on the caller's thread
        held,         // kept until releaseHeld()
    };

    struct Request {
        std::optional<QString> path;
        int depth = 0;
        int batch = 0;
    };

    static std::shared_ptr<TestDirectoryTree> make() { return std::shared_ptr<TestDirectoryTree>(new TestDirectoryTree); }

    // A spec with the identifier "id:<path>".
    static TestDirectorySpec folder(const QString& path, std::int64_t flags = DirectoryHierarchyNode::selectableFlag) {
        TestDirectorySpec spec;
        spec.path = path;
        spec.identifier = QStringLiteral("id:") + path;
        spec.flags = flags;
        return spec;
    }

    // The level of `path`: the children its level request lists, in this order.
    void setLevel(const QString& path, std::vector<TestDirectorySpec> children) {
        std::lock_guard lock(mutex_);
        levels_[path] = std::move(children);
        failures_.erase(path);
    }
    // The same with plain folders ("id:<path>" identifiers, selectable).
    void setLevel(const QString& path, const std::vector<QString>& childPaths) {
        std::vector<TestDirectorySpec> specs;
        for (const QString& child : childPaths) specs.push_back(folder(child));
        setLevel(path, std::move(specs));
    }
    // Level requests of `path` fail with `error` until the level is set again.
    void fail(const QString& path, BusinessError error) {
        std::lock_guard lock(mutex_);
        failures_[path] = std::move(error);
    }
    void setDelivery(Delivery delivery) {
        std::lock_guard lock(mutex_);
        delivery_ = delivery;
    }

    // A node made from its description, its children not loaded.
    std::shared_ptr<DirectoryHierarchyNode> node(TestDirectorySpec spec);
    std::shared_ptr<DirectoryHierarchyNode> root() { return node(folder(QStringLiteral("/"))); }

    // Delivers the held answers, on the tree's queue; answers how many there were.
    int releaseHeld() {
        std::vector<std::function<void()>> held;
        {
            std::lock_guard lock(mutex_);
            held.swap(held_);
        }
        for (auto& deliver : held) queue_->async(std::move(deliver));
        return int(held.size());
    }
    // Waits until everything handed to the tree's queue so far has run.
    void drain() {
        queue_->sync([] {});
    }
    std::vector<Request> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

    // Called by the nodes.
    std::shared_ptr<Cancelable> load(const TestDirectorySpec& spec, int depth, int batch,
                                     DirectoryHierarchyNode::LevelCompletion completion);

private:
    TestDirectoryTree() : queue_(std::make_shared<SerialQueue>(QStringLiteral("test.directory.tree"))) {}

    // The folder with `depth` levels filled in from the table (caller holds the lock).
    std::shared_ptr<DirectoryHierarchyNode> filled(const TestDirectorySpec& spec, int depth);

    mutable std::mutex mutex_;
    std::map<QString, std::vector<TestDirectorySpec>> levels_;
    std::map<QString, BusinessError> failures_;
    Delivery delivery_ = Delivery::otherThread;
    std::vector<std::function<void()>> held_;
    std::vector<Request> requests_;
    std::shared_ptr<SerialQueue> queue_;
};

class TestDirectoryNode final : public DirectoryHierarchyNode {
public:
    TestDirectoryNode(std::shared_ptr<TestDirectoryTree> tree, TestDirectorySpec spec,
                      std::optional<std::vector<std::shared_ptr<DirectoryHierarchyNode>>> children)
        : tree_(std::move(tree)), spec_(std::move(spec)), children_(std::move(children)) {}

    std::optional<QString> path() const override { return spec_.path; }
    QString identifier() const override { return spec_.identifier; }
    QString name() const override {
        if (!spec_.name.isEmpty() || !spec_.path) return spec_.name;
        if (*spec_.path == QStringLiteral("/")) return QStringLiteral("root");
        return spec_.path->section(QLatin1Char('/'), -1);
    }
    std::int64_t flags() const override { return spec_.flags; }
    std::int64_t size() const override { return spec_.size; }
    std::optional<std::vector<std::shared_ptr<DirectoryHierarchyNode>>> children() const override { return children_; }
    std::shared_ptr<Cancelable> loadLevel(int depth, int batch, LevelCompletion completion) const override {
        return tree_->load(spec_, depth, batch, std::move(completion));
    }

private:
    std::shared_ptr<TestDirectoryTree> tree_;
    TestDirectorySpec spec_;
    std::optional<std::vector<std::shared_ptr<DirectoryHierarchyNode>>> children_;
};

inline std::shared_ptr<DirectoryHierarchyNode> TestDirectoryTree::node(TestDirectorySpec spec) {
    return std::make_shared<TestDirectoryNode>(shared_from_this(), std::move(spec), std::nullopt);
}

inline std::shared_ptr<DirectoryHierarchyNode> TestDirectoryTree::filled(const TestDirectorySpec& spec, int depth) {
    std::optional<std::vector<std::shared_ptr<DirectoryHierarchyNode>>> children;
    if (depth > 0) {
        children.emplace();
        const auto level = spec.path ? levels_.find(*spec.path) : levels_.end();
        if (level != levels_.end())
            for (const auto& child : level->second) children->push_back(filled(child, depth - 1));
    }
    return std::make_shared<TestDirectoryNode>(shared_from_this(), spec, std::move(children));
}

inline std::shared_ptr<Cancelable> TestDirectoryTree::load(const TestDirectorySpec& spec, int depth, int batch,
                                                           DirectoryHierarchyNode::LevelCompletion completion) {
    auto request = std::make_shared<RequestCancelable>();
    std::function<void()> deliver;
    Delivery delivery;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(Request{spec.path, depth, batch});
        const auto failure = spec.path ? failures_.find(*spec.path) : failures_.end();
        auto result = failure != failures_.end()
                          ? BusinessResult<std::shared_ptr<DirectoryHierarchyNode>>(failure->second)
                          : BusinessResult<std::shared_ptr<DirectoryHierarchyNode>>(filled(spec, depth));
        deliver = [request, completion = std::move(completion), result = std::move(result)] {
            request->complete([&] {
                if (completion) completion(result);
            });
        };
        delivery = delivery_;
        if (delivery == Delivery::held) held_.push_back(deliver);
    }
    if (delivery == Delivery::immediately) deliver();
    else if (delivery == Delivery::otherThread) queue_->async(std::move(deliver));
    return request;
}

// A test user whose remote tree is a TestDirectoryTree (or none).
class TestDirectoryUser : public TestBusinessUser {
public:
    using TestBusinessUser::TestBusinessUser;
    std::shared_ptr<DirectoryHierarchyNode> rootDirectory() const override {
        std::lock_guard lock(mutex_);
        return root_;
    }
    void setRootDirectory(std::shared_ptr<DirectoryHierarchyNode> root) {
        std::lock_guard lock(mutex_);
        root_ = std::move(root);
    }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<DirectoryHierarchyNode> root_;
};
