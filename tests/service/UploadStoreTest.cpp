#include "ServiceTestSupport.h"

#include <QCryptographicHash>
#include <QDir>

#include "service/UploadStore.h"
#include "service/UserTree.h"

namespace {

class UploadStoreTest : public ServiceFixture {};

// Uploads under way hold their announced bytes against the account's room until they end, so
// that several begun at once cannot overrun the quota together.
TEST_F(UploadStoreTest, UploadsUnderWayCountAgainstTheRoom) {
    ASSERT_TRUE(service->createAccount(QStringLiteral("anna"), QStringLiteral("anna@example.org"), QStringLiteral("password1")));
    ASSERT_TRUE(service->setQuotaOverall(QStringLiteral("anna"), 100));
    UploadStore uploads(*service);
    const UserTree tree(service->homeFolder(QStringLiteral("anna")));
    const auto request = [](const char* path, std::int64_t size) {
        return ServiceWire::UploadRequest{QString::fromLatin1(path), size, QString(64, u'0'), 0, std::nullopt};
    };
    const auto first = uploads.begin(QStringLiteral("anna"), tree, request("a.bin", 60));
    ASSERT_TRUE(first);
    const struct {
        const char* path;
        std::int64_t size;
        bool fits;
    } cases[] = {{"b.bin", 40, true}, {"b.bin", 41, false}, {"c.bin", 100, false}};
    for (const auto& c : cases)
        EXPECT_EQ(bool(uploads.admit(QStringLiteral("anna"), tree, request(c.path, c.size))), c.fits) << c.size;
    EXPECT_EQ(uploads.room(QStringLiteral("anna")).value(), 40);
    ASSERT_TRUE(uploads.remove(QStringLiteral("anna"), first.value().id));
    EXPECT_EQ(uploads.room(QStringLiteral("anna")).value(), 100);
    EXPECT_TRUE(uploads.admit(QStringLiteral("anna"), tree, request("c.bin", 100)));
}

// The files of one batch take the room one after another: the one that no longer fits is refused
// and placed nowhere, while those before it and a smaller one after it are placed, and a
// replacement needs only what it adds.
TEST_F(UploadStoreTest, TheFilesOfABatchTakeTheRoomInTurn) {
    ASSERT_TRUE(service->createAccount(QStringLiteral("anna"), QStringLiteral("anna@example.org"), QStringLiteral("password1")));
    ASSERT_TRUE(service->setQuotaOverall(QStringLiteral("anna"), 100));
    UploadStore uploads(*service);
    UserTree tree(service->homeFolder(QStringLiteral("anna")));
    const auto file = [](const char* path, qsizetype size, std::optional<QString> revision = std::nullopt) {
        const QByteArray bytes(size, 'x');
        const QString hash = QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
        return ServiceWire::BatchFile{{QString::fromLatin1(path), size, hash, 0, std::move(revision)}, bytes};
    };
    const auto first = uploads.placeWhole(QStringLiteral("anna"), tree, {file("a.bin", 50)});
    ASSERT_EQ(first.size(), 1u);
    ASSERT_TRUE(first[0]) << first[0].failure().message.toStdString();
    const auto placed = uploads.placeWhole(QStringLiteral("anna"), tree,
                                           {file("b.bin", 30), file("c.bin", 30), file("d.bin", 20),
                                            file("a.bin", 50, first[0].value().revision())});
    const std::optional<ServiceError> fits;
    const std::optional<ServiceError> expected[] = {fits, ServiceError::insufficientStorage, fits, fits};
    ASSERT_EQ(placed.size(), std::size(expected));
    for (std::size_t i = 0; i < placed.size(); ++i)
        EXPECT_EQ(placed[i] ? std::nullopt : std::optional(placed[i].error()), expected[i]) << i;
    EXPECT_FALSE(tree.entry(QStringLiteral("c.bin")));
    EXPECT_EQ(uploads.pendingBytes(QStringLiteral("anna")), 0);
    EXPECT_TRUE(QDir(uploads.folderOf(QStringLiteral("anna"))).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

}  // namespace
