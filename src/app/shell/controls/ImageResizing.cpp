#include "app/shell/controls/ImageResizing.h"

#include <QPainter>
#include <QPixmap>

QImage resizedImage(const QImage& image, const QSize& size) {
    if (image.isNull() || size.isEmpty()) return image;
    QImage resized(size, QImage::Format_ARGB32_Premultiplied);
    resized.fill(Qt::transparent);
    QPainter painter(&resized);
    if (!painter.isActive()) return image;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(0, 0), size), image);
    return resized;
}

QImage resizedImage(const QIcon& icon, const QSize& size) {
    if (icon.isNull() || size.isEmpty()) return {};
    // pixmap() picks the closest available size and never scales up, hence the redraw.
    const QPixmap best = icon.pixmap(size);
    if (best.isNull()) return {};
    return resizedImage(best.toImage(), size);
}
