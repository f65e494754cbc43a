#pragma once

#include <QObject>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QString>
#include <QWidget>

#include <any>
#include <functional>
#include <memory>
#include <vector>

class ColumnBrowser;
class QPainter;
class QScrollArea;
class QHBoxLayout;

// The look and click behaviour of one row of a column browser. The browser makes one copy of its
// prototype cell per row; the row's object value is set from the delegate. A cell is a QObject so
// that it can be the sender of the actions it sends up the responder chain.
class ColumnBrowserCell : public QObject {
    Q_OBJECT

public:
    // Answers of hitTest, combined as bits.
    enum HitResult { NoCellHit = 0, ContentArea = 1, EditableTextArea = 2, TrackableArea = 4 };

    explicit ColumnBrowserCell(QObject* parent = nullptr);
    ~ColumnBrowserCell() override;

    // A new cell like this one, for another row. Subclasses return their own class.
    virtual std::unique_ptr<ColumnBrowserCell> copy() const;

    const std::any& objectValue() const { return objectValue_; }
    virtual void setObjectValue(std::any value) { objectValue_ = std::move(value); }
    // The object value when it holds text; empty otherwise.
    QString stringValue() const;

    // 1 on, 0 off, -1 mixed (only kept when mixed is allowed; else it reads as on).
    int state() const { return state_; }
    void setState(int state);
    bool allowsMixedState() const { return allowsMixedState_; }
    void setAllowsMixedState(bool allows) { allowsMixedState_ = allows; }
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted) { highlighted_ = highlighted; }
    // A leaf row opens no further column and draws no branch arrow.
    bool isLeaf() const { return leaf_; }
    void setLeaf(bool leaf) { leaf_ = leaf; }

    // The whole row: selection background, interior, branch arrow. `frame` is in `view`'s
    // coordinates.
    virtual void draw(QPainter& painter, const QRectF& frame, QWidget* view) const;
    // What the row shows inside its frame; by default the string value.
    virtual void drawInterior(QPainter& painter, const QRectF& frame, QWidget* view) const;
    // Which part of the cell a mouse press at `point` (in `view`'s coordinates) lands on; a
    // trackable answer makes the browser track the press through the cell.
    virtual int hitTest(const QPointF& point, const QRectF& frame, QWidget* view);
    // Tracking of a press the cell said was trackable: start, each move, and the end (`mouseIsUp`
    // false when the press was called off, e.g. the row went away).
    virtual bool startTracking(const QPointF& point, QWidget* view);
    virtual bool continueTracking(const QPointF& last, const QPointF& current, QWidget* view);
    virtual void stopTracking(const QPointF& last, const QPointF& stop, QWidget* view, bool mouseIsUp);
    // Where a tool tip with the full string value shows when the row is too narrow for it; an empty
    // rectangle for none.
    virtual QRectF expansionFrame(const QRectF& frame, QWidget* view) const;
    // The row's text for accessibility and the model's display role.
    virtual QString accessibleText() const { return stringValue(); }

protected:
    void copyStateTo(ColumnBrowserCell& other) const;

private:
    std::any objectValue_;
    int state_ = 0;
    bool allowsMixedState_ = false;
    bool highlighted_ = false;
    bool leaf_ = true;
};

// What a column browser shows, item by item. Items are whatever the delegate chooses; an empty
// std::any stands for "no item". Every call comes on the main thread while the browser loads or
// reloads a column.
class ColumnBrowserDelegate {
public:
    virtual ~ColumnBrowserDelegate() = default;

    // The item whose children column 0 shows.
    virtual std::any rootItem(ColumnBrowser& browser) = 0;
    virtual int numberOfChildren(ColumnBrowser& browser, const std::any& item) = 0;
    virtual std::any child(ColumnBrowser& browser, int index, const std::any& item) = 0;
    virtual bool isLeafItem(ColumnBrowser& browser, const std::any& item) = 0;
    // What the row's cell gets as its object value.
    virtual std::any objectValue(ColumnBrowser& browser, const std::any& item) = 0;
    virtual void setObjectValue(ColumnBrowser& browser, const std::any& value, const std::any& item);
    virtual void willDisplayCell(ColumnBrowser& browser, ColumnBrowserCell& cell, int row, int column);
    // Whether a click may select the row.
    virtual bool shouldSelectRow(ColumnBrowser& browser, int row, int column);
    // The rows to select instead of `proposed`; the browser selects at most the first.
    virtual std::vector<int> selectionIndexesForProposedSelection(ColumnBrowser& browser,
                                                                  const std::vector<int>& proposed, int column);
    // A column answered false is reloaded by validateVisibleColumns().
    virtual bool isColumnValid(ColumnBrowser& browser, int column);
};

namespace ColumnBrowserPrivate {
class ColumnView;
class ColumnModel;
}

// A browser of a tree in columns, one column per opened level: column 0 lists the children of
// the root item, and selecting a row that is not a leaf opens the next column with its children.
// Single selection per column. A click (or, when enabled, an arrow key) sends the action after
// the selection has changed. Main thread only.
class ColumnBrowser : public QWidget {
    Q_OBJECT

public:
    explicit ColumnBrowser(QWidget* parent = nullptr);
    ~ColumnBrowser() override;

