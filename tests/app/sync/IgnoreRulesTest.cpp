#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

#include "SyncControllerTestSupport.h"
#include "app/sync/IgnoreRules.h"

using namespace synctest;

namespace {

using IgnoreRules::NameRule;

struct NameCase {
    const char* label;
    QString name;
    std::optional<NameRule> rule;
};

void PrintTo(const NameCase& c, std::ostream* os) { *os << c.label; }

class NameRules : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameRules, FirstMatchingRuleDecides) {
    const NameCase& c = GetParam();
    EXPECT_EQ(IgnoreRules::nameRule(c.name), c.rule) << c.name.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    IgnoreRules, NameRules,
    ::testing::Values(
        NameCase{"empty", QString(), NameRule::emptyName},
        NameCase{"download", QStringLiteral(".download"), NameRule::reservedName},
        NameCase{"dsStore", QStringLiteral(".DS_Store"), NameRule::reservedName},
        NameCase{"temporaryItems", QStringLiteral(".TemporaryItems"), NameRule::reservedName},
        NameCase{"iconWithCarriageReturn", QStringLiteral("Icon\r"), NameRule::reservedName},
        NameCase{"iconPlain", QStringLiteral("Icon"), std::nullopt},
        NameCase{"marker", QStringLiteral(".ovmd.db"), NameRule::reservedName},
        NameCase{"markerInLongerName", QStringLiteral("x.ovmd.db"), std::nullopt},
        NameCase{"officeLock", QStringLiteral("~$report.docx"), NameRule::lockFilePrefix},
        NameCase{"libreOfficeLock", QStringLiteral(".~lock.a.odt#"), NameRule::lockFilePrefix},
        NameCase{"tildeTmp", QStringLiteral("~lock.tmp"), NameRule::temporaryLockFile},
        NameCase{"tildeText", QStringLiteral("~notes.txt"), std::nullopt},
        NameCase{"tildeTmpUpperCase", QStringLiteral("~lock.TMP"), std::nullopt},
        NameCase{"desktopIni", QStringLiteral("desktop.ini"), NameRule::windowsMetadata},
        NameCase{"thumbsDb", QStringLiteral("thumbs.db"), NameRule::windowsMetadata},
        NameCase{"desktopIniCapital", QStringLiteral("Desktop.ini"), std::nullopt},
        NameCase{"thumbsDbCapital", QStringLiteral("Thumbs.db"), std::nullopt},
        NameCase{"reportTmp", QStringLiteral("report.tmp"), NameRule::temporaryExtension},
        NameCase{"partialDownload", QStringLiteral("movie.mp4.crdownload"), NameRule::temporaryExtension},
        NameCase{"tmpInside", QStringLiteral("a.tmp.txt"), std::nullopt},
        NameCase{"onlyExtension", QStringLiteral(".tmp"), std::nullopt},
        NameCase{"asterisk", QStringLiteral("a*b"), NameRule::forbiddenCharacter},
        NameCase{"verticalLine", QStringLiteral("a|b"), NameRule::forbiddenCharacter},
        NameCase{"question", QStringLiteral("why?"), NameRule::forbiddenCharacter},
        NameCase{"backslash", QStringLiteral("a\\b"), NameRule::forbiddenCharacter},
        NameCase{"angleBrackets", QStringLiteral("<b>"), NameRule::forbiddenCharacter},
        NameCase{"leftSingleQuote", QStringLiteral("it\u2018s"), NameRule::forbiddenCharacter},
        NameCase{"rightSingleQuote", QStringLiteral("it\u2019s"), std::nullopt},
        NameCase{"doubleQuote", QStringLiteral("say \"hi\""), std::nullopt},
        NameCase{"colon", QStringLiteral("a:b"), std::nullopt},
        NameCase{"nonAsciiWithSpaces", QStringLiteral("Grüße aus Zürich.txt"), std::nullopt},
        NameCase{"lockBeforeTmp", QStringLiteral("~$a.tmp"), NameRule::lockFilePrefix}),
    [](const auto& info) { return std::string(info.param.label); });

