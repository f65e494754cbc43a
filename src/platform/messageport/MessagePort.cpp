#include "platform/messageport/MessagePort.h"

#include <QFile>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <map>
#include <mutex>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "protocol/core/PortWire.h"

namespace {

using OrvellaPorts::flagHasData;
using OrvellaPorts::flagWantsReply;
using OrvellaPorts::kindHello;
using OrvellaPorts::kindReply;
using OrvellaPorts::kindRequest;
using Header = OrvellaPorts::PacketHeader;
static_assert(MessagePort::maximumPayloadSize == int(OrvellaPorts::maximumPayloadSize));
static_assert(MessagePort::maximumNameLength == int(OrvellaPorts::maximumNameLength));

QByteArray makePacket(const Header& header, const QByteArray& payload) {
    QByteArray packet(int(OrvellaPorts::packetHeaderSize) + payload.size(), Qt::Uninitialized);
    OrvellaPorts::writePacketHeader(header, packet.data());
    if (!payload.isEmpty())
        std::memcpy(packet.data() + OrvellaPorts::packetHeaderSize, payload.constData(), size_t(payload.size()));
    return packet;
}

struct Received {
    Header header;
    QByteArray payload;
};
enum class ReadOutcome { packet, wouldBlock, closed, malformed, failed };

// Reads one whole packet; a packet larger than allowed or without our header is malformed.
ReadOutcome readPacket(int fd, Received& out) {
    constexpr int headerSize = int(OrvellaPorts::packetHeaderSize);
    thread_local QByteArray buffer(headerSize + MessagePort::maximumPayloadSize, Qt::Uninitialized);
    iovec iov{buffer.data(), size_t(buffer.size())};
    msghdr msg{};
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    const ssize_t n = ::recvmsg(fd, &msg, MSG_DONTWAIT | MSG_CMSG_CLOEXEC);
    if (n == 0) return ReadOutcome::closed;
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return ReadOutcome::wouldBlock;
        if (errno == ECONNRESET || errno == ENOTCONN || errno == EPIPE) return ReadOutcome::closed;
        return ReadOutcome::failed;
    }
    const auto header = OrvellaPorts::readPacketHeader(buffer.constData(), size_t(n));
    if ((msg.msg_flags & MSG_TRUNC) || !header) return ReadOutcome::malformed;
    out.header = *header;
    out.payload = buffer.mid(headerSize, int(n) - headerSize);
    return ReadOutcome::packet;
}

int milliseconds(double seconds) {
    if (!(seconds > 0)) return 0;
    return int(std::min(std::ceil(seconds * 1000.0), 24.0 * 3600 * 1000));
}

