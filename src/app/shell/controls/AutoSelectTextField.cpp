#include "app/shell/controls/AutoSelectTextField.h"

#include <QMouseEvent>

AutoSelectTextField::AutoSelectTextField(QWidget* parent) : QLineEdit(parent) {}

AutoSelectTextField::AutoSelectTextField(const QString& text, QWidget* parent) : QLineEdit(text, parent) {}

void AutoSelectTextField::mousePressEvent(QMouseEvent* event) {
    QLineEdit::mousePressEvent(event);
    if (event->button() == Qt::LeftButton) selectAll();
}

void AutoSelectTextField::mouseReleaseEvent(QMouseEvent* event) {
    QLineEdit::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) selectAll();
}

void AutoSelectTextField::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double click would select one word; the field's value is one piece.
    QLineEdit::mouseDoubleClickEvent(event);
    if (event->button() == Qt::LeftButton) selectAll();
}
