#include "app/sync/SettingsRecovery.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPointer>
#include <QVariantMap>

#include <mutex>
#include <utility>

#include <sqlite3.h>

#include "app/common/LogChannels.h"
#include "app/core/ObjCUser.h"
#include "app/core/SettingsController.h"
#include "app/core/SyncFolderPaths.h"
#include "app/core/UserController.h"
#include "app/sync/OVFileSystemMetadataController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "frameworks/sync/OrvellaSyncEngine.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/UserDefaults.h"

namespace {

QString cleanAbsolute(const QString& path) { return QDir::cleanPath(QDir(path).absolutePath()); }

// The sync root a sync folder lies in, when the folder is the one the application names so.
std::optional<QString> syncRootOfFolder(const QString& folder) {
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder)) return std::nullopt;
    const QFileInfo info(cleanAbsolute(folder));
    if (info.fileName() != SyncFolderPaths::folderName) return std::nullopt;
    return info.absolutePath();
}

// The key under which the metadata controller remembers the folder it last found marked.
QString rememberedFolderKey(const QString& accountId) { return QStringLiteral("SyncFolderOfAccount.") + accountId; }

}  // namespace

// What the defaults layer reported, handed from its thread to the main one.
struct SettingsRecovery::Reports {
    std::mutex mutex;
    QStringList domains;
};

SettingsRecovery::SettingsRecovery(UserController& userController, QObject* parent)
    : SettingsRecovery(userController, Services{}, parent) {}

SettingsRecovery::SettingsRecovery(UserController& userController, Services services, QObject* parent)
    : QObject(parent), userController_(userController), services_(std::move(services)),
      reports_(std::make_shared<Reports>()) {
    if (!services_.syncDataDirectory) services_.syncDataDirectory = [] { return syncDataDirectoryPath(); };
    // Onboarding sets everything up anew: what it chooses is not to be overwritten afterwards.
    connect(&userController_, &UserController::isOnboardingChanged, this, [this] {
        if (!userController_.isOnboarding() || !isPending()) return;
        pending_ = false;
        OVLOG_INFO(AppLog::setup(), QStringLiteral("The settings are not recovered: onboarding is under way"));
    });
    QPointer<SettingsRecovery> self(this);
    // Any thread, perhaps while the settings suite is being made for the business facade: nothing
    // here may reach the facade. It logs and hands the domain on; the main queue looks at it.
    UserDefaults::setSetAsideHandler([reports = reports_, self](const UserDefaults::SetAside& report) {
        OVLOG_WARNING(AppLog::setup(),
                      report.keptAs.isEmpty()
                          ? QStringLiteral("The settings file \"%1\" (%2) could not be read; its values are lost")
                                .arg(report.path, report.domain)
                          : QStringLiteral("The settings file \"%1\" (%2) could not be read and was set aside as "
                                           "\"%3\"; its values are lost")
                                .arg(report.path, report.domain, report.keptAs));
        {
            std::lock_guard lock(reports->mutex);
            reports->domains << report.domain;
        }
        MainQueue::async([self] {
            if (self) self->recoverIfPossible();
        });
    });
}

SettingsRecovery::~SettingsRecovery() { UserDefaults::setSetAsideHandler({}); }

void SettingsRecovery::takeReports() {
    QStringList domains;
    {
        std::lock_guard lock(reports_->mutex);
        domains.swap(reports_->domains);
    }
    if (domains.isEmpty()) return;
    const QString suite = SettingsController().settings()->suiteName();
    if (!domains.contains(suite) || pending_) return;
    pending_ = true;
    OVLOG_INFO(AppLog::setup(), QStringLiteral("The application's settings were lost; they are recovered from the "
                                               "sync folder once the signed-in user is known"));
}

bool SettingsRecovery::isPending() {
    takeReports();
    return pending_;
}

bool SettingsRecovery::isSyncRootOf(const QString& syncRoot, const QString& accountId) {
    if (syncRoot.isEmpty() || accountId.isEmpty()) return false;
    const QString folder = SyncFolderPaths::appendingPathComponent(syncRoot, SyncFolderPaths::folderName);
    return OVFileSystemMetadataController::markedAccountId(folder) == accountId;
}

