#include <gtest/gtest.h>

#include <functional>

#include "platform/keyring/SecretServiceStore.h"
#include "support/PrivateKeyring.h"

namespace {

using Status = SecretStore::Status;
using namespace std::chrono_literals;

const QString kSchema = QStringLiteral("org.orvella.Test");

class SecretServiceStoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!PrivateKeyring::installed()) GTEST_SKIP() << "gnome-keyring-daemon or dbus-daemon is not installed";
    }
};

TEST_F(SecretServiceStoreTest, AnItemIsKeptReplacedAndRemovedUnderItsAttributesAlone) {
    PrivateKeyring keyring;
    ASSERT_EQ(keyring.start(), QString());
    EXPECT_EQ(SecretServiceStore::presence(), SecretServiceStore::Presence::running);
    const SecretServiceStore mine(kSchema, {{"account", "a"}, {"folder", "/x"}});
    const SecretServiceStore sameAccountElsewhere(kSchema, {{"account", "a"}, {"folder", "/y"}});
    const QByteArray binary("first\0{\"x\":1}\xff", 15);
    const struct {
        const char* label;
        const SecretServiceStore& store;
        std::function<SecretStore::Answer(const SecretServiceStore&)> call;
        Status status;
        QByteArray secret;  // read back, for reads that find one
        int items;          // in the keyring afterwards
    } steps[] = {
        {"nothing yet", mine, [](auto& s) { return s.read(); }, Status::none, {}, 0},
        {"written", mine, [&](auto& s) { return s.write(binary, "label"); }, Status::done, {}, 1},
        {"read back byte for byte", mine, [](auto& s) { return s.read(); }, Status::done, binary, 1},
        {"other attributes find nothing", sameAccountElsewhere, [](auto& s) { return s.read(); }, Status::none, {}, 1},
        {"replaced, not added", mine, [](auto& s) { return s.write("second", "label"); }, Status::done, {}, 1},
        {"the replacement is read", mine, [](auto& s) { return s.read(); }, Status::done, "second", 1},
        {"removing other attributes leaves it", sameAccountElsewhere, [](auto& s) { return s.remove(); }, Status::done, {}, 1},
        {"removed", mine, [](auto& s) { return s.remove(); }, Status::done, {}, 0},
        {"gone", mine, [](auto& s) { return s.read(); }, Status::none, {}, 0},
        {"removing nothing is done too", mine, [](auto& s) { return s.remove(); }, Status::done, {}, 0},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.label);
        const auto answer = step.call(step.store);
        EXPECT_EQ(answer.status, step.status) << answer.error.toStdString();
        EXPECT_EQ(answer.secret, step.secret);
        EXPECT_EQ(keyring.itemCount(), step.items);
    }
}

// A keyring that cannot be had is never taken for an empty one, and no call waits on it for long.
TEST_F(SecretServiceStoreTest, ALockedKilledOrHungKeyringAnswersUnavailable) {
    const struct {
        const char* label;
        std::function<void(PrivateKeyring&)> spoil;
        SecretServiceStore::Presence presence;
        int itemsKept;  // -1: the keyring is not asked
    } cases[] = {
        {"locked", [](PrivateKeyring& k) { ASSERT_TRUE(k.lock()); }, SecretServiceStore::Presence::running, 1},
        {"killed", [](PrivateKeyring& k) { k.kill(); }, SecretServiceStore::Presence::absent, -1},
        {"not answering", [](PrivateKeyring& k) { k.freeze(); }, SecretServiceStore::Presence::running, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        PrivateKeyring spoilt;
        ASSERT_EQ(spoilt.start(), QString());
        const SecretServiceStore store(kSchema, {{"account", "a"}}, 500ms);
        ASSERT_EQ(SecretServiceStore(kSchema, {{"account", "a"}}).write("kept", "label").status, Status::done);
        c.spoil(spoilt);
        EXPECT_EQ(SecretServiceStore::presence(), c.presence);
        for (const auto& [name, answer] : {std::pair{"read", store.read()}, std::pair{"write", store.write("new", "label")},
                                           std::pair{"remove", store.remove()}}) {
            EXPECT_EQ(answer.status, Status::unavailable) << name;
            EXPECT_FALSE(answer.error.isEmpty()) << name;
        }
        if (c.itemsKept >= 0) {
            EXPECT_EQ(spoilt.itemCount(), c.itemsKept);
        }
    }
}

}  // namespace
