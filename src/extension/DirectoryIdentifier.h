#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

// Names a folder independently of its path, so that a folder announced again can be recognised as
// moved or renamed, and found where it is now.
//
// Besides the file-system and file numbers it holds the folder open (a path-only handle shared by
// copies): the kernel then tells its present path, and whether it has been deleted.
class DirectoryIdentifier {
public:
    struct FileSystemID {
        std::int32_t val[2] = {0, 0};
        bool operator==(const FileSystemID&) const = default;
    };

    // None when the path does not exist or cannot be examined.
    static std::optional<DirectoryIdentifier> make(const QString& path);

    // The path the identifier was made from, exactly as given.
    const QString& originalPath() const { return originalPath_; }
    FileSystemID fsid() const { return fsid_; }
    std::int64_t fileNumber() const { return fileNumber_; }

    // The folder's present absolute path; none when it is gone (deleted, or moved to another
    // volume, which copies and deletes it), or its path needs more than 1023 bytes or is not UTF-8.
    std::optional<QString> currentPath() const;

private:
    class Handle;
    DirectoryIdentifier() = default;

    QString originalPath_;
    FileSystemID fsid_;
    std::int64_t fileNumber_ = 0;
    std::shared_ptr<const Handle> handle_;
};
