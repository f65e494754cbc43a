#pragma once

#include <QRectF>

#include <memory>
#include <optional>

#include "platform/appkit/ColumnBrowser.h"

class ObjCDirectoryNode;

// The row of the selective-sync browser: a three-state check box, the folder's icon and its name,
// or a loading label while the row's folder is not there yet. Its object value is a
// std::shared_ptr<ObjCDirectoryNode>; anything else is a loading row. A mouse-up inside the check
// box of a press that began there sends "didClickCheckbox" up the responder chain with the cell as
// sender; the browser's own click action follows it.
class CheckboxBrowserCell : public ColumnBrowserCell {
    Q_OBJECT

public:
    // Where the parts of a row go, for a cell frame and the height of the title's text.
    struct Geometry {
        QRectF checkbox;
        QRectF icon;
        QRectF title;
    };
    // The current layout (18-point check box and icon, gaps of 3) or the older compact one
    // (14-point check box moved 6 in, 16-point icon, gaps of 6 and 5).
    static Geometry geometry(const QRectF& frame, qreal textHeight, bool modern = true);
    // The loading label's frame.
    static QRectF loadingLabelFrame(const QRectF& frame, qreal textHeight);

    explicit CheckboxBrowserCell(QObject* parent = nullptr);
    ~CheckboxBrowserCell() override;

    std::unique_ptr<ColumnBrowserCell> copy() const override;

    // The folder the row shows; none for a loading row.
    std::shared_ptr<ObjCDirectoryNode> directoryNode() const;
    // Also takes the folder's state (1 on, 0 off, -1 mixed) as the cell's.
    void setObjectValue(std::any value) override;
    // The frame of the last press inside the check box, until that press ends.
    std::optional<QRectF> hitTestCellFrame() const { return hitTestCellFrame_; }

    void drawInterior(QPainter& painter, const QRectF& frame, QWidget* view) const override;
    int hitTest(const QPointF& point, const QRectF& frame, QWidget* view) override;
    bool startTracking(const QPointF& point, QWidget* view) override;
    bool continueTracking(const QPointF& last, const QPointF& current, QWidget* view) override;
    void stopTracking(const QPointF& last, const QPointF& stop, QWidget* view, bool mouseIsUp) override;
    // Never an expansion tool tip for a truncated name.
    QRectF expansionFrame(const QRectF& frame, QWidget* view) const override;
    QString accessibleText() const override;

private:
    std::optional<QRectF> hitTestCellFrame_;
};
