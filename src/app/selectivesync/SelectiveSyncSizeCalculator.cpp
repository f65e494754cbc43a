#include "app/selectivesync/SelectiveSyncSizeCalculator.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <limits>
#include <sys/stat.h>
#include <sys/statvfs.h>

#include "app/common/LogChannels.h"
#include "app/core/SyncFolderPaths.h"
#include "app/selectivesync/OVLocalDirectorySizeCalculator.h"
#include "frameworks/business/DirectoryHierarchyNode.h"

namespace {

class SystemFileManager : public SelectiveSyncSizeCalculator::FileManager {
public:
    bool fileExists(const QString& path) const override {
        struct stat info {};
        return ::stat(QFile::encodeName(path).constData(), &info) == 0;
    }

    std::optional<QStringList> contentsOfDirectory(const QString& path) const override {
        // opendir rather than QDir: QDir answers an unreadable folder with an empty list.
        DIR* dir = ::opendir(QFile::encodeName(path).constData());
        if (!dir) return std::nullopt;
        QStringList names;
        while (const dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
            names << QFile::decodeName(entry->d_name);
        }
        ::closedir(dir);
        return names;
    }

    std::optional<std::int64_t> volumeAvailableCapacity(const QString& path) const override {
        struct statvfs info {};
        if (::statvfs(QFile::encodeName(path).constData(), &info) != 0) {
            const int error = errno;
            OVLOG_WARNING(AppLog::selectiveSyncBrowser(),
                          QStringLiteral("Cannot read the free space of %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(error))));
            return std::nullopt;
        }
        // f_bavail, not f_bfree: blocks reserved for the superuser are no use to the sync.
        const unsigned long long blocks = info.f_bavail;
        const unsigned long long blockSize = info.f_frsize ? info.f_frsize : info.f_bsize;
        constexpr auto max = static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max());
        if (blockSize != 0 && blocks > max / blockSize) return std::numeric_limits<std::int64_t>::max();
        return static_cast<std::int64_t>(blocks * blockSize);
    }
};

}  // namespace

std::shared_ptr<const SelectiveSyncSizeCalculator::FileManager> SelectiveSyncSizeCalculator::defaultFileManager() {
    static const auto manager = std::make_shared<const SystemFileManager>();
    return manager;
}

std::shared_ptr<const LocalDirectorySizeCalculator> SelectiveSyncSizeCalculator::defaultLocalDirectorySizeCalculator() {
    return std::make_shared<const OVLocalDirectorySizeCalculator>(ProcessLauncher());
}

const SelectiveSyncSizeCalculator::FileManager& SelectiveSyncSizeCalculator::files() const {
    return fileManager ? *fileManager : *defaultFileManager();
}

std::optional<QString> SelectiveSyncSizeCalculator::localPath(const QString& treePath) const {
    if (!syncRootURL.isLocalFile()) return std::nullopt;
    const QString root = syncRootURL.toLocalFile();
    if (!root.startsWith(u'/')) return std::nullopt;
    QString path = treePath;
    if (path == u"root") path.clear();
    else if (path.startsWith(u"root/")) path.remove(0, 4);
    // The tree's paths are stored as the remote tree reports them, not percent-encoded: decoding
    // them would turn a folder named "a%20b" into "a b" and leave "100%" without a local folder.
    // A path that could climb out of the sync folder, or be cut short at a NUL, has none.
    if (path.contains(QChar(u'\0'))) return std::nullopt;
    for (const QStringView part : QStringView(path).split(u'/', Qt::SkipEmptyParts))
        if (part == u"." || part == u"..") return std::nullopt;
    const QString folder = SyncFolderPaths::appendingPathComponent(root, SyncFolderPaths::folderName);
    return SyncFolderPaths::appendingPathComponent(folder, path);
}

std::optional<std::int64_t> SelectiveSyncSizeCalculator::remoteSize(const std::optional<QString>& path) const {
    if (!path) return std::nullopt;
    const auto item = remoteItems.value(RemotePath::fromPath(*path));
    if (!item) return std::nullopt;
    const auto directory = item->directoryNode();
    if (!directory) return std::nullopt;
    return std::max<std::int64_t>(0, directory->size());
}

bool SelectiveSyncSizeCalculator::holdsVisibleEntries(const QString& localPath) const {
    if (!files().fileExists(localPath)) return false;
    const auto names = files().contentsOfDirectory(localPath);
    // What cannot be listed might hold anything: count only what is missing below it.
    if (!names) return true;
    return std::any_of(names->cbegin(), names->cend(), [](const QString& name) { return !name.startsWith(u'.'); });
}

std::int64_t SelectiveSyncSizeCalculator::deselectedRemoteSize(const SelectiveSyncSizeCalculatorNode& node) const {
    std::int64_t total = 0;
    for (const SelectiveSyncSizeCalculatorNode* child : node.sizeCalculatorChildren()) {
        if (!child) continue;
        const auto childSize = remoteSize(child->cachedRelativePath());
        if (!childSize) continue;
        if (child->syncState() == 0) total += *childSize;
        else if (child->syncState() == -1) total += deselectedRemoteSize(*child);
    }
    return total;
}

std::int64_t SelectiveSyncSizeCalculator::size(const SelectiveSyncSizeCalculatorNode& node,
                                               const QStringList& pathsToSkip, QStringList& deselectedPaths) const {
    const auto path = node.cachedRelativePath();
    if (!path) return 0;
    // A folder the browser has not loaded has no known size.
    const auto total = remoteSize(path);
    if (!total) return 0;
    const auto local = localPath(*path);
    const std::int16_t state = node.syncState();

    if (state == 0) {
        if (local && files().fileExists(*local)) deselectedPaths << *local;
        return 0;
    }
    if (pathsToSkip.contains(*path) || !local || holdsVisibleEntries(*local)) {
        // Already here: only what is missing below it has to come down.
        std::int64_t sum = 0;
        for (const SelectiveSyncSizeCalculatorNode* child : node.sizeCalculatorChildren())
            if (child) sum += size(*child, pathsToSkip, deselectedPaths);
        return sum;
    }
    if (state == 1) return *total;
    // Sizes reported at different times may disagree; a folder never needs less than nothing.
    if (state == -1) return std::max<std::int64_t>(0, *total - deselectedRemoteSize(node));
    return 0;
}

std::int64_t SelectiveSyncSizeCalculator::calculateSizeNeeded(const SelectiveSyncSizeCalculatorNode& node,
                                                              const QStringList& pathsToSkip) const {
    QStringList deselectedPaths;
    const std::int64_t needed = size(node, pathsToSkip, deselectedPaths);
    const std::int64_t freed = localDirectorySizeCalculator ? localDirectorySizeCalculator->size(deselectedPaths) : 0;
    OVLOG_INFO(AppLog::selectiveSyncBrowser(),
               QStringLiteral("%1 needed for selected directories - %2 freed up for deselected directories")
                   .arg(needed)
                   .arg(freed));
    return needed - freed;
}

std::optional<std::int64_t> SelectiveSyncSizeCalculator::availableSpace() const {
    if (!syncRootURL.isLocalFile()) return std::nullopt;
    const auto capacity = files().volumeAvailableCapacity(syncRootURL.toLocalFile());
    if (!capacity) return std::nullopt;
    return *capacity - minimumFreeDiskSpace;
}

std::optional<bool> SelectiveSyncSizeCalculator::hasEnoughFreeDiskSpace(const SelectiveSyncSizeCalculatorNode& root,
                                                                       const QStringList& pathsToSkip) const {
    const std::int64_t needed = calculateSizeNeeded(root, pathsToSkip);
    const auto available = availableSpace();
    if (!available) return std::nullopt;
    OVLOG_INFO(AppLog::selectiveSyncBrowser(), QStringLiteral("%1 needed for selective sync - %2 available on volume")
                                                   .arg(needed)
                                                   .arg(*available));
    return *available >= needed;
}
