#pragma once

#include <utility>

#include "app/config/EndPointProtocols.h"

// An end point that is nothing but its address, typed by the role it plays.
template <class Protocol>
class AbsoluteURLEndPoint final : public Protocol {
public:
    explicit AbsoluteURLEndPoint(QString absoluteURL) : m_absoluteURL(std::move(absoluteURL)) {}
    QString absoluteURL() const override { return m_absoluteURL; }

private:
    QString m_absoluteURL;
};

class AuthorizeEndPoint final : public EndPointAuthorizeProtocol {
public:
    AuthorizeEndPoint(QString absoluteURL, QString uRLFragment, QString uRLParamResponseType,
                      QString uRLParamScope, std::optional<QString> uRLParamRedirectURIString)
        : m_absoluteURL(std::move(absoluteURL)),
          m_uRLFragment(std::move(uRLFragment)),
          m_uRLParamResponseType(std::move(uRLParamResponseType)),
          m_uRLParamScope(std::move(uRLParamScope)),
          m_uRLParamRedirectURIString(std::move(uRLParamRedirectURIString)) {}

    QString absoluteURL() const override { return m_absoluteURL; }
    QString uRLFragment() const override { return m_uRLFragment; }
    std::optional<QString> uRLParamRedirectURIString() const override { return m_uRLParamRedirectURIString; }
    QString uRLParamResponseType() const override { return m_uRLParamResponseType; }
    QString uRLParamScope() const override { return m_uRLParamScope; }

private:
    QString m_absoluteURL;
    QString m_uRLFragment;
    QString m_uRLParamResponseType;
    QString m_uRLParamScope;
    std::optional<QString> m_uRLParamRedirectURIString;
};
