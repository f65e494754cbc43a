#include "app/shell/preferences/PreferencesPane.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPushButton>
#include <QWidget>

#include "platform/appkit/WindowSheet.h"

PreferencesPane::PreferencesPane(QObject* parent) : QObject(parent) {}

PreferencesPane::~PreferencesPane() {
    // The view may sit in a window that outlives the pane.
    delete view_.data();
}

QWidget* PreferencesPane::view() {
    if (!view_) {
        view_ = loadView();
        if (!view_) view_ = new QWidget;
        view_->resize(designedSize(view_));
        viewDidLoad();
    }
    return view_;
}

void PreferencesPane::presentAsSheet(QWidget* window) {
    QWidget* sheet = view();
    viewWillAppear();
    WindowSheet::begin(sheet, window);
}

void PreferencesPane::dismissController(QObject*) {
    WindowSheet::end(view_);
    if (view_ && view_->isVisible()) view_->close();
    emit dismissed();
}

QSize PreferencesPane::designedSize(QWidget* view) const {
    const QSize hint = view->sizeHint();
    return {std::max(designedWidth, hint.width()), std::max(1, hint.height())};
}

void mergeRowAcrossColumns(QGridLayout* grid, QWidget* cell) {
    if (!grid || !cell) return;
    const int index = grid->indexOf(cell);
    if (index < 0) return;
    int row = 0, column = 0, rowSpan = 0, columnSpan = 0;
    grid->getItemPosition(index, &row, &column, &rowSpan, &columnSpan);
    QLayoutItem* item = grid->takeAt(index);
    const Qt::Alignment alignment = item->alignment();
    delete item;
    grid->addWidget(cell, row, 0, 1, grid->columnCount(), alignment);
}

QFrame* makeSeparatorLine(QWidget* parent) {
    auto* line = new QFrame(parent);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

SheetButtons makeSheetButtons(QWidget* parent, const QString& cancelTitle, const QString& confirmTitle) {
    SheetButtons row;
    row.layout = new QHBoxLayout;
    row.help = new QPushButton(QStringLiteral("?"), parent);
    row.help->setFixedSize(24, 24);
    row.cancel = new QPushButton(cancelTitle, parent);
    row.confirm = new QPushButton(confirmTitle, parent);
    row.confirm->setDefault(true);
    row.layout->addWidget(row.help);
    row.layout->addStretch(1);
    row.layout->addWidget(row.cancel);
    row.layout->addWidget(row.confirm);
    return row;
}
