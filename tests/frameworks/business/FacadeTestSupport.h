#pragma once

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <ostream>

#include "frameworks/business/OrvellaFacade.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "frameworks/sync/SyncFacade.h"
#include "platform/foundation/MainQueue.h"
#include "service/StorageService.h"
#include "support/TestEnvironment.h"

inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

// What a completion received, how often, and whether it ran on the main thread.
template <typename T>
class Outcome {
public:
    std::function<void(T)> handler() {
        return [this](T result) {
            std::lock_guard lock(mutex_);
            result_.emplace(std::move(result));
            onMainThread_ = MainQueue::isMainThread();
            ++calls_;
        };
    }
    bool wait(int timeoutMs = 5000) {
        return TestEnvironment::waitUntil([this] { return calls_.load() > 0; }, timeoutMs);
    }
    int calls() const { return calls_.load(); }
    T result() const {
        std::lock_guard lock(mutex_);
        return *result_;
    }
    bool ranOnMainThread() const {
        std::lock_guard lock(mutex_);
        return onMainThread_;
    }

private:
    mutable std::mutex mutex_;
    std::optional<T> result_;
    bool onMainThread_ = false;
    std::atomic<int> calls_{0};
};

// A sync delegate that takes every item and heeds no report.
class QuietSyncDelegate : public SyncStatusDelegate {
public:
    void itemStatusChanged(const QString&, OVItemSyncStatus) override {}
    void syncStatusChanged(const SyncStatus&) override {}
    bool shouldIgnoreItem(const QString&) override { return false; }
    bool isRegularItem(const QString&, const QString&) override { return true; }
    bool isSystemFolder(const QString&, const QString&) override { return false; }
    void handle(const SyncEvent&) override {}
};

// Sync of the folder `local`, with the engine's state below `data`.
inline SyncFacadeConfiguration syncConfiguration(const QString& local, const QString& data, SyncStatusDelegate& delegate) {
    SyncFacadeConfiguration configuration;
    configuration.rootDirectoryLocalURL = local;
    configuration.syncStatusDelegate = &delegate;
    configuration.conflictSuffix = QStringLiteral("conflicted copy");
    configuration.dataDirectoryLocalURL = data + QStringLiteral("/SyncData");
    return configuration;
}

inline OVFacadeConfiguration facadeConfiguration(const QString& group, const QString& tokenAccount) {
    return OVFacadeConfiguration{OVAppConfig(OVAppConfig::App::desktopClient, OVAppConfig::TargetType::desktop, nullptr),
                                 group,
                                 std::nullopt,
                                 std::nullopt,
                                 {},
                                 100000000,
                                 tokenAccount};
}

// A facade over a fresh service root, with a keychain account and settings suite of its own.
class FacadeFixture : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        static int counter = 0;
        ++counter;
        group = QStringLiteral("test.business.%1").arg(counter);
        tokenAccount = QStringLiteral("token-%1").arg(counter);
        service = std::make_shared<StorageService>(dir_.filePath(QStringLiteral("service")));
        facade = makeFacade();
    }

    // Another facade on the same service and keychain: the application launched again.
    std::unique_ptr<OrvellaFacade> makeFacade() const {
        DependencyProvider dependencies;
        dependencies.settingsManager = std::make_shared<OrvellaSettingsManager>(group, false);
        dependencies.service = service;
        return std::make_unique<OrvellaFacade>(facadeConfiguration(group, tokenAccount), dependencies);
    }

    VoidResult connect(OrvellaFacade& f) {
        Outcome<VoidResult> outcome;
        f.connect(ConnectAPIOptions::all, outcome.handler());
        EXPECT_TRUE(outcome.wait());
        EXPECT_FALSE(outcome.ranOnMainThread());
        return outcome.result();
    }

    void makeAccount(const QString& name, const QString& password = QStringLiteral("password1")) {
        ASSERT_TRUE(service->createAccount(name, name + QStringLiteral("@example.org"), password));
    }

    QString group;
    QString tokenAccount;
    std::shared_ptr<StorageService> service;
    std::unique_ptr<OrvellaFacade> facade;

private:
    QTemporaryDir dir_;
};
