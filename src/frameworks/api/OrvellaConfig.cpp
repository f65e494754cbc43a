#include "frameworks/api/OrvellaConfig.h"

#include <utility>

OrvellaConfig::OrvellaConfig(QString clientId, std::optional<QString> clientSecret,
                             std::optional<OrvellaBackgroundSessionConfiguration> backgroundSessionConfiguration,
                             QUrl apiBaseURL, EndPoint authorizeEndPoint, EndPoint tokenEndPoint,
                             EndPoint tokenInfoEndPoint, EndPoint revokeEndPoint)
    : m_clientId(std::move(clientId)),
      m_clientSecret(std::move(clientSecret)),
      m_backgroundSessionConfiguration(std::move(backgroundSessionConfiguration)),
      m_apiBaseURL(std::move(apiBaseURL)),
      m_authorizeEndPoint(std::move(authorizeEndPoint)),
      m_tokenEndPoint(std::move(tokenEndPoint)),
      m_tokenInfoEndPoint(std::move(tokenInfoEndPoint)),
      m_revokeEndPoint(std::move(revokeEndPoint)) {}
