#include "frameworks/net/FdRangeDevice.h"

#include <cerrno>

#include <unistd.h>

FdRangeDevice::FdRangeDevice(int fd, std::int64_t offset, std::int64_t length, QObject* parent)
    : QIODevice(parent), fd_(fd), offset_(offset), length_(length) {
    // Unbuffered: QIODevice would otherwise read ahead into a buffer of its own.
    open(QIODevice::ReadOnly | QIODevice::Unbuffered);
}

qint64 FdRangeDevice::readData(char* data, qint64 maxSize) {
    const qint64 left = length_ - pos();
    if (left <= 0) return -1;
    const qint64 want = std::min(left, maxSize);
    for (;;) {
        const ssize_t got = ::pread(fd_, data, std::size_t(want), off_t(offset_ + pos()));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            setErrorString(QStringLiteral("The file cannot be read."));
            return -1;
        }
        // A file that became shorter than announced ends the body early; the server refuses it.
        if (got == 0) return -1;
        return got;
    }
}

qint64 FdRangeDevice::writeData(const char*, qint64) { return -1; }
