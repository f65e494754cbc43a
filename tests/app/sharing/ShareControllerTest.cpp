#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "ShareTestSupport.h"
#include "app/sharing/ObjCShare.h"
#include "app/sharing/ShareController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/foundation/MainQueue.h"
#include "support/TestEnvironment.h"

namespace {

class ShareControllerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(root.isValid());
        facade().settings()->setSyncRoot(root.path());
        syncFolder = root.path() + QStringLiteral("/Orvella");
    }
    SharingFacade& facade() const { return scoped.facade(); }

    ScopedSharingFacade scoped;
    QTemporaryDir root;
    QString syncFolder;
    ShareController controller{OVShareControllerDependencyProvider{&scoped.facade()}};
};

// Which listed item the share of one local file is found in.
struct LookupRow {
    const char* name;
    std::vector<std::pair<QString, QString>> items;  // item name, remote path
    QString localPath;                               // below the sync folder; absolute when it starts with "!"
    int expected;                                    // index of the item, -1 for none
    bool failed = false;                             // the lookup fails rather than finding none
};

class ShareLookupTest : public ShareControllerTest, public ::testing::WithParamInterface<LookupRow> {};

TEST_P(ShareLookupTest, FindsTheItemWhoseNameAndPathMatch) {
    const LookupRow& row = GetParam();
    SharingFacade::Items items;
    for (const auto& [name, remote] : row.items) items.push_back(std::make_shared<FakeFile>(name, infoAt(remote)));
    facade().items = items;
    const QString path = row.localPath.startsWith(u'!') ? row.localPath.mid(1) : syncFolder + row.localPath;
    bool called = false;
    std::shared_ptr<ObjCShare> found;
    bool failed = false;
    controller.sharedItem(path, [&](ShareController::Lookup lookup) {
        called = true;
        found = std::move(lookup.share);
        failed = lookup.error.has_value();
    });
    ASSERT_TRUE(called);
    // Only a lookup that really answered may read as "no link yet": an outside path is a failure.
    EXPECT_EQ(failed, row.failed);
    if (row.expected < 0) {
        EXPECT_FALSE(found);
        return;
    }
    ASSERT_TRUE(found);
    EXPECT_EQ(found->basicItem(), items[std::size_t(row.expected)]);
}

const QString composed = QStringLiteral("Caf\u00e9.txt");
const QString decomposed = QStringLiteral("Cafe\u0301.txt");

INSTANTIATE_TEST_SUITE_P(
    Rows, ShareLookupTest,
    ::testing::Values(
        LookupRow{"SpaceInNameWithRoot", {{"My File.txt", "root/Folder/My%20File.txt"}}, "/Folder/My File.txt", 0},
        LookupRow{"SpaceInNameWithoutRoot", {{"My File.txt", "/Folder/My%20File.txt"}}, "/Folder/My File.txt", 0},
        LookupRow{"SameNameOtherFolderFirst",
                  {{"a.txt", "root/One/a.txt"}, {"a.txt", "root/Two/a.txt"}}, "/Two/a.txt", 1},
        LookupRow{"NoneInThisFolder", {{"a.txt", "root/One/a.txt"}}, "/Two/a.txt", -1},
        LookupRow{"UnicodeFormsAreEqual", {{decomposed, "root/" + QString::fromLatin1(QUrl::toPercentEncoding(decomposed))}},
                  "/" + composed, 0},
        LookupRow{"LetterCaseCounts", {{"a.txt", "root/a.txt"}}, "/A.txt", -1},
        LookupRow{"PercentInNameFindsItsOwnLink", {{"a%41.txt", "root/a%2541.txt"}}, "/a%41.txt", 0},
        LookupRow{"DoublyEncodedIsNotDecodedTwice", {{"aA.txt", "root/a%2541.txt"}}, "/aA.txt", -1},
        LookupRow{"BrokenEncoding", {{"a.txt", "root/%zz/a.txt"}}, "/a.txt", -1},
        LookupRow{"ClimbingPathIsRefused", {{"a.txt", "root/x/%2E%2E/a.txt"}}, "/a.txt", -1},
        LookupRow{"OutsideTheSyncFolder", {{"a.txt", "root/a.txt"}}, "!/tmp/a.txt", -1, true},
        LookupRow{"SiblingFolderIsOutside", {{"a.txt", "root/a.txt"}}, "/../Orvella 1/a.txt", -1, true},
        LookupRow{"EmptyList", {}, "/a.txt", -1}),
    [](const ::testing::TestParamInfo<LookupRow>& info) { return std::string(info.param.name); });

