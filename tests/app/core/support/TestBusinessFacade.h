#pragma once

// A business facade for tests: real settings over a private suite, a reachable connectivity
// manager, and a user and subscriptions that a test sets as it needs. Completions run at once.

#include <QString>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/core/BusinessFacadeHolder.h"
#include "frameworks/business/BusinessFacade.h"
#include "frameworks/business/ConnectivityManager.h"
#include "frameworks/settings/OrvellaSettingsManager.h"

class TestBusinessFacade : public BusinessFacade {
public:
    explicit TestBusinessFacade(const QString& suiteName)
        : settings_(std::make_unique<OrvellaSettingsManager>(suiteName, false)), connectivity_([this] {
              return reachable;
          }) {}

    std::shared_ptr<const BusinessUser> currentUser() const override { return user; }
    OrvellaSettingsManager* settings() const override { return settings_.get(); }
    ConnectivityManager& connectivityManager() override { return connectivity_; }
    void connect(ConnectAPIOptions, std::function<void(VoidResult)> completion) override {
        ++connectCalls;
        if (onConnect) onConnect(std::move(completion));
        else if (completion) completion(connectResult);
    }
    void logout(bool reset, std::function<void(VoidResult)> completion) override {
        ++logoutCalls;
        lastLogoutReset = reset;
        user.reset();
        if (completion) completion(Success{});
    }
    std::optional<std::vector<SelectiveSyncItem>> subscriptionItems() const override { return subscriptions; }

    // What the facade answers; tests change these freely.
    std::shared_ptr<const BusinessUser> user;
    std::optional<std::vector<SelectiveSyncItem>> subscriptions;
    VoidResult connectResult = Success{};
    // When set, answers connects instead of `connectResult` (later, or on another thread).
    std::function<void(std::function<void(VoidResult)>)> onConnect;
    bool reachable = true;
    int connectCalls = 0;
    int logoutCalls = 0;
    bool lastLogoutReset = false;

private:
    std::unique_ptr<OrvellaSettingsManager> settings_;
    ConnectivityManager connectivity_;
};

// Installs a fresh test facade over its own settings suite for the life of the object.
class ScopedTestBusinessFacade {
public:
    explicit ScopedTestBusinessFacade(const QString& hint = QStringLiteral("facade")) {
        static int counter = 0;
        facade_ = std::make_shared<TestBusinessFacade>(
            QStringLiteral("test.group.%1.%2").arg(hint).arg(++counter));
        BusinessFacadeHolder::setFacadeForTesting(facade_);
    }
    ~ScopedTestBusinessFacade() { BusinessFacadeHolder::setFacadeForTesting(nullptr); }
    ScopedTestBusinessFacade(const ScopedTestBusinessFacade&) = delete;
    ScopedTestBusinessFacade& operator=(const ScopedTestBusinessFacade&) = delete;

    TestBusinessFacade& facade() const { return *facade_; }
    OrvellaSettingsManager& settings() const { return *facade_->settings(); }

private:
    std::shared_ptr<TestBusinessFacade> facade_;
};
