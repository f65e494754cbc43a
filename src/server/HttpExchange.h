#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "service/UserTree.h"

// What the HTTP layer and the service's routes hand each other, without the HTTP library: the
// routes run on worker threads and never see a socket; the HTTP layer never sees a file tree.

struct HttpRequestHead {
    QByteArray method;
    QByteArray path;   // the target before "?", as sent
    QByteArray query;  // after "?", as sent
    QList<QPair<QByteArray, QByteArray>> headers;  // names in lower case
    QString peer;      // the client's address
    std::optional<std::uint64_t> contentLength;
    bool hasBody = false;

    QByteArray header(QByteArrayView lowerCaseName) const {
        for (const auto& [name, value] : headers)
            if (name == lowerCaseName) return value;
        return {};
    }
};

struct HttpChangeWait;

struct HttpResponse {
    int status = 200;
    QList<QPair<QByteArray, QByteArray>> headers;
    QByteArray body;
    // Instead of `body`: bytes [fileOffset, fileOffset + fileLength) of a file, read as they are sent.
    std::shared_ptr<UniqueFd> file;
    std::int64_t fileOffset = 0;
    std::int64_t fileLength = 0;
    // Instead of `body`: a chunked body, each part asked for on a worker until there is none.
    std::function<std::optional<QByteArray>()> stream;
    // No answer yet: it comes when the user's tree changes or the wait is over (see HttpChangeWait).
    std::shared_ptr<HttpChangeWait> wait;
    // The connection ends after this answer.
    bool close = false;

    void addHeader(QByteArray name, QByteArray value) { headers.append(qMakePair(std::move(name), std::move(value))); }
};

// A long-poll. While it waits it holds no thread: the HTTP layer parks it on a timer and asks
// `check` again, on a worker, whenever the journal numbers a change of `userName`.
struct HttpChangeWait {
    QString userName;
    std::chrono::milliseconds timeout{0};
    // The answer once there is one; when `last` (the wait is over) there must be one.
    std::function<std::optional<HttpResponse>(bool last)> check;
};

// How a body streamed into a file ended.
struct HttpBodyEnd {
    std::int64_t written = 0;
    bool complete = false;  // all of it arrived and was written
    int writeError = 0;     // errno of a failed write, after which nothing more was written
};

// What a route makes of a request once its header is read.
struct HttpHandling {
    // The answer, without reading any body (the connection is closed when one was sent).
    std::optional<HttpResponse> response;
    // Else the body, read whole up to `limit` bytes (413 beyond) and handed to `whole`...
    std::size_t limit = 0;
    std::function<HttpResponse(const QByteArray& body)> whole;
    // ...or written as it arrives into `sink`, after which `finished` answers (also when the body
    // was cut off: then its answer is not sent).
    std::shared_ptr<UniqueFd> sink;
    std::function<HttpResponse(const HttpBodyEnd& end)> finished;
};

class HttpHandler {
public:
    virtual ~HttpHandler() = default;
    // Called on a worker thread.
    virtual HttpHandling handle(const HttpRequestHead& head) = 0;
};
