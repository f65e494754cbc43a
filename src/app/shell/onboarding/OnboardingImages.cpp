#include "app/shell/onboarding/OnboardingImages.h"

#include <QPainter>
#include <QPainterPath>

#include <mutex>

#include "app/sync/SyncStatusImages.h"

namespace OnboardingImages {

namespace {

const QSize imageSize(320, 180);
const QColor accent(0x1f, 0x6f, 0xd6);
const QColor ink(0x2b, 0x2f, 0x36);
const QColor paper(0xf3, 0xf5, 0xf8);

// A laptop outline centred in the image; answers its screen's rectangle.
QRectF drawDevice(QPainter& p) {
    const QRectF screen(90, 22, 140, 100);
    p.setPen(QPen(ink, 3));
    p.setBrush(paper);
    p.drawRoundedRect(screen, 8, 8);
    QPainterPath base;
    base.moveTo(60, 130);
    base.lineTo(260, 130);
    base.lineTo(248, 146);
    base.lineTo(72, 146);
    base.closeSubpath();
    p.setBrush(ink);
    p.drawPath(base);
    return screen.adjusted(10, 10, -10, -10);
}

void drawFolder(QPainter& p, const QRectF& r, const QColor& color) {
    QPainterPath folder;
    folder.moveTo(r.left(), r.top() + r.height() * 0.18);
    folder.lineTo(r.left() + r.width() * 0.38, r.top() + r.height() * 0.18);
    folder.lineTo(r.left() + r.width() * 0.46, r.top());
    folder.lineTo(r.right(), r.top());
    folder.lineTo(r.right(), r.bottom());
    folder.lineTo(r.left(), r.bottom());
    folder.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(color);
    p.drawPath(folder);
}

QImage draw(const QString& name) {
    QImage image(imageSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    if (name == genericBlank) {
        drawDevice(p);
    } else if (name == genericDevice) {
        const QRectF screen = drawDevice(p);
        drawFolder(p, QRectF(screen.center().x() - 30, screen.center().y() - 24, 60, 46), accent);
    } else if (name == menuBarExtras) {
        const QRectF bar(30, 30, 260, 26);
        p.setPen(Qt::NoPen);
        p.setBrush(ink);
        p.drawRoundedRect(bar, 6, 6);
        p.drawImage(QPointF(236, 32), SyncStatusImages::image(SyncStatusImages::statusBarDefault, QSize(22, 22))
                                          .convertToFormat(QImage::Format_ARGB32_Premultiplied));
        p.setBrush(paper);
        p.setPen(QPen(ink, 2));
        p.drawRoundedRect(QRectF(150, 62, 130, 100), 6, 6);
        p.setPen(QPen(ink.lighter(250), 6, Qt::SolidLine, Qt::RoundCap));
        for (int row = 0; row < 4; ++row) p.drawLine(QPointF(166, 84 + row * 20), QPointF(252 - row * 12, 84 + row * 20));
    } else if (name == security) {
        QPainterPath shield;
        shield.moveTo(160, 18);
        shield.cubicTo(190, 34, 214, 36, 226, 36);
        shield.cubicTo(226, 110, 200, 146, 160, 164);
        shield.cubicTo(120, 146, 94, 110, 94, 36);
        shield.cubicTo(106, 36, 130, 34, 160, 18);
        p.setPen(QPen(ink, 3));
        p.setBrush(paper);
        p.drawPath(shield);
        p.setBrush(accent);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(138, 84, 44, 38), 5, 5);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(accent, 6));
        p.drawArc(QRectF(145, 60, 30, 44), 0, 180 * 16);
    } else if (name == sharing) {
        p.setPen(QPen(accent, 10, Qt::SolidLine, Qt::RoundCap));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(QRectF(92, 70, 80, 40), 20, 20);
        p.setPen(QPen(ink, 10, Qt::SolidLine, Qt::RoundCap));
        p.drawRoundedRect(QRectF(148, 70, 80, 40), 20, 20);
    } else {
        p.end();
        return {};
    }
    p.end();
    return image;
}

std::mutex providerMutex;
std::function<std::optional<QImage>(const QString&)>& provider() {
    static std::function<std::optional<QImage>(const QString&)> value;
    return value;
}

}  // namespace

QStringList names() { return {genericBlank, genericDevice, menuBarExtras, security, sharing}; }

std::optional<QImage> named(const QString& name) {
    {
        std::lock_guard lock(providerMutex);
        if (provider()) return provider()(name);
    }
    if (!names().contains(name)) return std::nullopt;
    return draw(name);
}

void setProviderForTesting(std::function<std::optional<QImage>(const QString&)> value) {
    std::lock_guard lock(providerMutex);
    provider() = std::move(value);
}

}  // namespace OnboardingImages
