#include "platform/appkit/ColumnBrowser.h"

#include <QAbstractListModel>
#include <QApplication>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QListView>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPalette>
#include <QPointer>
#include <QScrollArea>
#include <QScrollBar>
#include <QShowEvent>
#include <QStyledItemDelegate>
#include <QToolTip>

#include "platform/appkit/Application.h"

// ---------------------------------------------------------------------------------------------
// Cell

ColumnBrowserCell::ColumnBrowserCell(QObject* parent) : QObject(parent) {}

ColumnBrowserCell::~ColumnBrowserCell() = default;

std::unique_ptr<ColumnBrowserCell> ColumnBrowserCell::copy() const {
    auto cell = std::make_unique<ColumnBrowserCell>();
    copyStateTo(*cell);
    return cell;
}

void ColumnBrowserCell::copyStateTo(ColumnBrowserCell& other) const {
    other.objectValue_ = objectValue_;
    other.state_ = state_;
    other.allowsMixedState_ = allowsMixedState_;
    other.leaf_ = leaf_;
}

QString ColumnBrowserCell::stringValue() const {
    if (const auto* text = std::any_cast<QString>(&objectValue_)) return *text;
    return {};
}

void ColumnBrowserCell::setState(int state) {
    if (state < 0) state_ = allowsMixedState_ ? -1 : 1;
    else state_ = state > 0 ? 1 : 0;
}

void ColumnBrowserCell::draw(QPainter& painter, const QRectF& frame, QWidget* view) const {
    const QPalette palette = view ? view->palette() : QApplication::palette();
    if (highlighted_) painter.fillRect(frame, palette.brush(QPalette::Highlight));
    drawInterior(painter, frame, view);
    if (leaf_) return;
    // A small chevron at the trailing edge marks a row that opens a column.
    const qreal size = 4;
    const QPointF tip(frame.right() - 8, frame.center().y());
    QPainterPath chevron;
    chevron.moveTo(tip.x() - size, tip.y() - size);
    chevron.lineTo(tip);
    chevron.lineTo(tip.x() - size, tip.y() + size);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette.color(highlighted_ ? QPalette::HighlightedText : QPalette::Text), 1.5));
    painter.drawPath(chevron);
    painter.restore();
}

void ColumnBrowserCell::drawInterior(QPainter& painter, const QRectF& frame, QWidget* view) const {
    const QPalette palette = view ? view->palette() : QApplication::palette();
    painter.save();
    painter.setPen(palette.color(highlighted_ ? QPalette::HighlightedText : QPalette::Text));
    const QRectF textFrame = frame.adjusted(8, 0, -20, 0);
    const QString text = painter.fontMetrics().elidedText(stringValue(), Qt::ElideMiddle, int(textFrame.width()));
    painter.drawText(textFrame, Qt::AlignVCenter | Qt::AlignLeft, text);
    painter.restore();
}

int ColumnBrowserCell::hitTest(const QPointF& point, const QRectF& frame, QWidget*) {
    return frame.contains(point) ? ContentArea : NoCellHit;
}

bool ColumnBrowserCell::startTracking(const QPointF&, QWidget*) { return true; }

bool ColumnBrowserCell::continueTracking(const QPointF&, const QPointF&, QWidget*) { return true; }

void ColumnBrowserCell::stopTracking(const QPointF&, const QPointF&, QWidget*, bool) {}

QRectF ColumnBrowserCell::expansionFrame(const QRectF& frame, QWidget* view) const {
    const QString text = stringValue();
    if (text.isEmpty()) return {};
    const QFontMetricsF metrics(view ? view->font() : QApplication::font());
    const qreal needed = metrics.horizontalAdvance(text) + 28;
    if (needed <= frame.width()) return {};
    return QRectF(frame.topLeft(), QSizeF(needed, frame.height()));
}

// ---------------------------------------------------------------------------------------------
// Delegate defaults

