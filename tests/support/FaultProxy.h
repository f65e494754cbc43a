#pragma once

// A TCP proxy on 127.0.0.1 in front of a server on this machine, for the faults a real network
// brings: connections cut after a number of bytes either way, a port that refuses for a while,
// latency, a pause, "busy" answers it gives itself, and the answer to one kind of request dropped
// with its connection. Plain sockets and poll on a thread of its own; any thread may change what
// it does, and a change holds for what is forwarded from then on.

#include <QByteArray>
#include <QString>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <list>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

class FaultProxy {
public:
    using Clock = std::chrono::steady_clock;

    explicit FaultProxy(std::uint16_t targetPort) : target_(targetPort) {}
    ~FaultProxy() { stop(); }
    FaultProxy(const FaultProxy&) = delete;
    FaultProxy& operator=(const FaultProxy&) = delete;

    // Listens on a free port of 127.0.0.1.
    bool start() {
        if (::pipe2(wake_, O_NONBLOCK | O_CLOEXEC) != 0) return false;
        listener_ = listenOn(0);
        if (listener_ < 0) return false;
        sockaddr_in address{};
        socklen_t length = sizeof address;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        running_ = true;
        thread_ = std::thread([this] { run(); });
        return true;
    }
    void stop() {
        if (!thread_.joinable()) return;
        running_ = false;
        wake();
        thread_.join();
        for (Link& link : links_) closeLink(link);
        links_.clear();
        for (int* fd : {&listener_, &wake_[0], &wake_[1]})
            if (*fd >= 0) ::close(std::exchange(*fd, -1));
    }

    std::uint16_t port() const { return port_; }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(port_); }

    // Every connection is closed once it carried this many bytes in one direction (0: never).
    void cutAfter(std::int64_t bytes) { change([&] { cutAfter_ = bytes; }); }
    // The port refuses connections (nothing listens) for this long.
    void refuseFor(std::chrono::milliseconds duration) { change([&] { refuseUntil_ = Clock::now() + duration; }); }
    void setLatency(std::chrono::milliseconds latency) { change([&] { latency_ = latency; }); }
    // Nothing is accepted or forwarded while paused; bytes wait in the sockets.
    void setPaused(bool paused) { change([&] { paused_ = paused; }); }
    // The next `count` connections get `status` with Retry-After (unless negative) to their first
    // request, from the proxy itself, and are closed.
    void answerBusy(int count, int status = 503, int retryAfterSeconds = 1) {
        change([&] {
            busyLeft_ = count;
            busyAnswer_ = "HTTP/1.1 " + QByteArray::number(status) + " Busy\r\nContent-Length: 0\r\nConnection: close\r\n";
            if (retryAfterSeconds >= 0) busyAnswer_ += "Retry-After: " + QByteArray::number(retryAfterSeconds) + "\r\n";
            busyAnswer_ += "\r\n";
        });
    }
    // The next `count` requests whose first bytes are `requestStart` reach the server, but its
    // answer does not come back: the connection is cut as it starts.
    void dropAnswersTo(const QByteArray& requestStart, int count) {
        change([&] {
            dropStart_ = requestStart;
            dropLeft_ = count;
        });
    }

    int connections() const { return connections_.load(); }
    int cuts() const { return cuts_.load(); }
    int busyAnswers() const { return busyAnswers_.load(); }
    int droppedAnswers() const { return droppedAnswers_.load(); }

