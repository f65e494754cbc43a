#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QObject>
#include <QString>

#include <cstdint>
#include <memory>
#include <optional>

#include "app/backup/BackupStatus.h"
#include "frameworks/business/BackupTypes.h"

// A decimal amount wide enough for the sum of four 64-bit amounts.
struct DecimalNumber {
    unsigned __int128 value = 0;
    QString toString() const;
    double toDouble() const { return double(value); }
    bool operator==(const DecimalNumber&) const = default;
};

// A backup's four per-category amounts for bindings.
class ObjCContentInfo : public QObject {
    Q_OBJECT
    Q_PROPERTY(quint64 contacts READ contacts CONSTANT)
    Q_PROPERTY(quint64 videos READ videos CONSTANT)
    Q_PROPERTY(quint64 images READ images CONSTANT)
    Q_PROPERTY(quint64 calendars READ calendars CONSTANT)
    Q_PROPERTY(double overall READ overallValue CONSTANT)

public:
    ObjCContentInfo(std::uint64_t contacts, std::uint64_t videos, std::uint64_t images, std::uint64_t calendars,
                    QObject* parent = nullptr)
        : QObject(parent), contacts_(contacts), videos_(videos), images_(images), calendars_(calendars) {}

    quint64 contacts() const { return contacts_; }
    quint64 videos() const { return videos_; }
    quint64 images() const { return images_; }
    quint64 calendars() const { return calendars_; }
    // The exact sum; it cannot overflow.
    DecimalNumber overall() const;
    double overallValue() const { return overall().toDouble(); }

private:
    const std::uint64_t contacts_, videos_, images_, calendars_;
};

// The counters of a running backup or restore for bindings; one object per report.
class ObjCBackupProgress : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 itemsCount READ itemsCount CONSTANT)
    Q_PROPERTY(qint64 processedItemsCount READ processedItemsCount CONSTANT)
    Q_PROPERTY(qint64 size READ size CONSTANT)
    Q_PROPERTY(qint64 processedSize READ processedSize CONSTANT)

public:
    explicit ObjCBackupProgress(const BackupProgress& progress, QObject* parent = nullptr);
    ObjCBackupProgress(qint64 itemsCount, qint64 processedItemsCount, qint64 size, qint64 processedSize,
                       QObject* parent = nullptr);
    // From a preview's unsigned totals; a total above the signed range is held at its maximum.
    static std::shared_ptr<ObjCBackupProgress> starting(std::uint64_t itemsCount, std::uint64_t size);

    qint64 itemsCount() const { return itemsCount_; }
    qint64 processedItemsCount() const { return processedItemsCount_; }
    qint64 size() const { return size_; }
    qint64 processedSize() const { return processedSize_; }

private:
    const qint64 itemsCount_, processedItemsCount_, size_, processedSize_;
};

// One stored backup as a node of the backup list; every node is a leaf.
class ObjCBackupObject : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString name READ name CONSTANT)
    Q_PROPERTY(bool isFromCurrentDevice READ isFromCurrentDevice CONSTANT)
    Q_PROPERTY(bool containsImages READ containsImages CONSTANT)
    Q_PROPERTY(bool containsVideo READ containsVideo CONSTANT)
    Q_PROPERTY(bool containsContacts READ containsContacts CONSTANT)
    Q_PROPERTY(bool containsCalendars READ containsCalendars CONSTANT)
    Q_PROPERTY(bool isCompleted READ isCompleted CONSTANT)
    Q_PROPERTY(std::shared_ptr<ObjCBackupStatus> status READ status WRITE setStatus NOTIFY statusChanged)
    Q_PROPERTY(QDateTime startDate READ startDate CONSTANT)
    Q_PROPERTY(QDateTime modificationDate READ modificationDate CONSTANT)
    Q_PROPERTY(std::shared_ptr<ObjCContentInfo> sizes READ sizes WRITE setSizes NOTIFY sizesChanged)
    Q_PROPERTY(int count READ count CONSTANT)
    Q_PROPERTY(bool isLeafNode READ isLeafNode CONSTANT)

public:
    explicit ObjCBackupObject(const BackupObject& backup, QObject* parent = nullptr);
    ObjCBackupObject(const QString& name, bool isFromCurrentDevice, bool containsImages, bool containsVideo,
                     bool containsContacts, bool containsCalendars, bool isCompleted,
                     const std::optional<QDateTime>& endDate, const QDateTime& startDate,
                     const QDateTime& modificationDate, std::uint64_t contactsSize, std::uint64_t videosSize,
                     std::uint64_t imagesSize, std::uint64_t calendarsSize, BackupObject representedObject,
                     QObject* parent = nullptr);

    QString name() const { return name_; }
    bool isFromCurrentDevice() const { return isFromCurrentDevice_; }
    bool containsImages() const { return containsImages_; }
    bool containsVideo() const { return containsVideo_; }
    bool containsContacts() const { return containsContacts_; }
    bool containsCalendars() const { return containsCalendars_; }
    bool isCompleted() const { return isCompleted_; }
    std::shared_ptr<ObjCBackupStatus> status() const { return status_; }
    void setStatus(std::shared_ptr<ObjCBackupStatus> status);
    QDateTime startDate() const { return startDate_; }
    QDateTime modificationDate() const { return modificationDate_; }
    std::shared_ptr<ObjCContentInfo> sizes() const { return sizes_; }
    void setSizes(std::shared_ptr<ObjCContentInfo> sizes);
    const BackupObject& representedObject() const { return representedObject_; }
    // The list is flat.
    std::optional<QList<ObjCBackupObject*>> children() const { return std::nullopt; }
    int count() const { return 0; }
    bool isLeafNode() const { return true; }

signals:
    void statusChanged();
    void sizesChanged();

private:
    const QString name_;
    const bool isFromCurrentDevice_, containsImages_, containsVideo_, containsContacts_, containsCalendars_, isCompleted_;
    std::shared_ptr<ObjCBackupStatus> status_;
    const QDateTime startDate_, modificationDate_;
    std::shared_ptr<ObjCContentInfo> sizes_;
    const BackupObject representedObject_;
};

// The identity of a backup record for dropping duplicates: start date, end date (or
// "notFinished"), name and operating system, joined without separators.
QString uniqueKey(const BackupObject& backup);

Q_DECLARE_METATYPE(std::shared_ptr<ObjCContentInfo>)
Q_DECLARE_METATYPE(std::shared_ptr<ObjCBackupProgress>)
Q_DECLARE_METATYPE(std::shared_ptr<ObjCBackupObject>)
