#include "frameworks/sync/ServiceRemoteTree.h"

#include <QFile>
#include <QSet>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

#include "service/ContentHash.h"
#include "service/UserTree.h"

namespace fs = SyncFileSystem;

namespace {

constexpr std::int64_t nsPerSecond = 1000000000;
constexpr std::size_t hashChunk = 256 * 1024;

std::int64_t mtimeNsOf(const struct stat& st) { return std::int64_t(st.st_mtim.tv_sec) * nsPerSecond + st.st_mtim.tv_nsec; }

struct timespec timeOf(std::int64_t ns) {
    struct timespec time {};
    time.tv_sec = time_t(ns / nsPerSecond);
    time.tv_nsec = long(ns % nsPerSecond);
    if (time.tv_nsec < 0) {
        time.tv_nsec += nsPerSecond;
        time.tv_sec -= 1;
    }
    return time;
}

// What the engine compares a local file's version by.
FsEntry localFileOf(const struct stat& st) {
    return FsEntry(S_ISREG(st.st_mode) ? FsEntry::Type::file : S_ISDIR(st.st_mode) ? FsEntry::Type::directory : FsEntry::Type::other,
                   S_ISREG(st.st_mode) ? std::int64_t(st.st_size) : 0, mtimeNsOf(st), std::uint64_t(st.st_ino),
                   std::uint32_t(st.st_mode));
}

// The SHA-256 (lower-case hex) of the first `size` bytes of `fd`, read from its start whatever its
// position. 0, errno, ECANCELED, or ESTALE when the file holds fewer bytes by now.
int hashFile(int fd, std::int64_t size, const std::atomic<bool>* cancel, QString& hex) {
    ContentHash hash;
    std::vector<char> buffer(hashChunk);
    for (std::int64_t offset = 0; offset < size;) {
        if (cancel && cancel->load()) return ECANCELED;
        const ssize_t got = ::pread(fd, buffer.data(), std::size_t(std::min<std::int64_t>(size - offset, hashChunk)), offset);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return errno;
        if (got == 0) return ESTALE;
        hash.add(QByteArrayView(buffer.data(), got));
        offset += got;
    }
    hex = hash.hex();
    return 0;
}

int writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = ::write(fd, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return errno;
        data += written;
        size -= std::size_t(written);
    }
    return 0;
}

fs::TransferResult outcome(fs::Outcome outcome, int error = 0) {
    fs::TransferResult result;
    result.outcome = outcome;
    result.error = error;
    return result;
}

// An upload the service refused, by whether the local file is still the version read.
fs::TransferResult refusedUpload(bool sourceUnchanged, const std::atomic<bool>& cancel, ServiceError error) {
    // Refused because the bytes changed on the way (their hash, say): tried again as they are now.
    if (!sourceUnchanged) return outcome(fs::Outcome::sourceChanged);
    if (cancel.load()) return outcome(fs::Outcome::cancelled, ECANCELED);
    switch (error) {
    // The target is not what the engine saw: never replaced, looked at again.
    case ServiceError::revisionMismatch:
    case ServiceError::exists:
    case ServiceError::notAFolder: return outcome(fs::Outcome::targetChanged);
    default: return outcome(fs::Outcome::failed, ServiceRemoteTree::errorOf(error));
    }
}

// A file no larger than this goes in a batch with others of its folder, read whole beforehand.
constexpr std::int64_t batchFileBytes = 256 << 10;

// Whether no item of a batch got through, the request cut off or stalled as a whole.
template <typename T>
bool cutOff(const std::vector<ServiceResult<T>>& outcomes) {
    return std::all_of(outcomes.begin(), outcomes.end(), [](const ServiceResult<T>& outcome) {
        return !outcome && (outcome.error() == ServiceError::noConnection || outcome.error() == ServiceError::timeout);
    });
}

}  // namespace

ServiceRemoteTree::ServiceRemoteTree(std::shared_ptr<ServiceClient> client) : client_(std::move(client)) {}

QString ServiceRemoteTree::revisionOf(const FsEntry& entry) {
    ServiceEntry service;
    service.type = entry.isDirectory() ? ServiceEntry::Type::folder
                   : entry.isFile()    ? ServiceEntry::Type::file
                                       : ServiceEntry::Type::other;
    service.size = entry.size;
    service.mtimeNs = entry.mtimeNs;
    service.inode = entry.inode;
    return service.revision();
}

