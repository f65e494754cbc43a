#include "extension/ExtensionMessages.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>

#include "app/common/ConfigurationProvider.h"

namespace ExtensionMessages {
namespace {

std::optional<QJsonObject> object(const QByteArray& json) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    return document.object();
}

}  // namespace

std::optional<URLSyncStatus> URLSyncStatus::decode(const QByteArray& json) {
    const auto record = object(json);
    if (!record) return std::nullopt;
    const QJsonValue url = record->value(QLatin1String("url"));
    const QJsonValue word = record->value(QLatin1String("itemStatusDescription"));
    if (!url.isString() || !word.isString()) return std::nullopt;
    const QUrl parsed(url.toString(), QUrl::StrictMode);
    if (!parsed.isValid()) return std::nullopt;
    return URLSyncStatus{parsed, word.toString()};
}

std::optional<RootDirectory> RootDirectory::decode(const QByteArray& json) {
    const auto record = object(json);
    if (!record) return std::nullopt;
    const QJsonValue path = record->value(QLatin1String("path"));
    if (!path.isString()) return std::nullopt;
    return RootDirectory{path.toString()};
}

}  // namespace ExtensionMessages

namespace ExtensionPorts {

QString appGroupIdentifier() { return sharedConfigurationProvider().appGroupIdentifier(); }
QString registrationPortName() { return appGroupIdentifier() + QStringLiteral(".fsereg"); }
QString badgeServerPortName() { return appGroupIdentifier() + QStringLiteral(".fseserver"); }

QString randomPortSuffix(int length) {
    static const QLatin1String alphabet("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789");
    QString suffix;
    suffix.reserve(length);
    for (int i = 0; i < length; ++i)
        suffix.append(alphabet.at(QRandomGenerator::system()->bounded(static_cast<int>(alphabet.size()))));
    return suffix;
}

}  // namespace ExtensionPorts
