#include "app/core/SettingsController.h"

#include <QDir>
#include <QFile>
#include <QMetaMethod>
#include <QTimeZone>

#include <pwd.h>
#include <unistd.h>

#include <vector>

#include "app/core/BusinessFacadeHolder.h"
#include "app/core/C.h"
#include "platform/appkit/ValueTransformer.h"
#include "platform/foundation/UserDefaults.h"

namespace {

const QString kSettingsPrefix = QStringLiteral("settings.");
const QString kBackupItems = QStringLiteral("backupItems");
const QString kIsStartBackupAllowed = QStringLiteral("isStartBackupAllowed");

const QStringList& backupKindKeyPaths() {
    static const QStringList paths{QStringLiteral("settings.backupImages"), QStringLiteral("settings.backupVideos"),
                                   QStringLiteral("settings.backupContacts"),
                                   QStringLiteral("settings.backupCalendars")};
    return paths;
}

// The key paths that have dependencies; each is told when one of them changes.
const QStringList& dependentKeyPaths() {
    static const QStringList paths{kBackupItems, kIsStartBackupAllowed, QStringLiteral("settings.backupAutomatically"),
                                   QStringLiteral("settings.nextBackupDate")};
    return paths;
}

}  // namespace

SettingsController::SettingsController(QObject* parent) : QObject(parent) {}

SettingsController::~SettingsController() = default;

SettingsManagerProtocol* SettingsController::settings() const { return BusinessFacadeHolder::facade().settings(); }

std::optional<QString> SettingsController::backupItems() const {
    const auto transformer = ValueTransformer::forName(QStringLiteral("BackupItemsTransformer"));
    if (!transformer) return std::nullopt;
    const QVariant text = transformer->transformedValue(QVariant());
    if (text.metaType().id() != QMetaType::QString) return std::nullopt;
    return text.toString();
}

bool SettingsController::isStartBackupAllowed() const {
    const SettingsManagerProtocol* s = settings();
    return s->backupImages() || s->backupVideos() || s->backupContacts() || s->backupCalendars();
}

QStringList SettingsController::keyPathsForValuesAffectingValueForKey(const QString& keyPath) {
    if (keyPath == kBackupItems || keyPath == kIsStartBackupAllowed) return backupKindKeyPaths();
    if (keyPath == QLatin1String("settings.backupAutomatically")) return {QStringLiteral("settings.nextBackupDate")};
    if (keyPath == QLatin1String("settings.nextBackupDate"))
        return {QStringLiteral("settings.backupAutomatically"), QStringLiteral("settings.latestBackupStatus")};
    return {};
}

QVariant SettingsController::valueForKeyPath(const QString& keyPath) const {
    if (keyPath == kBackupItems) {
        const auto items = backupItems();
        return items ? QVariant(*items) : QVariant();
    }
    if (keyPath == kIsStartBackupAllowed) return isStartBackupAllowed();
    if (keyPath.startsWith(kSettingsPrefix)) return settings()->value(keyPath.mid(kSettingsPrefix.size()));
    return {};
}

bool SettingsController::setValueForKeyPath(const QString& keyPath, const QVariant& value) {
    if (!keyPath.startsWith(kSettingsPrefix)) return false;
    const QString key = keyPath.mid(kSettingsPrefix.size());
    if (!OrvellaSettingsManager::keys().contains(key)) return false;
    settings()->setValue(key, value);
    return true;
}

void SettingsController::connectNotify(const QMetaMethod& signal) {
    // Observing the settings object means making it; only an observer of ours justifies that.
    if (signal == QMetaMethod::fromSignal(&SettingsController::backupItemsChanged) ||
        signal == QMetaMethod::fromSignal(&SettingsController::isStartBackupAllowedChanged) ||
        signal == QMetaMethod::fromSignal(&SettingsController::keyPathChanged))
        observeSettings();
}

void SettingsController::observeSettings() {
    std::call_once(observing_, [this] {
        // Direct: observers hear of a change on the thread that wrote it, before the write returns.
        connect(settings(), &OrvellaSettingsManager::changed, this, &SettingsController::settingChanged,
                Qt::DirectConnection);
    });
}

void SettingsController::settingChanged(const QString& key) {
    const QString path = kSettingsPrefix + key;
    emit keyPathChanged(path);
    for (const QString& dependent : dependentKeyPaths()) {
        if (!keyPathsForValuesAffectingValueForKey(dependent).contains(path)) continue;
        emit keyPathChanged(dependent);
        if (dependent == kBackupItems) emit backupItemsChanged();
        else if (dependent == kIsStartBackupAllowed) emit isStartBackupAllowedChanged();
    }
}

QString SettingsController::realHomeDirectory() {
    // Demos and tests run against a home of their own; they name it here, never through $HOME.
    const QString chosen = qEnvironmentVariable("ORVELLA_HOME");
    if (!chosen.isEmpty()) return QDir::cleanPath(chosen);
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir &&
        found->pw_dir[0] != '\0')
        return QFile::decodeName(found->pw_dir);
    return QDir::homePath();
}

QDateTime SettingsController::defaultNextBackupDate() { return QDateTime::fromSecsSinceEpoch(61200, QTimeZone::utc()); }

void SettingsController::registerDefaults() {
    SettingsManagerProtocol* s = settings();
    s->setDefaultWithSyncRoot(realHomeDirectory());
    s->setDefaultWithIsAlreadyLaunched(false);
    s->setDefaultWithOpenAutomaticallyOnLogin(true);
    s->setDefaultWithShowBadgesInFinder(true);
    s->setDefaultWithCrashReportsEnabled(false);
    s->setDefaultWithBackupAutomatically(false);
    s->setDefaultWithBackupImmediately(true);
    s->setDefaultWithBackupName(C::defaultBackupName());
    s->setDefaultWithNextBackupDate(defaultNextBackupDate());
    s->setDefaultWithBackupVideos(false);
    s->setDefaultWithBackupImages(false);
    s->setDefaultWithBackupContacts(false);
    s->setDefaultWithBackupCalendars(false);
    s->setDefaultWithBackupKeepDeletedItems(true);
    s->setDefaultWithShowWarnings(false);
    s->setDefaultWithContinuouslyUpdateDebugInterface(false);
    s->setDefaultWithShouldBackupResumeOnStart(false);
    s->setDefaultWithHasPromptedToSendCrashReports(false);
}

void SettingsController::removeBackupDefaults() {
    SettingsManagerProtocol* s = settings();
    s->removebackupAutomatically();
    s->removebackupVideos();
    s->removebackupImages();
    s->removebackupContacts();
    s->removebackupCalendars();
    s->removebackupImmediately();
    s->removeshouldBackupResumeOnStart();
}

void SettingsController::restoreSyncRoot(const QString& fromDefaultsKey) {
    const std::optional<QString> remembered = UserDefaults::standard().stringForKey(fromDefaultsKey);
    settings()->setSyncRoot(remembered ? *remembered : realHomeDirectory());
}
