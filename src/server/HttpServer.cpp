#include "server/HttpServer.h"

#include <boost/asio/co_spawn.hpp>
#include <boost/asio/detached.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/redirect_error.hpp>
#include <boost/asio/signal_set.hpp>
#include <boost/asio/ssl.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/asio/thread_pool.hpp>
#include <boost/asio/use_awaitable.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>
#include <boost/beast/ssl.hpp>

#include <QDateTime>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <limits>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include <unistd.h>

#include "service/ServiceWire.h"

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
namespace ssl = net::ssl;
using tcp = net::ip::tcp;

namespace {

constexpr std::size_t ioChunk = 64 * 1024;

// One line per request: never a header, a query or a body, so no token or password reaches the log.
void logLine(const QString& text) {
    static std::mutex mutex;
    const QByteArray line = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs).toUtf8() + ' ' + text.toUtf8() + '\n';
    std::lock_guard lock(mutex);
    std::fwrite(line.constData(), 1, std::size_t(line.size()), stderr);
    std::fflush(stderr);
}

bool writeAll(int fd, const char* data, std::size_t size, int& error) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

// A long-poll parked on its connection's strand. `woken` and the timer are touched on that strand
// only, so a change told between a check and the wait is never lost.
struct Waiter {
    explicit Waiter(const net::any_io_executor& executor) : strand(executor), timer(executor) {}
    net::any_io_executor strand;
    net::steady_timer timer;
    bool woken = false;
};

// The long-polls of each user. The journal tells of a change on its own thread: this only posts
// a wake-up to each waiter's strand.
class Waiters {
public:
    void add(const QString& user, const std::shared_ptr<Waiter>& waiter) {
        std::lock_guard lock(mutex_);
        byUser_[user].insert(waiter);
    }
    void remove(const QString& user, const std::shared_ptr<Waiter>& waiter) {
        std::lock_guard lock(mutex_);
        auto it = byUser_.find(user);
        if (it == byUser_.end()) return;
        it->second.erase(waiter);
        if (it->second.empty()) byUser_.erase(it);
    }
    void notify(const QString& user) {
        std::lock_guard lock(mutex_);
        auto it = byUser_.find(user);
        if (it == byUser_.end()) return;
        for (const auto& waiter : it->second)
            net::post(waiter->strand, [waiter] {
                waiter->woken = true;
                waiter->timer.cancel();
            });
    }

private:
    std::mutex mutex_;
    std::map<QString, std::set<std::shared_ptr<Waiter>>> byUser_;
};

http::status statusOf(int code) { return static_cast<http::status>(code); }

HttpResponse plainError(int status, ServiceError error, const QString& message) {
    HttpResponse r;
    r.status = status;
    r.addHeader("content-type", "application/json");
    r.body = ServiceWire::encodeError(ServiceWire::Error{{error, message}, {}, {}});
    r.close = true;
    return r;
}

template <typename Stream>
auto& lowest(Stream& stream) {
    return beast::get_lowest_layer(stream);
}

}  // namespace

struct HttpServer::Impl {
    Impl(Config c, HttpHandler& h) : config(std::move(c)), handler(h), io(config.ioThreads), workers(std::size_t(config.workerThreads)) {}

    Config config;
    HttpHandler& handler;
    net::io_context io;
    net::thread_pool workers;
    std::unique_ptr<ssl::context> tls;
    std::unique_ptr<tcp::acceptor> acceptor;
    std::uint16_t boundPort = 0;
    std::atomic<int> connections{0};
    Waiters waiters;

    template <typename F>
    net::awaitable<std::invoke_result_t<F>> onWorker(F f) {
        using R = std::invoke_result_t<F>;
        co_return co_await net::co_spawn(
            workers.get_executor(), [f = std::move(f)]() mutable -> net::awaitable<R> { co_return f(); }, net::use_awaitable);
    }

