#include <gtest/gtest.h>

#include <QDir>
#include <QTimeZone>

#include <pwd.h>
#include <unistd.h>

#include <functional>
#include <memory>

#include "app/common/LocalizationController.h"
#include "app/core/C.h"
#include "app/core/SettingsController.h"
#include "app/core/support/TestBusinessFacade.h"
#include "platform/appkit/ValueTransformer.h"
#include "platform/foundation/UserDefaults.h"

namespace {

QString passwordDatabaseHome() {
    const passwd* entry = ::getpwuid(::getuid());
    return entry && entry->pw_dir ? QString::fromLocal8Bit(entry->pw_dir) : QString();
}

// Tests name their own home for the sync folder (ORVELLA_HOME), so nothing lands in the real one.
QString chosenHome() { return qEnvironmentVariable("ORVELLA_HOME"); }

TEST(RealHomeDirectoryTest, PasswordDatabaseUnlessAHomeIsNamed) {
    ASSERT_FALSE(chosenHome().isEmpty());
    EXPECT_EQ(SettingsController::realHomeDirectory(), chosenHome());
    const QByteArray saved = qgetenv("ORVELLA_HOME");
    qunsetenv("ORVELLA_HOME");
    const QString fromDatabase = SettingsController::realHomeDirectory();
    qputenv("ORVELLA_HOME", saved);
    EXPECT_EQ(fromDatabase, passwordDatabaseHome());
    EXPECT_NE(fromDatabase, QDir::homePath());  // $HOME points elsewhere in tests
}

class SettingsControllerTest : public ::testing::Test {
protected:
    void TearDown() override { C::setLocalizedHostNameProviderForTesting({}); }
    ScopedTestBusinessFacade facade{QStringLiteral("settingscontroller")};
    SettingsController controller;
};

struct ExpectedValue {
    const char* keyPath;
    QVariant value;
};

TEST_F(SettingsControllerTest, freshInstallationReadsTheRegisteredDefaultsAndStoresNothing) {
    controller.registerDefaults();
    const QString suffix = LocalizationController().brTextFieldBackupNameSuffix();
    ASSERT_FALSE(passwordDatabaseHome().isEmpty());
    const ExpectedValue table[] = {
        {"settings.isAlreadyLaunched", false},
        {"settings.openAutomaticallyOnLogin", true},
        {"settings.showBadgesInFinder", true},
        {"settings.crashReportsEnabled", false},
        {"settings.hasPromptedToSendCrashReports", false},
        {"settings.backupAutomatically", false},
        {"settings.backupImmediately", true},
        {"settings.backupImages", false},
        {"settings.backupVideos", false},
        {"settings.backupContacts", false},
        {"settings.backupCalendars", false},
        {"settings.backupKeepDeletedItems", true},
        {"settings.showWarnings", false},
        {"settings.continuouslyUpdateDebugInterface", false},
        {"settings.shouldBackupResumeOnStart", false},
        // The real user's home, not $HOME (which the tests point elsewhere).
        {"settings.syncRoot", chosenHome()},
        {"settings.nextBackupDate", QDateTime(QDate(1970, 1, 1), QTime(17, 0), QTimeZone::utc())},
        {"settings.accountId", QVariant()},
        {"settings.latestBackupDate", QVariant()},
        {"settings.latestBackupStatus", QVariant()},
        {"settings.selectiveSyncPaths", QVariant()},
        {"isStartBackupAllowed", false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.keyPath);
        EXPECT_EQ(controller.valueForKeyPath(QString::fromLatin1(row.keyPath)), row.value);
    }
    EXPECT_NE(passwordDatabaseHome(), QDir::homePath());
    EXPECT_TRUE(controller.settings()->backupName().value_or(QString()).endsWith(suffix));
    EXPECT_TRUE(facade.settings().suite()->persistentDomain().isEmpty());
}

TEST_F(SettingsControllerTest, removingBackupDefaultsRestoresTheChoicesButKeepsNameDateAndKeepDeleted) {
    controller.registerDefaults();
    OrvellaSettingsManager& s = facade.settings();
    const QDateTime date = QDateTime(QDate(2026, 3, 4), QTime(6, 30), QTimeZone::utc());
    s.setBackupAutomatically(true);
    s.setBackupImages(true);
    s.setBackupVideos(true);
    s.setBackupContacts(true);
    s.setBackupCalendars(true);
    s.setBackupImmediately(false);
    s.setShouldBackupResumeOnStart(true);
    s.setBackupName(QStringLiteral("Kept Name"));
    s.setNextBackupDate(date);
    s.setBackupKeepDeletedItems(false);

    controller.removeBackupDefaults();

    const ExpectedValue table[] = {
        {"settings.backupAutomatically", false},  {"settings.backupImages", false},
        {"settings.backupVideos", false},         {"settings.backupContacts", false},
        {"settings.backupCalendars", false},      {"settings.backupImmediately", true},
        {"settings.shouldBackupResumeOnStart", false}, {"settings.backupName", QStringLiteral("Kept Name")},
        {"settings.nextBackupDate", date},        {"settings.backupKeepDeletedItems", false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.keyPath);
        EXPECT_EQ(controller.valueForKeyPath(QString::fromLatin1(row.keyPath)), row.value);
    }
    // Removed, not overwritten with the default: a later default applies again.
    EXPECT_FALSE(s.suite()->persistentDomain().contains(QStringLiteral("backupImmediately")));
}

struct HostCase {
    const char* name;
    std::optional<QString> host;
    bool keepsHost;
};

class BackupNameDefault : public ::testing::TestWithParam<HostCase> {};

TEST_P(BackupNameDefault, fallsBackToTheSuffixWhenTheJoinedNameIsNotValid) {
    ScopedTestBusinessFacade facade(QStringLiteral("backupname"));
    const auto host = GetParam().host;
    C::setLocalizedHostNameProviderForTesting([host] { return host; });
    SettingsController().registerDefaults();
    C::setLocalizedHostNameProviderForTesting({});

    const QString suffix = LocalizationController().brTextFieldBackupNameSuffix();
    const QString expected = GetParam().keepsHost ? *host + QLatin1Char(' ') + suffix : suffix;
    EXPECT_EQ(facade.settings().backupName(), expected);
}

INSTANTIATE_TEST_SUITE_P(
    Hosts, BackupNameDefault,
    ::testing::Values(HostCase{"noHostName", std::nullopt, false},
                      HostCase{"plainName", QStringLiteral("Workstation"), true},
                      HostCase{"nameWithBlanksAndDiacritics", QStringLiteral("Büro PC 2"), true},
                      HostCase{"apostrophe", QStringLiteral("Anna's Laptop"), false},
                      HostCase{"domainName", QStringLiteral("build-07.example.org"), false},
                      HostCase{"leadingBlank", QStringLiteral(" Desk"), false},
                      HostCase{"emptyName", QString(), false},
                      HostCase{"tooLong", QString(250, QLatin1Char('a')), false},
                      HostCase{"justShortEnough", QString(248, QLatin1Char('a')), true}),
    [](const auto& info) { return std::string(info.param.name); });

// A transformer of our own, so that the derived text does not depend on the backup subsystem.
class FixedTransformer : public ValueTransformer {
public:
    explicit FixedTransformer(QVariant answer) : answer_(std::move(answer)) {}
    QVariant transformedValue(const QVariant&) const override { return answer_; }

private:
    QVariant answer_;
};

struct ItemsCase {
    const char* name;
    std::shared_ptr<ValueTransformer> transformer;
    std::optional<QString> expected;
};

class BackupItemsLookup : public ::testing::TestWithParam<ItemsCase> {};

TEST_P(BackupItemsLookup, usesTheNamedTransformerOnlyWhenItGivesText) {
    const QString name = QStringLiteral("BackupItemsTransformer");
    const auto previous = ValueTransformer::forName(name);
    ValueTransformer::setValueTransformer(GetParam().transformer, name);
    EXPECT_EQ(SettingsController().backupItems(), GetParam().expected);
    ValueTransformer::setValueTransformer(previous, name);
}

INSTANTIATE_TEST_SUITE_P(
    Transformers, BackupItemsLookup,
    ::testing::Values(
        ItemsCase{"missing", nullptr, std::nullopt},
        ItemsCase{"text", std::make_shared<FixedTransformer>(QStringLiteral("Photos")), QStringLiteral("Photos")},
        ItemsCase{"notText", std::make_shared<FixedTransformer>(42), std::nullopt},
        ItemsCase{"nothing", std::make_shared<FixedTransformer>(QVariant()), std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

struct DependencyCase {
    const char* name;
    std::function<void(OrvellaSettingsManager&)> change;
    QStringList expectedKeyPaths;
    int backupItemsSignals;
    int startAllowedSignals;
    bool startAllowedAfter;
};

class SettingsDependencies : public ::testing::TestWithParam<DependencyCase> {};

TEST_P(SettingsDependencies, changeReachesTheObserversOfEveryDependentKeyPath) {
    ScopedTestBusinessFacade facade(QStringLiteral("dependencies"));
    SettingsController controller;
    QStringList keyPaths;
    int backupItems = 0;
    int startAllowed = 0;
    QObject::connect(&controller, &SettingsController::keyPathChanged, [&](const QString& p) { keyPaths << p; });
    QObject::connect(&controller, &SettingsController::backupItemsChanged, [&] { ++backupItems; });
    QObject::connect(&controller, &SettingsController::isStartBackupAllowedChanged, [&] { ++startAllowed; });

    GetParam().change(facade.settings());

    keyPaths.sort();
    QStringList expected = GetParam().expectedKeyPaths;
    expected.sort();
    EXPECT_EQ(keyPaths, expected);
    EXPECT_EQ(backupItems, GetParam().backupItemsSignals);
    EXPECT_EQ(startAllowed, GetParam().startAllowedSignals);
    EXPECT_EQ(controller.isStartBackupAllowed(), GetParam().startAllowedAfter);
}

QStringList kindChange(const char* key) {
    return {QStringLiteral("settings.") + QLatin1String(key), QStringLiteral("backupItems"),
            QStringLiteral("isStartBackupAllowed")};
}

INSTANTIATE_TEST_SUITE_P(
    Changes, SettingsDependencies,
    ::testing::Values(
        DependencyCase{"images", [](auto& s) { s.setBackupImages(true); }, kindChange("backupImages"), 1, 1, true},
        DependencyCase{"videos", [](auto& s) { s.setBackupVideos(true); }, kindChange("backupVideos"), 1, 1, true},
        DependencyCase{"contacts", [](auto& s) { s.setBackupContacts(true); }, kindChange("backupContacts"), 1, 1,
                       true},
        DependencyCase{"calendars", [](auto& s) { s.setBackupCalendars(true); }, kindChange("backupCalendars"), 1,
                       1, true},
        DependencyCase{"kindOnAndOffAgain",
                       [](auto& s) {
                           s.setBackupCalendars(true);
                           s.setBackupCalendars(false);
                       },
                       kindChange("backupCalendars") + kindChange("backupCalendars"), 2, 2, false},
        DependencyCase{"nextBackupDate",
                       [](auto& s) { s.setNextBackupDate(QDateTime::fromSecsSinceEpoch(1000, QTimeZone::utc())); },
                       {QStringLiteral("settings.nextBackupDate"), QStringLiteral("settings.backupAutomatically")},
                       0, 0, false},
        DependencyCase{"backupAutomatically", [](auto& s) { s.setBackupAutomatically(true); },
                       {QStringLiteral("settings.backupAutomatically"), QStringLiteral("settings.nextBackupDate")},
                       0, 0, false},
        DependencyCase{"latestBackupStatus", [](auto& s) { s.setLatestBackupStatus(QByteArray("ok")); },
                       {QStringLiteral("settings.latestBackupStatus"), QStringLiteral("settings.nextBackupDate")},
                       0, 0, false},
        DependencyCase{"unrelated", [](auto& s) { s.setShowBadgesInFinder(false); },
                       {QStringLiteral("settings.showBadgesInFinder")}, 0, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsControllerTest, syncRootFollowsTheRememberedParentOfEachAccount) {
    UserDefaults& standard = UserDefaults::standard();
    standard.setObject(QStringLiteral("acc-first"), QStringLiteral("/srv/first"));
    standard.setObject(QStringLiteral("acc-second"), QStringLiteral("/srv/second"));
    const struct {
        const char* account;
        QString expected;
    } steps[] = {{"acc-first", QStringLiteral("/srv/first")},
                 {"acc-second", QStringLiteral("/srv/second")},
                 {"acc-first", QStringLiteral("/srv/first")},
                 {"acc-never-seen", chosenHome()}};
    for (const auto& step : steps) {
        SCOPED_TRACE(step.account);
        controller.restoreSyncRoot(QString::fromLatin1(step.account));
        EXPECT_EQ(facade.settings().syncRoot(), step.expected);
        // Stored, not merely answered by a default.
        EXPECT_TRUE(facade.settings().suite()->persistentDomain().contains(QStringLiteral("syncRoot")));
    }
    standard.removeObject(QStringLiteral("acc-first"));
    standard.removeObject(QStringLiteral("acc-second"));
}

TEST_F(SettingsControllerTest, keyPathWritesReachOnlyKnownSettings) {
    EXPECT_TRUE(controller.setValueForKeyPath(QStringLiteral("settings.backupVideos"), true));
    EXPECT_TRUE(facade.settings().backupVideos());
    EXPECT_TRUE(controller.valueForKeyPath(QStringLiteral("isStartBackupAllowed")).toBool());
    EXPECT_FALSE(controller.setValueForKeyPath(QStringLiteral("settings.noSuchSetting"), true));
    EXPECT_FALSE(controller.setValueForKeyPath(QStringLiteral("isStartBackupAllowed"), false));
    EXPECT_FALSE(facade.settings().suite()->persistentDomain().contains(QStringLiteral("noSuchSetting")));
    EXPECT_EQ(SettingsController().settings(), controller.settings());
}

}  // namespace
