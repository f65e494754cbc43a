#include "app/shell/preferences/PreferencesToolbarImages.h"

#include <QIconEngine>
#include <QOperatingSystemVersion>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QtMath>

namespace PreferencesToolbarImages {

namespace {

const QString modernSuffix = QStringLiteral("_macOS11+");

QString baseName(Tab tab) {
    switch (tab) {
    case Tab::general: return QStringLiteral("GeneralToolbarIcon");
    case Tab::selectiveSync: return QStringLiteral("SelectiveSyncToolbarIcon");
    case Tab::encryption:
    case Tab::encryptionUpsell: return QStringLiteral("EncryptionToolbarIcon");
    case Tab::backup:
    case Tab::backupUpsell: return QStringLiteral("BackupRestoreToolbarIcon");
    case Tab::autoImport: return QStringLiteral("AutoUploadToolbarIcon");
    case Tab::softwareUpdate: return QStringLiteral("SoftwareUpdateToolbarIcon");
    }
    return {};
}

bool hasModernVariant(Tab tab) {
    return tab == Tab::general || tab == Tab::selectiveSync || tab == Tab::backup || tab == Tab::backupUpsell ||
           tab == Tab::softwareUpdate;
}

// Each drawing fills a 32 x 32 square.
void drawGear(QPainter& p) {
    QPainterPath teeth;
    for (int i = 0; i < 8; ++i) {
        const qreal angle = i * 45.0;
        QTransform t;
        t.translate(16, 16).rotate(angle);
        teeth.addPolygon(t.map(QPolygonF(QRectF(-3, -14, 6, 6))));
    }
    p.drawPath(teeth.simplified());
    p.drawEllipse(QPointF(16, 16), 10, 10);
    p.setCompositionMode(QPainter::CompositionMode_Clear);
    p.drawEllipse(QPointF(16, 16), 4, 4);
}

void drawArrows(QPainter& p) {
    QPen pen(p.brush().color(), 3);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(5, 5, 22, 22), 30 * 16, 150 * 16);
    p.drawArc(QRectF(5, 5, 22, 22), 210 * 16, 150 * 16);
    p.setPen(Qt::NoPen);
    p.setBrush(pen.color());
    p.drawPolygon(QPolygonF({QPointF(2, 14), QPointF(10, 14), QPointF(6, 20)}));
    p.drawPolygon(QPolygonF({QPointF(22, 18), QPointF(30, 18), QPointF(26, 12)}));
}

void drawLock(QPainter& p) {
    p.drawRoundedRect(QRectF(6, 14, 20, 15), 3, 3);
    QPen pen(p.brush().color(), 3);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(10, 4, 12, 16), 0, 180 * 16);
    p.drawLine(QPointF(10, 12), QPointF(10, 15));
    p.drawLine(QPointF(22, 12), QPointF(22, 15));
}

void drawClock(QPainter& p) {
    QPen pen(p.brush().color(), 3);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(QPointF(16, 16), 12, 12);
    p.drawLine(QPointF(16, 16), QPointF(16, 8));
    p.drawLine(QPointF(16, 16), QPointF(22, 19));
}

void drawArrow(QPainter& p, bool up) {
    QTransform t;
    if (!up) t.translate(0, 32).scale(1, -1);
    p.setTransform(t, true);
    p.drawPolygon(QPolygonF({QPointF(16, 3), QPointF(27, 15), QPointF(20, 15), QPointF(20, 24), QPointF(12, 24),
                             QPointF(12, 15), QPointF(5, 15)}));
    p.drawRect(QRectF(5, 26, 22, 3));
}

class DrawnIconEngine : public QIconEngine {
public:
    explicit DrawnIconEngine(QString name) : name_(std::move(name)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State) override {
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->translate(rect.topLeft());
        painter->scale(rect.width() / 32.0, rect.height() / 32.0);
        const QColor color = mode == QIcon::Disabled ? QColor(0, 0, 0, 90) : QColor(0x3c, 0x3c, 0x43);
        painter->setPen(Qt::NoPen);
        painter->setBrush(color);
        QString base = name_;
        base.remove(modernSuffix);
        if (base == QLatin1String("GeneralToolbarIcon")) drawGear(*painter);
        else if (base == QLatin1String("SelectiveSyncToolbarIcon")) drawArrows(*painter);
        else if (base == QLatin1String("EncryptionToolbarIcon")) drawLock(*painter);
        else if (base == QLatin1String("BackupRestoreToolbarIcon")) drawClock(*painter);
        else if (base == QLatin1String("AutoUploadToolbarIcon")) drawArrow(*painter, true);
        else if (base == QLatin1String("SoftwareUpdateToolbarIcon")) drawArrow(*painter, false);
        painter->restore();
    }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        QPixmap pixmap(size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        paint(&painter, QRect(QPoint(0, 0), size), mode, state);
        return pixmap;
    }

    QIconEngine* clone() const override { return new DrawnIconEngine(name_); }
    QString iconName() override { return name_; }

private:
    QString name_;
};

}  // namespace

QString imageName(Tab tab, bool isModernSystem) {
    const QString base = baseName(tab);
    return isModernSystem && hasModernVariant(tab) ? base + modernSuffix : base;
}

bool isModernSystem() {
    static const bool modern = QOperatingSystemVersion::current() >= QOperatingSystemVersion::MacOSBigSur;
    return modern;
}

QStringList names() {
    QStringList all;
    for (Tab tab : {Tab::general, Tab::selectiveSync, Tab::encryption, Tab::backup, Tab::autoImport,
                    Tab::softwareUpdate})
        for (bool modern : {false, true})
            if (!all.contains(imageName(tab, modern))) all.append(imageName(tab, modern));
    return all;
}

QIcon imageNamed(const QString& name) {
    if (!names().contains(name)) return {};
    return QIcon(new DrawnIconEngine(name));
}

}  // namespace PreferencesToolbarImages
