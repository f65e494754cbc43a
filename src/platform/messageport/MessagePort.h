#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

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
//
// A local port serves only processes of its own user, and no process may take it over: it holds
// a bounded number of connections, a bounded share of them per peer process, closes connections
// that never say anything or have long gone quiet, hands the longest idle slot of the peer holding
// the most to a newcomer when full, and backs off when the process runs out of descriptors.
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
    // Sends the answer to one request; callable from any thread, only the first call counts. An
    // answer nobody asked for, or whose requester has gone, is dropped. Never called, the requester
    // sees its receive time-out.
    using Responder = std::function<void(std::optional<QByteArray> answer)>;
    // Takes a request whose answer may come later, through the responder.
    using DeferredCallback = std::function<void(std::int32_t messageId, const QByteArray& data, Responder respond)>;

    // What one local port allows, fixed when the port is created.
    struct Limits {
        int connectionsPerPort = 256;
        int connectionsPerPeer = 64;
        // A connection that has sent nothing this long after it was accepted is closed.
        int silentConnectionTimeoutMs = 10'000;
        // A connection that has sent nothing for this long is closed, unless it is one of the
        // `keptConnectionsPerPeer` oldest of its peer: those are never closed for being idle.
        // Clients hold connections on purpose and say nothing for hours: an extension keeps its
        // registration and a watch on it (a watch that ends means the application went away, so
        // the extension registers anew and every badge is asked for again), and the application
        // keeps one to each extension's port, without which the pushes stop unnoticed. No client
        // holds more than two on one port; a process holding dozens is hoarding. 0: never.
        int idleConnectionTimeoutMs = 5 * 60'000;
        int keptConnectionsPerPeer = 2;
        // When accepting fails for want of descriptors, the port stops listening this long,
        // doubling from the first figure up to the second after every failure in a row.
        int acceptRetryMinimumMs = 100;
        int acceptRetryMaximumMs = 1000;
    };
    // The limits of the ports created from now on; tests narrow them.
    static Limits defaultLimits();
    static void setDefaultLimits(const Limits& limits);

    // The largest payload a message may carry; larger sends fail with a transport error.
    static constexpr int maximumPayloadSize = 128 * 1024;
    static constexpr int maximumNameLength = 64;

    // Opens a local port and serves it on the calling thread's event loop. None when the name is
    // not valid, the ports folder is unsafe, or a live process already serves the name. A socket
    // left behind by a process that died is removed and the name taken over; so are the lock and
    // socket of any other name whose owner has gone.
    static std::shared_ptr<MessagePort> createLocal(const QString& name, Callback callback);
    static std::shared_ptr<MessagePort> createLocal(const QString& name, DeferredCallback callback);
    // Connects to the local port of that name; none when nobody serves it. A port whose owner does
    // not take the connection gets a second to do so, the caller waiting meanwhile.
    static std::shared_ptr<MessagePort> createRemote(const QString& name);
    // Connects without ever blocking: while the owner's queue of new connections is full, tries
    // again on the calling thread's event loop until `timeout` (seconds) has passed. The completion
    // runs on the calling thread, with none when nobody serves the name; it may run before this
    // returns.
    static void createRemote(const QString& name, double timeout,
                             std::function<void(std::shared_ptr<MessagePort>)> completion);

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
    // Sends one request per payload and waits for every answer, the replies in the payloads' order.
    // A few requests travel at a time without waiting for the answers before them, so that many
    // cost a fraction of as many round trips. Each time-out counts from the last progress.
    std::vector<MessagePortReply> sendRequests(std::int32_t messageId, const std::vector<QByteArray>& payloads,
                                               double sendTimeout, double receiveTimeout);

    // The connections a local port holds now.
    int connectionCount() const;

    // Test seams: the user id a peer must have (none: the process's own), and the call that takes
    // a pending connection off a listening socket (none: accept4).
    static void setExpectedPeerUserForTesting(std::optional<std::uint32_t> uid);
    using AcceptFunction = int (*)(int listenFd, int flags);
    static void setAcceptFunctionForTesting(AcceptFunction accept);

    struct State;

private:
    explicit MessagePort(std::shared_ptr<State> state);
    static std::shared_ptr<MessagePort> remoteOnConnection(const QString& name, const QString& path, int fd);
    std::shared_ptr<State> state_;
};
