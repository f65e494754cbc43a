#pragma once

#include <QString>

#include <functional>
#include <memory>

#include "platform/instance/InstanceRequest.h"

class MessagePort;

// One running instance of a program per name. The first start claims the name and owns a port
// in the user's owner-only ports folder (see MessagePort); any later start hands its request to
// the owner and learns whether it was taken. Claiming is decided by the port's lock, so of two
// starts at the same moment exactly one owns the name, and a port left behind by an instance
// that died is taken over.
//
// Claim on the main thread. Requests reach the handler there, after the sender has had its answer,
// so that a handler that opens a modal window never keeps a second start waiting.
class SingleInstance {
public:
    enum class Status {
        // This process owns the name.
        owner,
        // The running instance took the request.
        handedOver,
        // An instance holds the name but did not take the request in time (hung or stopped).
        ownerNotAnswering,
        // The running instance turned the request down, or it was too large to send.
        refused,
        // Nothing could be decided: the name is invalid or the ports folder unsafe.
        unavailable,
    };
    struct Claim {
        Status status = Status::unavailable;
        // Set for the owner; the name stays claimed while it lives.
        std::unique_ptr<SingleInstance> instance;
        QString error;
    };
    using Handler = std::function<void(const InstanceRequest&)>;

    // Claims `name` (a valid message-port name) or hands `request` to its owner, within
    // `timeoutMs` overall. The owner keeps its own request for the handler unless it only asks
    // to activate: a first start is in front anyway.
    static Claim claim(const QString& name, const InstanceRequest& request, int timeoutMs = 5000);

    // Requests that arrived before a handler was set are delivered to it, in order.
    void setHandler(Handler handler);

    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    struct Inbox;

private:
    SingleInstance(std::shared_ptr<MessagePort> port, std::shared_ptr<Inbox> inbox);
    std::shared_ptr<MessagePort> port_;
    std::shared_ptr<Inbox> inbox_;
};
