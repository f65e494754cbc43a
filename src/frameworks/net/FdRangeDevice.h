#pragma once

#include <QIODevice>

#include <cstdint>

// `length` bytes of a file descriptor from `offset` on, read with pread so that the descriptor's
// position stays the caller's, and never more of them in memory than the reader asks for. The
// descriptor stays the caller's: it is not closed. Random access, so that a request body can be
// sent again from its start.
class FdRangeDevice : public QIODevice {
public:
    FdRangeDevice(int fd, std::int64_t offset, std::int64_t length, QObject* parent = nullptr);

    bool isSequential() const override { return false; }
    qint64 size() const override { return length_; }
    bool atEnd() const override { return pos() >= length_; }
    qint64 bytesAvailable() const override { return length_ - pos() + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 maxSize) override;

private:
    int fd_;
    std::int64_t offset_;
    std::int64_t length_;
};