// The milliseconds left until the deadline, never negative.
int remaining(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

std::string filePath(const QString& path) { return QFile::encodeName(path).toStdString(); }

int connectTo(const QString& path, int waitMs) { return OrvellaPorts::connectToSocket(filePath(path), waitMs); }

constexpr int connectWaitMs = 1000;

void sendHello(int fd) {
    static const std::string packet = OrvellaPorts::helloPacket();
    (void)::send(fd, packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
}

enum class SendOutcome { sent, wouldBlock, closed, failed };

SendOutcome trySend(int fd, const QByteArray& packet) {
    for (;;) {
        const ssize_t sent = ::send(fd, packet.constData(), size_t(packet.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (sent == packet.size()) return SendOutcome::sent;
        if (sent >= 0) return SendOutcome::failed;
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return SendOutcome::wouldBlock;
        if (errno == EPIPE || errno == ECONNRESET || errno == ENOTCONN) return SendOutcome::closed;
        return SendOutcome::failed;
    }
}

bool peerHungUp(int fd) {
    pollfd p{fd, 0, 0};
    return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

std::mutex limitsMutex;
MessagePort::Limits currentLimits;
std::atomic<std::int64_t> expectedPeerUid{-1};
std::atomic<MessagePort::AcceptFunction> acceptFunction{nullptr};

uid_t expectedUid() {
    const std::int64_t uid = expectedPeerUid.load();
    return uid < 0 ? ::geteuid() : uid_t(uid);
}

}  // namespace

class PortContext;

// How an answer given on another thread finds the port it belongs to, if that still exists.
struct ReplyChannel {
    std::mutex mutex;
    PortContext* context = nullptr;
};

// Lives on the thread that created the port: owns the notifiers and the descriptors they watch.
class PortContext : public QObject {
public:
    struct Connection {
        QSocketNotifier* notifier = nullptr;
        // Tells a connection from a later one that got the same descriptor.
        std::uint64_t serial = 0;
        pid_t peer = 0;
        bool spoke = false;
        std::chrono::steady_clock::time_point lastActive;
    };

    std::weak_ptr<MessagePort::State> state;
    // Local port.
    int listenFd = -1;
    int lockFd = -1;
    QString lockPath;
    QString socketPath;
    ino_t socketInode = 0;
    MessagePort::Limits limits;
    QSocketNotifier* listenNotifier = nullptr;
    QTimer* idleSweep = nullptr;  // runs while some peer holds more than its kept connections
    int acceptRetryMs = 0;  // the current pause; none while accepting works
    std::map<int, Connection> connections;
    std::map<pid_t, int> connectionsPerPeer;
    std::uint64_t nextSerial = 1;
    std::shared_ptr<std::atomic<int>> connectionCount = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<ReplyChannel> channel = std::make_shared<ReplyChannel>();
    // Remote port: a second connection that only ever carries the owner's hang-up.
    int watchFd = -1;
    QSocketNotifier* watchNotifier = nullptr;

    PortContext() { channel->context = this; }
    ~PortContext() override {
        {
            std::lock_guard lock(channel->mutex);
            channel->context = nullptr;
        }
        shutdown();
    }

    void serve();
    void acceptConnection();
    void pauseAccepting();
    bool makeRoomFor(pid_t peer);
    void closeIdleConnections();
    void readConnection(int fd);
    MessagePort::Responder responder(int fd, const Header& request);
    void sendReply(int fd, std::uint64_t serial, const Header& request, const std::optional<QByteArray>& answer);
    void dropConnection(int fd);
    void watch(int fd);
    void watchReadable();
    // Stops serving and releases the name; safe to call more than once.
    void shutdown();
};

struct MessagePort::State {
    QString name;
    bool remote = false;
    std::atomic<bool> invalid{false};
    MessagePort::DeferredCallback callback;
    std::shared_ptr<std::atomic<int>> connectionCount;

    // Remote port: the connection requests travel on, used one request at a time.
    std::mutex requestMutex;
    int fd = -1;
    std::uint32_t nextSequence = 1;

    std::mutex invalidationMutex;
    std::function<void()> invalidationCallback;
    bool invalidationDelivered = false;
    bool watching = false;

    QPointer<PortContext> context;

    ~State() { closeFd(fd); }

    bool onContextThread() const { return context && QThread::currentThread() == context->thread(); }

    // Runs the work on the context's thread: now when already there, else through its event loop.
    void onContextThread(std::function<void()> work) {
        if (!context) return;
        if (onContextThread()) work();
        else QMetaObject::invokeMethod(context.data(), std::move(work), Qt::QueuedConnection);
    }

    void markInvalid() {
        if (invalid.exchange(true)) return;
        deliverInvalidation();
    }

    void deliverInvalidation() {
        std::function<void()> callback;
        {
            std::lock_guard lock(invalidationMutex);
            if (!invalid || invalidationDelivered || !invalidationCallback) return;
            invalidationDelivered = true;
            callback = std::move(invalidationCallback);
            invalidationCallback = nullptr;
        }
        if (context) QMetaObject::invokeMethod(context.data(), std::move(callback), Qt::QueuedConnection);
    }
};

// MARK: - Serving a local port

void PortContext::serve() {
    listenNotifier = new QSocketNotifier(listenFd, QSocketNotifier::Read, this);
    QObject::connect(listenNotifier, &QSocketNotifier::activated, this, [this] { acceptConnection(); });
    if (limits.idleConnectionTimeoutMs > 0) {
        idleSweep = new QTimer(this);
        idleSweep->setInterval(std::max(1, limits.idleConnectionTimeoutMs / 4));
        QObject::connect(idleSweep, &QTimer::timeout, this, [this] { closeIdleConnections(); });
    }
}

void PortContext::acceptConnection() {
    if (listenFd < 0) return;
    const auto accept = acceptFunction.load();
    const int fd = accept ? accept(listenFd, SOCK_NONBLOCK | SOCK_CLOEXEC)
                          : ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED) return;
        pauseAccepting();
        return;
    }
    acceptRetryMs = 0;
    ucred peer{};
    socklen_t size = sizeof(peer);
    // Refused before anything is read: only the user's own processes may talk to the port.
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != expectedUid() ||
        !makeRoomFor(peer.pid)) {
        ::close(fd);
        return;
    }
    Connection connection;
    connection.notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connection.serial = nextSerial++;
    connection.peer = peer.pid;
    connection.lastActive = std::chrono::steady_clock::now();
    connections[fd] = connection;
    const int held = ++connectionsPerPeer[peer.pid];
    ++*connectionCount;
    if (idleSweep && held > limits.keptConnectionsPerPeer && !idleSweep->isActive()) idleSweep->start();
    QObject::connect(connection.notifier, &QSocketNotifier::activated, this, [this, fd] { readConnection(fd); });
    QTimer::singleShot(limits.silentConnectionTimeoutMs, this, [this, fd, serial = connection.serial] {
        const auto it = connections.find(fd);
        if (it != connections.end() && it->second.serial == serial && !it->second.spoke) dropConnection(fd);
    });
}

// Out of descriptors, or worse: the pending connection keeps the socket readable, so listening on
// would only spin. Pauses grow while the failures go on.
void PortContext::pauseAccepting() {
    acceptRetryMs = acceptRetryMs == 0 ? limits.acceptRetryMinimumMs
                                       : std::min(acceptRetryMs * 2, limits.acceptRetryMaximumMs);
    listenNotifier->setEnabled(false);
    QTimer::singleShot(acceptRetryMs, this, [this] {
        if (listenFd >= 0) listenNotifier->setEnabled(true);
    });
}

// Whether a connection of the peer may be taken. A full port makes room with the longest idle
// connection of the peer holding the most, so that a process filling it with connections that
// asked once and went quiet loses one to a newcomer. A peer that holds nothing yet is always let
// in; one that holds some only at the expense of a peer holding at least two more.
bool PortContext::makeRoomFor(pid_t peer) {
    const auto own = connectionsPerPeer.find(peer);
    const int held = own == connectionsPerPeer.end() ? 0 : own->second;
    if (held >= limits.connectionsPerPeer) return false;
    if (int(connections.size()) < limits.connectionsPerPort) return true;
    int most = 0;
    for (const auto& [pid, count] : connectionsPerPeer) most = std::max(most, count);
    if (most == 0 || (held > 0 && most <= held + 1)) return false;
    int victim = -1;
    for (const auto& [fd, connection] : connections) {
        if (connectionsPerPeer[connection.peer] != most) continue;
        if (victim < 0 || connection.lastActive < connections.at(victim).lastActive) victim = fd;
    }
    dropConnection(victim);
    return true;
}

void PortContext::closeIdleConnections() {
    const auto now = std::chrono::steady_clock::now();
    const auto limit = std::chrono::milliseconds(limits.idleConnectionTimeoutMs);
    // Oldest first, so that each peer's kept connections are its first ones.
    std::vector<std::pair<std::uint64_t, int>> bySerial;
    bySerial.reserve(connections.size());
    for (const auto& [fd, connection] : connections) bySerial.emplace_back(connection.serial, fd);
    std::sort(bySerial.begin(), bySerial.end());
    std::map<pid_t, int> seen;
    std::vector<int> idle;
    for (const auto& [serial, fd] : bySerial) {
        const Connection& connection = connections.at(fd);
        if (++seen[connection.peer] > limits.keptConnectionsPerPeer && now - connection.lastActive >= limit)
            idle.push_back(fd);
    }
    for (const int fd : idle) dropConnection(fd);
    const bool more = std::any_of(connectionsPerPeer.begin(), connectionsPerPeer.end(), [&](const auto& entry) {
        return entry.second > limits.keptConnectionsPerPeer;
    });
    if (!more) idleSweep->stop();
}

void PortContext::readConnection(int fd) {
    // The requests waiting on the connection are taken in one go, which spares a turn of the event
    // loop each; a bounded number, so that one busy peer does not keep the others waiting.
    constexpr int requestsPerTurn = 64;
    for (int taken = 0; taken < requestsPerTurn; ++taken) {
        // Looked up afresh each time: the callback may have dropped the connection or the port.
        const auto it = connections.find(fd);
        if (it == connections.end()) return;
        Received packet;
        switch (readPacket(fd, packet)) {
        case ReadOutcome::wouldBlock: return;
        case ReadOutcome::malformed: continue;  // dropped; the connection stays usable
        case ReadOutcome::closed:
        case ReadOutcome::failed: dropConnection(fd); return;
        case ReadOutcome::packet: break;
        }
        it->second.spoke = true;
        it->second.lastActive = std::chrono::steady_clock::now();
        if (packet.header.kind != kindRequest) continue;
        auto owner = state.lock();
        if (!owner || owner->invalid || !owner->callback) return;
        // The callback may invalidate or release the port: nothing of it is touched afterwards.
        const auto callback = owner->callback;
        owner.reset();
        callback(packet.header.messageId, packet.payload, responder(fd, packet.header));
    }
}

MessagePort::Responder PortContext::responder(int fd, const Header& request) {
    if (!(request.flags & flagWantsReply)) return [](std::optional<QByteArray>) {};
    auto answered = std::make_shared<std::atomic<bool>>(false);
    return [channel = channel, fd, serial = connections.at(fd).serial, request, answered](std::optional<QByteArray> answer) {
        if (answered->exchange(true)) return;
        std::lock_guard lock(channel->mutex);
        PortContext* context = channel->context;
        if (!context) return;
        if (QThread::currentThread() == context->thread()) {
            context->sendReply(fd, serial, request, answer);
            return;
        }
        QMetaObject::invokeMethod(
            context, [context, fd, serial, request, answer] { context->sendReply(fd, serial, request, answer); },
            Qt::QueuedConnection);
    };
}

void PortContext::sendReply(int fd, std::uint64_t serial, const Header& request, const std::optional<QByteArray>& answer) {
    const auto it = connections.find(fd);
    if (it == connections.end() || it->second.serial != serial) return;
    if (answer && answer->size() > MessagePort::maximumPayloadSize) return;
    Header header;
    header.kind = kindReply;
    header.flags = answer ? flagHasData : 0;
    header.sequence = request.sequence;
    header.messageId = request.messageId;
    const QByteArray reply = makePacket(header, answer.value_or(QByteArray()));
    // A requester that stopped reading loses its answer rather than stalling the server.
    (void)::send(fd, reply.constData(), size_t(reply.size()), MSG_DONTWAIT | MSG_NOSIGNAL);
}

void PortContext::dropConnection(int fd) {
    const auto it = connections.find(fd);
    if (it == connections.end()) return;
    it->second.notifier->setEnabled(false);
    it->second.notifier->deleteLater();
    if (--connectionsPerPeer[it->second.peer] <= 0) connectionsPerPeer.erase(it->second.peer);
    --*connectionCount;
    connections.erase(it);
    ::close(fd);
}

// MARK: - Watching a remote port's owner

void PortContext::watch(int fd) {
    watchFd = fd;
    watchNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    QObject::connect(watchNotifier, &QSocketNotifier::activated, this, [this] { watchReadable(); });
}

void PortContext::watchReadable() {
    if (watchFd < 0) return;
    Received packet;
    const ReadOutcome outcome = readPacket(watchFd, packet);
    if (outcome == ReadOutcome::wouldBlock || outcome == ReadOutcome::packet || outcome == ReadOutcome::malformed)
        return;
    watchNotifier->setEnabled(false);
    closeFd(watchFd);
    if (auto owner = state.lock()) owner->markInvalid();
}

void PortContext::shutdown() {
    for (auto& [fd, connection] : connections) {
        connection.notifier->setEnabled(false);
        connection.notifier->deleteLater();
        ::close(fd);
    }
    connections.clear();
    connectionsPerPeer.clear();
    *connectionCount = 0;
    for (auto* notifier : findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly)) notifier->setEnabled(false);
    if (idleSweep) idleSweep->stop();
    if (listenFd >= 0) {
        // Only our own socket: a later owner of the name may have replaced it already.
        struct stat info;
        if (::lstat(QFile::encodeName(socketPath).constData(), &info) == 0 && info.st_ino == socketInode)
            ::unlink(QFile::encodeName(socketPath).constData());
        closeFd(listenFd);
    }
    OrvellaPorts::releaseNameLock(lockFd, filePath(lockPath));
    lockFd = -1;
    closeFd(watchFd);
}

