#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>

// Values of the sharing operations.

struct OVFacadeConstants {
    // Days valid or downloads without a limit.
    static constexpr std::int64_t unlimitedValue = -1;
};

// What a share link is doing now; the third case means it has expired.
enum class ShareStatus { active, downloadLimitReached, expired };

// An item's share link as the service reports it.
struct ShareInfo {
    ShareStatus status = ShareStatus::active;
    // The item's path in the user's remote tree: "root" and the percent-encoded path components.
    QString remotePath;
    // Invalid when the link has no end date.
    QDateTime validUntil;
    // Limits and counts; `OVFacadeConstants::unlimitedValue` where there is no limit.
    std::int64_t maxDownloads = OVFacadeConstants::unlimitedValue;
    std::int64_t remainingDownloads = OVFacadeConstants::unlimitedValue;
    std::int64_t downloadCount = 0;
    bool isPasswordProtected = false;
    bool isWritable = false;
    // Seconds the link stays valid from now (none left: 0); unlimited without an end date.
    double ttl = double(OVFacadeConstants::unlimitedValue);
    bool operator==(const ShareInfo&) const = default;
};

// A change of a link; an absent value leaves that setting as it is. An empty password removes the
// password; `unlimitedValue` removes a download limit or the end date.
struct ShareSettings {
    std::optional<std::int64_t> maxDownloads;
    std::optional<QString> password;
    std::optional<bool> writable;
    std::optional<double> ttl;  // seconds
};

struct Recipient {
    QString name;
    QString mailAddress;
    bool operator==(const Recipient&) const = default;
};
