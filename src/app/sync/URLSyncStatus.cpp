#include "app/sync/URLSyncStatus.h"

#include <QJsonObject>

#include "app/sync/MessagePortProtocol.h"

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
    return URLSyncStatus(url.toString(), description.toString());
}
