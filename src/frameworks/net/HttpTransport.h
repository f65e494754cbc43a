#pragma once

#include <QByteArray>
#include <QList>
#include <QNetworkReply>
#include <QPair>
#include <QSslConfiguration>
#include <QString>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stop_token>

class QNetworkAccessManager;

// One QNetworkAccessManager on a thread of its own, so that its connections are kept and reused
// whichever thread calls; each exchange is one request, run synchronously for its caller (never
// the transport's own thread). Answer bodies reach the caller's thread through a bounded buffer:
// while it is full the network side stops reading, and the socket's window closes. A request body
// may come from a file descriptor, read piece by piece as it is sent.
class HttpTransport {
public:
    struct Request {
        QByteArray method;
        QUrl url;
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;
        // A body of `fdLength` bytes read from `fd` at `fdOffset` instead, when fd >= 0.
        int fd = -1;
        std::int64_t fdOffset = 0;
        std::int64_t fdLength = 0;
        // No byte in either direction for this long ends the exchange as stalled.
        std::chrono::milliseconds stallTimeout{30000};
        // Asks for the body from this byte on: only a 206 that starts there reaches the sink; any
        // other success would put bytes in the wrong place, and ends as misplaced.
        std::int64_t rangeFrom = 0;
    };
    enum class Outcome { answered, failed, stalled, cancelled, sinkRefused, tooLarge, misplaced };
    struct Answer {
        Outcome outcome = Outcome::failed;
        int status = 0;  // 0: no HTTP answer at all
        QList<QPair<QByteArray, QByteArray>> headers;
        QByteArray body;  // unless it went to the sink
        QNetworkReply::NetworkError error = QNetworkReply::NoError;
        QString errorText;  // names the certificate's problems when it was refused
        std::int64_t delivered = 0;  // bytes handed to the sink
        QByteArray header(const QByteArrayView name) const;
    };
    // Takes a body answered with a 2xx status, piece by piece; false stops the exchange.
    using Sink = std::function<bool(const char* data, std::size_t size)>;

    // `tls` is the trust every request uses; `bufferBytes` bounds what waits for the caller.
    explicit HttpTransport(QSslConfiguration tls, std::size_t bufferBytes = 1 << 20);
    ~HttpTransport();
    HttpTransport(const HttpTransport&) = delete;
    HttpTransport& operator=(const HttpTransport&) = delete;

    // `bodyLimit` bounds a body that is not sunk (tooLarge beyond). Cancelling or stopping aborts.
    Answer exchange(const Request& request, const Sink& sink, std::size_t bodyLimit,
                    const std::atomic<bool>* cancel = nullptr, std::stop_token stop = {});

    struct Flow;

private:
    void start(const std::shared_ptr<Flow>& flow, const Request& request);
    void pump(const std::shared_ptr<Flow>& flow, bool all);

    QSslConfiguration tls_;
    std::size_t bufferBytes_;
    QThread thread_;
    QObject* anchor_ = nullptr;  // lives on thread_: what queued calls run on
    QNetworkAccessManager* network_ = nullptr;
};
