#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTcpServer>

#include <mutex>

#include "app/shell/controls/GridView.h"
#include "app/shell/update/Appcast.h"
#include "app/shell/update/SUUpdater.h"
#include "app/shell/update/SUUpdaterDelegate.h"
#include "app/shell/update/SUUpdaterWrapper.h"
#include "app/shell/update/SoftwareUpdateViewController.h"
#include "app/shell/update/SparkleUpdaterController.h"
#include "app/shell/update/VersionComparator.h"
#include "app/common/LocalizationController.h"
#include "frameworks/logger/Logger.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Workspace.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/UserDefaults.h"
#include "support/TestEnvironment.h"

namespace {

int defaultsCounter = 0;

// Information keys changed for one test, put back afterwards.
class ScopedInfo {
public:
    explicit ScopedInfo(const QVariantMap& changes) : saved_(Bundle::main().info()) {
        QVariantMap info = saved_;
        for (auto it = changes.begin(); it != changes.end(); ++it) {
            if (it.value().isValid()) info.insert(it.key(), it.value());
            else info.remove(it.key());
        }
        Bundle::main().setInfo(info);
    }
    ~ScopedInfo() { Bundle::main().setInfo(saved_); }

private:
    QVariantMap saved_;
};

// ---- versions ----

struct VersionCase {
    const char* name;
    const char* a;
    const char* b;
    int expected;
};

class VersionOrder : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionOrder, ComparesBothWays) {
    const VersionCase& c = GetParam();
    EXPECT_EQ(VersionComparator::compare(QString::fromUtf8(c.a), QString::fromUtf8(c.b)), c.expected);
    EXPECT_EQ(VersionComparator::compare(QString::fromUtf8(c.b), QString::fromUtf8(c.a)), -c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Shell, VersionOrder,
    ::testing::Values(VersionCase{"equal", "1.0", "1.0", 0}, VersionCase{"numeric", "1.10", "1.9", 1},
                      VersionCase{"longerNumber", "1.0.1", "1.0", 1}, VersionCase{"buildNumbers", "100", "99", 1},
                      VersionCase{"betaBeforeRelease", "1.0b1", "1.0", -1},
                      VersionCase{"betasInOrder", "1.0b2", "1.0b1", 1},
                      VersionCase{"spacedBeta", "2.0 beta", "2.0", -1},
                      VersionCase{"dashedCandidate", "2.0-rc1", "2.0", -1},
                      VersionCase{"releaseAfterCandidate", "2.0.1", "2.0-rc1", 1},
                      VersionCase{"leadingZeros", "1.01", "1.1", 0},
                      VersionCase{"hugeNumbers", "1.123456789012345678901", "1.123456789012345678900", 1},
                      VersionCase{"letterCase", "1.0B2", "1.0b1", 1}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- feeds ----

QByteArray feed(const QString& items) {
    return (QStringLiteral("<?xml version=\"1.0\"?><rss version=\"2.0\" "
                           "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\"><channel>"
                           "<title>Orvella</title>") +
            items + QStringLiteral("</channel></rss>"))
        .toUtf8();
}

QString item(const QString& version, const QString& url, const QString& extra = {}, const QString& elements = {}) {
    return QStringLiteral("<item><title>Orvella %1</title>%4<description><![CDATA[<p>Fixes</p><ul><li>One</li></ul>]]>"
                          "</description><enclosure url=\"%2\" sparkle:version=\"%1\" %3 "
                          "type=\"application/octet-stream\"/></item>")
        .arg(version, url, extra, elements);
}

struct FeedCase {
    const char* name;
    QByteArray data;
    bool valid;
    QStringList versions;  // of the items kept
    QString best;          // for host version "1"; empty: up to date
};

class FeedParsing : public ::testing::TestWithParam<FeedCase> {};

TEST_P(FeedParsing, KeepsUsableItemsAndPicksTheNewest) {
    const FeedCase& c = GetParam();
    QString error;
    const auto items = Appcast::parse(c.data, &error);
    ASSERT_EQ(items.has_value(), c.valid) << error.toStdString();
    if (!items) {
        EXPECT_FALSE(error.isEmpty());
        return;
    }
    QStringList versions;
    for (const AppcastItem& i : *items) versions << i.version;
    EXPECT_EQ(versions, c.versions);
    const auto best = Appcast::bestItem(*items, QStringLiteral("1"), QStringLiteral("12"));
    EXPECT_EQ(best ? best->version : QString(), c.best);
}

const QString archive = QStringLiteral("https://update.example/Orvella.tar.gz");

INSTANTIATE_TEST_SUITE_P(
    Shell, FeedParsing,
    ::testing::Values(
        FeedCase{"newestWins", feed(item("2", archive) + item("5", archive) + item("3", archive)), true, {"2", "5", "3"}, "5"},
        FeedCase{"upToDate", feed(item("1", archive) + item("0.9", archive)), true, {"1", "0.9"}, ""},
        FeedCase{"noEnclosureUrl", feed(item("4", "") + item("2", archive)), true, {"2"}, "2"},
        FeedCase{"unsupportedScheme", feed(item("4", "ftp://x/y.zip") + item("2", archive)), true, {"2"}, "2"},
        FeedCase{"versionAsElement",
                 feed(QStringLiteral("<item><sparkle:version>7</sparkle:version><enclosure url=\"%1\"/></item>").arg(archive)),
                 true, {"7"}, "7"},
        FeedCase{"systemTooOld",
                 feed(item("9", archive, {}, "<sparkle:minimumSystemVersion>13.1</sparkle:minimumSystemVersion>") +
                      item("2", archive)),
                 true, {"9", "2"}, "2"},
        FeedCase{"emptyChannel", feed({}), true, {}, ""},
        FeedCase{"notXml", QByteArray("this is not a feed"), false, {}, ""},
        FeedCase{"truncated", feed(item("2", archive)).left(120), false, {}, ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AppcastTest, ReadsTheEnclosureDetails) {
    const auto items = Appcast::parse(feed(item(
        "3", archive, "length=\"1234\" sha256=\"ABCDEF\" sparkle:shortVersionString=\"1.3.0\"",
        "<sparkle:releaseNotesLink>https://update.example/notes.html</sparkle:releaseNotesLink>")));
    ASSERT_TRUE(items && items->size() == 1);
    const AppcastItem& i = items->front();
    EXPECT_EQ(i.length, 1234);
    EXPECT_EQ(i.sha256, QStringLiteral("abcdef"));
    EXPECT_EQ(i.displayVersion, QStringLiteral("1.3.0"));
    EXPECT_EQ(i.releaseNotes, QStringLiteral("Fixes\nOne"));
    EXPECT_EQ(i.releaseNotesURL, QUrl(QStringLiteral("https://update.example/notes.html")));
}

// ---- the controller ----

struct ControllerCase {
    const char* name;
    QVariant alternativeKey;  // invalid: missing
    QVariant storedChoice;    // invalid: never chosen
    bool expectCan;
    bool expectUse;
};

class SparkleControllerCreation : public ::testing::TestWithParam<ControllerCase> {
protected:
    void SetUp() override { SUUpdater::setSharedUpdater(nullptr); }
    void TearDown() override { SUUpdater::setSharedUpdater(nullptr); }
};

TEST_P(SparkleControllerCreation, DecidesTheTestChannelAndTheFeed) {
    const ControllerCase& c = GetParam();
    ScopedInfo info({{QStringLiteral("KVTSUAlternativeFeedURL"), c.alternativeKey}});
    UserDefaults defaults(QStringLiteral("test.sparkle.%1").arg(++defaultsCounter));
    if (c.storedChoice.isValid()) defaults.setObject(QStringLiteral("KVTUseAlternativeFeedURL"), c.storedChoice);

    SparkleUpdaterController controller(false, defaults);
    EXPECT_EQ(controller.canUseAlternativeUpdateURL(), c.expectCan);
    EXPECT_EQ(controller.useAlternativeUpdateURL(), c.expectUse);
    EXPECT_EQ(defaults.doubleForKey(QStringLiteral("SUScheduledCheckInterval")), 14400.0);
    SUUpdater probe(defaults);
    const QString normal = QStringLiteral("https://update.orvella.example/desktop/appcast.xml");
    EXPECT_EQ(controller.feedURLStringForUpdater(probe), c.expectUse ? c.alternativeKey.toString() : normal);

    // Switching on sticks only where the channel exists, and is stored either way.
    controller.setUseAlternativeUpdateURL(true);
    EXPECT_EQ(controller.useAlternativeUpdateURL(), c.expectCan);
    EXPECT_EQ(defaults.boolForKey(QStringLiteral("KVTUseAlternativeFeedURL")), c.expectCan);
    EXPECT_EQ(controller.feedURLStringForUpdater(probe), c.expectCan ? c.alternativeKey.toString() : normal);
    controller.setUseAlternativeUpdateURL(false);
    EXPECT_EQ(controller.feedURLStringForUpdater(probe), normal);
}

INSTANTIATE_TEST_SUITE_P(
    Shell, SparkleControllerCreation,
    ::testing::Values(
        ControllerCase{"missingKey", QVariant(), true, false, false},
        ControllerCase{"emptyKey", QString(), true, false, false},
        ControllerCase{"notAUrl", QStringLiteral("not a url at all"), true, false, false},
        ControllerCase{"availableOff", QStringLiteral("https://update.example/beta.xml"), QVariant(), true, false},
        ControllerCase{"availableOn", QStringLiteral("https://update.example/beta.xml"), true, true, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SparkleControllerTest, UnderUnitTestsTheUpdaterIsLeftAloneAndChecksAreOff) {
    UserDefaults defaults(QStringLiteral("test.sparkle.%1").arg(++defaultsCounter));
    auto updater = std::make_unique<SUUpdater>(defaults);
    SUUpdater* raw = updater.get();
    SUUpdater::setSharedUpdater(std::move(updater));
    {
        ScopedInfo info({{QStringLiteral("KVTSUAlternativeFeedURL"), QStringLiteral("https://update.example/beta.xml")}});
        SparkleUpdaterController controller(true, defaults);
        EXPECT_FALSE(controller.canUseAlternativeUpdateURL());
        EXPECT_FALSE(controller.useAlternativeUpdateURL());
        EXPECT_EQ(raw->delegate(), nullptr);
        EXPECT_FALSE(raw->updateInProgress());
        EXPECT_FALSE(raw->lastUpdateCheckDate());
        EXPECT_FALSE(defaults.boolForKey(QStringLiteral("SUEnableAutomaticChecks")));
        EXPECT_FALSE(defaults.object(QStringLiteral("SUScheduledCheckInterval")).isValid());
    }
    // A value the user stored wins over the registered interval.
    defaults.setObject(QStringLiteral("SUScheduledCheckInterval"), 3600.0);
    SparkleUpdaterController later(false, defaults);
    EXPECT_EQ(raw->updateCheckInterval(), 3600.0);
    EXPECT_EQ(raw->delegate(), &later);
    SUUpdater::setSharedUpdater(nullptr);
}

TEST(SUUpdaterWrapperTest, WithoutSharedUpdaterReadsNothingAndIgnoresWrites) {
    SUUpdater::setSharedUpdater(nullptr);
    SUUpdaterWrapper wrapper;
    wrapper.setAutomaticallyChecksForUpdates(true);
    wrapper.setUpdateCheckInterval(86400);
    wrapper.checkForUpdates();
    EXPECT_FALSE(wrapper.automaticallyChecksForUpdates());
    EXPECT_EQ(wrapper.updateCheckInterval(), 0);

    UserDefaults defaults(QStringLiteral("test.sparkle.%1").arg(++defaultsCounter));
    SUUpdater::setSharedUpdater(std::make_unique<SUUpdater>(defaults));
    wrapper.setAutomaticallyChecksForUpdates(false);
    wrapper.setUpdateCheckInterval(604800);
    EXPECT_FALSE(SUUpdater::sharedUpdater()->automaticallyChecksForUpdates());
    EXPECT_EQ(wrapper.updateCheckInterval(), 604800);
    EXPECT_EQ(defaults.doubleForKey(QStringLiteral("SUScheduledCheckInterval")), 604800);
    SUUpdater::setSharedUpdater(nullptr);
}

// ---- a whole check against a feed on disk ----

class FixedFeed : public SUUpdaterDelegate {
public:
    QString feedURLStringForUpdater(const SUUpdater&) const override { return url; }
    QString url;
};

struct CheckCase {
    const char* name;
    const char* version;       // offered by the feed
    const char* hashKind;      // "right", "wrong", "none"
    qint64 lengthDelta;        // added to the true length in the feed
    bool userInitiated;
    bool skippedBefore;        // the user skipped this version earlier
    int answer;                // the button picked when offered
    SUUpdater::Outcome expected;
    int expectedAlerts;
    bool expectRevealed;
};

class UpdateCheck : public ::testing::TestWithParam<CheckCase> {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        Alert::clearShownAlerts();
        Workspace::setOpener([this](const QUrl& url) {
            opened << url;
            return true;
        });
    }
    void TearDown() override {
        Alert::setResponder(nullptr);
        Workspace::setOpener({});
    }

    QTemporaryDir dir{QStringLiteral("/dev/shm/updates-XXXXXX")};
    QList<QUrl> opened;
};

TEST_P(UpdateCheck, OffersDownloadsAndVerifies) {
    const CheckCase& c = GetParam();
    const QByteArray payload = QByteArray("archive of the next build ").repeated(500);
    const QString archivePath = dir.filePath(QStringLiteral("source/Orvella-2.tar.gz"));
    QDir().mkpath(dir.filePath(QStringLiteral("source")));
    QFile out(archivePath);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(payload);
    out.close();
    const QString rightHash = QString::fromLatin1(QCryptographicHash::hash(payload, QCryptographicHash::Sha256).toHex());
    QString hash;
    if (QByteArray(c.hashKind) == "right") hash = rightHash;
    else if (QByteArray(c.hashKind) == "wrong") hash = QString(64, u'0');
    QString extra = QStringLiteral("length=\"%1\"").arg(payload.size() + c.lengthDelta);
    if (!hash.isEmpty()) extra += QStringLiteral(" sha256=\"%1\"").arg(hash);
    const QString feedPath = dir.filePath(QStringLiteral("appcast.xml"));
    QFile feedFile(feedPath);
    ASSERT_TRUE(feedFile.open(QIODevice::WriteOnly));
    feedFile.write(feed(item(QString::fromLatin1(c.version), QUrl::fromLocalFile(archivePath).toString(), extra)));
    feedFile.close();

    UserDefaults defaults(QStringLiteral("test.updates.%1").arg(++defaultsCounter));
    if (c.skippedBefore) defaults.setObject(QStringLiteral("SUSkippedVersion"), QString::fromLatin1(c.version));
    SUUpdater updater(defaults);
    FixedFeed delegate;
    delegate.url = QUrl::fromLocalFile(feedPath).toString();
    updater.setDelegate(&delegate);
    updater.setDownloadsFolder(dir.filePath(QStringLiteral("downloads")));
    QStringList titles;
    Alert::setResponder([&](const Alert& alert) {
        titles << alert.messageText();
        return c.answer;
    });

    if (c.userInitiated) updater.checkForUpdates();
    else updater.checkForUpdatesInBackground();
    EXPECT_TRUE(updater.updateInProgress());
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !updater.updateInProgress(); }, 5000));

    ASSERT_TRUE(updater.lastOutcome());
    EXPECT_EQ(*updater.lastOutcome(), c.expected) << updater.lastError().toStdString() << " "
                                                  << titles.join(QStringLiteral(" | ")).toStdString();
    EXPECT_EQ(titles.size(), c.expectedAlerts) << titles.join(QStringLiteral(" | ")).toStdString();
    EXPECT_TRUE(updater.lastUpdateCheckDate());
    const QString downloaded = dir.filePath(QStringLiteral("downloads/Orvella-2.tar.gz"));
    if (c.expectRevealed) {
        EXPECT_EQ(updater.lastDownloadedArchive(), downloaded);
        EXPECT_EQ(opened, QList<QUrl>{QUrl::fromLocalFile(dir.filePath(QStringLiteral("downloads")))});
        QFile copy(downloaded);
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
        EXPECT_EQ(copy.readAll(), payload);
    } else {
        EXPECT_TRUE(opened.isEmpty());
        // An archive that failed its check is not left for anyone to open.
        EXPECT_FALSE(QFile::exists(downloaded));
    }
    if (c.answer == Alert::SecondButtonReturn && c.expected == SUUpdater::Outcome::updateSkipped && !c.skippedBefore) {
        EXPECT_EQ(defaults.stringForKey(QStringLiteral("SUSkippedVersion")).value_or(QString()),
                  QString::fromLatin1(c.version));
    }
}

using O = SUUpdater::Outcome;
INSTANTIATE_TEST_SUITE_P(
    Shell, UpdateCheck,
    ::testing::Values(
        CheckCase{"installVerified", "2", "right", 0, true, false, Alert::FirstButtonReturn, O::updateDownloaded, 1, true},
        CheckCase{"installWithoutLength", "2", "right", -100000, true, false, Alert::FirstButtonReturn, O::updateDownloaded, 1, true},
        CheckCase{"wrongHash", "2", "wrong", 0, true, false, Alert::FirstButtonReturn, O::failed, 2, false},
        CheckCase{"wrongLength", "2", "right", 7, true, false, Alert::FirstButtonReturn, O::failed, 2, false},
        CheckCase{"noHashNotOffered", "2", "none", 0, true, false, Alert::FirstButtonReturn, O::failed, 1, false},
        CheckCase{"skip", "2", "right", 0, true, false, Alert::SecondButtonReturn, O::updateSkipped, 1, false},
        CheckCase{"remindLater", "2", "right", 0, true, false, Alert::ThirdButtonReturn, O::updateOffered, 1, false},
        CheckCase{"upToDateTold", "1", "right", 0, true, false, Alert::FirstButtonReturn, O::upToDate, 1, false},
        CheckCase{"upToDateSilentInBackground", "1", "right", 0, false, false, Alert::FirstButtonReturn, O::upToDate, 0, false},
        CheckCase{"skippedSilentInBackground", "2", "right", 0, false, true, Alert::FirstButtonReturn, O::updateSkipped, 0, false},
        CheckCase{"skippedStillOfferedOnRequest", "2", "right", 0, true, true, Alert::ThirdButtonReturn, O::updateOffered, 1, false},
        CheckCase{"failureSilentInBackground", "2", "none", 0, false, false, Alert::FirstButtonReturn, O::failed, 0, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SUUpdaterTest, FeedUrlFollowsTheDelegateAndCarriesTheProfileOnlyWhenAllowed) {
    UserDefaults defaults(QStringLiteral("test.updates.%1").arg(++defaultsCounter));
    SUUpdater updater(defaults);
    EXPECT_EQ(updater.feedURL(), QUrl(QStringLiteral("https://update.orvella.example/desktop/appcast.xml")));
    FixedFeed delegate;
    delegate.url = QStringLiteral("https://update.example/beta.xml");
    updater.setDelegate(&delegate);
    EXPECT_EQ(updater.feedURL().query(), QString());
    updater.setSendsSystemProfile(true);
    EXPECT_TRUE(updater.feedURL().query().contains(QStringLiteral("appVersion=1")));
    EXPECT_EQ(updater.feedURL().path(), QStringLiteral("/beta.xml"));
    // A local feed has nowhere to send a profile to.
    delegate.url = QStringLiteral("file:///tmp/appcast.xml");
    EXPECT_EQ(updater.feedURL(), QUrl(QStringLiteral("file:///tmp/appcast.xml")));
}

TEST(SUUpdaterTest, MissingFeedAndAutomaticChecksOff) {
    UserDefaults defaults(QStringLiteral("test.updates.%1").arg(++defaultsCounter));
    SUUpdater updater(defaults);
    FixedFeed delegate;
    updater.setDelegate(&delegate);
    int alerts = 0;
    Alert::setResponder([&](const Alert&) { return ++alerts, Alert::FirstButtonReturn; });
    updater.checkForUpdates();
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !updater.updateInProgress(); }, 2000));
    EXPECT_EQ(updater.lastOutcome(), SUUpdater::Outcome::failed);
    EXPECT_EQ(alerts, 1);

    updater.setAutomaticallyChecksForUpdates(false);
    updater.checkForUpdatesInBackground();
    EXPECT_FALSE(updater.updateInProgress());
    EXPECT_EQ(alerts, 1);
    Alert::setResponder(nullptr);
}

// Offline is an everyday state: the user is told so in plain words (not a raw network error with a
// button to cancel nothing), the log gets a warning rather than an ERROR on every start, and the
// pane says when the updater last looked.
TEST(SUUpdaterTest, AnUnreachableServerIsToldPlainlyAndLoggedAsAWarning) {
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    LocalizationController texts;
    for (const bool userInitiated : {true, false}) {
        SCOPED_TRACE(userInitiated ? "check now" : "in the background");
        UserDefaults defaults(QStringLiteral("test.updates.%1").arg(++defaultsCounter));
        SUUpdater updater(defaults);
        FixedFeed delegate;
        delegate.url = QStringLiteral("http://127.0.0.1:%1/appcast.xml").arg(port);
        updater.setDelegate(&delegate);
        std::mutex mutex;
        QList<LogLevel> levels;
        const auto sink = Logger::addSink([&](const LogEntry& e) {
            std::lock_guard lock(mutex);
            if (e.message.contains(QStringLiteral("update"), Qt::CaseInsensitive) && e.level >= LogLevel::warning)
                levels << e.level;
        });
        QList<Alert> alerts;
        Alert::setResponder([&](const Alert& alert) { return alerts << alert, Alert::FirstButtonReturn; });
        EXPECT_EQ(SoftwareUpdateViewController::lastCheckedText(updater.lastUpdateCheckDate(), texts),
                  texts.suLabelNeverChecked());
        if (userInitiated) updater.checkForUpdates();
        else updater.checkForUpdatesInBackground();
        ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !updater.updateInProgress(); }, 5000));
        Logger::flush();
        Logger::removeSink(sink);
        Alert::setResponder(nullptr);
        EXPECT_EQ(updater.lastOutcome(), SUUpdater::Outcome::unreachable);
        EXPECT_EQ(levels, QList<LogLevel>{LogLevel::warning});
        ASSERT_EQ(alerts.size(), userInitiated ? 1 : 0);
        if (userInitiated) {
            EXPECT_EQ(alerts[0].messageText(), QStringLiteral("The update server could not be reached."));
            EXPECT_EQ(alerts[0].buttonTitles(), QStringList{QStringLiteral("OK")});
        }
        EXPECT_NE(SoftwareUpdateViewController::lastCheckedText(updater.lastUpdateCheckDate(), texts),
                  texts.suLabelNeverChecked());
    }
}