void ColumnBrowserDelegate::setObjectValue(ColumnBrowser&, const std::any&, const std::any&) {}

void ColumnBrowserDelegate::willDisplayCell(ColumnBrowser&, ColumnBrowserCell&, int, int) {}

bool ColumnBrowserDelegate::shouldSelectRow(ColumnBrowser&, int, int) { return true; }

std::vector<int> ColumnBrowserDelegate::selectionIndexesForProposedSelection(ColumnBrowser&,
                                                                            const std::vector<int>& proposed, int) {
    return proposed;
}

bool ColumnBrowserDelegate::isColumnValid(ColumnBrowser&, int) { return true; }

// ---------------------------------------------------------------------------------------------
// Column widgets

namespace ColumnBrowserPrivate {

// The rows of one column as a list model: the display role is the cell's text, so that
// accessibility and tests read what the column shows.
class ColumnModel : public QAbstractListModel {
public:
    ColumnModel(ColumnBrowser* browser, int column) : browser_(browser), column_(column) {}

    int rowCount(const QModelIndex& parent = {}) const override {
        if (parent.isValid()) return 0;
        return browser_->numberOfRows(column_);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        ColumnBrowserCell* cell = browser_->loadedCell(index.row(), column_);
        if (!cell) return {};
        switch (role) {
        case Qt::DisplayRole:
        case Qt::AccessibleTextRole: return cell->accessibleText();
        case Qt::CheckStateRole:
            return cell->state() > 0 ? Qt::Checked : cell->state() < 0 ? Qt::PartiallyChecked : Qt::Unchecked;
        default: return {};
        }
    }
    void resetRows() {
        beginResetModel();
        endResetModel();
    }
    void rowsChanged(int first, int last) { emit dataChanged(index(first), index(last)); }

private:
    ColumnBrowser* browser_;
    int column_;
};

// Paints each row with its cell.
class CellPainter : public QStyledItemDelegate {
public:
    CellPainter(ColumnBrowser* browser, int column, QObject* parent)
        : QStyledItemDelegate(parent), browser_(browser), column_(column) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        ColumnBrowserCell* cell = browser_->loadedCell(index.row(), column_);
        if (!cell) return;
        painter->save();
        painter->setFont(option.font);
        cell->draw(*painter, QRectF(option.rect), qobject_cast<QWidget*>(const_cast<QWidget*>(option.widget)));
        painter->restore();
    }
    QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override {
        return {browser_->columnWidth(), browser_->rowHeight()};
    }

private:
    ColumnBrowser* browser_;
    int column_;
};

// One column: a list view whose mouse and keys the browser handles itself, so that the cell can
// track a press before the row is selected and the action sent, as the platform browser does.
class ColumnView : public QListView {
public:
    ColumnView(ColumnBrowser* browser, int column, QWidget* parent) : QListView(parent), browser_(browser), column_(column) {
        setSelectionMode(QAbstractItemView::NoSelection);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        setUniformItemSizes(true);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setFocusPolicy(Qt::StrongFocus);
        setMouseTracking(false);
    }

