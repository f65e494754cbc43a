#pragma once

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <optional>
#include <utility>

#include "frameworks/business/BackupTypes.h"

class BackupStatus;
class ObjCBackupProgress;

// The pieces the backup transformers build their texts from, and how they read their input. A
// binding hands a model value over in the form its property has: a shared or plain object pointer,
// a plain or optional value. A null pointer or an empty optional counts as no value.
namespace BackupTransformerText {

// What a backup text shows where it has nothing to show.
QString emptyMark();
// The long date and the short time in the user's locale and time zone; the empty mark for an
// invalid date.
QString dateText(const QDateTime& date);
// A byte amount as file managers show it.
QString byteText(qint64 bytes);
// The processed and total bytes to show: neither below zero, and the total never below what is
// processed, so a stale or missing total never reads as more than all of it.
std::pair<qint64, qint64> amounts(const ObjCBackupProgress& progress);
// A fraction as a whole percentage in the user's locale, held between 0 % and 100 %.
QString percentText(double fraction);
// Completed over total, held between 0 and 1; 0 while the total is unknown.
double fractionCompleted(const OVProgress& progress);
// How much of a backup's or a preview's progress is done, between 0 and 1, matching its text;
// none while the total is unknown or the value is no progress.
std::optional<double> shownFraction(const QVariant& value);

const BackupStatus* status(const QVariant& value);
const ObjCBackupProgress* backupProgress(const QVariant& value);
std::optional<OVProgress> progress(const QVariant& value);

// "Latest backup"-style text for a status: the date of a success, the failed or skipped label
// otherwise, the empty mark without a status.
QString outcomeText(const QVariant& value);

}  // namespace BackupTransformerText
