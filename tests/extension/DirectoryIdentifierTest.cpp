#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <functional>

#include "extension/DirectoryIdentifier.h"

namespace {

// What happens to the folder after it was identified, and where it should be found then.
struct IdentityCase {
    const char* name;
    const char* folder;  // made under the temp dir
    std::function<void(const QString& base, const QString& folder)> change;
    const char* expected;  // relative to the temp dir; empty for none
};

class DirectoryIdentity : public ::testing::TestWithParam<IdentityCase> {};

TEST_P(DirectoryIdentity, FindsTheFolderWhereItIsNow) {
    const IdentityCase& c = GetParam();
    QTemporaryDir base;
    ASSERT_TRUE(base.isValid());
    const QString folder = base.path() + QLatin1Char('/') + QString::fromUtf8(c.folder);
    ASSERT_TRUE(QDir().mkpath(folder));
    const auto identifier = DirectoryIdentifier::make(folder);
    ASSERT_TRUE(identifier);
    if (c.change) c.change(base.path(), folder);
    EXPECT_EQ(identifier->originalPath(), folder);
    const std::optional<QString> now = identifier->currentPath();
    if (*c.expected == '\0') {
        EXPECT_FALSE(now) << now->toStdString();
    } else {
        ASSERT_TRUE(now);
        EXPECT_EQ(now->toStdString(), (base.path() + QLatin1Char('/') + QString::fromUtf8(c.expected)).toStdString());
    }
}

void rename(const QString& from, const QString& to) { ASSERT_TRUE(QDir().rename(from, to)); }

INSTANTIATE_TEST_SUITE_P(
    Table, DirectoryIdentity,
    ::testing::Values(
        IdentityCase{"Unchanged", "Orvella", nullptr, "Orvella"},
        IdentityCase{"Renamed", "Orvella",
                     [](const QString& b, const QString& f) { rename(f, b + "/Renamed"); }, "Renamed"},
        IdentityCase{"MovedIntoAnotherFolder", "Orvella",
                     [](const QString& b, const QString& f) {
                         QDir().mkpath(b + "/elsewhere");
                         rename(f, b + "/elsewhere/Orvella");
                     },
                     "elsewhere/Orvella"},
        IdentityCase{"NonAsciiNameKept", "Caf\xc3\xa9 \xe6\x96\x87\xe4\xbb\xb6", nullptr, "Caf\xc3\xa9 \xe6\x96\x87\xe4\xbb\xb6"},
        IdentityCase{"RenamedToNonAscii", "Orvella",
                     [](const QString& b, const QString& f) { rename(f, b + QString::fromUtf8("/\xc3\x85rvella")); },
                     "\xc3\x85rvella"},
        IdentityCase{"Deleted", "Orvella", [](const QString&, const QString& f) { QDir(f).removeRecursively(); }, ""},
        IdentityCase{"ReplacedByANewFolderOfTheSameName", "Orvella",
                     [](const QString&, const QString& f) {
                         QDir(f).removeRecursively();
                         QDir().mkpath(f);
                     },
                     ""},
        // Another volume: the move copies the folder and deletes the original.
        IdentityCase{"CopiedAwayAndDeleted", "Orvella",
                     [](const QString& b, const QString& f) {
                         QDir().mkpath(b + "/other/Orvella");
                         QDir(f).removeRecursively();
                     },
                     ""},
        IdentityCase{"MovedAsideAndANewOneMade", "Orvella",
                     [](const QString& b, const QString& f) {
                         rename(f, b + "/Old");
                         QDir().mkpath(f);
                     },
                     "Old"},
        IdentityCase{"PathTooLong", "Orvella",
                     [](const QString& b, const QString& f) {
                         const QString deep = b + "/" + QString(200, 'd') + "/" + QString(200, 'e') + "/" +
                                              QString(200, 'f') + "/" + QString(200, 'g') + "/" + QString(200, 'h');
                         QDir().mkpath(deep);
                         rename(f, deep + "/Orvella");
                     },
                     ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DirectoryIdentifier, NoIdentifierForAMissingPathAndCopiesShareTheFolder) {
    QTemporaryDir base;
    EXPECT_FALSE(DirectoryIdentifier::make(base.path() + "/missing"));
    EXPECT_FALSE(DirectoryIdentifier::make(QString()));
    std::optional<DirectoryIdentifier> copy;
    {
        const auto identifier = DirectoryIdentifier::make(base.path());
        ASSERT_TRUE(identifier);
        EXPECT_GT(identifier->fileNumber(), 0);
        copy = identifier;
    }
    EXPECT_EQ(copy->currentPath(), base.path()) << "a copy outlives the one it was made from";
}

}  // namespace