    int column() const { return column_; }

protected:
    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        setFocus(Qt::MouseFocusReason);
        const QPointF point = event->position();
        pressRow_ = indexAt(point.toPoint()).row();
        tracking_ = false;
        trackedCell_ = nullptr;
        if (pressRow_ < 0) return;
        ColumnBrowserCell* cell = browser_->loadedCell(pressRow_, column_);
        if (!cell) return;
        const QRectF frame(visualRect(model()->index(pressRow_, 0)));
        if (cell->hitTest(point, frame, viewport()) & ColumnBrowserCell::TrackableArea) {
            tracking_ = cell->startTracking(point, viewport());
            trackedCell_ = cell;
            lastPoint_ = point;
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override {
        if (!tracking_ || !trackedCell_) return;
        const QPointF point = event->position();
        if (!trackedCell_->continueTracking(lastPoint_, point, viewport())) tracking_ = false;
        lastPoint_ = point;
    }
    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        if (trackedCell_) {
            // The cell hears the end of every press it took, tracked to the end or not.
            trackedCell_->stopTracking(lastPoint_, event->position(), viewport(), tracking_);
        }
        tracking_ = false;
        trackedCell_ = nullptr;
        const int row = pressRow_;
        pressRow_ = -1;
        browser_->clicked(row, column_);
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override { mousePressEvent(event); }
    void keyPressEvent(QKeyEvent* event) override {
        switch (event->key()) {
        case Qt::Key_Up: browser_->moveSelection(column_, -1); break;
        case Qt::Key_Down: browser_->moveSelection(column_, 1); break;
        case Qt::Key_Right: browser_->openNextFromKeyboard(column_); break;
        case Qt::Key_Left: browser_->closeFromKeyboard(column_); break;
        default: QListView::keyPressEvent(event); return;
        }
        event->accept();
    }
    bool viewportEvent(QEvent* event) override {
        if (event->type() == QEvent::ToolTip) {
            auto* help = static_cast<QHelpEvent*>(event);
            const int row = indexAt(help->pos()).row();
            ColumnBrowserCell* cell = browser_->loadedCell(row, column_);
            const QRectF frame(visualRect(model()->index(row, 0)));
            if (cell && !cell->expansionFrame(frame, viewport()).isEmpty())
                QToolTip::showText(help->globalPos(), cell->accessibleText(), viewport());
            else QToolTip::hideText();
            return true;
        }
        return QListView::viewportEvent(event);
    }

private:
    ColumnBrowser* browser_;
    int column_;
    int pressRow_ = -1;
    bool tracking_ = false;
    QPointer<ColumnBrowserCell> trackedCell_;
    QPointF lastPoint_;
};

}  // namespace ColumnBrowserPrivate

using ColumnBrowserPrivate::CellPainter;
using ColumnBrowserPrivate::ColumnModel;
using ColumnBrowserPrivate::ColumnView;

// ---------------------------------------------------------------------------------------------
// Browser

ColumnBrowser::ColumnBrowser(QWidget* parent)
    : QWidget(parent), prototype_(std::make_unique<ColumnBrowserCell>()), scrollArea_(new QScrollArea(this)),
      strip_(new QWidget), stripLayout_(new QHBoxLayout(strip_)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scrollArea_);
    scrollArea_->setWidgetResizable(true);
    scrollArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scrollArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    stripLayout_->setContentsMargins(0, 0, 0, 0);
    stripLayout_->setSpacing(1);
    stripLayout_->addStretch(1);
    scrollArea_->setWidget(strip_);
}

ColumnBrowser::~ColumnBrowser() = default;

void ColumnBrowser::setCellPrototype(std::unique_ptr<ColumnBrowserCell> prototype) {
    prototype_ = prototype ? std::move(prototype) : std::make_unique<ColumnBrowserCell>();
}

void ColumnBrowser::setColumnWidth(int width) {
    columnWidth_ = std::max(40, width);
    for (const auto& column : columns_) column->view->setFixedWidth(columnWidth_);
}

void ColumnBrowser::setRowHeight(int height) {
    rowHeight_ = std::max(8, height);
    for (const auto& column : columns_) column->view->doItemsLayout();
}

void ColumnBrowser::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (columns_.empty() && delegate_) loadColumnZero();
}

void ColumnBrowser::loadColumnZero() {
    truncateColumns(0);
    if (!isVisible()) {
        // Nothing is asked of the delegate for a browser nobody sees; it loads when shown.
        rootItem_.reset();
        emit selectionDidChange();
        return;
    }
    rootItem_ = delegate_ ? delegate_->rootItem(*this) : std::any();
    addColumnView(0);
    fillColumn(0);
    scrollArea_->horizontalScrollBar()->setValue(0);
    emit selectionDidChange();
}

