#include "service/BackupStore.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QTimeZone>
#include <QUuid>

#include <algorithm>
#include <cstdio>

#include "service/AccountRules.h"
#include "service/AtomicFile.h"
#include "service/ServiceLock.h"
#include "service/StorageService.h"

namespace {

const QString recordFileName = QStringLiteral("record.json");
const QString itemsFolderName = QStringLiteral("items");
constexpr qint64 copyChunk = 1 << 20;
const ServiceBackupCategory allCategories[] = {ServiceBackupCategory::contacts, ServiceBackupCategory::calendars,
                                               ServiceBackupCategory::images, ServiceBackupCategory::videos};

ServiceFailure storageFailure(const QString& what) { return {ServiceError::storageFailure, what}; }

QJsonValue dateValue(const std::optional<QDateTime>& date) {
    return date && date->isValid() ? QJsonValue(double(date->toMSecsSinceEpoch())) : QJsonValue();
}

std::optional<QDateTime> dateFrom(const QJsonValue& value) {
    if (!value.isDouble()) return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(qint64(value.toDouble()), QTimeZone::utc());
}

QJsonObject amountsJson(const ServiceBackupAmounts& a) {
    return {{QStringLiteral("contacts"), QString::number(a.contacts)},
            {QStringLiteral("videos"), QString::number(a.videos)},
            {QStringLiteral("images"), QString::number(a.images)},
            {QStringLiteral("calendars"), QString::number(a.calendars)}};
}

ServiceBackupAmounts amountsFrom(const QJsonObject& o) {
    ServiceBackupAmounts a;
    a.contacts = o.value(QStringLiteral("contacts")).toString().toULongLong();
    a.videos = o.value(QStringLiteral("videos")).toString().toULongLong();
    a.images = o.value(QStringLiteral("images")).toString().toULongLong();
    a.calendars = o.value(QStringLiteral("calendars")).toString().toULongLong();
    return a;
}

QByteArray encode(const ServiceBackupRecord& r) {
    QJsonObject o{{QStringLiteral("identifier"), r.identifier},
                  {QStringLiteral("name"), r.name},
                  {QStringLiteral("deviceId"), r.deviceId},
                  {QStringLiteral("deviceName"), r.deviceName},
                  {QStringLiteral("operatingSystem"), r.operatingSystem},
                  {QStringLiteral("containsImages"), r.containsImages},
                  {QStringLiteral("containsVideos"), r.containsVideos},
                  {QStringLiteral("containsContacts"), r.containsContacts},
                  {QStringLiteral("containsCalendars"), r.containsCalendars},
                  {QStringLiteral("isCompleted"), r.isCompleted},
                  {QStringLiteral("endDate"), dateValue(r.endDate)},
                  {QStringLiteral("startDate"), dateValue(r.startDate)},
                  {QStringLiteral("modificationDate"), dateValue(r.modificationDate)},
                  {QStringLiteral("sizes"), amountsJson(r.sizes)},
                  {QStringLiteral("itemCounts"), amountsJson(r.itemCounts)}};
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

std::optional<ServiceBackupRecord> decode(const QByteArray& data) {
    const QJsonDocument doc = QJsonDocument::fromJson(data);
    if (!doc.isObject()) return std::nullopt;
    const QJsonObject o = doc.object();
    ServiceBackupRecord r;
    r.identifier = o.value(QStringLiteral("identifier")).toString();
    r.name = o.value(QStringLiteral("name")).toString();
    if (r.identifier.isEmpty() || r.name.isEmpty()) return std::nullopt;
    r.deviceId = o.value(QStringLiteral("deviceId")).toString();
    r.deviceName = o.value(QStringLiteral("deviceName")).toString();
    r.operatingSystem = o.value(QStringLiteral("operatingSystem")).toString();
    r.containsImages = o.value(QStringLiteral("containsImages")).toBool();
    r.containsVideos = o.value(QStringLiteral("containsVideos")).toBool();
    r.containsContacts = o.value(QStringLiteral("containsContacts")).toBool();
    r.containsCalendars = o.value(QStringLiteral("containsCalendars")).toBool();
    r.isCompleted = o.value(QStringLiteral("isCompleted")).toBool();
    r.endDate = dateFrom(o.value(QStringLiteral("endDate")));
    r.startDate = dateFrom(o.value(QStringLiteral("startDate"))).value_or(QDateTime());
    r.modificationDate = dateFrom(o.value(QStringLiteral("modificationDate"))).value_or(r.startDate);
    r.sizes = amountsFrom(o.value(QStringLiteral("sizes")).toObject());
    r.itemCounts = amountsFrom(o.value(QStringLiteral("itemCounts")).toObject());
    return r;
}

}  // namespace

std::uint64_t& ServiceBackupAmounts::operator[](ServiceBackupCategory category) {
    switch (category) {
    case ServiceBackupCategory::contacts: return contacts;
    case ServiceBackupCategory::calendars: return calendars;
    case ServiceBackupCategory::images: return images;
    case ServiceBackupCategory::videos: return videos;
    }
    return contacts;
}

BackupStore::BackupStore(const StorageService& service) : service_(service) {}

QString BackupStore::categoryName(ServiceBackupCategory category) {
    switch (category) {
    case ServiceBackupCategory::contacts: return QStringLiteral("contacts");
    case ServiceBackupCategory::calendars: return QStringLiteral("calendars");
    case ServiceBackupCategory::images: return QStringLiteral("images");
    case ServiceBackupCategory::videos: return QStringLiteral("videos");
    }
    return {};
}

std::optional<ServiceBackupCategory> BackupStore::categoryFromName(const QString& name) {
    for (auto category : allCategories)
        if (categoryName(category) == name) return category;
    return std::nullopt;
}

bool BackupStore::isSafeRelativePath(const QString& path) {
    if (path.isEmpty() || path.startsWith(u'/') || path.contains(QChar(0))) return false;
    for (const QString& part : path.split(u'/'))
        if (part.isEmpty() || part == QStringLiteral(".") || part == QStringLiteral("..")) return false;
    return true;
}

QString BackupStore::folderOfUser(const QString& userName) const {
    return service_.root() + QStringLiteral("/backups/") + AccountRules::normalizedUserName(userName);
}

QString BackupStore::backupFolder(const QString& userName, const QString& identifier) const {
    return folderOfUser(userName) + u'/' + identifier;
}

std::optional<ServiceFailure> BackupStore::unreachable() const {
    if (service_.isReachable()) return std::nullopt;
    return ServiceFailure{ServiceError::noConnection, QStringLiteral("The service cannot be reached.")};
}

ServiceResult<std::vector<ServiceBackupRecord>> BackupStore::backups(const QString& userName) const {
    if (auto failure = unreachable()) return *failure;
    std::vector<ServiceBackupRecord> records;
    const QDir dir(folderOfUser(userName));
    for (const QString& entry : dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name)) {
        const auto data = AtomicFile::read(dir.filePath(entry) + u'/' + recordFileName);
        // A folder whose record was never written (or is damaged) is no backup to show.
        if (!data) continue;
        if (auto record = decode(*data); record && record->identifier == entry) records.push_back(*record);
    }
    return records;
}

