#include "platform/instance/SingleInstance.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <thread>

#include "platform/foundation/MainQueue.h"
#include "platform/messageport/MessagePort.h"

namespace {

constexpr std::int32_t requestMessageId = 1;
const QByteArray accepted(1, '\1');
const QByteArray refused(1, '\0');

}  // namespace

struct SingleInstance::Inbox {
    std::deque<InstanceRequest> pending;
    Handler handler;

    // Answers at once; the handler runs later, so that the sender never waits on it.
    QByteArray receive(const std::shared_ptr<Inbox>& self, const QByteArray& data) {
        auto request = InstanceRequest::decode(data);
        if (!request) {
            qWarning("SingleInstance: refused a malformed request of %lld bytes", static_cast<long long>(data.size()));
            return refused;
        }
        pending.push_back(std::move(*request));
        deliverLater(self);
        return accepted;
    }

    void deliverLater(const std::shared_ptr<Inbox>& self) {
        MainQueue::async([weak = std::weak_ptr<Inbox>(self)] {
            const auto inbox = weak.lock();
            while (inbox && inbox->handler && !inbox->pending.empty()) {
                const InstanceRequest request = std::move(inbox->pending.front());
                inbox->pending.pop_front();
                inbox->handler(request);
            }
        });
    }
};

SingleInstance::SingleInstance(std::shared_ptr<MessagePort> port, std::shared_ptr<Inbox> inbox)
    : port_(std::move(port)), inbox_(std::move(inbox)) {}

SingleInstance::~SingleInstance() = default;

void SingleInstance::setHandler(Handler handler) {
    inbox_->handler = std::move(handler);
    inbox_->deliverLater(inbox_);
}

SingleInstance::Claim SingleInstance::claim(const QString& name, const InstanceRequest& request, int timeoutMs) {
    using Clock = std::chrono::steady_clock;
    QString error;
    if (!MessagePort::isValidName(name)) return {Status::unavailable, nullptr, QStringLiteral("invalid name ") + name};
    if (!MessagePort::portsDirectory(&error)) return {Status::unavailable, nullptr, error};

    auto inbox = std::make_shared<Inbox>();
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    const auto secondsLeft = [&] {
        return std::max(0.0, std::chrono::duration<double>(deadline - Clock::now()).count());
    };
    for (;;) {
        const auto answer = [weak = std::weak_ptr<Inbox>(inbox)](std::int32_t, const QByteArray& data) {
            const auto inbox = weak.lock();
            return std::optional<QByteArray>(inbox ? inbox->receive(inbox, data) : refused);
        };
        auto port = MessagePort::createLocal(name, MessagePort::Callback(answer));
        if (port) {
            if (request.command != InstanceRequest::Command::activate) inbox->pending.push_back(request);
            return {Status::owner, std::unique_ptr<SingleInstance>(new SingleInstance(std::move(port), inbox)), {}};
        }
        // Someone holds the name. Until its port listens (it may be claiming right now), or after
        // it went away between our two attempts, try again.
        if (const auto remote = MessagePort::createRemote(name)) {
            const auto encoded = request.encode();
            if (!encoded) return {Status::refused, nullptr, QStringLiteral("the request is too large to hand over")};
            const MessagePortReply reply =
                remote->sendRequest(requestMessageId, *encoded, secondsLeft(), secondsLeft(), true);
            if (reply.result == MessagePortResult::success && reply.data == accepted)
                return {Status::handedOver, nullptr, {}};
            if (reply.result == MessagePortResult::success)
                return {Status::refused, nullptr, QStringLiteral("the running instance refused the request")};
            if (reply.result == MessagePortResult::sendTimeout || reply.result == MessagePortResult::receiveTimeout)
                break;
        }
        if (Clock::now() >= deadline) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {Status::ownerNotAnswering, nullptr, QStringLiteral("the running instance does not answer")};
}
