#pragma once

#include <QByteArrayView>
#include <QString>

#include <memory>

// The SHA-256 of a file's bytes, fed as they are read, in lower-case hex: what an upload is
// announced and checked by on both sides. OpenSSL's, which is an order of magnitude faster than
// Qt's own on a machine with SHA instructions: a large file's upload hashes it twice.
class ContentHash {
public:
    ContentHash();
    ~ContentHash();
    ContentHash(const ContentHash&) = delete;
    ContentHash& operator=(const ContentHash&) = delete;

    void add(QByteArrayView bytes);
    // The hash of all that was added; nothing more may be added after.
    QString hex();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};
