#pragma once

#include <memory>

#include "frameworks/sync/RemoteTree.h"

class StorageService;

// A remote tree that is a folder on this machine: the embedded service's "users/<name>", or any
// folder (then without a journal, and polled). Copies go straight between the two folders.
class LocalRemoteTree final : public RemoteTree {
public:
    // `service`, when given and `root` is one of its users' trees, gives the journal, the quota and
    // whether the tree can be reached.
    LocalRemoteTree(QString root, std::shared_ptr<StorageService> service);

    QString describe() const override { return root_; }
    QString localFolder() const override { return root_; }
    bool isReachable() const override;
    std::optional<QString> identity() override;
    int createRoot() override;
    std::optional<FsEntry> stat(const QString& relative, int* error = nullptr) override;
    int scan(const QString& relativeBase, FileTree& tree, SyncFileSystem::Unreadable& unreadable,
             std::vector<QString>* temporaries, const SyncFileSystem::KeySource& keys) override;
    bool hasJournal() const override { return !userName_.isEmpty(); }
    ServiceResult<ServiceChanges> changes(const QString& cursor, std::chrono::milliseconds timeout,
                                          std::stop_token stop) override;
    std::optional<std::int64_t> freeBytes() override;
    int makeFolder(const QString& relative, FsEntry* made = nullptr) override;
    int removeFile(const QString& relative, const FsEntry& expected) override;
    int removeFolder(const QString& relative) override;
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

private:
    QString absolute(const QString& relative) const { return SyncFileSystem::join(root_, relative); }

    const QString root_;
    const std::shared_ptr<StorageService> service_;
    QString userName_;  // empty when the service does not know the tree's owner
};