// MARK: - Names and the ports folder

bool MessagePort::isValidName(const QString& name) { return OrvellaPorts::isValidPortName(name.toStdString()); }

std::optional<QString> MessagePort::portsDirectory(QString* error) {
    std::string reason;
    const auto directory = OrvellaPorts::portsDirectory(&reason);
    if (!directory) {
        if (error) *error = QString::fromLocal8Bit(reason);
        return std::nullopt;
    }
    return QFile::decodeName(QByteArray::fromStdString(*directory));
}

// MARK: - Creation

MessagePort::MessagePort(std::shared_ptr<State> state) : state_(std::move(state)) {}

MessagePort::Limits MessagePort::defaultLimits() {
    std::lock_guard lock(limitsMutex);
    return currentLimits;
}

void MessagePort::setDefaultLimits(const Limits& limits) {
    std::lock_guard lock(limitsMutex);
    currentLimits = limits;
}

void MessagePort::setExpectedPeerUserForTesting(std::optional<std::uint32_t> uid) {
    expectedPeerUid = uid ? std::int64_t(*uid) : -1;
}

void MessagePort::setAcceptFunctionForTesting(AcceptFunction accept) { acceptFunction = accept; }

int MessagePort::connectionCount() const { return state_->connectionCount ? state_->connectionCount->load() : 0; }

