#pragma once

#include "frameworks/api/OrvellaConfigProtocol.h"

class OrvellaConfig final : public OrvellaConfigProtocol {
public:
    OrvellaConfig(QString clientId, std::optional<QString> clientSecret,
                  std::optional<OrvellaBackgroundSessionConfiguration> backgroundSessionConfiguration,
                  QUrl apiBaseURL, EndPoint authorizeEndPoint, EndPoint tokenEndPoint,
                  EndPoint tokenInfoEndPoint, EndPoint revokeEndPoint);

    QString clientId() const override { return m_clientId; }
    std::optional<QString> clientSecret() const override { return m_clientSecret; }
    std::optional<OrvellaBackgroundSessionConfiguration> backgroundSessionConfiguration() const override {
        return m_backgroundSessionConfiguration;
    }
    QUrl apiBaseURL() const override { return m_apiBaseURL; }
    EndPoint authorizeEndPoint() const override { return m_authorizeEndPoint; }
    EndPoint tokenEndPoint() const override { return m_tokenEndPoint; }
    EndPoint tokenInfoEndPoint() const override { return m_tokenInfoEndPoint; }
    EndPoint revokeEndPoint() const override { return m_revokeEndPoint; }

private:
    QString m_clientId;
    std::optional<QString> m_clientSecret;
    std::optional<OrvellaBackgroundSessionConfiguration> m_backgroundSessionConfiguration;
    QUrl m_apiBaseURL;
    EndPoint m_authorizeEndPoint;
    EndPoint m_tokenEndPoint;
    EndPoint m_tokenInfoEndPoint;
    EndPoint m_revokeEndPoint;
};
