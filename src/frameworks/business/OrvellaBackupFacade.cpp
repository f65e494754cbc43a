#include "frameworks/business/OrvellaBackupFacade.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>

#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "frameworks/business/ServiceErrors.h"
#include "frameworks/sync/SyncFileSystem.h"
#include "platform/foundation/SerialQueue.h"
#include "service/ServiceClient.h"
#include "service/UserTree.h"

namespace {

constexpr BackupCategory allCategories[] = {BackupCategory::contacts, BackupCategory::calendars, BackupCategory::images,
                                            BackupCategory::videos};

ServiceBackupCategory toService(BackupCategory c) { return ServiceBackupCategory(int(c)); }
BackupCategory fromService(ServiceBackupCategory c) { return BackupCategory(int(c)); }

bool chosen(const OVBackupAndRestoreOptions& o, BackupCategory c) {
    switch (c) {
    case BackupCategory::contacts: return o.contacts;
    case BackupCategory::calendars: return o.calendars;
    case BackupCategory::images: return o.images;
    case BackupCategory::videos: return o.videos;
    }
    return false;
}

bool contains(const BackupObject& b, BackupCategory c) {
    switch (c) {
    case BackupCategory::contacts: return b.containsContacts;
    case BackupCategory::calendars: return b.containsCalendars;
    case BackupCategory::images: return b.containsImages;
    case BackupCategory::videos: return b.containsVideos;
    }
    return false;
}

std::uint64_t& amount(ContentInfo& info, BackupCategory c) {
    switch (c) {
    case BackupCategory::contacts: return info.contacts;
    case BackupCategory::calendars: return info.calendars;
    case BackupCategory::images: return info.images;
    case BackupCategory::videos: return info.videos;
    }
    return info.contacts;
}

ContentInfo contentInfo(const ServiceBackupAmounts& a) { return {a.contacts, a.videos, a.images, a.calendars}; }

BusinessError cancelledError() { return BusinessError::make(BusinessError::Kind::cancelled); }

bool isCancelled(const ServiceFailure& failure) {
    return failure.error == ServiceError::storageFailure && failure.message == QStringLiteral("cancelled");
}

BusinessError errorOf(const ServiceFailure& failure) {
    if (isCancelled(failure)) return cancelledError();
    return businessError(failure);
}

// Whether the local file holds the item's bytes, compared as they come from the service.
ServiceResult<bool> holdsItem(ServiceClient& client, const QString& backup, const ServiceBackupItem& item, const QString& path,
                              const std::atomic<bool>& cancel) {
    QFile local(path);
    if (local.size() != item.size || !local.open(QIODevice::ReadOnly)) return false;
    bool same = true;
    auto compared = client.backupItemContent(backup, item.category, item.relativePath, [&](const char* data, std::size_t size) {
        same = local.read(qint64(size)) == QByteArrayView(data, qsizetype(size));
        return same;
    }, &cancel);
    if (!same) return false;
    if (!compared) return compared.failure();
    return local.atEnd();
}

enum class RestoreOutcome { restored, identical, stopped, failed };

// Writes the item to `target` through a temp file that is linked or renamed into place whole, never
// over an existing file: a different file of that name is kept and the copy gets a free name.
RestoreOutcome restoreWithoutReplacing(ServiceClient& client, const QString& backup, const ServiceBackupItem& item,
                                       const QString& target, const std::atomic<bool>& cancel) {
    const QString folder = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(folder)) return RestoreOutcome::failed;
    const SyncFileSystem::Folder into(folder);
    SyncFileSystem::NewVersion version;
    version.mode = 0666;  // less the umask: as readable as any file made anew
    const qint64 ms = item.modified.toMSecsSinceEpoch();
    version.mtime = {time_t(ms / 1000), long(ms % 1000) * 1000000};
    version.fill = [&](int out) {
        auto written = client.backupItemContent(backup, item.category, item.relativePath, [out](const char* data, std::size_t size) {
            for (std::size_t done = 0; done < size;) {
                const ssize_t put = ::write(out, data + done, size - done);
                if (put < 0 && errno == EINTR) continue;
                if (put <= 0) return false;
                done += std::size_t(put);
            }
            return true;
        }, &cancel);
        if (written) return 0;
        return isCancelled(written.failure()) ? ECANCELED : EIO;
    };
    QString destination = target;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if (QFileInfo::exists(destination) || QFileInfo(destination).isSymLink()) {
            const auto same = holdsItem(client, backup, item, destination, cancel);
            if (!same) return isCancelled(same.failure()) ? RestoreOutcome::stopped : RestoreOutcome::failed;
            if (same.value()) return RestoreOutcome::identical;
            destination = OrvellaBackupFacade::freeRestoreName(target);
            continue;
        }
        const auto written = SyncFileSystem::writeAtomically(into, QFileInfo(destination).fileName(), std::nullopt, version, cancel);
        switch (written.outcome) {
        case SyncFileSystem::Outcome::done: return RestoreOutcome::restored;
        case SyncFileSystem::Outcome::cancelled: return RestoreOutcome::stopped;
        case SyncFileSystem::Outcome::targetChanged: continue;  // taken meanwhile: look again
        default: return RestoreOutcome::failed;
        }
    }
    return RestoreOutcome::failed;
}

