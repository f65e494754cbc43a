// HttpServiceClient against a server that answers wrongly: each call fails with a ServiceError,
// in bounded time, and a download hands its sink only bytes of the file, in their place.
#include <gtest/gtest.h>

#include <QTcpServer>
#include <QTcpSocket>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>

#include "frameworks/net/HttpServiceClient.h"

namespace {

using namespace std::chrono_literals;

struct Seen {
    QByteArray method;
    QByteArray target;
    QByteArray head;
};

// One connection at a time on 127.0.0.1, each answered with the bytes `answer` gives for the
// request (the how-manieth, from 0) and then closed. After `maximumRequests` it only closes, so
// that a client that would go on for ever ends.
class FakeServer {
public:
    using Answer = std::function<QByteArray(const Seen&, int index)>;
    static constexpr int maximumRequests = 30;

    explicit FakeServer(Answer answer) : answer_(std::move(answer)) {
        std::promise<quint16> bound;
        auto port = bound.get_future();
        thread_ = std::thread([this, &bound] { run(bound); });
        port_ = port.get();
    }
    ~FakeServer() {
        stop_ = true;
        thread_.join();
    }
    quint16 port() const { return port_; }
    std::vector<Seen> requests() const {
        std::lock_guard lock(mutex_);
        return seen_;
    }

private:
    void run(std::promise<quint16>& bound) {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        bound.set_value(server.serverPort());
        while (!stop_) {
            if (!server.waitForNewConnection(50)) continue;
            std::unique_ptr<QTcpSocket> socket(server.nextPendingConnection());
            if (auto request = read(*socket)) {
                int index = 0;
                {
                    std::lock_guard lock(mutex_);
                    index = int(seen_.size());
                    seen_.push_back(*request);
                }
                if (index < maximumRequests) write(*socket, answer_(*request, index));
            }
            socket->close();
        }
    }
    std::optional<Seen> read(QTcpSocket& socket) {
        QByteArray bytes;
        while (!bytes.contains("\r\n\r\n") && !stop_)
            if (!socket.waitForReadyRead(2000)) return std::nullopt;
            else bytes += socket.readAll();
        Seen seen;
        seen.head = bytes.left(bytes.indexOf("\r\n\r\n"));
        const QList<QByteArray> first = seen.head.left(seen.head.indexOf("\r\n")).split(' ');
        seen.method = first.value(0);
        seen.target = first.value(1);
        qsizetype length = 0;
        for (const QByteArray& line : seen.head.split('\n'))
            if (line.toLower().startsWith("content-length:")) length = line.mid(15).trimmed().toLongLong();
        while (bytes.size() < bytes.indexOf("\r\n\r\n") + 4 + length && socket.waitForReadyRead(2000)) bytes += socket.readAll();
        return seen;
    }
    void write(QTcpSocket& socket, const QByteArray& bytes) {
        for (qsizetype at = 0; at < bytes.size() && !stop_; at += 1 << 20) {
            socket.write(bytes.mid(at, 1 << 20));
            while (socket.bytesToWrite() > 0 && !stop_)
                if (!socket.waitForBytesWritten(100) && socket.state() != QAbstractSocket::ConnectedState) return;
        }
    }

