#include "protocol/core/ExtensionClient.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <thread>
#include <variant>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "protocol/core/PortWire.h"
#include "protocol/core/Records.h"

namespace OrvellaPorts {

namespace {

using Clock = std::chrono::steady_clock;

// Queries travelling at once on the badge connection: few enough that the answers on their way
// always fit our socket buffer, since the application drops an answer it cannot send at once.
constexpr std::size_t queriesInFlight = 64;
// The application holds two connections to our port; anything beyond a few is somebody hoarding.
constexpr std::size_t maximumPeers = 16;
// Items asked for while nobody can answer, kept to be asked once the application is back.
constexpr std::size_t maximumWanted = 100'000;

std::string randomSuffix(std::size_t length) {
    static constexpr char alphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device device;
    std::uniform_int_distribution<std::size_t> pick(0, sizeof(alphabet) - 2);
    std::string suffix;
    for (std::size_t i = 0; i < length; ++i) suffix += alphabet[pick(device)];
    return suffix;
}

// One spelling per item: no repeated or trailing "/", so that "a//b/" and "a/b" share a badge.
std::string normalizedPath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (const char c : path)
        if (c != '/' || out.empty() || out.back() != '/') out += c;
    while (out.size() > 1 && out.back() == '/') out.pop_back();
    return out;
}

// By components: "/a/bc" is not inside "/a/b".
bool isInside(const std::string& path, const std::string& folder) {
    if (path.empty() || path.front() != '/') return false;
    if (folder == "/") return true;
    return path.compare(0, folder.size(), folder) == 0 && (path.size() == folder.size() || path[folder.size()] == '/');
}

void closeFd(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

enum class Sent { sent, wouldBlock, closed };

Sent sendPacket(int fd, const std::string& packet) {
    for (;;) {
        const ssize_t n = ::send(fd, packet.data(), packet.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
        if (n == ssize_t(packet.size())) return Sent::sent;
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return Sent::wouldBlock;
        return Sent::closed;
    }
}

struct Packet {
    PacketHeader header;
    std::string payload;
};
enum class Read { packet, wouldBlock, closed, malformed };

Read readPacket(int fd, Packet& out) {
    thread_local std::string buffer(packetHeaderSize + maximumPayloadSize, '\0');
    const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), MSG_DONTWAIT | MSG_TRUNC);
    if (n == 0) return Read::closed;
    if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? Read::wouldBlock : Read::closed;
    if (std::size_t(n) > buffer.size()) return Read::malformed;
    const auto header = readPacketHeader(buffer.data(), std::size_t(n));
    if (!header) return Read::malformed;
    out.header = *header;
    out.payload.assign(buffer.data() + packetHeaderSize, std::size_t(n) - packetHeaderSize);
    return Read::packet;
}

int millisecondsUntil(Clock::time_point when, Clock::time_point now) {
    if (when <= now) return 0;
    return int(std::chrono::duration_cast<std::chrono::milliseconds>(when - now).count()) + 1;
}

}  // namespace

struct ExtensionClient::State {
    Options options;
    Callbacks callbacks;
    std::string name;

    // Shared with the callers.
    mutable std::mutex mutex;
    std::optional<std::string> folder;
    std::map<std::string, std::string> badges;
    std::vector<std::string> requested;  // not yet taken by the worker
    std::atomic<bool> stopping{false};
    int wakeRead = -1;
    int wakeWrite = -1;
    std::thread worker;

    // The worker's own.
    std::string directory;
    int listenFd = -1;
    int lockFd = -1;
    ino_t socketInode = 0;
    std::vector<int> peers;  // oldest first

    enum class Registration { idle, waiting, registered };
    Registration registration = Registration::idle;
    int registrationFd = -1;
    std::uint32_t nextSequence = 1;
    std::uint32_t registrationSequence = 0;
    Clock::time_point registrationDeadline;
    Clock::time_point nextAttempt;

    int badgeFd = -1;
    bool badgeBlocked = false;
    std::deque<std::string> queue;
    std::set<std::string> queued;
    std::map<std::uint32_t, std::string> inFlight;
    Clock::time_point badgeDeadline;
    Clock::time_point badgeRetryAt;
    std::set<std::string> wanted;

    void wake() const {
        const char byte = 1;
        (void)!::write(wakeWrite, &byte, 1);
    }

    void run();
    bool openPort();
    void closePort();
    void startRegistration(Clock::time_point now);
    void registrationFailed(Clock::time_point now);
    void readRegistration(Clock::time_point now);
    void applicationWentAway(Clock::time_point now);
    void changeFolder(const std::string& path);
    void takeRequests();
    void want(const std::string& path);
    void enqueue(const std::string& path);
    void sendQueries(Clock::time_point now);
    void readAnswers(Clock::time_point now);
    void loseBadgeConnection(Clock::time_point now);
    void closeBadgeConnection() {
        closeFd(badgeFd);
        badgeBlocked = false;
    }
    void setBadge(const std::string& path, const std::string& badge);
    void acceptPeer();
    void readPeer(int fd);
    void handlePush(const std::string& payload);
};

