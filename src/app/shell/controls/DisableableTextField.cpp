#include "app/shell/controls/DisableableTextField.h"

#include <QEvent>
#include <QPalette>

#include "app/shell/controls/SystemColors.h"

DisableableTextField::DisableableTextField(QWidget* parent) : DisableableTextField(QString(), parent) {}

DisableableTextField::DisableableTextField(const QString& text, QWidget* parent) : QLineEdit(text, parent) {
    updateTextColor();
}

QColor DisableableTextField::textColor() const { return palette().color(QPalette::Active, QPalette::Text); }

void DisableableTextField::changeEvent(QEvent* event) {
    QLineEdit::changeEvent(event);
    if (event->type() == QEvent::EnabledChange) updateTextColor();
}

void DisableableTextField::updateTextColor() {
    // Every colour group gets the same colour, so the one chosen here is the one drawn whatever
    // group the style picks for the state.
    QPalette p = palette();
    p.setColor(QPalette::All, QPalette::Text,
               isEnabled() ? SystemColors::labelColor() : SystemColors::disabledControlTextColor());
    setPalette(p);
}
