#include <gtest/gtest.h>

#include <QFileInfo>

#include "FacadeTestSupport.h"
#include "frameworks/business/TokenKeychain.h"
#include "service/AtomicFile.h"

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
