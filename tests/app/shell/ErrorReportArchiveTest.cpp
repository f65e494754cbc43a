#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "app/shell/ErrorReportArchive.h"
#include "app/shell/ZipTestSupport.h"

namespace {

struct ItemsCase {
    const char* name;
    std::optional<QString> syncData;  // relative to the tree
    QStringList storeFiles;           // relative; "" is a store in memory
    std::optional<QString> logFile;
    QStringList expected;
};

// Present in the tree: "SyncData/", "Model.sqlite", "Other.sqlite", "Logs/current.log".
class ErrorReportItems : public ::testing::TestWithParam<ItemsCase> {};

TEST_P(ErrorReportItems, TakesWhatExistsInOrder) {
    const ItemsCase& c = GetParam();
    QTemporaryDir tree(QDir::tempPath() + QStringLiteral("/report-items-XXXXXX"));
    ASSERT_TRUE(tree.isValid());
    for (const char* file : {"SyncData/engine.db", "Model.sqlite", "Other.sqlite", "Logs/current.log"})
        ASSERT_TRUE(ziptest::writeFile(tree.filePath(QString::fromLatin1(file)), "x"));
    const auto at = [&](const QString& relative) { return relative.isEmpty() ? relative : tree.filePath(relative); };

    ErrorReportArchive::Sources sources;
    if (c.syncData) sources.syncDataDirectory = at(*c.syncData);
    for (const QString& file : c.storeFiles) sources.storeFiles << at(file);
    if (c.logFile) sources.currentLogFile = at(*c.logFile);

    QStringList items;
    for (const QUrl& url : ErrorReportArchive::itemsToZip(sources))
        items << QDir(tree.path()).relativeFilePath(url.toLocalFile());
    EXPECT_EQ(items, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Shell, ErrorReportItems,
    ::testing::Values(
        ItemsCase{"everything", QStringLiteral("SyncData"), {"Model.sqlite", "Other.sqlite"},
                  QStringLiteral("Logs/current.log"), {"SyncData", "Model.sqlite", "Other.sqlite", "Logs"}},
        ItemsCase{"noSyncDataNoLog", std::nullopt, {"Model.sqlite"}, std::nullopt, {"Model.sqlite"}},
        ItemsCase{"onlyExistingStoreFiles", QStringLiteral("Missing"), {"", "Gone.sqlite", "Other.sqlite"},
                  std::nullopt, {"Other.sqlite"}},
        // The log folder counts, whether or not the file has been rolled away.
        ItemsCase{"logFolderOfARolledFile", std::nullopt, {}, QStringLiteral("Logs/rolled.log"), {"Logs"}},
        ItemsCase{"logFolderMissing", QString(), {}, QStringLiteral("NoLogs/current.log"), {}}),
    [](const ::testing::TestParamInfo<ItemsCase>& info) { return std::string(info.param.name); });

TEST(ErrorReportArchiveName, TwoBlanksBeforeTheDateAndNoSeparators) {
    const struct {
        const char* date;
        const char* expectedDate;
    } cases[] = {
        {"12/31/24, 10:30 PM", "12-31-24, 10-30 PM"},
        {"31.12.2024 22:30", "31.12.2024 22-30"},
        {"a//b::c", "a--b--c"},
        {"", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date);
        const QString date = ErrorReportArchive::replacingPathSeparators(QString::fromUtf8(c.date));
        EXPECT_EQ(date, QString::fromUtf8(c.expectedDate));
        EXPECT_EQ(ErrorReportArchive::archiveName(QStringLiteral("Orvella"), QStringLiteral("1.0.0 (1) "), date),
                  QStringLiteral("Orvella 1.0.0 (1)  %1.zip").arg(date));
    }
}

TEST(ErrorReportArchiveName, DateTextOfRealLocalesHasNoSeparators) {
    const QDateTime moment(QDate(2024, 12, 31), QTime(22, 30));
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German),
                                  QLocale(QLocale::Japanese), QLocale(QLocale::Persian)}) {
        SCOPED_TRACE(locale.name().toStdString());
        const QString text = ErrorReportArchive::dateText(moment, locale);
        EXPECT_FALSE(text.contains(u':') || text.contains(u'/')) << text.toStdString();
        EXPECT_TRUE(text.startsWith(locale.toString(moment.date(), QLocale::LongFormat).replace(u'/', u'-')));
    }
    // This executable's own name and version text from its information keys.
    const QString name = ErrorReportArchive::currentArchiveName(moment);
    EXPECT_EQ(name, QStringLiteral("Orvella 1.0.0 (1)  ") + ErrorReportArchive::dateText(moment) + QStringLiteral(".zip"));
}

}  // namespace
