#include "launchhelper/LaunchLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

LaunchLock::~LaunchLock() {
    if (fd_ >= 0) ::close(fd_);
}

std::unique_ptr<LaunchLock> LaunchLock::acquire(const QString& path, int timeoutMs) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return nullptr;
    // Polled rather than a blocking flock(), so that a holder that hangs cannot hang us too.
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) return std::unique_ptr<LaunchLock>(new LaunchLock(fd));
        if ((errno != EWOULDBLOCK && errno != EINTR) || deadline.hasExpired()) break;
        QThread::msleep(20);
    }
    ::close(fd);
    return nullptr;
}
