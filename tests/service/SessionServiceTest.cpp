#include <gtest/gtest.h>

#include <QDirIterator>
#include <QFileInfo>
#include <QSet>

#include "ServiceTestSupport.h"
#include "service/AtomicFile.h"

namespace {

class SessionServiceTest : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        ASSERT_TRUE(service->createAccount("alice", "alice@example.org", "password1"));
        clock = QDateTime(QDate(2024, 3, 1), QTime(12, 0), Qt::UTC);
        service->setClock([this] { return clock; });
    }
    QString signIn() {
        auto session = service->signIn("alice", "password1");
        EXPECT_TRUE(session);
        return session ? session.value().token : QString();
    }

    QDateTime clock;
};

TEST_F(SessionServiceTest, ASessionIsValidUntilRevoked) {
    auto session = service->signIn("alice", "password1");
    ASSERT_TRUE(session);
    EXPECT_EQ(session.value().userName, "alice");
    EXPECT_EQ(session.value().expires, clock.addSecs(StorageService::defaultSessionLifetimeSeconds));
    const QString token = session.value().token;
    auto account = service->validateSession(token);
    ASSERT_TRUE(account);
    EXPECT_EQ(account.value().accountId, session.value().accountId);

    ASSERT_TRUE(service->revokeSession(token));
    EXPECT_EQ(service->validateSession(token).error(), ServiceError::invalidSession);
    EXPECT_EQ(service->revokeSession(token).error(), ServiceError::invalidSession);
}

TEST_F(SessionServiceTest, TokensAreRandomAndNotStoredInTheClear) {
    QSet<QString> tokens;
    for (int i = 0; i < 5; ++i) tokens.insert(signIn());
    EXPECT_EQ(tokens.size(), 5);
    QDirIterator it(service->sessionsFolder(), QDir::Files);
    int files = 0;
    while (it.hasNext()) {
        const QString path = it.next();
        ++files;
        const QByteArray content = *AtomicFile::read(path);
        for (const QString& token : tokens) {
            EXPECT_FALSE(content.contains(token.toLatin1()));
            EXPECT_FALSE(path.contains(token));
        }
        EXPECT_FALSE(content.contains("password1"));
        EXPECT_FALSE(QFileInfo(path).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup));
    }
    EXPECT_EQ(files, 5);
}

TEST_F(SessionServiceTest, InvalidSessionsTable) {
    const struct {
        const char* label;
        std::function<QString()> makeToken;  // runs after signing in; answers the token to check
    } cases[] = {
        {"expired",
         [&] {
             const QString t = signIn();
             clock = clock.addSecs(StorageService::defaultSessionLifetimeSeconds);
             return t;
         }},
        {"shortLifetime",
         [&] {
             service->setSessionLifetime(60);
             const QString t = signIn();
             clock = clock.addSecs(61);
             service->setSessionLifetime(StorageService::defaultSessionLifetimeSeconds);
             return t;
         }},
        {"accountMadeAnew",
         [&] {
             const QString t = signIn();
             QFile::remove(service->accountFile("alice"));
             EXPECT_TRUE(service->createAccount("alice", "alice@example.org", "password1"));
             return t;
         }},
        {"accountGone",
         [&] {
             const QString t = signIn();
             QFile::remove(service->accountFile("alice"));
             return t;
         }},
        {"neverIssued", [&] { return QString(43, u'A'); }},
        {"pathInToken", [&] { return QStringLiteral("../accounts/alice"); }},
        {"empty", [&] { return QString(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const QString token = c.makeToken();
        EXPECT_EQ(service->validateSession(token).error(), ServiceError::invalidSession);
        if (!service->account("alice")) {
            ASSERT_TRUE(service->createAccount("alice", "alice@example.org", "password1"));
        }
    }
}

TEST_F(SessionServiceTest, ExpiredSessionsAreCleanedUp) {
    service->setSessionLifetime(60);
    signIn();
    signIn();
    clock = clock.addSecs(120);
    const QString fresh = signIn();
    EXPECT_EQ(QDir(service->sessionsFolder()).entryList(QDir::Files).size(), 1);
    EXPECT_TRUE(service->validateSession(fresh));
}

TEST_F(SessionServiceTest, AnotherServiceObjectSeesTheSession) {
    const QString token = signIn();
    StorageService other(root());
    other.setClock([this] { return clock; });
    EXPECT_TRUE(other.validateSession(token));
    ASSERT_TRUE(other.revokeSession(token));
    EXPECT_FALSE(service->validateSession(token));
}

}  // namespace

namespace {

// Only the account's password replaces its key; a refused import keeps the key it had.
TEST_F(SessionServiceTest, ACryptoKeyIsImportedOnlyWithTheAccountsPassword) {
    const QString token = signIn();
    ASSERT_TRUE(service->importCryptoKey(token, " FIRST-KEY\n", "password1"));
    const QString revoked = signIn();
    ASSERT_TRUE(service->revokeSession(revoked));
    struct Case {
        const char* name;
        QString token;
        QString key;
        QString password;
        std::optional<ServiceError> error;
        QString keptKey;
    };
    const Case cases[] = {
        {"wrongPassword", token, "SECOND", "password2", ServiceError::wrongCredentials, "FIRST-KEY"},
        {"sessionGone", revoked, "SECOND", "password1", ServiceError::invalidSession, "FIRST-KEY"},
        {"noText", token, "  ", "password1", ServiceError::notFound, "FIRST-KEY"},
        {"replaces", token, "SECOND", "password1", std::nullopt, "SECOND"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto result = service->importCryptoKey(c.token, c.key, c.password);
        if (c.error) EXPECT_EQ(result.error(), *c.error);
        else EXPECT_TRUE(result);
        EXPECT_EQ(service->account("alice").value().cryptoKey, c.keptKey);
    }
}

}  // namespace
