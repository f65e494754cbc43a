#include "app/shell/update/SUUpdater.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QUrlQuery>

#include "app/common/ConfigurationProvider.h"
#include "app/common/LogChannels.h"
#include "app/shell/update/SUUpdaterDelegate.h"
#include "app/shell/update/UpdateTransfer.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/appkit/Workspace.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/Timer.h"
#include "platform/foundation/UserDefaults.h"

namespace {

const QString enableAutomaticChecksKey = QStringLiteral("SUEnableAutomaticChecks");
const QString checkIntervalKey = QStringLiteral("SUScheduledCheckInterval");
const QString sendProfileKey = QStringLiteral("SUSendProfileInfo");
const QString lastCheckTimeKey = QStringLiteral("SULastCheckTime");
const QString skippedVersionKey = QStringLiteral("SUSkippedVersion");
constexpr double defaultCheckInterval = 86400.0;

// The updater's own texts, from its strings table when the bundle has one.
QString text(const char* key, const char* english) {
    return Bundle::main().localizedString(QString::fromLatin1(key), QString::fromUtf8(english),
                                          QStringLiteral("Sparkle"));
}

QString applicationName() {
    const QString name = infoPlistString(QStringLiteral("CFBundleName"));
    return name.isEmpty() ? infoPlistString(QStringLiteral("CFBundleExecutable")) : name;
}

QString systemVersion() {
    const QString version = QSysInfo::productVersion();
    return version == u"unknown" ? QString() : version;
}

QPointer<SUUpdater>& sharedSlot() {
    static QPointer<SUUpdater> slot;
    return slot;
}

bool& sharedRemoved() {
    static bool removed = false;
    return removed;
}

// The archive's file name from its URL, never a path of its own.
QString archiveFileName(const QUrl& url) {
    const QString name = QFileInfo(url.path()).fileName();
    if (name.isEmpty() || name == u"." || name == u"..") return QStringLiteral("update-archive");
    return name;
}

}  // namespace

SUUpdater* SUUpdater::sharedUpdater() {
    if (!sharedSlot() && !sharedRemoved()) sharedSlot() = new SUUpdater(UserDefaults::standard(), QCoreApplication::instance());
    return sharedSlot();
}

void SUUpdater::setSharedUpdater(std::unique_ptr<SUUpdater> updater) {
    delete sharedSlot().data();
    sharedRemoved() = !updater;
    if (updater) updater->setParent(QCoreApplication::instance());
    sharedSlot() = updater.release();
}

SUUpdater::SUUpdater(UserDefaults& defaults, QObject* parent) : QObject(parent), defaults_(defaults) {}

SUUpdater::~SUUpdater() {
    if (checkTimer_) checkTimer_->invalidate();
}

bool SUUpdater::automaticallyChecksForUpdates() const {
    QVariant value = defaults_.object(enableAutomaticChecksKey);
    if (!value.isValid()) value = Bundle::main().object(enableAutomaticChecksKey);
    return value.isValid() ? UserDefaults::boolValue(value) : true;
}

void SUUpdater::setAutomaticallyChecksForUpdates(bool value) {
    defaults_.setObject(enableAutomaticChecksKey, value);
    scheduleNextCheck();
}

double SUUpdater::updateCheckInterval() const {
    QVariant value = defaults_.object(checkIntervalKey);
    if (!value.isValid()) value = Bundle::main().object(checkIntervalKey);
    bool ok = false;
    const double seconds = value.toDouble(&ok);
    return ok && seconds > 0 ? seconds : defaultCheckInterval;
}

void SUUpdater::setUpdateCheckInterval(double seconds) {
    defaults_.setObject(checkIntervalKey, seconds);
    scheduleNextCheck();
}

bool SUUpdater::sendsSystemProfile() const { return defaults_.boolForKey(sendProfileKey); }

void SUUpdater::setSendsSystemProfile(bool value) { defaults_.setObject(sendProfileKey, value); }

std::optional<QDateTime> SUUpdater::lastUpdateCheckDate() const { return defaults_.dateForKey(lastCheckTimeKey); }