void ColumnBrowser::reloadColumn(int column) {
    if (column < 0 || column > lastColumn()) return;
    if (column == 0) rootItem_ = delegate_ ? delegate_->rootItem(*this) : std::any();
    const int selected = columns_[std::size_t(column)]->selectedRow;
    fillColumn(column);
    Column& c = *columns_[std::size_t(column)];
    const int kept = selected >= 0 && selected < int(c.items.size()) ? acceptedRow(selected, column) : -1;
    c.selectedRow = kept == selected ? kept : -1;
    updateHighlights(column);
    if (c.selectedRow < 0 || c.cells[std::size_t(c.selectedRow)]->isLeaf()) {
        if (lastColumn() > column) {
            truncateColumns(column + 1);
            emit selectionDidChange();
        }
    } else if (lastColumn() > column) {
        // The next column lists the children of the item at the kept row, which may be another
        // object now; the caller reloads it to read them.
        columns_[std::size_t(column) + 1]->parent = c.items[std::size_t(c.selectedRow)];
    } else {
        openColumnAfter(column);
    }
}

void ColumnBrowser::reloadData(const std::vector<int>& rows, int column) {
    if (column < 0 || column > lastColumn()) return;
    Column& c = *columns_[std::size_t(column)];
    for (int row : rows) {
        if (row < 0 || row >= int(c.items.size())) continue;
        loadRow(row, column);
        c.model->rowsChanged(row, row);
    }
    updateHighlights(column);
}

void ColumnBrowser::validateVisibleColumns() {
    if (!delegate_) return;
    const int first = firstVisibleColumn();
    const int last = lastVisibleColumn();
    for (int column = first; column >= 0 && column <= last && column <= lastColumn(); ++column)
        if (!delegate_->isColumnValid(*this, column)) reloadColumn(column);
}

int ColumnBrowser::firstVisibleColumn() const {
    if (columns_.empty()) return -1;
    const int offset = scrollArea_->horizontalScrollBar()->value();
    for (int i = 0; i <= lastColumn(); ++i) {
        const QWidget* view = columns_[std::size_t(i)]->view;
        if (view->geometry().right() >= offset) return i;
    }
    return lastColumn();
}

int ColumnBrowser::lastVisibleColumn() const {
    if (columns_.empty()) return -1;
    const int first = firstVisibleColumn();
    const int right = scrollArea_->horizontalScrollBar()->value() + scrollArea_->viewport()->width();
    int last = first;
    for (int i = first; i <= lastColumn(); ++i)
        if (columns_[std::size_t(i)]->view->geometry().left() < right) last = i;
    return last;
}

int ColumnBrowser::numberOfRows(int column) const {
    if (column < 0 || column > lastColumn()) return 0;
    return int(columns_[std::size_t(column)]->items.size());
}

std::any ColumnBrowser::parentItem(int column) const {
    if (column < 0 || column > lastColumn()) return {};
    return columns_[std::size_t(column)]->parent;
}

std::any ColumnBrowser::itemAt(int row, int column) const {
    if (row < 0 || row >= numberOfRows(column)) return {};
    return columns_[std::size_t(column)]->items[std::size_t(row)];
}

ColumnBrowserCell* ColumnBrowser::loadedCell(int row, int column) const {
    if (row < 0 || row >= numberOfRows(column)) return nullptr;
    return columns_[std::size_t(column)]->cells[std::size_t(row)].get();
}

std::vector<int> ColumnBrowser::selectedRowIndexes(int column) const {
    const int row = selectedRow(column);
    if (row < 0) return {};
    return {row};
}

int ColumnBrowser::selectedRow(int column) const {
    if (column < 0 || column > lastColumn()) return -1;
    return columns_[std::size_t(column)]->selectedRow;
}

int ColumnBrowser::selectedColumn() const {
    for (int i = lastColumn(); i >= 0; --i)
        if (columns_[std::size_t(i)]->selectedRow >= 0) return i;
    return -1;
}

