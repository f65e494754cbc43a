#include <gtest/gtest.h>

#include <QFileInfo>
#include <QMenu>
#include <QPushButton>

#include "OnboardingTestSupport.h"
#include "app/common/LocalizationController.h"
#include "app/core/SettingsController.h"

namespace {

using onboardingtest::ChannelLines;
using onboardingtest::OnboardingFixture;
using Error = SyncRootSelectionViewController::RootDirectorySelectionError;
using Values = SyncRootSelectionViewController::FolderResourceValues;

// --- The order of the checks, on values a reader hands in ---

struct CheckRow {
    const char* name;
    std::optional<bool> writable, local, persistentIDs, ubiquitous;
    bool withMetadataController;
    std::optional<Error> expected;
};

class CheckOrderTest : public OnboardingFixture, public ::testing::WithParamInterface<CheckRow> {};

TEST_P(CheckOrderTest, FirstFailingConditionDecides) {
    const CheckRow& row = GetParam();
    SyncRootSelectionViewController::setFolderResourceReaderForTesting([&row](const QString&) {
        Values values;
        values.isWritable = row.writable;
        values.volumeIsLocal = row.local;
        values.volumeSupportsPersistentIDs = row.persistentIDs;
        values.isUbiquitousItem = row.ubiquitous;
        // Read but never tested.
        values.volumeIsInternal = false;
        values.volumeIsEjectable = true;
        return std::variant<Values, QString>(values);
    });
    const QString folder = makeFolder("candidate");
    SyncRootSelectionViewController page(row.withMetadataController ? metadata : nullptr);
    const auto check = page.checkRootDirectory(folder);
    EXPECT_FALSE(check.readFailure);
    EXPECT_EQ(check.refusal, row.expected);
}

const std::optional<bool> yes = true, no = false, unknown = std::nullopt;

INSTANTIATE_TEST_SUITE_P(
    Table, CheckOrderTest,
    ::testing::Values(
        CheckRow{"passes", yes, yes, yes, no, true, std::nullopt},
        CheckRow{"readOnlyNetworkVolumeIsNotWritable", no, no, no, yes, true, Error::notWritable},
        CheckRow{"unknownWritabilityIsNotWritable", unknown, yes, yes, no, true, Error::notWritable},
        CheckRow{"networkVolume", yes, no, no, no, true, Error::volumeNotLocal},
        CheckRow{"unknownLocality", yes, unknown, yes, no, true, Error::volumeNotLocal},
        CheckRow{"noPersistentIdentifiers", yes, yes, no, yes, true, Error::incompatibleVolume},
        CheckRow{"cloudItem", yes, yes, yes, yes, true, Error::incompatibleVolume},
        CheckRow{"unknownCloudFlagPasses", yes, yes, yes, unknown, true, std::nullopt},
        CheckRow{"noMetadataController", yes, yes, yes, no, false, Error::childOfAnotherRootFolder}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OnboardingFixture, UnreadableFolderValuesAreNoRefusal) {
    SyncRootSelectionViewController page(metadata);
    for (const QString& path : {temp.filePath("missing"), temp.filePath("file")}) {
        SCOPED_TRACE(path.toStdString());
        if (path.endsWith("file")) writeFile(path);
        const auto check = page.checkRootDirectory(path);
        EXPECT_FALSE(check.refusal);
        EXPECT_TRUE(check.readFailure);
    }
}

// --- Real folders and markers ---

struct MarkerRow {
    const char* name;
    // Folders made under the temp folder, "path=accountId" for a marked sync folder.
    QStringList layout;
    QString candidate;
    bool signedIn;
    std::optional<Error> expected;
};

class MarkerCheckTest : public OnboardingFixture, public ::testing::WithParamInterface<MarkerRow> {};

TEST_P(MarkerCheckTest, AccountsAndSyncFoldersAreRespected) {
    const MarkerRow& row = GetParam();
    for (const QString& entry : row.layout) {
        const QStringList parts = entry.split('=');
        const QString folder = makeFolder(parts[0]);
        if (parts.size() == 2) mark(folder, parts[1]);
    }
    if (!row.signedIn) {
        facade->user.reset();
        userController.update();
    }
    SyncRootSelectionViewController page(metadata);
    const auto check = page.checkRootDirectory(makeFolder(row.candidate));
    EXPECT_FALSE(check.readFailure) << check.readFailure.value_or("").toStdString();
    EXPECT_EQ(check.refusal, row.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, MarkerCheckTest,
    ::testing::Values(
        MarkerRow{"plainFolder", {"home"}, "home", true, std::nullopt},
        MarkerRow{"ownSyncFolderBeneath", {"home/Orvella=acc-1"}, "home", true, std::nullopt},
        MarkerRow{"otherAccountsSyncFolderBeneath", {"home/Orvella=acc-2"}, "home", true, Error::anotherUserOwns},
        MarkerRow{"insideThePresentSyncFolder", {"home/Orvella=acc-1", "home/Orvella/Work"}, "home/Orvella/Work", true,
                  Error::childOfAnotherRootFolder},
        MarkerRow{"theSyncFolderItself", {"home/Orvella=acc-1"}, "home/Orvella", true, Error::childOfAnotherRootFolder},
        MarkerRow{"insideAnotherAccountsSyncFolder", {"shared/Orvella=acc-2", "shared/Orvella/Mine"},
                  "shared/Orvella/Mine", true, Error::childOfAnotherRootFolder},
        MarkerRow{"nobodySignedIn", {"home"}, "home", false, Error::anotherUserOwns}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SyncRootVolumeTest, FileSystemTypesAreToldApart) {
    EXPECT_EQ(SyncRootSelectionViewController::fileSystemType(QStringLiteral("/dev/shm")), QStringLiteral("tmpfs"));
    EXPECT_EQ(SyncRootSelectionViewController::fileSystemType(QStringLiteral("/no/such/folder")), QString());
    struct Row {
        const char* type;
        bool network;
        bool persistent;
    };
    for (const Row& row : {Row{"ext4", false, true}, Row{"tmpfs", false, true}, Row{"btrfs", false, true},
                           Row{"nfs4", true, true}, Row{"cifs", true, true}, Row{"fuse.sshfs", true, true},
                           Row{"vfat", false, false}, Row{"exfat", false, false}}) {
        SCOPED_TRACE(row.type);
        EXPECT_EQ(SyncRootSelectionViewController::isNetworkFileSystem(row.type), row.network);
        EXPECT_EQ(SyncRootSelectionViewController::hasPersistentFileIdentifiers(row.type), row.persistent);
    }
}

// The user's files must never land where the system keeps its own, nor in a made-up file system
// whose "files" vanish or are the kernel's settings.
TEST(SyncRootVolumeTest, SystemLocationsAreRefusedAndTheUsersOwnAreNot) {
    struct Row {
        const char* path;
        const char* mountPoint;
        const char* type;
        const char* home;
        bool system;
    };
    const Row rows[] = {
        {"/proc", "/proc", "proc", "/home/ann", true},
        {"/proc/self/cwd", "/proc", "proc", "/home/ann", true},
        {"/sys/kernel", "/sys", "sysfs", "/home/ann", true},
        {"/sys/fs/cgroup", "/sys/fs/cgroup", "cgroup2", "/home/ann", true},
        {"/home/ann/dev", "/home", "devtmpfs", "/home/ann", true},  // a pseudo file system anywhere
        {"/", "/", "ext4", "/home/ann", true},
        {"/", "/", "ext4", "/", true},
        {"/usr/share", "/", "ext4", "/home/ann", true},
        {"/etc", "/", "ext4", "/home/ann", true},
        {"/lib64", "/", "ext4", "/home/ann", true},
        {"/var/lib/x", "/var", "xfs", "/home/ann", true},
        {"/run/user/1000", "/run/user/1000", "tmpfs", "/home/ann", false},  // a volume of its own below
        {"/run", "/run", "tmpfs", "/home/ann", true},
        {"/run/media/ann/USB", "/run/media/ann/USB", "exfat", "/home/ann", false},
        {"/var/home/ann/Documents", "/var", "btrfs", "/var/home/ann", false},
        {"/home/ann", "/", "ext4", "/home/ann", false},
        {"/usrdata", "/", "ext4", "/home/ann", false},  // whole path components only
        {"/srv/files", "/", "ext4", "/home/ann", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.path) + " on " + row.type);
        EXPECT_EQ(SyncRootSelectionViewController::isSystemLocation(row.path, {row.mountPoint, row.type, {}}, row.home),
                  row.system);
    }
}

TEST_F(OnboardingFixture, ASystemLocationIsRefusedBeforeAnythingElse) {
    SyncRootSelectionViewController::setFolderResourceReaderForTesting([](const QString&) {
        SyncRootSelectionViewController::FolderResourceValues values;
        values.isWritable = true;  // as root
        values.volumeIsLocal = true;
        values.volumeSupportsPersistentIDs = true;
        values.isSystemLocation = true;
        return std::variant<SyncRootSelectionViewController::FolderResourceValues, QString>(values);
    });
    SyncRootSelectionViewController page(metadata);
    EXPECT_EQ(page.checkRootDirectory(temp.path()).refusal, Error::systemLocation);
    SyncRootSelectionViewController::setFolderResourceReaderForTesting(nullptr);
    // The real reader: /proc is refused whoever runs this.
    EXPECT_EQ(page.checkRootDirectory(QStringLiteral("/proc")).refusal, Error::systemLocation);
}

// --- Alerts ---

TEST_F(OnboardingFixture, EachRefusalHasItsOwnAlertAndTheChooserFollows) {
    LocalizationController t;
    const std::vector<std::tuple<Error, QString, QString>> rows = {
        {Error::incompatibleVolume, t.syAlertRootFolderVolumeIncompatibleMessage(),
         t.syAlertRootFolderVolumeIncompatibleInformative()},
        {Error::volumeNotLocal, t.syAlertRootFolderVolumeNotLocalMessage(), t.syAlertRootFolderVolumeNotLocalInformative()},
        {Error::anotherUserOwns, t.syAlertRootFolderOwnedByAnotherAccountMessage(),
         t.syAlertRootFolderOwnedByAnotherAccountInformative()},
        {Error::childOfAnotherRootFolder, t.syAlertRootFolderIsChildOfAnotherRootFolderMessage(),
         t.syAlertRootFolderIsChildOfAnotherRootFolderInformative()},
        {Error::notWritable, t.syAlertRootFolderNotWritableMessage(), t.syAlertRootFolderNotWritableInformative()},
        {Error::systemLocation, t.syAlertRootFolderSystemLocationMessage(), t.syAlertRootFolderSystemLocationInformative()},
    };
    QStringList messages;
    for (const auto& [error, message, informative] : rows) {
        SCOPED_TRACE(SyncRootSelectionViewController::errorName(error).toStdString());
        Alert::clearShownAlerts();
        SyncRootSelectionViewController page(metadata);  // no window: application-modal
        page.showRootDirectoryError(error, nullptr);
        ASSERT_EQ(Alert::shownCount(), 1);
        EXPECT_EQ(Alert::shownAlerts()[0].messageText(), message);
        EXPECT_EQ(Alert::shownAlerts()[0].informativeText(), informative);
        EXPECT_FALSE(message.isEmpty());
        messages << message;
    }
    EXPECT_EQ(messages.removeDuplicates(), 0);
    // Without a window the chooser does not open.
    QCoreApplication::processEvents();
    EXPECT_TRUE(panelStarts.isEmpty());
}

struct ConfirmRow {
    const char* name;
    QString folder;  // under the temp folder
    int answer;
    bool storedAlready;
    bool asks;
    bool accepted;
    bool move;
};

class ConfirmTest : public OnboardingFixture, public ::testing::WithParamInterface<ConfirmRow> {};

TEST_P(ConfirmTest, OnlyAFolderNamedLikeTheSyncFolderAsks) {
    const ConfirmRow& row = GetParam();
    answer = row.answer;
    const QString folder = makeFolder(row.folder);
    if (row.storedAlready) {
        makeFolder(row.folder + "/Orvella");
        settings().setSyncRoot(folder);
    }
    SyncRootSelectionViewController page(metadata);
    std::optional<std::pair<bool, bool>> result;
    page.confirmSyncFolderLocation(folder, [&](bool accepted, bool move) { result = {accepted, move}; });
    ASSERT_TRUE(result);
    EXPECT_EQ(result->first, row.accepted);
    EXPECT_EQ(result->second, row.move);
    ASSERT_EQ(Alert::shownCount(), row.asks ? 1 : 0);
    if (row.asks) {
        LocalizationController t;
        const Alert alert = Alert::shownAlerts()[0];
        EXPECT_EQ(alert.messageText(), t.obAlertMoveSyncFolderMessage());
        EXPECT_TRUE(alert.informativeText().contains(folder + "/Orvella")) << alert.informativeText().toStdString();
        EXPECT_EQ(alert.buttonTitles(),
                  QStringList({t.obAlertButtonMoveSyncFolderMove(), t.obAlertButtonMoveSyncFolderCancel()}));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConfirmTest,
    ::testing::Values(ConfirmRow{"otherName", "Documents", Alert::FirstButtonReturn, false, false, true, false},
                      ConfirmRow{"namedOrvellaMove", "x/Orvella", Alert::FirstButtonReturn, false, true, true, true},
                      ConfirmRow{"namedOrvellaCancel", "x/Orvella", Alert::SecondButtonReturn, false, true, false, false},
                      ConfirmRow{"alreadyTheSyncRoot", "x/Orvella", Alert::FirstButtonReturn, true, false, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OnboardingFixture, StoringAMovedChoiceMovesTheContentIntoTheNewSyncFolder) {
    const QString folder = makeFolder("x/Orvella");
    makeFolder("x/Orvella/Photos");
    writeFile(folder + "/notes.txt", "keep me");
    settings().setSyncRoot(QStringLiteral("/previous"));
    SyncRootSelectionViewController page(metadata);

    int completions = 0;
    page.setSyncRoot(false, true, [&](bool ok) { completions += ok; }, folder);
    EXPECT_EQ(settings().syncRoot(), QStringLiteral("/previous"));
    EXPECT_TRUE(QFileInfo::exists(folder + "/notes.txt"));

    page.setSyncRoot(true, true, [&](bool ok) { completions += ok; }, folder);
    EXPECT_EQ(completions, 2);
    EXPECT_EQ(settings().syncRoot(), folder);
    EXPECT_FALSE(QFileInfo::exists(folder + "/notes.txt"));
    QFile moved(folder + "/Orvella/notes.txt");
    ASSERT_TRUE(moved.open(QIODevice::ReadOnly));
    EXPECT_EQ(moved.readAll(), QByteArray("keep me"));
    EXPECT_TRUE(QFileInfo(folder + "/Orvella/Photos").isDir());
    EXPECT_EQ(page.syncRootMenu()->actions().value(0)->text(), folder);
}

TEST_F(OnboardingFixture, AMoveThatLeavesItemsBehindIsToldAndIsNoSuccess) {
    const QString folder = makeFolder("y/Orvella");
    makeFolder("y/Orvella/Orvella");
    writeFile(folder + "/clash.txt", "mine");
    writeFile(folder + "/Orvella/clash.txt", "theirs");
    writeFile(folder + "/moves.txt", "m");
    SyncRootSelectionViewController page(metadata);
    Alert::clearShownAlerts();
    std::optional<bool> succeeded;
    page.setSyncRoot(true, true, [&](bool ok) { succeeded = ok; }, folder);
    EXPECT_EQ(succeeded, std::optional<bool>(false));
    EXPECT_TRUE(QFileInfo::exists(folder + "/Orvella/moves.txt"));
    ASSERT_EQ(Alert::shownCount(), 1);
    EXPECT_TRUE(Alert::shownAlerts()[0].informativeText().startsWith(QStringLiteral("clash.txt: ")))
        << Alert::shownAlerts()[0].informativeText().toStdString();
}

// --- The chooser on a page in a window ---

TEST_F(OnboardingFixture, ChooserStoresAPassingFolderAndCancelChangesNothing) {
    settings().setSyncRoot(QStringLiteral("/previous"));
    SyncRootSelectionViewController page(metadata);
    page.show();
    panelAnswers = {std::nullopt};
    page.showOpenPanel(nullptr);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return panelStarts.size() == 1; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(settings().syncRoot(), QStringLiteral("/previous"));
    EXPECT_EQ(panelStarts[0], SettingsController::realHomeDirectory());

    const QString chosen = makeFolder("Documents");
    panelAnswers = {chosen};
    page.showOpenPanel(nullptr);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return settings().syncRoot() == chosen; }));
    EXPECT_EQ(Alert::shownCount(), 0);
    EXPECT_EQ(page.syncRootButton()->text(), QStringLiteral("Documents"));
}

TEST_F(OnboardingFixture, AfterARefusalTheChooserComesBackUntilAFolderPasses) {
    settings().setSyncRoot(QStringLiteral("/previous"));
    mark(makeFolder("other/Orvella"), QStringLiteral("acc-2"));
    const QString good = makeFolder("good");
    SyncRootSelectionViewController page(metadata);
    page.show();
    ChannelLines setup(QStringLiteral("Setup"));
    panelAnswers = {temp.filePath("other"), good};
    page.showOpenPanel(nullptr);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return settings().syncRoot() == good; }));
    EXPECT_EQ(panelStarts.size(), 2);
    ASSERT_EQ(Alert::shownCount(), 1);
    EXPECT_EQ(Alert::shownAlerts()[0].messageText(), LocalizationController().syAlertRootFolderOwnedByAnotherAccountMessage());
    EXPECT_TRUE(setup.lines.contains(QStringLiteral("Cannot perform root directory checks.")));
}

}  // namespace