ServiceResult<ServiceBackupRecord> BackupStore::backup(const QString& userName, const QString& identifier) const {
    if (auto failure = unreachable()) return *failure;
    if (!isSafeRelativePath(identifier) || identifier.contains(u'/'))
        return ServiceFailure{ServiceError::notFound, QStringLiteral("No such backup.")};
    const auto data = AtomicFile::read(backupFolder(userName, identifier) + u'/' + recordFileName);
    if (!data) return ServiceFailure{ServiceError::notFound, QStringLiteral("No such backup.")};
    auto record = decode(*data);
    if (!record) return storageFailure(QStringLiteral("The backup's record is damaged."));
    return *record;
}

ServiceResult<ServiceDone> BackupStore::writeRecord(const QString& userName, const ServiceBackupRecord& record) const {
    const QString folder = backupFolder(userName, record.identifier);
    if (!QDir().mkpath(folder)) return storageFailure(QStringLiteral("Cannot create ") + folder);
    QString error;
    if (!AtomicFile::write(folder + u'/' + recordFileName, encode(record), 0600, &error)) return storageFailure(error);
    return ServiceDone{};
}

ServiceResult<ServiceBackupRecord> BackupStore::beginBackup(const QString& userName, const QString& name,
                                                            const QString& deviceId, const QString& deviceName,
                                                            const QString& operatingSystem) {
    if (auto failure = unreachable()) return *failure;
    if (name.trimmed().isEmpty()) return storageFailure(QStringLiteral("A backup needs a name."));
    if (!service_.account(userName)) return ServiceFailure{ServiceError::invalidSession, QStringLiteral("No such account.")};
    if (!QDir().mkpath(folderOfUser(userName))) return storageFailure(QStringLiteral("Cannot create the backup folder."));
    ServiceLock lock(service_.lockFilePath(), 5000);
    if (!lock.isLocked()) return ServiceFailure{ServiceError::timeout, QStringLiteral("The service is busy.")};
    auto all = backups(userName);
    if (!all) return all.failure();
    ServiceBackupRecord record;
    bool found = false;
    for (const auto& existing : all.value()) {
        if (existing.deviceId == deviceId && existing.name == name) {
            record = existing;
            found = true;
            break;
        }
    }
    const QDateTime now = service_.now().toUTC();
    if (!found) {
        record.identifier = QUuid::createUuid().toString(QUuid::WithoutBraces);
        record.name = name;
        record.deviceId = deviceId;
    }
    record.deviceName = deviceName;
    record.operatingSystem = operatingSystem;
    record.isCompleted = false;
    record.endDate.reset();
    record.startDate = now;
    record.modificationDate = now;
    if (auto written = writeRecord(userName, record); !written) return written.failure();
    return record;
}