ExtensionClient::ExtensionClient(Options options, Callbacks callbacks) : state_(std::make_unique<State>()) {
    state_->options = std::move(options);
    state_->callbacks = std::move(callbacks);
    state_->name = state_->options.appGroupIdentifier + '.' + randomSuffix(7);
    int pipeFds[2];
    if (::pipe2(pipeFds, O_NONBLOCK | O_CLOEXEC) == 0) {
        state_->wakeRead = pipeFds[0];
        state_->wakeWrite = pipeFds[1];
    }
    state_->worker = std::thread([state = state_.get()] { state->run(); });
}

ExtensionClient::~ExtensionClient() {
    state_->stopping = true;
    state_->wake();
    if (state_->worker.joinable()) state_->worker.join();
    closeFd(state_->wakeRead);
    closeFd(state_->wakeWrite);
}

std::optional<std::string> ExtensionClient::syncFolder() const {
    std::lock_guard lock(state_->mutex);
    return state_->folder;
}

bool ExtensionClient::isInsideSyncFolder(const std::string& path) const {
    std::lock_guard lock(state_->mutex);
    return state_->folder && isInside(normalizedPath(path), *state_->folder);
}

std::optional<std::string> ExtensionClient::cachedBadge(const std::string& path) const {
    std::lock_guard lock(state_->mutex);
    const auto it = state_->badges.find(normalizedPath(path));
    if (it == state_->badges.end()) return std::nullopt;
    return it->second;
}

void ExtensionClient::requestBadges(std::vector<std::string> paths) {
    {
        std::lock_guard lock(state_->mutex);
        for (auto& path : paths) {
            // The application knows items by their UTF-8 names: of any other it would answer for
            // a different item, so none is shown rather than a wrong one.
            path = normalizedPath(path);
            if (!isValidUtf8(path) || (state_->folder && !isInside(path, *state_->folder))) continue;
            state_->requested.push_back(std::move(path));
        }
    }
    state_->wake();
}

std::string ExtensionClient::portName() const { return state_->name; }

// MARK: - The worker

void ExtensionClient::State::run() {
    while (!stopping) {
        auto now = Clock::now();
        if (registration == Registration::idle && now >= nextAttempt) startRegistration(now);
        if (registration == Registration::waiting && now >= registrationDeadline) registrationFailed(now);
        if (!inFlight.empty() && now >= badgeDeadline) {
            // An application that takes queries and never answers: these items get no badge
            // rather than holding up the ones after them.
            inFlight.clear();
            closeBadgeConnection();
        }
        takeRequests();
        sendQueries(now);

        std::vector<pollfd> fds;
        fds.push_back({wakeRead, POLLIN, 0});
        if (listenFd >= 0) fds.push_back({listenFd, POLLIN, 0});
        if (registrationFd >= 0) fds.push_back({registrationFd, POLLIN, 0});
        if (badgeFd >= 0) fds.push_back({badgeFd, short(POLLIN | (badgeBlocked ? POLLOUT : 0)), 0});
        const std::size_t firstPeer = fds.size();
        for (const int fd : peers) fds.push_back({fd, POLLIN, 0});

        // Without a wake-up pipe the loop looks at `stopping` often enough instead.
        int timeout = wakeRead < 0 ? 50 : -1;
        const auto until = [&](Clock::time_point when) {
            const int ms = millisecondsUntil(when, now);
            timeout = timeout < 0 ? ms : std::min(timeout, ms);
        };
        if (registration == Registration::idle) until(nextAttempt);
        if (registration == Registration::waiting) until(registrationDeadline);
        if (!inFlight.empty()) until(badgeDeadline);
        if (!queue.empty() && registration == Registration::registered && badgeFd < 0) until(badgeRetryAt);
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR) break;
        now = Clock::now();

        char drain[64];
        while (::read(wakeRead, drain, sizeof(drain)) > 0) {}
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (!fds[i].revents) continue;
            const int fd = fds[i].fd;
            if (i >= firstPeer) readPeer(fd);
            else if (fd == listenFd) acceptPeer();
            else if (fd == registrationFd) readRegistration(now);
            else if (fd == badgeFd) {
                badgeBlocked = false;
                readAnswers(now);
            }
        }
    }
    closeFd(registrationFd);
    closeBadgeConnection();
    closePort();
}

// MARK: - Our own port, where the application pushes