// The source file, open to be sent, with what the backup keeps of it.
struct OpenSource {
    UniqueFd fd;
    std::int64_t size = 0;
    QDateTime modified;
};
ServiceResult<OpenSource> openSource(const QString& path) {
    UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        if (!fd && errno != ENOENT && errno != ENOTDIR) return ServiceFailure{ServiceError::storageFailure, QStringLiteral("Cannot read ") + path};
        return ServiceFailure{ServiceError::notFound, QStringLiteral("Gone: ") + path};
    }
    const QDateTime modified = QDateTime::fromMSecsSinceEpoch(std::int64_t(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000, Qt::UTC);
    return OpenSource{std::move(fd), std::int64_t(st.st_size), modified};
}

}  // namespace

std::uint64_t ContentInfo::overall() const {
    std::uint64_t sum = 0;
    for (std::uint64_t v : {contacts, videos, images, calendars}) sum = (v > UINT64_MAX - sum) ? UINT64_MAX : sum + v;
    return sum;
}

QString operatingSystemName(OperatingSystem system) {
    switch (system) {
    case OperatingSystem::iOS: return QStringLiteral("iOS");
    case OperatingSystem::android: return QStringLiteral("android");
    case OperatingSystem::linux: return QStringLiteral("linux");
    case OperatingSystem::macOS: return QStringLiteral("macOS");
    case OperatingSystem::windows: return QStringLiteral("windows");
    case OperatingSystem::unknown: break;
    }
    return QStringLiteral("unknown");
}

OperatingSystem operatingSystemFromName(const QString& name) {
    for (auto s : {OperatingSystem::iOS, OperatingSystem::android, OperatingSystem::linux, OperatingSystem::macOS,
                   OperatingSystem::windows})
        if (operatingSystemName(s) == name) return s;
    return OperatingSystem::unknown;
}

BackupDeviceIdentity BackupDeviceIdentity::current() {
    const QString host = QSysInfo::machineHostName();
    const QByteArray machine = QSysInfo::machineUniqueId();
    return {machine.isEmpty() ? host : QString::fromLatin1(machine), host};
}

struct OrvellaBackupFacade::Core {
    std::shared_ptr<ServiceClient> client;
    UserNameProvider userName;
    BackupSources sources;
    BackupDeviceIdentity device;

    std::mutex mutex;
    int pending = 0;
    std::atomic<bool> cancelRequested{false};

