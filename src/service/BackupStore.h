#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "service/ServiceResult.h"

class StorageService;

// What a backup holds, one category per kind of personal data.
enum class ServiceBackupCategory { contacts, calendars, images, videos };

// One amount per category (bytes or item counts).
struct ServiceBackupAmounts {
    std::uint64_t contacts = 0;
    std::uint64_t videos = 0;
    std::uint64_t images = 0;
    std::uint64_t calendars = 0;
    std::uint64_t& operator[](ServiceBackupCategory category);
    bool operator==(const ServiceBackupAmounts&) const = default;
};

// A backup as the service keeps it. One device keeps one backup per name, which each run brings
// up to date; a run that did not end well leaves it unfinished (`isCompleted` false, no end date).
struct ServiceBackupRecord {
    QString identifier;
    QString name;
    QString deviceId;
    QString deviceName;
    QString operatingSystem;
    bool containsImages = false;
    bool containsVideos = false;
    bool containsContacts = false;
    bool containsCalendars = false;
    bool isCompleted = false;
    std::optional<QDateTime> endDate;
    QDateTime startDate;
    QDateTime modificationDate;
    ServiceBackupAmounts sizes;
    ServiceBackupAmounts itemCounts;
    bool operator==(const ServiceBackupRecord&) const = default;
};

// One file of a backup; `relativePath` is its place below its category's source folder.
struct ServiceBackupItem {
    ServiceBackupCategory category = ServiceBackupCategory::contacts;
    QString relativePath;
    std::int64_t size = 0;
    QDateTime modified;   // the source file's modification time when it was stored
    QString storedPath;   // the copy in the service's tree
};

// The backups of each account, below "backups/<name>" in the service's tree: one folder per backup
// with its record ("record.json") and its items ("items/<category>/<path>"). Records and items are
// written atomically (temp file, flush, rename): a failed or cancelled write leaves the previous
// version whole. Read-modify-write steps on a record run under the service's lock.
class BackupStore {
public:
    // Asked between chunks of a copy; true stops the copy (see storeItem).
    using ShouldStop = std::function<bool()>;

    explicit BackupStore(const StorageService& service);

    static QString categoryName(ServiceBackupCategory category);
    static std::optional<ServiceBackupCategory> categoryFromName(const QString& name);
    // A relative path that stays below its folder: not empty, not absolute, no "." or ".."
    // components, no empty components and no NUL.
    static bool isSafeRelativePath(const QString& path);

    QString folderOfUser(const QString& userName) const;

    ServiceResult<std::vector<ServiceBackupRecord>> backups(const QString& userName) const;
    ServiceResult<ServiceBackupRecord> backup(const QString& userName, const QString& identifier) const;
    // The device's backup of this name, made when new, marked unfinished for a new run that
    // starts now. The earlier items stay until the run replaces or removes them.
    ServiceResult<ServiceBackupRecord> beginBackup(const QString& userName, const QString& name,
                                                   const QString& deviceId, const QString& deviceName,
                                                   const QString& operatingSystem);
    ServiceResult<std::vector<ServiceBackupItem>> items(const QString& userName, const QString& identifier) const;
    // Copies a local file into the backup, keeping its modification time. notFound when the source
    // is gone; storageFailure when it cannot be copied; a stop asked for by `shouldStop` fails with
    // the message "cancelled". The earlier copy, if any, stays in every failure.
    ServiceResult<ServiceBackupItem> storeItem(const QString& userName, const QString& identifier,
                                               ServiceBackupCategory category, const QString& relativePath,
                                               const QString& sourcePath, const ShouldStop& shouldStop = {});
    // Takes a complete file (`stagedPath`, on the service's file system) as the item, with its
    // modification time, by renaming it into place: the earlier copy stays whole until then.
    ServiceResult<ServiceBackupItem> adoptItem(const QString& userName, const QString& identifier,
                                               ServiceBackupCategory category, const QString& relativePath,
                                               const QString& stagedPath, const QDateTime& modified);
    // The stored copy of an item; notFound when there is none.
    ServiceResult<QString> itemFile(const QString& userName, const QString& identifier, ServiceBackupCategory category,
                                    const QString& relativePath) const;
    ServiceResult<ServiceDone> removeItem(const QString& userName, const QString& identifier,
                                          ServiceBackupCategory category, const QString& relativePath);
    // Ends a run: amounts are counted from the items; `contains` flags are set for the categories
    // that hold items or were chosen in this run; a completed run gets its end date.
    ServiceResult<ServiceBackupRecord> finishBackup(const QString& userName, const QString& identifier,
                                                    bool completed, const std::vector<ServiceBackupCategory>& chosen);

    // Bytes of all backups of the account.
    std::int64_t usedBytes(const QString& userName) const;

private:
    QString itemPath(const QString& userName, const QString& identifier, ServiceBackupCategory category,
                     const QString& relativePath) const;
    QString backupFolder(const QString& userName, const QString& identifier) const;
    ServiceResult<ServiceDone> writeRecord(const QString& userName, const ServiceBackupRecord& record) const;
    std::optional<ServiceFailure> unreachable() const;

    const StorageService& service_;
};
