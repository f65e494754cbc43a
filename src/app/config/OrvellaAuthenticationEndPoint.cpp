#include "app/config/OrvellaAuthenticationEndPoint.h"

#include "frameworks/api/OrvellaAuthenticationURLParams.h"
#include "frameworks/api/WebURL.h"

namespace {

std::optional<QString> stringValue(const QVariantMap& dictionary, const QString& key) {
    const auto it = dictionary.constFind(key);
    if (it == dictionary.constEnd() || it->typeId() != QMetaType::QString) return std::nullopt;
    return it->toString();
}

}  // namespace

std::unique_ptr<OrvellaAuthenticationEndPoint> OrvellaAuthenticationEndPoint::init() {
    return std::unique_ptr<OrvellaAuthenticationEndPoint>(new OrvellaAuthenticationEndPoint());
}

std::unique_ptr<OrvellaAuthenticationEndPoint> OrvellaAuthenticationEndPoint::init(
    const std::optional<QVariantMap>& dictionary) {
    if (!dictionary || dictionary->isEmpty()) return nullptr;
    const QVariantMap& d = *dictionary;

    const std::optional<QString> address = stringValue(d, QStringLiteral("AbsoluteURL"));
    if (!address) return nullptr;
    const std::optional<QUrl> url = WebURL::parse(*address);
    if (!url) return nullptr;

    auto endPoint = init();
    endPoint->m_endPointAbsoluteURL = *url;
    endPoint->m_urlFragment = stringValue(d, QStringLiteral("URLFragment"));

    const std::optional<QString> scope = stringValue(d, QStringLiteral("URLParamScope"));
    const std::optional<QString> responseType = stringValue(d, QStringLiteral("URLParamResponseType"));
    if (scope && responseType) {
        QVariantMap additional;
        if (const auto display = d.constFind(QStringLiteral("URLParamDisplay")); display != d.constEnd())
            additional.insert(QStringLiteral("display"), *display);
        if (const auto prompt = d.constFind(QStringLiteral("URLParamPrompt")); prompt != d.constEnd())
            additional.insert(QStringLiteral("prompt"), *prompt);
        endPoint->m_urlParams = std::make_shared<OrvellaAuthenticationURLParams>(
            *responseType, *scope, stringValue(d, QStringLiteral("URLParamRedirectURIString")),
            stringValue(d, QStringLiteral("URLParamClaims")), std::move(additional));
    }
    return endPoint;
}