    bool shouldStop() const { return cancelRequested.load(); }
    void begin() {
        std::lock_guard lock(mutex);
        ++pending;
    }
    void end() {
        std::lock_guard lock(mutex);
        if (--pending == 0) cancelRequested.store(false);
    }

    BusinessResult<QString> user() const {
        if (const auto name = userName ? userName() : std::nullopt; name && !name->isEmpty()) return *name;
        return BusinessError::make(BusinessError::Kind::invalidSession);
    }

    std::optional<ServiceBackupRecord> ownBackup(const QString& name, std::optional<ServiceFailure>* failure) {
        auto all = client->backups();
        if (!all) {
            *failure = all.failure();
            return std::nullopt;
        }
        for (const auto& r : all.value())
            if (r.deviceId == device.identifier && r.name == name) return r;
        return std::nullopt;
    }

    BusinessResult<BackupPreview> preview(const BackupSettings& settings, const PreviewProgressHandler& progress) {
        auto user = this->user();
        if (!user.isSuccess()) return user.error();
        std::optional<ServiceFailure> failure;
        const auto existing = ownBackup(settings.name, &failure);
        if (failure) return errorOf(*failure);
        // What the backup holds already, by category and path.
        std::map<std::pair<int, QString>, ServiceBackupItem> stored;
        if (existing) {
            auto items = client->backupItems(existing->identifier);
            if (!items) return errorOf(items.failure());
            for (const auto& item : items.value()) stored.emplace(std::pair(int(item.category), item.relativePath), item);
        }
        BackupPreview preview;
        preview.settings = settings;
        OVProgress report{4, 0};
        for (BackupCategory category : allCategories) {
            if (shouldStop()) return cancelledError();
            if (chosen(settings.options, category)) {
                std::map<QString, bool> seen;
                for (const auto& file : sources.scan(category, [this] { return shouldStop(); })) {
                    seen[file.relativePath] = true;
                    const auto old = stored.find(std::pair(int(category), file.relativePath));
                    const bool unchanged = old != stored.end() && old->second.size == file.size &&
                                           old->second.modified.toSecsSinceEpoch() == file.modified.toSecsSinceEpoch();
                    if (unchanged) continue;
                    preview.items.push_back({category, file.relativePath, file.path, file.size});
                    amount(preview.itemCounts, category) += 1;
                    amount(preview.sizes, category) += std::uint64_t(file.size);
                }
                for (const auto& [key, item] : stored)
                    if (key.first == int(category) && !seen.count(item.relativePath))
                        preview.deletedItems.emplace_back(category, item.relativePath);
            }
            ++report.completedUnitCount;
            if (progress) progress(report);
        }
        if (shouldStop()) return cancelledError();
        return preview;
    }

    BusinessResult<BackupProcessReport> backUp(const BackupPreview& preview, const ProgressHandler& progress) {
        auto user = this->user();
        if (!user.isSuccess()) return user.error();
        if (shouldStop()) return cancelledError();
        auto record = client->beginBackup({preview.settings.name, device.identifier, device.name,
                                           operatingSystemName(OperatingSystem::linux)});
        if (!record) return errorOf(record.failure());
        const QString id = record.value().identifier;
        std::vector<ServiceBackupCategory> categories;
        for (BackupCategory c : allCategories)
            if (chosen(preview.settings.options, c)) categories.push_back(toService(c));
        const auto fail = [&](const BusinessError& error) -> BusinessResult<BackupProcessReport> {
            (void)client->finishBackup(id, {false, categories});
            return error;
        };

        BackupProgress current{std::int64_t(preview.items.size()), 0, std::int64_t(preview.sizes.overall()), 0, 0};
        BackupProcessReport report;
        for (const auto& item : preview.items) {
            if (shouldStop()) return fail(cancelledError());
            auto source = openSource(item.sourcePath);
            auto stored = source ? client->storeBackupItem(id, toService(item.category), item.relativePath, source.value().modified,
                                                           source.value().fd.get(), source.value().size, &cancelRequested)
                                 : ServiceResult<ServiceBackupItem>(source.failure());
            if (!stored) {
                // A file deleted since the preview is simply no longer part of the backup.
                if (stored.error() != ServiceError::notFound) return fail(errorOf(stored.failure()));
                ++report.failedItems;
            } else {
                ++report.processedItems;
            }
            current.processedItemsCount += 1;
            current.processedSize += item.size;
            if (progress) progress(current);
        }
        if (!preview.settings.keepDeletedItems) {
            for (const auto& [category, path] : preview.deletedItems) {
                if (auto removed = client->removeBackupItem(id, toService(category), path); !removed)
                    return fail(errorOf(removed.failure()));
            }
        }
        auto finished = client->finishBackup(id, {true, categories});
        if (!finished) return errorOf(finished.failure());
        report.isComplete = true;
        return report;
    }

