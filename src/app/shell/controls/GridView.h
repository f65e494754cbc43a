#pragma once

#include <QSet>
#include <QWidget>

#include <optional>

class QGridLayout;

// A grid of views in rows and columns whose rows can be hidden as a whole and whose cells can be
// merged across columns.
class GridView : public QWidget {
    Q_OBJECT

public:
    explicit GridView(int numberOfColumns, QWidget* parent = nullptr);

    int numberOfColumns() const { return columns_; }
    int numberOfRows() const;
    void addRow(const QList<QWidget*>& views);
    // The row of the cell that holds `view`; none when it is not in the grid.
    std::optional<int> rowOf(QWidget* view) const;
    // Lets the view of the row's first cell span `columnCount` columns from `firstColumn`.
    void mergeCells(int row, int firstColumn, int columnCount);
    int columnSpanOf(QWidget* view) const;
    bool isRowHidden(int row) const;
    void setRowHidden(int row, bool hidden);

private:
    QGridLayout* layout_;
    int columns_;
    QSet<int> hiddenRows_;
};
