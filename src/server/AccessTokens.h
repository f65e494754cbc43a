#pragma once

#include <QByteArray>
#include <QString>

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <unordered_map>

// The short-lived access tokens handed out beside a session (the refresh token). They live in
// this process only: after a restart a client's access token is unknown (401) and it refreshes,
// while its session, kept on disk by the service, stays. Kept by their hash, never as issued.
class AccessTokens {
public:
    using Clock = std::chrono::steady_clock;

    struct Grant {
        QString session;
        QString userName;
        QString accountId;
        Clock::time_point expires;
    };

    explicit AccessTokens(std::chrono::seconds lifetime);

    std::int64_t lifetimeSeconds() const { return lifetime_.count(); }
    QString issue(const QString& session, const QString& userName, const QString& accountId);
    // None for an unknown or expired token.
    std::optional<Grant> find(const QString& token) const;
    // Every access token of the session goes with it.
    void dropSession(const QString& session);

private:
    static std::string keyOf(const QString& token);

    const std::chrono::seconds lifetime_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Grant> grants_;
    Clock::time_point nextPrune_ = Clock::now();
};
