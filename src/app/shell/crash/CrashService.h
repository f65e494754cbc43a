#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class AppCenterSDKDelegate;
class SerialQueue;

// Our crash service: while started and enabled it keeps the crash handler installed, and it sends
// the reports that earlier runs left behind: each is packed with its attachments into a folder
// of its own under the embedded service's "crash-reports" folder, then removed from the pending
// folder. A service that was never started does nothing at all, whatever it is told later.
class CrashService {
public:
    static CrashService& shared();
    CrashService();
    ~CrashService();

    void start(const QString& secret);
    // Installs or removes the handler of a started service; a service that is not started only
    // keeps the flag.
    void setEnabled(bool enabled);
    void setDelegate(std::shared_ptr<AppCenterSDKDelegate> delegate);
    bool isStarted() const { return started_; }
    bool isEnabled() const { return started_ && enabled_; }
    QString secret() const;

    // Where the crash handler writes: "<data>/<AppBundleIdentifier>/CrashReports".
    static QString defaultPendingReportsFolder();
    // The embedded service's "crash-reports" folder.
    static QString defaultServiceReportsFolder();
    QString pendingReportsFolder() const;
    QString serviceReportsFolder() const;
    // Tests point both folders elsewhere.
    void setFolders(const QString& pendingFolder, const QString& serviceFolder);

    // Sends the pending reports on the service's own queue while the service is started and
    // enabled; `completion` hears on the main thread how many were sent.
    void sendPendingReports(std::function<void(int sent)> completion = {});
    // Waits until the queue has done what it was handed (tests, quit).
    void waitUntilIdle();
    // Back to a service that was never started (tests).
    void resetForTesting();

private:
    int sendPendingReportsNow();
    bool send(const QString& reportPath, const std::shared_ptr<AppCenterSDKDelegate>& delegate);

    mutable std::mutex mutex_;
    std::atomic<bool> started_{false};
    std::atomic<bool> enabled_{false};
    QString secret_;
    QString pendingFolder_;
    QString serviceFolder_;
    std::shared_ptr<AppCenterSDKDelegate> delegate_;
    std::unique_ptr<SerialQueue> queue_;
};
