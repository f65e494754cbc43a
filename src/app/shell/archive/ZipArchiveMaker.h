#pragma once

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

// Packs files and folders into one zip archive. The items are first copied into a fresh working
// folder in the temporary directory (a still snapshot of logs that keep growing), and that folder
// becomes the archive's one top-level folder, named by a UUID. The working folder is always removed
// again.
//
// The archive is written beside the target under a hidden temporary name and renamed over the
// target at the end: the target is either the complete new archive or whatever was there before,
// never a half-written one. A folder at the target is never replaced.
//
// Inside the folders being packed, a link is followed only when it points to a file inside the same
// folder; links to folders or to anything outside it, and sockets, pipes and devices, are left out.
// An item of the list that is itself a link is packed as what it points to, under the link's name.
// File modes are not kept.
class ZipArchiveMaker {
public:
    struct Error {
        enum class Code {
            // An item to pack, the folder to zip or the target is not a file URL (or the folder is
            // not an existing directory); `url` is the offending one.
            notAFileURL,
            // A file operation failed; `url` names the file, `reason` says why.
            fileSystem,
        };
        Code code = Code::fileSystem;
        QUrl url;
        QString reason;

        static Error notAFileURL(const QUrl& url) { return {Code::notAFileURL, url, {}}; }
        QString description() const;
    };
    using Completion = std::function<void(std::optional<Error>)>;

    explicit ZipArchiveMaker(QList<QUrl> urlsToZip) : urlsToZip_(std::move(urlsToZip)) {}

    const QList<QUrl>& urlsToZip() const { return urlsToZip_; }

    // Writes the archive to `target`, whose parent folder must exist; an earlier file there is
    // replaced. Nothing on success. Blocks for as long as the copies and the compression take:
    // callers on the main thread use zipAsync().
    std::optional<Error> zip(const QUrl& target) const;
    // The same on a background queue (one archive at a time); the completion runs on the main
    // thread.
    void zipAsync(const QUrl& target, Completion completion) const;

    // Zips an existing folder into `target` as the archive's one top-level folder, with the same
    // atomic replacement as zip(). Links and special files inside it are left out.
    static std::optional<Error> zipFolder(const QUrl& folder, const QUrl& target);

private:
    QList<QUrl> urlsToZip_;
};
