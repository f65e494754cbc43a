#include "ServiceTestSupport.h"

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

}  // namespace
