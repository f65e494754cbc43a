#include "service/AtomicFile.h"

#include <QFile>
#include <QFileInfo>

#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::atomic<int> injectedFailures{0};

// mkstemp fills these in with letters and digits.
constexpr char temporaryPlaceholder[] = "XXXXXX";
constexpr qsizetype temporaryUniqueLength = sizeof temporaryPlaceholder - 1;

bool fail(QString* error, const QString& text) {
    if (error) *error = text;
    return false;
}

QString systemError(const QString& what) { return what + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno)); }

bool writeAll(int fd, const QByteArray& data) {
    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, static_cast<size_t>(left));
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

void syncFolder(const QByteArray& folder) {
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

}  // namespace

namespace AtomicFile {

bool write(const QString& path, const QByteArray& data, unsigned mode, QString* error) {
    const QFileInfo info(path);
    const QByteArray target = QFile::encodeName(info.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    // A hidden name beside the target, so the rename stays on one file system.
    QByteArray temp = folder + "/." + QFile::encodeName(info.fileName()) + '.' + temporaryPlaceholder;
    // mkstemp creates the file owner-only, so nobody else can open it before it is complete.
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) return fail(error, systemError(QStringLiteral("Cannot create a temp file in ") + info.absolutePath()));
    const auto discard = [&](const QString& why) {
        ::close(fd);
        ::unlink(temp.constData());
        return fail(error, why);
    };
    if (!writeAll(fd, data)) return discard(systemError(QStringLiteral("Cannot write ") + path));
    if (::fsync(fd) != 0) return discard(systemError(QStringLiteral("Cannot flush ") + path));
    if (::fchmod(fd, static_cast<mode_t>(mode)) != 0) return discard(systemError(QStringLiteral("Cannot set the mode of ") + path));
    int pending = injectedFailures.load();
    while (pending > 0 && !injectedFailures.compare_exchange_weak(pending, pending - 1)) {}
    if (pending > 0) return discard(QStringLiteral("Injected failure before replacing ") + path);
    if (::close(fd) != 0) {
        ::unlink(temp.constData());
        return fail(error, systemError(QStringLiteral("Cannot close ") + path));
    }
    if (::rename(temp.constData(), target.constData()) != 0) {
        const QString why = systemError(QStringLiteral("Cannot replace ") + path);
        ::unlink(temp.constData());
        return fail(error, why);
    }
    // The rename itself must survive a crash too.
    syncFolder(folder);
    return true;
}

std::optional<QByteArray> read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    return bytes;
}

std::optional<QString> targetOfTemporary(const QString& name) {
    const qsizetype targetLength = name.size() - 2 - temporaryUniqueLength;
    if (targetLength < 1 || !name.startsWith(u'.') || name[targetLength + 1] != u'.') return std::nullopt;
    for (const QChar c : name.last(temporaryUniqueLength))
        if (c.unicode() > 127 || !std::isalnum(int(c.unicode()))) return std::nullopt;
    return name.mid(1, targetLength);
}

void failNextWritesForTesting(int count) { injectedFailures.store(count); }

}  // namespace AtomicFile
