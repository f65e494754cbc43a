#include "app/shell/transformers/PathToImageTransformer.h"

#include <QApplication>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QMetaObject>
#include <QStyle>

#include "app/shell/controls/ImageResizing.h"
#include "app/shell/transformers/TransformerInput.h"
#include "platform/foundation/MainQueue.h"

namespace {

constexpr QSize iconSize(16, 16);
constexpr QSize cautionSize(32, 32);

QImage cautionImage() {
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (!app) return {};
    const QIcon icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning);
    if (icon.isNull()) return {};
    return icon.pixmap(cautionSize).toImage();
}

QImage fileIcon(const QString& path) {
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())) return {};
    return resizedImage(QFileIconProvider().icon(QFileInfo(path)), iconSize);
}

QVariant imageFor(const std::optional<QString>& path) {
    QImage image;
    if (path) image = fileIcon(*path);
    // A path whose icon cannot be drawn shows the caution sign, as any other input does.
    if (image.isNull()) image = cautionImage();
    return image.isNull() ? QVariant() : QVariant(image);
}

}  // namespace

QVariant PathToImageTransformer::transformedValue(const QVariant& value) const {
    const auto path = TransformerInput::string(value);
    QCoreApplication* app = QCoreApplication::instance();
    if (MainQueue::isMainThread() || !app) return imageFor(path);
    QVariant result;
    QMetaObject::invokeMethod(app, [&] { result = imageFor(path); }, Qt::BlockingQueuedConnection);
    return result;
}
