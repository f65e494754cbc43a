#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// One share link of an account as the service hands it out. The password itself never leaves
// the service; only whether there is one.
struct ServiceShare {
    QString token;          // the link's random, unguessable part
    QString itemPath;       // below the owner's home folder, starting with "/"
    bool isDirectory = false;
    QDateTime created;
    std::optional<QDateTime> validUntil;    // none: valid until removed
    std::optional<std::int64_t> maxDownloads;  // none: no limit
    std::int64_t downloadCount = 0;
    bool isWritable = false;  // folders only: visitors may add files
    bool isPasswordProtected = false;
    QStringList recipients;   // addresses the link was mailed to, first mailing first

    enum class State { active, downloadLimitReached, expired };
    // Expiry wins over an exhausted download limit: both stop the link, expiry is final.
    State state(const QDateTime& now) const {
        if (validUntil && *validUntil <= now) return State::expired;
        if (maxDownloads && downloadCount >= *maxDownloads) return State::downloadLimitReached;
        return State::active;
    }
    bool operator==(const ServiceShare&) const = default;
};

// A change of a link's settings; an absent value leaves the setting as it is.
struct ServiceShareChanges {
    // A positive count limits the downloads; zero or less removes the limit.
    std::optional<std::int64_t> maxDownloads;
    // An empty text removes the password.
    std::optional<QString> password;
    // Ignored for files, which cannot be written to through a link.
    std::optional<bool> writable;
    // Seconds from now; a negative value makes the link valid until removed.
    std::optional<double> timeToLive;
};

// What someone opening a link gets: the item to hand out, and the link after counting the download.
struct ServiceShareAccess {
    QString absolutePath;
    ServiceShare share;
};
