#include <gtest/gtest.h>

#include <QLineEdit>

#include "app/common/AppActions.h"
#include "app/config/ApiConfiguration.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/BusinessFrameworkController.h"
#include "app/core/FeaturesController.h"
#include "app/core/ObjCBackupFeature.h"
#include "app/core/ObjCFeatures.h"
#include "app/core/ObjCQuota.h"
#include "app/core/QuotaController.h"
#include "app/core/UserController.h"
#include "app/delegate/AppDelegate.h"
#include "frameworks/business/OrvellaFacade.h"
#include "frameworks/businessui/SignInPage.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "support/TestEnvironment.h"

namespace {

OrvellaFacade& realFacade() {
    auto* facade = dynamic_cast<OrvellaFacade*>(&BusinessFacadeHolder::facade());
    if (!facade) throw std::runtime_error("the process-wide facade is not the embedded service's");
    return *facade;
}

// Signs out whoever a test left signed in, so the next starts from a clean session.
void signOut() {
    bool done = false;
    realFacade().logout(false, [&](VoidResult) { done = true; });
    TestEnvironment::waitUntil([&] { return done; });
}

TEST(SignInFlowTest, SignInThroughThePageConnectsAndSignOutClearsEverything) {
    signOut();
    ASSERT_TRUE(realFacade().createAccountNow(QStringLiteral("ada"), QStringLiteral("ada@example.org"),
                                              QStringLiteral("correct horse battery"))
                    .isSuccess());
    signOut();  // creating the account signed it in; this test signs in through the page
    Alert::setResponder([](const Alert&) { return Alert::FirstButtonReturn; });

    UserController user;
    FeaturesController features(user);
    QuotaController quota;
    QObject::connect(&user, &UserController::userChanged, &quota, &QuotaController::userDidChange);
    // With no session to connect, the controller asks the application to sign out (the delegate's
    // part, which this test does not make).
    int signOutRequests = 0;
    Application::shared().registerAction(AppAction::resetUserSession, [&](QObject*) { ++signOutRequests; });
    BusinessFrameworkController framework(user, BusinessFrameworkControllerConnectClient{});
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !framework.isConnecting(); }));
    EXPECT_FALSE(user.isLoggedIn());
    EXPECT_EQ(signOutRequests, 1);

    std::unique_ptr<SignInPage> page(SignInPage::make(realFacade(), nullptr));
    ASSERT_TRUE(page);
    bool finished = false;
    QObject::connect(page.get(), &SignInPage::didFinishSignIn, [&] { finished = true; });
    page->userNameField()->setText(QStringLiteral("ada"));
    page->passwordField()->setText(QStringLiteral("correct horse battery"));
    page->submit();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return finished; }));

    std::optional<std::optional<AppError>> connected;
    framework.connect(0, [&](std::optional<AppError> e) { connected = e; });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return connected.has_value(); }));
    EXPECT_FALSE(connected->has_value());
    ASSERT_TRUE(user.isLoggedIn());
    EXPECT_EQ(user.user()->name(), QStringLiteral("ada"));
    EXPECT_TRUE(user.isAvailable());
    EXPECT_TRUE(features.isBackupEnabled());

    std::optional<QuotaResult> answer;
    quota.updateQuota(false, [&](const QuotaResult& r) { answer = r; });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return answer.has_value(); }));
    ASSERT_TRUE(std::holds_alternative<std::shared_ptr<ObjCQuota>>(*answer));
    const auto& q = std::get<std::shared_ptr<ObjCQuota>>(*answer);
    EXPECT_GT(q->overall(), 0);
    EXPECT_EQ(q->overall(), q->used() + q->free());

    std::optional<bool> signedOut;
    user.setIsLogoutInProgress(true);
    realFacade().logout(false, [&user, &signedOut](VoidResult r) {
        UserController::finishLogout(&user, r, [&signedOut](bool ok) { signedOut = ok; });
    });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return signedOut.has_value(); }));
    EXPECT_TRUE(*signedOut);
    EXPECT_FALSE(user.isLoggedIn());
    EXPECT_FALSE(user.user());
    EXPECT_FALSE(features.features());
    EXPECT_FALSE(quota.cachedQuota());
    EXPECT_EQ(signOutRequests, 1);
    Application::shared().unregisterAction(AppAction::resetUserSession);
    Alert::setResponder(nullptr);
}

TEST(SignInFlowTest, StoredSessionConnectsAtLaunchWithoutUserAction) {
    signOut();
    const auto created = realFacade().createAccountNow(QStringLiteral("grace"), QStringLiteral("grace@example.org"),
                                                       QStringLiteral("another good secret"));
    ASSERT_TRUE(created.isSuccess());
    ASSERT_TRUE(realFacade().signInNow(QStringLiteral("grace"), QStringLiteral("another good secret")).isSuccess());
    // A new launch knows only the stored token: a fresh facade, as a new process would make.
    auto made = BusinessFacadeHolder::makeFacade(makeAppConfig(OVAppConfig::App::desktopClient, Api::orvella));
    ASSERT_TRUE(std::holds_alternative<std::shared_ptr<BusinessFacade>>(made));
    auto fresh = std::get<std::shared_ptr<BusinessFacade>>(made);
    ASSERT_FALSE(fresh->currentUser());
    BusinessFacadeHolder::setFacadeForTesting(fresh);
    Alert::setResponder([](const Alert&) { return Alert::SecondButtonReturn; });

    AppDelegate::Environment env;
    env.setLoginItemEnabled = [](const QString&, bool) { return true; };
    AppDelegate delegate(env);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return delegate.userController().isLoggedIn(); }));
    EXPECT_EQ(delegate.userController().user()->name(), QStringLiteral("grace"));
    EXPECT_TRUE(delegate.userController().isAvailable());
    Alert::setResponder(nullptr);
    bool done = false;
    fresh->logout(false, [&](VoidResult) { done = true; });
    TestEnvironment::waitUntil([&] { return done; });
}

}  // namespace