FsEntry ServiceRemoteTree::entryOf(const ServiceEntry& entry) {
    const FsEntry::Type type = entry.type == ServiceEntry::Type::folder ? FsEntry::Type::directory
                               : entry.type == ServiceEntry::Type::file ? FsEntry::Type::file
                                                                        : FsEntry::Type::other;
    return FsEntry(type, entry.size, entry.mtimeNs, entry.inode, entry.mode);
}

int ServiceRemoteTree::errorOf(ServiceError error) {
    switch (error) {
    case ServiceError::notFound: return ENOENT;
    case ServiceError::notAFolder: return ENOTDIR;
    case ServiceError::revisionMismatch: return ESTALE;
    case ServiceError::exists: return EEXIST;
    case ServiceError::notEmpty: return ENOTEMPTY;
    case ServiceError::insufficientStorage: return ENOSPC;
    case ServiceError::tooLarge: return EFBIG;
    case ServiceError::invalidPath:
    case ServiceError::invalidRequest: return EINVAL;
    // An ended session stops the engine as a tree it may not touch does, until the user signs in again.
    case ServiceError::readOnly:
    case ServiceError::invalidSession:
    case ServiceError::invalidClient:
    case ServiceError::wrongCredentials: return EACCES;
    // Away, busy or garbled on the way: the item is unknown and tried again, never taken for gone.
    case ServiceError::timeout: return ETIMEDOUT;
    case ServiceError::rateLimited:
    case ServiceError::unavailable: return EAGAIN;
    case ServiceError::noConnection: return ENOTCONN;
    case ServiceError::storageFailure:
    case ServiceError::hashMismatch:
    case ServiceError::uploadOffset:
    case ServiceError::invalidUserName:
    case ServiceError::invalidMailAddress:
    case ServiceError::invalidPassword:
    case ServiceError::userExists: return EIO;
    }
    return EIO;
}

QString ServiceRemoteTree::describe() const { return QStringLiteral("service:") + client_->describe(); }

std::optional<QString> ServiceRemoteTree::identity() {
    const auto root = client_->entry(QString());
    if (!root) return std::nullopt;
    return root.value().revision();
}

// An account's tree always has its root; there is nothing to make.
int ServiceRemoteTree::createRoot() {
    const auto root = client_->entry(QString());
    return root ? 0 : errorOf(root.error());
}

std::optional<FsEntry> ServiceRemoteTree::stat(const QString& relative, int* error) {
    const auto found = client_->entry(relative);
    if (error) *error = found ? 0 : errorOf(found.error());
    if (!found) return std::nullopt;
    return entryOf(found.value());
}

int ServiceRemoteTree::scan(const QString& relativeBase, FileTree& tree, fs::Unreadable& unreadable,
                            std::vector<QString>* temporaries, const fs::KeySource& keys) {
    bool first = true;
    bool baseGone = false;
    QSet<QString> skipped;  // temp folders, left out with all they hold
    const auto listed = client_->tree(relativeBase, [&](const ServiceEntry& item) {
        if (first) {
            // The base itself, which the tree already holds.
            first = false;
            baseGone = item.type != ServiceEntry::Type::folder;
            return !baseGone;
        }
        const bool folder = item.type == ServiceEntry::Type::folder;
        if (skipped.contains(fs::parentOf(item.path))) {
            if (folder) skipped.insert(item.path);
            return true;
        }
        if (fs::isTemporaryName(fs::nameOf(item.path))) {
            if (temporaries) temporaries->push_back(item.path);
            if (folder) skipped.insert(item.path);
            return true;
        }
        const QString* held = keys ? keys(item.path) : nullptr;
        tree[held ? *held : item.path] = entryOf(item);
        return true;
    });
    const int error = baseGone ? ENOTDIR : listed ? 0 : errorOf(listed.error());
    if (!error) return 0;
    // Only a base that is not there (or no folder) is gone; a listing cut short leaves all of it
    // unknown, never what it did not reach deleted.
    if (baseGone || (first && fs::meansGone(error))) fs::eraseSubtree(tree, relativeBase);
    else unreadable[relativeBase] = error;
    return error;
}

