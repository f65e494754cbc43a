#include "app/sync/SyncStatusImages.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace SyncStatusImages {

namespace {

enum class Mark { none, slash, arrows, pause, exclamation };

struct Look {
    bool filledCloud = true;
    Mark mark = Mark::none;
    QColor badge;  // invalid: no badge
};

// Everything is drawn on a 22 by 22 grid, the status bar's size, and scaled.
QPainterPath cloudPath() {
    QPainterPath cloud;
    cloud.addEllipse(QRectF(3.0, 8.5, 8.0, 8.0));
    cloud.addEllipse(QRectF(6.5, 4.5, 10.0, 10.0));
    cloud.addEllipse(QRectF(11.5, 8.0, 8.5, 8.5));
    cloud.addRoundedRect(QRectF(5.5, 11.0, 11.0, 5.5), 1.0, 1.0);
    // The parts overlap: their union, not the odd-even pattern of their overlaps.
    cloud.setFillRule(Qt::WindingFill);
    return cloud.simplified();
}

QPainterPath slashPath() {
    QPainterPath slash;
    slash.moveTo(3.5, 3.5);
    slash.lineTo(18.5, 18.5);
    return slash;
}

void drawMark(QPainter& painter, Mark mark, const QColor& color) {
    QPen pen(color, 1.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    switch (mark) {
    case Mark::none: break;
    case Mark::slash: painter.drawPath(slashPath()); break;
    case Mark::arrows: {
        // Up on the left, down on the right: a transfer in both directions.
        painter.drawLine(QPointF(9.0, 14.5), QPointF(9.0, 8.5));
        painter.drawPolyline(QPolygonF({QPointF(7.0, 10.5), QPointF(9.0, 8.5), QPointF(11.0, 10.5)}));
        painter.drawLine(QPointF(13.5, 8.5), QPointF(13.5, 14.5));
        painter.drawPolyline(QPolygonF({QPointF(11.5, 12.5), QPointF(13.5, 14.5), QPointF(15.5, 12.5)}));
        break;
    }
    case Mark::pause:
        painter.drawLine(QPointF(9.5, 9.0), QPointF(9.5, 14.0));
        painter.drawLine(QPointF(13.0, 9.0), QPointF(13.0, 14.0));
        break;
    case Mark::exclamation:
        painter.drawLine(QPointF(11.25, 8.0), QPointF(11.25, 12.0));
        painter.drawPoint(QPointF(11.25, 14.5));
        break;
    }
}

void drawStatusBar(QPainter& painter, const Look& look) {
    const QColor ink(0x20, 0x20, 0x20);
    // Panels are light or dark: a dark drawing in a light rim, with light marks, reads on both.
    const QColor rim(0xf4, 0xf4, 0xf4);
    const QPainterPath cloud = cloudPath();
    if (look.filledCloud) {
        painter.strokePath(cloud, QPen(rim, 2.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.fillPath(cloud, ink);
        drawMark(painter, look.mark, rim);
    } else {
        painter.strokePath(cloud, QPen(rim, 3.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.setPen(QPen(ink, 1.4));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(cloud);
        QPen markRim(rim, 3.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
        if (look.mark == Mark::slash) painter.strokePath(slashPath(), markRim);
        drawMark(painter, look.mark, ink);
    }
    if (look.badge.isValid()) {
        painter.setPen(Qt::NoPen);
        painter.setBrush(look.badge);
        painter.drawEllipse(QRectF(14.0, 13.0, 7.5, 7.5));
        painter.setPen(QPen(Qt::white, 1.3, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(17.75, 14.8), QPointF(17.75, 17.2));
        painter.drawPoint(QPointF(17.75, 19.0));
    }
}

void drawFolderIcon(QPainter& painter) {
    // A folder with the cloud on its front.
    QPainterPath back;
    back.moveTo(1.5, 5.0);
    back.lineTo(8.0, 5.0);
    back.lineTo(9.5, 6.5);
    back.lineTo(20.5, 6.5);
    back.lineTo(20.5, 18.5);
    back.lineTo(1.5, 18.5);
    back.closeSubpath();
    painter.fillPath(back, QColor(0x2f, 0x6f, 0xb5));
    QPainterPath front;
    front.addRoundedRect(QRectF(1.5, 8.0, 19.0, 10.5), 1.0, 1.0);
    painter.fillPath(front, QColor(0x4a, 0x90, 0xd9));
    painter.save();
    painter.translate(5.5, 7.0);
    painter.scale(0.5, 0.5);
    painter.fillPath(cloudPath(), Qt::white);
    painter.restore();
}

std::optional<Look> statusBarLook(const QString& name) {
    if (name == statusBarDefault) return Look{true, Mark::none, {}};
    if (name == statusBarOffline) return Look{false, Mark::slash, {}};
    if (name == statusBarSyncing) return Look{true, Mark::arrows, {}};
    if (name == statusBarPaused) return Look{true, Mark::pause, {}};
    if (name == statusBarErrorActive) return Look{true, Mark::none, QColor(0xd0, 0x3a, 0x2f)};
    if (name == statusBarErrorInactive) return Look{true, Mark::none, QColor(0x80, 0x80, 0x80)};
    return std::nullopt;
}

class NamedIconEngine final : public QIconEngine {
public:
    explicit NamedIconEngine(QString name) : name_(std::move(name)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QImage drawn = image(name_, rect.size() * ratio);
        if (mode == QIcon::Disabled) drawn = faded(drawn);
        drawn.setDevicePixelRatio(ratio);
        painter->drawImage(rect, drawn);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State) override {
        QImage drawn = image(name_, size);
        if (mode == QIcon::Disabled) drawn = faded(drawn);
        return QPixmap::fromImage(drawn);
    }
    QIconEngine* clone() const override { return new NamedIconEngine(name_); }
    QString iconName() override { return name_; }
    QString key() const override { return QStringLiteral("OrvellaNamedImage"); }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        return {QSize(16, 16), QSize(22, 22), QSize(32, 32), QSize(44, 44), QSize(64, 64), QSize(128, 128)};
    }

private:
    static QImage faded(QImage image) {
        QImage result(image.size(), QImage::Format_ARGB32_Premultiplied);
        result.fill(Qt::transparent);
        QPainter painter(&result);
        painter.setOpacity(0.4);
        painter.drawImage(0, 0, image);
        return result;
    }

    QString name_;
};

}  // namespace

QStringList names() {
    return {statusBarDefault,     statusBarOffline,       statusBarSyncing,  statusBarPaused,
            statusBarErrorActive, statusBarErrorInactive, finderSyncRootIcon};
}

QImage image(const QString& name, QSize size) {
    const std::optional<Look> look = statusBarLook(name);
    if ((!look && name != finderSyncRootIcon) || size.isEmpty()) return {};

    QImage result(size, QImage::Format_ARGB32_Premultiplied);
    result.fill(Qt::transparent);
    QPainter painter(&result);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size.width() / 22.0, size.height() / 22.0);
    if (look) drawStatusBar(painter, *look);
    else drawFolderIcon(painter);
    painter.end();
    return result;
}

QIcon icon(const QString& name) {
    if (!names().contains(name)) return {};
    return QIcon(new NamedIconEngine(name));
}

}  // namespace SyncStatusImages
