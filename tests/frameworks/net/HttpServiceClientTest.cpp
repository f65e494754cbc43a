#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QThread>

#include <thread>

#include "frameworks/net/HttpServiceClient.h"
#include "support/ServiceProcess.h"

namespace {

using namespace std::chrono_literals;
const QString password = QStringLiteral("password1");

QString sha256(QByteArrayView bytes) { return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()); }

// The bytes in a file of their own, for calls that read a descriptor.
struct LocalFile {
    explicit LocalFile(const QByteArray& bytes) : file(QDir::tempPath() + QStringLiteral("/net-XXXXXX")) {
        file.open();
        file.write(bytes);
        file.flush();
    }
    int fd() { return int(file.handle()); }
    QTemporaryFile file;
};

ServiceWire::UploadRequest requestFor(const QString& path, const QByteArray& bytes, std::optional<QString> revision = std::nullopt) {
    return {path, bytes.size(), sha256(bytes), 1600000000123456789, std::move(revision)};
}

class HttpServiceClientTest : public ::testing::Test {
protected:
    virtual QStringList serverArguments() { return {}; }
    void SetUp() override {
        server = std::make_unique<ServiceProcess>(ServiceProcess::Options{{}, true, serverArguments()});
        ASSERT_TRUE(server->start()) << server->lastError().toStdString();
        anna = signedUp(QStringLiteral("anna"));
    }
    void TearDown() override {
        if (HasFailure() && server) std::cerr << server->log().toStdString();
    }
    HttpServiceClient::Options options(const QString& caFile) {
        HttpServiceClient::Options o;
        o.baseUrl = QUrl(server->baseUrl());
        o.caFile = caFile;
        o.stallTimeout = 5s;
        o.maximumAttempts = 8;
        o.firstBackoff = 50ms;
        o.maximumBackoff = 1s;
        return o;
    }
    std::unique_ptr<HttpServiceClient> client() { return std::make_unique<HttpServiceClient>(options(server->caFile())); }
    std::unique_ptr<HttpServiceClient> signedUp(const QString& name) {
        auto made = client();
        const auto account = made->createAccount({name, name + QStringLiteral("@example.org"), password});
        EXPECT_TRUE(account) << account.failure().message.toStdString();
        return made;
    }
    ServiceResult<ServiceEntry> put(HttpServiceClient& to, const QString& path, const QByteArray& bytes,
                                    std::optional<QString> revision = std::nullopt) {
        LocalFile local(bytes);
        return to.upload(requestFor(path, bytes, std::move(revision)), local.fd());
    }
    QByteArray fetch(const QString& path, std::int64_t offset = 0) {
        QByteArray bytes;
        const auto got = anna->download(path, std::nullopt, offset, [&](const char* data, std::size_t size) {
            bytes.append(data, qsizetype(size));
            return true;
        });
        EXPECT_TRUE(got) << got.failure().message.toStdString();
        return bytes;
    }

    std::unique_ptr<ServiceProcess> server;
    std::unique_ptr<HttpServiceClient> anna;
};

TEST_F(HttpServiceClientTest, SignsInAndReadsTheAccount) {
    const auto account = anna->account();
    ASSERT_TRUE(account);
    EXPECT_EQ(account.value().account.userName, QStringLiteral("anna"));
    EXPECT_EQ(anna->tokenInfo().value().userName, QStringLiteral("anna"));
    EXPECT_EQ(anna->describe(), server->baseUrl());

    const struct {
        QString user;
        QString secret;
        std::optional<ServiceError> error;
    } signIns[] = {
        {QStringLiteral("anna"), password, std::nullopt},
        {QStringLiteral("anna"), QStringLiteral("wrong password"), ServiceError::wrongCredentials},
        {QStringLiteral("nobody"), password, ServiceError::wrongCredentials},
    };
    for (const auto& c : signIns) {
        auto other = client();
        const auto tokens = other->signIn(c.user, c.secret);
        EXPECT_EQ(tokens ? std::nullopt : std::optional(tokens.error()), c.error) << c.user.toStdString();
        EXPECT_EQ(other->tokens().has_value(), !c.error);
        EXPECT_TRUE(other->isReachable());
    }
    ASSERT_TRUE(put(*anna, QStringLiteral("a.txt"), "hello world"));
    const auto quota = anna->quota();
    ASSERT_TRUE(quota);
    EXPECT_EQ(quota.value().used, 11);

    // Revoking ends the session: the tokens are gone here and useless elsewhere.
    const auto kept = anna->tokens();
    ASSERT_TRUE(anna->revoke());
    EXPECT_FALSE(anna->tokens());
    EXPECT_EQ(anna->account().error(), ServiceError::invalidSession);
    auto other = client();
    other->setTokens(kept);
    EXPECT_EQ(other->account().error(), ServiceError::invalidSession);
}

class ShortTokensTest : public HttpServiceClientTest {
protected:
    QStringList serverArguments() override { return {QStringLiteral("--access-token-lifetime"), QStringLiteral("1")}; }
};

TEST_F(ShortTokensTest, AnExpiredTokenIsRenewedOnceAndARefusedRenewalEndsTheSession) {
    std::atomic<int> renewals = 0;
    int ended = 0;
    anna->setTokensChanged([&](const ServiceClient::Tokens&) { ++renewals; });
    anna->setSessionEnded([&] { ++ended; });
    const auto first = anna->tokens();
    QThread::msleep(1100);
    // Calls that meet the expired token together share one renewal.
    std::vector<std::thread> callers;
    std::atomic<int> answered = 0;
    for (int i = 0; i < 4; ++i) callers.emplace_back([&] { answered += anna->quota().isSuccess(); });
    for (auto& t : callers) t.join();
    EXPECT_EQ(answered, 4);
    EXPECT_EQ(renewals, 1);
    EXPECT_NE(anna->tokens()->accessToken, first->accessToken);
    EXPECT_EQ(anna->tokens()->refreshToken, first->refreshToken);

    auto elsewhere = client();
    elsewhere->setTokens(anna->tokens());
    ASSERT_TRUE(elsewhere->revoke());
    EXPECT_EQ(anna->account().error(), ServiceError::invalidSession);
    EXPECT_EQ(anna->quota().error(), ServiceError::invalidSession);
    EXPECT_FALSE(anna->tokens());
    EXPECT_EQ(ended, 1);
}

TEST_F(HttpServiceClientTest, OnlyATrustedCertificateIsAccepted) {
    const struct {
        QString caFile;
        QByteArray environment;
        bool trusted;
    } cases[] = {
        {{}, {}, false},
        {server->caFile(), {}, true},
        {{}, server->caFile().toUtf8(), true},
    };
    for (const auto& c : cases) {
        qputenv("ORVELLA_CA_FILE", c.environment);
        HttpServiceClient other(options(c.caFile));
        const auto tokens = other.signIn(QStringLiteral("anna"), password);
        qunsetenv("ORVELLA_CA_FILE");
        EXPECT_EQ(tokens.isSuccess(), c.trusted) << c.caFile.toStdString();
        if (c.trusted) continue;
        EXPECT_EQ(tokens.error(), ServiceError::noConnection);
        EXPECT_TRUE(tokens.failure().message.contains(QStringLiteral("certificate"))) << tokens.failure().message.toStdString();
    }
}

}  // namespace