TEST_F(ShareControllerTest, ListsShareableItemsInOrderAndNothingOnFailure) {
    auto file = std::make_shared<FakeFile>(QStringLiteral("b.txt"), infoAt(QStringLiteral("root/b.txt")));
    auto folder = std::make_shared<FakeDirectory>(QStringLiteral("A"), std::nullopt);
    facade().items = SharingFacade::Items{file, std::make_shared<PlainItem>(), folder, nullptr};
    facade().elsewhere = true;  // answers from another thread arrive on the main thread
    std::optional<std::optional<ShareController::Shares>> got;
    bool onMain = false;
    controller.sharedItems([&](std::optional<ShareController::Shares> shares, std::optional<AppError>) {
        onMain = MainQueue::isMainThread();
        got = std::move(shares);
    });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return got.has_value(); }));
    EXPECT_TRUE(onMain);
    ASSERT_TRUE(*got);
    ASSERT_EQ((*got)->size(), 2u);
    EXPECT_EQ((**got)[0]->name(), QStringLiteral("b.txt"));
    EXPECT_FALSE((**got)[0]->isDirectoryShare());
    EXPECT_TRUE((**got)[1]->isDirectoryShare());

    facade().elsewhere = false;
    facade().items = BusinessError::make(BusinessError::Kind::noConnection);
    got.reset();
    controller.sharedItems([&](std::optional<ShareController::Shares> shares, std::optional<AppError>) { got = std::move(shares); });
    ASSERT_TRUE(got.has_value());
    EXPECT_FALSE(*got);
    // A failed lookup is told apart from an item without a link: only the latter may be created.
    std::optional<ShareController::Lookup> lookup;
    controller.sharedItem(syncFolder + QStringLiteral("/b.txt"), [&](ShareController::Lookup l) { lookup = l; });
    ASSERT_TRUE(lookup);
    EXPECT_FALSE(lookup->share);
    EXPECT_FALSE(lookup->isNotFound());
    ASSERT_TRUE(lookup->error && lookup->error->businessError());
    EXPECT_EQ(lookup->error->businessError()->kind, BusinessError::Kind::noConnection);
}

// The settings an update hands to the item, by kind of share.
struct UpdateRow {
    const char* name;
    bool directory;
    std::optional<std::int64_t> maxDownloads;
    std::optional<bool> writable;
    std::optional<std::int64_t> passedMaxDownloads;
    std::optional<bool> passedWritable;
};

class ShareUpdateTest : public ShareControllerTest, public ::testing::WithParamInterface<UpdateRow> {};

TEST_P(ShareUpdateTest, PassesOnlyTheSettingsOfItsKindAndClearsTheFlagWhateverTheAnswer) {
    const UpdateRow& row = GetParam();
    std::shared_ptr<FakeItem> item;
    if (row.directory) item = std::make_shared<FakeDirectory>(QStringLiteral("D"), infoAt(QStringLiteral("root/D")));
    else item = std::make_shared<FakeFile>(QStringLiteral("f.txt"), infoAt(QStringLiteral("root/f.txt")));
    item->holdUpdate = true;
    item->infoResult = BusinessError::make(BusinessError::Kind::noConnection);
    auto share = ObjCShare::make(item);
    ASSERT_TRUE(share);
    int flagChanges = 0;
    QObject::connect(&controller, &ShareController::isUpdatingAdvancedOptionsChanged, [&] { ++flagChanges; });
    std::optional<ShareController::UpdateResult> result;
    controller.updateShare(share, row.maxDownloads, QStringLiteral("pw"), row.writable, 86400.0,
                           [&](ShareController::UpdateResult r) { result = std::move(r); });
    EXPECT_TRUE(controller.isUpdatingAdvancedOptions());
    ASSERT_EQ(item->settings.size(), 1u);
    const ShareSettings& passed = item->settings[0];
    EXPECT_EQ(passed.maxDownloads, row.passedMaxDownloads);
    EXPECT_EQ(passed.writable, row.passedWritable);
    EXPECT_EQ(passed.password, QStringLiteral("pw"));
    EXPECT_EQ(passed.ttl, 86400.0);
    item->heldUpdate();
    ASSERT_TRUE(result);
    EXPECT_FALSE(controller.isUpdatingAdvancedOptions());
    EXPECT_EQ(flagChanges, 2);
    ASSERT_TRUE(std::holds_alternative<AppError>(*result));
    EXPECT_EQ(std::get<AppError>(*result).businessError()->kind, BusinessError::Kind::noConnection);
}

