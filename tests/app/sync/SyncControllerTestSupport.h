#pragma once

// Fakes around the sync controller: an engine that records what it is told, a business facade
// that sets it up, a comm server and a delegate that record their calls, a notification center
// that keeps what it is handed, and a fixture that builds the controller over a temporary sync
// folder under /dev/shm.

#include <gtest/gtest.h>

#include <QDir>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <vector>

#include "app/sync/support/NullListener.h"
#include "app/common/LogChannels.h"
#include "app/core/QuotaController.h"
#include "app/core/ReachabilityController.h"
#include "app/core/UserController.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/core/support/TestBusinessUser.h"
#include "app/sync/CommServer.h"
#include "app/sync/SyncController.h"
#include "app/sync/SyncControllerDelegate.h"
#include "frameworks/logger/Logger.h"
#include "frameworks/sync/SyncFacade.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Workspace.h"
#include "platform/foundation/MainQueue.h"
#include "platform/notifications/NotificationCenter.h"
#include "support/RecordingNotificationCenter.h"
#include "support/TestEnvironment.h"

namespace synctest {

using RecordingCenter = RecordingNotificationCenter;

// The engine as the controller drives it.
class FakeSyncFacade : public SyncFacade {
public:
    LocalChangesListener& localChangesListener() override { return listener; }
    std::vector<SelectiveSyncItem> subscriptions() const override { return subscribed; }
    void setSubscriptions(const std::vector<SelectiveSyncItem>& items) override { subscribed = items; }
    std::vector<SyncErrorInfo> syncErrors() const override { return errors; }
    void triggerSync() override { ++triggerCount; }
    void setSyncEnabled(bool enabled) override { enabledCalls.push_back(enabled); }
    OVItemSyncStatus itemSyncStatus(const QString&) const override { return OVItemSyncStatus::synced; }

    NullListener listener;
    std::vector<SelectiveSyncItem> subscribed;
    std::vector<SyncErrorInfo> errors;
    int triggerCount = 0;
    std::vector<bool> enabledCalls;
};

// Sets the engine up as the real facade would; a test may make the set-up throw, or keep the
// engine away.
class SyncTestFacade : public TestBusinessFacade {
public:
    using TestBusinessFacade::TestBusinessFacade;

    SyncFacade* syncFacade() const override { return installed ? &engine : nullptr; }
    void setUpSync(SyncFacadeImplementation implementation, const SyncFacadeConfiguration& configuration) override {
        ++setUpCalls;
        lastImplementation = implementation;
        lastConfiguration = configuration;
        if (failSetUp) throw std::runtime_error("the engine refused");
        if (installOnSetUp) installed = true;
    }

    mutable FakeSyncFacade engine;
    bool installed = false;
    bool installOnSetUp = true;
    bool failSetUp = false;
    int setUpCalls = 0;
    std::optional<SyncFacadeImplementation> lastImplementation;
    std::optional<SyncFacadeConfiguration> lastConfiguration;
};

class RecordingCommServer : public CommServer {
public:
    struct Push {
        QString kind;  // "status" or "root"
        QString path;
        std::optional<OVItemSyncStatus> status;
        bool onMainThread = false;
    };
    void sendStatus(OVItemSyncStatus status, const QString& path) override {
        if (beforeSend) beforeSend();
        std::lock_guard lock(mutex);
        pushes.push_back({QStringLiteral("status"), path, status, MainQueue::isMainThread()});
    }
    void sendUpdatedRootDirectoryToExtensions(const QString& path) override {
        std::lock_guard lock(mutex);
        pushes.push_back({QStringLiteral("root"), path, std::nullopt, MainQueue::isMainThread()});
    }
    std::vector<Push> snapshot() const {
        std::lock_guard lock(mutex);
        return pushes;
    }

