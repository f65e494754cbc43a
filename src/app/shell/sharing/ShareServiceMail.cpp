#include "app/shell/sharing/ShareServiceMail.h"

namespace ShareServiceMail {

QUrl mailtoURL(const QString& subject, const QString& body, const QString& link) {
    // Every part fully percent-encoded, so that "&", "?" or line breaks in a name stay text.
    const auto encoded = [](const QString& text) { return QString::fromLatin1(QUrl::toPercentEncoding(text)); };
    return QUrl(QStringLiteral("mailto:?subject=") + encoded(subject) + QStringLiteral("&body=") +
                    encoded(body + QStringLiteral("\n\n") + link),
                QUrl::StrictMode);
}

}  // namespace ShareServiceMail
