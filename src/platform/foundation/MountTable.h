#pragma once

#include <QString>

#include <vector>

// The file systems mounted in this process's view, as the kernel lists them.
namespace MountTable {

struct Mount {
    QString mountPoint;
    QString type;    // "ext4", "vfat", "fuse.sshfs", ...
    QString source;  // the device or what stands for it ("/dev/sdb1", "tmpfs", "server:/export")
};

// In the order listed: a later mount on the same point covers an earlier one. Empty when the
// table cannot be read.
std::vector<Mount> read(const QString& mountInfoPath = QStringLiteral("/proc/self/mountinfo"));

}  // namespace MountTable
