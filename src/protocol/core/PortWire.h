#pragma once

// The message ports on the wire, without Qt: what a packet looks like, where the ports live and
// how a live name is told from a stale one. The application's MessagePort and the file-manager
// plug-ins both build on this, so that the format lives in one place.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sockaddr_un;

namespace OrvellaPorts {

// One packet carries one message: this header, then the payload.
struct PacketHeader {
    std::uint8_t kind = 0;
    std::uint8_t flags = 0;
    std::uint32_t sequence = 0;
    std::int32_t messageId = 0;
};
inline constexpr std::size_t packetHeaderSize = 16;
inline constexpr std::uint8_t kindRequest = 1;
inline constexpr std::uint8_t kindReply = 2;
// Sent once by every connecting side, so that a connection held for later use is not taken for
// one that never speaks. Servers of old ignore it.
inline constexpr std::uint8_t kindHello = 3;
inline constexpr std::uint8_t flagWantsReply = 1;  // on a request
inline constexpr std::uint8_t flagHasData = 1;     // on a reply

// The largest payload a message may carry, and the longest name (UTF-8 bytes) a port may have.
inline constexpr std::size_t maximumPayloadSize = 128 * 1024;
inline constexpr std::size_t maximumNameLength = 64;

// Writes the header into the first packetHeaderSize bytes of `out`.
void writePacketHeader(const PacketHeader& header, char* out);
// The header of a received packet; none when it is too short or not one of ours.
std::optional<PacketHeader> readPacketHeader(const char* data, std::size_t size);
std::string encodePacket(const PacketHeader& header, std::string_view payload);
std::string helloPacket();

// Whether the bytes are UTF-8 as a whole (no overlong forms, no surrogates).
bool isValidUtf8(std::string_view text);

// A name that stays inside the ports folder: not empty, at most maximumNameLength bytes of
// UTF-8, no "/", no "..", no control characters.
bool isValidPortName(std::string_view name);

// The ports folder: $XDG_RUNTIME_DIR/orvella-ports, or orvella-ports-<uid> in the temporary folder.
std::string portsDirectoryPath();
// The ports folder, created 0700 when missing; none (with the reason in `error`) when it is not a
// folder of the current user that nobody else can enter.
std::optional<std::string> portsDirectory(std::string* error = nullptr);
// The same checks on a folder of the caller's choice.
std::optional<std::string> preparePortsDirectory(const std::string& directory, std::string* error = nullptr);
std::string socketPath(const std::string& directory, std::string_view name);
std::string lockPath(const std::string& directory, std::string_view name);

// False when the path does not fit a socket address.
bool fillSocketAddress(const std::string& path, sockaddr_un& address);
// A non-blocking socket listening at the path, or -1.
int listenOnSocket(const std::string& path);
// A connected, non-blocking socket to the path, or -1 with errno set. A server whose backlog is
// full gets `waitMs` to take the connection; with none, that is EAGAIN at once.
int connectToSocket(const std::string& path, int waitMs);
// Whether the path names the very file the descriptor is open on.
bool isSameFile(int fd, const std::string& path);
// The name's lock, held for the port's life: whoever holds it serves the name. -1 when a live
// process holds it.
int acquireNameLock(const std::string& path);
// Lets the lock go, removing its file first while still held (and only if it is still ours).
void releaseNameLock(int fd, const std::string& path);
// Removes a socket left by a process that died; true when none is there (any more). Only the
// holder of the name's lock may call this.
bool removeStaleSocket(const std::string& path);
// Removes the lock, and the socket beside it, of every name whose owner has gone.
void removeStaleNames(const std::string& directory);

}  // namespace OrvellaPorts
