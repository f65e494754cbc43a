#include "frameworks/net/HttpTransport.h"

#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QPointer>
#include <QSslError>
#include <QTimer>

#include <condition_variable>
#include <deque>
#include <mutex>

#include "frameworks/net/FdRangeDevice.h"
#include "service/ServiceWire.h"

namespace {

constexpr auto pollInterval = std::chrono::milliseconds(50);
constexpr qint64 readPiece = 64 * 1024;

// Errors of the connection itself, as opposed to those Qt derives from an HTTP status.
bool isTransportError(QNetworkReply::NetworkError error) {
    const int code = int(error);
    return (code > 0 && code < 200) || error == QNetworkReply::ProtocolUnknownError || error == QNetworkReply::ProtocolFailure;
}

// A successful answer to a request for a range that does not start where it was asked to.
bool misplaced(const HttpTransport::Request& request, int status, const QList<QPair<QByteArray, QByteArray>>& headers) {
    if (request.rangeFrom <= 0 || status / 100 != 2) return false;
    if (status != 206) return true;
    for (const auto& [name, value] : headers)
        if (name.compare("content-range", Qt::CaseInsensitive) == 0) {
            const auto range = ServiceWire::parseContentRange(value);
            return !range || range->first != request.rangeFrom;
        }
    return true;
}

}  // namespace

struct HttpTransport::Flow {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<QByteArray> chunks;
    std::size_t buffered = 0;
    bool paused = false;  // the network side stopped reading until the caller takes the chunks
    bool finished = false;
    bool stopWanted = false;
    Outcome abortReason = Outcome::answered;  // why it was aborted, if it was
    int status = 0;
    QList<QPair<QByteArray, QByteArray>> headers;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    QString errorText;
    QStringList certificateProblems;
    // Touched on the network thread only.
    QPointer<QNetworkReply> reply;
    QPointer<QTimer> stall;

    void takeHead(QNetworkReply* r) {
        if (status) return;
        status = r->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status) headers = r->rawHeaderPairs();
    }
    void abortFor(Outcome why) {
        {
            std::lock_guard lock(mutex);
            if (abortReason == Outcome::answered) abortReason = why;
        }
        if (reply) reply->abort();
    }
};

QByteArray HttpTransport::Answer::header(const QByteArrayView name) const {
    for (const auto& [n, v] : headers)
        if (n.compare(name, Qt::CaseInsensitive) == 0) return v;
    return {};
}

HttpTransport::HttpTransport(QSslConfiguration tls, std::size_t bufferBytes) : tls_(std::move(tls)), bufferBytes_(bufferBytes) {
    thread_.setObjectName(QStringLiteral("HttpTransport"));
    anchor_ = new QObject;
    anchor_->moveToThread(&thread_);
    thread_.start();
    QMetaObject::invokeMethod(anchor_, [this] { network_ = new QNetworkAccessManager; }, Qt::BlockingQueuedConnection);
}

HttpTransport::~HttpTransport() {
    QMetaObject::invokeMethod(anchor_, [this] {
        delete network_;
        network_ = nullptr;
    }, Qt::BlockingQueuedConnection);
    thread_.quit();
    thread_.wait();
    delete anchor_;
}

void HttpTransport::start(const std::shared_ptr<Flow>& flow, const Request& request) {
    QNetworkRequest r(request.url);
    r.setSslConfiguration(tls_);
    r.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::ManualRedirectPolicy);
    r.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    r.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    for (const auto& [name, value] : request.headers) r.setRawHeader(name, value);
    if (request.rangeFrom > 0) r.setRawHeader("Range", "bytes=" + QByteArray::number(qint64(request.rangeFrom)) + '-');
    QNetworkReply* reply = nullptr;
    if (request.fd >= 0) {
        r.setHeader(QNetworkRequest::ContentLengthHeader, qint64(request.fdLength));
        auto* device = new FdRangeDevice(request.fd, request.fdOffset, request.fdLength);
        reply = network_->sendCustomRequest(r, request.method, device);
        device->setParent(reply);
    } else {
        reply = network_->sendCustomRequest(r, request.method, request.body);
    }
    reply->setReadBufferSize(qint64(bufferBytes_));
    flow->reply = reply;
    auto* stall = new QTimer(reply);
    stall->setSingleShot(true);
    stall->setInterval(request.stallTimeout);
    flow->stall = stall;
    QObject::connect(stall, &QTimer::timeout, reply, [flow] { flow->abortFor(Outcome::stalled); });
    // Progress either way keeps the exchange alive; while the caller holds the buffer full the
    // stall clock does not run (see pump).
    auto progressed = [stall] {
        if (stall->isActive()) stall->start();
    };
    QObject::connect(reply, &QNetworkReply::uploadProgress, stall, progressed);
    QObject::connect(reply, &QNetworkReply::downloadProgress, stall, progressed);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, reply, [flow, reply] {
        std::lock_guard lock(flow->mutex);
        flow->takeHead(reply);
        flow->changed.notify_all();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [this, flow] { pump(flow, false); });
    QObject::connect(reply, &QNetworkReply::sslErrors, reply, [flow](const QList<QSslError>& errors) {
        std::lock_guard lock(flow->mutex);
        for (const QSslError& error : errors) flow->certificateProblems << error.errorString();
    });
    QObject::connect(reply, &QNetworkReply::finished, reply, [this, flow, reply] {
        pump(flow, true);
        std::lock_guard lock(flow->mutex);
        flow->takeHead(reply);
        flow->error = reply->error();
        flow->errorText = flow->certificateProblems.isEmpty()
                              ? reply->errorString()
                              : QString::fromLatin1(ServiceWire::untrustedCertificate) + flow->certificateProblems.join(QStringLiteral("; "));
        flow->finished = true;
        flow->reply = nullptr;
        reply->deleteLater();
        flow->changed.notify_all();
    });
    stall->start();
}

