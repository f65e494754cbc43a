#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>

#include "service/ServiceFeatures.h"

// An account as the service hands it out; the password hash never leaves the service.
struct ServiceAccount {
    QString userName;
    QString accountId;
    QString mailAddress;
    QDateTime created;
    std::int64_t quotaOverall = 0;
    ServiceFeatures features;
    // The account's encryption key as imported; empty while it has none.
    QString cryptoKey;
    bool operator==(const ServiceAccount&) const = default;
};