INSTANTIATE_TEST_SUITE_P(Rows, ShareUpdateTest,
                         ::testing::Values(UpdateRow{"FileDropsWritable", false, 5, true, 5, std::nullopt},
                                           UpdateRow{"DirectoryDropsMaxDownloads", true, 5, true, std::nullopt, true},
                                           UpdateRow{"NothingGiven", false, std::nullopt, std::nullopt, std::nullopt, std::nullopt}),
                         [](const ::testing::TestParamInfo<UpdateRow>& info) { return std::string(info.param.name); });

TEST_F(ShareControllerTest, LinkPasswordMailAndRemovalCarryTheFrameworksAnswer) {
    auto item = std::make_shared<FakeFile>(QStringLiteral("f.txt"), infoAt(QStringLiteral("root/f.txt")));
    item->elsewhere = true;
    auto share = ObjCShare::make(item);
    std::optional<QUrl> url;
    bool done = false;
    controller.shareLink(share, [&](std::optional<QUrl> u, std::optional<AppError> e) {
        EXPECT_TRUE(MainQueue::isMainThread());
        EXPECT_FALSE(e);
        url = u;
        done = true;
    });
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return done; }));
    EXPECT_EQ(url, QUrl(QStringLiteral("https://www.orvella.example/s/token")));
    EXPECT_FALSE(item->settings[0].maxDownloads || item->settings[0].password || item->settings[0].writable || item->settings[0].ttl);

    item->elsewhere = false;
    std::optional<std::optional<AppError>> outcome;
    controller.setPassword(QString(), share, [&](std::optional<AppError> e) { outcome = e; });
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(*outcome);
    EXPECT_EQ(item->settings.back().password, QString());
    EXPECT_FALSE(item->settings.back().maxDownloads || item->settings.back().writable || item->settings.back().ttl);
    EXPECT_FALSE(controller.isUpdatingAdvancedOptions());

    item->voidResult = BusinessError::api(APIError::notFound);
    outcome.reset();
    controller.sendShareLink(share, {QStringLiteral("b@x.example"), QStringLiteral("a@x.example")}, QStringLiteral("Hi"),
                             [&](std::optional<AppError> e) { outcome = e; });
    ASSERT_TRUE(outcome && *outcome);
    EXPECT_EQ((*outcome)->businessError()->apiError, APIError::notFound);
    ASSERT_EQ(item->recipients.size(), 2u);
    EXPECT_EQ(item->recipients[0], (Recipient{QString(), QStringLiteral("b@x.example")}));
    EXPECT_EQ(item->mailMessage, QStringLiteral("Hi"));

    item->voidResult = Success{};
    outcome.reset();
    controller.removeShare(share, [&](std::optional<AppError> e) { outcome = e; });
    ASSERT_TRUE(outcome);
    EXPECT_FALSE(*outcome);
}

TEST_F(ShareControllerTest, MakesSharesOnlyForExistingLocalItems) {
    ASSERT_TRUE(QDir().mkpath(syncFolder + QStringLiteral("/Folder")));
    QFile file(syncFolder + QStringLiteral("/Folder/f.txt"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_FALSE(controller.makeShare(syncFolder + QStringLiteral("/missing.txt")));
    EXPECT_TRUE(facade().localRequests.empty());
    auto folder = controller.makeShare(syncFolder + QStringLiteral("/Folder"));
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder->isDirectoryShare());
    auto made = controller.makeShare(file.fileName());
    ASSERT_TRUE(made);
    EXPECT_FALSE(made->isDirectoryShare());
    ASSERT_EQ(facade().localRequests.size(), 2u);
    EXPECT_TRUE(facade().localRequests[0].second);
    EXPECT_FALSE(facade().localRequests[1].second);
}

}  // namespace