std::shared_ptr<MessagePort> MessagePort::createLocal(const QString& name, Callback callback) {
    if (!callback) return createLocal(name, DeferredCallback());
    return createLocal(name, [callback = std::move(callback)](std::int32_t messageId, const QByteArray& data,
                                                              const Responder& respond) {
        respond(callback(messageId, data));
    });
}

std::shared_ptr<MessagePort> MessagePort::createLocal(const QString& name, DeferredCallback callback) {
    if (!isValidName(name)) return nullptr;
    const auto directory = portsDirectory();
    if (!directory) return nullptr;
    const std::string folder = filePath(*directory);
    const std::string nameBytes = name.toStdString();
    const std::string socketBytes = OrvellaPorts::socketPath(folder, nameBytes);
    sockaddr_un address;
    if (!OrvellaPorts::fillSocketAddress(socketBytes, address)) return nullptr;

    OrvellaPorts::removeStaleNames(folder);
    const std::string lockBytes = OrvellaPorts::lockPath(folder, nameBytes);
    int lockFd = OrvellaPorts::acquireNameLock(lockBytes);
    if (lockFd < 0) return nullptr;
    // The name's own socket, left by a process that died, is replaced.
    if (!OrvellaPorts::removeStaleSocket(socketBytes)) {
        ::unlink(lockBytes.c_str());
        ::close(lockFd);
        return nullptr;
    }
    struct stat info;
    const int listenFd = OrvellaPorts::listenOnSocket(socketBytes);
    if (listenFd < 0 || ::lstat(socketBytes.c_str(), &info) != 0) {
        if (listenFd >= 0) ::close(listenFd);
        ::unlink(lockBytes.c_str());
        ::close(lockFd);
        return nullptr;
    }
    const QString lockPath = QFile::decodeName(QByteArray::fromStdString(lockBytes));
    const QString socketPath = QFile::decodeName(QByteArray::fromStdString(socketBytes));

    auto state = std::make_shared<State>();
    state->name = name;
    state->callback = std::move(callback);
    auto* context = new PortContext;
    context->state = state;
    context->listenFd = listenFd;
    context->lockFd = lockFd;
    context->lockPath = lockPath;
    context->socketPath = socketPath;
    context->socketInode = info.st_ino;
    context->limits = defaultLimits();
    state->connectionCount = context->connectionCount;
    context->serve();
    state->context = context;
    return std::shared_ptr<MessagePort>(new MessagePort(std::move(state)));
}

