#include "service/ServiceLock.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <cerrno>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

ServiceLock::ServiceLock(const QString& path, int timeoutMs) {
    fd_ = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ < 0) return;
    const QDeadlineTimer deadline(qMax(0, timeoutMs));
    for (;;) {
        if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
            locked_ = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) return;
        if (deadline.hasExpired()) return;
        QThread::msleep(5);
    }
}

ServiceLock::~ServiceLock() {
    if (fd_ < 0) return;
    if (locked_) ::flock(fd_, LOCK_UN);
    ::close(fd_);
}
