#pragma once

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <memory>

#include "service/ServiceWire.h"
#include "support/ServiceProcess.h"

namespace ServerTest {

inline const QString password = QStringLiteral("password1");

struct Reply {
    int status = 0;
    QByteArray body;
    QList<QPair<QByteArray, QByteArray>> headers;
    QNetworkReply::NetworkError error = QNetworkReply::NoError;

    QJsonObject json() const { return ServiceWire::objectOf(body).value_or(QJsonObject()); }
    QString code() const { return json().value(QStringLiteral("error")).toString(); }
    QByteArray header(const QByteArray& name) const {
        for (const auto& [n, v] : headers)
            if (n.compare(name, Qt::CaseInsensitive) == 0) return v;
        return {};
    }
};

// Plain requests through Qt's HTTP client, answered synchronously.
class Client {
public:
    explicit Client(QString base, const QString& caFile = {}) : base_(std::move(base)) {
        if (!caFile.isEmpty()) tls_.setCaCertificates(QSslCertificate::fromPath(caFile));
    }

    QString token;

    Reply send(const QByteArray& method, const QString& target, const QByteArray& body = {},
               const QList<QPair<QByteArray, QByteArray>>& headers = {}) {
        QNetworkRequest request(QUrl(base_ + target, QUrl::StrictMode));
        if (!tls_.caCertificates().isEmpty()) request.setSslConfiguration(tls_);
        if (!token.isEmpty()) request.setRawHeader("Authorization", "Bearer " + token.toLatin1());
        if (!body.isEmpty()) request.setHeader(QNetworkRequest::ContentTypeHeader, "application/json");
        for (const auto& [name, value] : headers) request.setRawHeader(name, value);
        QNetworkReply* reply = network_.sendCustomRequest(request, method, body);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        loop.exec();
        Reply result;
        result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        result.body = reply->readAll();
        result.headers = reply->rawHeaderPairs();
        result.error = reply->error();
        reply->deleteLater();
        return result;
    }
    Reply get(const QString& target) { return send("GET", target); }
    Reply post(const QString& target, const QJsonObject& json) { return send("POST", target, ServiceWire::toBytes(json)); }
    Reply form(const QString& target, const QList<QPair<QString, QString>>& items) {
        return send("POST", target, ServiceWire::encodeForm(items), {{"Content-Type", ServiceWire::formType}});
    }

    // A new account, signed in: its tokens are kept (token) and returned.
    ServiceWire::TokenResponse signUp(const QString& name) {
        const Reply reply = post(QStringLiteral("/2.1/accounts"),
                                 ServiceWire::encode(ServiceWire::NewAccount{name, name + QStringLiteral("@example.org"), password}));
        EXPECT_EQ(reply.status, 201) << reply.body.toStdString();
        const auto tokens = ServiceWire::decodeTokenResponse(reply.json()).value_or(ServiceWire::TokenResponse{});
        token = tokens.accessToken;
        return tokens;
    }
    Reply signIn(const QString& name, const QString& secret) {
        return form(QStringLiteral("/oauth2/token"), {{QStringLiteral("grant_type"), QStringLiteral("password")},
                                                      {QStringLiteral("username"), name},
                                                      {QStringLiteral("password"), secret},
                                                      {QStringLiteral("client_id"), QStringLiteral("orvella")}});
    }

