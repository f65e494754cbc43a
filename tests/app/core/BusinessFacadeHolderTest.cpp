#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QThread>

#include <atomic>
#include <set>

#include "app/config/ApiConfiguration.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/ReachabilityController.h"
#include "frameworks/business/ConnectivityManager.h"
#include "frameworks/business/OrvellaFacade.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/foundation/Bundle.h"
#include "service/StorageService.h"
#include "support/TestEnvironment.h"

namespace {

TEST(BusinessFacadeHolderTest, ConcurrentFirstReadersShareOneFacade) {
    std::set<BusinessFacade*> seen;
    std::mutex mutex;
    std::atomic<bool> go{false};
    std::vector<std::unique_ptr<QThread>> threads;
    for (int i = 0; i < 8; ++i) {
        threads.emplace_back(QThread::create([&] {
            while (!go.load()) {}
            BusinessFacade* f = &BusinessFacadeHolder::facade();
            std::lock_guard lock(mutex);
            seen.insert(f);
        }));
        threads.back()->start();
    }
    go = true;
    for (auto& t : threads) t->wait();
    EXPECT_EQ(seen.size(), 1u);
    EXPECT_EQ(*seen.begin(), &BusinessFacadeHolder::facade());
}

TEST(BusinessFacadeHolderTest, FacadeStartsWithoutUserButWithSettingsAndConnectivity) {
    BusinessFacade& facade = BusinessFacadeHolder::facade();
    EXPECT_FALSE(facade.currentUser());
    EXPECT_TRUE(facade.settings());
    EXPECT_FALSE(facade.subscriptionItems());
    auto* orvella = dynamic_cast<OrvellaFacade*>(&facade);
    ASSERT_TRUE(orvella);
    EXPECT_EQ(orvella->configuration().minimumFreeDiskSpace, 100000000);
    EXPECT_EQ(orvella->configuration().userDefaultsGroup, QStringLiteral("group.example.orvella"));
    EXPECT_EQ(orvella->configuration().tokenKeychainAccount, QStringLiteral("example.orvella.desktop.tokens"));
    EXPECT_EQ(orvella->configuration().appConfiguration.targetType, OVAppConfig::TargetType::desktop);
    EXPECT_EQ(orvella->service().root(), StorageService::defaultRoot());
}

TEST(BusinessFacadeHolderTest, MissingConfigurationIsTheNoConfigFailure) {
    auto made = BusinessFacadeHolder::makeFacade(std::nullopt);
    ASSERT_TRUE(std::holds_alternative<QString>(made));
    EXPECT_EQ(BusinessFacadeHolder::fatalMessage(std::get<QString>(made)),
              QStringLiteral("Business framework cannot be setup: BusinessFacadeError.noConfig"));
}

TEST(BusinessFacadeHolderTest, MissingKeysStillBuildAFacade) {
    const QVariantMap saved = Bundle::main().info();
    QVariantMap info = saved;
    info.remove(QStringLiteral("AppGroupIdentifier"));
    info.remove(QStringLiteral("TokenKeychainAccount"));
    Bundle::main().setInfo(info);
    auto made = BusinessFacadeHolder::makeFacade(makeAppConfig(OVAppConfig::App::desktopClient, Api::orvella));
    Bundle::main().setInfo(saved);
    ASSERT_TRUE(std::holds_alternative<std::shared_ptr<BusinessFacade>>(made));
    auto* facade = dynamic_cast<OrvellaFacade*>(std::get<std::shared_ptr<BusinessFacade>>(made).get());
    ASSERT_TRUE(facade);
    EXPECT_EQ(facade->configuration().userDefaultsGroup, QString());
    EXPECT_EQ(facade->configuration().tokenKeychainAccount, QString());
}

TEST(BusinessFacadeHolderTest, UnusableServiceStorageIsReportedNotIgnored) {
    QTemporaryDir dir;
    QFile blocker(dir.filePath("file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    DependencyProvider dependencies;
    dependencies.settingsManager = std::make_shared<OrvellaSettingsManager>(QStringLiteral("facade.storage"));
    dependencies.service = std::make_shared<StorageService>(dir.filePath("file/root"));
    auto config = makeAppConfig(OVAppConfig::App::desktopClient, Api::orvella);
    ASSERT_TRUE(config);
    OVFacadeConfiguration configuration{*config, {}, std::nullopt, std::nullopt, {}, 0, {}};
    EXPECT_THROW(OrvellaFacade(configuration, dependencies), FacadeSetupError);
    dependencies.settingsManager.reset();
    dependencies.service = std::make_shared<StorageService>(dir.filePath("ok"));
    EXPECT_THROW(OrvellaFacade(configuration, dependencies), FacadeSetupError);
}

class FakeProvider : public ReachabilityControllerDependencyProvider {
public:
    explicit FakeProvider(ConnectivityManager& m) : manager(m) {}
    ConnectivityManager& connectivityManager() const override { return manager; }
    ConnectivityManager& manager;
};

class RecordingDelegate : public ReachabilityControllerDelegate {
public:
    void reachabilityChanged(ReachabilityController&, bool isConnected) override { calls.push_back(isConnected); }
    std::vector<bool> calls;
};

TEST(ReachabilityControllerTest, FollowsTheConnectivityManagerFromAnyThread) {
    std::atomic<bool> reachable{true};
    ConnectivityManager manager([&] { return reachable.load(); });
    FakeProvider provider(manager);
    RecordingDelegate delegate;
    {
        ReachabilityController controller(provider);
        EXPECT_TRUE(controller.isConnected());
        controller.setDelegate(&delegate);
        int notified = 0;
        QObject::connect(&controller, &ReachabilityController::isConnectedChanged, [&] { ++notified; });

        reachable = false;
        std::unique_ptr<QThread> worker(QThread::create([&] { manager.refresh(); }));
        worker->start();
        worker->wait();
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !controller.isConnected(); }));
        EXPECT_EQ(notified, 1);
        EXPECT_EQ(delegate.calls, std::vector<bool>{false});
        EXPECT_EQ(manager.subscriberCount(), 1);
    }
    // A controller that is gone no longer subscribes.
    EXPECT_EQ(manager.subscriberCount(), 0);
}

TEST(ReachabilityControllerTest, SeveralControllersEachSubscribe) {
    ConnectivityManager manager([] { return true; });
    FakeProvider provider(manager);
    ReachabilityController a(provider), b(provider);
    EXPECT_NE(a.identifier(), b.identifier());
    EXPECT_EQ(manager.subscriberCount(), 2);
}

}  // namespace
