#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <optional>
#include <vector>

// One release offered by an update feed (an RSS "appcast"): its enclosure is the archive to fetch.
struct AppcastItem {
    QString title;
    // The build number compared with the running build's CFBundleVersion.
    QString version;
    // The version shown to people; the build number when the feed gives none.
    QString displayVersion;
    QString releaseNotes;
    QUrl releaseNotesURL;
    QUrl fileURL;
    // The archive's size in bytes; 0 when the feed does not say.
    std::int64_t length = 0;
    // Lower-case hex SHA-256 of the archive; empty when the feed does not say.
    QString sha256;
    QString minimumSystemVersion;
};

// The releases of a feed, in feed order.
class Appcast {
public:
    // The items of an RSS feed; none with `error` set when the data is not a feed. Items without
    // a usable enclosure are left out.
    static std::optional<std::vector<AppcastItem>> parse(const QByteArray& data, QString* error = nullptr);

    // The newest item that is newer than `hostVersion` and runs on `systemVersion` (an empty
    // system version accepts every item); none when the host is up to date.
    static std::optional<AppcastItem> bestItem(const std::vector<AppcastItem>& items, const QString& hostVersion,
                                               const QString& systemVersion = {});
};
