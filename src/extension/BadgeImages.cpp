#include "extension/BadgeImages.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

#include <mutex>

#include "platform/findersync/FinderSyncController.h"
#include "protocol/BadgeWords.h"

namespace BadgeImages {
namespace {

constexpr int kSize = 32;

enum class Mark { none, check, cross, arrows, minus, lock };

// A filled disc with a white rim and a simple white mark.
QImage drawBadge(const QColor& fill, Mark mark) {
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(fill);
    painter.drawEllipse(QRectF(2, 2, kSize - 4, kSize - 4));
    QPen markPen(Qt::white, 3, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(markPen);
    painter.setBrush(Qt::NoBrush);
    switch (mark) {
    case Mark::none:
        break;
    case Mark::check:
        painter.drawPolyline(QPolygonF({QPointF(9, 16.5), QPointF(14, 21.5), QPointF(23, 11)}));
        break;
    case Mark::cross:
        painter.drawLine(QPointF(11, 11), QPointF(21, 21));
        painter.drawLine(QPointF(21, 11), QPointF(11, 21));
        break;
    case Mark::arrows:
        painter.drawArc(QRectF(9, 9, 14, 14), 30 * 16, 150 * 16);
        painter.drawArc(QRectF(9, 9, 14, 14), 210 * 16, 150 * 16);
        break;
    case Mark::minus:
        painter.drawLine(QPointF(10, 16), QPointF(22, 16));
        break;
    case Mark::lock:
        painter.setBrush(Qt::white);
        painter.drawRect(QRectF(11, 15, 10, 7));
        painter.setBrush(Qt::NoBrush);
        painter.drawArc(QRectF(12.5, 9, 7, 9), 0, 180 * 16);
        break;
    }
    return image;
}

}  // namespace

std::optional<QImage> bundledAsset(const QString& name) {
    if (name == QLatin1String("BadgeError")) return drawBadge(QColor(0xd9, 0x30, 0x25), Mark::cross);
    if (name == QLatin1String("BadgeReadOnly")) return drawBadge(QColor(0x8e, 0x8e, 0x93), Mark::lock);
    if (name == QLatin1String("BadgeSelectivelyNotSynced")) return drawBadge(QColor(0xb0, 0xb0, 0xb5), Mark::minus);
    if (name == QLatin1String("BadgeSynced")) return drawBadge(QColor(0x34, 0xa8, 0x53), Mark::check);
    if (name == QLatin1String("BadgeSyncing")) return drawBadge(QColor(0x1a, 0x73, 0xe8), Mark::arrows);
    return std::nullopt;
}

QImage systemStatusImage(const QString& name) {
    static std::mutex mutex;
    static QHash<QString, QImage> kept;
    std::lock_guard lock(mutex);
    if (const auto it = kept.constFind(name); it != kept.constEnd()) return *it;
    QColor colour(0xc7, 0xc7, 0xcc);  // "StatusNone" and anything unknown: a plain grey dot
    if (name == QLatin1String("StatusAvailable")) colour = QColor(0x30, 0xd1, 0x58);
    else if (name == QLatin1String("StatusPartiallyAvailable")) colour = QColor(0xff, 0xcc, 0x00);
    else if (name == QLatin1String("StatusUnavailable")) colour = QColor(0xff, 0x3b, 0x30);
    const QImage image = drawBadge(colour, Mark::none);
    kept.insert(name, image);
    return image;
}

void registerBadgeIdentifiers(FinderSyncController& controller, const AssetLookup& lookup) {
    struct Entry {
        QLatin1String identifier;
        const char* label;
        const char* asset;
        const char* fallback;
    };
    static const Entry entries[] = {
        {BadgeWords::error, "Error", "BadgeError", "StatusUnavailable"},
        {BadgeWords::ignored, "Ignored", "BadgeSelectivelyNotSynced", "StatusNone"},
        {BadgeWords::readOnly, "Read Only", "BadgeReadOnly", "StatusNone"},
        {BadgeWords::selectivelyNotSynced, "Selectively Not Synced", "BadgeSelectivelyNotSynced", "StatusNone"},
        {BadgeWords::synced, "Synced", "BadgeSynced", "StatusAvailable"},
        {BadgeWords::syncing, "Syncing", "BadgeSyncing", "StatusPartiallyAvailable"},
    };
    QHash<QString, QImage> assets;
    bool allThere = true;
    for (const char* name : {"BadgeError", "BadgeReadOnly", "BadgeSelectivelyNotSynced", "BadgeSynced", "BadgeSyncing"}) {
        const std::optional<QImage> image = lookup ? lookup(QLatin1String(name)) : std::nullopt;
        if (!image) {
            allThere = false;
            break;
        }
        assets.insert(QLatin1String(name), *image);
    }
    for (const Entry& entry : entries) {
        const QImage image = allThere ? assets.value(QLatin1String(entry.asset))
                                      : systemStatusImage(QLatin1String(entry.fallback));
        controller.setBadgeImage(image, QLatin1String(entry.label), entry.identifier);
    }
}

}  // namespace BadgeImages
