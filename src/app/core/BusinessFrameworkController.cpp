#include "app/core/BusinessFrameworkController.h"

#include <QPointer>

#include "app/common/AppActions.h"
#include "app/common/LogChannels.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/SettingsController.h"
#include "app/core/UserController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/foundation/MainQueue.h"
#include "platform/foundation/MainQueueWorkItem.h"

namespace {

bool isSessionInvalid(const BusinessError& error) {
    return error.kind == BusinessError::Kind::invalidSession ||
           (error.kind == BusinessError::Kind::api && error.apiError == APIError::unauthorized);
}

}  // namespace

BusinessFrameworkController::BusinessFrameworkController(UserController& userController,
                                                         BusinessFrameworkControllerConnectClient connectClient,
                                                         QObject* parent, Scheduler scheduler)
    : QObject(parent),
      userController_(userController),
      connectClient_(std::move(connectClient)),
      scheduler_(scheduler ? std::move(scheduler) : Scheduler([](int delayMs, std::shared_ptr<WorkItem> item) {
          MainQueue::asyncAfter(delayMs, std::move(item));
      })) {
    ConnectivityManager& manager = BusinessFacadeHolder::facade().connectivityManager();
    try {
        manager.addSubscriber(this);
        subscribedManager_ = &manager;
        OVLOG_INFO(AppLog::setup(), QStringLiteral("Framework setup successful."));
    } catch (const ConnectivityError&) {
        OVLOG_ERROR(AppLog::setup(), QStringLiteral("Error on framework setup."));
        Alert alert;
        alert.runModal();
    }
}

BusinessFrameworkController::~BusinessFrameworkController() {
    if (auto item = retryWorkItem_.lock()) item->cancel();
    if (subscribedManager_) subscribedManager_->removeSubscriber(identifier());
}

bool BusinessFrameworkController::hasPendingRetry() const {
    auto item = retryWorkItem_.lock();
    return item && !item->isCancelled() && item->performCount() == 0;
}

void BusinessFrameworkController::connectivityChanged(ConnectivityManager& manager) {
    if (!manager.isConnected()) return;
    // The manager tells its subscribers on any thread; connecting belongs on the main one.
    QPointer<BusinessFrameworkController> self(this);
    MainQueue::runOrAsync([self] {
        if (self) self->connect(0);
    });
}

void BusinessFrameworkController::connect(int retryCount, Completion completion) {
    if (isConnecting_) {
        if (completion) completion(AppError(BusinessError::genericError(QStringLiteral("Connect already happening"))));
        return;
    }
    if (auto pending = retryWorkItem_.lock()) pending->cancel();
    startConnect(retryCount, std::move(completion));
}

void BusinessFrameworkController::startConnect(int retryCount, Completion completion) {
    isConnecting_ = true;
    QPointer<BusinessFrameworkController> self(this);
    BusinessFacadeHolder::facade().connect(
        ConnectAPIOptions::all, [self, retryCount, completion = std::move(completion)](VoidResult result) {
            // The facade answers on its own queue; the connection state and the user live on the main one.
            MainQueue::runOrAsync([self, retryCount, completion, result] {
                if (self) self->handleUserConnected(result, retryCount, completion);
            });
        });
}

void BusinessFrameworkController::handleUserConnected(const VoidResult& result, int retryCount, Completion completion) {
    isConnecting_ = false;
    const bool sessionInvalid = !result.isSuccess() && isSessionInvalid(result.error());

    if (!result.isSuccess() && !sessionInvalid) {
        const BusinessError& error = result.error();
        const AppError appError(error);
        if (error.kind == BusinessError::Kind::noConnection) {
            OVLOG_ERROR(AppLog::setup(), QStringLiteral("Connecting received no connection error"));
            if (completion) completion(appError);
        } else if (error.kind == BusinessError::Kind::keychainUnavailable) {
            // Asking again would only ask the user to unlock again: this launch stays signed out,
            // told once, and a sign-in or the next launch tries the keyring anew.
            OVLOG_ERROR(AppLog::setup(), QStringLiteral("Connecting found the keyring unavailable"));
            if (!keychainUnavailableTold_) {
                keychainUnavailableTold_ = true;
                presentError(appError);
            }
            if (completion) completion(appError);
        } else if (retryCount >= maximumRetries) {
            if (error.kind != BusinessError::Kind::timeout && !userController_.user()) presentError(appError);
            if (completion) completion(appError);
        } else {
            QPointer<BusinessFrameworkController> self(this);
            auto item = std::make_shared<WorkItem>([self, retryCount, completion] {
                if (self) self->startConnect(retryCount + 1, completion);
            });
            retryWorkItem_ = item;
            scheduler_(retryDelayMs, item);
        }
    } else if (auto user = BusinessFacadeHolder::facade().currentUser()) {
        userController_.setIsAvailable(true);
        userController_.update();
        OVLOG_DEBUG(AppLog::setup(), QStringLiteral("Logged in as '%1'").arg(user->accountId()));
        QObject::disconnect(observation_);
        QPointer<BusinessFrameworkController> self(this);
        observation_ = QObject::connect(&userController_, &UserController::isLoggedInChanged, this, [self] {
            if (!self || !self->userController_.user())
                SettingsController().settings()->setIsAlreadyLaunched(false);
        });
        if (completion) completion(std::nullopt);
    } else if (result.isSuccess()) {
        userController_.setIsAvailable(true);
        if (completion) completion(std::nullopt);
    } else {
        Application::shared().sendAction(AppAction::resetUserSession, this);
        if (completion) completion(AppError(result.error()));
    }

    if (connectClient_.signedInStateSettled) connectClient_.signedInStateSettled(userController_.isLoggedIn());
}
