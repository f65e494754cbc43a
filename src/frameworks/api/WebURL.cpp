#include "frameworks/api/WebURL.h"

namespace WebURL {

std::optional<QUrl> parse(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || url.isRelative()) return std::nullopt;
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("https") && scheme != QLatin1String("http")) return std::nullopt;
    if (url.host().isEmpty()) return std::nullopt;
    return url;
}

}  // namespace WebURL