    BusinessResult<BackupProcessReport> restore(const BackupObject& backup, const RestoreSettings& settings,
                                                const ProgressHandler& progress) {
        auto user = this->user();
        if (!user.isSuccess()) return user.error();
        auto items = client->backupItems(backup.identifier);
        if (!items) return errorOf(items.failure());
        std::vector<ServiceBackupItem> wanted;
        BackupProgress current;
        for (const auto& item : items.value()) {
            const BackupCategory category = fromService(item.category);
            if (!chosen(settings.options, category) || !contains(backup, category)) continue;
            wanted.push_back(item);
            current.itemsCount += 1;
            current.size += item.size;
        }
        BackupProcessReport report;
        for (const auto& item : wanted) {
            if (shouldStop()) return cancelledError();
            const QString folder = sources.folder(fromService(item.category));
            bool restored = false;
            if (!folder.isEmpty() && BackupStore::isSafeRelativePath(item.relativePath)) {
                const auto outcome = restoreWithoutReplacing(*client, backup.identifier, item, folder + u'/' + item.relativePath,
                                                             cancelRequested);
                if (outcome == RestoreOutcome::stopped) return cancelledError();
                restored = outcome == RestoreOutcome::restored || outcome == RestoreOutcome::identical;
            }
            restored ? ++report.processedItems : ++report.failedItems;
            current.processedItemsCount += 1;
            current.processedSize += item.size;
            if (progress) progress(current);
        }
        report.isComplete = report.failedItems == 0;
        return report;
    }

    BusinessResult<std::vector<BackupObject>> list() {
        auto user = this->user();
        if (!user.isSuccess()) return user.error();
        auto records = client->backups();
        if (!records) return errorOf(records.failure());
        std::vector<BackupObject> objects;
        for (const auto& r : records.value()) {
            BackupObject o;
            o.name = r.name;
            o.isFromCurrentDevice = r.deviceId == device.identifier;
            o.operatingSystem = operatingSystemFromName(r.operatingSystem);
            o.identifier = r.identifier;
            o.containsImages = r.containsImages;
            o.containsVideos = r.containsVideos;
            o.containsContacts = r.containsContacts;
            o.containsCalendars = r.containsCalendars;
            o.isCompleted = r.isCompleted;
            o.endDate = r.endDate;
            o.startDate = r.startDate;
            o.modificationDate = r.modificationDate;
            o.deviceName = r.deviceName;
            o.itemCounts = contentInfo(r.itemCounts);
            o.sizes = contentInfo(r.sizes);
            objects.push_back(o);
        }
        return objects;
    }
};

OrvellaBackupFacade::OrvellaBackupFacade(std::shared_ptr<ServiceClient> client, UserNameProvider userName,
                                         BackupSources sources, BackupDeviceIdentity device)
    : core_(std::make_shared<Core>()),
      queue_(std::make_unique<SerialQueue>(QStringLiteral("business.backup"))),
      listQueue_(std::make_unique<SerialQueue>(QStringLiteral("business.backup.list"))) {
    core_->client = std::move(client);
    core_->userName = std::move(userName);
    core_->sources = std::move(sources);
    core_->device = std::move(device);
}

