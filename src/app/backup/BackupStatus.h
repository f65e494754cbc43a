#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMetaType>
#include <QObject>

#include <memory>
#include <optional>

// The outcome of the latest backup. Stored as a JSON object with one member named after the case:
// {"failed":true}, {"failedAt":<date>}, {"skipped":true}, {"skippedAt":<date>}, {"succeeded":<date>};
// a date is a number of seconds since 2001-01-01 00:00:00 UTC.
class BackupStatus {
public:
    enum class Case { failed, failedAt, skipped, skippedAt, succeeded };

    static BackupStatus failed() { return BackupStatus(Case::failed, std::nullopt); }
    static BackupStatus failedAt(const QDateTime& date) { return BackupStatus(Case::failedAt, date); }
    static BackupStatus skipped() { return BackupStatus(Case::skipped, std::nullopt); }
    static BackupStatus skippedAt(const QDateTime& date) { return BackupStatus(Case::skippedAt, date); }
    static BackupStatus succeeded(const QDateTime& date) { return BackupStatus(Case::succeeded, date); }

    Case statusCase() const { return case_; }
    // The date of the dated cases; none for `failed` and `skipped`.
    const std::optional<QDateTime>& date() const { return date_; }

    QByteArray encoded() const;
    // Tries "failed", "failedAt", "skipped", "skippedAt", "succeeded" in this order and takes the
    // first member that holds the right JSON type (a Boolean of any value, or a number); none when
    // no member does or the data is no JSON object.
    static std::optional<BackupStatus> decoded(const QByteArray& data);

    // Seconds since 2001-01-01 00:00:00 UTC, and back.
    static double referenceSeconds(const QDateTime& date);
    static std::optional<QDateTime> dateFromReferenceSeconds(double seconds);

    bool operator==(const BackupStatus& other) const;

private:
    BackupStatus(Case c, std::optional<QDateTime> date) : case_(c), date_(std::move(date)) {}
    Case case_;
    std::optional<QDateTime> date_;
};

// The status for bindings; made once, never changed.
class ObjCBackupStatus : public QObject {
    Q_OBJECT

public:
    explicit ObjCBackupStatus(BackupStatus backupStatus, QObject* parent = nullptr)
        : QObject(parent), backupStatus_(std::move(backupStatus)) {}
    // None when the data does not decode.
    static std::shared_ptr<ObjCBackupStatus> fromJsonData(const QByteArray& data);

    const BackupStatus& backupStatus() const { return backupStatus_; }

private:
    const BackupStatus backupStatus_;
};

Q_DECLARE_METATYPE(std::shared_ptr<ObjCBackupStatus>)