// ---- the pane ----

struct ModifierCase {
    const char* name;
    Qt::KeyboardModifiers modifiers;
    quint32 native;
    bool shows;
};

class AlternativeRowModifiers : public ::testing::TestWithParam<ModifierCase> {};

TEST_P(AlternativeRowModifiers, ShowOnlyForTheFourKeysTogether) {
    const ModifierCase& c = GetParam();
    const auto flags = SoftwareUpdateViewController::modifierFlags(c.modifiers, c.native);
    EXPECT_EQ(SoftwareUpdateViewController::showsAlternativeRow(flags), c.shows);

    SoftwareUpdateViewController pane;
    pane.viewWillAppear();  // no controller: the row hides and reacts to the keys
    pane.flagsChanged(flags);
    EXPECT_EQ(pane.isAlternativeUpdateRowHidden(), !c.shows);
    pane.viewWillDisappear();
}

constexpr Qt::KeyboardModifiers allFour = Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier;
INSTANTIATE_TEST_SUITE_P(
    Shell, AlternativeRowModifiers,
    ::testing::Values(ModifierCase{"allFour", allFour, 0, true},
                      ModifierCase{"threeOnly", Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier, 0, false},
                      ModifierCase{"withCapsLock", allFour, 0x2, false},
                      ModifierCase{"withKeypad", allFour | Qt::KeypadModifier, 0, false},
                      ModifierCase{"none", Qt::NoModifier, 0, false},
                      ModifierCase{"otherNativeBitsIgnored", allFour, 0x10, true}),
    [](const auto& info) { return std::string(info.param.name); });

