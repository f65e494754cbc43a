#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <cstdint>
#include <memory>
#include <optional>

#include "app/core/RemotePath.h"
#include "app/selectivesync/LocalDirectorySizeCalculator.h"
#include "app/selectivesync/SelectiveSyncSizeCalculatorNode.h"

// Whether the local volume has room for an edited selection: the remote sizes of the folders that
// newly have to come down, less what the deselected folders occupy locally now, against the
// volume's free space less a reserve.
//
// Synchronous and blocking (it lists folders and waits for du): run it off the main thread.
struct SelectiveSyncSizeCalculator {
    // The file-system questions the check asks.
    class FileManager {
    public:
        virtual ~FileManager() = default;
        // Something exists at the path (symbolic links followed).
        virtual bool fileExists(const QString& path) const = 0;
        // The names in the folder, dot names included; none when it cannot be listed.
        virtual std::optional<QStringList> contentsOfDirectory(const QString& path) const = 0;
        // Bytes available to the user on the volume holding the path; none when unreadable.
        virtual std::optional<std::int64_t> volumeAvailableCapacity(const QString& path) const = 0;
    };

    static constexpr std::int64_t defaultMinimumFreeDiskSpace = 500'000'000;

    static std::shared_ptr<const FileManager> defaultFileManager();
    // du through a new ProcessLauncher.
    static std::shared_ptr<const LocalDirectorySizeCalculator> defaultLocalDirectorySizeCalculator();

    // The remote folders the browser has loaded, keyed by their path.
    QHash<RemotePath, std::shared_ptr<const SelectiveSyncSizeCalculatorRemoteItem>> remoteItems;
    std::shared_ptr<const FileManager> fileManager = defaultFileManager();
    std::shared_ptr<const LocalDirectorySizeCalculator> localDirectorySizeCalculator =
        defaultLocalDirectorySizeCalculator();
    // A folder on the volume whose free space counts: the sync root, the sync folder's parent.
    QUrl syncRootURL;
    // Reserve that must stay free.
    std::int64_t minimumFreeDiskSpace = defaultMinimumFreeDiskSpace;

    // Bytes still needed for the tree below `node` (the store's root): needed for newly selected
    // folders less what the deselected ones free; may be negative. Folders whose path is in
    // `pathsToSkip` are never counted whole, only through their children.
    std::int64_t calculateSizeNeeded(const SelectiveSyncSizeCalculatorNode& node, const QStringList& pathsToSkip) const;

    // The volume's available capacity less the reserve; may be negative. None when the capacity
    // cannot be read.
    std::optional<std::int64_t> availableSpace() const;

    // Both of the above: true when the available space is at least the bytes needed, none when it
    // cannot be read. Logs the comparison.
    std::optional<bool> hasEnoughFreeDiskSpace(const SelectiveSyncSizeCalculatorNode& root,
                                               const QStringList& pathsToSkip) const;

    // The local folder standing for a path of the selective-sync tree; none without a sync root or
    // for a path that would leave the sync folder.
    std::optional<QString> localPath(const QString& treePath) const;

private:
    std::int64_t size(const SelectiveSyncSizeCalculatorNode& node, const QStringList& pathsToSkip,
                      QStringList& deselectedPaths) const;
    std::int64_t deselectedRemoteSize(const SelectiveSyncSizeCalculatorNode& node) const;
    std::optional<std::int64_t> remoteSize(const std::optional<QString>& path) const;
    bool holdsVisibleEntries(const QString& localPath) const;
    const FileManager& files() const;
};
