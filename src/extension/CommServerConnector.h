#pragma once

#include <QString>

#include <memory>
#include <optional>

#include "extension/CommServerConnectorDelegate.h"

class MessagePort;

// Registers this extension instance with the application, and again whenever the application goes
// away and comes back. Every retry is a one-shot delayed call on the main queue. One per process.
class CommServerConnector {
public:
    static CommServerConnector& shared();

    CommServerConnectorDelegate* delegate() const { return delegate_; }
    void setDelegate(CommServerConnectorDelegate* delegate) { delegate_ = delegate; }
    std::optional<QString> localPortName() const { return localPortName_; }
    void setLocalPortName(const std::optional<QString>& name) { localPortName_ = name; }

    // The wait before a new attempt; 5 s.
    int retryDelayMs() const { return retryDelayMs_; }
    void setRetryDelayMs(int delayMs) { retryDelayMs_ = delayMs; }

    void connect();
    void sendLocalPortName(const std::shared_ptr<MessagePort>& serverPort);
    void scheduleReconnect();

private:
    CommServerConnectorDelegate* delegate_ = nullptr;
    std::optional<QString> localPortName_;
    int retryDelayMs_ = 5000;
    // Held so that the application going away is noticed: a port nobody holds reports nothing.
    std::shared_ptr<MessagePort> registrationPort_;
};
