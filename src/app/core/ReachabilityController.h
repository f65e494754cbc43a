#pragma once

#include <QObject>
#include <QPointer>
#include <QUuid>

#include <functional>

#include "frameworks/business/ConnectivityManager.h"

class ReachabilityController;

class ReachabilityControllerDelegate {
public:
    virtual ~ReachabilityControllerDelegate() = default;
    virtual void reachabilityChanged(ReachabilityController& controller, bool isConnected) = 0;
};

// Supplies the connectivity manager a reachability controller reads.
class ReachabilityControllerDependencyProvider {
public:
    virtual ~ReachabilityControllerDependencyProvider() = default;
    virtual ConnectivityManager& connectivityManager() const = 0;
};

// The business facade's connectivity manager.
class OVReachabilityControllerDependencyProvider final : public ReachabilityControllerDependencyProvider {
public:
    ConnectivityManager& connectivityManager() const override;
};

// Tells its owner whether the service can be reached, from the framework's connectivity manager.
class ReachabilityController : public QObject, public ConnectivityChangeSubscriber {
    Q_OBJECT
    Q_PROPERTY(bool isConnected READ isConnected WRITE setIsConnected NOTIFY isConnectedChanged)

public:
    explicit ReachabilityController(QObject* parent = nullptr);
    explicit ReachabilityController(const ReachabilityControllerDependencyProvider& provider,
                                    QObject* parent = nullptr);
    ~ReachabilityController() override;

    bool isConnected() const { return isConnected_; }
    void setIsConnected(bool value);
    void setDelegate(ReachabilityControllerDelegate* delegate) { delegate_ = delegate; }
    ReachabilityControllerDelegate* delegate() const { return delegate_; }

    QUuid identifier() const override { return connectivityManagerIdentifier_; }
    void connectivityChanged(ConnectivityManager& manager) override;

signals:
    void isConnectedChanged();

private:
    ReachabilityControllerDelegate* delegate_ = nullptr;
    QUuid connectivityManagerIdentifier_ = QUuid::createUuid();
    ConnectivityManager* manager_ = nullptr;
    bool isConnected_ = false;
};
