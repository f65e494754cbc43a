#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

class ObjCBackupObject;

// The list of the backup browser and the restore sheet: the backups as listed and the rows the
// user selected. The list is flat, every entry a leaf. A fresh one is made for every load. Main
// thread only.
class DataSource : public QObject {
    Q_OBJECT

public:
    using Backups = std::vector<std::shared_ptr<ObjCBackupObject>>;

    explicit DataSource(QObject* parent = nullptr);
    ~DataSource() override;

    const Backups& backups() const { return backups_; }
    void appendBackup(std::shared_ptr<ObjCBackupObject> backup);
    // By name, ignoring case; equal names keep their order.
    void sortByName();

    // Selected rows (the index paths of a flat list), in the order given.
    const QList<int>& selectionIndexPaths() const { return selectionIndexPaths_; }
    void setSelectionIndexPaths(const QList<int>& rows);
    // The first selected backup; none without a selection.
    std::shared_ptr<ObjCBackupObject> selectedBackup() const;

    // What makes a backup the same one across loads: the service's identifier, else its record's
    // key. An unfinished backup keeps its identifier when it ends.
    static QString identity(const ObjCBackupObject& backup);
    std::optional<int> rowOf(const QString& identity) const;

signals:
    void backupsChanged();
    void selectionIndexPathsChanged();

private:
    Backups backups_;
    QList<int> selectionIndexPaths_;
};
