#pragma once

#include <QString>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "platform/fsevents/FileEvent.h"

class SerialQueue;

// Watches one folder and everything below it for changes made from now on, and delivers them in
// batches on the caller's serial queue, at most once per latency period.
//
// What a delivery holds:
// - Operations on one path are merged into one event by OR-ing their flags (a file created and
//   then written carries itemCreated and itemModified; an empty new file counts as modified when
//   it is closed after writing).
// - The two halves of a rename inside the folder are two adjacent events, the old path first, both
//   itemRenamed. An item moved on again within the delivery gives one pair, from its first name
//   to its last (none when it ends where it started). A half whose partner lies outside the
//   folder (moved in or out) stands alone: its id is separated from its neighbours' by a gap.
// - Folders created or moved in are watched at once and scanned; what they already hold is
//   reported as created (files also as modified).
// - Lost events (the kernel's queue overflowed, or no watch could be added for a folder) give one
//   event on the root with mustScanSubDirs and kernelDropped.
// - The root itself (or a folder above it) moved or deleted gives one event on the root with
//   rootChanged, alone; after it the stream reports nothing more.
//
// Ids are consecutive within a delivery except for the gaps named above; no two deliveries of the
// process share an id.
//
// itemChangeOwner on a metadata change means the owner or the mode may have changed. The owners and
// modes of what was there at start are read after the watches are in place, in the background;
// until an item's are read, and for an item changed since the start began (or within the same
// clock tick before it), its first metadata change is reported with itemChangeOwner, as nothing
// tells it from one. An item moved within the folder with another owner or mode than last told
// gets such a metadata change on its new path, beside the rename.
class FileEventStream {
public:
    using Callback = std::function<void(const std::vector<FileEvent>& events)>;
    using LogHandler = std::function<void(const QString& message)>;
    enum class SetUpStage { folderWatched, watchesInPlace };
    using SetUpHook = std::function<void(SetUpStage stage, const QString& path)>;

    static constexpr std::chrono::milliseconds defaultLatency{500};

    // `queue` must outlive the stream's running time (until stop() returns).
    FileEventStream(QString path, SerialQueue& queue, Callback callback,
                    std::chrono::milliseconds latency = defaultLatency);
    ~FileEventStream();
    FileEventStream(const FileEventStream&) = delete;
    FileEventStream& operator=(const FileEventStream&) = delete;

    // The watched folder, cleaned of redundant separators.
    const QString& path() const;
    std::chrono::milliseconds latency() const;

    // Starts watching on a thread of its own; false when the folder is not a readable directory
    // or the kernel gives no watch instance, or the stream was invalidated. Setting up the
    // watches happens on that thread; isReady() tells when they are in place.
    bool start();
    // Stops watching and waits for the watch thread and for a callback that is running; no
    // callback starts after it returns. Safe to call from the callback itself.
    void stop();
    // Stops and releases the callback; the stream cannot start again.
    void invalidate();

    bool isRunning() const;
    bool isReady() const;
    // Blocks until the watches are in place or the time is up; answers isReady().
    bool waitUntilReady(int timeoutMs) const;
    // Blocks until the owners and modes of what was there at start are read, or the time is up.
    bool waitUntilOwnersKnown(int timeoutMs) const;
    // Folders watched at the moment (the root and everything below it).
    std::size_t watchCount() const;
    // Items whose owners and modes are remembered at the moment: in proportion to the items in
    // the tree (a few times as many at most), not to all there ever were.
    std::size_t rememberedCount() const;

    // Problems worth a log line (lost events, out of watches). Default: qWarning.
    void setLogHandler(LogHandler handler);

    // Test seams: behave as if the kernel had reported a queue overflow; pretend the kernel has
    // no more than `limit` watches for the folders below the root (negative: no limit).
    void injectQueueOverflowForTesting();
    void setWatchLimitForTesting(int limit);
    // More test seams: take every entry's type as unknown, as some file systems give it; run
    // `hook` on the watch thread after a folder's watch is added and before the folder is read
    // (folderWatched, with its path), and once the watches are in place but before owners and
    // modes are read (watchesInPlace, with the root). Set before start().
    void setEntryTypesUnknownForTesting(bool unknown);
    void setSetUpHookForTesting(SetUpHook hook);

private:
    struct Impl;
    friend class FileEventStreamWatcher;
    std::unique_ptr<Impl> impl_;
};
