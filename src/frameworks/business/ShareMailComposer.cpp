#include "frameworks/business/ShareMailComposer.h"

#include <QDesktopServices>
#include <QRegularExpression>
#include <QUrlQuery>

#include <mutex>

namespace {

std::mutex handlerMutex;
std::function<bool(const QUrl&)> handlerHook;

QString encoded(const QString& text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); }

}  // namespace

namespace ShareMailComposer {

bool isPlainMailAddress(const QString& address) {
    static const QRegularExpression pattern(
        QStringLiteral("\\A[A-Z0-9a-z._%+-]+@[A-Za-z0-9.-]+\\.[A-Za-z]{2,64}\\z"));
    return pattern.match(address).hasMatch();
}

std::optional<QUrl> mailtoURL(const QStringList& addresses, const QString& subject, const QString& body) {
    if (addresses.isEmpty()) return std::nullopt;
    QStringList to;
    for (const QString& address : addresses) {
        if (!isPlainMailAddress(address)) return std::nullopt;
        to << encoded(address);
    }
    // Every part fully percent-encoded, so that "&", "?" or line breaks in the text stay text.
    const QString text = QStringLiteral("mailto:") + to.join(u',') + QStringLiteral("?subject=") + encoded(subject) +
                         QStringLiteral("&body=") + encoded(body);
    QUrl url(text, QUrl::StrictMode);
    if (!url.isValid()) return std::nullopt;
    return url;
}

bool open(const QUrl& url) {
    std::function<bool(const QUrl&)> handler;
    {
        std::lock_guard lock(handlerMutex);
        handler = handlerHook;
    }
    return handler ? handler(url) : QDesktopServices::openUrl(url);
}

void setHandler(std::function<bool(const QUrl&)> handler) {
    std::lock_guard lock(handlerMutex);
    handlerHook = std::move(handler);
}

}  // namespace ShareMailComposer