namespace {

std::optional<QString> remoteSocketPath(const QString& name) {
    if (!MessagePort::isValidName(name)) return std::nullopt;
    const auto directory = MessagePort::portsDirectory();
    if (!directory) return std::nullopt;
    return QFile::decodeName(QByteArray::fromStdString(OrvellaPorts::socketPath(filePath(*directory), name.toStdString())));
}

// One attempt now, then more on the event loop while the owner's backlog is full.
void connectWhenAccepted(const QString& path, std::chrono::steady_clock::time_point deadline,
                         std::function<void(int fd)> completion) {
    const int fd = connectTo(path, 0);
    if (fd < 0 && errno == EAGAIN && remaining(deadline) > 0) {
        QTimer::singleShot(std::min(remaining(deadline), 20), [path, deadline, completion = std::move(completion)] {
            connectWhenAccepted(path, deadline, completion);
        });
        return;
    }
    completion(fd);
}

}  // namespace

std::shared_ptr<MessagePort> MessagePort::remoteOnConnection(const QString& name, const QString& path, int fd) {
    sendHello(fd);
    auto state = std::make_shared<State>();
    state->name = name;
    state->remote = true;
    state->fd = fd;
    auto* context = new PortContext;
    context->state = state;
    context->socketPath = path;
    state->context = context;
    return std::shared_ptr<MessagePort>(new MessagePort(std::move(state)));
}

