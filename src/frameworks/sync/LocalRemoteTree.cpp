#include "frameworks/sync/LocalRemoteTree.h"

#include <QDir>
#include <QFile>

#include <unistd.h>

#include <cerrno>

#include "service/StorageService.h"

namespace fs = SyncFileSystem;

namespace {
constexpr unsigned folderMode = 0700;

QString cleanAbsolute(const QString& path) { return path.isEmpty() ? QString() : QDir::cleanPath(QDir(path).absolutePath()); }
}  // namespace

LocalRemoteTree::LocalRemoteTree(QString root, std::shared_ptr<StorageService> service)
    : root_(cleanAbsolute(root)), service_(std::move(service)) {
    if (service_ && fs::parentOf(root_) == cleanAbsolute(service_->usersFolder())) userName_ = fs::nameOf(root_);
}

bool LocalRemoteTree::isReachable() const { return !service_ || service_->isReachable(); }

std::optional<QString> LocalRemoteTree::identity() { return fs::identityOf(root_); }

int LocalRemoteTree::createRoot() { return fs::makeFolders(root_, folderMode); }

std::optional<FsEntry> LocalRemoteTree::stat(const QString& relative, int* error) {
    return fs::stat(absolute(relative), error);
}

int LocalRemoteTree::scan(const QString& relativeBase, FileTree& tree, fs::Unreadable& unreadable,
                          std::vector<QString>* temporaries, const fs::KeySource& keys) {
    return fs::scan(root_, relativeBase, tree, unreadable, temporaries, nullptr, keys);
}

ServiceResult<ServiceChanges> LocalRemoteTree::changes(const QString& cursor, std::chrono::milliseconds timeout,
                                                       std::stop_token stop) {
    if (userName_.isEmpty()) return ServiceResult<ServiceChanges>(ServiceError::notFound, QStringLiteral("no journal"));
    return service_->changesOfUser(userName_, cursor, timeout, std::move(stop));
}

std::optional<std::int64_t> LocalRemoteTree::freeBytes() {
    if (userName_.isEmpty()) return std::nullopt;
    const auto quota = service_->quotaOfUser(userName_);
    if (!quota) return std::nullopt;
    return quota.value().free;
}

int LocalRemoteTree::makeFolder(const QString& relative, FsEntry* made) {
    const QString target = absolute(relative);
    const QString parent = absolute(fs::parentOf(relative));
    int error = fs::writableFolderError(parent);
    if (error == ENOENT) error = fs::makeFolders(parent, folderMode, root_);
    if (!error) error = fs::makeFolders(target, folderMode, root_);
    if (!error && made) {
        const auto now = fs::stat(target, &error);
        if (now) *made = *now;
        else if (!error) error = ENOENT;
    }
    return error;
}

int LocalRemoteTree::removeFile(const QString& relative, const FsEntry& expected) {
    return fs::removeFileIfUnchanged(absolute(relative), expected);
}

int LocalRemoteTree::removeFolder(const QString& relative) {
    const QString target = absolute(relative);
    if (const int error = fs::writableFolderError(absolute(fs::parentOf(relative)))) return fs::meansGone(error) ? 0 : error;
    if (::rmdir(QFile::encodeName(target).constData()) == 0 || errno == ENOENT) return 0;
    return errno == EEXIST ? ENOTEMPTY : errno;
}

void LocalRemoteTree::removeAll(std::vector<fs::Removal>& items, fs::FolderLookup& folders, const std::atomic<bool>& cancel) {
    fs::removeAll(root_, items, folders, cancel);
}

int LocalRemoteTree::move(const QString& from, const QString& to, const FsEntry& expected) {
    if (const int error = fs::writableFolderError(absolute(fs::parentOf(from)))) return error;
    if (const int error = fs::writableFolderError(absolute(fs::parentOf(to)))) return error;
    int error = 0;
    const auto now = fs::stat(absolute(from), &error);
    if (!now) return error;
    if (!now->sameVersion(expected)) return ESTALE;
    return fs::renameNoReplace(absolute(from), absolute(to));
}

bool LocalRemoteTree::sameContent(const QString& localAbsolute, const QString& relative) {
    return fs::sameContent(localAbsolute, absolute(relative));
}

fs::TransferResult LocalRemoteTree::upload(fs::FolderLookup& folders, const QString& sourceFolder, const QString& name,
                                           const FsEntry& expectedSource, const QString& relativeTarget,
                                           const std::optional<FsEntry>& expectedTarget, const std::atomic<bool>& cancel,
                                           const QString& temporaryTag) {
    const auto source = folders.open(sourceFolder);
    const auto target = folders.open(absolute(fs::parentOf(relativeTarget)));
    return fs::copyAtomically(*source, name, expectedSource, *target, fs::nameOf(relativeTarget), expectedTarget, cancel,
                              temporaryTag);
}

fs::TransferResult LocalRemoteTree::download(fs::FolderLookup& folders, const QString& relativeSource,
                                             const FsEntry& expectedSource, const QString& targetFolder,
                                             const QString& name, const std::optional<FsEntry>& expectedTarget,
                                             const std::atomic<bool>& cancel, const QString& temporaryTag) {
    const auto source = folders.open(absolute(fs::parentOf(relativeSource)));
    const auto target = folders.open(targetFolder);
    return fs::copyAtomically(*source, fs::nameOf(relativeSource), expectedSource, *target, name, expectedTarget, cancel,
                              temporaryTag);
}
