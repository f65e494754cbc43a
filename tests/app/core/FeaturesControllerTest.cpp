#include <gtest/gtest.h>


#include <memory>
#include <optional>

#include "app/core/FeaturesController.h"
#include "app/core/UserController.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/core/support/TestBusinessUser.h"

namespace {

std::shared_ptr<TestBusinessUser> userWith(std::optional<OVFeatureSet> set, const QString& accountId = "acc-1") {
    auto user = std::make_shared<TestBusinessUser>(accountId);
    user->featureSet = std::move(set);
    return user;
}

TEST(FeaturesControllerTest, creationTakesTheCurrentUsersFeaturesOrAnEmptySet) {
    const struct {
        const char* name;
        bool signedIn;
        std::optional<OVFeatureSet> set;
        bool backupMember;
        bool backupEnabled;
    } cases[] = {
        {"nobody", false, std::nullopt, false, false},
        {"user_without_features", true, std::nullopt, false, false},
        {"backup_enabled", true, OVFeatureSet{true, std::nullopt, std::nullopt}, true, true},
        {"backup_disabled", true, OVFeatureSet{false, true, std::nullopt}, true, false},
        {"no_backup_part", true, OVFeatureSet{std::nullopt, true, OVFeatureSet::Sharing{true, true, true}}, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedTestBusinessFacade facade(QStringLiteral("features"));
        if (c.signedIn) facade.facade().user = userWith(c.set);
        UserController userController;
        const FeaturesController controller(userController);
        // Never none before the first sign-out.
        ASSERT_TRUE(controller.features());
        EXPECT_EQ(controller.features()->backup() != nullptr, c.backupMember);
        EXPECT_EQ(controller.isBackupEnabled(), c.backupEnabled);
        const bool sharing = c.set && c.set->sharing;
        EXPECT_EQ(controller.features()->sharing() != nullptr, sharing);
    }
}

TEST(FeaturesControllerTest, followsSignInSwitchAndSignOut) {
    ScopedTestBusinessFacade facade(QStringLiteral("features"));
    UserController userController;
    FeaturesController controller(userController);
    int changes = 0;
    QObject::connect(&controller, &FeaturesController::featuresChanged, [&] { ++changes; });
    ASSERT_FALSE(controller.isBackupEnabled());

    facade.facade().user = userWith(OVFeatureSet{true, std::nullopt, std::nullopt});
    userController.update();
    ASSERT_TRUE(controller.features());
    EXPECT_TRUE(controller.isBackupEnabled());
    EXPECT_EQ(changes, 1);

    facade.facade().user = userWith(OVFeatureSet{std::nullopt, false, std::nullopt}, QStringLiteral("acc-2"));
    userController.update();
    ASSERT_TRUE(controller.features());
    EXPECT_FALSE(controller.features()->backup()) << "a missing backup part is no member, not a disabled one";
    ASSERT_TRUE(controller.features()->encryption());
    EXPECT_FALSE(controller.features()->encryption()->isEnabled());
    EXPECT_FALSE(controller.isBackupEnabled());

    facade.facade().user.reset();
    userController.update();
    EXPECT_FALSE(controller.features()) << "nothing after a sign-out";
    EXPECT_FALSE(controller.isBackupEnabled());
    EXPECT_EQ(changes, 3);
}

}  // namespace
