#pragma once

#include <QObject>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>

#include "app/core/AppError.h"
#include "frameworks/business/BusinessError.h"
#include "frameworks/business/ConnectivityManager.h"

class UserController;
class WorkItem;

// Who is told what the connections settle. Given at construction, since the first connect may
// already answer inside the constructor.
struct BusinessFrameworkControllerConnectClient {
    // After every answer to a connect, retried or not: whether someone is signed in now (the
    // extension follows it). Main thread.
    std::function<void(bool isLoggedIn)> signedInStateSettled;
};

// Connects the business facade for the signed-in user, retries a failed connection, resets the
// session the service no longer accepts, and reconnects when the network returns. A keyring that
// cannot be read is told to the user once and neither retried nor reset.
class BusinessFrameworkController : public QObject, public ConnectivityChangeSubscriber {
    Q_OBJECT

public:
    // Runs the work item after the delay on the main thread; tests drive it by hand.
    using Scheduler = std::function<void(int delayMs, std::shared_ptr<WorkItem> item)>;
    // Empty on success.
    using Completion = std::function<void(std::optional<AppError> error)>;

    static constexpr int retryDelayMs = 10000;
    static constexpr int maximumRetries = 5;

    BusinessFrameworkController(UserController& userController, BusinessFrameworkControllerConnectClient connectClient,
                                QObject* parent = nullptr, Scheduler scheduler = {});
    ~BusinessFrameworkController() override;

    // `retryCount` is 0 for every outside call.
    void connect(int retryCount = 0, Completion completion = {});
    bool isConnecting() const { return isConnecting_; }
    bool hasPendingRetry() const;

    QUuid identifier() const override { return connectivityManagerIdentifier_; }
    // May be called on any thread.
    void connectivityChanged(ConnectivityManager& manager) override;

private:
    void startConnect(int retryCount, Completion completion);
    void handleUserConnected(const VoidResult& result, int retryCount, Completion completion);

    UserController& userController_;
    BusinessFrameworkControllerConnectClient connectClient_;
    Scheduler scheduler_;
    QMetaObject::Connection observation_;
    QUuid connectivityManagerIdentifier_ = QUuid::createUuid();
    ConnectivityManager* subscribedManager_ = nullptr;
    std::weak_ptr<WorkItem> retryWorkItem_;
    bool isConnecting_ = false;
    bool keychainUnavailableTold_ = false;
};
