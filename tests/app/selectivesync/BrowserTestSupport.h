#pragma once

// The selective-sync browser against a store file of its own, a remote tree in memory, a test
// facade whose sync engine records what it is given, and alerts answered by a responder.

#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QListView>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <memory>
#include <vector>

#include "StoreTestTree.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/core/support/TestDirectoryNode.h"
#include "app/selectivesync/SelectiveSyncBrowserController.h"
#include "app/selectivesync/StoreController.h"
#include "frameworks/sync/SyncFacade.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/ColumnBrowser.h"
#include "support/TestEnvironment.h"

namespace browsertest {

class RecordingSyncFacade : public SyncFacade, public LocalChangesListener {
public:
    LocalChangesListener& localChangesListener() override { return *this; }
    std::vector<SelectiveSyncItem> subscriptions() const override { return items; }
    void setSubscriptions(const std::vector<SelectiveSyncItem>& newItems) override {
        items = newItems;
        ++setCalls;
    }
    std::vector<SyncErrorInfo> syncErrors() const override { return {}; }
    void triggerSync() override { ++triggerCalls; }
    void setSyncEnabled(bool) override {}
    OVItemSyncStatus itemSyncStatus(const QString&) const override { return OVItemSyncStatus::synced; }
    void fileChanged(const QString&) override {}
    void fileMoved(const QString&, const QString&) override {}
    void fileReplaced(const QString&, const QString&) override {}
    void directoryAdded(const QString&) override {}
    void directoryMoved(const QString&, const QString&) override {}
    void directoryReplaced(const QString&, const QString&) override {}
    void itemDeleted(const QString&) override {}
    void itemPermissionChanged(const QString&, bool) override {}
    void mustScanSubDirectories() override {}

    std::vector<SelectiveSyncItem> items;
    int setCalls = 0;
    int triggerCalls = 0;
};

class SyncTestFacade : public TestBusinessFacade {
public:
    using TestBusinessFacade::TestBusinessFacade;
    SyncFacade* syncFacade() const override { return sync; }
    SyncFacade* sync = nullptr;
};

class BrowserFixture : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        facade = std::make_shared<SyncTestFacade>(QStringLiteral("test.group.browser.%1").arg(++counter));
        facade->sync = &sync;
        BusinessFacadeHolder::setFacadeForTesting(facade);
        tree = TestDirectoryTree::make();
        tree->setLevel("/", std::vector<QString>{"/a", "/b", "/users"});
        tree->setLevel("/a", std::vector<QString>{"/a/x", "/a/y"});
        tree->setLevel("/users", std::vector<QString>{"/users/anna"});
        user = std::make_shared<TestDirectoryUser>();
        user->setRootDirectory(tree->root());
        facade->user = user;
        ASSERT_TRUE(syncRoot.isValid());
        facade->settings()->setSyncRoot(syncRoot.path());
        facade->settings()->setIsAlreadyLaunched(true);
        store = storeFile.open();
        Alert::clearShownAlerts();
        Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
    }
    void TearDown() override {
        controller.reset();
        tree->drain();
        QCoreApplication::processEvents();
        Alert::setResponder(nullptr);
        BusinessFacadeHolder::setFacadeForTesting(nullptr);
    }

    // Seeds the store ("/:1 /a:0 ...") and saves it.
    void seed(const QString& spec) {
        storetest::build(*store, spec);
        ASSERT_FALSE(store->viewContext().save());
    }

    SelectiveSyncBrowserController& make() {
        controller = std::make_unique<SelectiveSyncBrowserController>(store);
        return *controller;
    }

    // Shows the browser and waits for the root level.
    SelectiveSyncBrowserController& showLoaded() {
        auto& c = controller ? *controller : make();
        c.view()->resize(900, 360);
        c.view()->show();
        EXPECT_TRUE(TestEnvironment::waitUntil([&] { return settled() && numberOfRows(0) > 0; }));
        return c;
    }

    // The browser under test: the one made here, or the one a sheet embeds.
    SelectiveSyncBrowserController* current() const { return embedded ? embedded.data() : controller.get(); }
    bool settled() const { return current() && !current()->isUpdating(); }
    // No load running, and what the last loads handed to the main queue (column reloads) done.
    bool waitSettled() {
        for (int round = 0; round < 3; ++round) {
            if (!TestEnvironment::waitUntil([&] { return settled(); })) return false;
            QCoreApplication::processEvents();
        }
        return settled();
    }

    QListView* column(int index) const { return qobject_cast<QListView*>(current()->browser()->columnView(index)); }
    int numberOfRows(int index) const { return current()->browser()->numberOfRows(index); }

    // "title:state" of each row, as the column's model shows them.
    QString rows(int index) const {
        QStringList words;
        QListView* view = column(index);
        if (!view) return "-";
        for (int r = 0; r < view->model()->rowCount(); ++r) {
            const QModelIndex i = view->model()->index(r, 0);
            const int check = i.data(Qt::CheckStateRole).toInt();
            words << i.data().toString() + ':' + QString::number(check == Qt::Checked ? 1 : check == Qt::Unchecked ? 0 : -1);
        }
        return words.join(' ');
    }

    int rowTitled(int index, const QString& title) const {
        QListView* view = column(index);
        for (int r = 0; view && r < view->model()->rowCount(); ++r)
            if (view->model()->index(r, 0).data().toString() == title) return r;
        return -1;
    }

    // A real click on the row: inside its check box, or on its name.
    void click(int index, const QString& title, bool onCheckbox) {
        const int row = rowTitled(index, title);
        ASSERT_GE(row, 0) << title.toStdString() << " in " << rows(index).toStdString();
        QListView* view = column(index);
        const QRect frame = current()->browser()->frameOfRow(row, index);
        const QPointF point(frame.left() + (onCheckbox ? 9 : 80), frame.center().y());
        for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent event(type, point, view->viewport()->mapToGlobal(point), Qt::LeftButton,
                              type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(view->viewport(), &event);
        }
    }

    // Opens a folder (a click on its name) and waits for its children.
    void open(int index, const QString& title) {
        click(index, title, false);
        ASSERT_TRUE(TestEnvironment::waitUntil([&] {
            return settled() && numberOfRows(index + 1) > 0 && !rows(index + 1).contains("Loading");
        })) << rows(index + 1).toStdString();
    }

    int selectAllState() const {
        const auto state = current()->selectAllFoldersCheckbox()->checkState();
        return state == Qt::Checked ? 1 : state == Qt::Unchecked ? 0 : -1;
    }

    storetest::StoreFile storeFile;
    QTemporaryDir syncRoot{QStringLiteral("/dev/shm/orvella-syncroot-XXXXXX")};
    std::shared_ptr<SyncTestFacade> facade;
    RecordingSyncFacade sync;
    std::shared_ptr<TestDirectoryTree> tree;
    std::shared_ptr<TestDirectoryUser> user;
    std::shared_ptr<StoreController> store;
    std::unique_ptr<SelectiveSyncBrowserController> controller;
    QPointer<SelectiveSyncBrowserController> embedded;
};

// The two answers to the question asked when the free-space check could not tell, and whether the
// selection is applied after each.
struct UncheckedSpaceAnswer {
    const char* name;
    int answer;
    bool applied;
};
inline const UncheckedSpaceAnswer uncheckedSpaceAnswers[] = {{"applyAnyway", Alert::FirstButtonReturn, true},
                                                             {"cancel", Alert::SecondButtonReturn, false}};

}  // namespace browsertest
