// Deletions carried over as one batch: what cannot be removed, or changed on the way, stays and is
// reported or brought back, never lost; and the journal's reports of the engine's own changes are
// never mistaken for changes made after them.
#include "SyncTestSupport.h"

#include <functional>
#include <mutex>
#include <set>

namespace {

namespace fs = SyncFileSystem;
using Tree = std::map<QString, QByteArray>;

// Every case's folder starts as this, on both sides.
const std::vector<std::pair<QString, QByteArray>> initialItems{
    {QStringLiteral("a"), "a"}, {QStringLiteral("b"), "b"}, {QStringLiteral("c"), "c"}, {QStringLiteral("sub/d"), "d"}};

struct RemovalCase {
    const char* name;
    bool deletedLocally;  // else remotely: the removals are then local ones
    QStringList deleted;  // below the case's folder; none: the folder itself
    enum Interference { none, readOnlyFolder, changedBefore, changedOnTheWay, addedOnTheWay } interference;
    Tree expected;  // below the folder, on both sides unless `expectedOnTheDeletedSide`
    std::optional<Tree> expectedOnTheDeletedSide;
    std::set<QString> errors;  // below the folder
};

class BatchRemoval : public EngineFixture {
public:
    void SetUp() override {
        EngineFixture::SetUp();
        start();
        ASSERT_TRUE(waitUpToDate());
    }
    // The items below `folder` of a tree, keyed below it.
    static Tree below(const Tree& all, const QString& folder) {
        Tree items;
        for (const auto& [path, content] : all)
            if (path.startsWith(folder + QLatin1Char('/'))) items[path.mid(folder.size() + 1)] = content;
            else if (path == folder) items[QString()] = content;
        return items;
    }
};

TEST_F(BatchRemoval, WhatCannotBeRemovedOrChangedMeanwhileStaysAndIsReported) {
    const QByteArray folderMark("/");
    using C = RemovalCase;
    const std::vector<RemovalCase> cases{
        {"whole", true, {}, C::none, {}, std::nullopt, {}},
        {"someFiles", true, {"b", "sub/d"}, C::none, {{QString(), folderMark}, {"a", "a"}, {"c", "c"}, {"sub", folderMark}}, std::nullopt, {}},
        // What a folder without write permission holds cannot go, and is reported; it does not come
        // back either, only the folder that holds it.
        {"readOnly", true, {}, C::readOnlyFolder, {{QString(), folderMark}},
         Tree{{QString(), folderMark}, {"a", "a"}, {"b", "b"}, {"c", "c"}, {"sub", folderMark}}, {"a", "b", "c", "sub"}},
        // Changed remotely since the last sync: it comes back down with what holds it.
        {"changedBefore", true, {}, C::changedBefore, {{QString(), folderMark}, {"a", "a2"}}, std::nullopt, {}},
        {"changedOnTheWay", true, {}, C::changedOnTheWay, {{QString(), folderMark}, {"a", "changed"}}, std::nullopt, {}},
        {"changedOnTheWayInAFolderThatStays", true, {"b", "c"}, C::changedOnTheWay,
         {{QString(), folderMark}, {"a", "a"}, {"b", "changed"}, {"sub", folderMark}, {"sub/d", "d"}}, std::nullopt, {}},
        {"addedOnTheWay", true, {}, C::addedOnTheWay, {{QString(), folderMark}, {"new", "new"}}, std::nullopt, {}},
        // The other way round: the local side keeps what changed there and sends it back up.
        {"locallyWhole", false, {}, C::none, {}, std::nullopt, {}},
        {"locallyReadOnly", false, {}, C::readOnlyFolder, {{QString(), folderMark}},
         Tree{{QString(), folderMark}, {"a", "a"}, {"b", "b"}, {"c", "c"}, {"sub", folderMark}}, {"a", "b", "c", "sub"}},
        {"locallyChangedOnTheWay", false, {}, C::changedOnTheWay, {{QString(), folderMark}, {"a", "changed"}}, std::nullopt, {}},
    };
    for (const RemovalCase& c : cases)
        for (const auto& [path, content] : initialItems) write(local(QString::fromLatin1(c.name) + QLatin1Char('/') + path), content);
    engine->triggerSync();
    ASSERT_TRUE(waitUpToDate());
    ASSERT_EQ(tree(remoteRoot), tree(localRoot));

    // Everything is taken in by the one pass that resumes.
    engine->setSyncEnabled(false);
    ASSERT_TRUE(waitIdle(SyncStatus::Kind::paused));
    struct Trigger {
        QString whenGone;  // the sibling removed just before
        std::function<void()> act;
        bool fired = false;
    };
    std::mutex triggersMutex;
    std::map<QString, Trigger> triggers;  // by the absolute path whose removal is looked at
    for (const RemovalCase& c : cases) {
        const QString folder = QString::fromLatin1(c.name);
        const QString& removing = c.deletedLocally ? remoteRoot : localRoot;
        const QString& deleting = c.deletedLocally ? localRoot : remoteRoot;
        const auto at = [&](const QString& root, const QString& path) { return fs::join(root, fs::join(folder, path)); };
        switch (c.interference) {
        case C::none: break;
        case C::readOnlyFolder:
            ASSERT_TRUE(QFile::setPermissions(at(removing, QString()), QFile::ReadOwner | QFile::ExeOwner));
            break;
        case C::changedBefore: write(at(removing, "a"), "a2"); break;
        // Removals go deepest and last name first: "a" after "b".
        case C::changedOnTheWay: {
            const QString path = at(removing, c.deleted.isEmpty() ? QStringLiteral("a") : c.deleted.front());
            triggers[path] = Trigger{at(removing, c.deleted.isEmpty() ? QStringLiteral("b") : c.deleted.back()),
                                     [=] { write(path, "changed"); }};
            break;
        }
        case C::addedOnTheWay: {
            const QString added = at(removing, "new");
            triggers[at(removing, "a")] = Trigger{at(removing, "b"), [=] { write(added, "new"); }};
            break;
        }
        }
        if (c.deleted.isEmpty()) removeTree(at(deleting, QString()));
        for (const QString& path : c.deleted) removeTree(at(deleting, path));
        if (c.deletedLocally) engine->itemDeleted(at(deleting, QString()));
    }
    InjectedFault onTheWay([&](fs::Operation operation, const QString& absolute) {
        if (operation != fs::Operation::stat) return 0;
        std::lock_guard lock(triggersMutex);
        const auto it = triggers.find(absolute);
        if (it != triggers.end() && !it->second.fired && !QFileInfo::exists(it->second.whenGone)) {
            it->second.fired = true;
            it->second.act();
        }
        return 0;
    });
    engine->setSyncEnabled(true);
    ASSERT_TRUE(waitIdle(SyncStatus::Kind::error));

    const Tree localTree = tree(localRoot), remoteTree = tree(remoteRoot);
    std::map<QString, std::set<QString>> errors;
    for (const SyncErrorInfo& error : engine->syncErrors()) {
        ASSERT_TRUE(error.rootRelativePath);
        const QString path = *error.rootRelativePath;
        const QString folder = path.section(QLatin1Char('/'), 0, 0);
        errors[folder].insert(path.mid(folder.size() + 1));
        const bool remoteSide = folder == QStringLiteral("readOnly");
        EXPECT_EQ(error.error.kind, remoteSide ? SyncError::Kind::itemIsReadonlyOnRemote : SyncError::Kind::itemIsInReadonlyDirectory)
            << path.toStdString();
    }
    for (const RemovalCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = QString::fromLatin1(c.name);
        EXPECT_EQ(below(c.deletedLocally ? remoteTree : localTree, folder), c.expectedOnTheDeletedSide.value_or(c.expected))
            << "the side the removals are made on";
        EXPECT_EQ(below(c.deletedLocally ? localTree : remoteTree, folder), c.expected) << "the side the deletion was made on";
        EXPECT_EQ(errors[folder], c.errors);
        std::lock_guard lock(triggersMutex);
        for (const auto& [path, trigger] : triggers) {
            if (fs::relativeTo(c.deletedLocally ? remoteRoot : localRoot, path).value_or(QString()).startsWith(folder + '/')) {
                EXPECT_TRUE(trigger.fired) << "the change came on the way, not before";
            }
        }
    }
}

// The journal reports what the engine removed or wrote remotely, and the engine does not look at
// those reports again; a change made right after its own is still news.
TEST_F(BatchRemoval, AChangeRightAfterTheEnginesOwnIsNotTakenForItsEcho) {
    struct Case {
        const char* name;
        std::function<void(BatchRemoval&)> ownChange;  // made by the engine, told locally
        std::function<bool(BatchRemoval&)> ownChangeDone;
        std::function<void(BatchRemoval&)> rightAfter;  // remotely, at once
        Tree expectedBelow;  // the case's folder, on both sides afterwards
    };
    const std::vector<Case> cases{
        {"removedFolderMadeAnew",
         [](BatchRemoval& t) {
             t.removeTree(t.local("removedFolderMadeAnew"));
             t.engine->itemDeleted(t.local("removedFolderMadeAnew"));
         },
         [](BatchRemoval& t) { return !QFileInfo::exists(t.remote("removedFolderMadeAnew")); },
         [](BatchRemoval& t) { write(t.remote("removedFolderMadeAnew/x"), "anew"); },
         {{QString(), "/"}, {"x", "anew"}}},
        {"uploadedFileRewritten",
         [](BatchRemoval& t) {
             write(t.local("uploadedFileRewritten/x"), "mine");
             t.engine->fileChanged(t.local("uploadedFileRewritten/x"));
         },
         [](BatchRemoval& t) { return read(t.remote("uploadedFileRewritten/x")) == QByteArray("mine"); },
         [](BatchRemoval& t) {
             QFile::remove(t.remote("uploadedFileRewritten/x"));
             write(t.remote("uploadedFileRewritten/x"), "them");
         },
         {{QString(), "/"}, {"x", "them"}, {"y", "y"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString folder = QString::fromLatin1(c.name);
        write(local(folder + QStringLiteral("/y")), "y");
        engine->directoryAdded(local(folder));
        ASSERT_TRUE(waitUpToDate());
        c.ownChange(*this);
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return c.ownChangeDone(*this); }));
        c.rightAfter(*this);
        ASSERT_TRUE(TestEnvironment::waitUntil([&] {
            return below(tree(localRoot), folder) == c.expectedBelow && below(tree(remoteRoot), folder) == c.expectedBelow;
        })) << "local: " << below(tree(localRoot), folder).size() << " items";
        ASSERT_TRUE(waitUpToDate());
    }
}

}  // namespace
