#include "app/core/ObjCCryptoKey.h"

ObjCCryptoKey::ObjCCryptoKey(std::optional<QString> stringRepresentation, std::optional<QByteArray> qrCodeImageData,
                             QObject* parent)
    : QObject(parent),
      stringRepresentation_(std::move(stringRepresentation)),
      qrCodeImageData_(std::move(qrCodeImageData)) {}

void ObjCCryptoKey::setStringRepresentation(std::optional<QString> value) {
    if (stringRepresentation_ == value) return;
    stringRepresentation_ = std::move(value);
    emit stringRepresentationChanged();
}

void ObjCCryptoKey::setQrCodeImageData(std::optional<QByteArray> value) {
    if (qrCodeImageData_ == value) return;
    qrCodeImageData_ = std::move(value);
    emit qrCodeImageDataChanged();
}

QVariant ObjCCryptoKey::stringRepresentationValue() const {
    return stringRepresentation_ ? QVariant(*stringRepresentation_) : QVariant();
}

QVariant ObjCCryptoKey::qrCodeImageDataValue() const {
    return qrCodeImageData_ ? QVariant(*qrCodeImageData_) : QVariant();
}
