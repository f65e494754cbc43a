#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <mutex>
#include <optional>

class UserDefaults;

// The settings store shared by the application and its extension: one defaults suite (the app
// group's), one property per setting with a change signal. A write is stored at once and seen by every
// reader of the suite; changes made through another manager or by another process are signalled too.
//
// Each setting has a getter (`backupImages`), a setter (`setBackupImages`), a default registration
// (`setDefaultWithBackupImages`) answered while nothing is stored, and, for Boolean settings, a remover
// (`removebackupImages`) that brings the default back. Optional settings are cleared by setting none.
class OrvellaSettingsManager : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::optional<QString> syncRoot READ syncRoot WRITE setSyncRoot NOTIFY syncRootChanged)
    Q_PROPERTY(std::optional<QString> backupName READ backupName WRITE setBackupName NOTIFY backupNameChanged)
    Q_PROPERTY(std::optional<QString> accountId READ accountId WRITE setAccountId NOTIFY accountIdChanged)
    Q_PROPERTY(std::optional<QDateTime> nextBackupDate READ nextBackupDate WRITE setNextBackupDate NOTIFY nextBackupDateChanged)
    Q_PROPERTY(std::optional<QDateTime> latestBackupDate READ latestBackupDate WRITE setLatestBackupDate NOTIFY latestBackupDateChanged)
    Q_PROPERTY(std::optional<QByteArray> latestBackupStatus READ latestBackupStatus WRITE setLatestBackupStatus NOTIFY latestBackupStatusChanged)
    // The account the latest backup status was recorded for; none for a record kept from before.
    Q_PROPERTY(std::optional<QString> latestBackupStatusAccountId READ latestBackupStatusAccountId WRITE setLatestBackupStatusAccountId NOTIFY latestBackupStatusAccountIdChanged)
    Q_PROPERTY(std::optional<QByteArray> selectiveSyncPaths READ selectiveSyncPaths WRITE setSelectiveSyncPaths NOTIFY selectiveSyncPathsChanged)
    Q_PROPERTY(bool isAlreadyLaunched READ isAlreadyLaunched WRITE setIsAlreadyLaunched RESET removeisAlreadyLaunched NOTIFY isAlreadyLaunchedChanged)
    Q_PROPERTY(bool openAutomaticallyOnLogin READ openAutomaticallyOnLogin WRITE setOpenAutomaticallyOnLogin RESET removeopenAutomaticallyOnLogin NOTIFY openAutomaticallyOnLoginChanged)
    Q_PROPERTY(bool showBadgesInFinder READ showBadgesInFinder WRITE setShowBadgesInFinder RESET removeshowBadgesInFinder NOTIFY showBadgesInFinderChanged)
    Q_PROPERTY(bool crashReportsEnabled READ crashReportsEnabled WRITE setCrashReportsEnabled RESET removecrashReportsEnabled NOTIFY crashReportsEnabledChanged)
    Q_PROPERTY(bool hasPromptedToSendCrashReports READ hasPromptedToSendCrashReports WRITE setHasPromptedToSendCrashReports RESET removehasPromptedToSendCrashReports NOTIFY hasPromptedToSendCrashReportsChanged)
    Q_PROPERTY(bool backupAutomatically READ backupAutomatically WRITE setBackupAutomatically RESET removebackupAutomatically NOTIFY backupAutomaticallyChanged)
    Q_PROPERTY(bool backupImmediately READ backupImmediately WRITE setBackupImmediately RESET removebackupImmediately NOTIFY backupImmediatelyChanged)
    Q_PROPERTY(bool backupImages READ backupImages WRITE setBackupImages RESET removebackupImages NOTIFY backupImagesChanged)
    Q_PROPERTY(bool backupVideos READ backupVideos WRITE setBackupVideos RESET removebackupVideos NOTIFY backupVideosChanged)
    Q_PROPERTY(bool backupContacts READ backupContacts WRITE setBackupContacts RESET removebackupContacts NOTIFY backupContactsChanged)
    Q_PROPERTY(bool backupCalendars READ backupCalendars WRITE setBackupCalendars RESET removebackupCalendars NOTIFY backupCalendarsChanged)
    Q_PROPERTY(bool backupKeepDeletedItems READ backupKeepDeletedItems WRITE setBackupKeepDeletedItems RESET removebackupKeepDeletedItems NOTIFY backupKeepDeletedItemsChanged)
    Q_PROPERTY(bool showWarnings READ showWarnings WRITE setShowWarnings RESET removeshowWarnings NOTIFY showWarningsChanged)
    Q_PROPERTY(bool continuouslyUpdateDebugInterface READ continuouslyUpdateDebugInterface WRITE setContinuouslyUpdateDebugInterface RESET removecontinuouslyUpdateDebugInterface NOTIFY continuouslyUpdateDebugInterfaceChanged)
    Q_PROPERTY(bool shouldBackupResumeOnStart READ shouldBackupResumeOnStart WRITE setShouldBackupResumeOnStart RESET removeshouldBackupResumeOnStart NOTIFY shouldBackupResumeOnStartChanged)

