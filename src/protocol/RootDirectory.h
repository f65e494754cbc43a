#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// The sync folder as the application pushes it to the extensions: a JSON object with the key
// "path" (the folder's absolute path).
struct RootDirectory {
    QString path;

    // One compact object with "/" written as "\/".
    QByteArray encoded() const;
    // None unless "path" holds a string; either form of the slash is read.
    static std::optional<RootDirectory> decode(const QByteArray& data);

    bool operator==(const RootDirectory&) const = default;
};
