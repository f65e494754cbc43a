#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// An item's badge word as the application pushes it to the extensions: a JSON object with the keys
// "url" (the item's "file://" URL) and "itemStatusDescription" (the badge word), both required.
class URLSyncStatus {
public:
    URLSyncStatus(QString url, QString itemStatusDescription)
        : url(std::move(url)), itemStatusDescription(std::move(itemStatusDescription)) {}

    QString url;
    QString itemStatusDescription;

    // One compact object with "/" written as "\/".
    QByteArray encoded() const;
    // None unless both keys hold strings and "url" is a valid URL; either form of the slash is read.
    static std::optional<URLSyncStatus> decode(const QByteArray& data);

    bool operator==(const URLSyncStatus&) const = default;
};