public:
    // With caching on, values are kept in memory and dropped as soon as the suite reports a change,
    // whoever made it.
    explicit OrvellaSettingsManager(const QString& suiteName, bool disableValueCaching = false,
                                    QObject* parent = nullptr);
    ~OrvellaSettingsManager() override;

    QString suiteName() const;
    std::shared_ptr<UserDefaults> suite() const;
    bool isValueCachingDisabled() const;

    // Every setting this manager knows, by key.
    static QStringList keys();
    // The stored value of a key, else its registered default, else invalid; for bindings by key.
    QVariant value(const QString& key) const;
    // An invalid value removes the stored one.
    void setValue(const QString& key, const QVariant& value);

    std::optional<QString> syncRoot() const;
    void setSyncRoot(const std::optional<QString>& value);
    void setDefaultWithSyncRoot(const std::optional<QString>& value);

    std::optional<QString> backupName() const;
    void setBackupName(const std::optional<QString>& value);
    void setDefaultWithBackupName(const std::optional<QString>& value);

    std::optional<QString> accountId() const;
    void setAccountId(const std::optional<QString>& value);
    void setDefaultWithAccountId(const std::optional<QString>& value);

    std::optional<QDateTime> nextBackupDate() const;
    void setNextBackupDate(const std::optional<QDateTime>& value);
    void setDefaultWithNextBackupDate(const std::optional<QDateTime>& value);

    std::optional<QDateTime> latestBackupDate() const;
    void setLatestBackupDate(const std::optional<QDateTime>& value);
    void setDefaultWithLatestBackupDate(const std::optional<QDateTime>& value);

    std::optional<QByteArray> latestBackupStatus() const;
    void setLatestBackupStatus(const std::optional<QByteArray>& value);
    void setDefaultWithLatestBackupStatus(const std::optional<QByteArray>& value);

    std::optional<QString> latestBackupStatusAccountId() const;
    void setLatestBackupStatusAccountId(const std::optional<QString>& value);
    void setDefaultWithLatestBackupStatusAccountId(const std::optional<QString>& value);

    std::optional<QByteArray> selectiveSyncPaths() const;
    void setSelectiveSyncPaths(const std::optional<QByteArray>& value);
    void setDefaultWithSelectiveSyncPaths(const std::optional<QByteArray>& value);

    bool isAlreadyLaunched() const;
    void setIsAlreadyLaunched(bool value);
    void setDefaultWithIsAlreadyLaunched(bool value);
    void removeisAlreadyLaunched();

    bool openAutomaticallyOnLogin() const;
    void setOpenAutomaticallyOnLogin(bool value);
    void setDefaultWithOpenAutomaticallyOnLogin(bool value);
    void removeopenAutomaticallyOnLogin();

    bool showBadgesInFinder() const;
    void setShowBadgesInFinder(bool value);
    void setDefaultWithShowBadgesInFinder(bool value);
    void removeshowBadgesInFinder();

    bool crashReportsEnabled() const;
    void setCrashReportsEnabled(bool value);
    void setDefaultWithCrashReportsEnabled(bool value);
    void removecrashReportsEnabled();

    bool hasPromptedToSendCrashReports() const;
    void setHasPromptedToSendCrashReports(bool value);
    void setDefaultWithHasPromptedToSendCrashReports(bool value);
    void removehasPromptedToSendCrashReports();

    bool backupAutomatically() const;
    void setBackupAutomatically(bool value);
    void setDefaultWithBackupAutomatically(bool value);
    void removebackupAutomatically();

    bool backupImmediately() const;
    void setBackupImmediately(bool value);
    void setDefaultWithBackupImmediately(bool value);
    void removebackupImmediately();

    bool backupImages() const;
    void setBackupImages(bool value);
    void setDefaultWithBackupImages(bool value);
    void removebackupImages();

    bool backupVideos() const;
    void setBackupVideos(bool value);
    void setDefaultWithBackupVideos(bool value);
    void removebackupVideos();

    bool backupContacts() const;
    void setBackupContacts(bool value);
    void setDefaultWithBackupContacts(bool value);
    void removebackupContacts();

    bool backupCalendars() const;
    void setBackupCalendars(bool value);
    void setDefaultWithBackupCalendars(bool value);
    void removebackupCalendars();

    bool backupKeepDeletedItems() const;
    void setBackupKeepDeletedItems(bool value);
    void setDefaultWithBackupKeepDeletedItems(bool value);
    void removebackupKeepDeletedItems();

    bool showWarnings() const;
    void setShowWarnings(bool value);
    void setDefaultWithShowWarnings(bool value);
    void removeshowWarnings();

    bool continuouslyUpdateDebugInterface() const;
    void setContinuouslyUpdateDebugInterface(bool value);
    void setDefaultWithContinuouslyUpdateDebugInterface(bool value);
    void removecontinuouslyUpdateDebugInterface();

    bool shouldBackupResumeOnStart() const;
    void setShouldBackupResumeOnStart(bool value);
    void setDefaultWithShouldBackupResumeOnStart(bool value);
    void removeshouldBackupResumeOnStart();