ColumnBrowserCell* ColumnBrowser::selectedCell() const { return selectedCellInColumn(selectedColumn()); }

ColumnBrowserCell* ColumnBrowser::selectedCellInColumn(int column) const {
    return loadedCell(selectedRow(column), column);
}

void ColumnBrowser::selectRow(int row, int column) {
    if (column < 0 || column > lastColumn()) return;
    applySelection(row < 0 ? -1 : acceptedRow(row, column), column);
}

QWidget* ColumnBrowser::columnView(int column) const {
    if (column < 0 || column > lastColumn()) return nullptr;
    return columns_[std::size_t(column)]->view;
}

QRect ColumnBrowser::frameOfRow(int row, int column) const {
    if (row < 0 || row >= numberOfRows(column)) return {};
    const Column& c = *columns_[std::size_t(column)];
    return c.view->visualRect(c.model->index(row, 0));
}

void ColumnBrowser::scrollColumnToVisible(int column) {
    if (QWidget* view = columnView(column)) {
        strip_->adjustSize();
        scrollArea_->ensureWidgetVisible(view, 0, 0);
    }
}

// Reads every row of a column from the delegate.
void ColumnBrowser::fillColumn(int column) {
    Column& c = *columns_[std::size_t(column)];
    if (column == 0) c.parent = rootItem_;
    c.items.clear();
    c.cells.clear();
    const int count = delegate_ ? std::max(0, delegate_->numberOfChildren(*this, c.parent)) : 0;
    c.items.resize(std::size_t(count));
    c.cells.resize(std::size_t(count));
    for (int row = 0; row < count; ++row) loadRow(row, column);
    c.model->resetRows();
}

void ColumnBrowser::loadRow(int row, int column) {
    Column& c = *columns_[std::size_t(column)];
    auto& cell = c.cells[std::size_t(row)];
    if (!cell) cell = prototype_->copy();
    if (!delegate_) return;
    c.items[std::size_t(row)] = delegate_->child(*this, row, c.parent);
    const std::any& item = c.items[std::size_t(row)];
    cell->setLeaf(delegate_->isLeafItem(*this, item));
    cell->setObjectValue(delegate_->objectValue(*this, item));
    cell->setHighlighted(row == c.selectedRow);
    delegate_->willDisplayCell(*this, *cell, row, column);
}

void ColumnBrowser::openColumnAfter(int column) {
    const Column& c = *columns_[std::size_t(column)];
    if (c.selectedRow < 0 || c.cells[std::size_t(c.selectedRow)]->isLeaf()) return;
    addColumnView(column + 1);
    columns_[std::size_t(column) + 1]->parent = c.items[std::size_t(c.selectedRow)];
    fillColumn(column + 1);
    scrollColumnToVisible(column + 1);
}

void ColumnBrowser::truncateColumns(int count) {
    while (int(columns_.size()) > count) {
        std::unique_ptr<Column> column = std::move(columns_.back());
        columns_.pop_back();
        stripLayout_->removeWidget(column->view);
        column->view->hide();
        // Later: the view may be the one whose event led here.
        column->view->deleteLater();
        column->model->deleteLater();
    }
}

void ColumnBrowser::addColumnView(int column) {
    auto entry = std::make_unique<Column>();
    entry->view = new ColumnView(this, column, strip_);
    entry->model = new ColumnModel(this, column);
    entry->model->setParent(this);
    entry->view->setModel(entry->model);
    entry->view->setItemDelegate(new CellPainter(this, column, entry->view));
    entry->view->setFixedWidth(columnWidth_);
    stripLayout_->insertWidget(column, entry->view);
    entry->view->show();
    columns_.push_back(std::move(entry));
}

void ColumnBrowser::updateHighlights(int column) {
    Column& c = *columns_[std::size_t(column)];
    for (std::size_t row = 0; row < c.cells.size(); ++row)
        if (c.cells[row]) c.cells[row]->setHighlighted(int(row) == c.selectedRow);
    c.view->viewport()->update();
}

