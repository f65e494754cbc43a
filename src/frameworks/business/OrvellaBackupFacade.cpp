#include "frameworks/business/OrvellaBackupFacade.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryFile>

#include <atomic>
#include <map>
#include <mutex>

#include <sys/stat.h>

#include "frameworks/business/ServiceErrors.h"
#include "platform/foundation/SerialQueue.h"
#include "service/BackupStore.h"
#include "service/StorageService.h"

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

BusinessError errorOf(const ServiceFailure& failure) {
    if (failure.error == ServiceError::storageFailure && failure.message == QStringLiteral("cancelled")) return cancelledError();
    return businessError(failure);
}

bool sameContent(const QString& a, const QString& b) {
    QFile fa(a), fb(b);
    if (fa.size() != fb.size() || !fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly)) return false;
    while (!fa.atEnd()) {
        if (fa.read(1 << 16) != fb.read(1 << 16)) return false;
    }
    return true;
}

enum class CopyOutcome { copied, identical, stopped, failed };

// The mode the kernel gives a file made anew: 0666 less the umask, which Linux shows without
// changing it (reading it through umask() would change it for every thread for a moment).
mode_t newFileMode() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (!line.startsWith("Umask:")) continue;
            bool ok = false;
            const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
            if (ok) return 0666 & ~static_cast<mode_t>(mask);
        }
    }
    return 0644;
}

// Copies into a temp file beside the target, then renames it to the target or, when that is
// taken by a different file, to a free name; a rename never replaces an existing file.
CopyOutcome copyWithoutReplacing(const QString& source, const QString& target, const std::function<bool()>& shouldStop,
                                 QString* writtenTo) {
    const QFileInfo sourceInfo(source);
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly)) return CopyOutcome::failed;
    if (QFileInfo::exists(target) && sameContent(source, target)) return CopyOutcome::identical;
    const QString folder = QFileInfo(target).absolutePath();
    if (!QDir().mkpath(folder)) return CopyOutcome::failed;
    QTemporaryFile temp(folder + QStringLiteral("/.restore-XXXXXX"));
    if (!temp.open()) return CopyOutcome::failed;
    while (!in.atEnd()) {
        if (shouldStop()) return CopyOutcome::stopped;
        const QByteArray chunk = in.read(1 << 20);
        if ((chunk.isEmpty() && in.error() != QFileDevice::NoError) || temp.write(chunk) != chunk.size())
            return CopyOutcome::failed;
    }
    if (!temp.flush()) return CopyOutcome::failed;
    // A temporary file is its owner's alone; a restored one is an ordinary file again.
    if (::fchmod(temp.handle(), newFileMode()) != 0) return CopyOutcome::failed;
    temp.setFileTime(sourceInfo.lastModified(), QFileDevice::FileModificationTime);
    temp.close();
    QString destination = target;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        if (QFileInfo::exists(destination)) {
            if (sameContent(temp.fileName(), destination)) return CopyOutcome::identical;
            destination = OrvellaBackupFacade::freeRestoreName(target);
        }
        // QFile::rename refuses an existing destination.
        if (temp.rename(destination)) {
            temp.setAutoRemove(false);
            if (writtenTo) *writtenTo = destination;
            return CopyOutcome::copied;
        }
        if (!QFileInfo::exists(destination)) return CopyOutcome::failed;
    }
    return CopyOutcome::failed;
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
    std::shared_ptr<StorageService> service;
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

    std::optional<ServiceBackupRecord> ownBackup(const QString& user, const QString& name, std::optional<ServiceFailure>* failure) {
        auto all = BackupStore(*service).backups(user);
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
        const auto existing = ownBackup(user.value(), settings.name, &failure);
        if (failure) return errorOf(*failure);
        // What the backup holds already, by category and path.
        std::map<std::pair<int, QString>, ServiceBackupItem> stored;
        if (existing) {
            auto items = BackupStore(*service).items(user.value(), existing->identifier);
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
        BackupStore store(*service);
        auto record = store.beginBackup(user.value(), preview.settings.name, device.identifier, device.name,
                                        operatingSystemName(OperatingSystem::linux));
        if (!record) return errorOf(record.failure());
        const QString id = record.value().identifier;
        std::vector<ServiceBackupCategory> categories;
        for (BackupCategory c : allCategories)
            if (chosen(preview.settings.options, c)) categories.push_back(toService(c));
        const auto fail = [&](const BusinessError& error) -> BusinessResult<BackupProcessReport> {
            (void)store.finishBackup(user.value(), id, false, categories);
            return error;
        };

        BackupProgress current{std::int64_t(preview.items.size()), 0, std::int64_t(preview.sizes.overall()), 0, 0};
        BackupProcessReport report;
        for (const auto& item : preview.items) {
            if (shouldStop()) return fail(cancelledError());
            auto stored = store.storeItem(user.value(), id, toService(item.category), item.relativePath, item.sourcePath,
                                          [this] { return shouldStop(); });
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
                if (auto removed = store.removeItem(user.value(), id, toService(category), path); !removed)
                    return fail(errorOf(removed.failure()));
            }
        }
        auto finished = store.finishBackup(user.value(), id, true, categories);
        if (!finished) return errorOf(finished.failure());
        report.isComplete = true;
        return report;
    }

    BusinessResult<BackupProcessReport> restore(const BackupObject& backup, const RestoreSettings& settings,
                                                const ProgressHandler& progress) {
        auto user = this->user();
        if (!user.isSuccess()) return user.error();
        auto items = BackupStore(*service).items(user.value(), backup.identifier);
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
                const auto outcome = copyWithoutReplacing(item.storedPath, folder + u'/' + item.relativePath,
                                                          [this] { return shouldStop(); }, nullptr);
                if (outcome == CopyOutcome::stopped) return cancelledError();
                restored = outcome == CopyOutcome::copied || outcome == CopyOutcome::identical;
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
        auto records = BackupStore(*service).backups(user.value());
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

OrvellaBackupFacade::OrvellaBackupFacade(std::shared_ptr<StorageService> service, UserNameProvider userName,
                                         BackupSources sources, BackupDeviceIdentity device)
    : core_(std::make_shared<Core>()),
      queue_(std::make_unique<SerialQueue>(QStringLiteral("business.backup"))),
      listQueue_(std::make_unique<SerialQueue>(QStringLiteral("business.backup.list"))) {
    core_->service = std::move(service);
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
    if (!user.isSuccess()) return core_->service->root();
    return BackupStore(*core_->service).folderOfUser(user.value());
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
