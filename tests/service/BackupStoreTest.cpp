#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "ServiceTestSupport.h"
#include "service/BackupStore.h"

namespace {

class BackupStoreTest : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        ASSERT_TRUE(service->createAccount(QStringLiteral("anna"), QStringLiteral("anna@example.com"),
                                           QStringLiteral("correct horse 1")));
        store = std::make_unique<BackupStore>(*service);
    }
    QString source(const QString& name, const QByteArray& data) const {
        const QString path = tempPath(QStringLiteral("src/") + name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(data);
        return path;
    }
    ServiceBackupRecord begin(const QString& name = QStringLiteral("Desk Backup"), const QString& device = QStringLiteral("dev-1")) {
        auto r = store->beginBackup(QStringLiteral("anna"), name, device, QStringLiteral("desk"), QStringLiteral("linux"));
        EXPECT_TRUE(r) << r.failure().message.toStdString();
        return r ? r.value() : ServiceBackupRecord{};
    }
    std::unique_ptr<BackupStore> store;
};

TEST(BackupStorePaths, OnlyPathsBelowTheirFolderAreSafe) {
    const struct {
        const char* path;
        bool safe;
    } rows[] = {{"a.vcf", true},   {"sub/a.jpg", true}, {"", false},      {"/etc/passwd", false}, {"../x", false},
                {"a/../../x", false}, {"a//b", false},  {"./a", false},   {"a/", false},          {".hidden", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.path);
        EXPECT_EQ(BackupStore::isSafeRelativePath(QString::fromUtf8(row.path)), row.safe);
    }
}

TEST_F(BackupStoreTest, OneBackupPerDeviceAndNameIsReusedAndCounted) {
    const auto first = begin();
    ASSERT_TRUE(store->storeItem(QStringLiteral("anna"), first.identifier, ServiceBackupCategory::contacts,
                                 QStringLiteral("a.vcf"), source(QStringLiteral("a.vcf"), "BEGIN:VCARD")));
    ASSERT_TRUE(store->storeItem(QStringLiteral("anna"), first.identifier, ServiceBackupCategory::images,
                                 QStringLiteral("trip/p.jpg"), source(QStringLiteral("p.jpg"), QByteArray(100, 'p'))));
    auto done = store->finishBackup(QStringLiteral("anna"), first.identifier, true, {ServiceBackupCategory::videos});
    ASSERT_TRUE(done);
    EXPECT_TRUE(done.value().isCompleted);
    EXPECT_TRUE(done.value().endDate.has_value());
    EXPECT_EQ(done.value().sizes, (ServiceBackupAmounts{11, 0, 100, 0}));
    EXPECT_EQ(done.value().itemCounts, (ServiceBackupAmounts{1, 0, 1, 0}));
    // Chosen without items still counts as held; never chosen and empty does not.
    EXPECT_TRUE(done.value().containsVideos);
    EXPECT_FALSE(done.value().containsCalendars);

    const auto again = begin();
    EXPECT_EQ(again.identifier, first.identifier);
    EXPECT_FALSE(again.isCompleted);
    EXPECT_FALSE(again.endDate.has_value());
    EXPECT_NE(begin(QStringLiteral("Other")).identifier, first.identifier);
    EXPECT_NE(begin(QStringLiteral("Desk Backup"), QStringLiteral("dev-2")).identifier, first.identifier);
    auto all = store->backups(QStringLiteral("anna"));
    ASSERT_TRUE(all);
    EXPECT_EQ(all.value().size(), 3u);
    // Backups count against the account's quota.
    EXPECT_GE(service->quotaOfUser(QStringLiteral("anna")).value().used, 111);
}

TEST_F(BackupStoreTest, FailedOrStoppedCopiesKeepTheEarlierVersion) {
    const auto record = begin();
    const QString path = source(QStringLiteral("c.ics"), "old");
    auto first = store->storeItem(QStringLiteral("anna"), record.identifier, ServiceBackupCategory::calendars,
                                  QStringLiteral("c.ics"), path);
    ASSERT_TRUE(first);
    source(QStringLiteral("c.ics"), "new version");
    auto stopped = store->storeItem(QStringLiteral("anna"), record.identifier, ServiceBackupCategory::calendars,
                                    QStringLiteral("c.ics"), path, [] { return true; });
    ASSERT_FALSE(stopped);
    EXPECT_EQ(stopped.failure().message, QStringLiteral("cancelled"));
    QFile copy(first.value().storedPath);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("old"));
    // No half-written left-over beside it, and none is listed.
    EXPECT_EQ(QDir(QFileInfo(first.value().storedPath).absolutePath()).entryList(QDir::Files | QDir::Hidden).size(), 1);

    const struct {
        const char* name;
        QString relative;
        QString from;
        ServiceError error;
    } rows[] = {{"outside", QStringLiteral("../../escape.ics"), path, ServiceError::storageFailure},
                {"source gone", QStringLiteral("d.ics"), tempPath(QStringLiteral("missing.ics")), ServiceError::notFound}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto r = store->storeItem(QStringLiteral("anna"), record.identifier, ServiceBackupCategory::calendars, row.relative, row.from);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error(), row.error);
    }
    EXPECT_EQ(store->items(QStringLiteral("anna"), record.identifier).value().size(), 1u);
    service->setReachable(false);
    EXPECT_EQ(store->backups(QStringLiteral("anna")).error(), ServiceError::noConnection);
}

TEST_F(BackupStoreTest, DamagedOrForeignRecordsAreNotListed) {
    const auto record = begin();
    QDir().mkpath(store->folderOfUser(QStringLiteral("anna")) + QStringLiteral("/junk"));
    QFile damaged(store->folderOfUser(QStringLiteral("anna")) + QStringLiteral("/junk/record.json"));
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
    damaged.write("{not json");
    damaged.close();
    auto all = store->backups(QStringLiteral("anna"));
    ASSERT_TRUE(all);
    ASSERT_EQ(all.value().size(), 1u);
    EXPECT_EQ(all.value()[0], record);
    EXPECT_EQ(store->backup(QStringLiteral("anna"), QStringLiteral("../anna")).error(), ServiceError::notFound);
}

}  // namespace
