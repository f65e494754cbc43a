#include "frameworks/settings/OrvellaSettingsManager.h"

#include <QMetaMethod>
#include <QMetaProperty>

#include "platform/foundation/UserDefaults.h"

OrvellaSettingsManager::OrvellaSettingsManager(const QString& suiteName, bool disableValueCaching, QObject* parent)
    : QObject(parent), suite_(UserDefaults::suite(suiteName)), cachingDisabled_(disableValueCaching) {
    // Direct: the cache must be dropped before the writer's call returns, on whatever thread wrote.
    connect(suite_.get(), &UserDefaults::changed, this, &OrvellaSettingsManager::suiteChanged,
            Qt::DirectConnection);
}

OrvellaSettingsManager::~OrvellaSettingsManager() = default;

QString OrvellaSettingsManager::suiteName() const { return suite_->domainName(); }
std::shared_ptr<UserDefaults> OrvellaSettingsManager::suite() const { return suite_; }
bool OrvellaSettingsManager::isValueCachingDisabled() const { return cachingDisabled_; }

QStringList OrvellaSettingsManager::keys() {
    static const QStringList all = [] {
        QStringList list;
        const QMetaObject& meta = staticMetaObject;
        for (int i = meta.propertyOffset(); i < meta.propertyCount(); ++i)
            list.append(QString::fromLatin1(meta.property(i).name()));
        return list;
    }();
    return all;
}

QVariant OrvellaSettingsManager::value(const QString& key) const {
    if (cachingDisabled_) return suite_->object(key);
    quint64 generation = 0;
    {
        std::lock_guard lock(cacheMutex_);
        const auto it = cache_.constFind(key);
        if (it != cache_.constEnd()) return *it;
        generation = cacheGeneration_;
    }
    const QVariant v = suite_->object(key);
    std::lock_guard lock(cacheMutex_);
    if (generation == cacheGeneration_) cache_.insert(key, v);
    return v;
}

void OrvellaSettingsManager::setValue(const QString& key, const QVariant& value) {
    if (!suite_->setObject(key, value) && value.isValid() && !UserDefaults::isStorable(value))
        qWarning("OrvellaSettingsManager: \"%s\" cannot hold a value of type %s", qPrintable(key),
                 value.metaType().name());
}

void OrvellaSettingsManager::suiteChanged(const QString& key) {
    {
        std::lock_guard lock(cacheMutex_);
        cache_.remove(key);
        ++cacheGeneration_;
    }
    emit changed(key);
    const QMetaObject& meta = staticMetaObject;
    const int index = meta.indexOfProperty(key.toLatin1().constData());
    if (index < meta.propertyOffset()) return;
    const QMetaMethod notify = meta.property(index).notifySignal();
    if (notify.isValid()) notify.invoke(this, Qt::DirectConnection);
}

bool OrvellaSettingsManager::readBool(const QString& key) const { return UserDefaults::boolValue(value(key)); }

std::optional<QString> OrvellaSettingsManager::readString(const QString& key) const {
    return UserDefaults::stringValue(value(key));
}

std::optional<QDateTime> OrvellaSettingsManager::readDate(const QString& key) const {
    return UserDefaults::dateValue(value(key));
}

std::optional<QByteArray> OrvellaSettingsManager::readData(const QString& key) const {
    return UserDefaults::dataValue(value(key));
}

void OrvellaSettingsManager::registerDefault(const QString& key, const QVariant& value) {
    suite_->registerDefaults({{key, value}});
}

namespace {
template <typename T>
QVariant toVariant(const std::optional<T>& value) {
    return value ? QVariant::fromValue(*value) : QVariant();
}
}  // namespace

// The four operations of every setting differ only in the key and the stored type.
#define ORVELLA_OPTIONAL_SETTING(Upper, lower, Type, reader)                                                  \
    std::optional<Type> OrvellaSettingsManager::lower() const { return reader(QStringLiteral(#lower)); }      \
    void OrvellaSettingsManager::set##Upper(const std::optional<Type>& value) {                               \
        setValue(QStringLiteral(#lower), toVariant(value));                                                   \
    }                                                                                                         \
    void OrvellaSettingsManager::setDefaultWith##Upper(const std::optional<Type>& value) {                    \
        registerDefault(QStringLiteral(#lower), toVariant(value));                                            \
    }

#define ORVELLA_BOOL_SETTING(Upper, lower)                                                                    \
    bool OrvellaSettingsManager::lower() const { return readBool(QStringLiteral(#lower)); }                   \
    void OrvellaSettingsManager::set##Upper(bool value) { setValue(QStringLiteral(#lower), value); }          \
    void OrvellaSettingsManager::setDefaultWith##Upper(bool value) { registerDefault(QStringLiteral(#lower), value); } \
    void OrvellaSettingsManager::remove##lower() { setValue(QStringLiteral(#lower), QVariant()); }

ORVELLA_OPTIONAL_SETTING(SyncRoot, syncRoot, QString, readString)
ORVELLA_OPTIONAL_SETTING(BackupName, backupName, QString, readString)
ORVELLA_OPTIONAL_SETTING(AccountId, accountId, QString, readString)
ORVELLA_OPTIONAL_SETTING(NextBackupDate, nextBackupDate, QDateTime, readDate)
ORVELLA_OPTIONAL_SETTING(LatestBackupDate, latestBackupDate, QDateTime, readDate)
ORVELLA_OPTIONAL_SETTING(LatestBackupStatus, latestBackupStatus, QByteArray, readData)
ORVELLA_OPTIONAL_SETTING(LatestBackupStatusAccountId, latestBackupStatusAccountId, QString, readString)
ORVELLA_OPTIONAL_SETTING(SelectiveSyncPaths, selectiveSyncPaths, QByteArray, readData)

ORVELLA_BOOL_SETTING(IsAlreadyLaunched, isAlreadyLaunched)
ORVELLA_BOOL_SETTING(OpenAutomaticallyOnLogin, openAutomaticallyOnLogin)
ORVELLA_BOOL_SETTING(ShowBadgesInFinder, showBadgesInFinder)
ORVELLA_BOOL_SETTING(CrashReportsEnabled, crashReportsEnabled)
ORVELLA_BOOL_SETTING(HasPromptedToSendCrashReports, hasPromptedToSendCrashReports)
ORVELLA_BOOL_SETTING(BackupAutomatically, backupAutomatically)
ORVELLA_BOOL_SETTING(BackupImmediately, backupImmediately)
ORVELLA_BOOL_SETTING(BackupImages, backupImages)
ORVELLA_BOOL_SETTING(BackupVideos, backupVideos)
ORVELLA_BOOL_SETTING(BackupContacts, backupContacts)
ORVELLA_BOOL_SETTING(BackupCalendars, backupCalendars)
ORVELLA_BOOL_SETTING(BackupKeepDeletedItems, backupKeepDeletedItems)
ORVELLA_BOOL_SETTING(ShowWarnings, showWarnings)
ORVELLA_BOOL_SETTING(ContinuouslyUpdateDebugInterface, continuouslyUpdateDebugInterface)
ORVELLA_BOOL_SETTING(ShouldBackupResumeOnStart, shouldBackupResumeOnStart)
