#include "platform/instance/InstanceRequest.h"

#include <QFile>
#include <QtEndian>

namespace {

bool isAcceptablePath(const QByteArray& path) { return path.startsWith('/') && !path.contains('\0'); }

void appendNumber(QByteArray& out, std::uint32_t value) {
    const std::uint32_t big = qToBigEndian(value);
    out.append(reinterpret_cast<const char*>(&big), sizeof(big));
}

// Reads a number and moves past it; false when fewer than four bytes are left.
bool readNumber(const QByteArray& bytes, qsizetype& at, std::uint32_t& value) {
    if (bytes.size() - at < qsizetype(sizeof(value))) return false;
    value = qFromBigEndian<std::uint32_t>(bytes.constData() + at);
    at += sizeof(value);
    return true;
}

}  // namespace

std::optional<QByteArray> InstanceRequest::encode() const {
    if (command == Command::activate && !paths.isEmpty()) return std::nullopt;
    QByteArray out;
    out.append(char(version));
    out.append(char(command));
    appendNumber(out, std::uint32_t(paths.size()));
    for (const QString& path : paths) {
        const QByteArray bytes = QFile::encodeName(path);
        if (!isAcceptablePath(bytes)) return std::nullopt;
        appendNumber(out, std::uint32_t(bytes.size()));
        out.append(bytes);
        if (out.size() > maximumSize) return std::nullopt;
    }
    return out;
}

std::optional<InstanceRequest> InstanceRequest::decode(const QByteArray& bytes) {
    if (bytes.size() > maximumSize || bytes.size() < 2 || std::uint8_t(bytes[0]) != version) return std::nullopt;
    InstanceRequest request;
    switch (std::uint8_t(bytes[1])) {
    case std::uint8_t(Command::activate): request.command = Command::activate; break;
    case std::uint8_t(Command::share): request.command = Command::share; break;
    default: return std::nullopt;
    }
    qsizetype at = 2;
    std::uint32_t count = 0;
    if (!readNumber(bytes, at, count)) return std::nullopt;
    if (request.command == Command::activate && count != 0) return std::nullopt;
    for (std::uint32_t i = 0; i < count; ++i) {
        std::uint32_t length = 0;
        // The length is checked against what is there before anything is read or reserved.
        if (!readNumber(bytes, at, length) || length > std::uint32_t(bytes.size() - at)) return std::nullopt;
        const QByteArray path = bytes.mid(at, qsizetype(length));
        if (!isAcceptablePath(path)) return std::nullopt;
        request.paths.append(QFile::decodeName(path));
        at += length;
    }
    if (at != bytes.size()) return std::nullopt;
    return request;
}
