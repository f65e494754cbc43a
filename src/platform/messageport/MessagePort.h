#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

// Named ports between processes of one user, for short request/reply exchanges.
//
// A local port is served by the process that created it: each request (a message id and its
// bytes) reaches the callback on the thread that created the port, through that thread's event
// loop, one at a time. A remote port is a connection to a local port of that name; it stays valid
// while the owner serves the port, and its holder can learn when that ends.
//
// Ports are AF_UNIX SOCK_SEQPACKET sockets in a folder only the user can enter
// ($XDG_RUNTIME_DIR/orvella-ports). One packet carries one message: a small header (id, sequence
// number, flags) and the payload, so that "no reply" and "an empty reply" stay apart.
namespace MessagePortResult {
inline constexpr std::int32_t success = 0;
inline constexpr std::int32_t sendTimeout = -1;
inline constexpr std::int32_t receiveTimeout = -2;
inline constexpr std::int32_t isInvalid = -3;
inline constexpr std::int32_t transportError = -4;
inline constexpr std::int32_t becameInvalid = -5;
}  // namespace MessagePortResult

struct MessagePortReply {
    std::int32_t result = MessagePortResult::success;
    // The answer's bytes; none when nobody asked for one or the server answered none.
    std::optional<QByteArray> data;
};

class MessagePort {
public:
    // Answers a request: the bytes to send back, or none.
    using Callback = std::function<std::optional<QByteArray>(std::int32_t messageId, const QByteArray& data)>;

    // The largest payload a message may carry; larger sends fail with a transport error.
    static constexpr int maximumPayloadSize = 128 * 1024;
    static constexpr int maximumNameLength = 64;

    // Opens a local port and serves it on the calling thread's event loop. None when the name is
    // not valid, the ports folder is unsafe, or a live process already serves the name. A socket
    // left behind by a process that died is removed and the name taken over.
    static std::shared_ptr<MessagePort> createLocal(const QString& name, Callback callback);
    // Connects to the local port of that name; none when nobody serves it.
    static std::shared_ptr<MessagePort> createRemote(const QString& name);

    // A name that stays inside the ports folder: not empty, at most maximumNameLength UTF-8
    // bytes, no "/", no "..", no control characters.
    static bool isValidName(const QString& name);
    // The ports folder, created 0700 when missing; none (with the reason in `error`) when it is
    // not a folder of the current user that nobody else can enter.
    static std::optional<QString> portsDirectory(QString* error = nullptr);

    ~MessagePort();
    MessagePort(const MessagePort&) = delete;
    MessagePort& operator=(const MessagePort&) = delete;

    QString name() const;
    bool isRemote() const;
    // A local port is valid until invalidated or destroyed; a remote one while its owner serves
    // the port and it has not been invalidated here.
    bool isValid() const;
    // Stops serving (local) or drops the connection (remote); the invalidation callback runs.
    void invalidate();

    // Runs once, on the thread that created the port (through its event loop), when the port
    // becomes invalid; at once (posted) when it already is. A remote port watches its owner only from
    // the moment a callback is set.
    void setInvalidationCallback(std::function<void()> callback);

    // Sends a request on a remote port and, when `wantReply`, waits for the answer. The time-outs
    // are in seconds. Safe from any thread; requests on one port go one at a time. The result is
    // one of MessagePortResult; on a local port it is isInvalid.
    MessagePortReply sendRequest(std::int32_t messageId, const QByteArray& data, double sendTimeout,
                                 double receiveTimeout, bool wantReply);

    struct State;

private:
    explicit MessagePort(std::shared_ptr<State> state);
    std::shared_ptr<State> state_;
};