    net::awaitable<void> accept();
    net::awaitable<void> connection(tcp::socket socket);
    template <typename Stream>
    net::awaitable<void> serve(Stream& stream, const QString& peer);
    template <typename Stream>
    net::awaitable<bool> write(Stream& stream, HttpResponse& response, unsigned version, bool keepAlive);
    template <typename Stream, typename Parser>
    net::awaitable<HttpResponse> readBody(Stream& stream, beast::flat_buffer& buffer, Parser& parser, HttpHandling& handling,
                                          const HttpRequestHead& head, bool& consumed);
    net::awaitable<HttpResponse> wait(HttpChangeWait& wait);
};

HttpServer::HttpServer(Config config, HttpHandler& handler) : d_(std::make_unique<Impl>(std::move(config), handler)) {}

HttpServer::~HttpServer() {
    stop();
    d_->workers.join();
}

std::optional<QString> HttpServer::listen() {
    beast::error_code ec;
    const auto address = net::ip::make_address(d_->config.address.toStdString(), ec);
    if (ec) return QStringLiteral("\"%1\" is not an IP address.").arg(d_->config.address);
    if (!d_->config.certificateFile.isEmpty()) {
        d_->tls = std::make_unique<ssl::context>(ssl::context::tls_server);
        d_->tls->set_options(ssl::context::default_workarounds | ssl::context::no_sslv2 | ssl::context::no_sslv3 |
                             ssl::context::no_tlsv1 | ssl::context::no_tlsv1_1 | ssl::context::single_dh_use);
        d_->tls->use_certificate_chain_file(d_->config.certificateFile.toStdString(), ec);
        if (ec) return QStringLiteral("Cannot load the certificate %1: %2").arg(d_->config.certificateFile, QString::fromStdString(ec.message()));
        d_->tls->use_private_key_file(d_->config.keyFile.toStdString(), ssl::context::pem, ec);
        if (ec) return QStringLiteral("Cannot load the key %1: %2").arg(d_->config.keyFile, QString::fromStdString(ec.message()));
    }
    const tcp::endpoint endpoint(address, d_->config.port);
    auto acceptor = std::make_unique<tcp::acceptor>(d_->io);
    acceptor->open(endpoint.protocol(), ec);
    // A restart on the same port must not wait for the last run's connections to time out.
    if (!ec) acceptor->set_option(net::socket_base::reuse_address(true), ec);
    if (!ec) acceptor->bind(endpoint, ec);
    if (!ec) acceptor->listen(net::socket_base::max_listen_connections, ec);
    if (ec) return QStringLiteral("Cannot listen on %1:%2: %3").arg(d_->config.address).arg(d_->config.port).arg(QString::fromStdString(ec.message()));
    d_->boundPort = acceptor->local_endpoint().port();
    d_->acceptor = std::move(acceptor);
    return std::nullopt;
}

bool HttpServer::isLoopback(const QString& address) {
    beast::error_code ec;
    const auto parsed = net::ip::make_address(address.toStdString(), ec);
    return !ec && parsed.is_loopback();
}

QString HttpServer::url() const {
    const auto address = net::ip::make_address(d_->config.address.toStdString());
    const QString host = address.is_v6() ? u'[' + d_->config.address + u']' : d_->config.address;
    return (d_->tls ? QStringLiteral("https://") : QStringLiteral("http://")) + host + u':' + QString::number(d_->boundPort);
}

void HttpServer::run() {
    net::signal_set stopSignals(d_->io, SIGINT, SIGTERM);
    stopSignals.async_wait([this](const beast::error_code& ec, int) {
        if (!ec) stop();
    });
    net::co_spawn(d_->io, d_->accept(), net::detached);
    std::vector<std::thread> threads;
    for (int i = 1; i < d_->config.ioThreads; ++i) threads.emplace_back([this] { d_->io.run(); });
    d_->io.run();
    for (auto& thread : threads) thread.join();
}

