#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QKeyEvent>
#include <QListView>
#include <QMouseEvent>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/appkit/Application.h"
#include "platform/appkit/ColumnBrowser.h"
#include "support/UnhandledActions.h"

namespace {

// A tree of named folders; names starting with "~" are placeholder rows that cannot be selected.
struct Node {
    QString name;
    std::vector<std::shared_ptr<Node>> children;
    bool leaf = false;
};

std::shared_ptr<Node> folder(QString name, std::vector<std::shared_ptr<Node>> children = {}) {
    return std::make_shared<Node>(Node{std::move(name), std::move(children), false});
}
std::shared_ptr<Node> file(QString name) { return std::make_shared<Node>(Node{std::move(name), {}, true}); }

const Node* nodeOf(const std::any& item) {
    const auto* node = std::any_cast<const Node*>(&item);
    return node ? *node : nullptr;
}

class TreeDelegate : public ColumnBrowserDelegate {
public:
    std::shared_ptr<Node> root;
    int rootCalls = 0;
    std::map<QString, int> objectValueCalls;

    std::any rootItem(ColumnBrowser&) override {
        ++rootCalls;
        return root ? std::any(static_cast<const Node*>(root.get())) : std::any();
    }
    int numberOfChildren(ColumnBrowser&, const std::any& item) override {
        const Node* node = nodeOf(item);
        return node ? int(node->children.size()) : 0;
    }
    std::any child(ColumnBrowser&, int index, const std::any& item) override {
        return static_cast<const Node*>(nodeOf(item)->children[std::size_t(index)].get());
    }
    bool isLeafItem(ColumnBrowser&, const std::any& item) override { return nodeOf(item)->leaf; }
    std::any objectValue(ColumnBrowser&, const std::any& item) override {
        ++objectValueCalls[nodeOf(item)->name];
        return nodeOf(item)->name;
    }
    std::vector<int> selectionIndexesForProposedSelection(ColumnBrowser& browser, const std::vector<int>& proposed,
                                                          int column) override {
        if (proposed.empty()) return {};
        const Node* node = nodeOf(browser.itemAt(proposed.front(), column));
        if (node && node->name.startsWith('~')) return {};
        return proposed;
    }
};

// Trackable in its first 20 points; records what tracking it saw, and sends "cellClicked" up the
// chain on a mouse-up inside that area, as the check-box cell does.
class TrackingCell : public ColumnBrowserCell {
public:
    std::vector<std::string>* log = nullptr;
    std::unique_ptr<ColumnBrowserCell> copy() const override {
        auto cell = std::make_unique<TrackingCell>();
        copyStateTo(*cell);
        cell->log = log;
        return cell;
    }
    int hitTest(const QPointF& point, const QRectF& frame, QWidget* view) override {
        const int base = ColumnBrowserCell::hitTest(point, frame, view);
        if (QRectF(frame.left(), frame.top(), 20, frame.height()).contains(point)) {
            hitFrame_ = frame;
            return base | TrackableArea;
        }
        return base;
    }
    void stopTracking(const QPointF&, const QPointF& stop, QWidget* view, bool mouseIsUp) override {
        if (log) log->push_back("stop:" + stringValue().toStdString());
        if (mouseIsUp && QRectF(hitFrame_.left(), hitFrame_.top(), 20, hitFrame_.height()).contains(stop))
            ResponderChain::sendAction("cellClicked", this, view);
    }

private:
    QRectF hitFrame_;
};

// Receives "cellClicked" as a view controller would.
class Receiver : public QObject {
    Q_OBJECT
public:
    std::vector<std::string>* log = nullptr;
    Q_INVOKABLE void cellClicked(QObject* sender) {
        auto* cell = qobject_cast<ColumnBrowserCell*>(sender);
        if (log) log->push_back("clicked:" + (cell ? cell->stringValue().toStdString() : std::string("?")));
    }
};

class ColumnBrowserTest : public ::testing::Test {
protected:
    void SetUp() override {
        delegate.root = folder("/", {folder("Alpha", {folder("A1", {file("deep.txt")}), file("a.txt")}),
                                     folder("Beta"), file("notes.txt"), folder("~loading")});
        browser.resize(900, 300);
        browser.setDelegate(&delegate);
        browser.setAction([this] {
            log.push_back("action:" + std::to_string(browser.clickedColumn()) + "," +
                          std::to_string(browser.clickedRow()));
        });
        browser.show();
        browser.loadColumnZero();
    }

    QStringList rows(int column) const {
        QStringList names;
        auto* view = qobject_cast<QListView*>(browser.columnView(column));
        if (!view) return names;
        for (int r = 0; r < view->model()->rowCount(); ++r) names << view->model()->index(r, 0).data().toString();
        return names;
    }

