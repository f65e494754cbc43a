#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include <functional>

#include "FacadeTestSupport.h"
#include "frameworks/business/TokenKeychain.h"
#include "frameworks/logger/Logger.h"
#include "service/AtomicFile.h"
#include "support/PrivateKeyring.h"

namespace {

using TokenKeychainTest = FacadeFixture;

TEST_F(TokenKeychainTest, BothTokensAreReadBackAndAnOldBareTokenStandsForBoth) {
    using Tokens = ServiceClient::Tokens;
    const struct {
        const char* label;
        QByteArray file;
        std::optional<Tokens> expected;
    } cases[] = {
        {"pair", R"({"userName":"a","token":"{\"access\":\"A1\",\"refresh\":\"R1\"}"})", Tokens{"A1", "R1"}},
        {"bare token of before", R"({"userName":"a","token":"0123abcd"})", Tokens{"0123abcd", "0123abcd"}},
        {"empty pair", R"({"userName":"a","token":"{}"})", std::nullopt},
        {"no token", R"({"userName":"a"})", std::nullopt},
        {"damaged", "{\"token\":", std::nullopt},
    };
    const QString folder = QFileInfo(facade->tokenPath()).absolutePath();
    const TokenKeychain keychain(folder, tokenAccount);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(keychain.store({"x", "y"}, "a"));  // makes the folder
        ASSERT_TRUE(AtomicFile::write(keychain.path(), c.file, 0600));
        EXPECT_EQ(keychain.tokens(), c.expected);
    }
    ASSERT_TRUE(keychain.store({"access \" {", "refresh"}, "a"));
    EXPECT_EQ(keychain.tokens(), (Tokens{"access \" {", "refresh"}));
}

// An installation that kept its session the old way stays signed in.
TEST_F(TokenKeychainTest, ASessionKeptAsABareTokenStillConnects) {
    makeAccount("alice");
    const auto session = service->signIn("alice", "password1");
    ASSERT_TRUE(session);
    const TokenKeychain keychain(TokenKeychain::defaultFolder(group), tokenAccount);
    ASSERT_TRUE(keychain.store({"x", "x"}, "alice"));
    ASSERT_TRUE(AtomicFile::write(keychain.path(), R"({"userName":"alice","token":")" + session.value().token.toUtf8() + "\"}", 0600));
    auto relaunched = makeFacade();
    ASSERT_TRUE(connect(*relaunched).isSuccess());
    EXPECT_EQ(relaunched->currentUser()->name(), "alice");
}

}  // namespace

namespace {

using Kind = BusinessError::Kind;
using Tokens = ServiceClient::Tokens;

// The keychain and the facade over a real keyring, started by each test as it needs it.
class KeyringKeychainTest : public FacadeFixture {
protected:
    void SetUp() override {
        if (!PrivateKeyring::installed()) GTEST_SKIP() << "gnome-keyring-daemon or dbus-daemon is not installed";
        FacadeFixture::SetUp();
        makeAccount("alice");
    }
    TokenKeychain keychain() const { return TokenKeychain(TokenKeychain::defaultFolder(group), tokenAccount); }
    bool tokenFileExists() const { return QFileInfo::exists(keychain().path()); }

