#pragma once

// What the application and the file manager's end say over the ports, without Qt: the port names,
// the two records the application pushes, and items named by their file URLs. The bytes are the
// very ones the application's Qt side writes for the same values.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace OrvellaPorts {

// Every message carries this id; no receiver looks at it.
inline constexpr std::int32_t protocolMessageId = 1;

// The application's badge-query and registration ports, named from the app group.
std::string badgePortName(std::string_view appGroupIdentifier);
std::string registrationPortName(std::string_view appGroupIdentifier);

// An item's badge word: {"itemStatusDescription":<word>,"url":<the item's file URL>}.
struct StatusRecord {
    std::string url;
    std::string badge;
    bool operator==(const StatusRecord&) const = default;
};
// The sync folder: {"path":<absolute path>}.
struct RootDirectoryRecord {
    std::string path;
    bool operator==(const RootDirectoryRecord&) const = default;
};

// One compact object, "/" written "\/", control characters escaped as the application does. The
// values are UTF-8.
std::string encodeStatusRecord(const StatusRecord& record);
std::string encodeRootDirectoryRecord(const RootDirectoryRecord& record);
// None unless the bytes are one flat JSON object of strings holding the record's keys.
std::optional<StatusRecord> decodeStatusRecord(std::string_view data);
std::optional<RootDirectoryRecord> decodeRootDirectoryRecord(std::string_view data);

// A pushed record: a status whose URL names a file first, the sync folder only when that fails.
using Push = std::variant<std::monostate, StatusRecord, RootDirectoryRecord>;
Push decodePush(std::string_view data);

// "file://" and the absolute path, percent-encoded as the application encodes a local file's URL;
// bytes that are not UTF-8 are encoded one by one.
std::string fileUrlFromPath(std::string_view path);
// The path a "file:" URL without a host names; none for any other URL, a path that is not
// absolute, a bad escape or a NUL.
std::optional<std::string> pathFromFileUrl(std::string_view url);

}  // namespace OrvellaPorts