bool ExtensionClient::State::openPort() {
    if (listenFd >= 0) return true;
    const auto folder = options.portsDirectory.empty() ? portsDirectory() : preparePortsDirectory(options.portsDirectory);
    if (!folder || !isValidPortName(name)) return false;
    directory = *folder;
    const std::string socket = socketPath(directory, name);
    const std::string lock = lockPath(directory, name);
    removeStaleNames(directory);
    // Held the same way as the application's own ports, so that its sweep of stale names leaves
    // ours alone while we live.
    lockFd = acquireNameLock(lock);
    if (lockFd < 0) return false;
    struct stat info;
    if (!removeStaleSocket(socket) || (listenFd = listenOnSocket(socket)) < 0 || ::lstat(socket.c_str(), &info) != 0) {
        closeFd(listenFd);
        releaseNameLock(lockFd, lock);
        lockFd = -1;
        return false;
    }
    socketInode = info.st_ino;
    return true;
}

void ExtensionClient::State::closePort() {
    for (int& fd : peers) closeFd(fd);
    peers.clear();
    if (listenFd < 0) return;
    const std::string socket = socketPath(directory, name);
    struct stat info;
    if (::lstat(socket.c_str(), &info) == 0 && info.st_ino == socketInode) ::unlink(socket.c_str());
    closeFd(listenFd);
    releaseNameLock(lockFd, lockPath(directory, name));
    lockFd = -1;
}

void ExtensionClient::State::acceptPeer() {
    const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd < 0) return;
    ucred peer{};
    socklen_t size = sizeof(peer);
    // Only the user's own processes may tell us what to show.
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0 || peer.uid != ::geteuid()) {
        ::close(fd);
        return;
    }
    if (peers.size() >= maximumPeers) {
        ::close(peers.front());
        peers.erase(peers.begin());
    }
    peers.push_back(fd);
}

void ExtensionClient::State::readPeer(int fd) {
    // A peer dropped for a newcomer in this very turn: its number is no longer ours to read or close.
    if (std::find(peers.begin(), peers.end(), fd) == peers.end()) return;
    for (int taken = 0; taken < 64; ++taken) {
        Packet packet;
        const Read outcome = readPacket(fd, packet);
        if (outcome == Read::wouldBlock) return;
        if (outcome == Read::closed) {
            ::close(fd);
            std::erase(peers, fd);
            return;
        }
        if (outcome == Read::malformed || packet.header.kind != kindRequest) continue;
        if (packet.header.flags & flagWantsReply) {
            PacketHeader reply{kindReply, 0, packet.header.sequence, packet.header.messageId};
            (void)sendPacket(fd, encodePacket(reply, {}));
        }
        handlePush(packet.payload);
    }
}

void ExtensionClient::State::handlePush(const std::string& payload) {
    const Push push = decodePush(payload);
    if (const auto* status = std::get_if<StatusRecord>(&push)) {
        setBadge(normalizedPath(*pathFromFileUrl(status->url)), status->badge);
    } else if (const auto* root = std::get_if<RootDirectoryRecord>(&push)) {
        changeFolder(normalizedPath(root->path));
    }
}

void ExtensionClient::State::setBadge(const std::string& path, const std::string& badge) {
    {
        std::lock_guard lock(mutex);
        if (!folder || !isInside(path, *folder)) return;
        auto& known = badges[path];
        if (known == badge) return;
        known = badge;
    }
    if (callbacks.badgeChanged) callbacks.badgeChanged(path, badge);
}

// MARK: - Registration, and its connection as the watch on the application

void ExtensionClient::State::startRegistration(Clock::time_point now) {
    nextAttempt = now + options.retryInterval;
    if (!openPort()) return;
    registrationFd = connectToSocket(socketPath(directory, registrationPortName(options.appGroupIdentifier)), 0);
    if (registrationFd < 0) return;
    registrationSequence = nextSequence++;
    const PacketHeader header{kindRequest, flagWantsReply, registrationSequence, protocolMessageId};
    if (sendPacket(registrationFd, helloPacket()) != Sent::sent ||
        sendPacket(registrationFd, encodePacket(header, name)) != Sent::sent) {
        closeFd(registrationFd);
        return;
    }
    registration = Registration::waiting;
    registrationDeadline = now + options.timeout;
}

void ExtensionClient::State::registrationFailed(Clock::time_point now) {
    closeFd(registrationFd);
    registration = Registration::idle;
    nextAttempt = now + options.retryInterval;
}

