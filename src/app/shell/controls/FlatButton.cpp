#include "app/shell/controls/FlatButton.h"

#include <QFontMetrics>
#include <QGraphicsDropShadowEffect>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

#include "app/shell/controls/SystemColors.h"

namespace {

constexpr int horizontalPadding = 12;
constexpr int verticalPadding = 4;
// The shadow falls a little below the shape, softly.
constexpr qreal shadowBlurRadius = 6;
constexpr QPointF shadowOffset(0, 3);

}  // namespace

FlatButton::FlatButton(QWidget* parent) : FlatButton(QString(), parent) {}

FlatButton::FlatButton(const QString& title, QWidget* parent)
    : QPushButton(title, parent), textColor_(SystemColors::textColor()) {
    setFlat(true);
    // A click does not take the focus from the field being edited; the keyboard still reaches it.
    setFocusPolicy(Qt::TabFocus);
}

void FlatButton::setBackgroundNSColor(const QColor& color) {
    backgroundNSColor_ = color;
    layer_.backgroundColor = color;
    update();
}

void FlatButton::setHighlightedBackgroundNSColor(const QColor& color) {
    highlightedBackgroundNSColor_ = color;
    update();
}

void FlatButton::setBorderNSColor(const QColor& color) {
    borderNSColor_ = color;
    layer_.borderColor = color;
    update();
}

void FlatButton::setTextColor(const QColor& color) {
    textColor_ = color;
    update();
}

void FlatButton::setBorderWidth(double width) {
    borderWidth_ = width;
    layer_.borderWidth = std::max(0.0, width);
    update();
}

void FlatButton::setCornerRadius(double radius) {
    cornerRadius_ = radius;
    layer_.cornerRadius = std::max(0.0, radius);
    update();
}

void FlatButton::setShadowNSColor(const QColor& color) {
    shadowNSColor_ = color;
    layer_.shadowColor = color;
    updateShadow();
}

void FlatButton::setShadowOpacity(float opacity) {
    shadowOpacity_ = opacity;
    layer_.shadowOpacity = std::clamp(opacity, 0.0f, 1.0f);
    updateShadow();
}

void FlatButton::updateShadow() {
    if (layer_.shadowOpacity <= 0 || !layer_.shadowColor.isValid()) {
        if (shadow_) setGraphicsEffect(nullptr);  // deletes the effect
        shadow_ = nullptr;
        return;
    }
    if (!shadow_) {
        shadow_ = new QGraphicsDropShadowEffect(this);
        shadow_->setBlurRadius(shadowBlurRadius);
        shadow_->setOffset(shadowOffset);
        setGraphicsEffect(shadow_);
    }
    QColor color = layer_.shadowColor;
    color.setAlphaF(color.alphaF() * layer_.shadowOpacity);
    shadow_->setColor(color);
}

QSize FlatButton::sizeHint() const {
    const QFontMetrics metrics(font());
    const QSize title = metrics.size(Qt::TextShowMnemonic, text().isEmpty() ? QStringLiteral(" ") : text());
    const int border = int(std::ceil(layer_.borderWidth));
    return {title.width() + 2 * (horizontalPadding + border), title.height() + 2 * (verticalPadding + border)};
}

QSize FlatButton::minimumSizeHint() const { return sizeHint(); }

void FlatButton::paintEvent(QPaintEvent*) {
    // The highlight is decided at each paint, so releasing the button brings the plain background
    // back with the next paint.
    layer_.backgroundColor = isDown() ? highlightedBackgroundNSColor_ : backgroundNSColor_;

    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal inset = layer_.borderWidth / 2;
    const QRectF shape = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    const qreal radius = std::min({layer_.cornerRadius, shape.width() / 2, shape.height() / 2});
    QPainterPath path;
    path.addRoundedRect(shape, radius, radius);
    if (layer_.backgroundColor.isValid() && layer_.backgroundColor.alpha() > 0)
        painter.fillPath(path, layer_.backgroundColor);
    if (layer_.borderWidth > 0 && layer_.borderColor.isValid()) {
        QPen pen(layer_.borderColor, layer_.borderWidth);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.strokePath(path, pen);
    }

    QColor color = textColor_.isValid() ? textColor_ : SystemColors::textColor();
    if (!isEnabled()) color = SystemColors::disabledControlTextColor();
    painter.setPen(color);
    painter.setFont(font());
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextShowMnemonic, text());
    if (hasFocus()) {
        // Keyboard focus shows as a thin ring inside the shape.
        QColor ring = palette().color(QPalette::Highlight);
        ring.setAlphaF(0.6f);
        painter.setPen(QPen(ring, 1.5));
        painter.setBrush(Qt::NoBrush);
        const QRectF focus = shape.adjusted(1.5, 1.5, -1.5, -1.5);
        painter.drawRoundedRect(focus, std::max(0.0, radius - 1.5), std::max(0.0, radius - 1.5));
    }
}