    ColumnBrowserDelegate* delegate() const { return delegate_; }
    void setDelegate(ColumnBrowserDelegate* delegate) { delegate_ = delegate; }
    ColumnBrowserCell* cellPrototype() const { return prototype_.get(); }
    void setCellPrototype(std::unique_ptr<ColumnBrowserCell> prototype);
    // Called after a click on a row (or on a column's empty space), and after arrow keys move the
    // selection when sendsActionOnArrowKeys is on.
    void setAction(std::function<void()> action) { action_ = std::move(action); }
    bool sendsActionOnArrowKeys() const { return sendsActionOnArrowKeys_; }
    void setSendsActionOnArrowKeys(bool sends) { sendsActionOnArrowKeys_ = sends; }
    int columnWidth() const { return columnWidth_; }
    void setColumnWidth(int width);
    int rowHeight() const { return rowHeight_; }
    void setRowHeight(int height);

    // Asks for the root item again and shows column 0 alone, nothing selected. A hidden browser
    // only drops its columns and loads column 0 when it is shown.
    void loadColumnZero();
    // Reads the rows of an open column again. The selected row stays selected while it still
    // exists and may be selected; the next column then lists the children of whatever item is at
    // that row now (reload it too to read them again). Otherwise the selection and the later
    // columns go.
    void reloadColumn(int column);
    // Reads again the items and object values of these rows only.
    void reloadData(const std::vector<int>& rows, int column);
    // Reloads the visible columns that the delegate no longer finds valid.
    void validateVisibleColumns();

    // The index of the last open column; -1 before column 0 is loaded.
    int lastColumn() const { return int(columns_.size()) - 1; }
    int firstVisibleColumn() const;
    int lastVisibleColumn() const;
    int numberOfRows(int column) const;
    // The item a column lists the children of.
    std::any parentItem(int column) const;
    std::any itemAt(int row, int column) const;
    ColumnBrowserCell* loadedCell(int row, int column) const;

    std::vector<int> selectedRowIndexes(int column) const;
    int selectedRow(int column) const;
    // The rightmost column with a selected row; -1 when none.
    int selectedColumn() const;
    ColumnBrowserCell* selectedCell() const;
    ColumnBrowserCell* selectedCellInColumn(int column) const;
    // Selects the row as a click would (the delegate may refuse or redirect it), closes the
    // columns after it and opens the next one when the item is not a leaf. -1 deselects.
    void selectRow(int row, int column);
    // The row and column of the last click; -1 when it hit no row (or came from the keyboard).
    int clickedRow() const { return clickedRow_; }
    int clickedColumn() const { return clickedColumn_; }

    // Widgets and geometry, for painting, events and tests.
    QWidget* columnView(int column) const;
    // The row's frame in its column view's viewport.
    QRect frameOfRow(int row, int column) const;
    void scrollColumnToVisible(int column);

signals:
    void selectionDidChange();

protected:
    // Column 0 loads when the browser is shown without columns.
    void showEvent(QShowEvent* event) override;

private:
    friend class ColumnBrowserPrivate::ColumnView;
    friend class ColumnBrowserPrivate::ColumnModel;

    struct Column {
        std::any parent;
        std::vector<std::any> items;
        std::vector<std::unique_ptr<ColumnBrowserCell>> cells;
        int selectedRow = -1;
        ColumnBrowserPrivate::ColumnView* view = nullptr;
        ColumnBrowserPrivate::ColumnModel* model = nullptr;
    };

    void fillColumn(int column);
    void loadRow(int row, int column);
    void openColumnAfter(int column);
    void truncateColumns(int count);
    void addColumnView(int column);
    void updateHighlights(int column);
    int acceptedRow(int row, int column);
    void applySelection(int row, int column);
    // From the column views.
    void clicked(int row, int column);
    void moveSelection(int column, int delta);
    void openNextFromKeyboard(int column);
    void closeFromKeyboard(int column);
    void sendAction();

    ColumnBrowserDelegate* delegate_ = nullptr;
    std::unique_ptr<ColumnBrowserCell> prototype_;
    std::function<void()> action_;
    bool sendsActionOnArrowKeys_ = true;
    int columnWidth_ = 220;
    int rowHeight_ = 24;
    std::any rootItem_;
    std::vector<std::unique_ptr<Column>> columns_;
    int clickedRow_ = -1;
    int clickedColumn_ = -1;
    QScrollArea* scrollArea_;
    QWidget* strip_;
    QHBoxLayout* stripLayout_;
};

// Sends an action the way a control does: to the first object along the chain from `first` that
// has an invokable `action(QObject*)` — each widget, then the view controller named by its
// "viewController" property, then its parent widget — and else to the handler the application
// registered for "action:". Answers whether someone took it.
namespace ResponderChain {

inline const char* viewControllerProperty = "viewController";
bool sendAction(const char* action, QObject* sender, QObject* first);

}  // namespace ResponderChain