struct ValuesCase {
    const char* label;
    IgnoreRules::ResourceValues values;
    bool ignored;
};

void PrintTo(const ValuesCase& c, std::ostream* os) { *os << c.label; }

class ResourceValueRules : public ::testing::TestWithParam<ValuesCase> {};

TEST_P(ResourceValueRules, IgnoreWhatCannotBeSyncedSafely) {
    EXPECT_EQ(IgnoreRules::ignoresByResourceValues(GetParam().values), GetParam().ignored);
}

INSTANTIATE_TEST_SUITE_P(
    IgnoreRules, ResourceValueRules,
    ::testing::Values(ValuesCase{"plain", {false, true, true, false, false}, false},
                      ValuesCase{"symbolicLink", {true, true, true, false, false}, true},
                      ValuesCase{"alias", {false, true, true, true, false}, true},
                      ValuesCase{"hidden", {false, true, true, false, true}, true},
                      ValuesCase{"readOnly", {false, false, true, false, false}, true},
                      ValuesCase{"writeOnly", {false, true, false, false, false}, true}),
    [](const auto& info) { return std::string(info.param.label); });

class IgnoreOnDisk : public ::testing::Test {
protected:
    QString make(const QString& name, const QByteArray& content = "x") {
        const QString path = dir.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
        return path;
    }
    QTemporaryDir dir{QStringLiteral("/dev/shm/ignore-XXXXXX")};
};

TEST_F(IgnoreOnDisk, ReadsWhatTheItemIs) {
    const QString plain = make(QStringLiteral("plain.txt"));
    const QString hidden = make(QStringLiteral(".profile"));
    const QString link = dir.filePath(QStringLiteral("link"));
    ASSERT_TRUE(QFile::link(plain, link));
    QDir(dir.path()).mkdir(QStringLiteral("Folder"));

    const auto plainValues = IgnoreRules::readResourceValues(plain);
    ASSERT_TRUE(plainValues);
    EXPECT_EQ(plainValues->isSymbolicLink, false);
    EXPECT_EQ(plainValues->isHidden, false);
    EXPECT_EQ(plainValues->isReadable, true);
    EXPECT_EQ(plainValues->isWritable, true);
    EXPECT_EQ(IgnoreRules::readResourceValues(hidden)->isHidden, true);
    EXPECT_EQ(IgnoreRules::readResourceValues(link)->isSymbolicLink, true);
    EXPECT_FALSE(IgnoreRules::readResourceValues(dir.filePath(QStringLiteral("missing"))).has_value());

    struct { QString path; bool ignored; } table[] = {
        {plain, false},
        {hidden, true},
        {link, true},
        {dir.filePath(QStringLiteral("Folder")), false},
        {dir.filePath(QStringLiteral("Folder/")), false},
        {dir.filePath(QStringLiteral("missing")), false},
        {make(QStringLiteral("draft.tmp")), true},
        {make(QStringLiteral("Thumbs.db")), false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.path.toStdString());
        EXPECT_EQ(IgnoreRules::shouldIgnoreItem(row.path), row.ignored);
        // Told that it is a plain file or folder, as the engine's scan finds, it answers the same
        // without looking at what the item is.
        if (row.path != link) {
            EXPECT_EQ(IgnoreRules::shouldIgnoreItem(row.path, true), row.ignored);
        }
    }
}

TEST_F(IgnoreOnDisk, ALinkToAMissingTargetIsIgnored) {
    const QString link = dir.filePath(QStringLiteral("dangling"));
    ASSERT_TRUE(QFile::link(dir.filePath(QStringLiteral("nowhere")), link));
    EXPECT_TRUE(IgnoreRules::shouldIgnoreItem(link));
}

TEST_F(IgnoreOnDisk, ItemsWithoutAccessAreIgnored) {
    if (::geteuid() == 0) GTEST_SKIP() << "the superuser may read and write everything";
    const QString readOnly = make(QStringLiteral("readonly.txt"));
    ASSERT_EQ(::chmod(QFile::encodeName(readOnly).constData(), 0444), 0);
    EXPECT_TRUE(IgnoreRules::shouldIgnoreItem(readOnly));
    QDir(dir.path()).mkdir(QStringLiteral("Locked"));
    const QString locked = dir.filePath(QStringLiteral("Locked"));
    ASSERT_EQ(::chmod(QFile::encodeName(locked).constData(), 0555), 0);
    EXPECT_TRUE(IgnoreRules::shouldIgnoreItem(locked));
}