    // Stands for an extension that is slow to take a status.
    std::function<void()> beforeSend;
    mutable std::mutex mutex;
    std::vector<Push> pushes;
};

class RecordingDelegate : public SyncControllerDelegate {
public:
    void presentPreferencesGoneAlert() override { calls << QStringLiteral("preferencesGone"); }
    void presentSystemFolderDeletedAlert(const QString& path) override {
        calls << QStringLiteral("systemFolderDeleted:") + path;
    }
    void presentRootFolderMovedAlert() override { calls << QStringLiteral("rootFolderMoved"); }
    void presentSyncFolderNotOwnedAlert(const QString& path) override {
        calls << QStringLiteral("syncFolderNotOwned:") + path;
    }
    QStringList calls;
};

// The observers the controller started, and which of them it stopped.
struct ObserverLog {
    QStringList events;  // "start <n> <path>", "stop <n>"
    int started = 0;
};

// An event source without a stream: the observer lets go of it when it stops.
class FakeEventSource : public FSEventListenerProtocol {
public:
    FakeEventSource(std::shared_ptr<ObserverLog> log, int number) : log_(std::move(log)), number_(number) {}
    ~FakeEventSource() override { log_->events << QStringLiteral("stop %1").arg(number_); }
    FileEventStream* eventStream() const override { return nullptr; }

private:
    std::shared_ptr<ObserverLog> log_;
    int number_;
};

// Entries written to the given channels, as "LEVEL channel: message"; the channels write
// everything while the recorder lives.
class LogRecorder {
public:
    explicit LogRecorder(std::vector<Log::Channel*> channels) : channels_(std::move(channels)) {
        Logger::setConsoleOutputEnabled(false);
        for (Log::Channel* channel : channels_) {
            names_ << channel->name();
            verbosities_.push_back(channel->verbosity());
            channel->setVerbosity(LogVerbosity::debug);
        }
        sink_ = Logger::addSink([this](const LogEntry& entry) {
            if (!names_.contains(entry.channel)) return;
            std::lock_guard lock(mutex_);
            lines_ << logLevelName(entry.level) + u' ' + entry.channel + QStringLiteral(": ") + entry.message;
        });
    }
    ~LogRecorder() {
        Logger::removeSink(sink_);
        for (std::size_t i = 0; i < channels_.size(); ++i) channels_[i]->setVerbosity(verbosities_[i]);
    }
    QStringList lines() {
        Logger::flush();
        std::lock_guard lock(mutex_);
        return lines_;
    }
    QStringList matching(const QString& text) {
        QStringList out;
        for (const QString& line : lines())
            if (line.contains(text)) out << line;
        return out;
    }
    void clear() {
        Logger::flush();
        std::lock_guard lock(mutex_);
        lines_.clear();
    }

private:
    std::vector<Log::Channel*> channels_;
    QStringList names_;
    std::vector<int> verbosities_;
    Logger::SinkId sink_ = 0;
    std::mutex mutex_;
    QStringList lines_;
};

// A controller over a fresh facade, user controller and sync folder. The user is signed in and
// available, the network reachable, the application set up before.
class SyncControllerFixture : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        facade = std::make_shared<SyncTestFacade>(QStringLiteral("test.group.sync.%1").arg(++counter));
        BusinessFacadeHolder::setFacadeForTesting(facade);
        facade->settings()->setIsAlreadyLaunched(true);
        NotificationCenter::setCurrent(center);
        Alert::clearShownAlerts();
        Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });
        ASSERT_TRUE(root.isValid());
        syncFolder = root.path() + QStringLiteral("/Orvella");
        // Made once the test facade is in place: they reach the facade as they are built.
        users = std::make_unique<UserController>();
        reachability = std::make_unique<ReachabilityController>();
        reachability->setIsConnected(true);
        quota = std::make_unique<QuotaController>();
    }

    void TearDown() override {
        controller.reset();
        quota.reset();
        reachability.reset();
        users.reset();
        Alert::setResponder({});
        Workspace::setOpener({});
        NotificationCenter::setCurrent(nullptr);
        BusinessFacadeHolder::setFacadeForTesting(nullptr);
    }

    SyncController::Services services() {
        SyncController::Services s;
        s.syncFolderPath = [this] { return syncFolderPathValue ? std::optional<QString>(syncFolder) : std::nullopt; };
        s.updateFinderSidebar = [this](const QString& path) { steps << QStringLiteral("sidebar ") + path; };
        if (!writesRealMarker)
            s.createAccountInfoFile = [this](const QString& path) { steps << QStringLiteral("marker ") + path; };
        s.startLocalChangesObserver = [this](const QString& path, LocalChangesListener& listener,
                                             LocalFSObserverDelegate& owner) {
            const int number = ++observers->started;
            observers->events << QStringLiteral("start %1 %2").arg(number).arg(path);
            listenerSeen = &listener;
            ownerSeen = &owner;
            return std::make_unique<LocalFSObserver>(path, &listener, fileExists, &owner,
                                                     std::make_unique<FakeEventSource>(observers, number));
        };
        s.setFolderIcon = [this](const QString& path, const QString& image) {
            steps << QStringLiteral("icon ") + path + u' ' + image;
        };
        s.themeRefreshDelayMs = themeDelayMs;
        s.freeDiskSpace = freeDiskSpace;
        s.diskSpaceCheckIntervalMs = diskSpaceCheckMs;
        return s;
    }

    // Builds the controller; the user is signed in and the interface shows the sync state.
    SyncController& make(bool signedIn = true) {
        if (signedIn) signIn();
        controller = std::make_unique<SyncController>(&commServer, *quota, *users, *reachability, services());
        controller->setDelegate(&delegate);
        return *controller;
    }

    void signIn(const QString& name = QStringLiteral("anna")) {
        facade->user = std::make_shared<TestBusinessUser>(QStringLiteral("acc-") + name, name);
        users->update();
        users->setIsAvailable(true);
        users->setIsOnboarding(false);
    }

    void signOut() {
        facade->user.reset();
        users->update();
    }

    std::shared_ptr<SyncTestFacade> facade;
    std::shared_ptr<RecordingCenter> center = std::make_shared<RecordingCenter>();
    QTemporaryDir root{QStringLiteral("/dev/shm/syncctl-XXXXXX")};
    QString syncFolder;
    bool syncFolderPathValue = true;
    // The controller's own metadata controller writes the account marker.
    bool writesRealMarker = false;
    int themeDelayMs = 3000;
    // What the disk has free, asked off the main thread; a full disk unless a test says otherwise.
    std::function<std::optional<std::int64_t>(const QString& path)> freeDiskSpace = [](const QString&) {
        return std::optional<std::int64_t>(0);
    };
    int diskSpaceCheckMs = 30000;
    QStringList steps;
    std::shared_ptr<ObserverLog> observers = std::make_shared<ObserverLog>();
    LocalChangesListener* listenerSeen = nullptr;
    LocalFSObserverDelegate* ownerSeen = nullptr;
    // What the observers believe exists on disk.
    LocalFSObserver::FileExists fileExists = LocalFSObserver::defaultFileExists();

    RecordingCommServer commServer;
    RecordingDelegate delegate;
    std::unique_ptr<UserController> users;
    std::unique_ptr<ReachabilityController> reachability;
    std::unique_ptr<QuotaController> quota;
    std::unique_ptr<SyncController> controller;
};

}  // namespace synctest