// The row a selection of `row` ends up at after the delegate had its say; -1 for none.
int ColumnBrowser::acceptedRow(int row, int column) {
    if (!delegate_) return row;
    const std::vector<int> chosen = delegate_->selectionIndexesForProposedSelection(*this, {row}, column);
    if (chosen.empty()) return -1;
    const int target = chosen.front();
    if (target < 0 || target >= numberOfRows(column)) return -1;
    return delegate_->shouldSelectRow(*this, target, column) ? target : -1;
}

void ColumnBrowser::applySelection(int row, int column) {
    Column& c = *columns_[std::size_t(column)];
    const bool unchanged = row == c.selectedRow && (row < 0 || c.cells[std::size_t(row)]->isLeaf()
                                                    ? lastColumn() == column
                                                    : lastColumn() > column);
    if (unchanged) return;
    c.selectedRow = row;
    updateHighlights(column);
    truncateColumns(column + 1);
    openColumnAfter(column);
    emit selectionDidChange();
}

void ColumnBrowser::clicked(int row, int column) {
    if (column < 0 || column > lastColumn()) return;
    clickedRow_ = row < numberOfRows(column) ? row : -1;
    clickedColumn_ = column;
    if (clickedRow_ < 0) {
        applySelection(-1, column);
    } else {
        const int accepted = acceptedRow(clickedRow_, column);
        // A refused row leaves the selection as it was.
        if (accepted >= 0) applySelection(accepted, column);
    }
    sendAction();
}

void ColumnBrowser::moveSelection(int column, int delta) {
    const int count = numberOfRows(column);
    if (count == 0) return;
    const int current = selectedRow(column);
    int row = current < 0 ? (delta > 0 ? 0 : count - 1) : current + delta;
    // Skip the rows the delegate refuses, e.g. placeholders.
    while (row >= 0 && row < count && acceptedRow(row, column) != row) row += delta;
    if (row < 0 || row >= count || row == current) return;
    clickedRow_ = -1;
    clickedColumn_ = -1;
    applySelection(row, column);
    if (sendsActionOnArrowKeys_) sendAction();
}

void ColumnBrowser::openNextFromKeyboard(int column) {
    if (lastColumn() <= column) return;
    const int next = column + 1;
    if (numberOfRows(next) == 0) return;
    columns_[std::size_t(next)]->view->setFocus(Qt::OtherFocusReason);
    if (selectedRow(next) < 0) moveSelection(next, 1);
}

void ColumnBrowser::closeFromKeyboard(int column) {
    if (column <= 0) return;
    clickedRow_ = -1;
    clickedColumn_ = -1;
    applySelection(-1, column);
    columns_[std::size_t(column) - 1]->view->setFocus(Qt::OtherFocusReason);
    if (sendsActionOnArrowKeys_) sendAction();
}

void ColumnBrowser::sendAction() {
    if (action_) action_();
}

// ---------------------------------------------------------------------------------------------
// Responder chain

namespace ResponderChain {

namespace {

bool invoke(QObject* target, const char* action, QObject* sender) {
    if (!target) return false;
    const QByteArray signature = QByteArray(action) + "(QObject*)";
    if (target->metaObject()->indexOfMethod(signature.constData()) < 0) return false;
    return QMetaObject::invokeMethod(target, action, Qt::DirectConnection, Q_ARG(QObject*, sender));
}

}  // namespace

bool sendAction(const char* action, QObject* sender, QObject* first) {
    for (QObject* object = first; object;) {
        if (invoke(object, action, sender)) return true;
        if (auto* widget = qobject_cast<QWidget*>(object)) {
            if (invoke(widget->property(viewControllerProperty).value<QObject*>(), action, sender)) return true;
            object = widget->parentWidget();
        } else {
            object = object->parent();
        }
    }
    return Application::shared().sendAction(QString::fromLatin1(action) + QLatin1Char(':'), sender);
}

}  // namespace ResponderChain
