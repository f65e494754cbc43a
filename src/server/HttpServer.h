#pragma once

#include <QString>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

#include "server/HttpExchange.h"

// The HTTP(S) side of the service: accepts connections, reads requests within their limits and
// deadlines, hands them to the handler on worker threads and streams the answers back.
//
// A few I/O threads run every connection as a coroutine; what may block (files, password hashes)
// runs on a pool of workers. A long-poll holds neither: it waits on a timer of its connection,
// woken when the journal tells of a change of its user, so idle waiters cost no thread and no CPU.
class HttpServer {
public:
    struct Config {
        QString address = QStringLiteral("127.0.0.1");
        std::uint16_t port = 0;
        // Both or neither: TLS with this certificate chain and private key (PEM files).
        QString certificateFile;
        QString keyFile;
        // The whole header of a request must arrive within this, also a keep-alive's next one.
        std::chrono::milliseconds headerDeadline{20000};
        // A body must arrive at least this fast (after the grace), else the connection ends.
        std::int64_t minimumBodyRate = 16 * 1024;
        std::chrono::milliseconds bodyGrace{20000};
        std::chrono::milliseconds writeDeadline{60000};
        std::size_t headerLimit = 16 * 1024;
        int ioThreads = 2;
        int workerThreads = 8;
        int maximumConnections = 4096;
    };

    HttpServer(Config config, HttpHandler& handler);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    static bool isLoopback(const QString& address);

    // Loads the certificate and binds; the reason when either fails.
    std::optional<QString> listen();
    // "http://127.0.0.1:8443", with the port bound.
    QString url() const;
    // Serves until SIGTERM or SIGINT, or stop().
    void run();
    void stop();
    // Wakes the long-polls of the user; any thread.
    void notifyChanges(const QString& userName);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};