    void click(int row, int column, int x = 60) {
        auto* view = qobject_cast<QListView*>(browser.columnView(column));
        ASSERT_TRUE(view);
        const QRect frame = browser.frameOfRow(row, column);
        const QPointF point = row >= 0 ? QPointF(frame.left() + x, frame.center().y()) : QPointF(60, 290);
        release(view, point, point);
    }
    void release(QListView* view, QPointF press, QPointF up) {
        QMouseEvent down(QEvent::MouseButtonPress, press, view->viewport()->mapToGlobal(press), Qt::LeftButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &down);
        QMouseEvent move(QEvent::MouseMove, up, view->viewport()->mapToGlobal(up), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &move);
        QMouseEvent upEvent(QEvent::MouseButtonRelease, up, view->viewport()->mapToGlobal(up), Qt::LeftButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(view->viewport(), &upEvent);
    }
    void key(int column, Qt::Key k) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
        QApplication::sendEvent(browser.columnView(column), &press);
    }

    TreeDelegate delegate;
    ColumnBrowser browser;
    std::vector<std::string> log;
};

TEST_F(ColumnBrowserTest, ColumnZeroListsTheRootsChildrenWithTheirLeafFlags) {
    EXPECT_EQ(browser.lastColumn(), 0);
    EXPECT_EQ(rows(0), QStringList({"Alpha", "Beta", "notes.txt", "~loading"}));
    EXPECT_FALSE(browser.loadedCell(0, 0)->isLeaf());
    EXPECT_TRUE(browser.loadedCell(2, 0)->isLeaf());
    EXPECT_EQ(browser.selectedColumn(), -1);
    EXPECT_EQ(browser.selectedCell(), nullptr);
}

struct ClickCase {
    const char* name;
    std::vector<std::pair<int, int>> clicks;  // (column, row)
    int lastColumn;
    std::vector<int> selected;  // per column up to lastColumn
    QStringList lastColumnRows;
};

class ColumnBrowserClickTest : public ColumnBrowserTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(ColumnBrowserClickTest, ClicksSelectAndOpenColumns) {
    const ClickCase& c = GetParam();
    for (auto [column, row] : c.clicks) click(row, column);
    EXPECT_EQ(browser.lastColumn(), c.lastColumn);
    for (int column = 0; column <= c.lastColumn; ++column)
        EXPECT_EQ(browser.selectedRow(column), c.selected[std::size_t(column)]) << "column " << column;
    EXPECT_EQ(rows(browser.lastColumn()), c.lastColumnRows);
    ASSERT_EQ(log.size(), c.clicks.size()) << "every click sends the action once";
    EXPECT_EQ(log.back(), "action:" + std::to_string(c.clicks.back().first) + "," +
                              std::to_string(browser.clickedRow()));
}

INSTANTIATE_TEST_SUITE_P(
    Clicks, ColumnBrowserClickTest,
    ::testing::Values(
        ClickCase{"FolderOpensItsChildren", {{0, 0}}, 1, {0, -1}, {"A1", "a.txt"}},
        ClickCase{"TwoLevelsDown", {{0, 0}, {1, 0}}, 2, {0, 0, -1}, {"deep.txt"}},
        ClickCase{"EmptyFolderOpensAnEmptyColumn", {{0, 1}}, 1, {1, -1}, {}},
        ClickCase{"LeafClosesLaterColumns", {{0, 0}, {1, 0}, {0, 2}}, 0, {2}, {"Alpha", "Beta", "notes.txt", "~loading"}},
        ClickCase{"RefusedRowKeepsTheSelection", {{0, 0}, {0, 3}}, 1, {0, -1}, {"A1", "a.txt"}},
        ClickCase{"EmptySpaceDeselects", {{0, 0}, {0, -1}}, 0, {-1}, {"Alpha", "Beta", "notes.txt", "~loading"}},
        ClickCase{"SameRowAgainKeepsTheOpenColumns", {{0, 0}, {1, 0}, {0, 0}}, 2, {0, 0, -1}, {"deep.txt"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ColumnBrowserTest, ReloadingAColumnKeepsASelectedRowThatStillExists) {
    click(0, 0);
    click(0, 1);
    ASSERT_EQ(browser.lastColumn(), 2);

    delegate.root->children[0]->children.push_back(folder("A2"));
    browser.reloadColumn(1);
    EXPECT_EQ(rows(1), QStringList({"A1", "a.txt", "A2"}));
    EXPECT_EQ(browser.selectedRow(1), 0);
    EXPECT_EQ(browser.lastColumn(), 2) << "the next column stays open";

    delegate.root->children[0]->children.clear();
    browser.reloadColumn(1);
    EXPECT_EQ(browser.selectedRow(1), -1);
    EXPECT_EQ(browser.lastColumn(), 1) << "a vanished selection closes the later columns";

    const int before = delegate.rootCalls;
    browser.reloadColumn(0);
    EXPECT_EQ(delegate.rootCalls, before + 1) << "column 0 asks for the root item again";
    browser.reloadColumn(5);  // not open: nothing
    EXPECT_EQ(browser.lastColumn(), 1);
}

TEST_F(ColumnBrowserTest, ReloadingSomeRowsReadsOnlyThoseRows) {
    delegate.objectValueCalls.clear();
    delegate.root->children[1]->name = "Beta renamed";
    browser.reloadData({1, 9}, 0);
    EXPECT_EQ(rows(0)[1], "Beta renamed");
    EXPECT_EQ(delegate.objectValueCalls.count("Alpha"), 0u);
    EXPECT_EQ(delegate.objectValueCalls["Beta renamed"], 1);
}

TEST_F(ColumnBrowserTest, ProgrammaticSelectionGoesThroughTheDelegate) {
    browser.selectRow(3, 0);
    EXPECT_EQ(browser.selectedRow(0), -1) << "a placeholder row is never selected";
    browser.selectRow(0, 0);
    EXPECT_EQ(browser.selectedCell()->stringValue(), "Alpha");
    EXPECT_TRUE(browser.selectedCell()->isHighlighted());
    EXPECT_EQ(browser.lastColumn(), 1);
    browser.selectRow(-1, 0);
    EXPECT_EQ(browser.lastColumn(), 0);
    EXPECT_TRUE(log.empty()) << "only user input sends the action";
}

TEST_F(ColumnBrowserTest, CellTracksAPressBeforeTheRowIsSelectedAndTheActionSent) {
    log.clear();
    auto prototype = std::make_unique<TrackingCell>();
    prototype->log = &log;
    browser.setCellPrototype(std::move(prototype));
    Receiver receiver;
    receiver.log = &log;
    browser.setProperty(ResponderChain::viewControllerProperty, QVariant::fromValue<QObject*>(&receiver));
    browser.loadColumnZero();

    click(1, 0, 10);  // inside the tracked area
    EXPECT_EQ(log, (std::vector<std::string>{"stop:Beta", "clicked:Beta", "action:0,1"}));

    log.clear();
    auto* view = qobject_cast<QListView*>(browser.columnView(0));
    const QRect frame = browser.frameOfRow(0, 0);
    release(view, QPointF(frame.left() + 10, frame.center().y()), QPointF(frame.left() + 80, frame.center().y()));
    EXPECT_EQ(log, (std::vector<std::string>{"stop:Alpha", "action:0,0"})) << "a mouse-up elsewhere sends nothing";

    log.clear();
    click(0, 0, 80);
    EXPECT_EQ(log, (std::vector<std::string>{"action:0,0"})) << "a press outside the area is not tracked";
}

TEST_F(ColumnBrowserTest, ArrowKeysMoveTheSelectionAndSendTheActionOnlyWhenAsked) {
    browser.setSendsActionOnArrowKeys(false);
    key(0, Qt::Key_Down);
    EXPECT_EQ(browser.selectedRow(0), 0);
    key(0, Qt::Key_Down);
    key(0, Qt::Key_Down);
    key(0, Qt::Key_Down);
    EXPECT_EQ(browser.selectedRow(0), 2) << "the placeholder row is skipped and the end holds";
    EXPECT_TRUE(log.empty());

    browser.setSendsActionOnArrowKeys(true);
    key(0, Qt::Key_Up);
    key(0, Qt::Key_Up);
    ASSERT_EQ(browser.selectedRow(0), 0);
    key(0, Qt::Key_Right);
    EXPECT_EQ(browser.selectedRow(1), 0) << "right enters the open column";
    key(1, Qt::Key_Left);
    EXPECT_EQ(browser.lastColumn(), 1);
    EXPECT_EQ(browser.selectedRow(1), -1);
    EXPECT_EQ(log, (std::vector<std::string>(4, "action:-1,-1")));
}

TEST(ResponderChainTest, FindsTheFirstTakerAlongWidgetsTheirControllersAndTheApplication) {
    std::vector<std::string> log;
    QWidget top;
    auto* middle = new QWidget(&top);
    auto* leaf = new QWidget(middle);
    Receiver controller;
    controller.log = &log;
    ColumnBrowserCell sender;
    sender.setObjectValue(QStringLiteral("x"));

    {
        UnhandledActions unhandled;
        EXPECT_FALSE(ResponderChain::sendAction("cellClicked", &sender, leaf));
        EXPECT_EQ(unhandled.names, QStringList{"cellClicked:"});
    }
    top.setProperty(ResponderChain::viewControllerProperty, QVariant::fromValue<QObject*>(&controller));
    EXPECT_TRUE(ResponderChain::sendAction("cellClicked", &sender, leaf));
    EXPECT_EQ(log, (std::vector<std::string>{"clicked:x"}));

    QObject* received = nullptr;
    Application::shared().registerAction("somethingElse:", [&](QObject* s) { received = s; });
    EXPECT_TRUE(ResponderChain::sendAction("somethingElse", &sender, leaf));
    EXPECT_EQ(received, &sender);
    Application::shared().unregisterAction("somethingElse:");
}

}  // namespace

#include "ColumnBrowserTest.moc"
