#pragma once

#include <QString>

#include <memory>

// An exclusive lock on a file, held for the life of the object, so that helpers started together
// take turns. The lock belongs to the open file: it ends with the object, or with the process
// however it ends.
class LaunchLock {
public:
    ~LaunchLock();
    LaunchLock(const LaunchLock&) = delete;
    LaunchLock& operator=(const LaunchLock&) = delete;

    // Creates the file when needed (mode 0600, never through a symbolic link) and waits up to
    // `timeoutMs` for the lock; none when the file cannot be opened or the time ran out. Blocks:
    // never call it on the main thread.
    static std::unique_ptr<LaunchLock> acquire(const QString& path, int timeoutMs);

private:
    explicit LaunchLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};
