#include "protocol/RootDirectory.h"

#include <QJsonObject>

#include "protocol/MessagePortProtocol.h"

QByteArray RootDirectory::encoded() const { return MessagePortProtocol::encodeJson(QJsonObject{{QStringLiteral("path"), path}}); }

std::optional<RootDirectory> RootDirectory::decode(const QByteArray& data) {
    const auto object = MessagePortProtocol::jsonObject(data);
    if (!object) return std::nullopt;
    const auto path = object->value(QStringLiteral("path"));
    if (!path.isString()) return std::nullopt;
    return RootDirectory{path.toString()};
}