QUrl SUUpdater::feedURL() const {
    const QString text = delegate_ ? delegate_->feedURLStringForUpdater(*this) : infoPlistString(QStringLiteral("SUFeedURL"));
    QUrl url(text.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && sendsSystemProfile() && (scheme == u"http" || scheme == u"https")) {
        QUrlQuery query(url);
        query.addQueryItem(QStringLiteral("appName"), applicationName());
        query.addQueryItem(QStringLiteral("appVersion"), infoPlistString(QStringLiteral("CFBundleVersion")));
        query.addQueryItem(QStringLiteral("osVersion"), QSysInfo::prettyProductName());
        query.addQueryItem(QStringLiteral("cpuArchitecture"), QSysInfo::currentCpuArchitecture());
        query.addQueryItem(QStringLiteral("lang"), QLocale::system().name());
        url.setQuery(query);
    }
    return url;
}

void SUUpdater::checkForUpdates(QObject*) { check(true); }

void SUUpdater::checkForUpdatesInBackground() {
    if (!automaticallyChecksForUpdates()) {
        scheduleNextCheck();
        return;
    }
    check(false);
}

void SUUpdater::check(bool userInitiated) {
    if (inProgress_) {
        if (userInitiated) Application::shared().activate(true);
        return;
    }
    inProgress_ = true;
    defaults_.setObject(lastCheckTimeKey, QDateTime::currentDateTimeUtc());
    scheduleNextCheck();
    const QUrl url = feedURL();
    if (url.isEmpty() || !url.isValid()) {
        fail(text("SUNoFeedURL", "The update feed is not configured."), userInitiated);
        return;
    }
    OVLOG_INFO(AppLog::flow(), QStringLiteral("Checking for updates at ") + url.toString(QUrl::RemoveQuery));
    QPointer<SUUpdater> self(this);
    UpdateTransfer::fetchData(url, maximumFeedSize, [self, userInitiated](UpdateTransfer::DataResult result) {
        if (!self) return;
        if (!result.data) {
            if (result.unreachable) self->failUnreachable(result.error, userInitiated);
            else self->fail(result.error, userInitiated);
            return;
        }
        self->handleFeed(*result.data, userInitiated);
    });
}

void SUUpdater::handleFeed(const QByteArray& data, bool userInitiated) {
    QString error;
    const auto items = Appcast::parse(data, &error);
    if (!items) {
        fail(text("SUFeedUnreadable", "The update feed could not be read: %1").arg(error), userInitiated);
        return;
    }
    const QString hostVersion = infoPlistString(QStringLiteral("CFBundleVersion"));
    const auto best = Appcast::bestItem(*items, hostVersion, systemVersion());
    if (!best) {
        OVLOG_INFO(AppLog::flow(), QStringLiteral("No update newer than ") + hostVersion);
        if (userInitiated) {
            Alert alert;
            alert.setAlertStyle(Alert::Style::informational);
            alert.setMessageText(text("SUUpToDateTitle", "You’re up to date!"));
            alert.setInformativeText(text("SUUpToDateInformative", "%1 %2 is currently the newest version available.")
                                         .arg(applicationName(), infoPlistString(QStringLiteral("CFBundleShortVersionString"))));
            alert.addButton(text("SUOK", "OK"));
            Application::shared().activate(true);
            alert.runModal();
        }
        finish(Outcome::upToDate);
        return;
    }
    if (!userInitiated && defaults_.stringForKey(skippedVersionKey).value_or(QString()) == best->version) {
        finish(Outcome::updateSkipped);
        return;
    }
    // Without a hash nothing proves that the archive is the one the feed meant.
    if (best->sha256.isEmpty()) {
        fail(text("SUUnverifiable", "The update %1 cannot be verified: its feed entry gives no SHA-256.")
                 .arg(best->displayVersion),
             userInitiated);
        return;
    }
    offer(*best, userInitiated);
}

void SUUpdater::offer(const AppcastItem& item, bool) {
    Alert alert;
    alert.setAlertStyle(Alert::Style::informational);
    alert.setMessageText(text("SUUpdateAvailableTitle", "A new version of %1 is available!").arg(applicationName()));
    QString informative = text("SUUpdateAvailableInformative", "%1 %2 is now available—you have %3. Would you like to download it now?")
                              .arg(applicationName(), item.displayVersion,
                                   infoPlistString(QStringLiteral("CFBundleShortVersionString")));
    if (!item.releaseNotes.isEmpty()) informative += QStringLiteral("\n\n") + item.releaseNotes;
    alert.setInformativeText(informative);
    alert.addButton(text("SUInstallUpdate", "Install Update"));
    alert.addButton(text("SUSkipThisVersion", "Skip This Version"));
    alert.addButton(text("SURemindMeLater", "Remind Me Later")).setKeyEquivalent(Alert::EscapeKey);
    Application::shared().activate(true);
    const int response = alert.runModal();
    if (response == Alert::FirstButtonReturn) {
        download(item);
    } else if (response == Alert::SecondButtonReturn) {
        defaults_.setObject(skippedVersionKey, item.version);
        finish(Outcome::updateSkipped);
    } else {
        finish(Outcome::updateOffered);
    }
}

