#include "app/backup/BackupModels.h"

#include <limits>

namespace {

qint64 clampedToSigned(std::uint64_t value) {
    constexpr auto maximum = std::uint64_t(std::numeric_limits<qint64>::max());
    return qint64(value > maximum ? maximum : value);
}

QString dateDescription(const QDateTime& date) {
    return date.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz +0000"));
}

}  // namespace

QString DecimalNumber::toString() const {
    if (value == 0) return QStringLiteral("0");
    QString digits;
    for (unsigned __int128 v = value; v > 0; v /= 10) digits.prepend(QChar(u'0' + int(v % 10)));
    return digits;
}

DecimalNumber ObjCContentInfo::overall() const {
    using Wide = unsigned __int128;
    return {((Wide(contacts_) + Wide(videos_)) + Wide(images_)) + Wide(calendars_)};
}

ObjCBackupProgress::ObjCBackupProgress(const BackupProgress& p, QObject* parent)
    : ObjCBackupProgress(p.itemsCount, p.processedItemsCount, p.size, p.processedSize, parent) {}

ObjCBackupProgress::ObjCBackupProgress(qint64 itemsCount, qint64 processedItemsCount, qint64 size, qint64 processedSize,
                                       QObject* parent)
    : QObject(parent),
      itemsCount_(itemsCount),
      processedItemsCount_(processedItemsCount),
      size_(size),
      processedSize_(processedSize) {}

std::shared_ptr<ObjCBackupProgress> ObjCBackupProgress::starting(std::uint64_t itemsCount, std::uint64_t size) {
    return std::make_shared<ObjCBackupProgress>(clampedToSigned(itemsCount), 0, clampedToSigned(size), 0);
}

namespace {

std::shared_ptr<ObjCBackupStatus> statusOf(bool isCompleted, const std::optional<QDateTime>& endDate,
                                           const QDateTime& modificationDate) {
    if (!isCompleted) return std::make_shared<ObjCBackupStatus>(BackupStatus::failedAt(modificationDate));
    if (endDate) return std::make_shared<ObjCBackupStatus>(BackupStatus::succeeded(*endDate));
    return nullptr;
}

}  // namespace

ObjCBackupObject::ObjCBackupObject(const BackupObject& b, QObject* parent)
    : ObjCBackupObject(b.name, b.isFromCurrentDevice, b.containsImages, b.containsVideos, b.containsContacts,
                       b.containsCalendars, b.isCompleted, b.endDate, b.startDate, b.modificationDate, b.sizes.contacts,
                       b.sizes.videos, b.sizes.images, b.sizes.calendars, b, parent) {}

ObjCBackupObject::ObjCBackupObject(const QString& name, bool isFromCurrentDevice, bool containsImages,
                                   bool containsVideo, bool containsContacts, bool containsCalendars, bool isCompleted,
                                   const std::optional<QDateTime>& endDate, const QDateTime& startDate,
                                   const QDateTime& modificationDate, std::uint64_t contactsSize,
                                   std::uint64_t videosSize, std::uint64_t imagesSize, std::uint64_t calendarsSize,
                                   BackupObject representedObject, QObject* parent)
    : QObject(parent),
      name_(name),
      isFromCurrentDevice_(isFromCurrentDevice),
      containsImages_(containsImages),
      containsVideo_(containsVideo),
      containsContacts_(containsContacts),
      containsCalendars_(containsCalendars),
      isCompleted_(isCompleted),
      status_(statusOf(isCompleted, endDate, modificationDate)),
      startDate_(startDate),
      modificationDate_(modificationDate),
      sizes_(std::make_shared<ObjCContentInfo>(contactsSize, videosSize, imagesSize, calendarsSize)),
      representedObject_(std::move(representedObject)) {}

void ObjCBackupObject::setStatus(std::shared_ptr<ObjCBackupStatus> status) {
    status_ = std::move(status);
    emit statusChanged();
}

void ObjCBackupObject::setSizes(std::shared_ptr<ObjCContentInfo> sizes) {
    sizes_ = std::move(sizes);
    emit sizesChanged();
}

QString uniqueKey(const BackupObject& backup) {
    return dateDescription(backup.startDate) +
           (backup.endDate ? dateDescription(*backup.endDate) : QStringLiteral("notFinished")) + backup.name +
           operatingSystemName(backup.operatingSystem);
}
