#include <gtest/gtest.h>

#include <QHash>

#include <ostream>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>
#include <QUrl>

#include <map>
#include <utility>
#include <vector>

#include "app/common/LocalizationController.h"
#include "platform/foundation/Bundle.h"

// The strings table compiled into the test program (see TestMain).
QByteArray localizableStrings();

// Readable failure messages.
static void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace {

using Member = LocalizationController::Member;

QHash<QString, QString> shippedStrings() { return Bundle::parseStrings(localizableStrings()); }

// Every test leaves the main bundle with the shipped table, whatever it swapped in.
class LocalizationControllerTest : public ::testing::Test {
protected:
    void TearDown() override { Bundle::main().setStringsTable({}, shippedStrings()); }
};

const LocalizationController::Getter* findGetter(const QString& name) {
    for (const auto& g : LocalizationController::getters())
        if (g.name == name) return &g;
    return nullptr;
}

// Family (first key component) and getter-name prefix.
struct Family {
    const char* family;
    const char* prefix;
};

const std::vector<Family> kFamilies = {
    {"App", "app"},
    {"MenuBar", "mb"},
    {"UserNotification", "un"},
    {"Onboarding", "ob"},
    {"BackupRestore", "br"},
    {"Preferences", "pr"},
    {"General", "ge"},
    {"Share", "sh"},
    {"ShareItem", "shItem"},
    {"SharePassword", "shPassword"},
    {"Sync", "sy"},
    {"SelectiveSync", "ss"},
    {"AutoUpload", "au"},
    {"SoftwareUpdate", "su"},
    {"Crypto", "cr"},
    {"ConnectionDoctor", "cd"},
    {"Reachability", "ra"},
};

// Getters whose names do not follow from their keys.
const QSet<QString> kIrregular = {
    QStringLiteral("unSyncEventSystemFolderMoveActionRevertTitle"),
    QStringLiteral("unSyncEventSystemFolderMoveActionRevertInformative"),
    QStringLiteral("unSyncEventRegularItemMoveActionRevertTitle"),
    QStringLiteral("unSyncEventRegularItemMoveActionRevertInformative"),
    QStringLiteral("brLabelBackupItems"),
    QStringLiteral("brLabelBackupPreviewProgress"),
    QStringLiteral("brLabelBackupDate"),
    QStringLiteral("brButtonRestore"),
    QStringLiteral("syAlertRestoreIncompleteMessage"),
    QStringLiteral("syAlertRestoreIncompleteInformative"),
    QStringLiteral("syAlertRestoreStillRunningMessage"),
    QStringLiteral("syAlertRestoreStillRunningFromQuitInformative"),
    QStringLiteral("syAlertRestoreStillRunningFromSignOutInformative"),
    QStringLiteral("auMessageTitleInsufficientBackupStorage"),
    QStringLiteral("auMessageTextInsufficientBackupStorage"),
    QStringLiteral("shItemAlertUnableToShareNonSyncItemInformative"),
    QStringLiteral("syAlertNotEnoughDiskSpaceToSyncButtonPauseSync"),
    QStringLiteral("auIncludesVideoAnd"),
    QStringLiteral("auIncludesVideoOr"),
    QStringLiteral("auPromptHeadlineText"),
    QStringLiteral("auPromptNeverForThisDeviceButton"),
    QStringLiteral("auPromptStartImportButton"),
    QStringLiteral("auMessageTitleImportComplete"),
    QStringLiteral("auMessageTitleNotEnoughStorage"),
    QStringLiteral("auMessageTitleLockedAppleDevice"),
    QStringLiteral("auMessageTitleImportIncomplete"),
    QStringLiteral("auMessageTitleFolderNotInSync"),
    QStringLiteral("auMessageTitleRootFolderFailure"),
    QStringLiteral("auMessageTextImportComplete"),
    QStringLiteral("auMessageTextNotEnoughStorage"),
    QStringLiteral("auMessageTextLockedAppleDevice"),
    QStringLiteral("auMessageTextImportIncomplete"),
    QStringLiteral("auMessageTextFolderNotInSync"),
    QStringLiteral("auMessageTextRootFolderFailure"),
    QStringLiteral("auNotificationTitleNoMediaFound"),
    QStringLiteral("auNotificationTitleNoNewMediaFound"),
    QStringLiteral("auNotificationTitleImportComplete"),
    QStringLiteral("auNotificationTitleNotEnoughStorage"),
    QStringLiteral("auNotificationTitleLockedAppleDevice"),
    QStringLiteral("auNotificationTextNoMediaFound"),
    QStringLiteral("auNotificationTextNoNewMediaFound"),
    QStringLiteral("auNotificationTextImportComplete"),
    QStringLiteral("auNotificationTextNotEnoughStorage"),
    QStringLiteral("auNotificationTextLockedAppleDevice"),
    QStringLiteral("auImportProgressFormatText"),
    QStringLiteral("suCheckBoxAutomaticallyCheckForUpdates"),
    QStringLiteral("suTestUpdateChannelEnableLabel"),
    QStringLiteral("cdDebugMenuShowDatabaseButton"),
    QStringLiteral("cdDebugMenuCrashButton"),
};

QString derivedName(const QString& key) {
    const QStringList parts = key.split(QLatin1Char('.'));
    for (const Family& f : kFamilies)
        if (parts.first() == QLatin1String(f.family))
            return QLatin1String(f.prefix) + parts.mid(1).join(QString());
    return {};
}

// The rows of the two lists as written: what the header, the getters and both tables are made from.
struct Row {
    QString name;
    Member member;
    QString key;     // OV_TEXT rows only
    QString sameAs;  // OV_SAME_TEXT rows only: the getter whose text this one repeats
};

#define OV_TEXT(getter, key) Row{QStringLiteral(#getter), &LocalizationController::getter, QStringLiteral(key), {}},
#define OV_SAME_TEXT(getter, other) \
    Row{QStringLiteral(#getter), &LocalizationController::getter, {}, QStringLiteral(#other)},
#define OV_NO_TEXT(getter) Row{QStringLiteral(#getter), &LocalizationController::getter, {}, {}},
const std::vector<Row> kTextRows = {
#include "app/common/LocalizationTexts.def"
};
const std::vector<Row> kErrorRows = {
#include "app/common/LocalizationErrorTexts.def"
};
#undef OV_TEXT
#undef OV_SAME_TEXT
#undef OV_NO_TEXT

const Row* findRow(const QString& name) {
    for (const auto* rows : {&kTextRows, &kErrorRows})
        for (const Row& row : *rows)
            if (row.name == name) return &row;
    return nullptr;
}

// The key a row's getter reads: its own, that of the getter it repeats, or none.
QString keyOf(const Row& row) {
    if (row.sameAs.isEmpty()) return row.key;
    const Row* same = findRow(row.sameAs);
    return same ? same->key : QString();
}

// A name or key used twice would make one of two getters unreachable by name or let two texts drift
// apart that must read the same (a second name for a text is an OV_SAME_TEXT row).
TEST_F(LocalizationControllerTest, NamesAndKeysAreUniqueAndKeysBelongToAFamily) {
    QSet<QString> names, keys;
    for (const auto* rows : {&kTextRows, &kErrorRows})
        for (const Row& row : *rows) {
            SCOPED_TRACE(row.name.toStdString());
            EXPECT_FALSE(names.contains(row.name));
            names.insert(row.name);
            if (row.key.isEmpty()) continue;
            EXPECT_FALSE(keys.contains(row.key)) << row.key.toStdString();
            keys.insert(row.key);
        }

    QSet<QString> families;
    for (const Row& row : kTextRows) {
        if (row.key.isEmpty()) continue;
        const QStringList parts = row.key.split(QLatin1Char('.'));
        EXPECT_TRUE(parts.size() == 3 || parts.size() == 4) << row.key.toStdString();
        families.insert(parts.first());
    }
    QSet<QString> known;
    for (const Family& f : kFamilies) known.insert(QLatin1String(f.family));
    EXPECT_EQ(families, known);
}

TEST_F(LocalizationControllerTest, IrregularNamesReadTheirKeys) {
    for (const QString& name : kIrregular) {
        SCOPED_TRACE(name.toStdString());
        const auto* g = findGetter(name);
        ASSERT_NE(g, nullptr);
        EXPECT_FALSE(g->key.isEmpty());
        // Once the name follows from the key again it no longer belongs here.
        EXPECT_NE(derivedName(g->key), g->name);
    }
}

TEST_F(LocalizationControllerTest, RegularNamesFollowFromTheirKeys) {
    for (const auto& g : LocalizationController::getters()) {
        SCOPED_TRACE(g.name.toStdString());
        if (g.name == QLatin1String("auOKButton") || g.name == QLatin1String("obBvNoLongerAuthorizedURL"))
            continue;
        if (kIrregular.contains(g.name)) continue;
        EXPECT_EQ(g.name, derivedName(g.key)) << g.key.toStdString();
    }
}

TEST_F(LocalizationControllerTest, SpecialGetters) {
    const LocalizationController lc;
    const auto* alias = findGetter(QStringLiteral("auOKButton"));
    ASSERT_NE(alias, nullptr);
    EXPECT_EQ(alias->key, QStringLiteral("AutoUpload.Button.OK"));
    EXPECT_EQ(lc.auOKButton(), lc.auButtonOK());
    EXPECT_FALSE(lc.auOKButton().isEmpty());

    const auto* noKey = findGetter(QStringLiteral("obBvNoLongerAuthorizedURL"));
    ASSERT_NE(noKey, nullptr);
    EXPECT_TRUE(noKey->key.isEmpty());
    EXPECT_EQ(lc.obBvNoLongerAuthorizedURL(), QString());
    // Not even a table that answers every lookup gives it a text.
    QHash<QString, QString> everything = shippedStrings();
    everything.insert(QString(), QStringLiteral("filled"));
    everything.insert(QStringLiteral("obBvNoLongerAuthorizedURL"), QStringLiteral("filled"));
    Bundle::main().setStringsTable({}, everything);
    EXPECT_EQ(lc.obBvNoLongerAuthorizedURL(), QString());
    EXPECT_EQ(lc.text(QStringLiteral("obBvNoLongerAuthorizedURL")), QString());
}

TEST_F(LocalizationControllerTest, MissingKeyReadsAsTheKeyAndTablesAreNotCached) {
    const LocalizationController lc;
    EXPECT_EQ(lc.mbMenuItemQuit(), QStringLiteral("Quit Orvella"));

    QHash<QString, QString> table = shippedStrings();
    table.remove(QStringLiteral("MenuBar.MenuItem.Quit"));
    table.insert(QStringLiteral("MenuBar.MenuItem.Help"), QStringLiteral("Assistance"));
    Bundle::main().setStringsTable({}, table);
    EXPECT_EQ(lc.mbMenuItemQuit(), QStringLiteral("MenuBar.MenuItem.Quit"));
    EXPECT_EQ(lc.mbMenuItemHelp(), QStringLiteral("Assistance"));
    EXPECT_EQ(lc.localizedString(QStringLiteral("No.Such.Key")), QStringLiteral("No.Such.Key"));
}

// The tables by name are the lists row for row. With an empty strings table every getter answers
// its own key, so a member that reads the wrong key, or a table entry that names the wrong member,
// shows up as a mismatch; with the shipped table every getter answers that table's text.
TEST_F(LocalizationControllerTest, EveryMemberIsReachableByItsNameAndReadsItsKey) {
    const LocalizationController lc;
    const QHash<QString, QString> shipped = shippedStrings();
    const std::vector<std::pair<const std::vector<Row>*, const std::vector<LocalizationController::Getter>*>> lists = {
        {&kTextRows, &LocalizationController::getters()}, {&kErrorRows, &LocalizationController::errorGetters()}};
    for (const auto& [rows, table] : lists) {
        ASSERT_EQ(rows->size(), table->size());
        for (std::size_t i = 0; i < rows->size(); ++i) {
            const Row& row = (*rows)[i];
            const auto& g = (*table)[i];
            SCOPED_TRACE(row.name.toStdString());
            EXPECT_EQ(g.name, row.name);
            EXPECT_EQ(g.get, row.member);
            EXPECT_EQ(g.key, keyOf(row));
            if (!row.sameAs.isEmpty()) {
                ASSERT_NE(findRow(row.sameAs), nullptr);
                EXPECT_FALSE(keyOf(row).isEmpty());
            }

            Bundle::main().setStringsTable({}, {});
            EXPECT_EQ((lc.*row.member)(), keyOf(row));
            EXPECT_EQ(lc.text(row.name), (lc.*row.member)());

            Bundle::main().setStringsTable({}, shipped);
            EXPECT_EQ((lc.*row.member)(), keyOf(row).isEmpty() ? QString() : shipped.value(keyOf(row)));
            EXPECT_EQ(lc.text(row.name), (lc.*row.member)());
        }
    }
}

TEST_F(LocalizationControllerTest, UnknownNamesHaveNoText) {
    const LocalizationController lc;
    for (const char* name : {"", "mbmenuitemquit", "MbMenuItemQuit", "mbMenuItemQuit ", "localizedString",
                             "text", "getters", "MenuBar.MenuItem.Quit", "auOkButton"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(lc.text(QString::fromUtf8(name)), std::nullopt);
    }
}

TEST_F(LocalizationControllerTest, ShippedTableHasTextForEveryKeyAndNothingElse) {
    const QHash<QString, QString> table = shippedStrings();
    QSet<QString> keys;
    std::vector<LocalizationController::Getter> all = LocalizationController::getters();
    all.insert(all.end(), LocalizationController::errorGetters().begin(), LocalizationController::errorGetters().end());
    for (const auto& g : all) {
        if (g.key.isEmpty()) continue;
        keys.insert(g.key);
        SCOPED_TRACE(g.key.toStdString());
        ASSERT_TRUE(table.contains(g.key));
        EXPECT_FALSE(table.value(g.key).trimmed().isEmpty());
    }
    // A misspelt key in the table would leave its getter showing the bare key.
    for (auto it = table.cbegin(); it != table.cend(); ++it) EXPECT_TRUE(keys.contains(it.key())) << it.key().toStdString();
}

TEST_F(LocalizationControllerTest, AddressesAreHttpsOnTheProductHost) {
    const LocalizationController lc;
    int addresses = 0;
    for (const auto& g : LocalizationController::getters()) {
        if (!g.key.endsWith(QLatin1String("URL"))) continue;
        SCOPED_TRACE(g.name.toStdString());
        ++addresses;
        const QUrl url((lc.*g.get)(), QUrl::StrictMode);
        EXPECT_TRUE(url.isValid());
        EXPECT_EQ(url.scheme(), QStringLiteral("https"));
        EXPECT_TRUE(url.host().endsWith(QLatin1String(".example"))) << url.host().toStdString();
    }
    // Guards the filter above: keys ending in "URL" are how addresses are told apart.
    EXPECT_GT(addresses, 0);
}

// Callers fill these texts with QString::arg in the given order; every other text is shown as is.
struct FormatCase {
    const char* getter;
    int arguments;
};

const std::vector<FormatCase> kFormats = {
    {"mbMenuItemLatestBackup", 1},
    {"mbMenuItemNextBackup", 1},
    {"mbMenuItemDownloadQueueCount", 2},
    {"mbMenuItemUploadQueueCount", 2},
    {"mbMenuItemOneItemNotSynchronized", 1},
    {"mbMenuItemMultipleItemsNotSynchronized", 1},
    {"unSyncEventTeamfolderAccessGrantedInformative", 1},
    {"unSyncEventTeamfolderAccessRemovedInformative", 1},
    {"obAlertMoveSyncFolderInformative", 1},
    {"appAlertCannotOpenMessage", 1},
    {"ssLabelLatestError", 1},
    {"brLabelBackupDateFailed", 1},
    {"brLabelBackupDateSkipped", 1},
    {"brLabelBackupPreviewProgress", 1},
    {"brLabelBackupProgress", 2},
    {"brLabelRestoreProgress", 2},
    {"geLabelUserName", 1},
    {"geLabelVersion", 1},
    {"geLabelStorageUsed", 2},
    {"shAlertDeleteShareMessage", 1},
    {"shItemLabelShareViaEmail", 1},
    {"shItemServiceSubjectDirectory", 1},
    {"shItemServiceMessageBodyDirectory", 1},
    {"shItemServiceSubjectFile", 1},
    {"shItemServiceMessageBodyFile", 1},
    {"shItemLabelAccessSingle", 1},
    {"shItemLabelAccessMultiple", 1},
    {"auImportProgressFormatText", 2},
    {"cdSyncNotificationMessageLocalItemRenamed", 2},
    {"syErrorFileTooLargeForRemoteStorage", 1},
};

TEST_F(LocalizationControllerTest, PlaceholdersMatchWhatCallersFillIn) {
    const LocalizationController lc;
    std::map<QString, int> expected;
    for (const FormatCase& f : kFormats) expected[QString::fromUtf8(f.getter)] = f.arguments;
    for (const auto& g : LocalizationController::getters()) {
        SCOPED_TRACE(g.name.toStdString());
        const QString text = (lc.*g.get)();
        const auto it = expected.find(g.name);
        const int arguments = it == expected.end() ? 0 : it->second;
        if (it != expected.end()) expected.erase(it);
        EXPECT_EQ(text.count(QLatin1Char('%')), arguments) << text.toStdString();
        QString filled = text;
        for (int i = 1; i <= arguments; ++i) {
            EXPECT_TRUE(text.contains(QStringLiteral("%%1").arg(i))) << text.toStdString();
            filled = filled.arg(QStringLiteral("<arg%1>").arg(i));
        }
        for (int i = 1; i <= arguments; ++i) EXPECT_TRUE(filled.contains(QStringLiteral("<arg%1>").arg(i)));
    }
    for (const auto& [name, arguments] : expected) ADD_FAILURE() << "no getter named " << name.toStdString();
}

// Texts that other code feeds into rules of its own.
TEST_F(LocalizationControllerTest, TextsUsedAsDataFitTheirRules) {
    const LocalizationController lc;
    // The default backup name is "<host> <suffix>" and must pass the backup-name check.
    const QString suffix = lc.brTextFieldBackupNameSuffix();
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^[\\p{L}\\p{N}]+( [\\p{L}\\p{N}]+)*$")).match(suffix).hasMatch())
        << suffix.toStdString();
    // The conflict suffix becomes part of file names.
    const QString conflict = lc.ssFileSuffixConflict();
    EXPECT_FALSE(conflict.trimmed().isEmpty());
    EXPECT_FALSE(conflict.contains(QLatin1Char('/')));
    EXPECT_EQ(conflict, conflict.trimmed());
}

// The error texts: "Error.<Domain>.<Case>.<Field>", read by "er" + short domain + case + field.
struct ErrorDomain {
    const char* domain;
    const char* shortForm;
};

const std::vector<ErrorDomain> kErrorDomains = {
    {"API", "API"}, {"Business", "Bus"}, {"Upload", "Upl"}, {"Store", "Sto"}, {"Sync", "Syn"},
};

QString derivedErrorName(const QString& key) {
    const QStringList parts = key.split(QLatin1Char('.'));
    if (parts.size() != 4 || parts[0] != QLatin1String("Error")) return {};
    for (const ErrorDomain& d : kErrorDomains)
        if (parts[1] == QLatin1String(d.domain)) return QLatin1String("er") + QLatin1String(d.shortForm) + parts[2] + parts[3];
    return {};
}

TEST_F(LocalizationControllerTest, ErrorKeysFollowTheSchemeAndOnlyOneGetterHasNone) {
    const QSet<QString> fields = {QStringLiteral("Description"), QStringLiteral("FailureReason"),
                                  QStringLiteral("RecoverySuggestion")};
    QSet<QString> keys, names, withoutKey;
    for (const auto& g : LocalizationController::errorGetters()) {
        SCOPED_TRACE(g.name.toStdString());
        names.insert(g.name);
        if (g.key.isEmpty()) {
            withoutKey.insert(g.name);
            continue;
        }
        keys.insert(g.key);
        const QStringList parts = g.key.split(QLatin1Char('.'));
        ASSERT_EQ(parts.size(), 4) << g.key.toStdString();
        EXPECT_EQ(parts[0], QStringLiteral("Error"));
        EXPECT_FALSE(derivedErrorName(g.key).isEmpty()) << "unknown domain in " << g.key.toStdString();
        EXPECT_TRUE(fields.contains(parts[3])) << g.key.toStdString();
    }
    EXPECT_EQ(withoutKey, QSet<QString>{QStringLiteral("erAPIBvNotAuthorizedDescription")});
    // The two tables stay apart: no name or key of one shows up in the other.
    for (const auto& g : LocalizationController::getters()) {
        EXPECT_FALSE(names.contains(g.name)) << g.name.toStdString();
        EXPECT_FALSE(keys.contains(g.key)) << g.key.toStdString();
    }
}

TEST_F(LocalizationControllerTest, ErrorGetterNamesFollowFromTheirKeys) {
    const auto& errors = LocalizationController::errorGetters();
    for (const auto& g : errors) {
        SCOPED_TRACE(g.name.toStdString());
        if (g.key.isEmpty()) {
            EXPECT_EQ(g.name, QStringLiteral("erAPIBvNotAuthorizedDescription"));
            continue;
        }
        EXPECT_EQ(g.name, derivedErrorName(g.key)) << g.key.toStdString();
    }
}

// With an empty table each getter answers its key, so a member that reads another key shows.
TEST_F(LocalizationControllerTest, ErrorGettersReadTheirKeysAndAreReachableByName) {
    const LocalizationController lc;
    Bundle::main().setStringsTable({}, {});
    for (const auto& g : LocalizationController::errorGetters()) {
        SCOPED_TRACE(g.name.toStdString());
        EXPECT_EQ((lc.*g.get)(), g.key);
        EXPECT_EQ(lc.text(g.name), g.key);
    }
    EXPECT_EQ(lc.erBusNoConnectionRecoverySuggestion(), QStringLiteral("Error.Business.NoConnection.RecoverySuggestion"));
    EXPECT_EQ(lc.erAPIGatewayTimeoutDescription(), QStringLiteral("Error.API.GatewayTimeout.Description"));
    EXPECT_EQ(lc.erSynTooManyRepeatedUploadsDescription(), QStringLiteral("Error.Sync.TooManyRepeatedUploads.Description"));

    Bundle::main().setStringsTable({}, shippedStrings());
    for (const auto& g : LocalizationController::errorGetters()) {
        SCOPED_TRACE(g.name.toStdString());
        const QString text = (lc.*g.get)();
        EXPECT_EQ(lc.text(g.name), text);
        // Shown as they are: nothing for a caller to fill in, and never the bare key.
        EXPECT_FALSE(text.contains(QLatin1Char('%'))) << text.toStdString();
        if (!g.key.isEmpty()) {
            EXPECT_NE(text, g.key);
        }
    }
}

TEST_F(LocalizationControllerTest, NotAuthorizedDescriptionIsAlwaysEmpty) {
    const LocalizationController lc;
    QHash<QString, QString> everything = shippedStrings();
    everything.insert(QString(), QStringLiteral("filled"));
    everything.insert(QStringLiteral("erAPIBvNotAuthorizedDescription"), QStringLiteral("filled"));
    everything.insert(QStringLiteral("Error.API.NotAuthorized.Description"), QStringLiteral("filled"));
    Bundle::main().setStringsTable({}, everything);
    EXPECT_EQ(lc.erAPIBvNotAuthorizedDescription(), QString());
    EXPECT_EQ(lc.text(QStringLiteral("erAPIBvNotAuthorizedDescription")), QString());
}

}  // namespace