std::shared_ptr<MessagePort> MessagePort::createRemote(const QString& name) {
    const auto path = remoteSocketPath(name);
    if (!path) return nullptr;
    // A refused connection means a stale socket: only a later owner of the name may remove it.
    const int fd = connectTo(*path, connectWaitMs);
    if (fd < 0) return nullptr;
    return remoteOnConnection(name, *path, fd);
}

void MessagePort::createRemote(const QString& name, double timeout,
                               std::function<void(std::shared_ptr<MessagePort>)> completion) {
    const auto path = remoteSocketPath(name);
    if (!path) {
        completion(nullptr);
        return;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds(timeout));
    connectWhenAccepted(*path, deadline, [name, path = *path, completion = std::move(completion)](int fd) {
        completion(fd < 0 ? nullptr : remoteOnConnection(name, path, fd));
    });
}

MessagePort::~MessagePort() {
    state_->invalid = true;
    PortContext* context = state_->context.data();
    if (!context) return;
    if (state_->onContextThread()) {
        context->shutdown();
        context->deleteLater();
    } else {
        QMetaObject::invokeMethod(context, [context] { delete context; }, Qt::QueuedConnection);
    }
}

// MARK: - State

QString MessagePort::name() const { return state_->name; }
bool MessagePort::isRemote() const { return state_->remote; }

bool MessagePort::isValid() const {
    if (state_->invalid) return false;
    if (state_->remote && peerHungUp(state_->fd)) {
        state_->markInvalid();
        return false;
    }
    return true;
}

void MessagePort::invalidate() {
    if (state_->invalid.exchange(true)) return;
    state_->onContextThread([context = state_->context] {
        if (context) context->shutdown();
    });
    state_->deliverInvalidation();
}

