#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "app/shell/archive/ErrorReportArchive.h"
#include "app/shell/archive/ZipTestSupport.h"

namespace {

struct ItemsCase {
    const char* name;
    std::optional<QString> syncData;  // relative to a tree holding SyncData/, A.sqlite, B.sqlite, Logs/now.log
    QStringList storeFiles;           // "" is a store in memory
    std::optional<QString> logFile;
    QStringList expected;
    friend void PrintTo(const ItemsCase& c, std::ostream* os) { *os << c.name; }
};

class ErrorReportItems : public ::testing::TestWithParam<ItemsCase> {};

TEST_P(ErrorReportItems, TakesWhatExistsInOrder) {
    const ItemsCase& c = GetParam();
    QTemporaryDir tree(QDir::tempPath() + QStringLiteral("/report-items-XXXXXX"));
    for (const char* file : {"SyncData/engine.db", "A.sqlite", "B.sqlite", "Logs/now.log"})
        ASSERT_TRUE(ziptest::writeFile(tree.filePath(QString::fromLatin1(file)), "x"));
    const auto at = [&](const QString& relative) { return relative.isEmpty() ? relative : tree.filePath(relative); };
    ErrorReportArchive::Sources sources;
    if (c.syncData) sources.syncDataDirectory = at(*c.syncData);
    for (const QString& file : c.storeFiles) sources.storeFiles << at(file);
    if (c.logFile) sources.currentLogFile = at(*c.logFile);

    QStringList items;
    for (const QUrl& url : ErrorReportArchive::itemsToZip(sources)) items << QDir(tree.path()).relativeFilePath(url.toLocalFile());
    EXPECT_EQ(items, c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Shell, ErrorReportItems,
    ::testing::Values(
        ItemsCase{"everything", "SyncData", {"A.sqlite", "B.sqlite"}, "Logs/now.log", {"SyncData", "A.sqlite", "B.sqlite", "Logs"}},
        ItemsCase{"noSyncDataNoLog", std::nullopt, {"A.sqlite"}, std::nullopt, {"A.sqlite"}},
        ItemsCase{"onlyStoreFilesThatExist", "Missing", {"", "Gone.sqlite", "B.sqlite"}, std::nullopt, {"B.sqlite"}},
        ItemsCase{"folderOfARolledLogFile", std::nullopt, {}, "Logs/rolled.log", {"Logs"}},
        ItemsCase{"noLogFolder", "", {}, "NoLogs/now.log", {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ErrorReportArchiveName, TwoBlanksBeforeADateWithoutSeparators) {
    const QDateTime moment(QDate(2024, 12, 31), QTime(22, 30));
    const struct {
        QString date;
        QString expected;
    } cases[] = {
        {"12/31/24, 10:30 PM", "12-31-24, 10-30 PM"},
        {"a//b::c", "a--b--c"},
        {QLocale(QLocale::English, QLocale::UnitedStates).toString(moment, "M/d/yy h:mm"), "12-31-24 22-30"},
        {ErrorReportArchive::dateText(moment, QLocale(QLocale::German)), "Dienstag, 31. Dezember 2024 22-30"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.date.toStdString());
        const QString date = ErrorReportArchive::replacingPathSeparators(c.date);
        EXPECT_EQ(date, c.expected);
        EXPECT_EQ(ErrorReportArchive::archiveName("Orvella", "1.0.0 (1) ", date), "Orvella 1.0.0 (1)  " + c.expected + ".zip");
    }
    EXPECT_EQ(ErrorReportArchive::currentArchiveName(moment),
              "Orvella 1.0.0 (1)  " + ErrorReportArchive::dateText(moment) + ".zip");
}

}  // namespace