std::optional<QString> SettingsRecovery::engineLocalRoot(const QString& stateFile) {
    if (!QFileInfo(stateFile).isFile()) return std::nullopt;
    sqlite3* db = nullptr;
    const QByteArray name = QFile::encodeName(stateFile);
    if (sqlite3_open_v2(name.constData(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        return std::nullopt;
    }
    sqlite3_busy_timeout(db, 1000);
    QString localRoot;
    sqlite3_stmt* statement = nullptr;
    if (sqlite3_prepare_v2(db, "SELECT value FROM meta WHERE key = 'localRoot'", -1, &statement, nullptr) ==
            SQLITE_OK &&
        sqlite3_step(statement) == SQLITE_ROW) {
        if (const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)))
            localRoot = QString::fromUtf8(text);
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    if (localRoot.isEmpty()) return std::nullopt;
    return localRoot;
}

std::optional<QString> SettingsRecovery::findSyncRoot(const QString& accountId) const {
    UserDefaults& standard = UserDefaults::standard();
    std::vector<std::pair<QString, std::optional<QString>>> candidates;
    // The most recent first: a sync root moved in the preferences reaches the engine's state and
    // the last set-up's record, not what the onboarding stored.
    if (const auto data = services_.syncDataDirectory(); data && !data->isEmpty()) {
        const QString stateFile = QDir(*data).filePath(accountId + u'/' + OrvellaSyncEngine::stateFileName());
        if (const auto localRoot = engineLocalRoot(stateFile))
            candidates.emplace_back(QStringLiteral("the sync engine's state"), syncRootOfFolder(*localRoot));
    }
    if (const auto remembered = standard.dictionaryForKey(rememberedFolderKey(accountId)))
        candidates.emplace_back(QStringLiteral("the sync folder last set up"),
                                syncRootOfFolder(remembered->value(QStringLiteral("path")).toString()));
    candidates.emplace_back(QStringLiteral("the sync root stored for the account"), standard.stringForKey(accountId));
    // Where the settings now point (the default: the home folder).
    candidates.emplace_back(QStringLiteral("the default sync root"), SettingsController().settings()->syncRoot());
    for (const auto& [source, root] : candidates) {
        if (!root || !isSyncRootOf(*root, accountId)) continue;
        OVLOG_INFO(AppLog::setup(), QStringLiteral("Found the sync folder of account %1 under \"%2\" (from %3)")
                                        .arg(accountId, *root, source));
        return cleanAbsolute(*root);
    }
    return std::nullopt;
}

bool SettingsRecovery::recoverIfPossible() {
    takeReports();
    if (!pending_) return false;
    const std::shared_ptr<ObjCUser> user = userController_.user();
    // Nobody signed in yet (the connect has not answered, or the network is away): wait for one.
    if (!user) return false;
    pending_ = false;
    // Onboarding sets everything up anew; recovered values would only get in its way.
    if (userController_.isOnboarding()) {
        OVLOG_INFO(AppLog::setup(), QStringLiteral("The settings are not recovered: onboarding is under way"));
        return false;
    }
    const QString accountId = user->accountId();
    const std::optional<QString> root = findSyncRoot(accountId);
    if (!root) {
        OVLOG_WARNING(AppLog::setup(), QStringLiteral("The settings cannot be recovered: no sync folder marked for "
                                                      "account %1 was found")
                                           .arg(accountId));
        return false;
    }
    OrvellaSettingsManager* settings = SettingsController().settings();
    settings->setSyncRoot(*root);
    settings->setIsAlreadyLaunched(true);
    settings->setHasPromptedToSendCrashReports(true);
    // Where onboarding keeps it: the next sign-in of the account restores the same root.
    if (UserDefaults::standard().stringForKey(accountId) != *root) UserDefaults::standard().setObject(accountId, *root);
    OVLOG_WARNING(AppLog::setup(), QStringLiteral("Recovered the settings for account %1: sync root \"%2\", already "
                                                  "launched, crash reports asked about before")
                                       .arg(accountId, *root));
    emit recovered();
    return true;
}

void SettingsRecovery::connectAnswered() {
    recoverIfPossible();
    runWaitingWork();
}

void SettingsRecovery::afterRecoveryDecided(bool connectUnderWay, std::function<void()> work, int timeoutMs) {
    if (!work) return;
    if (!connectUnderWay || !isPending()) return work();
    OVLOG_INFO(AppLog::setup(), QStringLiteral("The launch's questions wait for the connect: the settings may yet be "
                                               "recovered"));
    waitingWork_.push_back(std::move(work));
    QPointer<SettingsRecovery> self(this);
    MainQueue::asyncAfter(timeoutMs, [self] {
        if (self) self->runWaitingWork();
    });
}

void SettingsRecovery::runWaitingWork() {
    if (waitingWork_.empty()) return;
    // On the main queue, not inside the connect's answer: the work may ask modally.
    MainQueue::async([work = std::exchange(waitingWork_, {})] {
        for (const auto& w : work) w();
    });
}