ServiceResult<std::vector<ServiceBackupItem>> BackupStore::items(const QString& userName, const QString& identifier) const {
    auto record = backup(userName, identifier);
    if (!record) return record.failure();
    std::vector<ServiceBackupItem> result;
    const QString itemsRoot = backupFolder(userName, identifier) + u'/' + itemsFolderName;
    for (auto category : allCategories) {
        const QString base = itemsRoot + u'/' + categoryName(category);
        QDirIterator it(base, QDir::Files | QDir::NoSymLinks, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            it.next();
            const QFileInfo info = it.fileInfo();
            // Left-overs of an interrupted copy are not items.
            if (info.fileName().startsWith(u'.')) continue;
            ServiceBackupItem item;
            item.category = category;
            item.relativePath = QDir(base).relativeFilePath(info.filePath());
            item.size = info.size();
            item.modified = info.lastModified().toUTC();
            item.storedPath = info.filePath();
            result.push_back(item);
        }
    }
    std::sort(result.begin(), result.end(), [](const auto& a, const auto& b) {
        return std::pair(int(a.category), a.relativePath) < std::pair(int(b.category), b.relativePath);
    });
    return result;
}

ServiceResult<ServiceBackupItem> BackupStore::storeItem(const QString& userName, const QString& identifier,
                                                        ServiceBackupCategory category, const QString& relativePath,
                                                        const QString& sourcePath, const ShouldStop& shouldStop) {
    if (auto failure = unreachable()) return *failure;
    if (!isSafeRelativePath(relativePath))
        return storageFailure(QStringLiteral("Refused an item path outside its folder: ") + relativePath);
    if (auto record = backup(userName, identifier); !record) return record.failure();
    QFile source(sourcePath);
    const QFileInfo sourceInfo(sourcePath);
    if (!sourceInfo.isFile()) return ServiceFailure{ServiceError::notFound, QStringLiteral("Gone: ") + sourcePath};
    if (!source.open(QIODevice::ReadOnly)) return storageFailure(QStringLiteral("Cannot read ") + sourcePath);
    const QString target = itemPath(userName, identifier, category, relativePath);
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) return storageFailure(QStringLiteral("Cannot create a folder for ") + target);
    // QSaveFile writes beside the target and renames over it on commit: the old copy stays whole
    // until the new one is complete.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) return storageFailure(QStringLiteral("Cannot write ") + target);
    while (!source.atEnd()) {
        if (shouldStop && shouldStop()) {
            out.cancelWriting();
            out.commit();
            return storageFailure(QStringLiteral("cancelled"));
        }
        const QByteArray chunk = source.read(copyChunk);
        if (chunk.isEmpty() && source.error() != QFileDevice::NoError) {
            out.cancelWriting();
            out.commit();
            return storageFailure(QStringLiteral("Cannot read ") + sourcePath);
        }
        if (out.write(chunk) != chunk.size()) {
            out.cancelWriting();
            out.commit();
            return storageFailure(QStringLiteral("Cannot write ") + target);
        }
    }
    if (!out.commit()) return storageFailure(QStringLiteral("Cannot write ") + target);
    QFile stored(target);
    if (stored.open(QIODevice::ReadWrite)) stored.setFileTime(sourceInfo.lastModified(), QFileDevice::FileModificationTime);
    stored.close();
    ServiceBackupItem item;
    item.category = category;
    item.relativePath = relativePath;
    item.size = QFileInfo(target).size();
    item.modified = QFileInfo(target).lastModified().toUTC();
    item.storedPath = target;
    return item;
}

QString BackupStore::itemPath(const QString& userName, const QString& identifier, ServiceBackupCategory category,
                              const QString& relativePath) const {
    return backupFolder(userName, identifier) + u'/' + itemsFolderName + u'/' + categoryName(category) + u'/' + relativePath;
}

