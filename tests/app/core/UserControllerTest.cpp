#include <gtest/gtest.h>

#include <QDateTime>
#include <QThread>

#include "app/core/SettingsController.h"
#include "app/core/UserController.h"
#include "platform/foundation/UserDefaults.h"
#include "support/FakeBusinessUser.h"
#include "support/TestBusinessFacade.h"
#include "support/TestEnvironment.h"

namespace {

// The name follows the id, so a test can tell users apart by either.
std::shared_ptr<FakeBusinessUser> namedUser(const QString& id) {
    return std::make_shared<FakeBusinessUser>(id, QStringLiteral("user-") + id);
}

TEST(UserControllerTest, UpdateFollowsTheFacadesUser) {
    ScopedTestBusinessFacade env(QStringLiteral("user"));
    UserController controller;
    controller.setIsAvailable(true);
    controller.setIsOnboarding(true);

    controller.update();  // nobody signed in: the onboarding flag goes, availability stays
    EXPECT_FALSE(controller.user());
    EXPECT_FALSE(controller.isLoggedIn());
    EXPECT_FALSE(controller.isOnboarding());
    EXPECT_TRUE(controller.isAvailable());

    int loggedInSignals = 0;
    QObject::connect(&controller, &UserController::isLoggedInChanged, [&] { ++loggedInSignals; });
    env.facade().user = namedUser(QStringLiteral("acc-7"));
    controller.update();
    ASSERT_TRUE(controller.user());
    EXPECT_EQ(controller.user()->accountId(), QStringLiteral("acc-7"));
    EXPECT_TRUE(controller.isLoggedIn());
    EXPECT_EQ(loggedInSignals, 1);
}

TEST(UserControllerTest, SignInRestoresTheAccountsSyncRootOrTheRealHome) {
    ScopedTestBusinessFacade env(QStringLiteral("syncroot"));
    UserDefaults::standard().setObject(QStringLiteral("acc-known"), QStringLiteral("/dev/shm/somewhere"));
    UserController controller;
    const struct {
        const char* account;
        QString expected;
    } cases[] = {{"acc-known", QStringLiteral("/dev/shm/somewhere")},
                 {"acc-new", SettingsController::realHomeDirectory()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.account);
        env.settings().setSyncRoot(QStringLiteral("/elsewhere"));
        env.facade().user = namedUser(QString::fromLatin1(c.account));
        controller.update();
        EXPECT_EQ(env.settings().syncRoot(), c.expected);
    }
    // The real home comes from the password database, not from $HOME (tests point it elsewhere).
    EXPECT_NE(SettingsController::realHomeDirectory(), qEnvironmentVariable("HOME"));
    UserDefaults::standard().removeObject(QStringLiteral("acc-known"));
}

struct LogoutCase {
    const char* name;
    bool succeeds;
    bool controllerGone;
    bool fromOtherThread;
};

class FinishLogout : public ::testing::TestWithParam<LogoutCase> {};

TEST_P(FinishLogout, CleansUpWhateverTheResult) {
    const LogoutCase& c = GetParam();
    ScopedTestBusinessFacade env(QStringLiteral("logout"));
    env.settings().setNextBackupDate(QDateTime::currentDateTimeUtc());
    // The layers above clear their part when told; the delegate's tests check what they clear.
    std::optional<bool> announced;
    struct CleanupScope {
        explicit CleanupScope(std::optional<bool>& announced) {
            UserController::setLogoutCleanup([&announced](bool controllerAlive) { announced = controllerAlive; });
        }
        ~CleanupScope() { UserController::setLogoutCleanup({}); }
    } cleanupScope(announced);

    auto controller = std::make_unique<UserController>();
    env.facade().user = namedUser(QStringLiteral("acc-1"));
    controller->update();
    controller->setIsLogoutInProgress(true);
    env.facade().user.reset();  // the facade has logged out

    QPointer<UserController> weak(controller.get());
    if (c.controllerGone) controller.reset();
    std::optional<bool> reported;
    const VoidResult result = c.succeeds ? VoidResult(Success{}) : VoidResult(BusinessError::make(BusinessError::Kind::timeout));
    bool announcedFirst = false;
    auto finish = [&] {
        UserController::finishLogout(weak, result, [&](bool ok) {
            reported = ok;
            announcedFirst = announced.has_value();
        });
    };
    if (c.fromOtherThread) {
        std::unique_ptr<QThread> t(QThread::create(finish));
        t->start();
        t->wait();
    } else {
        finish();
    }
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return reported.has_value(); }));
    EXPECT_EQ(*reported, c.succeeds);
    EXPECT_FALSE(env.settings().nextBackupDate());
    EXPECT_TRUE(announcedFirst);
    // The sidebar entry goes with a controller that is still there to say whose it was.
    ASSERT_TRUE(announced.has_value());
    EXPECT_EQ(*announced, !c.controllerGone);
    if (controller) {
        EXPECT_FALSE(controller->isLogoutInProgress());
        EXPECT_FALSE(controller->isLoggedIn());
        EXPECT_FALSE(controller->user());
    }
}

INSTANTIATE_TEST_SUITE_P(Core, FinishLogout,
                         ::testing::Values(LogoutCase{"success", true, false, false},
                                           LogoutCase{"failureStillCleansUp", false, false, false},
                                           LogoutCase{"controllerGone", true, true, false},
                                           LogoutCase{"completionOnFrameworkThread", false, false, true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
