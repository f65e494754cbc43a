#include <gtest/gtest.h>

#include <QTimeZone>

#include "app/backup/BackupModels.h"
#include "app/backup/BackupStatus.h"

namespace {

const QDateTime jan2020 = QDateTime(QDate(2020, 1, 1), QTime(0, 0), QTimeZone::utc());

TEST(BackupStatusCoding, DecodesTheFirstMemberThatHasTheRightType) {
    using C = BackupStatus::Case;
    const struct {
        const char* json;
        std::optional<BackupStatus> expected;
    } rows[] = {
        {R"({"skipped":true})", BackupStatus::skipped()},
        {R"({"skipped":false})", BackupStatus::skipped()},
        {R"({"failed":true,"succeeded":599529600})", BackupStatus::failed()},
        {R"({"succeeded":599529600})", BackupStatus::succeeded(jan2020)},
        {R"({"succeeded":599529600.5})", BackupStatus::succeeded(jan2020.addMSecs(500))},
        {R"({"failedAt":-1.25})", BackupStatus::failedAt(QDateTime(QDate(2000, 12, 31), QTime(23, 59, 58, 750), QTimeZone::utc()))},
        {R"({"failed":null,"skippedAt":0})", BackupStatus::skippedAt(QDateTime(QDate(2001, 1, 1), QTime(0, 0), QTimeZone::utc()))},
        {R"({"failed":1,"other":true})", std::nullopt},
        {R"({"succeeded":"2020"})", std::nullopt},
        {R"({"succeeded":1e300})", std::nullopt},
        {"{}", std::nullopt},
        {"[]", std::nullopt},
        {"not json", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.json);
        const auto decoded = BackupStatus::decoded(QByteArray(row.json));
        ASSERT_EQ(decoded.has_value(), row.expected.has_value());
        if (decoded) {
            EXPECT_TRUE(*decoded == *row.expected);
        }
        EXPECT_EQ(ObjCBackupStatus::fromJsonData(QByteArray(row.json)) != nullptr, row.expected.has_value());
    }
    (void)C::failed;
}

TEST(BackupStatusCoding, WritesOneMemberAndReadsItBack) {
    const QDateTime odd = QDateTime(QDate(2026, 12, 9), QTime(8, 46, 37, 123), QTimeZone::utc());
    const struct {
        BackupStatus status;
        QByteArray json;
    } rows[] = {
        {BackupStatus::failed(), R"({"failed":true})"},
        {BackupStatus::skipped(), R"({"skipped":true})"},
        {BackupStatus::succeeded(jan2020.addMSecs(500)), R"({"succeeded":599529600.5})"},
        {BackupStatus::failedAt(odd), {}},
        {BackupStatus::skippedAt(odd), {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.status.encoded().toStdString());
        if (!row.json.isEmpty()) {
            EXPECT_EQ(row.status.encoded(), row.json);
        }
        const auto back = BackupStatus::decoded(row.status.encoded());
        ASSERT_TRUE(back);
        EXPECT_TRUE(*back == row.status);
    }
    EXPECT_FALSE(BackupStatus::failed() == BackupStatus::failedAt(jan2020));
    EXPECT_FALSE(BackupStatus::succeeded(jan2020) == BackupStatus::succeeded(jan2020.addMSecs(1)));
    EXPECT_FALSE(BackupStatus::skipped() == BackupStatus::skippedAt(jan2020));
}

BackupObject record(bool completed, std::optional<QDateTime> end) {
    BackupObject b;
    b.name = QStringLiteral("Desk Backup");
    b.isCompleted = completed;
    b.endDate = end;
    b.startDate = jan2020;
    b.modificationDate = jan2020.addSecs(90);
    b.operatingSystem = OperatingSystem::linux;
    return b;
}

TEST(BackupModels, NodesTakeTheirStatusFromTheRecord) {
    const struct {
        const char* name;
        BackupObject record;
        std::optional<BackupStatus> status;
    } rows[] = {
        {"completed with end", record(true, jan2020.addSecs(60)), BackupStatus::succeeded(jan2020.addSecs(60))},
        {"completed without end", record(true, std::nullopt), std::nullopt},
        {"unfinished", record(false, std::nullopt), BackupStatus::failedAt(jan2020.addSecs(90))},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ObjCBackupObject node(row.record);
        ASSERT_EQ(node.status() != nullptr, row.status.has_value());
        if (row.status) {
            EXPECT_TRUE(node.status()->backupStatus() == *row.status);
        }
        EXPECT_TRUE(node.isLeafNode());
        EXPECT_FALSE(node.children().has_value());
        EXPECT_EQ(node.representedObject(), row.record);
    }
}

TEST(BackupModels, AmountsKeysAndProgressTotals) {
    const std::uint64_t big = std::uint64_t(1) << 63;
    EXPECT_EQ(ObjCContentInfo(big, big, big, big).overall().toString(), QStringLiteral("36893488147419103232"));
    EXPECT_EQ(ObjCContentInfo(1, 2, 3, 4).overall().toString(), QStringLiteral("10"));

    const QString unfinished = uniqueKey(record(false, std::nullopt));
    EXPECT_TRUE(unfinished.contains(QStringLiteral("notFinishedDesk Backup")));
    EXPECT_EQ(unfinished, uniqueKey(record(false, std::nullopt)));
    EXPECT_NE(unfinished, uniqueKey(record(true, jan2020)));
    auto otherSystem = record(false, std::nullopt);
    otherSystem.operatingSystem = OperatingSystem::android;
    EXPECT_NE(unfinished, uniqueKey(otherSystem));

    const auto start = ObjCBackupProgress::starting(UINT64_MAX, 12);
    EXPECT_EQ(start->itemsCount(), std::numeric_limits<qint64>::max());
    EXPECT_EQ(start->size(), 12);
    EXPECT_EQ(start->processedSize(), 0);
}

}  // namespace
