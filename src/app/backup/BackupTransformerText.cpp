#include "app/backup/BackupTransformerText.h"

#include <QLocale>
#include <QMetaType>

#include <algorithm>
#include <cmath>
#include <memory>

#include "app/backup/BackupController.h"  // declares OVProgress to QVariant
#include "app/backup/BackupModels.h"
#include "app/backup/BackupStatus.h"
#include "app/common/LocalizationController.h"
#include "app/core/C.h"
#include "frameworks/common/ByteFormatter.h"

namespace BackupTransformerText {

namespace {

template <typename T>
bool holds(const QVariant& value) {
    return value.metaType() == QMetaType::fromType<T>();
}

// The object of a shared pointer or of a plain QObject pointer; nullptr for anything else.
template <typename T>
const T* object(const QVariant& value) {
    if (holds<std::shared_ptr<T>>(value)) return value.value<std::shared_ptr<T>>().get();
    if (value.metaType().flags().testFlag(QMetaType::PointerToQObject)) return qobject_cast<const T*>(value.value<QObject*>());
    return nullptr;
}

}  // namespace

QString emptyMark() { return QStringLiteral("-"); }

QString dateText(const QDateTime& date) {
    if (!date.isValid()) return emptyMark();
    const QLocale locale;
    const QDateTime local = date.toLocalTime();
    return locale.toString(local.date(), DateFormatter::longDateFormat(locale)) + QStringLiteral(", ") +
           locale.toString(local.time(), QLocale::ShortFormat);
}

QString byteText(qint64 bytes) {
    static const OrvellaByteFormatter formatter;
    return formatter.string(bytes);
}

std::pair<qint64, qint64> amounts(const ObjCBackupProgress& progress) {
    const qint64 processed = std::max<qint64>(progress.processedSize(), 0);
    return {processed, std::max(progress.size(), processed)};
}

QString percentText(double fraction) {
    const double bounded = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    const QLocale locale;
    return locale.toString(int(std::lround(bounded * 100.0))) + locale.percent();
}

double fractionCompleted(const OVProgress& progress) {
    if (progress.totalUnitCount <= 0) return 0.0;
    return std::clamp(double(progress.completedUnitCount) / double(progress.totalUnitCount), 0.0, 1.0);
}

std::optional<double> shownFraction(const QVariant& value) {
    if (const ObjCBackupProgress* running = backupProgress(value)) {
        if (running->size() <= 0) return std::nullopt;
        const auto [processed, total] = amounts(*running);
        return double(processed) / double(total);
    }
    if (const auto preview = progress(value); preview && preview->totalUnitCount > 0) return fractionCompleted(*preview);
    return std::nullopt;
}

const BackupStatus* status(const QVariant& value) {
    const ObjCBackupStatus* wrapper = object<ObjCBackupStatus>(value);
    return wrapper ? &wrapper->backupStatus() : nullptr;
}

const ObjCBackupProgress* backupProgress(const QVariant& value) { return object<ObjCBackupProgress>(value); }

std::optional<OVProgress> progress(const QVariant& value) {
    if (holds<OVProgress>(value)) return value.value<OVProgress>();
    if (holds<std::optional<OVProgress>>(value)) return value.value<std::optional<OVProgress>>();
    return std::nullopt;
}

QString outcomeText(const QVariant& value) {
    const BackupStatus* s = status(value);
    if (!s) return emptyMark();
    const LocalizationController texts;
    switch (s->statusCase()) {
    case BackupStatus::Case::succeeded: return dateText(s->date().value_or(QDateTime()));
    case BackupStatus::Case::failed:
    case BackupStatus::Case::failedAt: return texts.brLabelLatestBackupFailed();
    case BackupStatus::Case::skipped:
    case BackupStatus::Case::skippedAt: return texts.brLabelLatestBackupSkipped();
    }
    return emptyMark();
}

}  // namespace BackupTransformerText
