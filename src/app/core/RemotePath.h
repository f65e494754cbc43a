#pragma once

#include <QHashFunctions>
#include <QString>

#include <cstddef>
#include <functional>

// A path relative to the sync folder together with its percent-encoded form for URL paths; a key
// of selective sync's dictionaries and sets. Equal and hashed over both strings.
struct RemotePath {
    QString string;
    QString transformedValue;

    RemotePath() = default;
    RemotePath(QString string, QString transformedValue)
        : string(std::move(string)), transformedValue(std::move(transformedValue)) {}
    // The path with its encoded form made by `percentEncoded`.
    static RemotePath fromPath(const QString& path) { return RemotePath(path, percentEncoded(path)); }

    // Every character outside those allowed in a URL path (ASCII letters and digits and
    // "!$&'()*+,-./:;=@_~") percent-encoded from its UTF-8 bytes.
    static QString percentEncoded(const QString& path);

    bool operator==(const RemotePath& other) const {
        return string == other.string && transformedValue == other.transformedValue;
    }
};

inline size_t qHash(const RemotePath& path, size_t seed = 0) {
    return qHashMulti(seed, path.string, path.transformedValue);
}

template <>
struct std::hash<RemotePath> {
    size_t operator()(const RemotePath& path) const noexcept { return qHash(path); }
};
