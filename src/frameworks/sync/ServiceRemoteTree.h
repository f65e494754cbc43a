#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "frameworks/sync/RemoteTree.h"
#include "service/ServiceClient.h"

// The user's remote tree as the storage service serves it, through any ServiceClient (across the
// network or in this process). Every change names the revision of the entry the engine last saw,
// so that the service refuses it for an item changed meanwhile; a service that cannot be reached
// never reads as an item that is gone.
class ServiceRemoteTree final : public RemoteTree {
public:
    explicit ServiceRemoteTree(std::shared_ptr<ServiceClient> client);

    // How the service names an item's version, from what the engine knows of it.
    static QString revisionOf(const FsEntry& entry);
    static FsEntry entryOf(const ServiceEntry& entry);
    // The errno the engine expects for a failure of the service.
    static int errorOf(ServiceError error);

    QString describe() const override;
    bool isReachable() const override { return client_->isReachable(); }
    std::optional<QString> identity() override;
    int createRoot() override;
    std::optional<FsEntry> stat(const QString& relative, int* error = nullptr) override;
    int scan(const QString& relativeBase, FileTree& tree, SyncFileSystem::Unreadable& unreadable,
             std::vector<QString>* temporaries, const SyncFileSystem::KeySource& keys) override;
    bool hasJournal() const override { return true; }
    ServiceResult<ServiceChanges> changes(const QString& cursor, std::chrono::milliseconds timeout,
                                          std::stop_token stop) override;
    std::optional<std::int64_t> freeBytes() override;
    int makeFolder(const QString& relative, FsEntry* made = nullptr) override;
    int removeFile(const QString& relative, const FsEntry& expected) override;
    int removeFolder(const QString& relative) override;
    // In batches, one request for many.
    void removeAll(std::vector<SyncFileSystem::Removal>& items, SyncFileSystem::FolderLookup& folders,
                   const std::atomic<bool>& cancel) override;
    int move(const QString& from, const QString& to, const FsEntry& expected) override;
    bool sameContent(const QString& localAbsolute, const QString& relative) override;
    SyncFileSystem::TransferResult upload(SyncFileSystem::FolderLookup& folders, const QString& sourceFolder,
                                          const QString& name, const FsEntry& expectedSource, const QString& relativeTarget,
                                          const std::optional<FsEntry>& expectedTarget, const std::atomic<bool>& cancel,
                                          const QString& temporaryTag) override;
    SyncFileSystem::TransferResult download(SyncFileSystem::FolderLookup& folders, const QString& relativeSource,
                                            const FsEntry& expectedSource, const QString& targetFolder,
                                            const QString& name, const std::optional<FsEntry>& expectedTarget,
                                            const std::atomic<bool>& cancel, const QString& temporaryTag) override;
    // Small files go in batches, one request for many.
    void transferAll(std::span<Transfer* const> transfers, SyncFileSystem::FolderLookup& folders,
                     const std::atomic<bool>& cancel, const QString& temporaryTag) override;
    std::size_t parallelTransfers() const override { return 8; }
    std::size_t transferSlice() const override { return 64; }

    // Uploads cut off (the service away or silent) that are kept for the engine's next try of the
    // same file, by target path; at most this many, the oldest dropped first.
    static constexpr std::size_t maximumCutUploads = 64;

private:
    static int removalError(const ServiceResult<ServiceDone>& removed);
    // A line that cuts long requests short lets shorter ones through: what a batch carries is
    // halved below the size of one cut off as a whole, and grows again with those that get
    // through. A file larger than it travels alone, which can go in chunks.
    static constexpr std::int64_t minimumBatchBytes = 64 << 10;
    void batchEnded(std::int64_t bytes, bool cut);
    std::atomic<std::int64_t> batchBytes_{ServiceWire::maximumBatchBytes};
    // The bytes a download writes, from wherever they come: the served file, or why none was.
    using Fetch = std::function<ServiceResult<ServiceEntry>(int out, int& writeError)>;
    SyncFileSystem::TransferResult writeDownload(SyncFileSystem::FolderLookup& folders, const FsEntry& expectedSource,
                                                 const QString& targetFolder, const QString& name,
                                                 const std::optional<FsEntry>& expectedTarget, const std::atomic<bool>& cancel,
                                                 const QString& temporaryTag, const Fetch& fetch);
    void uploadBatched(const std::vector<Transfer*>& transfers, SyncFileSystem::FolderLookup& folders,
                       const std::atomic<bool>& cancel);
    void downloadBatched(const std::vector<Transfer*>& transfers, SyncFileSystem::FolderLookup& folders,
                         const std::atomic<bool>& cancel, const QString& temporaryTag);
    // The local file of an upload as one item of a batch; none when it is not the version
    // expected or cannot be read (the transfer's outcome then says so).
    std::optional<ServiceWire::BatchFile> readWhole(Transfer& transfer, SyncFileSystem::FolderLookup& folders,
                                                    const std::atomic<bool>& cancel);
    // The upload to go on with for exactly this request, if one was cut off; one kept for another
    // version of the file (or another expected target) is dropped, on the service as well.
    QString takeCutUpload(const ServiceWire::UploadRequest& request);
    void keepCutUpload(const ServiceWire::UploadRequest& request, const QString& id);

    const std::shared_ptr<ServiceClient> client_;
    struct CutUpload {
        ServiceWire::UploadRequest request;
        QString id;
        std::uint64_t age = 0;
    };
    std::mutex cutMutex_;
    std::map<QString, CutUpload> cutUploads_;
    std::uint64_t cutAge_ = 0;
};
