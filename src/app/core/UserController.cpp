#include "app/core/UserController.h"

#include "app/common/LogChannels.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/ObjCUser.h"
#include "app/core/SettingsController.h"
#include "platform/foundation/MainQueue.h"
#include "frameworks/settings/OrvellaSettingsManager.h"

namespace {

UserController::LogoutCleanup& logoutCleanup() {
    static UserController::LogoutCleanup cleanup;
    return cleanup;
}

}  // namespace

UserController::UserController(QObject* parent) : QObject(parent) {}

void UserController::setLogoutCleanup(LogoutCleanup cleanup) { logoutCleanup() = std::move(cleanup); }

#define OV_SETTER(name, field, signal) \
    void UserController::name(bool value) { \
        if (field == value) return; \
        field = value; \
        emit signal(); \
    }
OV_SETTER(setIsAvailable, isAvailable_, isAvailableChanged)
OV_SETTER(setIsLoggedIn, isLoggedIn_, isLoggedInChanged)
OV_SETTER(setIsOnboarding, isOnboarding_, isOnboardingChanged)
OV_SETTER(setIsLogoutInProgress, isLogoutInProgress_, isLogoutInProgressChanged)
#undef OV_SETTER

void UserController::update() {
    auto current = BusinessFacadeHolder::facade().currentUser();
    if (current) {
        const QString accountId = current->accountId();
        OVLOG_INFO(AppLog::gui(), QStringLiteral("Current user: ") + accountId);
        user_ = std::make_shared<ObjCUser>(*current);
        emit userChanged();
        setIsLoggedIn(true);
        SettingsController().restoreSyncRoot(accountId);
    } else {
        const bool hadUser = user_ != nullptr;
        user_.reset();
        if (hadUser) emit userChanged();
        setIsLoggedIn(false);
        setIsOnboarding(false);
    }
}

void UserController::finishLogout(QPointer<UserController> controller, const VoidResult& result,
                                  std::function<void(bool)> completion) {
    MainQueue::runOrAsync([controller, succeeded = result.isSuccess(), completion = std::move(completion)] {
        if (controller) {
            controller->setIsLogoutInProgress(false);
            controller->update();
        }
        SettingsController().settings()->setNextBackupDate(std::nullopt);
        if (const LogoutCleanup& cleanup = logoutCleanup()) cleanup(controller != nullptr);
        if (completion) completion(succeeded);
    });
}