OrvellaBackupFacade::~OrvellaBackupFacade() {
    // The queue drains on destruction: what still runs stops early instead of holding us up.
    cancel();
    queue_.reset();
    listQueue_.reset();
}

template <typename Work>
void OrvellaBackupFacade::submit(Work work) {
    core_->begin();
    queue_->async([core = core_, work = std::move(work)] {
        work(*core);
        core->end();
    });
}

std::optional<BackupSettings> OrvellaBackupFacade::backupSettings(const QString& name,
                                                                  const OVBackupAndRestoreOptions& options,
                                                                  bool keepDeletedItems) const {
    if (name.trimmed().isEmpty() || options.isEmpty()) return std::nullopt;
    return BackupSettings{name, options, keepDeletedItems};
}

std::optional<RestoreSettings> OrvellaBackupFacade::restoreSettings(const OVBackupAndRestoreOptions& options) const {
    if (options.isEmpty()) return std::nullopt;
    return RestoreSettings{options};
}

void OrvellaBackupFacade::preview(const BackupSettings& settings, PreviewProgressHandler progress,
                                  std::function<void(BusinessResult<BackupPreview>)> completion) {
    submit([settings, progress = std::move(progress), completion = std::move(completion)](Core& core) {
        auto result = core.shouldStop() ? BusinessResult<BackupPreview>(cancelledError()) : core.preview(settings, progress);
        if (completion) completion(std::move(result));
    });
}

void OrvellaBackupFacade::backUp(const BackupPreview& preview, ProgressHandler progress,
                                 std::function<void(BusinessResult<BackupProcessReport>)> completion) {
    submit([preview, progress = std::move(progress), completion = std::move(completion)](Core& core) {
        auto result = core.backUp(preview, progress);
        if (completion) completion(std::move(result));
    });
}

void OrvellaBackupFacade::restore(const BackupObject& backup, const RestoreSettings& settings, ProgressHandler progress,
                                  std::function<void(BusinessResult<BackupProcessReport>)> completion) {
    submit([backup, settings, progress = std::move(progress), completion = std::move(completion)](Core& core) {
        auto result = core.shouldStop() ? BusinessResult<BackupProcessReport>(cancelledError())
                                        : core.restore(backup, settings, progress);
        if (completion) completion(std::move(result));
    });
}

void OrvellaBackupFacade::cancel(std::function<void()> completion) {
    {
        std::lock_guard lock(core_->mutex);
        // Only what is queued or running is cancelled; a later request starts afresh.
        if (core_->pending > 0) core_->cancelRequested.store(true);
    }
    if (completion) queue_->async(std::move(completion));
}

void OrvellaBackupFacade::list(std::function<void(BusinessResult<std::vector<BackupObject>>)> completion) {
    // Listing is not cancelled along with a backup.
    listQueue_->async([core = core_, completion = std::move(completion)] {
        auto result = core->list();
        if (completion) completion(std::move(result));
    });
}

QString OrvellaBackupFacade::destinationFolder() const {
    const auto user = core_->user();
    if (!user.isSuccess()) return {};
    return core_->client->localTreeFolder(user.value());
}

QString OrvellaBackupFacade::freeRestoreName(const QString& path) {
    const QFileInfo info(path);
    const QString folder = info.absolutePath();
    const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
    const QString stem = suffix.isEmpty() ? info.fileName() : info.fileName().chopped(suffix.size());
    for (int n = 1;; ++n) {
        const QString label = n == 1 ? QStringLiteral(" (restored)") : QStringLiteral(" (restored %1)").arg(n);
        const QString candidate = folder + u'/' + stem + label + suffix;
        if (!QFileInfo::exists(candidate)) return candidate;
    }
}
