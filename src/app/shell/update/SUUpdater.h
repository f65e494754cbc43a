#pragma once

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

#include "app/shell/update/Appcast.h"

class SUUpdaterDelegate;
class Timer;
class UserDefaults;

// The application's updater: reads the release feed, compares the newest release with the running
// build, offers it in an alert and downloads and verifies its archive in a temporary folder.
//
// A running program cannot replace its own build here, so "installing" reveals the verified
// archive in the file manager for the user to take from there.
//
// Its settings live in the standard user defaults: "SUEnableAutomaticChecks" (on when unset),
// "SUScheduledCheckInterval" (seconds), "SUSendProfileInfo", "SULastCheckTime" and
// "SUSkippedVersion". Main thread only.
class SUUpdater : public QObject {
    Q_OBJECT

public:
    enum class Outcome { upToDate, updateOffered, updateSkipped, updateDownloaded, failed, cancelled, unreachable };
    Q_ENUM(Outcome)

    // Sparkle's own defaults for the check interval: at least an hour between checks.
    static constexpr double minimumCheckInterval = 3600.0;
    // A feed larger than this is refused.
    static constexpr std::int64_t maximumFeedSize = 8 * 1024 * 1024;

    // The process's updater, made on first use; none after setSharedUpdater(nullptr).
    static SUUpdater* sharedUpdater();
    // Replaces the process's updater (tests).
    static void setSharedUpdater(std::unique_ptr<SUUpdater> updater);

    explicit SUUpdater(UserDefaults& defaults, QObject* parent = nullptr);
    ~SUUpdater() override;

    // Not owned.
    SUUpdaterDelegate* delegate() const { return delegate_; }
    void setDelegate(SUUpdaterDelegate* delegate) { delegate_ = delegate; }

    bool automaticallyChecksForUpdates() const;
    void setAutomaticallyChecksForUpdates(bool value);
    // Seconds between background checks.
    double updateCheckInterval() const;
    void setUpdateCheckInterval(double seconds);
    // Whether http(s) feed requests carry the application and system versions.
    bool sendsSystemProfile() const;
    void setSendsSystemProfile(bool value);
    std::optional<QDateTime> lastUpdateCheckDate() const;

    // The feed of the next check: the delegate's, else the information key "SUFeedURL"; with the
    // system profile as query when that is on.
    QUrl feedURL() const;

    // A check the user asked for: every outcome is told.
    void checkForUpdates(QObject* sender = nullptr);
    // A check of its own: only an update is offered, and not one the user skipped. Does nothing
    // while automatic checks are off.
    void checkForUpdatesInBackground();
    bool updateInProgress() const { return inProgress_; }

    // Where downloads go; a new temporary folder per download below the system's temp folder
    // unless set (tests).
    void setDownloadsFolder(const QString& folder) { downloadsFolder_ = folder; }
    std::optional<Outcome> lastOutcome() const { return lastOutcome_; }
    QString lastError() const { return lastError_; }
    QString lastDownloadedArchive() const { return lastDownloadedArchive_; }

signals:
    void checkFinished(SUUpdater::Outcome outcome);

private:
    void check(bool userInitiated);
    void handleFeed(const QByteArray& data, bool userInitiated);
    void offer(const AppcastItem& item, bool userInitiated);
    void download(const AppcastItem& item);
    void finish(Outcome outcome, const QString& error = {});
    void fail(const QString& error, bool userInitiated);
    // The feed could not even be asked for (offline, unknown host): told plainly, logged as a warning.
    void failUnreachable(const QString& error, bool userInitiated);
    void scheduleNextCheck();

    UserDefaults& defaults_;
    SUUpdaterDelegate* delegate_ = nullptr;
    bool inProgress_ = false;
    std::optional<Outcome> lastOutcome_;
    QString lastError_;
    QString lastDownloadedArchive_;
    QString downloadsFolder_;
    std::shared_ptr<Timer> checkTimer_;
};