    Answer answer_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    quint16 port_ = 0;
    mutable std::mutex mutex_;
    std::vector<Seen> seen_;
};

QByteArray answer(const QByteArray& status, const QByteArray& body, const QByteArray& headers = "Content-Type: application/json\r\n") {
    return "HTTP/1.1 " + status + "\r\n" + headers + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" + body;
}

const QByteArray content = [] {
    QByteArray bytes;
    for (int i = 0; bytes.size() < 1000; ++i) bytes += QByteArray::number(i) + ',';
    return bytes.left(1000);
}();
const QString revision = QStringLiteral("7-1000-1600000000000000000");
const QByteArray fileHead = "Content-Type: application/octet-stream\r\nETag: \"" + revision.toLatin1() + "\"\r\n";
// The file's first `sent` bytes under a head announcing all of them.
QByteArray cutFile(qsizetype sent) {
    return "HTTP/1.1 200 OK\r\n" + fileHead + "Content-Length: 1000\r\n\r\n" + content.left(sent);
}
QByteArray entryLine(const QString& path) {
    ServiceEntry e;
    e.path = path;
    e.size = 1;
    e.inode = 1;
    return ServiceWire::encodeEntryLine(e);
}
const QByteArray invalidToken = answer("401 Unauthorized", R"({"error":"invalid_token"})", "WWW-Authenticate: Bearer error=\"invalid_token\"\r\n");

TEST(MalformedAnswersTest, EveryBrokenAnswerFailsTheCallInBoundedTime) {
    FakeServer elsewhere([](const Seen&, int) { return answer("200 OK", "{}"); });
    const QByteArray redirect = "Location: http://127.0.0.1:" + QByteArray::number(elsewhere.port()) + "/2.1/entry?path=a\r\n";
    const QByteArray tokens = ServiceWire::toBytes(QJsonObject{{"access_token", "new access"}, {"refresh_token", "new refresh"},
                                                               {"token_type", "Bearer"}, {"expires_in", 60}, {"scope", "admin,rw"}});

    // Qt's network layer sends a request again by itself after some broken answers.
    const int resentByQt = 3;
    enum class Call { entry, entryEndingTheSession, tree, download, downloadFrom300, makeFolder, shares };
    const struct {
        const char* what;
        Call call;
        FakeServer::Answer answer;
        int maximumRequests;
    } cases[] = {
        {"a body shorter than its Content-Length",
         Call::entry, [](const Seen&, int) { return QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 500\r\n\r\n{\"path\":\"a\""); }, 2},
        {"invalid JSON", Call::entry, [](const Seen&, int) { return answer("200 OK", "{\"path\": \"a\", "); }, 1},
        {"JSON of another shape", Call::entry, [](const Seen&, int) { return answer("200 OK", R"({"path":5,"type":["file"]})"); }, 1},
        {"an array for an object", Call::entry, [](const Seen&, int) { return answer("200 OK", "[1,2,3]"); }, 1},
        {"an object for a list", Call::shares, [](const Seen&, int) { return answer("200 OK", R"({"links":[]})"); }, 1},
        {"a listing with a broken line",
         Call::tree, [](const Seen&, int) { return answer("200 OK", entryLine("a") + "{\"path\":\"b\",\"ty\n" + entryLine("c"), "Content-Type: application/x-ndjson\r\n"); }, 1},
        {"a listing cut before its end",
         Call::tree, [](const Seen&, int) { return QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 900\r\n\r\n") + entryLine("a") + entryLine("b"); }, 2},
        {"a chunked listing without its last chunk",
         Call::tree, [](const Seen&, int) {
             const QByteArray lines = entryLine("a");
             return "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + QByteArray::number(lines.size(), 16) + "\r\n" + lines + "\r\n";
         }, 2},
        // Qt stops reading it and says nothing: the stall ends the call.
        {"an enormous header",
         Call::entry, [](const Seen&, int) { return answer("200 OK", ServiceWire::toBytes(QJsonObject{{"path", "a"}, {"type", "file"}}), "X-Huge: " + QByteArray(2 << 20, 'h') + "\r\n"); }, 2},
        {"a 200 without a body", Call::entry, [](const Seen&, int) { return answer("200 OK", {}); }, 1},
        {"a 200 without a body for a folder", Call::makeFolder, [](const Seen&, int) { return answer("200 OK", {}); }, 1},
        {"a garbage status line", Call::entry, [](const Seen&, int) { return QByteArray("SOMETHING ELSE ENTIRELY\r\n\r\n{}"); }, 2 * resentByQt},
        {"a redirect to another host", Call::entry, [&](const Seen&, int) { return answer("302 Found", {}, redirect); }, 1},
        {"a redirect of a POST to another host", Call::makeFolder, [&](const Seen&, int) { return answer("307 Temporary Redirect", {}, redirect); }, 1},
        {"an answer larger than any document",
         Call::entry, [](const Seen&, int) { return QByteArray("HTTP/1.1 200 OK\r\nContent-Length: 100000000\r\n\r\n") + QByteArray(80 << 20, ' '); }, 1},
        {"busy for ever", Call::entry, [](const Seen&, int) { return answer("503 Service Unavailable", R"({"error":"unavailable"})", "Retry-After: 0\r\n"); }, 3},
        {"a download closed midway, then answered from the start", Call::download, [](const Seen&, int) { return cutFile(300); }, 2},
        {"a download ending early without a length",
         Call::download, [](const Seen&, int) { return "HTTP/1.1 200 OK\r\n" + fileHead + "Connection: close\r\n\r\n" + content.left(300); }, 2},
        {"a download from an offset answered from the start",
         Call::downloadFrom300, [](const Seen&, int) { return answer("200 OK", content, fileHead); }, 1},
        {"a download resumed and answered from the start",
         Call::download, [](const Seen&, int index) { return index == 0 ? cutFile(300) : answer("200 OK", content, fileHead); }, 2},
        {"a download resumed from another place",
         Call::download, [](const Seen&, int index) {
             return index == 0 ? cutFile(300)
                               : answer("206 Partial Content", content.mid(100), fileHead + "Content-Range: bytes 100-999/1000\r\n");
         }, 2},
        {"a 401 whose renewal is refused", Call::entryEndingTheSession, [&](const Seen&, int) { return invalidToken; }, 2},
        {"a 401 again after a renewal",
         Call::entry, [&](const Seen& request, int) { return request.target.startsWith("/oauth2/token") ? answer("200 OK", tokens) : invalidToken; }, 3},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        FakeServer server(c.answer);
        HttpServiceClient::Options options;
        options.baseUrl = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server.port()));
        options.stallTimeout = 1s;
        options.maximumAttempts = 2;
        options.firstBackoff = 10ms;
        options.maximumBackoff = 50ms;
        HttpServiceClient client(options);
        client.setTokens(ServiceClient::Tokens{QStringLiteral("access"), QStringLiteral("refresh")});
        int ended = 0;
        client.setSessionEnded([&] { ++ended; });
        QByteArray sunk;
        const ServiceClient::Sink sink = [&](const char* data, std::size_t size) {
            sunk.append(data, qsizetype(size));
            return true;
        };
        auto call = std::async(std::launch::async, [&]() -> std::optional<ServiceFailure> {
            const auto failure = [](const auto& result) { return result ? std::nullopt : std::optional(result.failure()); };
            switch (c.call) {
            case Call::entry:
            case Call::entryEndingTheSession: return failure(client.entry(QStringLiteral("a")));
            case Call::tree: return failure(client.tree({}, [](const ServiceEntry&) { return true; }));
            case Call::download: return failure(client.download(QStringLiteral("a"), revision, 0, sink));
            case Call::downloadFrom300: return failure(client.download(QStringLiteral("a"), revision, 300, sink));
            case Call::makeFolder: return failure(client.makeFolder(QStringLiteral("a")));
            case Call::shares: return failure(client.shares());
            }
            return std::nullopt;
        });
        ASSERT_EQ(call.wait_for(20s), std::future_status::ready) << "the call hangs";
        const auto failed = call.get();
        const qsizetype from = c.call == Call::downloadFrom300 ? 300 : 0;
        if (failed) {
            EXPECT_FALSE(failed->message.isEmpty());
            EXPECT_LE(sunk.size(), content.size() - from);
            EXPECT_EQ(sunk, content.mid(from, sunk.size())) << "only the file's bytes, in their place";
        } else {
            ADD_FAILURE() << "the call succeeded";
            EXPECT_EQ(sunk, content.mid(from)) << "a download that succeeds has the file";
        }
        EXPECT_LE(int(server.requests().size()), c.maximumRequests);
        for (const Seen& request : server.requests())
            if (request.target.startsWith("/oauth2/token")) {
                EXPECT_EQ(request.head.indexOf("Authorization"), -1);
            }
        EXPECT_EQ(ended, c.call == Call::entryEndingTheSession ? 1 : 0) << "the session's end is told once";
    }
    EXPECT_TRUE(elsewhere.requests().empty()) << "no request, and so no token, went to another host";
}

// A server of an earlier version knows no batches: the client goes on item by item, and asks no
// more batches of it.
TEST(MalformedAnswersTest, BatchesAServerDoesNotKnowAreSentItemByItem) {
    FakeServer server([](const Seen& request, int) {
        if (request.target.startsWith("/2.1/batch/")) return answer("404 Not Found", R"({"error":"notFound","message":"No such end point."})");
        if (request.method == "DELETE") return answer("204 No Content", {});
        return answer("200 OK", content, fileHead);
    });
    HttpServiceClient::Options options;
    options.baseUrl = QUrl(QStringLiteral("http://127.0.0.1:%1").arg(server.port()));
    options.stallTimeout = 1s;
    HttpServiceClient client(options);
    client.setTokens(ServiceClient::Tokens{QStringLiteral("access"), QStringLiteral("refresh")});
    for (int round = 0; round < 2; ++round) {
        const auto served = client.downloadBatch({{QStringLiteral("a"), revision}});
        ASSERT_EQ(served.size(), 1u);
        ASSERT_TRUE(served[0]) << served[0].failure().message.toStdString();
        EXPECT_EQ(served[0].value().bytes, content);
        const auto removed = client.removeBatch({{QStringLiteral("a"), revision}});
        ASSERT_EQ(removed.size(), 1u);
        EXPECT_TRUE(removed[0]) << removed[0].failure().message.toStdString();
    }
    int batches = 0;
    for (const Seen& request : server.requests()) batches += request.target.startsWith("/2.1/batch/");
    EXPECT_EQ(batches, 1);
}

}  // namespace
