#include "app/shell/backup/DataSource.h"

#include <algorithm>

#include "app/backup/BackupModels.h"

DataSource::DataSource(QObject* parent) : QObject(parent) {}

DataSource::~DataSource() = default;

void DataSource::appendBackup(std::shared_ptr<ObjCBackupObject> backup) {
    if (!backup) return;
    backups_.push_back(std::move(backup));
    emit backupsChanged();
}

void DataSource::sortByName() {
    std::stable_sort(backups_.begin(), backups_.end(), [](const auto& a, const auto& b) {
        return QString::compare(a->name(), b->name(), Qt::CaseInsensitive) < 0;
    });
    emit backupsChanged();
}

void DataSource::setSelectionIndexPaths(const QList<int>& rows) {
    if (rows == selectionIndexPaths_) return;
    selectionIndexPaths_ = rows;
    emit selectionIndexPathsChanged();
}

std::shared_ptr<ObjCBackupObject> DataSource::selectedBackup() const {
    if (selectionIndexPaths_.isEmpty()) return nullptr;
    const int row = selectionIndexPaths_.first();
    if (row < 0 || row >= int(backups_.size())) return nullptr;
    return backups_[std::size_t(row)];
}

QString DataSource::identity(const ObjCBackupObject& backup) {
    const BackupObject& record = backup.representedObject();
    return record.identifier.isEmpty() ? uniqueKey(record) : record.identifier;
}

std::optional<int> DataSource::rowOf(const QString& identity) const {
    for (std::size_t row = 0; row < backups_.size(); ++row) {
        if (DataSource::identity(*backups_[row]) == identity) return int(row);
    }
    return std::nullopt;
}