void HttpServer::stop() {
    net::post(d_->io, [this] {
        beast::error_code ignored;
        if (d_->acceptor) d_->acceptor->close(ignored);
        d_->io.stop();
    });
}

void HttpServer::notifyChanges(const QString& userName) { d_->waiters.notify(userName); }

net::awaitable<void> HttpServer::Impl::accept() {
    for (;;) {
        beast::error_code ec;
        tcp::socket socket = co_await acceptor->async_accept(net::make_strand(io), net::redirect_error(net::use_awaitable, ec));
        if (ec == net::error::operation_aborted || !acceptor->is_open()) co_return;
        if (ec) continue;
        if (connections.load() >= config.maximumConnections) {
            socket.close(ec);
            continue;
        }
        // An answer goes out as its head and then its body: with Nagle's delay the body would wait
        // for the client's delayed acknowledgement of the head, some 40 ms an answer.
        socket.set_option(tcp::no_delay(true), ec);
        auto executor = socket.get_executor();
        net::co_spawn(executor, connection(std::move(socket)), net::detached);
    }
}

net::awaitable<void> HttpServer::Impl::connection(tcp::socket socket) {
    ++connections;
    struct Count {
        std::atomic<int>& count;
        ~Count() { --count; }
    } count{connections};
    beast::error_code ec;
    const auto remote = socket.remote_endpoint(ec);
    const QString peer = ec ? QStringLiteral("?") : QString::fromStdString(remote.address().to_string());
    if (!tls) {
        beast::tcp_stream stream(std::move(socket));
        co_await serve(stream, peer);
        stream.socket().shutdown(tcp::socket::shutdown_send, ec);
        co_return;
    }
    beast::ssl_stream<beast::tcp_stream> stream(std::move(socket), *tls);
    lowest(stream).expires_after(config.headerDeadline);
    co_await stream.async_handshake(ssl::stream_base::server, net::redirect_error(net::use_awaitable, ec));
    if (ec) co_return;
    co_await serve(stream, peer);
    lowest(stream).expires_after(std::chrono::seconds(2));
    co_await stream.async_shutdown(net::redirect_error(net::use_awaitable, ec));
}

template <typename Stream>
net::awaitable<void> HttpServer::Impl::serve(Stream& stream, const QString& peer) {
    beast::flat_buffer buffer;
    for (;;) {
        http::request_parser<http::empty_body> parser;
        parser.header_limit(std::uint32_t(config.headerLimit));
        parser.body_limit(std::numeric_limits<std::uint64_t>::max());
        // One deadline for the whole header: a client trickling it a byte at a time is cut off.
        lowest(stream).expires_after(config.headerDeadline);
        beast::error_code ec;
        co_await http::async_read_header(stream, buffer, parser, net::redirect_error(net::use_awaitable, ec));
        if (ec == http::error::header_limit) {
            HttpResponse refused = plainError(431, ServiceError::tooLarge, QStringLiteral("The request's header is too large."));
            co_await write(stream, refused, 11, false);
            co_return;
        }
        // The client went, timed out, or the connection broke: nobody to answer.
        if (ec && (ec == http::error::end_of_stream || ec.category() != http::make_error_code(http::error::end_of_stream).category()))
            co_return;
        if (ec) {
            HttpResponse refused = plainError(400, ServiceError::invalidRequest, QStringLiteral("The request cannot be read."));
            co_await write(stream, refused, 11, false);
            co_return;
        }
        auto& message = parser.get();
        HttpRequestHead head;
        head.method = QByteArray::fromStdString(std::string(message.method_string()));
        const std::string target(message.target());
        const auto question = target.find('?');
        head.path = QByteArray::fromStdString(target.substr(0, question));
        if (question != std::string::npos) head.query = QByteArray::fromStdString(target.substr(question + 1));
        for (const auto& field : message)
            head.headers.append({QByteArray::fromStdString(std::string(field.name_string())).toLower(),
                                 QByteArray::fromStdString(std::string(field.value()))});
        head.peer = peer;
        if (const auto length = parser.content_length()) head.contentLength = *length;
        head.hasBody = !parser.is_done();
        const unsigned version = message.version();
        const bool keepAlive = message.keep_alive();

        HttpHandling handling = co_await onWorker([this, &head] { return handler.handle(head); });
        bool consumed = parser.is_done();
        HttpResponse response;
        if (handling.response) {
            response = std::move(*handling.response);
        } else {
            response = co_await readBody(stream, buffer, parser, handling, head, consumed);
            if (!consumed && response.status < 400) co_return;  // cut off: nobody to answer
        }
        if (response.wait) response = co_await wait(*response.wait);
        // A body left unread cannot be told from the next request: the connection ends.
        if (!consumed) response.close = true;
        logLine(QStringLiteral("%1 %2 %3 %4").arg(peer, QString::fromLatin1(head.method), QString::fromLatin1(head.path)).arg(response.status));
        const bool keep = keepAlive && !response.close;
        if (!co_await write(stream, response, version, keep) || !keep) co_return;
    }
}

