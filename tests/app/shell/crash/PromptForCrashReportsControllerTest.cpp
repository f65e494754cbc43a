#include <gtest/gtest.h>

#include <QScopeGuard>
#include <QTemporaryDir>

#include <QTemporaryDir>

#include "app/shell/crash/AppCenterSDK.h"
#include "app/shell/crash/PromptForCrashReportsController.h"
#include "frameworks/logger/Logger.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/appkit/Alert.h"

namespace {

struct PromptCase {
    const char* name;
    bool prompted;
    bool enabled;
    int answer;  // the button the user picks, when asked
    bool expectAsked;
    bool expectEnabled;
};

class PromptForCrashReports : public ::testing::TestWithParam<PromptCase> {
protected:
    void TearDown() override { Alert::setResponder(nullptr); }
};

TEST_P(PromptForCrashReports, AsksOnceAndStoresTheAnswer) {
    const PromptCase& c = GetParam();
    OrvellaSettingsManager settings(QStringLiteral("prompt.") + c.name);
    settings.setHasPromptedToSendCrashReports(c.prompted);
    settings.setCrashReportsEnabled(c.enabled);

    std::vector<QString> asked;
    Alert::setResponder([&](const Alert& alert) {
        asked.push_back(alert.messageText());
        return c.answer;
    });
    std::vector<QString> order;
    PromptForCrashReportsController controller(OVPromptForCrashReportsControllerProvider{&settings});
    controller.promptIfNeeded([&] { order.push_back(QStringLiteral("completion")); });

    EXPECT_EQ(asked.size(), c.expectAsked ? 1u : 0u);
    EXPECT_EQ(order, std::vector<QString>{QStringLiteral("completion")});
    EXPECT_TRUE(settings.hasPromptedToSendCrashReports());
    EXPECT_EQ(settings.crashReportsEnabled(), c.expectEnabled);
    EXPECT_FALSE(controller.isShowingPrompt());

    // Settled now: a second request never asks again.
    controller.promptIfNeeded([&] { order.push_back(QStringLiteral("again")); });
    EXPECT_EQ(asked.size(), c.expectAsked ? 1u : 0u);
    EXPECT_EQ(order.back(), QStringLiteral("again"));
}

INSTANTIATE_TEST_SUITE_P(
    Shell, PromptForCrashReports,
    ::testing::Values(PromptCase{"yes", false, false, Alert::FirstButtonReturn, true, true},
                      PromptCase{"no", false, false, Alert::SecondButtonReturn, true, false},
                      PromptCase{"closed", false, false, -1, true, false},
                      PromptCase{"alreadyPrompted", true, false, Alert::FirstButtonReturn, false, false},
                      PromptCase{"alreadyEnabled", false, true, Alert::SecondButtonReturn, false, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PromptForCrashReportsTest, CompletionsQueuedWhileAskingRunInOrderAfterTheAnswer) {
    OrvellaSettingsManager settings(QStringLiteral("prompt.queue"));
    settings.setHasPromptedToSendCrashReports(false);
    settings.setCrashReportsEnabled(false);
    std::vector<int> order;
    PromptForCrashReportsController* controllerPtr = nullptr;
    Alert::setResponder([&](const Alert&) {
        // Someone else queues behind the prompt while it shows.
        EXPECT_TRUE(controllerPtr->isShowingPrompt());
        controllerPtr->appendCompletion([&] { order.push_back(2); });
        return Alert::FirstButtonReturn;
    });
    PromptForCrashReportsController controller(OVPromptForCrashReportsControllerProvider{&settings});
    controllerPtr = &controller;
    controller.promptIfNeeded([&] { order.push_back(1); });
    Alert::setResponder(nullptr);
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(AppCenterSDKTest, StartsOnlyWithConsentAndAttachesTheLogText) {
    QTemporaryDir dir(QStringLiteral("/dev/shm/crashsvc-XXXXXX"));
    CrashService::shared().resetForTesting();
    CrashService::shared().setFolders(dir.filePath(QStringLiteral("pending")), dir.filePath(QStringLiteral("service")));
    // Whatever this test starts is stopped again, or the crash handler it installs outlives it.
    const auto reset = qScopeGuard([] { CrashService::shared().resetForTesting(); });
    AppCenterSDK::start(QStringLiteral("secret"), false, true);
    EXPECT_FALSE(CrashService::shared().isStarted());
    ASSERT_TRUE(AppCenterSDK::currentDelegate());

    Logger::removeAllLogFiles();
    auto attachment = AppCenterSDK::currentDelegate()->attachmentForCrashReport();
    ASSERT_TRUE(attachment);
    EXPECT_EQ(attachment->fileName, QStringLiteral("KVTLogger.log"));
    EXPECT_EQ(attachment->text, QStringLiteral("No Log found"));

    AppCenterSDK::start(QStringLiteral("secret"), true, false);
    EXPECT_TRUE(CrashService::shared().isEnabled());
    EXPECT_EQ(CrashService::shared().secret(), QStringLiteral("secret"));
    EXPECT_FALSE(AppCenterSDK::currentDelegate()->attachmentForCrashReport());
}

TEST(AppCenterSDKTest, SecretComesFromTheCallerElseTheInformationKey) {
    EXPECT_EQ(AppCenterSDK::appSecret(QString()), QString());
    EXPECT_EQ(AppCenterSDK::appSecret(QStringLiteral("given")), QStringLiteral("given"));
    EXPECT_EQ(AppCenterSDK::appSecret(std::nullopt), QStringLiteral("00000000-0000-0000-0000-000000000000"));
}

}  // namespace