    static QString pathQuery(const QString& path) { return QStringLiteral("path=") + QString::fromLatin1(ServiceWire::percentEncode(path)); }
    ServiceEntry entry(const QString& path) {
        return ServiceWire::decodeEntry(get(QStringLiteral("/2.1/entry?") + pathQuery(path)).json()).value_or(ServiceEntry{});
    }
    std::vector<ServiceEntry> tree(const QString& path = {}) {
        std::vector<ServiceEntry> entries;
        const Reply reply = get(QStringLiteral("/2.1/tree?") + pathQuery(path));
        // A whole listing says so at its end; a client takes nothing less for the tree.
        if (reply.status == 200) {
            EXPECT_TRUE(reply.body.endsWith(ServiceWire::treeEndLine()));
        }
        for (const QByteArray& line : reply.body.split('\n'))
            if (auto e = ServiceWire::decodeEntryLine(line)) entries.push_back(*e);
        return entries;
    }
    // A file sent in one piece; the reply of its commit.
    Reply upload(const QString& path, const QByteArray& bytes, const std::optional<QString>& revision = std::nullopt) {
        const Reply made = post(QStringLiteral("/2.1/uploads"), ServiceWire::encode(uploadRequest(path, bytes, revision)));
        if (made.status != 201) return made;
        const QString id = made.json().value(QStringLiteral("id")).toString();
        if (!bytes.isEmpty()) {
            const Reply chunk = send("PUT", QStringLiteral("/2.1/uploads/") + id, bytes,
                                     {{"Content-Range", ServiceWire::contentRange(0, bytes.size() - 1, bytes.size())},
                                      {"Content-Type", "application/octet-stream"}});
            if (chunk.status != 200) return chunk;
        }
        return send("POST", QStringLiteral("/2.1/uploads/") + id + QStringLiteral("/commit"));
    }
    static ServiceWire::UploadRequest uploadRequest(const QString& path, const QByteArray& bytes,
                                                    const std::optional<QString>& revision = std::nullopt) {
        return ServiceWire::UploadRequest{path, bytes.size(), QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()),
                                          1600000000123456789, revision};
    }

private:
    QString base_;
    QSslConfiguration tls_ = QSslConfiguration::defaultConfiguration();
    QNetworkAccessManager network_;
};

// A raw connection for what no well-behaved client sends: malformed, oversized or trickled requests.
class RawConnection {
public:
    explicit RawConnection(std::uint16_t port) {
        socket_.connectToHost(QStringLiteral("127.0.0.1"), port);
        connected_ = socket_.waitForConnected(5000);
    }
    bool connected() const { return connected_; }
    // False once the server has closed the connection.
    bool send(const QByteArray& bytes) {
        if (socket_.state() != QAbstractSocket::ConnectedState) return false;
        socket_.write(bytes);
        socket_.waitForBytesWritten(1000);
        socket_.waitForReadyRead(0);
        received_ += socket_.readAll();
        return socket_.state() == QAbstractSocket::ConnectedState;
    }
    // What arrived until the server closed the connection or `ms` passed.
    QByteArray readUntilClosed(int ms = 10000) {
        QDeadlineTimer deadline(ms);
        while (socket_.state() == QAbstractSocket::ConnectedState && !deadline.hasExpired()) {
            socket_.waitForReadyRead(50);
            received_ += socket_.readAll();
        }
        received_ += socket_.readAll();
        return received_;
    }
    // What arrived once it holds `marker`, or `ms` passed.
    QByteArray readUntil(const QByteArray& marker, int ms = 10000) {
        QDeadlineTimer deadline(ms);
        while (!received_.contains(marker) && !deadline.hasExpired() && socket_.state() == QAbstractSocket::ConnectedState) {
            socket_.waitForReadyRead(50);
            received_ += socket_.readAll();
        }
        return received_;
    }
    static int statusOf(const QByteArray& response) {
        return response.startsWith("HTTP/1.1 ") ? response.mid(9, 3).toInt() : 0;
    }
    QTcpSocket& socket() { return socket_; }

private:
    QTcpSocket socket_;
    bool connected_ = false;
    QByteArray received_;
};

// A server per test, with one signed-up user "anna".
class ServerFixture : public ::testing::Test {
protected:
    virtual ServiceProcess::Options options() { return {}; }
    void SetUp() override {
        server = std::make_unique<ServiceProcess>(options());
        ASSERT_TRUE(server->start()) << server->lastError().toStdString() << server->log().toStdString();
        anna = std::make_unique<Client>(server->baseUrl(), server->caFile());
        annaTokens = anna->signUp(QStringLiteral("anna"));
    }
    void TearDown() override {
        if (HasFailure() && server) std::cerr << server->log().toStdString();
    }

    std::unique_ptr<ServiceProcess> server;
    std::unique_ptr<Client> anna;
    ServiceWire::TokenResponse annaTokens;
};

}  // namespace ServerTest
