#include "app/core/ReachabilityController.h"

#include "app/core/BusinessFacadeHolder.h"
#include "platform/foundation/MainQueue.h"

ConnectivityManager& OVReachabilityControllerDependencyProvider::connectivityManager() const {
    return BusinessFacadeHolder::facade().connectivityManager();
}

ReachabilityController::ReachabilityController(QObject* parent)
    : ReachabilityController(OVReachabilityControllerDependencyProvider(), parent) {}

ReachabilityController::ReachabilityController(const ReachabilityControllerDependencyProvider& provider,
                                               QObject* parent)
    : QObject(parent), manager_(&provider.connectivityManager()) {
    isConnected_ = manager_->isConnected();
    try {
        manager_->addSubscriber(this);
    } catch (const ConnectivityError&) {
        // Without a subscription the first value stays; nothing the user can act on.
    }
}

ReachabilityController::~ReachabilityController() {
    if (manager_) manager_->removeSubscriber(connectivityManagerIdentifier_);
}

void ReachabilityController::setIsConnected(bool value) {
    if (isConnected_ == value) return;
    isConnected_ = value;
    emit isConnectedChanged();
}

void ReachabilityController::connectivityChanged(ConnectivityManager& manager) {
    // The manager may notify from any thread; observers and the delegate live on the main thread.
    const bool connected = manager.isConnected();
    QPointer<ReachabilityController> self(this);
    MainQueue::runOrAsync([self, connected] {
        if (!self) return;
        self->setIsConnected(connected);
        if (self->delegate_) self->delegate_->reachabilityChanged(*self, connected);
    });
}
