#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QVariant>

#include <optional>

// An encryption key as the user sees it: its text form and the QR code that carries it.
class ObjCCryptoKey : public QObject {
    Q_OBJECT
    // Invalid QVariant when absent.
    Q_PROPERTY(QVariant stringRepresentation READ stringRepresentationValue NOTIFY stringRepresentationChanged)
    Q_PROPERTY(QVariant qrCodeImageData READ qrCodeImageDataValue NOTIFY qrCodeImageDataChanged)

public:
    ObjCCryptoKey(std::optional<QString> stringRepresentation, std::optional<QByteArray> qrCodeImageData,
                  QObject* parent = nullptr);

    const std::optional<QString>& stringRepresentation() const { return stringRepresentation_; }
    const std::optional<QByteArray>& qrCodeImageData() const { return qrCodeImageData_; }
    void setStringRepresentation(std::optional<QString> value);
    void setQrCodeImageData(std::optional<QByteArray> value);

    QVariant stringRepresentationValue() const;
    QVariant qrCodeImageDataValue() const;

signals:
    void stringRepresentationChanged();
    void qrCodeImageDataChanged();

private:
    std::optional<QString> stringRepresentation_;
    std::optional<QByteArray> qrCodeImageData_;
};