void HttpTransport::pump(const std::shared_ptr<Flow>& flow, bool all) {
    QNetworkReply* reply = flow->reply;
    if (!reply) return;
    std::lock_guard lock(flow->mutex);
    flow->takeHead(reply);
    while (reply->bytesAvailable() > 0 && (all || flow->buffered < bufferBytes_)) {
        QByteArray piece = reply->read(std::min(reply->bytesAvailable(), readPiece));
        if (piece.isEmpty()) break;
        flow->buffered += std::size_t(piece.size());
        flow->chunks.push_back(std::move(piece));
    }
    flow->paused = !all && flow->buffered >= bufferBytes_;
    if (flow->stall) {
        if (flow->paused) flow->stall->stop();
        else flow->stall->start();
    }
    flow->changed.notify_all();
}

HttpTransport::Answer HttpTransport::exchange(const Request& request, const Sink& sink, std::size_t bodyLimit,
                                              const std::atomic<bool>* cancel, std::stop_token stop) {
    Q_ASSERT(QThread::currentThread() != &thread_);
    auto flow = std::make_shared<Flow>();
    std::stop_callback onStop(stop, [flow] {
        std::lock_guard lock(flow->mutex);
        flow->stopWanted = true;
        flow->changed.notify_all();
    });
    QMetaObject::invokeMethod(anchor_, [this, flow, request] { start(flow, request); }, Qt::QueuedConnection);

    Answer answer;
    bool aborting = false;
    auto abort = [&](Outcome why) {
        if (aborting) return;
        aborting = true;
        {
            std::lock_guard lock(flow->mutex);
            if (flow->abortReason == Outcome::answered) flow->abortReason = why;
        }
        QMetaObject::invokeMethod(anchor_, [flow, why] { flow->abortFor(why); }, Qt::QueuedConnection);
    };

    std::unique_lock lock(flow->mutex);
    for (;;) {
        flow->changed.wait_for(lock, pollInterval, [&] { return !flow->chunks.empty() || flow->finished || (flow->stopWanted && !aborting); });
        if (!aborting && (flow->stopWanted || (cancel && cancel->load()))) {
            lock.unlock();
            abort(Outcome::cancelled);
            lock.lock();
        }
        if (!flow->chunks.empty()) {
            std::deque<QByteArray> chunks;
            chunks.swap(flow->chunks);
            flow->buffered = 0;
            const bool sinking = sink && flow->status / 100 == 2;
            const bool wrongPlace = sinking && misplaced(request, flow->status, flow->headers);
            if (flow->paused) {
                flow->paused = false;
                QMetaObject::invokeMethod(anchor_, [this, flow] { pump(flow, false); }, Qt::QueuedConnection);
            }
            lock.unlock();
            if (wrongPlace) abort(Outcome::misplaced);
            for (const QByteArray& chunk : chunks) {
                if (aborting) break;
                if (sinking) {
                    if (!sink(chunk.constData(), std::size_t(chunk.size()))) abort(Outcome::sinkRefused);
                    else answer.delivered += chunk.size();
                } else if (std::size_t(answer.body.size() + chunk.size()) > bodyLimit) {
                    abort(Outcome::tooLarge);
                } else {
                    answer.body += chunk;
                }
            }
            lock.lock();
            continue;
        }
        if (flow->finished) break;
    }
    answer.status = flow->status;
    answer.headers = flow->headers;
    answer.error = flow->error;
    answer.errorText = flow->errorText;
    if (flow->abortReason != Outcome::answered) answer.outcome = flow->abortReason;
    else if (sink && misplaced(request, answer.status, answer.headers)) answer.outcome = Outcome::misplaced;
    else if (answer.status > 0 && !isTransportError(flow->error)) answer.outcome = Outcome::answered;
    else answer.outcome = Outcome::failed;
    return answer;
}