void ExtensionClient::State::readRegistration(Clock::time_point now) {
    for (;;) {
        Packet packet;
        switch (readPacket(registrationFd, packet)) {
        case Read::wouldBlock: return;
        case Read::malformed: continue;
        case Read::closed:
            if (registration == Registration::registered) applicationWentAway(now);
            else registrationFailed(now);
            return;
        case Read::packet: break;
        }
        if (registration != Registration::waiting || packet.header.kind != kindReply ||
            packet.header.sequence != registrationSequence)
            continue;
        const std::string path = normalizedPath(packet.payload);
        // Answered none: no sync folder yet (nobody signed in) or our port was not reached.
        if (!(packet.header.flags & flagHasData) || path.empty() || path.front() != '/' || !isValidUtf8(path)) {
            registrationFailed(now);
            return;
        }
        registration = Registration::registered;
        badgeRetryAt = now;
        changeFolder(path);
    }
}

void ExtensionClient::State::applicationWentAway(Clock::time_point now) {
    closeBadgeConnection();
    for (auto& [sequence, path] : inFlight) want(path);
    inFlight.clear();
    for (const auto& path : queue) want(path);
    queue.clear();
    queued.clear();
    {
        std::lock_guard lock(mutex);
        for (const auto& [path, badge] : badges) want(path);
        badges.clear();
        folder.reset();
    }
    registrationFailed(now);
    if (callbacks.applicationWentAway) callbacks.applicationWentAway();
}

void ExtensionClient::State::changeFolder(const std::string& path) {
    {
        std::lock_guard lock(mutex);
        if (folder == path) return;
        for (const auto& [item, badge] : badges) want(item);
        badges.clear();
        folder = path;
    }
    if (callbacks.syncFolderChanged) callbacks.syncFolderChanged(path);
    // What was asked for while nobody could answer, as far as it lies in the folder now.
    std::set<std::string> asked;
    asked.swap(wanted);
    for (const auto& item : asked)
        if (isInside(item, path)) enqueue(item);
}

// MARK: - Badge queries

void ExtensionClient::State::want(const std::string& path) {
    if (wanted.size() < maximumWanted) wanted.insert(path);
}

void ExtensionClient::State::enqueue(const std::string& path) {
    if (queued.insert(path).second) queue.push_back(path);
}

void ExtensionClient::State::takeRequests() {
    std::vector<std::string> taken;
    std::optional<std::string> current;
    {
        std::lock_guard lock(mutex);
        taken.swap(requested);
        current = folder;
    }
    for (const auto& path : taken) {
        if (!current) want(path);
        else if (isInside(path, *current)) enqueue(path);
    }
}

void ExtensionClient::State::sendQueries(Clock::time_point now) {
    if (queue.empty() || registration != Registration::registered || badgeBlocked) return;
    if (badgeFd < 0) {
        if (now < badgeRetryAt) return;
        badgeFd = connectToSocket(socketPath(directory, badgePortName(options.appGroupIdentifier)), 0);
        if (badgeFd < 0 || sendPacket(badgeFd, helloPacket()) != Sent::sent) {
            closeBadgeConnection();
            badgeRetryAt = now + options.retryInterval;
            return;
        }
    }
    while (!queue.empty() && inFlight.size() < queriesInFlight) {
        const std::string& path = queue.front();
        const PacketHeader header{kindRequest, flagWantsReply, nextSequence, protocolMessageId};
        const Sent outcome = sendPacket(badgeFd, encodePacket(header, fileUrlFromPath(path)));
        if (outcome == Sent::wouldBlock) {
            badgeBlocked = true;
            return;
        }
        if (outcome == Sent::closed) return loseBadgeConnection(now);
        if (inFlight.empty()) badgeDeadline = now + options.timeout;
        inFlight.emplace(nextSequence++, path);
        queued.erase(path);
        queue.pop_front();
    }
}

void ExtensionClient::State::readAnswers(Clock::time_point now) {
    for (;;) {
        Packet packet;
        switch (readPacket(badgeFd, packet)) {
        case Read::wouldBlock: return;
        case Read::malformed: continue;
        case Read::closed: return loseBadgeConnection(now);
        case Read::packet: break;
        }
        const auto it = inFlight.find(packet.header.sequence);
        if (packet.header.kind != kindReply || it == inFlight.end()) continue;
        const std::string path = std::move(it->second);
        inFlight.erase(it);
        badgeDeadline = now + options.timeout;
        // No answer: the application has nothing to badge there (the item is gone).
        if ((packet.header.flags & flagHasData) && !packet.payload.empty() && isValidUtf8(packet.payload))
            setBadge(path, packet.payload);
    }
}

// The application restarting closes it; its registration's end says so too, and the items are
// asked again on the next connection.
void ExtensionClient::State::loseBadgeConnection(Clock::time_point now) {
    closeBadgeConnection();
    for (auto& [sequence, path] : inFlight) enqueue(path);
    inFlight.clear();
    badgeRetryAt = now + options.retryInterval;
}

}  // namespace OrvellaPorts