struct RegularCase {
    const char* label;
    QString name;
    QString parent;
    std::optional<QString> user;
    bool regular;
};

void PrintTo(const RegularCase& c, std::ostream* os) { *os << c.label; }

class RegularItems : public ::testing::TestWithParam<RegularCase> {};

TEST_P(RegularItems, SystemFoldersAreNotRegular) {
    const RegularCase& c = GetParam();
    EXPECT_EQ(IgnoreRules::isRegularItem(c.name, c.parent, c.user), c.regular);
}

const QString anna = QStringLiteral("anna");

INSTANTIATE_TEST_SUITE_P(
    IgnoreRules, RegularItems,
    ::testing::Values(RegularCase{"topRoot", QStringLiteral("root"), {}, anna, false},
                      RegularCase{"topUsers", QStringLiteral("users"), {}, anna, false},
                      RegularCase{"topPublic", QStringLiteral("public"), {}, anna, false},
                      RegularCase{"topOther", QStringLiteral("Photos"), {}, anna, true},
                      RegularCase{"topPublicWithoutUser", QStringLiteral("public"), {}, std::nullopt, false},
                      RegularCase{"publicBelowFolder", QStringLiteral("public"), QStringLiteral("Docs"), anna, true},
                      RegularCase{"ownFolderBelowUsers", anna, QStringLiteral("users"), anna, false},
                      RegularCase{"ownNameBelowOtherFolder", anna, QStringLiteral("Docs"), anna, true},
                      RegularCase{"otherUserBelowUsers", QStringLiteral("ben"), QStringLiteral("users"), anna, true},
                      RegularCase{"caseDiffers", QStringLiteral("Anna"), QStringLiteral("users"), anna, true},
                      RegularCase{"nobodySignedIn", anna, QStringLiteral("users"), std::nullopt, true}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(SystemFolders, RootUsersAndPathlessFolders) {
    struct { QString name; QString path; bool system; } table[] = {
        {QStringLiteral("root"), QStringLiteral("/a/b"), true},
        {QStringLiteral("users"), QStringLiteral("/deep/inside/users"), true},
        {QStringLiteral("Docs"), QString(), true},
        {QStringLiteral("Docs"), QStringLiteral("/"), false},
        {QStringLiteral("Docs"), QStringLiteral("/users/anna/Docs"), false},
        {QStringLiteral("public"), QStringLiteral("/public"), false},
        {QStringLiteral("Users"), QStringLiteral("/Users"), false},
    };
    for (const auto& row : table) {
        SCOPED_TRACE((row.name + u' ' + row.path).toStdString());
        EXPECT_EQ(IgnoreRules::isSystemFolder(row.name, row.path), row.system);
    }
}

// The controller answers from the signed-in user it last learnt, also on the engine's threads.
class ControllerRegularItems : public SyncControllerFixture {};

TEST_F(ControllerRegularItems, FollowTheSignedInUser) {
    SyncController& c = make();
    EXPECT_FALSE(c.isRegularItem(QStringLiteral("anna"), QStringLiteral("users")));
    bool regularOnEngineThread = false;
    std::thread engine([&] { regularOnEngineThread = c.isRegularItem(QStringLiteral("anna"), QStringLiteral("users")); });
    engine.join();
    EXPECT_FALSE(regularOnEngineThread);

    signIn(QStringLiteral("ben"));
    EXPECT_TRUE(c.isRegularItem(QStringLiteral("anna"), QStringLiteral("users")));
    EXPECT_FALSE(c.isRegularItem(QStringLiteral("ben"), QStringLiteral("users")));
    signOut();
    EXPECT_TRUE(c.isRegularItem(QStringLiteral("ben"), QStringLiteral("users")));
}

}  // namespace
