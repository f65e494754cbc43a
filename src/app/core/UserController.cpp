#include "app/core/UserController.h"

#include "app/common/LogChannels.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/SettingsController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"

UserController::UserController(QObject* parent) : QObject(parent) {}

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
        user_ = current;
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

void UserController::finishLogout(const VoidResult& result, std::function<void(bool)> completion) {
    setIsLogoutInProgress(false);
    update();
    SettingsController().settings()->setNextBackupDate(std::nullopt);
    if (completion) completion(result.isSuccess());
}
