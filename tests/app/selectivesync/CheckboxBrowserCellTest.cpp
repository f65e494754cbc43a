#include <gtest/gtest.h>

#include <QWidget>

#include <optional>
#include <string>
#include <vector>

#include "app/common/LocalizationController.h"
#include "app/selectivesync/CheckboxBrowserCell.h"
#include "app/selectivesync/ObjCDirectoryNode.h"
#include "platform/appkit/ColumnBrowser.h"

namespace {

struct GeometryCase {
    const char* name;
    QRectF frame;
    bool modern;
    QRectF checkbox;
    QRectF icon;
    QRectF title;
};

class CellGeometryTest : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(CellGeometryTest, PlacesCheckboxIconAndTitle) {
    const GeometryCase& c = GetParam();
    const auto g = CheckboxBrowserCell::geometry(c.frame, 16, c.modern);
    EXPECT_EQ(g.checkbox, c.checkbox);
    EXPECT_EQ(g.icon, c.icon);
    EXPECT_EQ(g.title, c.title);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, CellGeometryTest,
    ::testing::Values(
        GeometryCase{"Current", {0, 0, 200, 24}, true, {0, 3, 18, 18}, {21, 3, 18, 18}, {42, 4, 150, 16}},
        GeometryCase{"Compact", {0, 0, 200, 24}, false, {6, 5, 14, 14}, {26, 4, 16, 16}, {47, 4, 145, 16}},
        GeometryCase{"OffsetRow", {10, 24, 200, 30}, true, {10, 30, 18, 18}, {31, 30, 18, 18}, {52, 31, 150, 16}},
        GeometryCase{"TooNarrowForATitle", {0, 0, 30, 24}, true, {0, 3, 18, 18}, {21, 3, 18, 18}, {42, 4, 0, 16}}),
    [](const auto& info) { return std::string(info.param.name); });

// Takes "didClickCheckbox" as the browser controller does.
class CheckboxReceiver : public QObject {
    Q_OBJECT
public:
    std::vector<QObject*> senders;
    Q_INVOKABLE void didClickCheckbox(QObject* sender) { senders.push_back(sender); }
};

struct TrackCase {
    const char* name;
    bool folder;     // a folder row, else a loading row
    QPointF press;
    QPointF release;
    bool mouseIsUp;
    bool trackable;
    bool sent;
};

class CellTrackingTest : public ::testing::TestWithParam<TrackCase> {};

TEST_P(CellTrackingTest, OnlyAPressAndReleaseInsideTheCheckboxSendTheAction) {
    const TrackCase& c = GetParam();
    QWidget view;
    CheckboxReceiver receiver;
    view.setProperty(ResponderChain::viewControllerProperty, QVariant::fromValue<QObject*>(&receiver));
    CheckboxBrowserCell prototype;
    auto made = prototype.copy();
    auto* cell = qobject_cast<CheckboxBrowserCell*>(made.get());
    ASSERT_TRUE(cell);
    if (c.folder) cell->setObjectValue(std::make_shared<ObjCDirectoryNode>(-1, "Docs", "/Docs", nullptr));
    const QRectF frame(0, 24, 220, 24);

    const int hit = cell->hitTest(c.press, frame, &view);
    EXPECT_EQ(bool(hit & ColumnBrowserCell::TrackableArea), c.trackable);
    EXPECT_EQ(cell->hitTestCellFrame().has_value(), c.trackable);
    if (hit & ColumnBrowserCell::TrackableArea) {
        EXPECT_TRUE(cell->startTracking(c.press, &view));
        EXPECT_TRUE(cell->continueTracking(c.press, c.release, &view));
        cell->stopTracking(c.press, c.release, &view, c.mouseIsUp);
    }
    EXPECT_FALSE(cell->hitTestCellFrame().has_value()) << "a finished press leaves no frame behind";
    EXPECT_EQ(receiver.senders, c.sent ? std::vector<QObject*>{cell} : std::vector<QObject*>{});
}

INSTANTIATE_TEST_SUITE_P(
    Presses, CellTrackingTest,
    ::testing::Values(TrackCase{"InsideAndUpInside", true, {9, 36}, {12, 38}, true, true, true},
                      TrackCase{"UpOutsideTheBox", true, {9, 36}, {60, 36}, true, true, false},
                      TrackCase{"PressCalledOff", true, {9, 36}, {9, 36}, false, true, false},
                      TrackCase{"PressOnTheName", true, {80, 36}, {80, 36}, true, false, false},
                      TrackCase{"PressInAnotherRow", true, {9, 12}, {9, 12}, true, false, false},
                      TrackCase{"LoadingRow", false, {9, 36}, {9, 36}, true, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CheckboxBrowserCellTest, TakesTheFolderStateAndNeverOffersAnExpansionFrame) {
    CheckboxBrowserCell cell;
    EXPECT_EQ(cell.accessibleText(), LocalizationController().ssLabelLoading());
    const auto node = std::make_shared<ObjCDirectoryNode>(-1, QString(300, 'x'), "/x", nullptr);
    cell.setObjectValue(node);
    EXPECT_EQ(cell.state(), -1) << "mixed is allowed";
    EXPECT_EQ(cell.directoryNode(), node);
    EXPECT_EQ(cell.accessibleText(), node->title());
    EXPECT_TRUE(cell.expansionFrame(QRectF(0, 0, 120, 24), nullptr).isEmpty());
    cell.setObjectValue(QStringLiteral("not a folder"));
    EXPECT_FALSE(cell.directoryNode());
}

}  // namespace

#include "CheckboxBrowserCellTest.moc"
