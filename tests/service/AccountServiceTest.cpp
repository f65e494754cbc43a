#include <gtest/gtest.h>

#include <QFileInfo>

#include <atomic>
#include <thread>
#include <vector>

#include "service/AtomicFile.h"
#include "service/ServiceLock.h"
#include "ServiceTestSupport.h"

namespace {

constexpr auto ownerOnlyMask = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup |
                               QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

using AccountServiceTest = ServiceFixture;

TEST_F(AccountServiceTest, CreatesTheAccountWithItsHomeAndDefaults) {
    auto made = service->createAccount("alice", "alice@example.org", "secret-pass");
    ASSERT_TRUE(made) << made.failure().message.toStdString();
    const ServiceAccount& a = made.value();
    EXPECT_EQ(a.userName, "alice");
    EXPECT_EQ(a.mailAddress, "alice@example.org");
    EXPECT_EQ(a.accountId.size(), 32);
    EXPECT_EQ(a.quotaOverall, StorageService::defaultQuotaBytes);
    EXPECT_EQ(a.features, ServiceFeatures::defaults());
    EXPECT_TRUE(a.features.backupEnabled.value_or(false));
    EXPECT_FALSE(a.features.encryptionEnabled.has_value());

    const QFileInfo home(service->homeFolder("alice"));
    EXPECT_TRUE(home.isDir());
    EXPECT_EQ(home.absoluteFilePath(), root() + "/users/alice");
    EXPECT_FALSE(home.permissions() & ownerOnlyMask);

    const QFileInfo file(service->accountFile("alice"));
    EXPECT_FALSE(file.permissions() & ownerOnlyMask);
    const QByteArray stored = *AtomicFile::read(file.absoluteFilePath());
    EXPECT_FALSE(stored.contains("secret-pass"));

    // Read back, the account is the one made; its id stays put.
    auto again = service->account("alice");
    ASSERT_TRUE(again);
    EXPECT_EQ(again.value(), a);
}

TEST_F(AccountServiceTest, RefusesBadInputAndTakenNames) {
    ASSERT_TRUE(service->createAccount("taken", "t@example.org", "password1"));
    const struct {
        const char* label;
        QString name, mail, password;
        ServiceError error;
    } cases[] = {
        {"slash", "a/b", "a@example.org", "password1", ServiceError::invalidUserName},
        {"parent", "..", "a@example.org", "password1", ServiceError::invalidUserName},
        {"empty", "", "a@example.org", "password1", ServiceError::invalidUserName},
        {"control", "a\x01", "a@example.org", "password1", ServiceError::invalidUserName},
        {"mail", "bob", "bob", "password1", ServiceError::invalidMailAddress},
        {"password", "bob", "bob@example.org", "short", ServiceError::invalidPassword},
        {"taken", "taken", "x@example.org", "password1", ServiceError::userExists},
        {"takenDecomposed", QString::fromUtf8("zoe\u0308"), "z@example.org", "password1", ServiceError::userExists},
    };
    ASSERT_TRUE(service->createAccount(QString::fromUtf8("zo\u00eb"), "z@example.org", "password1"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto result = service->createAccount(c.name, c.mail, c.password);
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error(), c.error);
        EXPECT_FALSE(result.failure().message.isEmpty());
    }
    EXPECT_FALSE(QFileInfo::exists(root() + "/a"));  // "a/b" made no folder on the way
    EXPECT_EQ(service->accountNames().value(), (QStringList{"taken", QString::fromUtf8("zo\u00eb")}));
}

TEST_F(AccountServiceTest, ChecksPasswords) {
    ASSERT_TRUE(service->createAccount("alice", "alice@example.org", "right-password"));
    const struct {
        const char* label;
        QString name, password;
        std::optional<ServiceError> error;
    } cases[] = {
        {"right", "alice", "right-password", std::nullopt},
        {"wrong", "alice", "wrong-password", ServiceError::wrongCredentials},
        {"caseDiffers", "alice", "Right-password", ServiceError::wrongCredentials},
        {"empty", "alice", "", ServiceError::wrongCredentials},
        {"unknownUser", "bob", "right-password", ServiceError::wrongCredentials},
        {"invalidName", "../alice", "right-password", ServiceError::wrongCredentials},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        auto result = service->checkPassword(c.name, c.password);
        if (!c.error) {
            ASSERT_TRUE(result);
            EXPECT_EQ(result.value().userName, "alice");
        } else {
            ASSERT_FALSE(result);
            EXPECT_EQ(result.error(), *c.error);
        }
    }
}

TEST_F(AccountServiceTest, FeaturesAndQuotaAreStoredPerAccount) {
    ASSERT_TRUE(service->createAccount("alice", "alice@example.org", "password1"));
    ASSERT_TRUE(service->createAccount("bob", "bob@example.org", "password1"));
    ServiceFeatures custom;
    custom.backupEnabled = false;
    custom.encryptionEnabled = true;
    custom.sharing = ServiceFeatures::Sharing{true, false, false};
    ServiceFeatures bare;  // every part left out
    const struct {
        const char* label;
        ServiceFeatures features;
    } cases[] = {{"custom", custom}, {"bare", bare}, {"defaults", ServiceFeatures::defaults()}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_TRUE(service->setFeatures("alice", c.features));
        StorageService other(root());  // a fresh reader sees what was stored, not a cache
        EXPECT_EQ(other.account("alice").value().features, c.features);
        EXPECT_EQ(other.account("bob").value().features, ServiceFeatures::defaults());
    }
    ASSERT_TRUE(service->setQuotaOverall("alice", 1000));
    EXPECT_EQ(service->account("alice").value().quotaOverall, 1000);
    EXPECT_EQ(service->account("bob").value().quotaOverall, StorageService::defaultQuotaBytes);
    EXPECT_EQ(service->setFeatures("nobody", custom).error(), ServiceError::notFound);
}

TEST_F(AccountServiceTest, QuotaCountsTheFilesOfTheUsersTreeOnly) {
    ASSERT_TRUE(service->createAccount("alice", "alice@example.org", "password1"));
    ASSERT_TRUE(service->createAccount("bob", "bob@example.org", "password1"));
    EXPECT_EQ(service->quotaOfUser("alice").value(),
              (ServiceQuota{StorageService::defaultQuotaBytes, 0, StorageService::defaultQuotaBytes}));

    const QString home = service->homeFolder("alice");
    writeFile(home + "/a.txt", 100);
    writeFile(home + "/Docs/deep/b.bin", 250);
    writeFile(home + "/.hidden", 7);
    writeFile(home + "/Docs/.~ovsync-k3y-partial", 400);  // an upload under way
    writeFile(service->homeFolder("bob") + "/bob.txt", 5000);
    writeFile(tempPath("outside.bin"), 9000);
    ASSERT_TRUE(QFile::link(tempPath("outside.bin"), home + "/link-to-outside"));
    ASSERT_TRUE(QFile::link(home, home + "/Docs/loop"));

    ASSERT_TRUE(service->setQuotaOverall("alice", 1000));
    EXPECT_EQ(service->quotaOfUser("alice").value(), (ServiceQuota{1000, 357, 643}));

    // A tree larger than the quota has no free space, never a negative amount.
    ASSERT_TRUE(service->setQuotaOverall("alice", 300));
    EXPECT_EQ(service->quotaOfUser("alice").value(), (ServiceQuota{300, 357, 0}));

    auto session = service->signIn("alice", "password1");
    ASSERT_TRUE(session);
    EXPECT_EQ(service->quota(session.value().token).value().used, 357);
    EXPECT_EQ(service->quota("not-a-token").error(), ServiceError::invalidSession);
}

TEST_F(AccountServiceTest, AFailedWriteLeavesTheAccountAsItWas) {
    ASSERT_TRUE(service->createAccount("alice", "alice@example.org", "password1"));
    const QByteArray before = *AtomicFile::read(service->accountFile("alice"));
    ServiceFeatures none;
    AtomicFile::failNextWritesForTesting(1);
    auto result = service->setFeatures("alice", none);
    ASSERT_FALSE(result);
    EXPECT_EQ(result.error(), ServiceError::storageFailure);
    EXPECT_EQ(*AtomicFile::read(service->accountFile("alice")), before);
    EXPECT_EQ(QDir(service->accountsFolder()).entryList(QDir::Files | QDir::Hidden), QStringList{"alice.json"});
    EXPECT_EQ(service->account("alice").value().features, ServiceFeatures::defaults());

    // A failed creation leaves neither an account nor a home behind.
    AtomicFile::failNextWritesForTesting(1);
    EXPECT_EQ(service->createAccount("bob", "bob@example.org", "password1").error(), ServiceError::storageFailure);
    EXPECT_EQ(service->account("bob").error(), ServiceError::notFound);
    EXPECT_FALSE(QFileInfo::exists(service->homeFolder("bob")));
}

TEST_F(AccountServiceTest, ADamagedAccountIsReportedNotTrusted) {
    ASSERT_TRUE(service->createAccount("alice", "alice@example.org", "password1"));
    ASSERT_TRUE(AtomicFile::write(service->accountFile("alice"), "{\"userName\":\"alice\"}"));
    EXPECT_EQ(service->account("alice").error(), ServiceError::storageFailure);
    EXPECT_EQ(service->checkPassword("alice", "password1").error(), ServiceError::storageFailure);
}

TEST_F(AccountServiceTest, TwoServicesOnOneRootShareAccountsAndNeverBothCreateOne) {
    StorageService other(root());
    ASSERT_TRUE(service->createAccount("alice", "alice@example.org", "password1"));
    EXPECT_TRUE(other.checkPassword("alice", "password1"));
    EXPECT_EQ(other.createAccount("alice", "x@example.org", "password2").error(), ServiceError::userExists);

    // Racing creations of one name: exactly one wins, and its password is the one stored.
    constexpr int racers = 6;
    std::atomic<int> winners{0};
    std::atomic<int> winner{-1};
    std::vector<std::thread> threads;
    for (int i = 0; i < racers; ++i) {
        threads.emplace_back([&, i] {
            StorageService mine(root());
            auto made = mine.createAccount("race", "r@example.org", QStringLiteral("password-%1").arg(i));
            if (made) {
                ++winners;
                winner = i;
            } else {
                EXPECT_EQ(made.error(), ServiceError::userExists);
            }
        });
    }
    for (auto& t : threads) t.join();
    EXPECT_EQ(winners.load(), 1);
    EXPECT_TRUE(other.checkPassword("race", QStringLiteral("password-%1").arg(winner.load())));
}

TEST_F(AccountServiceTest, ABusyServiceTimesOut) {
    ServiceLock held(service->lockFilePath(), 0);
    ASSERT_TRUE(held.isLocked());
    service->setLockTimeout(30);
    EXPECT_EQ(service->createAccount("alice", "alice@example.org", "password1").error(), ServiceError::timeout);
}

TEST_F(AccountServiceTest, EveryCallFailsWhileUnreachable) {
    ASSERT_TRUE(service->createAccount("alice", "alice@example.org", "password1"));
    auto session = service->signIn("alice", "password1");
    ASSERT_TRUE(session);
    const QString token = session.value().token;
    service->setReachable(false);
    const struct {
        const char* label;
        std::function<ServiceError()> call;
    } cases[] = {
        {"create", [&] { return service->createAccount("bob", "b@example.org", "password1").error(); }},
        {"account", [&] { return service->account("alice").error(); }},
        {"names", [&] { return service->accountNames().error(); }},
        {"password", [&] { return service->checkPassword("alice", "password1").error(); }},
        {"signIn", [&] { return service->signIn("alice", "password1").error(); }},
        {"validate", [&] { return service->validateSession(token).error(); }},
        {"revoke", [&] { return service->revokeSession(token).error(); }},
        {"quota", [&] { return service->quota(token).error(); }},
        {"setFeatures", [&] { return service->setFeatures("alice", {}).error(); }},
        {"setQuota", [&] { return service->setQuotaOverall("alice", 1).error(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(c.call(), ServiceError::noConnection);
    }
    service->setReachable(true);
    EXPECT_TRUE(service->validateSession(token));  // nothing was revoked while away
    EXPECT_EQ(service->account("bob").error(), ServiceError::notFound);
}

}  // namespace