signals:
    // The value answered for the key has changed; the setting's own signal follows.
    void changed(const QString& key);

    void syncRootChanged();
    void backupNameChanged();
    void accountIdChanged();
    void nextBackupDateChanged();
    void latestBackupDateChanged();
    void latestBackupStatusChanged();
    void latestBackupStatusAccountIdChanged();
    void selectiveSyncPathsChanged();
    void isAlreadyLaunchedChanged();
    void openAutomaticallyOnLoginChanged();
    void showBadgesInFinderChanged();
    void crashReportsEnabledChanged();
    void hasPromptedToSendCrashReportsChanged();
    void backupAutomaticallyChanged();
    void backupImmediatelyChanged();
    void backupImagesChanged();
    void backupVideosChanged();
    void backupContactsChanged();
    void backupCalendarsChanged();
    void backupKeepDeletedItemsChanged();
    void showWarningsChanged();
    void continuouslyUpdateDebugInterfaceChanged();
    void shouldBackupResumeOnStartChanged();

private:
    void suiteChanged(const QString& key);
    bool readBool(const QString& key) const;
    std::optional<QString> readString(const QString& key) const;
    std::optional<QDateTime> readDate(const QString& key) const;
    std::optional<QByteArray> readData(const QString& key) const;
    void registerDefault(const QString& key, const QVariant& value);

    const std::shared_ptr<UserDefaults> suite_;
    const bool cachingDisabled_;
    mutable std::mutex cacheMutex_;
    mutable QHash<QString, QVariant> cache_;
    mutable quint64 cacheGeneration_ = 0;  // bumped on every change, so a read racing one is not kept
};

// The name under which the application's parts know the settings manager.
using SettingsManagerProtocol = OrvellaSettingsManager;
