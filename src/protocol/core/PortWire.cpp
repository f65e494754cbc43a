#include "protocol/core/PortWire.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace OrvellaPorts {

namespace {

// Both ends run on one machine: the fields travel in its own byte order.
constexpr std::uint32_t packetMagic = 0x504D564F;  // "OVMP"

template <typename T>
void put(char* out, std::size_t offset, T value) {
    std::memcpy(out + offset, &value, sizeof(T));
}

template <typename T>
T get(const char* data, std::size_t offset) {
    T value;
    std::memcpy(&value, data + offset, sizeof(T));
    return value;
}

constexpr std::string_view lockSuffix = ".lock";
constexpr std::string_view socketSuffix = ".sock";

}  // namespace

bool fillSocketAddress(const std::string& path, sockaddr_un& address) {
    if (path.size() >= sizeof(address.sun_path)) return false;
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path.data(), path.size());
    return true;
}

bool isValidUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (length == 0 || i + length > text.size()) return false;
        std::uint32_t point = length == 1 ? c : c & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            point = (point << 6) | (next & 0x3F);
        }
        static constexpr std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (point < smallest[length] || point > 0x10FFFF || (point >= 0xD800 && point <= 0xDFFF)) return false;
        i += length;
    }
    return true;
}

int listenOnSocket(const std::string& path) {
    sockaddr_un address;
    if (!fillSocketAddress(path, address)) return -1;
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return -1;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 || ::listen(fd, 128) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

void writePacketHeader(const PacketHeader& header, char* out) {
    put(out, 0, packetMagic);
    put(out, 4, header.kind);
    put(out, 5, header.flags);
    put(out, 6, std::uint16_t(0));
    put(out, 8, header.sequence);
    put(out, 12, header.messageId);
}

std::optional<PacketHeader> readPacketHeader(const char* data, std::size_t size) {
    if (size < packetHeaderSize || get<std::uint32_t>(data, 0) != packetMagic) return std::nullopt;
    return PacketHeader{get<std::uint8_t>(data, 4), get<std::uint8_t>(data, 5), get<std::uint32_t>(data, 8),
                        get<std::int32_t>(data, 12)};
}

std::string encodePacket(const PacketHeader& header, std::string_view payload) {
    std::string packet(packetHeaderSize + payload.size(), '\0');
    writePacketHeader(header, packet.data());
    if (!payload.empty()) std::memcpy(packet.data() + packetHeaderSize, payload.data(), payload.size());
    return packet;
}

std::string helloPacket() {
    PacketHeader header;
    header.kind = kindHello;
    return encodePacket(header, {});
}

bool isValidPortName(std::string_view name) {
    if (name.empty() || name.size() > maximumNameLength) return false;
    if (name.find('/') != std::string_view::npos || name.find("..") != std::string_view::npos) return false;
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return false;
    return isValidUtf8(name);
}

std::string portsDirectoryPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && *runtime) return std::string(runtime) + "/orvella-ports";
    const char* tmp = std::getenv("TMPDIR");
    std::string base = tmp && *tmp ? tmp : "/tmp";
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/orvella-ports-" + std::to_string(::geteuid());
}

std::optional<std::string> portsDirectory(std::string* error) { return preparePortsDirectory(portsDirectoryPath(), error); }

std::optional<std::string> preparePortsDirectory(const std::string& directory, std::string* error) {
    const auto fail = [&](std::string reason) -> std::optional<std::string> {
        if (error) *error = std::move(reason);
        return std::nullopt;
    };
    if (::mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST)
        return fail("cannot create " + directory + ": " + std::strerror(errno));
    struct stat info;
    if (::lstat(directory.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return fail(directory + " is not a folder");
    if (info.st_uid != ::geteuid()) return fail(directory + " belongs to another user");
    if (info.st_mode & 077) return fail(directory + " can be entered by other users");
    return directory;
}

std::string socketPath(const std::string& directory, std::string_view name) {
    return directory + '/' + std::string(name) + std::string(socketSuffix);
}

std::string lockPath(const std::string& directory, std::string_view name) {
    return directory + '/' + std::string(name) + std::string(lockSuffix);
}

int connectToSocket(const std::string& path, int waitMs) {
    sockaddr_un address;
    if (!fillSocketAddress(path, address)) {
        errno = ENAMETOOLONG;
        return -1;
    }
    const int fd = ::socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC | (waitMs > 0 ? 0 : SOCK_NONBLOCK), 0);
    if (fd < 0) return -1;
    if (waitMs > 0) {
        timeval timeout{waitMs / 1000, (waitMs % 1000) * 1000};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof(timeout));
    }
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
        const int error = errno;
        ::close(fd);
        errno = error;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

bool isSameFile(int fd, const std::string& path) {
    struct stat opened, named;
    return ::fstat(fd, &opened) == 0 && ::lstat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

// Its owner removes the file before letting go, so a lock taken on a file that is no longer the
// one at the path belongs to nobody and is taken again on the path's file. A lock that is busy is
// tried again a moment later, since whoever sweeps stale locks holds each for an instant.
int acquireNameLock(const std::string& path) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (fd < 0) return -1;
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            if (errno != EWOULDBLOCK || attempt >= 2) return -1;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            continue;
        }
        if (isSameFile(fd, path)) return fd;
        ::close(fd);
    }
    return -1;
}

void releaseNameLock(int fd, const std::string& path) {
    if (fd < 0) return;
    if (isSameFile(fd, path)) ::unlink(path.c_str());
    ::flock(fd, LOCK_UN);
    ::close(fd);
}

// Never trusted: kept while something answers on it, and anything but a socket is not ours to
// remove.
bool removeStaleSocket(const std::string& path) {
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
    const int probe = S_ISSOCK(info.st_mode) ? connectToSocket(path, 0) : -1;
    if (!S_ISSOCK(info.st_mode) || probe >= 0 || errno != ECONNREFUSED) {
        if (probe >= 0) ::close(probe);
        return false;
    }
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

// An owner that was killed leaves both behind, and names with a random part are never taken again.
void removeStaleNames(const std::string& directory) {
    DIR* folder = ::opendir(directory.c_str());
    if (!folder) return;
    std::vector<std::string> locks;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (name.size() > lockSuffix.size() && name.substr(name.size() - lockSuffix.size()) == lockSuffix)
            locks.emplace_back(name);
    }
    ::closedir(folder);
    for (const std::string& entry : locks) {
        const std::string path = directory + '/' + entry;
        const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0) continue;
        struct stat info;
        if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            isSameFile(fd, path) &&
            removeStaleSocket(socketPath(directory, std::string_view(entry).substr(0, entry.size() - lockSuffix.size()))))
            ::unlink(path.c_str());
        ::close(fd);
    }
}

}  // namespace OrvellaPorts