void SUUpdater::download(const AppcastItem& item) {
    QString folder = downloadsFolder_;
    if (folder.isEmpty()) {
        QTemporaryDir temporary(QDir::temp().filePath(QStringLiteral("%1-Update-XXXXXX").arg(applicationName())));
        temporary.setAutoRemove(false);
        if (!temporary.isValid()) {
            fail(text("SUDownloadFolder", "No folder for the download: %1").arg(temporary.errorString()), true);
            return;
        }
        folder = temporary.path();
    } else if (!QDir().mkpath(folder)) {
        fail(text("SUDownloadFolder", "No folder for the download: %1").arg(folder), true);
        return;
    }
    const QString destination = QDir(folder).filePath(archiveFileName(item.fileURL));
    OVLOG_INFO(AppLog::flow(), QStringLiteral("Downloading update %1 to %2").arg(item.displayVersion, destination));
    QPointer<SUUpdater> self(this);
    UpdateTransfer::downloadArchive(item.fileURL, destination, item.length, item.sha256,
                                    [self](UpdateTransfer::FileResult result) {
                                        if (!self) return;
                                        if (!result.path) {
                                            self->fail(result.error, true);
                                            return;
                                        }
                                        self->lastDownloadedArchive_ = *result.path;
                                        // Installing over the running build is not possible: hand
                                        // the verified archive to the user instead.
                                        Workspace::activateFileViewerSelecting({*result.path});
                                        self->finish(Outcome::updateDownloaded);
                                    });
}

void SUUpdater::fail(const QString& error, bool userInitiated) {
    OVLOG_ERROR(AppLog::flow(), QStringLiteral("Software update failed: ") + error);
    if (userInitiated) {
        Alert alert;
        alert.setAlertStyle(Alert::Style::warning);
        alert.setMessageText(text("SUUpdateErrorTitle", "Update Error!"));
        alert.setInformativeText(error);
        // Nothing is left running to cancel: the failure has ended the update.
        alert.addButton(text("SUOK", "OK"));
        Application::shared().activate(true);
        alert.runModal();
    }
    finish(Outcome::failed, error);
}

void SUUpdater::failUnreachable(const QString& error, bool userInitiated) {
    // Being offline is an everyday state, not a fault of the program.
    OVLOG_WARNING(AppLog::flow(), QStringLiteral("The update server could not be reached: ") + error);
    if (userInitiated) {
        Alert alert;
        alert.setAlertStyle(Alert::Style::informational);
        alert.setMessageText(text("SUServerUnreachableTitle", "The update server could not be reached."));
        alert.setInformativeText(text("SUServerUnreachableInformative",
                                      "Check your internet connection, then check for updates again."));
        alert.addButton(text("SUOK", "OK"));
        Application::shared().activate(true);
        alert.runModal();
    }
    finish(Outcome::unreachable, error);
}

void SUUpdater::finish(Outcome outcome, const QString& error) {
    inProgress_ = false;
    lastOutcome_ = outcome;
    lastError_ = error;
    emit checkFinished(outcome);
}

void SUUpdater::scheduleNextCheck() {
    if (checkTimer_) checkTimer_->invalidate();
    checkTimer_.reset();
    if (!automaticallyChecksForUpdates()) return;
    const double interval = std::max(updateCheckInterval(), minimumCheckInterval);
    const QDateTime last = lastUpdateCheckDate().value_or(QDateTime::currentDateTimeUtc());
    const double delay =
        std::max(0.0, interval - last.msecsTo(QDateTime::currentDateTimeUtc()) / 1000.0);
    // The check replaces this timer: let the firing finish before that happens.
    QPointer<SUUpdater> self(this);
    checkTimer_ = Timer::scheduledTimer(delay, false, [self](Timer&) {
        MainQueue::async([self] {
            if (self) self->checkForUpdatesInBackground();
        });
    });
}
