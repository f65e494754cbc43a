#include "frameworks/business/OrvellaDirectoryNode.h"

#include <QStringList>

#include <algorithm>
#include <utility>

#include "frameworks/business/RequestCancelable.h"
#include "frameworks/business/ServiceErrors.h"
#include "frameworks/logger/FrameworkChannels.h"
#include "frameworks/sync/SyncFileSystem.h"
#include "platform/foundation/SerialQueue.h"
#include "service/ServiceWire.h"

namespace {

using Children = std::vector<std::shared_ptr<DirectoryHierarchyNode>>;
using NodeResult = BusinessResult<std::shared_ptr<DirectoryHierarchyNode>>;

// "/a/b" for the user path "a/b", "/" for the root.
QString nodePath(const QString& userPath) { return u'/' + userPath; }

BusinessError unknownFolder(const QString& path) {
    OVLOG_INFO(Log::Business::directoryListing(), QStringLiteral("No folder at ") + path);
    return BusinessError::make(BusinessError::Kind::directoryUnknown);
}

// Whether an item below the loaded folder is the user's: none of its names is an engine temp name.
bool isListed(const QString& relative) {
    const QStringList parts = relative.split(u'/', Qt::SkipEmptyParts);
    return std::none_of(parts.begin(), parts.end(), [](const QString& part) { return SyncFileSystem::isTemporaryName(part); });
}

// The folders of one listing, open while the listing is below them: a folder's size is known once
// the listing has left it.
class LevelBuilder {
public:
    LevelBuilder(std::shared_ptr<const OrvellaSession> session, QString base, int depth)
        : session_(std::move(session)), base_(std::move(base)), depth_(depth) {}

    void add(const ServiceEntry& entry) {
        const QString relative = base_.isEmpty() ? entry.path : entry.path.mid(base_.size() + 1);
        if (entry.path != base_ && !isListed(relative)) return;
        while (!open_.empty() && !isBelow(entry.path, open_.back().path)) close();
        if (entry.type == ServiceEntry::Type::file) {
            if (!open_.empty()) open_.back().bytes += entry.size;
        } else if (entry.type == ServiceEntry::Type::folder) {
            open_.push_back({entry.path, OrvellaDirectoryNode::identifierOf(entry), int(open_.size()), 0, {}});
        }
    }

    // The loaded folder, once the whole listing went through add().
    std::shared_ptr<DirectoryHierarchyNode> finish() {
        while (open_.size() > 1) close();
        if (open_.empty()) return nullptr;
        return node(std::move(open_.back()));
    }

private:
    struct Folder {
        QString path;
        QString identifier;
        int level;
        std::int64_t bytes;
        std::vector<std::pair<QString, std::shared_ptr<DirectoryHierarchyNode>>> children;
    };

    static bool isBelow(const QString& path, const QString& folder) {
        return folder.isEmpty() ? !path.isEmpty() : path.startsWith(folder + u'/');
    }

    std::shared_ptr<DirectoryHierarchyNode> node(Folder folder) const {
        std::optional<Children> children;
        if (folder.level < depth_) {
            std::sort(folder.children.begin(), folder.children.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
            children.emplace();
            for (auto& child : folder.children) children->push_back(std::move(child.second));
        }
        return std::make_shared<OrvellaDirectoryNode>(session_, nodePath(folder.path), folder.identifier, folder.bytes,
                                                      std::move(children));
    }

    void close() {
        Folder done = std::move(open_.back());
        open_.pop_back();
        Folder& parent = open_.back();
        parent.bytes += done.bytes;
        if (done.level <= depth_) {
            const QString name = ServiceWire::fileName(done.path);
            parent.children.emplace_back(name, node(std::move(done)));
        }
    }

    std::shared_ptr<const OrvellaSession> session_;
    QString base_;
    int depth_;
    std::vector<Folder> open_;
};

// The folder at `path` read afresh, or why not; none when the request was cancelled meanwhile.
std::optional<NodeResult> load(const std::shared_ptr<const OrvellaSession>& session, const QString& path, int depth,
                               const RequestCancelable& request) {
    if (auto ended = session->ended()) return NodeResult(*ended);
    const QString userPath = path.mid(1);
    for (const QString& part : userPath.split(u'/', Qt::SkipEmptyParts))
        if (part == QStringLiteral(".") || part == QStringLiteral("..") || SyncFileSystem::isTemporaryName(part))
            return NodeResult(unknownFolder(path));
    LevelBuilder builder(session, userPath, depth);
    bool first = true, cancelled = false, isFolder = false;
    const auto listed = session->client->tree(userPath, [&](const ServiceEntry& entry) {
        if (request.isCancelled()) {
            cancelled = true;
            return false;
        }
        if (std::exchange(first, false)) {
            isFolder = entry.type == ServiceEntry::Type::folder;
            if (!isFolder) return false;
        }
        builder.add(entry);
        return true;
    });
    if (cancelled) return std::nullopt;
    if (!listed) {
        if (listed.error() == ServiceError::notFound || listed.error() == ServiceError::notAFolder)
            return NodeResult(unknownFolder(path));
        return NodeResult(businessError(listed.failure()));
    }
    auto node = isFolder ? builder.finish() : nullptr;
    if (!node) return NodeResult(unknownFolder(path));
    return NodeResult(std::move(node));
}

}  // namespace

std::shared_ptr<OrvellaDirectoryNode> OrvellaDirectoryNode::makeRoot(std::shared_ptr<const OrvellaSession> session,
                                                                     QString rootIdentifier) {
    return std::make_shared<OrvellaDirectoryNode>(std::move(session), QStringLiteral("/"), std::move(rootIdentifier), 0,
                                                  std::nullopt);
}

OrvellaDirectoryNode::OrvellaDirectoryNode(std::shared_ptr<const OrvellaSession> session, QString path, QString identifier,
                                           std::int64_t size, std::optional<Children> children)
    : session_(std::move(session)),
      path_(std::move(path)),
      identifier_(std::move(identifier)),
      size_(size),
      children_(std::move(children)) {}

QString OrvellaDirectoryNode::name() const {
    if (path_ == QStringLiteral("/")) return QStringLiteral("root");
    return path_.mid(path_.lastIndexOf(QLatin1Char('/')) + 1);
}

std::shared_ptr<Cancelable> OrvellaDirectoryNode::loadLevel(int depth, int batch, LevelCompletion completion) const {
    (void)batch;
    auto request = std::make_shared<RequestCancelable>();
    session_->queue->async([request, completion = std::move(completion), session = session_, path = path_, depth] {
        if (request->isCancelled()) return;  // spare the walk
        const auto result = load(session, path, depth, *request);
        if (!result) return;
        request->complete([&] {
            if (completion) completion(*result);
        });
    });
    return request;
}
