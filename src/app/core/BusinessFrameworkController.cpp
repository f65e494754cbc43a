#include "app/core/BusinessFrameworkController.h"

#include <QPointer>

#include "app/common/LogChannels.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/UserController.h"
#include "platform/appkit/Alert.h"
#include "platform/foundation/MainQueue.h"

BusinessFrameworkController::BusinessFrameworkController(UserController& userController,
                                                         BusinessFrameworkControllerConnectClient connectClient,
                                                         QObject* parent)
    : QObject(parent), userController_(userController), connectClient_(connectClient) {
    try {
        BusinessFacadeHolder::facade().connectivityManager().addSubscriber(this);
        subscribed_ = true;
        OVLOG_INFO(AppLog::setup(), QStringLiteral("Framework setup successful."));
    } catch (const ConnectivityError&) {
        OVLOG_ERROR(AppLog::setup(), QStringLiteral("Error on framework setup."));
        Alert alert;
        alert.runModal();
    }
}

BusinessFrameworkController::~BusinessFrameworkController() {
    if (subscribed_) BusinessFacadeHolder::facade().connectivityManager().removeSubscriber(identifier());
}

void BusinessFrameworkController::connectivityChanged(ConnectivityManager& manager) {
    if (!manager.isConnected()) return;
    QPointer<BusinessFrameworkController> self(this);
    MainQueue::runOrAsync([self] {
        if (self) self->connect(0);
    });
}

void BusinessFrameworkController::connect(int, std::function<void(VoidResult)> completion) {
    if (isConnecting_) {
        if (completion) completion(BusinessError::genericError(QStringLiteral("Connect already happening")));
        return;
    }
    isConnecting_ = true;
    QPointer<BusinessFrameworkController> self(this);
    BusinessFacadeHolder::facade().connect(ConnectAPIOptions::all, [self, completion](VoidResult result) {
        // The facade may answer on its own queue; the controller's state lives on the main thread.
        MainQueue::runOrAsync([self, completion, result] {
            if (self) self->handleUserConnected(result, completion);
        });
    });
}

void BusinessFrameworkController::handleUserConnected(const VoidResult& result,
                                                      std::function<void(VoidResult)> completion) {
    isConnecting_ = false;
    if (result.isSuccess()) {
        userController_.setIsAvailable(true);
        userController_.update();
        if (auto user = userController_.user())
            OVLOG_DEBUG(AppLog::setup(), QStringLiteral("Logged in as '%1'").arg(user->accountId()));
    }
    if (completion) completion(result);
}