struct PaneCase {
    const char* name;
    bool withController;
    QVariant alternativeKey;
    bool channelOn;
    bool expectHidden;
    bool expectEnabled;
    bool expectReacts;
};

class SoftwareUpdatePane : public ::testing::TestWithParam<PaneCase> {
protected:
    void SetUp() override { SUUpdater::setSharedUpdater(nullptr); }
};

TEST_P(SoftwareUpdatePane, ConfiguresTheTestChannelRowOnAppearance) {
    const PaneCase& c = GetParam();
    ScopedInfo info({{QStringLiteral("KVTSUAlternativeFeedURL"), c.alternativeKey}});
    UserDefaults defaults(QStringLiteral("test.pane.%1").arg(++defaultsCounter));
    defaults.setObject(QStringLiteral("KVTUseAlternativeFeedURL"), c.channelOn);
    SparkleUpdaterController controller(false, defaults);
    SoftwareUpdateViewController pane;
    if (c.withController) pane.setSparkleController(&controller);

    pane.view();
    // The description and the separator span the whole grid.
    EXPECT_EQ(pane.gridView()->columnSpanOf(pane.updateDescriptionCell()), pane.gridView()->numberOfColumns());
    EXPECT_EQ(pane.gridView()->columnSpanOf(pane.separatorCell()), pane.gridView()->numberOfColumns());
    pane.viewWillAppear();
    EXPECT_TRUE(pane.hasFlagMonitor());
    EXPECT_EQ(pane.isAlternativeUpdateRowHidden(), c.expectHidden);
    EXPECT_EQ(pane.alternativeUpdateEnableButton()->isEnabled(), c.expectEnabled);
    EXPECT_EQ(pane.alternativeUpdateEnableButton()->isChecked(), c.withController && c.channelOn && c.expectEnabled);
    EXPECT_EQ(pane.shouldReactToKeyModifiers(), c.expectReacts);
    EXPECT_FALSE(pane.alternativeUpdateEnableButton()->text().isEmpty());

    // Releasing the keys hides the row again, unless the channel is on.
    pane.flagsChanged(SoftwareUpdateViewController::modifierFlags(allFour));
    EXPECT_FALSE(pane.isAlternativeUpdateRowHidden());
    pane.flagsChanged(0);
    EXPECT_EQ(pane.isAlternativeUpdateRowHidden(), c.expectReacts);

    if (c.expectEnabled) {
        // After a toggle the row stays while the pane shows, and the choice reaches the controller.
        pane.flagsChanged(SoftwareUpdateViewController::modifierFlags(allFour));
        pane.alternativeUpdateEnableButton()->click();
        EXPECT_FALSE(pane.shouldReactToKeyModifiers());
        EXPECT_EQ(controller.useAlternativeUpdateURL(), !c.channelOn);
        pane.flagsChanged(0);
        EXPECT_FALSE(pane.isAlternativeUpdateRowHidden());
    }
    pane.viewWillDisappear();
    EXPECT_FALSE(pane.hasFlagMonitor());
}

const QVariant betaFeed = QStringLiteral("https://update.example/beta.xml");
INSTANTIATE_TEST_SUITE_P(
    Shell, SoftwareUpdatePane,
    ::testing::Values(PaneCase{"noController", false, betaFeed, true, true, false, true},
                      PaneCase{"noChannel", true, QVariant(), true, true, false, true},
                      PaneCase{"channelOff", true, betaFeed, false, true, true, true},
                      PaneCase{"channelOn", true, betaFeed, true, false, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
