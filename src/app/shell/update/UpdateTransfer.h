#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QString>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <optional>

// Fetching update feeds and archives. file: URLs are read on a queue of their own; http(s) goes
// through the network stack asynchronously. Completions arrive on the main thread; nothing here
// blocks it.
namespace UpdateTransfer {

struct DataResult {
    std::optional<QByteArray> data;
    QString error;  // set when there is no data
    // The server could not be reached at all (no network, name unknown, refused, timed out):
    // nothing is wrong with the feed or the program.
    bool unreachable = false;
};

// Whether a network failure means the server was not reached.
bool isUnreachable(QNetworkReply::NetworkError error);

struct FileResult {
    std::optional<QString> path;
    QString error;  // set when there is no path
};

// The resource's bytes; fails beyond `maxBytes`.
void fetchData(const QUrl& url, std::int64_t maxBytes, std::function<void(DataResult)> completion);

// Stores the resource at `destinationPath`, then checks it against the length (when > 0) and the
// SHA-256 (when not empty). A file that fails the check is deleted.
void downloadArchive(const QUrl& url, const QString& destinationPath, std::int64_t expectedLength,
                     const QString& sha256, std::function<void(FileResult)> completion);

// The reason the file does not match, or none when it does. Blocking; never on the main thread.
std::optional<QString> verifyArchive(const QString& path, std::int64_t expectedLength, const QString& sha256);

}  // namespace UpdateTransfer
