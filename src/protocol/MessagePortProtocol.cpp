#include "protocol/MessagePortProtocol.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QStringDecoder>

#include "protocol/core/Records.h"

namespace MessagePortProtocol {

QString badgePortName(const QString& appGroupIdentifier) {
    return QString::fromStdString(OrvellaPorts::badgePortName(appGroupIdentifier.toStdString()));
}

QString registrationPortName(const QString& appGroupIdentifier) {
    return QString::fromStdString(OrvellaPorts::registrationPortName(appGroupIdentifier.toStdString()));
}

Push decodePush(const QByteArray& data) {
    if (auto status = URLSyncStatus::decode(data)) return *status;
    if (auto root = RootDirectory::decode(data)) return *root;
    return std::monostate{};
}

QByteArray encodeJson(const QJsonObject& object) {
    // A "/" can only stand inside a string in compact JSON, so every one of them is escaped.
    QByteArray bytes = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return bytes.replace('/', "\\/");
}

std::optional<QJsonObject> jsonObject(const QByteArray& data) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    return document.object();
}

std::optional<QString> decodeUtf8(const QByteArray& data) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(data);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

}  // namespace MessagePortProtocol
