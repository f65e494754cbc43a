#include "app/shell/controls/LinkTextButton.h"

#include <QFontMetrics>
#include <QPainter>

#include "app/shell/controls/SystemColors.h"

LinkTextButton::LinkTextButton(QWidget* parent) : LinkTextButton(QString(), parent) {}

LinkTextButton::LinkTextButton(const QString& title, QWidget* parent) : QAbstractButton(parent) {
    setText(title);
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::TabFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QFont LinkTextButton::titleFont() const {
    QFont underlined = font();
    underlined.setUnderline(true);
    return underlined;
}

QColor LinkTextButton::titleColor() const {
    return isEnabled() ? SystemColors::linkColor() : SystemColors::disabledControlTextColor();
}

QSize LinkTextButton::sizeHint() const {
    const QFontMetrics metrics(titleFont());
    // One pixel on each side keeps the focus ring off the glyphs.
    return metrics.size(Qt::TextShowMnemonic, text()) + QSize(2, 2);
}

QSize LinkTextButton::minimumSizeHint() const { return sizeHint(); }

void LinkTextButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setFont(titleFont());
    painter.setPen(titleColor());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic, text());
    if (hasFocus()) {
        QColor ring = palette().color(QPalette::Highlight);
        ring.setAlphaF(0.6f);
        painter.setPen(QPen(ring, 1));
        painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
    }
}
