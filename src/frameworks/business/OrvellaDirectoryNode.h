#pragma once

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "frameworks/business/DirectoryHierarchyNode.h"
#include "frameworks/business/OrvellaSession.h"
#include "service/ServiceEntry.h"

// A folder of a user's remote tree as the service lists it.
//
// Level requests run on the facade's worker queue and complete there. Each one checks the session
// first, so a node outliving its session fails like the quota does. The service never follows a
// link: links are neither listed nor counted, so nothing outside the user's tree is. The sync
// engine's temp files are not the user's and are left out.
class OrvellaDirectoryNode final : public DirectoryHierarchyNode {
public:
    // The root of the session's tree, its children not loaded and its size not known yet (0).
    static std::shared_ptr<OrvellaDirectoryNode> makeRoot(std::shared_ptr<const OrvellaSession> session,
                                                          QString rootIdentifier);

    OrvellaDirectoryNode(std::shared_ptr<const OrvellaSession> session, QString path, QString identifier, std::int64_t size,
                         std::optional<std::vector<std::shared_ptr<DirectoryHierarchyNode>>> children);

    // The folder's identity at the service: the same folder keeps it while it exists, renames included.
    static QString identifierOf(const ServiceEntry& folder) { return folder.revision(); }

    std::optional<QString> path() const override { return path_; }
    QString identifier() const override { return identifier_; }
    QString name() const override;
    std::int64_t flags() const override { return selectableFlag; }
    std::int64_t size() const override { return size_; }
    std::optional<std::vector<std::shared_ptr<DirectoryHierarchyNode>>> children() const override { return children_; }

    // `depth` levels of children are filled in (none for a depth below 1) from one listing of the
    // folder's tree, which its size needs whole anyway, so `batch` changes nothing. Fails with
    // invalidSession once the session has ended, noConnection while the service is unreachable,
    // directoryUnknown when the folder is gone (or is no folder any more). A cancelled request
    // never calls back.
    std::shared_ptr<Cancelable> loadLevel(int depth, int batch, LevelCompletion completion) const override;

private:
    std::shared_ptr<const OrvellaSession> session_;
    QString path_;
    QString identifier_;
    std::int64_t size_ = 0;
    std::optional<std::vector<std::shared_ptr<DirectoryHierarchyNode>>> children_;
};
