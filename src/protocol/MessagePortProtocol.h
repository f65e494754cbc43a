#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <optional>
#include <variant>

#include "protocol/RootDirectory.h"
#include "protocol/URLSyncStatus.h"

// What the application and the file-manager extension say to each other over message ports.
namespace MessagePortProtocol {

// Every message carries this id; no receiver looks at it.
inline constexpr std::int32_t messageId = 1;
// Every send waits this long (seconds) to be sent, and as long again for its answer.
inline constexpr double sendTimeout = 1.0;
inline constexpr double receiveTimeout = 1.0;

// The application's badge-query and registration ports, named from the app group.
QString badgePortName(const QString& appGroupIdentifier);
QString registrationPortName(const QString& appGroupIdentifier);

// A push as the extension reads it: a status record first, the sync folder only when that fails.
using Push = std::variant<std::monostate, URLSyncStatus, RootDirectory>;
Push decodePush(const QByteArray& data);

// The JSON form both executables share: one compact UTF-8 object in which "/" is written "\/".
QByteArray encodeJson(const QJsonObject& object);
// The object the bytes hold; none for anything else or bytes that are not JSON.
std::optional<QJsonObject> jsonObject(const QByteArray& data);

// Bytes that must be UTF-8 as a whole; none when they are not.
std::optional<QString> decodeUtf8(const QByteArray& data);

}  // namespace MessagePortProtocol