void MessagePort::setInvalidationCallback(std::function<void()> callback) {
    bool startWatching = false;
    {
        std::lock_guard lock(state_->invalidationMutex);
        state_->invalidationCallback = std::move(callback);
        state_->invalidationDelivered = false;
        startWatching = state_->remote && !state_->watching && state_->invalidationCallback;
        if (startWatching) state_->watching = true;
    }
    if (startWatching && !state_->invalid) {
        const int fd = state_->context ? connectTo(state_->context->socketPath, connectWaitMs) : -1;
        if (fd >= 0) sendHello(fd);
        if (fd < 0) {
            state_->markInvalid();
        } else {
            state_->onContextThread([context = state_->context, fd] {
                if (context) context->watch(fd);
                else ::close(fd);
            });
        }
    }
    state_->deliverInvalidation();
}

// MARK: - Requests

MessagePortReply MessagePort::sendRequest(std::int32_t messageId, const QByteArray& data, double sendTimeout,
                                          double receiveTimeout, bool wantReply) {
    using Clock = std::chrono::steady_clock;
    if (!state_->remote || !isValid()) return {MessagePortResult::isInvalid, std::nullopt};
    if (data.size() > maximumPayloadSize) return {MessagePortResult::transportError, std::nullopt};

    std::lock_guard lock(state_->requestMutex);
    if (state_->invalid) return {MessagePortResult::isInvalid, std::nullopt};
    const int fd = state_->fd;
    const auto becameInvalid = [this]() -> MessagePortReply {
        state_->markInvalid();
        return {MessagePortResult::becameInvalid, std::nullopt};
    };

    Header header;
    header.kind = kindRequest;
    header.flags = wantReply ? flagWantsReply : 0;
    header.sequence = state_->nextSequence++;
    header.messageId = messageId;
    const QByteArray packet = makePacket(header, data);

    const auto sendDeadline = Clock::now() + std::chrono::milliseconds(milliseconds(sendTimeout));
    for (;;) {
        const SendOutcome outcome = trySend(fd, packet);
        if (outcome == SendOutcome::sent) break;
        if (outcome == SendOutcome::closed) return becameInvalid();
        if (outcome == SendOutcome::failed) return {MessagePortResult::transportError, std::nullopt};
        pollfd p{fd, POLLOUT, 0};
        const int ready = ::poll(&p, 1, remaining(sendDeadline));
        if (ready == 0) return {MessagePortResult::sendTimeout, std::nullopt};
        if (ready < 0 && errno != EINTR) return {MessagePortResult::transportError, std::nullopt};
        if (ready > 0 && (p.revents & (POLLHUP | POLLERR)) && !(p.revents & POLLOUT)) return becameInvalid();
    }
    if (!wantReply) return {MessagePortResult::success, std::nullopt};

    const auto receiveDeadline = Clock::now() + std::chrono::milliseconds(milliseconds(receiveTimeout));
    for (;;) {
        Received reply;
        switch (readPacket(fd, reply)) {
        case ReadOutcome::packet:
            // An answer to an earlier request that gave up waiting is not this one's.
            if (reply.header.kind != kindReply || reply.header.sequence != header.sequence) continue;
            if (reply.header.flags & flagHasData) return {MessagePortResult::success, reply.payload};
            return {MessagePortResult::success, std::nullopt};
        case ReadOutcome::closed: return becameInvalid();
        case ReadOutcome::malformed:
        case ReadOutcome::failed: return {MessagePortResult::transportError, std::nullopt};
        case ReadOutcome::wouldBlock: break;
        }
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, remaining(receiveDeadline));
        if (ready == 0) return {MessagePortResult::receiveTimeout, std::nullopt};
        if (ready < 0 && errno != EINTR) return {MessagePortResult::transportError, std::nullopt};
    }
}