ServiceResult<ServiceChanges> ServiceRemoteTree::changes(const QString& cursor, std::chrono::milliseconds timeout,
                                                         std::stop_token stop) {
    return client_->changes(cursor, timeout, std::move(stop));
}

std::optional<std::int64_t> ServiceRemoteTree::freeBytes() {
    const auto quota = client_->quota();
    if (!quota) return std::nullopt;
    return quota.value().free;
}

int ServiceRemoteTree::makeFolder(const QString& relative, FsEntry* made) {
    const auto folder = client_->makeFolder(relative);
    if (folder && made) *made = entryOf(folder.value());
    return folder ? 0 : errorOf(folder.error());
}

int ServiceRemoteTree::removeFile(const QString& relative, const FsEntry& expected) {
    const auto removed = client_->remove(relative, revisionOf(expected));
    if (removed) return 0;
    const int error = errorOf(removed.error());
    return fs::meansGone(error) ? 0 : error;
}

int ServiceRemoteTree::removeFolder(const QString& relative) {
    // Another item in its place stays, as a folder that something came back into does.
    return removalError(client_->removeBatch({{relative, std::nullopt}}).front());
}

int ServiceRemoteTree::removalError(const ServiceResult<ServiceDone>& removed) {
    const int error = removed ? 0 : errorOf(removed.error());
    return fs::meansGone(error) ? 0 : error;
}

void ServiceRemoteTree::removeAll(std::vector<fs::Removal>& items, fs::FolderLookup&, const std::atomic<bool>& cancel) {
    for (std::size_t first = 0; first < items.size(); first += std::size_t(ServiceWire::maximumBatchItems)) {
        const std::size_t end = std::min(items.size(), first + std::size_t(ServiceWire::maximumBatchItems));
        if (cancel.load()) {
            for (std::size_t i = first; i < end; ++i) items[i].error = ECANCELED;
            continue;
        }
        std::vector<ServiceWire::Removal> batch;
        for (std::size_t i = first; i < end; ++i)
            batch.push_back({items[i].path, items[i].expected.isDirectory() ? std::nullopt : std::optional(revisionOf(items[i].expected))});
        const auto outcomes = client_->removeBatch(batch);
        for (std::size_t i = first; i < end; ++i) items[i].error = removalError(outcomes[i - first]);
    }
}

int ServiceRemoteTree::move(const QString& from, const QString& to, const FsEntry& expected) {
    const auto moved = client_->move(ServiceWire::MoveRequest{from, to, revisionOf(expected)});
    return moved ? 0 : errorOf(moved.error());
}

