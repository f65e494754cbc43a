#pragma once

#include <QString>

// An exclusive lock on a file, held for the object's life. It excludes other processes and other
// threads of this one alike (each lock opens the file anew), so read-modify-write steps on the
// service's files never interleave.
class ServiceLock {
public:
    // Waits at most `timeoutMs` for the lock; isLocked() tells whether it was taken.
    ServiceLock(const QString& path, int timeoutMs);
    ~ServiceLock();
    ServiceLock(const ServiceLock&) = delete;
    ServiceLock& operator=(const ServiceLock&) = delete;

    bool isLocked() const { return locked_; }
    // Whether the lock file could not even be opened (as opposed to being held by someone else).
    bool failedToOpen() const { return fd_ < 0; }

private:
    int fd_ = -1;
    bool locked_ = false;
};
