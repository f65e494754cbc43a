#include "app/sharing/ShareInfoPasswordTransformer.h"

#include <QPainter>
#include <QPainterPath>

#include "app/sharing/ShareTransformerInput.h"

QImage ShareInfoPasswordTransformer::namedImage(const QString& name) {
    const bool locked = name == lockedImageName;
    if (!locked && name != unlockedImageName) return {};
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 3));
    // The shackle: closed over the body, or swung open to the right.
    QPainterPath shackle;
    const qreal left = locked ? 9 : 17;
    shackle.moveTo(left, 15);
    shackle.lineTo(left, 10);
    shackle.arcTo(QRectF(left, 3, 14, 14), 180, -180);
    shackle.lineTo(left + 14, locked ? 15 : 11);
    painter.drawPath(shackle);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(QRectF(5, 15, 22, 15), 3, 3);
    painter.end();
    image.setText(QStringLiteral("name"), name);
    return image;
}

QVariant ShareInfoPasswordTransformer::transformedValue(const QVariant& value) const {
    if (!ShareTransformerInput::isNumber(value)) return QImage();
    const bool locked = value.metaType().id() == QMetaType::Bool ? value.toBool() : value.toDouble() == 1.0;
    const QImage image = namedImage(locked ? lockedImageName : unlockedImageName);
    if (image.isNull()) return {};
    return image;
}