    PrivateKeyring keyring;
};

TEST_F(KeyringKeychainTest, AFileOfAnEarlierVersionMovesIntoTheKeyringAndIsRemoved) {
    ASSERT_EQ(keyring.start(), QString());
    const struct {
        const char* label;
        QByteArray file;
        Tokens expected;
    } cases[] = {
        {"pair", R"({"userName":"alice","token":"{\"access\":\"A1\",\"refresh\":\"R1\"}"})", Tokens{"A1", "R1"}},
        {"bare token of before", R"({"userName":"alice","token":"0123abcd"})", Tokens{"0123abcd", "0123abcd"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(QDir().mkpath(keychain().folder()));
        ASSERT_TRUE(AtomicFile::write(keychain().path(), c.file, 0600));
        EXPECT_EQ(keychain().tokens(), c.expected);
        EXPECT_FALSE(tokenFileExists());
        EXPECT_EQ(keyring.itemCount(), 1);
        EXPECT_EQ(keychain().tokens(), c.expected) << "read again from the keyring";
        ASSERT_TRUE(keychain().remove());
        EXPECT_EQ(keyring.itemCount(), 0);
    }
    // A keyring that cannot take it leaves the file, and its session, where they are.
    ASSERT_TRUE(keyring.lock());
    ASSERT_TRUE(AtomicFile::write(keychain().path(), cases[0].file, 0600));
    EXPECT_EQ(keychain().tokens(), cases[0].expected);
    EXPECT_TRUE(tokenFileExists());
}

// The application's own flow: signed in, launched again, signed out or reset.
TEST_F(KeyringKeychainTest, ASessionLivesInTheKeyringUntilSignOutOrFactoryReset) {
    ASSERT_EQ(keyring.start(), QString());
    for (const bool reset : {false, true}) {
        SCOPED_TRACE(reset ? "factory reset" : "sign-out");
        ASSERT_TRUE(facade->signInNow("alice", "password1").isSuccess());
        EXPECT_FALSE(tokenFileExists());
        EXPECT_EQ(keyring.itemCount(), 1);
        auto relaunched = makeFacade();
        ASSERT_TRUE(connect(*relaunched).isSuccess());
        EXPECT_EQ(relaunched->currentUser()->name(), "alice");
        ASSERT_TRUE(QDir().mkpath(keychain().folder()));
        ASSERT_TRUE(AtomicFile::write(keychain().path(), "left over", 0600));

        Outcome<VoidResult> outcome;
        relaunched->logout(reset, outcome.handler());
        ASSERT_TRUE(outcome.wait());
        EXPECT_TRUE(outcome.result().isSuccess());
        EXPECT_EQ(keyring.itemCount(), 0);
        EXPECT_FALSE(tokenFileExists());
        EXPECT_EQ(connect(*makeFacade()).error().kind, Kind::invalidSession);
    }
}

// Locked or gone, the keyring is told, not taken for empty: nobody is signed out, nothing is
// erased, no file takes its place, and the session is there again once the keyring is.
TEST_F(KeyringKeychainTest, AnUnavailableKeyringSignsNobodyOutAndLosesNothing) {
    const struct {
        const char* label;
        std::function<void(PrivateKeyring&)> spoil;
        Kind launchedNow;  // a launch after the keyring was spoilt
    } cases[] = {
        {"locked", [](PrivateKeyring& k) { ASSERT_TRUE(k.lock()); }, Kind::keychainUnavailable},
        // No Secret Service at all for the next launch: it signs in to a file, leaving the item be.
        {"killed", [](PrivateKeyring& k) { k.kill(); }, Kind::invalidSession},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_EQ(keyring.start(), QString());
        ASSERT_TRUE(facade->signInNow("alice", "password1").isSuccess());
        auto running = makeFacade();
        ASSERT_TRUE(connect(*running).isSuccess());
        c.spoil(keyring);

        EXPECT_TRUE(connect(*running).isSuccess()) << "the session this launch holds goes on";
        EXPECT_EQ(running->signInNow("alice", "password1").error().kind, Kind::keychainUnavailable);
        EXPECT_FALSE(tokenFileExists()) << "no file in the keyring's place";
        auto launched = makeFacade();
        EXPECT_EQ(connect(*launched).error().kind, c.launchedNow);
        EXPECT_EQ(launched->currentUser(), nullptr);

        keyring.kill();
        ASSERT_EQ(keyring.start(), QString());  // the next login: the same keyring, unlocked
        EXPECT_EQ(connect(*launched).error().kind, c.launchedNow) << "not asked again in the same launch";
        auto next = makeFacade();
        ASSERT_TRUE(connect(*next).isSuccess());
        EXPECT_EQ(next->currentUser()->name(), "alice");
        keyring.kill();
    }
}

TEST_F(KeyringKeychainTest, ASignOutTheLockedKeyringRefusedIsCarriedOutWhenItOpens) {
    ASSERT_EQ(keyring.start(), QString());
    ASSERT_TRUE(facade->signInNow("alice", "password1").isSuccess());
    ASSERT_TRUE(keyring.lock());
    const auto signedOut = keychain();
    EXPECT_TRUE(signedOut.remove());
    EXPECT_EQ(keyring.itemCount(), 1);
    EXPECT_EQ(signedOut.tokens(), std::nullopt);

    keyring.kill();
    ASSERT_EQ(keyring.start(), QString());
    EXPECT_EQ(connect(*makeFacade()).error().kind, Kind::invalidSession);
    EXPECT_EQ(keyring.itemCount(), 0);
}

// A keyring that runs but has no collection to keep anything in (a session that never unlocked
// one) must not stop a sign-in: the file keeps the session, across a relaunch too.
TEST_F(KeyringKeychainTest, AKeyringWithNowhereToKeepTheSessionLeavesItInTheFile) {
    ASSERT_EQ(keyring.start(false), QString());
    ASSERT_TRUE(facade->signInNow("alice", "password1").isSuccess());
    EXPECT_TRUE(tokenFileExists());
    auto relaunched = makeFacade();
    ASSERT_TRUE(connect(*relaunched).isSuccess());
    EXPECT_EQ(relaunched->currentUser()->name(), "alice");
    EXPECT_TRUE(tokenFileExists()) << "kept where it is while the keyring cannot take it";
}

TEST_F(KeyringKeychainTest, WithoutASecretServiceTheFileIsUsedWithOneWarning) {
    ASSERT_EQ(keyring.start(), QString());  // a session bus, but nobody on it keeps secrets
    keyring.kill();
    int warnings = 0;
    const auto sink = Logger::addSink([&](const LogEntry& e) {
        if (e.channel == QStringLiteral("Business.setup") && e.level == LogLevel::warning) ++warnings;
    });
    const auto file = keychain();
    EXPECT_TRUE(file.store({"A", "R"}, "alice"));
    EXPECT_TRUE(tokenFileExists());
    EXPECT_EQ(file.tokens(), (Tokens{"A", "R"}));
    EXPECT_TRUE(file.remove());
    Logger::removeSink(sink);
    EXPECT_FALSE(tokenFileExists());
    EXPECT_EQ(warnings, 1);
}

}  // namespace
