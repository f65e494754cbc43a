#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <cstdint>
#include <vector>

#include "service/ServiceResult.h"
#include "service/ServiceWire.h"
#include "service/UserTree.h"

class StorageService;

// Uploads under way, outside every user's tree ("uploads/<name>" below the root, owner-only):
// per upload what was announced ("<id>.json") and the bytes received so far ("<id>.part"), whose
// length is where the upload stands, also after the server was killed. Only a whole upload whose
// size and SHA-256 are the ones announced is renamed into the tree; what is left expires after a day.
class UploadStore {
public:
    static constexpr std::int64_t lifetimeSeconds = 24 * 60 * 60;

    struct Upload {
        QString id;
        ServiceWire::UploadRequest request;
        QDateTime created;
        std::int64_t offset = 0;
    };

    explicit UploadStore(const StorageService& service);

    QString folderOf(const QString& userName) const;

    ServiceResult<Upload> create(const QString& userName, const ServiceWire::UploadRequest& request);
    // Creates the upload once what its commit would refuse has been refused, before any byte is
    // sent: a path that is no file's, something there when no revision is named, another revision
    // there or none any more, no room for it.
    ServiceResult<Upload> begin(const QString& userName, const UserTree& tree, const ServiceWire::UploadRequest& request);
    // What begin() refuses, without making anything.
    ServiceResult<ServiceDone> admit(const QString& userName, const UserTree& tree, const ServiceWire::UploadRequest& request) const;
    // The same with the room known: the size of the file the upload replaces when it may go ahead.
    ServiceResult<std::int64_t> admitWithin(const UserTree& tree, const ServiceWire::UploadRequest& request,
                                            std::int64_t room) const;
    // The bytes the user may still add: the quota's free bytes less those of the uploads under way.
    ServiceResult<std::int64_t> room(const QString& userName) const;
    // notFound for an unknown, expired or other user's upload.
    ServiceResult<Upload> find(const QString& userName, const QString& id) const;
    // The received bytes, opened to append to.
    ServiceResult<UniqueFd> openForAppend(const QString& userName, const QString& id) const;
    // The bytes announced by the user's uploads under way.
    std::int64_t pendingBytes(const QString& userName) const;
    // Verifies the whole upload (uploadOffset while bytes are missing, hashMismatch when they are
    // not the announced ones: that upload is dropped) and places it in the tree as UserTree::place
    // does. An upload refused by the tree stays, for its client to drop.
    ServiceResult<ServiceEntry> commit(const QString& userName, const QString& id, UserTree& tree, bool* created = nullptr);
    // A whole upload that came in one request, staged (newStagingFile) as its body arrived:
    // verified and placed as commit() does. The staging file is gone afterwards either way.
    ServiceResult<ServiceEntry> commitStaged(const QString& userName, const QString& stagedPath,
                                             const ServiceWire::UploadRequest& request, UserTree& tree, bool* created = nullptr);
    ServiceResult<ServiceDone> remove(const QString& userName, const QString& id);
    // Whole files in hand, as a batch brings them: each is admitted within the room the ones
    // before it left, checked against its announced size and hash, staged and placed as commit()
    // does. Each ends on its own; nothing of a refused one is kept.
    std::vector<ServiceResult<ServiceEntry>> placeWhole(const QString& userName, UserTree& tree,
                                                        const std::vector<ServiceWire::BatchFile>& files);

    // A new owner-only file among the user's uploads for a body on its way elsewhere (a backup
    // item); removed by removeLeftovers when its request never ended.
    ServiceResult<QString> newStagingFile(const QString& userName) const;
    // Drops expired uploads and, at a start (`starting`), the staging files of requests cut off.
    void removeLeftovers(bool starting);

private:
    ServiceResult<QString> ensureFolder(const QString& userName) const;
    // The bytes of `name` in the user's folder of uploads checked against `request` (hashMismatch)
    // and renamed into the tree.
    ServiceResult<ServiceEntry> verifyAndPlace(const QString& userName, const QString& name, const ServiceWire::UploadRequest& request,
                                               UserTree& tree, bool* created);

    const StorageService& service_;
};