std::vector<MessagePortReply> MessagePort::sendRequests(std::int32_t messageId, const std::vector<QByteArray>& payloads,
                                                       double sendTimeout, double receiveTimeout) {
    using Clock = std::chrono::steady_clock;
    // Few enough that the answers on their way always fit the requester's socket buffer: a server
    // drops an answer it cannot send at once.
    constexpr std::size_t inFlight = 64;
    const std::size_t count = payloads.size();
    std::vector<MessagePortReply> replies(count, MessagePortReply{MessagePortResult::isInvalid, std::nullopt});
    if (count == 0 || !state_->remote || !isValid()) return replies;
    if (std::any_of(payloads.begin(), payloads.end(), [](const QByteArray& data) { return data.size() > maximumPayloadSize; })) {
        for (auto& reply : replies) reply.result = MessagePortResult::transportError;
        return replies;
    }

    std::lock_guard lock(state_->requestMutex);
    if (state_->invalid) return replies;
    const int fd = state_->fd;
    const std::uint32_t first = state_->nextSequence;
    state_->nextSequence += std::uint32_t(count);
    std::vector<bool> answered(count, false);
    std::size_t sent = 0;
    std::size_t answers = 0;
    // Whatever has no answer yet ends with `result`.
    const auto fail = [&](std::int32_t result) {
        if (result == MessagePortResult::becameInvalid) state_->markInvalid();
        for (std::size_t i = 0; i < count; ++i)
            if (!answered[i]) replies[i] = {result, std::nullopt};
        return replies;
    };
    const auto sendTime = std::chrono::milliseconds(milliseconds(sendTimeout));
    const auto receiveTime = std::chrono::milliseconds(milliseconds(receiveTimeout));
    auto sendDeadline = Clock::now() + sendTime;
    auto receiveDeadline = Clock::now() + receiveTime;
    while (answers < count) {
        bool blocked = false;
        while (sent < count && sent - answers < inFlight) {
            Header header;
            header.kind = kindRequest;
            header.flags = flagWantsReply;
            header.sequence = first + std::uint32_t(sent);
            header.messageId = messageId;
            const SendOutcome outcome = trySend(fd, makePacket(header, payloads[sent]));
            if (outcome == SendOutcome::closed) return fail(MessagePortResult::becameInvalid);
            if (outcome == SendOutcome::failed) return fail(MessagePortResult::transportError);
            if (outcome == SendOutcome::wouldBlock) {
                blocked = true;
                break;
            }
            if (sent++ == answers) receiveDeadline = Clock::now() + receiveTime;
            sendDeadline = Clock::now() + sendTime;
        }
        for (bool more = true; more;) {
            Received reply;
            switch (readPacket(fd, reply)) {
            case ReadOutcome::packet: {
                // Answers to earlier requests that gave up waiting are not these.
                const std::size_t index = reply.header.sequence - first;
                if (reply.header.kind != kindReply || index >= sent || answered[index]) break;
                answered[index] = true;
                ++answers;
                replies[index] = {MessagePortResult::success,
                                  (reply.header.flags & flagHasData) ? std::optional<QByteArray>(reply.payload) : std::nullopt};
                receiveDeadline = Clock::now() + receiveTime;
                break;
            }
            case ReadOutcome::closed: return fail(MessagePortResult::becameInvalid);
            case ReadOutcome::malformed:
            case ReadOutcome::failed: return fail(MessagePortResult::transportError);
            case ReadOutcome::wouldBlock: more = false; break;
            }
        }
        if (answers == count) break;
        // Room for more requests: send them before waiting.
        if (!blocked && sent < count && sent - answers < inFlight) continue;
        const bool waitingForAnswers = sent > answers;
        int timeout = waitingForAnswers ? remaining(receiveDeadline) : remaining(sendDeadline);
        if (blocked && waitingForAnswers) timeout = std::min(timeout, remaining(sendDeadline));
        pollfd p{fd, short(POLLIN | (blocked ? POLLOUT : 0)), 0};
        const int ready = ::poll(&p, 1, timeout);
        if (ready < 0 && errno != EINTR) return fail(MessagePortResult::transportError);
        if (ready == 0) {
            if (waitingForAnswers && remaining(receiveDeadline) == 0) return fail(MessagePortResult::receiveTimeout);
            if (blocked && remaining(sendDeadline) == 0) return fail(MessagePortResult::sendTimeout);
        }
    }
    return replies;
}
