#include "frameworks/api/OrvellaAuthenticationURLParams.h"

#include <utility>

OrvellaAuthenticationURLParams::OrvellaAuthenticationURLParams(
    QString responseType, QString scope, std::optional<QString> redirectURIString,
    std::optional<QString> claims, std::optional<QVariantMap> additionalParams)
    : m_responseType(std::move(responseType)),
      m_scope(std::move(scope)),
      m_redirectURIString(std::move(redirectURIString)),
      m_claims(std::move(claims)),
      m_additionalParams(std::move(additionalParams)) {}