ServiceResult<ServiceBackupItem> BackupStore::adoptItem(const QString& userName, const QString& identifier,
                                                        ServiceBackupCategory category, const QString& relativePath,
                                                        const QString& stagedPath, const QDateTime& modified) {
    if (auto failure = unreachable()) return *failure;
    if (!isSafeRelativePath(relativePath))
        return storageFailure(QStringLiteral("Refused an item path outside its folder: ") + relativePath);
    if (auto record = backup(userName, identifier); !record) return record.failure();
    const QString target = itemPath(userName, identifier, category, relativePath);
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) return storageFailure(QStringLiteral("Cannot create a folder for ") + target);
    QFile staged(stagedPath);
    if (!staged.open(QIODevice::ReadWrite) || !staged.setFileTime(modified, QFileDevice::FileModificationTime) ||
        !staged.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        return storageFailure(QStringLiteral("Cannot prepare ") + target);
    staged.close();
    if (::rename(QFile::encodeName(stagedPath).constData(), QFile::encodeName(target).constData()) != 0)
        return storageFailure(QStringLiteral("Cannot store ") + target);
    const QFileInfo info(target);
    ServiceBackupItem item;
    item.category = category;
    item.relativePath = relativePath;
    item.size = info.size();
    item.modified = info.lastModified().toUTC();
    item.storedPath = target;
    return item;
}

ServiceResult<QString> BackupStore::itemFile(const QString& userName, const QString& identifier, ServiceBackupCategory category,
                                             const QString& relativePath) const {
    if (auto failure = unreachable()) return *failure;
    if (!isSafeRelativePath(relativePath) || !backup(userName, identifier))
        return ServiceFailure{ServiceError::notFound, QStringLiteral("No such item.")};
    const QString target = itemPath(userName, identifier, category, relativePath);
    const QFileInfo info(target);
    if (!info.isFile() || info.isSymLink()) return ServiceFailure{ServiceError::notFound, QStringLiteral("No such item.")};
    return target;
}

ServiceResult<ServiceDone> BackupStore::removeItem(const QString& userName, const QString& identifier,
                                                   ServiceBackupCategory category, const QString& relativePath) {
    if (auto failure = unreachable()) return *failure;
    if (!isSafeRelativePath(relativePath)) return storageFailure(QStringLiteral("Refused an item path: ") + relativePath);
    const QString target = itemPath(userName, identifier, category, relativePath);
    if (QFileInfo(target).isFile() && !QFile::remove(target)) return storageFailure(QStringLiteral("Cannot remove ") + target);
    return ServiceDone{};
}

ServiceResult<ServiceBackupRecord> BackupStore::finishBackup(const QString& userName, const QString& identifier,
                                                             bool completed,
                                                             const std::vector<ServiceBackupCategory>& chosen) {
    if (auto failure = unreachable()) return *failure;
    ServiceLock lock(service_.lockFilePath(), 5000);
    if (!lock.isLocked()) return ServiceFailure{ServiceError::timeout, QStringLiteral("The service is busy.")};
    auto record = backup(userName, identifier);
    if (!record) return record.failure();
    auto all = items(userName, identifier);
    if (!all) return all.failure();
    ServiceBackupRecord r = record.value();
    r.sizes = {};
    r.itemCounts = {};
    for (const auto& item : all.value()) {
        r.sizes[item.category] += std::uint64_t(item.size);
        r.itemCounts[item.category] += 1;
    }
    const auto holds = [&](ServiceBackupCategory c) {
        return r.itemCounts[c] > 0 || std::find(chosen.begin(), chosen.end(), c) != chosen.end();
    };
    r.containsContacts = holds(ServiceBackupCategory::contacts);
    r.containsCalendars = holds(ServiceBackupCategory::calendars);
    r.containsImages = holds(ServiceBackupCategory::images);
    r.containsVideos = holds(ServiceBackupCategory::videos);
    const QDateTime now = service_.now().toUTC();
    r.modificationDate = now;
    r.isCompleted = completed;
    r.endDate = completed ? std::optional<QDateTime>(now) : std::nullopt;
    if (auto written = writeRecord(userName, r); !written) return written.failure();
    return r;
}

std::int64_t BackupStore::usedBytes(const QString& userName) const {
    std::int64_t used = 0;
    QDirIterator it(folderOfUser(userName), QDir::Files | QDir::Hidden | QDir::NoSymLinks, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        it.next();
        used += it.fileInfo().size();
    }
    return used;
}
