#pragma once

#include <QByteArray>
#include <QStringList>

#include <cstdint>
#include <optional>

// What a second start of a program asks of the instance already running: come to the front, or
// take a list of files. Travels as a version byte, a command byte, a path count and each path's
// bytes behind its length (32-bit big-endian numbers). The receiver trusts nothing of it: any
// request that does not decode exactly is refused as a whole.
struct InstanceRequest {
    enum class Command : std::uint8_t { activate = 1, share = 2 };

    static constexpr std::uint8_t version = 1;
    // Far below the transport's limit, and still room for hundreds of long paths.
    static constexpr int maximumSize = 64 * 1024;

    Command command = Command::activate;
    // Absolute paths; only a share carries any.
    QStringList paths;

    // None when a path is empty, relative or holds a NUL, when an activation carries paths, or
    // when the whole is larger than maximumSize.
    std::optional<QByteArray> encode() const;
    static std::optional<InstanceRequest> decode(const QByteArray& bytes);

    bool operator==(const InstanceRequest&) const = default;
};