bool ServiceRemoteTree::sameContent(const QString& localAbsolute, const QString& relative) {
    const auto remote = client_->entry(relative);
    if (!remote || remote.value().type != ServiceEntry::Type::file) return false;
    const UniqueFd local(::open(QFile::encodeName(localAbsolute).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!local || ::fstat(local.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size != remote.value().size) return false;
    QString localHash;
    if (hashFile(local.get(), st.st_size, nullptr, localHash) != 0) return false;
    ContentHash remoteHash;
    std::int64_t received = 0;
    const auto served = client_->download(relative, remote.value().revision(), 0, [&](const char* data, std::size_t size) {
        remoteHash.add(QByteArrayView(data, qsizetype(size)));
        received += std::int64_t(size);
        return true;
    });
    return served && received == st.st_size && remoteHash.hex() == localHash;
}

fs::TransferResult ServiceRemoteTree::upload(fs::FolderLookup& folders, const QString& sourceFolder, const QString& name,
                                             const FsEntry& expectedSource, const QString& relativeTarget,
                                             const std::optional<FsEntry>& expectedTarget, const std::atomic<bool>& cancel,
                                             const QString&) {
    if (cancel.load()) return outcome(fs::Outcome::cancelled, ECANCELED);
    const auto source = folders.open(sourceFolder);
    if (!source->isOpen())
        return fs::meansGone(source->error()) ? outcome(fs::Outcome::sourceChanged) : outcome(fs::Outcome::failed, source->error());
    const UniqueFd in(::openat(source->fd(), QFile::encodeName(name).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat before {};
    const int error = in ? (::fstat(in.get(), &before) == 0 ? 0 : errno) : errno;
    if (!in && (error == ENOENT || error == ELOOP)) return outcome(fs::Outcome::sourceChanged);
    if (error) return outcome(fs::Outcome::failed, error);
    if (!localFileOf(before).sameVersion(expectedSource)) return outcome(fs::Outcome::sourceChanged);

    ServiceWire::UploadRequest request{relativeTarget, std::int64_t(before.st_size), QString(), mtimeNsOf(before),
                                       expectedTarget ? std::optional(revisionOf(*expectedTarget)) : std::nullopt};
    if (const int hashError = hashFile(in.get(), request.size, &cancel, request.sha256)) {
        if (hashError == ECANCELED) return outcome(fs::Outcome::cancelled, ECANCELED);
        return hashError == ESTALE ? outcome(fs::Outcome::sourceChanged) : outcome(fs::Outcome::failed, hashError);
    }
    QString resumeId = takeCutUpload(request);
    const auto uploaded = client_->upload(request, in.get(), &cancel, &resumeId);
    // The client keeps the id only of an upload cut off, which the engine's next try goes on with.
    keepCutUpload(request, uploaded ? QString() : resumeId);
    // The service checks the bytes against their hash, so what it took is what was read. A change
    // to the file since then is a local change the engine uploads next; taking it for a changed
    // source instead would set the two versions against each other as a conflict.
    if (uploaded) {
        auto result = outcome(fs::Outcome::done);
        result.written = entryOf(uploaded.value());
        return result;
    }
    struct stat now {};
    return refusedUpload(::fstat(in.get(), &now) == 0 && localFileOf(now).sameVersion(expectedSource), cancel, uploaded.error());
}

QString ServiceRemoteTree::takeCutUpload(const ServiceWire::UploadRequest& request) {
    QString stale;
    {
        std::lock_guard lock(cutMutex_);
        const auto it = cutUploads_.find(request.path);
        if (it == cutUploads_.end()) return {};
        const CutUpload cut = std::move(it->second);
        cutUploads_.erase(it);
        if (cut.request == request) return cut.id;
        stale = cut.id;
    }
    // Its bytes count against the account's room until it expires.
    (void)client_->removeUpload(stale);
    return {};
}

void ServiceRemoteTree::keepCutUpload(const ServiceWire::UploadRequest& request, const QString& id) {
    if (id.isEmpty()) return;
    std::lock_guard lock(cutMutex_);
    if (cutUploads_.size() >= maximumCutUploads) {
        const auto oldest = std::min_element(cutUploads_.begin(), cutUploads_.end(),
                                             [](const auto& a, const auto& b) { return a.second.age < b.second.age; });
        cutUploads_.erase(oldest);
    }
    cutUploads_[request.path] = CutUpload{request, id, ++cutAge_};
}

fs::TransferResult ServiceRemoteTree::download(fs::FolderLookup& folders, const QString& relativeSource,
                                               const FsEntry& expectedSource, const QString& targetFolder,
                                               const QString& name, const std::optional<FsEntry>& expectedTarget,
                                               const std::atomic<bool>& cancel, const QString& temporaryTag) {
    return writeDownload(folders, expectedSource, targetFolder, name, expectedTarget, cancel, temporaryTag,
                         [&](int out, int& writeError) {
                             return client_->download(
                                 relativeSource, revisionOf(expectedSource), 0,
                                 [&](const char* data, std::size_t size) {
                                     writeError = writeAll(out, data, size);
                                     return writeError == 0;
                                 },
                                 &cancel);
                         });
}

fs::TransferResult ServiceRemoteTree::writeDownload(fs::FolderLookup& folders, const FsEntry& expectedSource,
                                                    const QString& targetFolder, const QString& name,
                                                    const std::optional<FsEntry>& expectedTarget, const std::atomic<bool>& cancel,
                                                    const QString& temporaryTag, const Fetch& fetch) {
    const auto target = folders.open(targetFolder);
    const QString revision = revisionOf(expectedSource);
    std::optional<ServiceEntry> served;
    bool sourceChanged = false;
    fs::NewVersion version;
    // The server keeps its copies owner-only, which says nothing of what the user wants here: a file
    // replaced keeps the mode it has on this computer, a new one gets that of any file made anew.
    version.mode = expectedTarget ? (expectedTarget->mode & 0777) | S_IRUSR | S_IWUSR : 0666;
    version.mtime = timeOf(expectedSource.mtimeNs);
    version.fill = [&](int out) {
        int writeError = 0;
        const auto answer = fetch(out, writeError);
        if (answer) {
            served = answer.value();
            return 0;
        }
        if (writeError) return writeError;
        if (cancel.load()) return ECANCELED;
        const int error = errorOf(answer.error());
        sourceChanged = error == ESTALE || fs::meansGone(error);
        return error;
    };
    version.unchangedSource = [&](const struct stat& written) {
        return served && served->revision() == revision && std::int64_t(written.st_size) == expectedSource.size;
    };
    auto result = fs::writeAtomically(*target, name, expectedTarget, version, cancel, temporaryTag);
    if (sourceChanged && result.outcome == fs::Outcome::failed) {
        result.outcome = fs::Outcome::sourceChanged;
        result.error = 0;
    }
    return result;
}

void ServiceRemoteTree::transferAll(std::span<Transfer* const> transfers, fs::FolderLookup& folders,
                                    const std::atomic<bool>& cancel, const QString& temporaryTag) {
    std::vector<Transfer*> alone;
    std::vector<Transfer*> uploads;
    std::vector<Transfer*> downloads;
    const std::int64_t largest = std::min(batchFileBytes, batchBytes_.load());
    for (Transfer* t : transfers) {
        if (!t->expectedSource.isFile() || t->expectedSource.size > largest) alone.push_back(t);
        else (t->upload ? uploads : downloads).push_back(t);
    }
    RemoteTree::transferAll(alone, folders, cancel, temporaryTag);
    uploadBatched(uploads, folders, cancel);
    downloadBatched(downloads, folders, cancel, temporaryTag);
}

void ServiceRemoteTree::batchEnded(std::int64_t bytes, bool cut) {
    std::int64_t budget = batchBytes_.load();
    std::int64_t next = 0;
    do {
        // A cut batch says its size does not get through; one that got through, that twice its size may.
        next = cut ? std::max(minimumBatchBytes, std::min(budget, bytes / 2))
                   : std::min(ServiceWire::maximumBatchBytes, std::max(budget, 2 * bytes));
    } while (next != budget && !batchBytes_.compare_exchange_weak(budget, next));
}

void ServiceRemoteTree::uploadBatched(const std::vector<Transfer*>& transfers, fs::FolderLookup& folders,
                                      const std::atomic<bool>& cancel) {
    std::vector<Transfer*> sent;
    std::vector<ServiceWire::BatchFile> files;
    std::int64_t bytes = 0;
    const auto send = [&] {
        if (files.empty()) return;
        const auto outcomes = client_->uploadBatch(files, &cancel);
        batchEnded(bytes, cutOff(outcomes));
        for (std::size_t i = 0; i < sent.size(); ++i) {
            Transfer& t = *sent[i];
            const auto& uploaded = outcomes[i];
            if (uploaded) {
                t.result = outcome(fs::Outcome::done);
                t.result.written = entryOf(uploaded.value());
                continue;
            }
            const auto source = folders.open(t.localFolder);
            struct stat now {};
            const bool unchanged = source->isOpen() &&
                                   ::fstatat(source->fd(), QFile::encodeName(fs::nameOf(t.path)).constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 &&
                                   localFileOf(now).sameVersion(t.expectedSource);
            t.result = refusedUpload(unchanged, cancel, uploaded.error());
        }
        sent.clear();
        files.clear();
        bytes = 0;
    };
    for (Transfer* t : transfers) {
        auto file = readWhole(*t, folders, cancel);
        if (!file) continue;
        if (files.size() == std::size_t(ServiceWire::maximumBatchItems) || bytes + file->request.size > batchBytes_.load()) send();
        bytes += file->request.size;
        files.push_back(std::move(*file));
        sent.push_back(t);
    }
    send();
}

std::optional<ServiceWire::BatchFile> ServiceRemoteTree::readWhole(Transfer& t, fs::FolderLookup& folders, const std::atomic<bool>& cancel) {
    if (cancel.load()) {
        t.result = outcome(fs::Outcome::cancelled, ECANCELED);
        return std::nullopt;
    }
    const auto source = folders.open(t.localFolder);
    if (!source->isOpen()) {
        t.result = fs::meansGone(source->error()) ? outcome(fs::Outcome::sourceChanged) : outcome(fs::Outcome::failed, source->error());
        return std::nullopt;
    }
    const UniqueFd in(::openat(source->fd(), QFile::encodeName(fs::nameOf(t.path)).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat before {};
    const int error = in ? (::fstat(in.get(), &before) == 0 ? 0 : errno) : errno;
    if (error) {
        t.result = !in && (error == ENOENT || error == ELOOP) ? outcome(fs::Outcome::sourceChanged) : outcome(fs::Outcome::failed, error);
        return std::nullopt;
    }
    // Read whole and compared again after: the bytes sent are the version the engine saw, or
    // nothing is sent.
    QByteArray bytes(qsizetype(before.st_size), Qt::Uninitialized);
    qsizetype read = 0;
    int readError = 0;
    while (read < bytes.size()) {
        const ssize_t got = ::pread(in.get(), bytes.data() + read, std::size_t(bytes.size() - read), read);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            readError = got < 0 ? errno : ESTALE;
            break;
        }
        read += got;
    }
    struct stat after {};
    if (readError == ESTALE || !localFileOf(before).sameVersion(t.expectedSource) || ::fstat(in.get(), &after) != 0 ||
        !localFileOf(after).sameVersion(t.expectedSource)) {
        t.result = outcome(fs::Outcome::sourceChanged);
        return std::nullopt;
    }
    if (readError) {
        t.result = outcome(fs::Outcome::failed, readError);
        return std::nullopt;
    }
    ContentHash hash;
    hash.add(bytes);
    ServiceWire::UploadRequest request{t.path, std::int64_t(before.st_size), hash.hex(), mtimeNsOf(before),
                                       t.expectedTarget ? std::optional(revisionOf(*t.expectedTarget)) : std::nullopt};
    return ServiceWire::BatchFile{std::move(request), std::move(bytes)};
}

void ServiceRemoteTree::downloadBatched(const std::vector<Transfer*>& transfers, fs::FolderLookup& folders,
                                        const std::atomic<bool>& cancel, const QString& temporaryTag) {
    for (std::size_t first = 0; first < transfers.size();) {
        std::vector<ServiceWire::WantedFile> wanted;
        std::int64_t bytes = 0;
        std::size_t end = first;
        while (end < transfers.size() && wanted.size() < std::size_t(ServiceWire::maximumBatchItems) &&
               (wanted.empty() || bytes + transfers[end]->expectedSource.size <= batchBytes_.load())) {
            bytes += transfers[end]->expectedSource.size;
            wanted.push_back({transfers[end]->path, revisionOf(transfers[end]->expectedSource)});
            ++end;
        }
        auto outcomes = client_->downloadBatch(wanted, &cancel);
        batchEnded(bytes, cutOff(outcomes));
        for (std::size_t i = 0; i < wanted.size(); ++i) {
            Transfer& t = *transfers[first + i];
            const QString name = fs::nameOf(t.path);
            auto& served = outcomes[i];
            // More than the service puts in one answer (the file grew meanwhile): fetched alone.
            if (!served && served.error() == ServiceError::tooLarge) {
                t.result = download(folders, t.path, t.expectedSource, t.localFolder, name, t.expectedTarget, cancel, temporaryTag);
                continue;
            }
            t.result = writeDownload(folders, t.expectedSource, t.localFolder, name, t.expectedTarget, cancel, temporaryTag,
                                     [&](int out, int& writeError) -> ServiceResult<ServiceEntry> {
                                         if (!served) return served.failure();
                                         const QByteArray& content = served.value().bytes;
                                         writeError = writeAll(out, content.constData(), std::size_t(content.size()));
                                         if (writeError) return ServiceFailure{ServiceError::storageFailure, QString()};
                                         return served.value().entry;
                                     });
        }
        first = end;
    }
}
