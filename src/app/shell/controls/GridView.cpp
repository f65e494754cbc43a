#include "app/shell/controls/GridView.h"

#include <QGridLayout>

GridView::GridView(int numberOfColumns, QWidget* parent)
    : QWidget(parent), layout_(new QGridLayout(this)), columns_(numberOfColumns) {}

int GridView::numberOfRows() const { return layout_->count() == 0 ? 0 : layout_->rowCount(); }

void GridView::addRow(const QList<QWidget*>& views) {
    const int row = numberOfRows();
    for (int column = 0; column < views.size() && column < columns_; ++column)
        if (views[column]) layout_->addWidget(views[column], row, column);
}

std::optional<int> GridView::rowOf(QWidget* view) const {
    const int index = view ? layout_->indexOf(view) : -1;
    if (index < 0) return std::nullopt;
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    layout_->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    return row;
}

void GridView::mergeCells(int row, int firstColumn, int columnCount) {
    for (int column = firstColumn; column < columns_; ++column) {
        QLayoutItem* item = layout_->itemAtPosition(row, column);
        if (!item || !item->widget()) continue;
        QWidget* view = item->widget();
        layout_->removeWidget(view);
        layout_->addWidget(view, row, firstColumn, 1, columnCount);
        return;
    }
}

int GridView::columnSpanOf(QWidget* view) const {
    const int index = view ? layout_->indexOf(view) : -1;
    if (index < 0) return 0;
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    layout_->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    return columnSpan;
}

bool GridView::isRowHidden(int row) const { return hiddenRows_.contains(row); }

void GridView::setRowHidden(int row, bool hidden) {
    if (hidden) hiddenRows_.insert(row);
    else hiddenRows_.remove(row);
    for (int i = 0; i < layout_->count(); ++i) {
        int r = 0, c = 0, rs = 0, cs = 0;
        layout_->getItemPosition(i, &r, &c, &rs, &cs);
        if (r == row && layout_->itemAt(i)->widget()) layout_->itemAt(i)->widget()->setHidden(hidden);
    }
}
