#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include "FacadeTestSupport.h"
#include "frameworks/business/TokenKeychain.h"
#include "service/AtomicFile.h"
#include "service/ServiceLock.h"

namespace {

constexpr auto notOwnerMask = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                              QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

bool isApiError(const VoidResult& r, APIError kind) {
    return !r.isSuccess() && r.error().kind == BusinessError::Kind::api && r.error().apiError == kind;
}

using OrvellaFacadeTest = FacadeFixture;

TEST_F(OrvellaFacadeTest, SignInOutcomes) {
    makeAccount("alice", "right-password");
    const struct {
        const char* label;
        QString name, password;
        bool reachable;
        std::function<bool(const VoidResult&)> expected;
    } cases[] = {
        {"wrongPassword", "alice", "wrong-password", true, [](auto& r) { return isApiError(r, APIError::unauthorized); }},
        {"unknownUser", "bob", "right-password", true, [](auto& r) { return isApiError(r, APIError::unauthorized); }},
        {"unreachable", "alice", "right-password", false,
         [](auto& r) { return !r.isSuccess() && r.error().kind == BusinessError::Kind::noConnection; }},
        {"right", "alice", "right-password", true, [](auto& r) { return r.isSuccess(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        service->setReachable(c.reachable);
        Outcome<VoidResult> outcome;
        facade->signIn(c.name, c.password, outcome.handler());
        ASSERT_TRUE(outcome.wait());
        EXPECT_FALSE(outcome.ranOnMainThread());
        EXPECT_TRUE(c.expected(outcome.result()));
        const bool signedIn = outcome.result().isSuccess();
        EXPECT_EQ(facade->currentUser() != nullptr, signedIn);
        EXPECT_EQ(QFileInfo::exists(facade->tokenPath()), signedIn);
    }
    EXPECT_EQ(facade->currentUser()->name(), "alice");
}

TEST_F(OrvellaFacadeTest, CreateAccountSignsTheNewUserIn) {
    makeAccount("taken");
    const struct {
        const char* label;
        QString name, mail;
        std::function<bool(const VoidResult&)> expected;
    } cases[] = {
        {"taken", "taken", "t@example.org", [](auto& r) { return isApiError(r, APIError::conflict); }},
        {"badName", "a/b", "a@example.org",
         [](auto& r) { return isApiError(r, APIError::unprocessableEntity) && r.error().message.contains("/"); }},
        {"badMail", "carol", "carol", [](auto& r) { return isApiError(r, APIError::unprocessableEntity); }},
        {"fine", "carol", "carol@example.org", [](auto& r) { return r.isSuccess(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        Outcome<VoidResult> outcome;
        facade->createAccount(c.name, c.mail, "password1", outcome.handler());
        ASSERT_TRUE(outcome.wait());
        EXPECT_FALSE(outcome.ranOnMainThread());
        EXPECT_TRUE(c.expected(outcome.result()));
    }
    auto user = facade->currentUser();
    ASSERT_TRUE(user);
    EXPECT_EQ(user->name(), "carol");
    EXPECT_EQ(user->mailAddress(), "carol@example.org");
    EXPECT_EQ(user->homePath(), "/users/carol");
    EXPECT_TRUE(QFileInfo(service->homeFolder("carol")).isDir());
    EXPECT_EQ(user->accountId(), service->account("carol").value().accountId);
}

TEST_F(OrvellaFacadeTest, TheUserCarriesTheAccountsValues) {
    makeAccount("alice");
    ServiceFeatures features;
    features.backupEnabled = false;
    features.encryptionEnabled = true;
    ASSERT_TRUE(service->setFeatures("alice", features));
    ASSERT_TRUE(facade->signInNow("alice", "password1").isSuccess());
    auto user = facade->currentUser();
    ASSERT_TRUE(user);
    OVFeatureSet expected;
    expected.backupEnabled = false;
    expected.encryptionEnabled = true;
    EXPECT_EQ(user->features(), expected);
    EXPECT_FALSE(user->cryptoKey().has_value());

    // Defaults of a new account, as the facade reports them after the next connect.
    ASSERT_TRUE(service->setFeatures("alice", ServiceFeatures::defaults()));
    ASSERT_TRUE(connect(*facade).isSuccess());
    expected = OVFeatureSet{};
    expected.backupEnabled = true;
    expected.sharing = OVFeatureSet::Sharing{true, true, true};
    EXPECT_EQ(facade->currentUser()->features(), expected);
}

TEST_F(OrvellaFacadeTest, TheTokenIsKeptOwnerOnlyAndWithoutThePassword) {
    makeAccount("alice", "very-secret-password");
    ASSERT_TRUE(facade->signInNow("alice", "very-secret-password").isSuccess());
    const QString path = facade->tokenPath();
    EXPECT_EQ(path, qEnvironmentVariable("XDG_DATA_HOME") + "/" + group + "/keychain/" + tokenAccount);
    const QFileInfo file(path);
    ASSERT_TRUE(file.isFile());
    EXPECT_FALSE(file.permissions() & notOwnerMask);
    EXPECT_FALSE(QFileInfo(file.absolutePath()).permissions() & notOwnerMask);
    const QByteArray content = *AtomicFile::read(path);
    EXPECT_FALSE(content.contains("very-secret-password"));
    const QString token = TokenKeychain(file.absolutePath(), tokenAccount).tokens()->accessToken;
    EXPECT_TRUE(service->validateSession(token));
}

TEST_F(OrvellaFacadeTest, KeychainFileNamesStayInsideTheirFolder) {
    const QString names[] = {"", ".", "..", "../escape", "a/b", ".hidden", "Orvella.token", "ünï"};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        const QString safe = TokenKeychain::safeFileName(name);
        EXPECT_FALSE(safe.isEmpty());
        EXPECT_FALSE(safe.contains('/'));
        EXPECT_FALSE(safe.startsWith('.'));
    }
    EXPECT_NE(TokenKeychain::safeFileName("a/b"), TokenKeychain::safeFileName("a_b"));
    EXPECT_EQ(TokenKeychain::safeFileName("group.org.orvella"), "group.org.orvella");  // readable when harmless
}

TEST_F(OrvellaFacadeTest, ConnectOutcomes) {
    makeAccount("alice");
    using Kind = BusinessError::Kind;
    const struct {
        const char* label;
        std::function<void(OrvellaFacade&)> prepare;  // runs on a signed-out facade
        std::optional<Kind> error;
        bool tokenKept;
    } cases[] = {
        {"noToken", [](OrvellaFacade&) {}, Kind::invalidSession, false},
        {"valid", [](OrvellaFacade& f) { ASSERT_TRUE(f.signInNow("alice", "password1").isSuccess()); }, std::nullopt, true},
        {"revoked",
         [this](OrvellaFacade& f) {
             ASSERT_TRUE(f.signInNow("alice", "password1").isSuccess());
             ASSERT_TRUE(service->revokeSession(TokenKeychain(QFileInfo(f.tokenPath()).absolutePath(), tokenAccount).tokens()->accessToken));
         },
         Kind::invalidSession, false},
        {"expired",
         [this](OrvellaFacade& f) {
             ASSERT_TRUE(f.signInNow("alice", "password1").isSuccess());
             const QDateTime later = QDateTime::currentDateTimeUtc().addSecs(StorageService::defaultSessionLifetimeSeconds + 60);
             service->setClock([later] { return later; });
         },
         Kind::invalidSession, false},
        {"unreachable",
         [this](OrvellaFacade& f) {
             ASSERT_TRUE(f.signInNow("alice", "password1").isSuccess());
             service->setReachable(false);
         },
         Kind::noConnection, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        service->setReachable(true);
        service->setClock(nullptr);
        QFile::remove(facade->tokenPath());
        c.prepare(*facade);
        // A freshly launched facade knows nobody until it has connected.
        auto relaunched = makeFacade();
        EXPECT_EQ(relaunched->currentUser(), nullptr);
        const VoidResult result = connect(*relaunched);
        ASSERT_EQ(result.isSuccess(), !c.error);
        if (c.error) {
            EXPECT_EQ(result.error().kind, *c.error);
        }
        EXPECT_EQ(relaunched->currentUser() != nullptr, !c.error);
        if (!c.error) {
            EXPECT_EQ(relaunched->currentUser()->name(), "alice");
        }
        EXPECT_EQ(QFileInfo::exists(relaunched->tokenPath()), c.tokenKept);
    }
}

TEST_F(OrvellaFacadeTest, LogoutEndsTheSessionAndForgetsTheUser) {
    makeAccount("alice");
    const struct {
        const char* label;
        bool reset;
        bool reachable;
        std::optional<BusinessError::Kind> error;
    } cases[] = {
        {"signOut", false, true, std::nullopt},
        {"factoryReset", true, true, std::nullopt},
        {"offline", false, false, BusinessError::Kind::noConnection},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        service->setReachable(true);
        ASSERT_TRUE(facade->signInNow("alice", "password1").isSuccess());
        const QString token = TokenKeychain(QFileInfo(facade->tokenPath()).absolutePath(), tokenAccount).tokens()->accessToken;
        ASSERT_TRUE(facade->sessionTokens());
        EXPECT_EQ(facade->sessionTokens()->accessToken, token);
        ASSERT_TRUE(QDir().mkpath(facade->localStateFolder()));
        ASSERT_TRUE(AtomicFile::write(facade->localStateFolder() + "/state", "x"));
        service->setReachable(c.reachable);

        Outcome<VoidResult> outcome;
        facade->logout(c.reset, outcome.handler());
        EXPECT_EQ(facade->currentUser(), nullptr);  // at once, not only when the service answered
        EXPECT_FALSE(facade->sessionTokens()) << "no token is shown for an account that signed out";
        ASSERT_TRUE(outcome.wait());
        EXPECT_FALSE(outcome.ranOnMainThread());
        EXPECT_EQ(outcome.result().isSuccess(), !c.error);
        if (c.error) {
            EXPECT_EQ(outcome.result().error().kind, *c.error);
        }
        EXPECT_FALSE(QFileInfo::exists(facade->tokenPath()));
        EXPECT_EQ(QFileInfo::exists(facade->localStateFolder()), !c.reset);
        service->setReachable(true);
        EXPECT_EQ(service->validateSession(token).isSuccess(), !c.reachable);
        EXPECT_EQ(connect(*facade).error().kind, BusinessError::Kind::invalidSession);
    }
}

TEST_F(OrvellaFacadeTest, SigningInAgainEndsTheFormerSession) {
    makeAccount("alice");
    makeAccount("bob");
    ASSERT_TRUE(facade->signInNow("alice", "password1").isSuccess());
    const QString first = TokenKeychain(QFileInfo(facade->tokenPath()).absolutePath(), tokenAccount).tokens()->accessToken;
    ASSERT_TRUE(facade->signInNow("bob", "password1").isSuccess());
    EXPECT_FALSE(service->validateSession(first));
    EXPECT_EQ(facade->currentUser()->name(), "bob");
}

TEST_F(OrvellaFacadeTest, QuotaComesFromTheUsersTree) {
    makeAccount("alice");
    ASSERT_TRUE(service->setQuotaOverall("alice", 10000));
    QFile file(service->homeFolder("alice") + "/file.bin");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(1234, 'q'));
    file.close();
    ASSERT_TRUE(facade->signInNow("alice", "password1").isSuccess());
    auto user = facade->currentUser();

    Outcome<BusinessResult<OVQuota>> outcome;
    auto request = user->fetchQuota(outcome.handler());
    ASSERT_TRUE(request);
    ASSERT_TRUE(outcome.wait());
    EXPECT_FALSE(outcome.ranOnMainThread());
    ASSERT_TRUE(outcome.result().isSuccess());
    EXPECT_EQ(outcome.result().value(), (OVQuota{10000, 1234, 8766}));
    EXPECT_FALSE(request->isCancelled());

    // The user object of an ended session is refused.
    Outcome<VoidResult> loggedOut;
    facade->logout(false, loggedOut.handler());
    ASSERT_TRUE(loggedOut.wait());
    Outcome<BusinessResult<OVQuota>> after;
    user->fetchQuota(after.handler());
    ASSERT_TRUE(after.wait());
    ASSERT_FALSE(after.result().isSuccess());
    EXPECT_EQ(after.result().error().kind, BusinessError::Kind::invalidSession);
}

TEST_F(OrvellaFacadeTest, ACancelledQuotaRequestNeverCallsBack) {
    makeAccount("alice");
    ASSERT_TRUE(facade->signInNow("alice", "password1").isSuccess());
    auto user = facade->currentUser();

    // Keep the facade's queue busy behind the service lock, so the cancel surely comes first.
    auto held = std::make_unique<ServiceLock>(service->lockFilePath(), 0);
    ASSERT_TRUE(held->isLocked());
    Outcome<VoidResult> blocker;
    facade->createAccount("bob", "bob@example.org", "password1", blocker.handler());
    Outcome<BusinessResult<OVQuota>> cancelled, kept;
    auto cancelledRequest = user->fetchQuota(cancelled.handler());
    auto keptRequest = user->fetchQuota(kept.handler());
    cancelledRequest->cancel();
    EXPECT_TRUE(cancelledRequest->isCancelled());
    held.reset();

    ASSERT_TRUE(kept.wait());  // the queue is in order: the cancelled one had its turn before
    EXPECT_TRUE(blocker.result().isSuccess());
    QThread::msleep(20);
    EXPECT_EQ(cancelled.calls(), 0);
    EXPECT_EQ(kept.calls(), 1);
}

}  // namespace
