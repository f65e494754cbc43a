#include "frameworks/business/TokenKeychain.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

#include "service/AtomicFile.h"

namespace {

QString dataHome() {
    const QString data = qEnvironmentVariable("XDG_DATA_HOME");
    return data.isEmpty() ? QDir::homePath() + QStringLiteral("/.local/share") : data;
}

}  // namespace

QString TokenKeychain::safeFileName(const QString& name) {
    if (name.isEmpty()) return QStringLiteral("default");
    // Only letters, digits, "-", "_" and "." stay as they are, and a leading point is encoded too,
    // so that no name becomes ".", ".." or a hidden file.
    QString safe = QString::fromLatin1(name.toUtf8().toPercentEncoding(QByteArray(), QByteArrayLiteral("~")));
    if (safe.startsWith(u'.')) safe.replace(0, 1, QStringLiteral("%2E"));
    return safe;
}

QString TokenKeychain::defaultFolder(const QString& group) {
    return QDir::cleanPath(dataHome() + u'/' + safeFileName(group.isEmpty() ? QStringLiteral("Orvella") : group) +
                           QStringLiteral("/keychain"));
}

TokenKeychain::TokenKeychain(QString folder, const QString& account)
    : folder_(QDir::cleanPath(std::move(folder))), path_(folder_ + u'/' + safeFileName(account)) {}

std::optional<ServiceClient::Tokens> TokenKeychain::tokens() const {
    const auto bytes = AtomicFile::read(path_);
    if (!bytes) return std::nullopt;
    const QString secret = QJsonDocument::fromJson(*bytes).object().value(QStringLiteral("token")).toString();
    if (secret.isEmpty()) return std::nullopt;
    if (!secret.startsWith(u'{')) return ServiceClient::Tokens{secret, secret};
    const QJsonObject pair = QJsonDocument::fromJson(secret.toUtf8()).object();
    ServiceClient::Tokens tokens{pair.value(QStringLiteral("access")).toString(), pair.value(QStringLiteral("refresh")).toString()};
    if (tokens.accessToken.isEmpty() && tokens.refreshToken.isEmpty()) return std::nullopt;
    return tokens;
}

bool TokenKeychain::store(const ServiceClient::Tokens& tokens, const QString& userName) const {
    if (!QDir().mkpath(folder_)) return false;
    if (!QFile::setPermissions(folder_, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner))
        return false;
    const QJsonObject pair{{QStringLiteral("access"), tokens.accessToken}, {QStringLiteral("refresh"), tokens.refreshToken}};
    const QString secret = QString::fromUtf8(QJsonDocument(pair).toJson(QJsonDocument::Compact));
    const QJsonObject json{{QStringLiteral("userName"), userName}, {QStringLiteral("token"), secret}};
    return AtomicFile::write(path_, QJsonDocument(json).toJson(QJsonDocument::Compact), 0600);
}

bool TokenKeychain::remove() const { return QFile::remove(path_) || !QFileInfo::exists(path_); }
