#include "frameworks/api/ServerChoice.h"

#include <QHostAddress>

#include "platform/foundation/UserDefaults.h"

namespace ServerChoice {
namespace {
const QString storedKey = QStringLiteral("serverURL");
}

std::optional<QUrl> chosen() {
    if (isFromEnvironment()) return parse(qEnvironmentVariable(environmentVariable)).url;
    const QVariant stored = UserDefaults::standard().object(storedKey);
    if (!stored.isValid()) return std::nullopt;
    return parse(stored.toString()).url;
}

bool isFromEnvironment() { return !qEnvironmentVariable(environmentVariable).trimmed().isEmpty(); }

void store(const std::optional<QUrl>& server) {
    if (server) UserDefaults::standard().setObject(storedKey, server->toString());
    else UserDefaults::standard().removeObject(storedKey);
}

bool isLoopback(const QString& host) {
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0) return true;
    const QHostAddress address(host);
    return !address.isNull() && address.isLoopback();
}

Parsed parse(const QString& text) {
    QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) return {};
    if (!trimmed.contains(QStringLiteral("://"))) trimmed.prepend(QStringLiteral("https://"));
    QUrl url(trimmed, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.host().isEmpty() || (scheme != QLatin1String("https") && scheme != QLatin1String("http")))
        return {std::nullopt, QStringLiteral("Enter the server's address, such as https://cloud.example.org:8443.")};
    if (!url.userInfo().isEmpty() || url.hasQuery() || url.hasFragment() ||
        (!url.path().isEmpty() && url.path() != QLatin1String("/")))
        return {std::nullopt, QStringLiteral("Enter only the server's address, without a path, a name or a password.")};
    if (scheme == QLatin1String("http") && !isLoopback(url.host()))
        return {std::nullopt, QStringLiteral("Use https:// for a server on another computer: your password would "
                                             "otherwise cross the network unprotected.")};
    url.setPath(QString());
    url.setScheme(scheme);
    return {url, QString()};
}

QString describe(const std::optional<QUrl>& server) {
    return server ? server->toString(QUrl::StripTrailingSlash) : QStringLiteral("This computer (built in)");
}

}  // namespace ServerChoice