template <typename Stream, typename Parser>
net::awaitable<HttpResponse> HttpServer::Impl::readBody(Stream& stream, beast::flat_buffer& buffer, Parser& headerParser,
                                                        HttpHandling& handling, const HttpRequestHead& head, bool& consumed) {
    beast::error_code ec;
    if (head.contentLength && *head.contentLength > handling.limit)
        co_return plainError(413, ServiceError::tooLarge, QStringLiteral("The request's body is too large."));
    if (beast::iequals(headerParser.get()[http::field::expect], "100-continue")) {
        http::response<http::empty_body> proceed{http::status::continue_, 11};
        lowest(stream).expires_after(config.writeDeadline);
        co_await http::async_write(stream, proceed, net::redirect_error(net::use_awaitable, ec));
        if (ec) co_return plainError(400, ServiceError::invalidRequest, QStringLiteral("The connection broke."));
    }
    // A body must keep up a minimum rate: after the grace, each read is due by the time the bytes
    // so far would have taken at that rate, so a trickling client is cut off whatever length it
    // announced.
    const auto started = std::chrono::steady_clock::now();
    std::uint64_t received = 0;
    const auto due = [&] {
        lowest(stream).expires_at(started + config.bodyGrace +
                                  std::chrono::milliseconds(std::int64_t(double(received) * 1000.0 / double(std::max<std::int64_t>(1, config.minimumBodyRate)))));
    };
    if (handling.whole) {
        http::request_parser<http::string_body> parser(std::move(headerParser));
        parser.body_limit(handling.limit);
        while (!ec && !parser.is_done()) {
            due();
            received += co_await http::async_read_some(stream, buffer, parser, net::redirect_error(net::use_awaitable, ec));
        }
        if (ec == http::error::body_limit) co_return plainError(413, ServiceError::tooLarge, QStringLiteral("The request's body is too large."));
        if (ec) co_return HttpResponse{};
        consumed = true;
        const QByteArray body = QByteArray::fromStdString(parser.get().body());
        co_return co_await onWorker([&handling, &body] { return handling.whole(body); });
    }
    http::request_parser<http::buffer_body> parser(std::move(headerParser));
    parser.body_limit(handling.limit);
    std::vector<char> chunk(ioChunk);
    HttpBodyEnd end;
    while (!parser.is_done()) {
        parser.get().body().data = chunk.data();
        parser.get().body().size = chunk.size();
        due();
        received += co_await http::async_read_some(stream, buffer, parser, net::redirect_error(net::use_awaitable, ec));
        if (ec == http::error::need_buffer) ec = {};
        const std::size_t got = chunk.size() - parser.get().body().size;
        if (got && !end.writeError && writeAll(handling.sink->get(), chunk.data(), got, end.writeError)) end.written += std::int64_t(got);
        if (ec) break;
    }
    end.complete = !ec && parser.is_done() && !end.writeError;
    consumed = !ec && parser.is_done();
    HttpResponse response = co_await onWorker([&handling, &end] { return handling.finished(end); });
    if (ec == http::error::body_limit) co_return plainError(413, ServiceError::tooLarge, QStringLiteral("The request's body is too large."));
    co_return response;
}

