#include "protocol/URLSyncStatus.h"

#include <QJsonObject>
#include <QUrl>

#include "protocol/MessagePortProtocol.h"

QByteArray URLSyncStatus::encoded() const {
    return MessagePortProtocol::encodeJson(QJsonObject{{QStringLiteral("url"), url},
                                          {QStringLiteral("itemStatusDescription"), itemStatusDescription}});
}

std::optional<URLSyncStatus> URLSyncStatus::decode(const QByteArray& data) {
    const auto object = MessagePortProtocol::jsonObject(data);
    if (!object) return std::nullopt;
    const auto url = object->value(QStringLiteral("url"));
    const auto description = object->value(QStringLiteral("itemStatusDescription"));
    if (!url.isString() || !description.isString()) return std::nullopt;
    // The extension badges the item by this URL: one it cannot parse names no item.
    if (!QUrl(url.toString(), QUrl::StrictMode).isValid()) return std::nullopt;
    return URLSyncStatus(url.toString(), description.toString());
}
