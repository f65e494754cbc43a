#include <gtest/gtest.h>

#include <QVariantList>

#include "app/common/ConfigurationProvider.h"
#include "platform/foundation/Bundle.h"

namespace {

// Restores the application's information keys after a test substitutes its own.
class InfoScope {
public:
    explicit InfoScope(const QVariantMap& info) : saved_(Bundle::main().info()) { Bundle::main().setInfo(info); }
    ~InfoScope() { Bundle::main().setInfo(saved_); }

private:
    QVariantMap saved_;
};

TEST(ConfigurationProviderTest, OnlyStringValuesAreRead) {
    InfoScope scope({{"Text", "group.x"},
                     {"Number", 42},
                     {"Bool", true},
                     {"Dictionary", QVariantMap{{"a", "b"}}},
                     {"List", QVariantList{"a"}},
                     {"Empty", ""}});
    const struct {
        const char* key;
        const char* expected;
    } cases[] = {{"Text", "group.x"}, {"Number", ""}, {"Bool", ""}, {"Dictionary", ""},
                 {"List", ""},        {"Empty", ""},  {"Missing", ""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.key);
        EXPECT_EQ(infoPlistString(c.key), c.expected);
    }
}

TEST(ConfigurationProviderTest, VersionText) {
    const struct {
        QVariantMap info;
        const char* expected;
    } cases[] = {
        {{{"CFBundleShortVersionString", "2.3.1"}, {"CFBundleVersion", "417"}}, "2.3.1 (417) "},
        {{{"CFBundleShortVersionString", "2.3.1"}}, "2.3.1 () "},
        {{{"CFBundleShortVersionString", "2.3.1"}, {"CFBundleVersion", 417}}, "2.3.1 () "},
        {{}, " () "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        InfoScope scope(c.info);
        EXPECT_EQ(applicationVersionString(), c.expected);
    }
}

TEST(ConfigurationProviderTest, SharedProviderIsOneInstanceReadingTheKeys) {
    InfoScope scope({{"AppGroupIdentifier", "group.test"}, {"AppBundleIdentifier", 7}});
    ConfigurationProvider& a = sharedConfigurationProvider();
    EXPECT_EQ(&a, &sharedConfigurationProvider());
    EXPECT_EQ(a.appGroupIdentifier(), "group.test");
    EXPECT_EQ(a.appBundleIdentifier(), "");
}

}  // namespace
