#include "server/AccessTokens.h"

#include <QCryptographicHash>

#include "frameworks/crypto/OVCryptoManager.h"

namespace {
constexpr int tokenBytes = 32;
}

AccessTokens::AccessTokens(std::chrono::seconds lifetime) : lifetime_(lifetime) {}

std::string AccessTokens::keyOf(const QString& token) {
    return QCryptographicHash::hash(token.toUtf8(), QCryptographicHash::Sha256).toStdString();
}

QString AccessTokens::issue(const QString& session, const QString& userName, const QString& accountId) {
    const QString token = QString::fromLatin1(
        OVCryptoManager().randomBytes(tokenBytes).toBase64(QByteArray::Base64UrlEncoding | QByteArray::OmitTrailingEquals));
    const auto now = Clock::now();
    std::lock_guard lock(mutex_);
    if (now >= nextPrune_) {
        std::erase_if(grants_, [&](const auto& item) { return item.second.expires <= now; });
        nextPrune_ = now + std::chrono::minutes(1);
    }
    grants_[keyOf(token)] = Grant{session, userName, accountId, now + lifetime_};
    return token;
}

std::optional<AccessTokens::Grant> AccessTokens::find(const QString& token) const {
    if (token.isEmpty()) return std::nullopt;
    std::lock_guard lock(mutex_);
    const auto it = grants_.find(keyOf(token));
    if (it == grants_.end() || it->second.expires <= Clock::now()) return std::nullopt;
    return it->second;
}

void AccessTokens::dropSession(const QString& session) {
    std::lock_guard lock(mutex_);
    std::erase_if(grants_, [&](const auto& item) { return item.second.session == session; });
}
