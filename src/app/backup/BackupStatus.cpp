#include "app/backup/BackupStatus.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTimeZone>

#include <cmath>

namespace {

constexpr qint64 referenceDateMsecs = 978307200000LL;  // 2001-01-01 00:00:00 UTC
// About ±3 million years: beyond it a date means nothing and QDateTime cannot hold it safely.
constexpr double maximumReferenceSeconds = 1e14;

}  // namespace

double BackupStatus::referenceSeconds(const QDateTime& date) {
    return double(date.toMSecsSinceEpoch() - referenceDateMsecs) / 1000.0;
}

std::optional<QDateTime> BackupStatus::dateFromReferenceSeconds(double seconds) {
    if (!std::isfinite(seconds) || std::fabs(seconds) > maximumReferenceSeconds) return std::nullopt;
    return QDateTime::fromMSecsSinceEpoch(qint64(std::llround(seconds * 1000.0)) + referenceDateMsecs, QTimeZone::utc());
}

QByteArray BackupStatus::encoded() const {
    QJsonObject object;
    switch (case_) {
    case Case::failed: object.insert(QStringLiteral("failed"), true); break;
    case Case::skipped: object.insert(QStringLiteral("skipped"), true); break;
    case Case::failedAt: object.insert(QStringLiteral("failedAt"), referenceSeconds(*date_)); break;
    case Case::skippedAt: object.insert(QStringLiteral("skippedAt"), referenceSeconds(*date_)); break;
    case Case::succeeded: object.insert(QStringLiteral("succeeded"), referenceSeconds(*date_)); break;
    }
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

std::optional<BackupStatus> BackupStatus::decoded(const QByteArray& data) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(data, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) return std::nullopt;
    const QJsonObject object = document.object();
    const auto date = [&](const char* key) -> std::optional<QDateTime> {
        const QJsonValue value = object.value(QLatin1String(key));
        if (!value.isDouble()) return std::nullopt;
        return dateFromReferenceSeconds(value.toDouble());
    };
    if (object.value(QStringLiteral("failed")).isBool()) return failed();
    if (auto d = date("failedAt")) return failedAt(*d);
    if (object.value(QStringLiteral("skipped")).isBool()) return skipped();
    if (auto d = date("skippedAt")) return skippedAt(*d);
    if (auto d = date("succeeded")) return succeeded(*d);
    return std::nullopt;
}

bool BackupStatus::operator==(const BackupStatus& other) const {
    if (case_ != other.case_) return false;
    if (!date_ || !other.date_) return date_.has_value() == other.date_.has_value();
    return date_->toMSecsSinceEpoch() == other.date_->toMSecsSinceEpoch();
}

std::shared_ptr<ObjCBackupStatus> ObjCBackupStatus::fromJsonData(const QByteArray& data) {
    auto status = BackupStatus::decoded(data);
    if (!status) return nullptr;
    return std::make_shared<ObjCBackupStatus>(*status);
}
