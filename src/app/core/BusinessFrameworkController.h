#pragma once

#include <QObject>
#include <QUuid>

#include <functional>

#include "frameworks/business/BusinessError.h"
#include "frameworks/business/ConnectivityManager.h"

class UserController;

struct BusinessFrameworkControllerConnectClient {};

// Connects the business facade for the signed-in user and reconnects when the network returns.
class BusinessFrameworkController : public QObject, public ConnectivityChangeSubscriber {
    Q_OBJECT

public:
    BusinessFrameworkController(UserController& userController, BusinessFrameworkControllerConnectClient connectClient,
                                QObject* parent = nullptr);
    ~BusinessFrameworkController() override;

    void connect(int retryCount = 0, std::function<void(VoidResult)> completion = {});
    bool isConnecting() const { return isConnecting_; }

    QUuid identifier() const override { return connectivityManagerIdentifier_; }
    void connectivityChanged(ConnectivityManager& manager) override;

private:
    void handleUserConnected(const VoidResult& result, std::function<void(VoidResult)> completion);

    UserController& userController_;
    BusinessFrameworkControllerConnectClient connectClient_;
    QUuid connectivityManagerIdentifier_ = QUuid::createUuid();
    bool subscribed_ = false;
    bool isConnecting_ = false;
};
