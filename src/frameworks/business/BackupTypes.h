#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

// Which kinds of personal data a backup or restore covers.
struct OVBackupAndRestoreOptions {
    bool contacts = false;
    bool calendars = false;
    bool videos = false;
    bool images = false;
    bool isEmpty() const { return !contacts && !calendars && !videos && !images; }
    bool operator==(const OVBackupAndRestoreOptions&) const = default;
};

struct BackupSettings {
    QString name;
    OVBackupAndRestoreOptions options;
    bool keepDeletedItems = true;
    bool operator==(const BackupSettings&) const = default;
};

struct RestoreSettings {
    OVBackupAndRestoreOptions options;
    bool operator==(const RestoreSettings&) const = default;
};

// Per-category amounts (bytes or item counts).
struct ContentInfo {
    std::uint64_t contacts = 0;
    std::uint64_t videos = 0;
    std::uint64_t images = 0;
    std::uint64_t calendars = 0;
    // Saturates instead of wrapping round.
    std::uint64_t overall() const;
    bool operator==(const ContentInfo&) const = default;
};

// The platform's progress object in the form the backup service reports it.
struct OVProgress {
    std::int64_t totalUnitCount = 0;
    std::int64_t completedUnitCount = 0;
    bool operator==(const OVProgress&) const = default;
};

enum class BackupCategory { contacts, calendars, images, videos };

// One local file a backup is going to store.
struct BackupPlannedItem {
    BackupCategory category = BackupCategory::contacts;
    QString relativePath;
    QString sourcePath;
    std::int64_t size = 0;
};

// What a backup would transfer: the new and changed files of the chosen categories.
struct BackupPreview {
    ContentInfo itemCounts;
    ContentInfo sizes;
    BackupSettings settings;
    std::vector<BackupPlannedItem> items;
    // Files in the backup whose source is gone; removed unless deleted items are kept.
    std::vector<std::pair<BackupCategory, QString>> deletedItems;
};

struct BackupProgress {
    std::int64_t itemsCount = 0;
    std::int64_t processedItemsCount = 0;
    std::int64_t size = 0;
    std::int64_t estimatedTimeRemaining = 0;  // seconds; not known here, always 0
    std::int64_t processedSize = 0;
    bool operator==(const BackupProgress&) const = default;
};

struct BackupProcessReport {
    bool isComplete = false;
    std::int64_t processedItems = 0;
    std::int64_t failedItems = 0;
};

// The system a backup came from. A backup made by this client is `linux`.
enum class OperatingSystem { iOS, android, linux, macOS, windows, unknown };
QString operatingSystemName(OperatingSystem system);
OperatingSystem operatingSystemFromName(const QString& name);

// A backup as the service lists it.
struct BackupObject {
    QString name;
    bool isFromCurrentDevice = false;
    OperatingSystem operatingSystem = OperatingSystem::unknown;
    QString identifier;
    bool containsImages = false;
    bool containsVideos = false;
    bool containsContacts = false;
    bool containsCalendars = false;
    bool isCompleted = false;
    std::optional<QDateTime> endDate;
    QDateTime startDate;
    QDateTime modificationDate;
    QString deviceName;
    ContentInfo itemCounts;
    ContentInfo sizes;
    bool operator==(const BackupObject&) const = default;
};