private:
    struct Queue {
        std::deque<std::pair<Clock::time_point, QByteArray>> pieces;
        std::int64_t carried = 0;
        bool ended = false;  // its source closed: the link goes once this is written
        bool empty() const { return pieces.empty(); }
    };
    struct Link {
        int client = -1;
        int server = -1;
        Queue up, down;  // towards the server, towards the client
        bool cutWhenWritten = false;
        bool dropAnswer = false;
        bool busy = false;
        QByteArray head;  // of a busy one's request
        bool done = false;
    };

    template <typename F>
    void change(F f) {
        {
            std::lock_guard lock(mutex_);
            f();
        }
        wake();
    }
    void wake() {
        if (wake_[1] >= 0) (void)!::write(wake_[1], "x", 1);
    }
    static int listenOn(std::uint16_t port) {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) return -1;
        const int yes = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(port);
        if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(fd, 64) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }
    int connectTarget() const {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) return -1;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(target_);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return -1;
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        return fd;
    }
    void closeLink(Link& link) {
        for (int* fd : {&link.client, &link.server})
            if (*fd >= 0) ::close(std::exchange(*fd, -1));
        link.done = true;
    }
    void cut(Link& link) {
        closeLink(link);
        ++cuts_;
    }

    // Takes what `from` has into `queue`, as much as the cut allows.
    void take(Link& link, int from, Queue& queue, bool towardsServer, Clock::time_point now) {
        char buffer[64 * 1024];
        const ssize_t got = ::recv(from, buffer, sizeof buffer, 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (got <= 0) {
            queue.ended = true;
            return;
        }
        QByteArray piece(buffer, got);
        if (towardsServer && dropLeft_ > 0 && !dropStart_.isEmpty() && piece.startsWith(dropStart_)) {
            --dropLeft_;
            link.dropAnswer = true;
        }
        if (!towardsServer && link.dropAnswer) {
            ++droppedAnswers_;
            cut(link);
            return;
        }
        if (cutAfter_ > 0 && queue.carried + got >= cutAfter_) {
            piece.truncate(qsizetype(cutAfter_ - queue.carried));
            link.cutWhenWritten = true;
        }
        queue.carried += piece.size();
        if (!piece.isEmpty()) queue.pieces.emplace_back(now + latency_, std::move(piece));
    }
    // Writes what is due; false when the peer is gone.
    static bool give(int to, Queue& queue, Clock::time_point now) {
        while (!queue.empty() && queue.pieces.front().first <= now) {
            QByteArray& piece = queue.pieces.front().second;
            const ssize_t sent = ::send(to, piece.constData(), std::size_t(piece.size()), MSG_NOSIGNAL);
            if (sent < 0 && (errno == EAGAIN || errno == EINTR)) return true;
            if (sent < 0) return false;
            piece.remove(0, sent);
            if (!piece.isEmpty()) return true;
            queue.pieces.pop_front();
        }
        return true;
    }
    void answerBusyLink(Link& link) {
        char buffer[64 * 1024];
        const ssize_t got = ::recv(link.client, buffer, sizeof buffer, 0);
        if (got < 0 && (errno == EAGAIN || errno == EINTR)) return;
        if (got <= 0) return closeLink(link);
        if (link.head.contains("\r\n\r\n")) return;  // answered; the rest of its body is dropped
        link.head.append(buffer, got);
        if (!link.head.contains("\r\n\r\n")) return;
        // Counted before it leaves: the client may have read it and the test looked before the
        // count went up otherwise.
        ++busyAnswers_;
        (void)!::send(link.client, busyAnswer_.constData(), std::size_t(busyAnswer_.size()), MSG_NOSIGNAL);
        ::shutdown(link.client, SHUT_WR);
    }
    void accept() {
        for (;;) {
            const int client = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (client < 0) return;
            ++connections_;
            Link link;
            link.client = client;
            if (busyLeft_ > 0) {
                --busyLeft_;
                link.busy = true;
            } else if ((link.server = connectTarget()) < 0) {
                ::close(client);  // the server is away: the client sees its connection closed
                continue;
            }
            links_.push_back(std::move(link));
        }
    }

    void run() {
        std::unique_lock lock(mutex_);
        while (running_) {
            const auto now = Clock::now();
            const bool refusing = refuseUntil_ > now;
            if (refusing && listener_ >= 0) ::close(std::exchange(listener_, -1));
            if (!refusing && listener_ < 0) listener_ = listenOn(port_);

            std::vector<pollfd> fds{{wake_[0], POLLIN, 0}};
            if (listener_ >= 0 && !paused_) fds.push_back({listener_, POLLIN, 0});
            std::vector<std::pair<Link*, std::size_t>> polled;  // link, index of its client's entry
            auto wait = std::chrono::milliseconds(refusing ? 20 : 100);
            for (Link& link : links_) {
                if (link.done || paused_) continue;
                polled.emplace_back(&link, fds.size());
                const bool upDue = !link.up.empty() && link.up.pieces.front().first <= now;
                const bool downDue = !link.down.empty() && link.down.pieces.front().first <= now;
                fds.push_back({link.client, short((link.up.ended || link.cutWhenWritten ? 0 : POLLIN) | (downDue ? POLLOUT : 0)), 0});
                fds.push_back({link.server, short((link.down.ended || link.cutWhenWritten ? 0 : POLLIN) | (upDue ? POLLOUT : 0)), 0});
                for (const Queue* queue : {&link.up, &link.down})
                    if (!queue->empty() && queue->pieces.front().first > now)
                        wait = std::min(wait, std::chrono::ceil<std::chrono::milliseconds>(queue->pieces.front().first - now));
            }
            lock.unlock();
            ::poll(fds.data(), nfds_t(fds.size()), int(std::max<std::int64_t>(wait.count(), 1)));
            lock.lock();
            char drained[64];
            while (::read(wake_[0], drained, sizeof drained) > 0) {
            }
            const auto then = Clock::now();
            if (fds.size() > 1 && fds[1].fd == listener_ && (fds[1].revents & POLLIN)) accept();
            for (auto [link, index] : polled) {
                const short client = fds[index].revents;
                if (link->busy) {
                    if (client & (POLLIN | POLLHUP | POLLERR)) answerBusyLink(*link);
                    continue;
                }
                const short server = fds[index + 1].revents;
                constexpr short readable = POLLIN | POLLHUP | POLLERR;
                if (!link->cutWhenWritten && !link->up.ended && (client & readable)) take(*link, link->client, link->up, true, then);
                if (!link->done && !link->cutWhenWritten && !link->down.ended && (server & readable))
                    take(*link, link->server, link->down, false, then);
                if (link->done) continue;
                if (!give(link->server, link->up, then) || !give(link->client, link->down, then)) {
                    closeLink(*link);
                    continue;
                }
                const bool written = link->up.empty() && link->down.empty();
                if (written && link->cutWhenWritten) cut(*link);
                else if ((link->up.ended && link->up.empty()) || (link->down.ended && link->down.empty())) closeLink(*link);
            }
            links_.remove_if([](const Link& link) { return link.done; });
        }
    }

    const std::uint16_t target_;
    std::uint16_t port_ = 0;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    std::thread thread_;
    std::atomic<bool> running_{false};
    std::list<Link> links_;  // the proxy's thread only

    std::mutex mutex_;  // what follows, held by the thread except while it polls
    std::int64_t cutAfter_ = 0;
    Clock::time_point refuseUntil_{};
    std::chrono::milliseconds latency_{0};
    bool paused_ = false;
    int busyLeft_ = 0;
    QByteArray busyAnswer_;
    QByteArray dropStart_;
    int dropLeft_ = 0;

    std::atomic<int> connections_{0}, cuts_{0}, busyAnswers_{0}, droppedAnswers_{0};
};
