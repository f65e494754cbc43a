#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimeZone>

#include "ShareTestSupport.h"
#include "app/sharing/ObjCShare.h"
#include "frameworks/settings/OrvellaSettingsManager.h"

namespace {

class ShareModelsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        scoped.facade().settings()->setSyncRoot(root.path());
    }
    ScopedSharingFacade scoped;
    QTemporaryDir root;
};

TEST_F(ShareModelsTest, LocalPathOfALinkDecodesOnceInsideTheSyncFolder) {
    const QString folder = root.path() + QStringLiteral("/Orvella");
    struct Row {
        QString remote;
        std::optional<QString> expected;
    };
    const Row rows[] = {
        {QStringLiteral("root/Trip%202026/a.png"), folder + QStringLiteral("/Trip 2026/a.png")},
        {QStringLiteral("/Trip%202026/a.png"), folder + QStringLiteral("/Trip 2026/a.png")},
        {QStringLiteral("root/a%2541.txt"), folder + QStringLiteral("/a%41.txt")},
        {QStringLiteral("root/%C3%A9t%C3%A9"), folder + QStringLiteral("/\u00e9t\u00e9")},
        {QStringLiteral("rootless/x"), folder + QStringLiteral("/rootless/x")},
        {QStringLiteral("root/%zz"), std::nullopt},
        {QStringLiteral("root/%C3"), std::nullopt},
        {QStringLiteral("root/a%2"), std::nullopt},
        {QStringLiteral("root/%2E%2E/%2E%2E/etc/passwd"), std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.remote.toStdString());
        EXPECT_EQ(ObjCShareInfo(infoAt(row.remote)).path(), row.expected);
    }
    scoped.facade().settings()->setSyncRoot(std::nullopt);
    EXPECT_FALSE(ObjCShareInfo(infoAt(QStringLiteral("root/a.txt"))).path());
}

TEST_F(ShareModelsTest, InfoCopiesAreIndependentAndCarryEveryValue) {
    ShareInfo info = infoAt(QStringLiteral("root/a.txt"));
    info.status = ShareStatus::expired;
    info.validUntil = QDateTime::fromSecsSinceEpoch(1800000000, Qt::UTC);
    info.maxDownloads = 7;
    info.remainingDownloads = 4;
    info.downloadCount = 3;
    info.isPasswordProtected = true;
    info.isWritable = true;
    info.ttl = 3600;
    ObjCShareInfo original(info);
    const auto copy = original.copy();
    original.setIsWritable(false);
    original.setMaxDownloads(1);
    EXPECT_TRUE(copy->isWritable());
    EXPECT_EQ(copy->maxDownloads(), 7);
    EXPECT_EQ(copy->remainingDownloads(), 4);
    EXPECT_EQ(copy->downloadCount(), 3);
    EXPECT_TRUE(copy->isPasswordProtected());
    EXPECT_TRUE(copy->isExpired());
    EXPECT_EQ(copy->ttl(), 3600);
    EXPECT_EQ(copy->validUntil(), info.validUntil);
    EXPECT_EQ(copy->path(), original.path());
    EXPECT_FALSE(ObjCShareInfo(infoAt(QString())).isExpired());
}

TEST_F(ShareModelsTest, SharesNeedAShareableItemAndPickTheirIconInOrder) {
    EXPECT_FALSE(ObjCShare::make(nullptr));
    EXPECT_FALSE(ObjCShare::make(std::make_shared<PlainItem>()));

    auto bare = ObjCShare::make(std::make_shared<FakeFile>(QStringLiteral("a.txt"), std::nullopt));
    ASSERT_TRUE(bare);
    EXPECT_FALSE(bare->shareInfo());
    EXPECT_TRUE(bare->image().isNull());
    EXPECT_EQ(bare->metadata()->size(), 1234);

    const QString present = root.path() + QStringLiteral("/Orvella/here.txt");
    ASSERT_TRUE(QDir().mkpath(root.path() + QStringLiteral("/Orvella")));
    QFile file(present);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    struct Row {
        std::shared_ptr<BasicItem> item;
        ObjCShare::IconSource source;
        QString detail;
    };
    const Row rows[] = {
        {std::make_shared<FakeFile>(QStringLiteral("here.txt"), infoAt(QStringLiteral("root/here.txt"))),
         ObjCShare::IconSource::localFile, present},
        {std::make_shared<FakeDirectory>(QStringLiteral("Gone"), infoAt(QStringLiteral("root/Gone"))),
         ObjCShare::IconSource::folderType, QString()},
        {std::make_shared<FakeFile>(QStringLiteral("gone.png"), infoAt(QStringLiteral("root/gone.png"))),
         ObjCShare::IconSource::fileNameExtensionType, QStringLiteral("image/png")},
        {std::make_shared<FakeFile>(QStringLiteral("gone.zzqx"), infoAt(QStringLiteral("root/gone.zzqx"))),
         ObjCShare::IconSource::genericData, QString()},
        {std::make_shared<FakeFile>(QStringLiteral("noextension"), infoAt(QStringLiteral("root/noextension"))),
         ObjCShare::IconSource::genericData, QString()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.item->record().name.toStdString());
        auto share = ObjCShare::make(row.item);
        ASSERT_TRUE(share && share->shareInfo() && share->imageChoice());
        EXPECT_EQ(share->imageChoice()->source, row.source);
        EXPECT_EQ(share->imageChoice()->detail, row.detail);
    }
}

}  // namespace
