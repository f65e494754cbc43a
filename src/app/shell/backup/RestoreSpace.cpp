#include "app/shell/backup/RestoreSpace.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <map>

namespace RestoreSpace {

std::optional<Volume> volumeOf(const QString& folder) {
    if (folder.isEmpty()) return std::nullopt;
    QString existing = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    while (!QFileInfo(existing).isDir()) {
        const QString parent = QFileInfo(existing).path();
        if (parent == existing) return std::nullopt;
        existing = parent;
    }
    const QStorageInfo storage(existing);
    if (!storage.isValid() || !storage.isReady() || storage.bytesAvailable() < 0) return std::nullopt;
    return Volume{storage.rootPath() + u'|' + QString::fromUtf8(storage.device()), storage.bytesAvailable()};
}

bool fits(const std::vector<Need>& needs, const VolumeReader& reader) {
    struct Load {
        std::int64_t available = 0;
        unsigned __int128 bytes = 0;  // four 64-bit sizes cannot overflow it
    };
    std::map<QString, Load> volumes;
    for (const Need& need : needs) {
        if (need.bytes == 0) continue;
        const auto volume = reader ? reader(need.folder) : std::nullopt;
        if (!volume) continue;
        Load& load = volumes[volume->identity];
        load.available = volume->available;
        load.bytes += need.bytes;
    }
    for (const auto& [identity, load] : volumes) {
        const __int128 limit = __int128(load.available) - reservedBytes;
        if (__int128(load.bytes) >= limit) return false;
    }
    return true;
}

}  // namespace RestoreSpace