net::awaitable<HttpResponse> HttpServer::Impl::wait(HttpChangeWait& wait) {
    auto waiter = std::make_shared<Waiter>(co_await net::this_coro::executor);
    waiters.add(wait.userName, waiter);
    struct Leave {
        Waiters& all;
        const QString& user;
        std::shared_ptr<Waiter> waiter;
        ~Leave() { all.remove(user, waiter); }
    } leave{waiters, wait.userName, waiter};
    const auto deadline = std::chrono::steady_clock::now() + wait.timeout;
    for (;;) {
        waiter->woken = false;
        if (auto ready = co_await onWorker([&wait] { return wait.check(false); })) co_return std::move(*ready);
        if (!waiter->woken) {
            waiter->timer.expires_at(deadline);
            beast::error_code ec;
            co_await waiter->timer.async_wait(net::redirect_error(net::use_awaitable, ec));
        }
        if (std::chrono::steady_clock::now() >= deadline) co_return *co_await onWorker([&wait] { return wait.check(true); });
    }
}

template <typename Stream>
net::awaitable<bool> HttpServer::Impl::write(Stream& stream, HttpResponse& r, unsigned version, bool keepAlive) {
    beast::error_code ec;
    const auto fill = [&](auto& message) {
        for (const auto& [name, value] : r.headers) message.set(name.toStdString(), value.toStdString());
        message.set(http::field::server, "Orvella_Service");
        message.keep_alive(keepAlive);
    };
    lowest(stream).expires_after(config.writeDeadline);
    if (!r.file && !r.stream) {
        http::response<http::string_body> message{statusOf(r.status), version};
        fill(message);
        message.body() = r.body.toStdString();
        message.prepare_payload();
        co_await http::async_write(stream, message, net::redirect_error(net::use_awaitable, ec));
        co_return !ec;
    }
    http::response<http::empty_body> message{statusOf(r.status), version};
    fill(message);
    if (r.file) message.content_length(std::uint64_t(r.fileLength));
    else message.chunked(true);
    http::response_serializer<http::empty_body> serializer{message};
    co_await http::async_write_header(stream, serializer, net::redirect_error(net::use_awaitable, ec));
    if (ec) co_return false;
    if (r.file) {
        // The file is read a chunk at a time as the client takes it: never whole in memory.
        std::vector<char> chunk(ioChunk);
        std::int64_t at = r.fileOffset;
        std::int64_t left = r.fileLength;
        while (left > 0) {
            const ssize_t n = ::pread(r.file->get(), chunk.data(), std::size_t(std::min<std::int64_t>(left, std::int64_t(chunk.size()))), off_t(at));
            if (n <= 0) co_return false;  // the file shrank under us: the client sees a short body
            lowest(stream).expires_after(config.writeDeadline);
            co_await net::async_write(stream, net::buffer(chunk.data(), std::size_t(n)), net::redirect_error(net::use_awaitable, ec));
            if (ec) co_return false;
            at += n;
            left -= n;
        }
        co_return true;
    }
    for (;;) {
        const auto part = co_await onWorker([&r] { return r.stream(); });
        if (!part) break;
        lowest(stream).expires_after(config.writeDeadline);
        co_await net::async_write(stream, http::make_chunk(net::buffer(part->constData(), std::size_t(part->size()))),
                                  net::redirect_error(net::use_awaitable, ec));
        if (ec) co_return false;
    }
    co_await net::async_write(stream, http::make_chunk_last(), net::redirect_error(net::use_awaitable, ec));
    co_return !ec;
}
