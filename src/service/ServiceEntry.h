#pragma once

#include <QString>

#include <cstdint>

// One item of a user's tree as the service lists it. Links and special files are `other`: listed,
// never followed or served.
struct ServiceEntry {
    enum class Type : std::uint8_t { file, folder, other };

    QString path;  // relative to the user's tree, "" for its root
    Type type = Type::file;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    std::uint64_t inode = 0;
    std::uint32_t mode = 0;

    // What a client names when it changes the item, so that a change it has not seen is never
    // overwritten: a file's identity and content stamp, a folder's identity alone (its children
    // carry their own).
    QString revision() const {
        if (type == Type::folder) return QString::number(inode);
        return QStringLiteral("%1-%2-%3").arg(inode).arg(size).arg(mtimeNs);
    }
    bool operator==(const ServiceEntry&) const = default;
};
