#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <mutex>
#include <optional>

#include "frameworks/settings/OrvellaSettingsManager.h"

// The application's access point to its persistent settings. Every instance hands out the same
// settings object, the business facade's; a new one is cheap and creates nothing until `settings`
// is read or one of its signals is connected. Bindings reach values by key path: "settings.<key>"
// and the two derived values "backupItems" and "isStartBackupAllowed".
class SettingsController : public QObject {
    Q_OBJECT
    Q_PROPERTY(OrvellaSettingsManager* settings READ settings CONSTANT)
    Q_PROPERTY(std::optional<QString> backupItems READ backupItems NOTIFY backupItemsChanged)
    Q_PROPERTY(bool isStartBackupAllowed READ isStartBackupAllowed NOTIFY isStartBackupAllowedChanged)

public:
    explicit SettingsController(QObject* parent = nullptr);
    ~SettingsController() override;

    // Creates the process-wide business facade on first use.
    SettingsManagerProtocol* settings() const;
    // The chosen backup kinds as text, from the transformer registered as "BackupItemsTransformer";
    // none without that transformer or when it gives no text.
    std::optional<QString> backupItems() const;
    // Some kind of item is chosen for the backup.
    bool isStartBackupAllowed() const;

    // The key paths whose change changes the value at `keyPath`.
    static QStringList keyPathsForValuesAffectingValueForKey(const QString& keyPath);
    QVariant valueForKeyPath(const QString& keyPath) const;
    // Only "settings.<key>" paths can be written; false for any other.
    bool setValueForKeyPath(const QString& keyPath, const QVariant& value);

    // The defaults of every setting, registered anew at each launch; nothing is stored.
    void registerDefaults();
    // Brings back the default backup choices for a newly signed-in account; the backup's name,
    // time and keep-deleted-items choice stay.
    void removeBackupDefaults();
    // Sets the sync folder's parent to the one remembered for the account in the standard defaults,
    // or to the home folder when none is remembered.
    void restoreSyncRoot(const QString& fromDefaultsKey);

    // The home folder of the real user from the password database, else the process's home.
    static QString realHomeDirectory();
    // 1970-01-01 17:00:00 UTC: the registered next backup date, whose time of day is the daily
    // backup time.
    static QDateTime defaultNextBackupDate();

signals:
    void backupItemsChanged();
    void isStartBackupAllowedChanged();
    // The value at this key path may have changed ("settings.backupImages", "backupItems", ...).
    void keyPathChanged(const QString& keyPath);

protected:
    void connectNotify(const QMetaMethod& signal) override;

private:
    void observeSettings();
    void settingChanged(const QString& key);

    std::once_flag observing_;
};
