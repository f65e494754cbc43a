#pragma once

#include "frameworks/api/OrvellaAuthenticationURLParamsProtocol.h"

class OrvellaAuthenticationURLParams final : public OrvellaAuthenticationURLParamsProtocol {
public:
    OrvellaAuthenticationURLParams(QString responseType, QString scope,
                                   std::optional<QString> redirectURIString = std::nullopt,
                                   std::optional<QString> claims = std::nullopt,
                                   std::optional<QVariantMap> additionalParams = std::nullopt);

    QString responseType() const override { return m_responseType; }
    QString scope() const override { return m_scope; }
    std::optional<QString> redirectURIString() const override { return m_redirectURIString; }
    std::optional<QString> claims() const override { return m_claims; }
    std::optional<QVariantMap> additionalParams() const override { return m_additionalParams; }

private:
    QString m_responseType;
    QString m_scope;
    std::optional<QString> m_redirectURIString;
    std::optional<QString> m_claims;
    std::optional<QVariantMap> m_additionalParams;
};
