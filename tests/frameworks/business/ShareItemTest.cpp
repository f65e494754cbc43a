#include <QDir>
#include <QFile>
#include <QUrlQuery>

#include "FacadeTestSupport.h"
#include "frameworks/api/OrvellaConfig.h"
#include "frameworks/business/BasicItem.h"
#include "frameworks/business/LocalMacFileSystemItemFactory.h"
#include "frameworks/business/OrvellaShareItem.h"
#include "frameworks/business/OrvellaUser.h"
#include "frameworks/business/ShareMailComposer.h"
#include "service/ShareStore.h"

namespace {

class SiteEndPoint : public OrvellaAuthenticationEndPointProtocol {
public:
    explicit SiteEndPoint(QUrl url) : url_(std::move(url)) {}
    QUrl endPointAbsoluteURL() const override { return url_; }
    std::shared_ptr<const OrvellaAuthenticationURLParamsProtocol> urlParams() const override { return nullptr; }
    std::optional<QString> urlFragment() const override { return std::nullopt; }

private:
    QUrl url_;
};

OVAppConfig appConfig(std::optional<QString> tokenEndPoint) {
    OrvellaConfigProtocol::EndPoint token;
    if (tokenEndPoint) token = std::make_shared<SiteEndPoint>(QUrl(*tokenEndPoint));
    auto config = std::make_shared<OrvellaConfig>(QStringLiteral("client"), std::nullopt, std::nullopt,
                                                  QUrl(QStringLiteral("https://api.site.example/2.1")), nullptr, token, nullptr,
                                                  nullptr);
    return OVAppConfig(OVAppConfig::App::desktopClient, OVAppConfig::TargetType::desktop, config);
}

TEST(ShareLinkBaseTest, LinksLiveOnTheBrandsWebSite) {
    struct Row {
        std::optional<QString> tokenEndPoint;
        QString expected;
    };
    const Row rows[] = {
        {QStringLiteral("https://www.site.example/oauth2/token"), QStringLiteral("https://www.site.example/s/")},
        {QStringLiteral("https://www.site.example:8443/oauth2/token?x=1"), QStringLiteral("https://www.site.example:8443/s/")},
        {std::nullopt, QString()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected.toStdString());
        EXPECT_EQ(OrvellaShareItem::linkBase(appConfig(row.tokenEndPoint)).toString(), row.expected);
    }
    EXPECT_EQ(OrvellaShareItem::linkURL(QUrl(QStringLiteral("https://w.example/s/")), QStringLiteral("abc-_9")).toString(),
              QStringLiteral("https://w.example/s/abc-_9"));
}

TEST(ShareMailComposerTest, BuildsOneMailtoURLAndRefusesAnythingButPlainAddresses) {
    const auto url = ShareMailComposer::mailtoURL({QStringLiteral("a@b.example"), QStringLiteral("c.d+e@f.example")},
                                                  QStringLiteral("Q&A?"), QStringLiteral("Hi & bye\n\nhttps://w.example/s/x"));
    ASSERT_TRUE(url);
    EXPECT_EQ(url->scheme(), QStringLiteral("mailto"));
    EXPECT_EQ(url->path(), QStringLiteral("a@b.example,c.d+e@f.example"));
    const QUrlQuery query(*url);
    EXPECT_EQ(query.queryItemValue(QStringLiteral("subject"), QUrl::FullyDecoded), QStringLiteral("Q&A?"));
    EXPECT_EQ(query.queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded), QStringLiteral("Hi & bye\n\nhttps://w.example/s/x"));
    EXPECT_EQ(query.queryItems().size(), 2);

    const QString refused[] = {QStringLiteral("a@b.example?cc=x@y.example"), QStringLiteral("a@b.example\nBcc: x@y.example"),
                               QStringLiteral("a@b.example,x@y.example"), QStringLiteral(""), QStringLiteral("a@b")};
    for (const QString& address : refused) {
        SCOPED_TRACE(address.toStdString());
        EXPECT_FALSE(ShareMailComposer::mailtoURL({address}, {}, {}));
    }
    EXPECT_FALSE(ShareMailComposer::mailtoURL({}, {}, {}));
}

class ShareItemTest : public FacadeFixture {
protected:
    void SetUp() override {
        FacadeFixture::SetUp();
        DependencyProvider dependencies;
        dependencies.settingsManager = std::make_shared<OrvellaSettingsManager>(group, false);
        dependencies.service = service;
        auto configuration = facadeConfiguration(group, tokenAccount);
        configuration.appConfiguration = appConfig(QStringLiteral("https://www.site.example/oauth2/token"));
        facade = std::make_unique<OrvellaFacade>(configuration, dependencies);
        makeAccount(QStringLiteral("lin"));
        ASSERT_TRUE(facade->signInNow(QStringLiteral("lin"), QStringLiteral("password1")).isSuccess());
        home = service->homeFolder(QStringLiteral("lin"));
        ASSERT_TRUE(QDir().mkpath(home + QStringLiteral("/Trip 2026")));
        writeFile(home + QStringLiteral("/Trip 2026/map 100%.png"), 5);
        ASSERT_TRUE(local.isValid());
        syncFolder = local.path() + QStringLiteral("/Orvella");
        ASSERT_TRUE(QDir().mkpath(syncFolder + QStringLiteral("/Trip 2026")));
        writeFile(syncFolder + QStringLiteral("/Trip 2026/map 100%.png"), 5);
        facade->settings()->setSyncRoot(local.path());
        ShareMailComposer::setHandler([this](const QUrl& url) {
            opened.push_back(url);
            return acceptMail;
        });
    }
    void TearDown() override { ShareMailComposer::setHandler(nullptr); }

    static void writeFile(const QString& path, int bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(bytes, 'x'));
    }

    template <typename T, typename Call>
    T await(Call call) {
        Outcome<T> outcome;
        call(outcome.handler());
        EXPECT_TRUE(outcome.wait());
        EXPECT_TRUE(outcome.ranOnMainThread());
        return outcome.result();
    }

    std::shared_ptr<BasicItem> localFile() {
        return LocalMacFileSystemItemFactory(*facade).makeFile(syncFolder + QStringLiteral("/Trip 2026/map 100%.png"));
    }

    QString home;
    QTemporaryDir local;
    QString syncFolder;
    std::vector<QUrl> opened;
    bool acceptMail = true;
};

TEST_F(ShareItemTest, OnlyExistingItemsOfTheSyncFolderAreShareable) {
    QTemporaryDir elsewhere;
    writeFile(elsewhere.filePath(QStringLiteral("x.txt")), 1);
    ASSERT_TRUE(QDir().mkpath(local.path() + QStringLiteral("/Orvella 1")));
    writeFile(local.path() + QStringLiteral("/Orvella 1/y.txt"), 1);
    ASSERT_TRUE(QFile::link(elsewhere.filePath(QStringLiteral("x.txt")), syncFolder + QStringLiteral("/link.txt")));
    const LocalMacFileSystemItemFactory factory(*facade);
    struct Row {
        QString path;
        bool directory;
        bool made;
    };
    const Row rows[] = {
        {syncFolder + QStringLiteral("/Trip 2026/map 100%.png"), false, true},
        {syncFolder + QStringLiteral("/Trip 2026"), true, true},
        {syncFolder + QStringLiteral("/Trip 2026/../Trip 2026"), true, true},
        {syncFolder + QStringLiteral("/Trip 2026"), false, false},
        {syncFolder, true, false},
        {syncFolder + QStringLiteral("/missing.txt"), false, false},
        {syncFolder + QStringLiteral("/link.txt"), false, false},
        {syncFolder + QStringLiteral("/../Orvella 1/y.txt"), false, false},
        {local.path() + QStringLiteral("/Orvella 1/y.txt"), false, false},
        {elsewhere.filePath(QStringLiteral("x.txt")), false, false},
        {QStringLiteral("Orvella/Trip 2026"), true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path.toStdString());
        const auto item = row.directory ? factory.makeDirectory(row.path) : factory.makeFile(row.path);
        EXPECT_EQ(item != nullptr, row.made);
        if (item) {
            EXPECT_EQ(dynamic_cast<Directory*>(item.get()) != nullptr, row.directory);
        }
    }
    auto file = std::dynamic_pointer_cast<OrvellaShareItem>(localFile());
    ASSERT_TRUE(file);
    EXPECT_EQ(file->remotePath(), QStringLiteral("/Trip 2026/map 100%.png"));
    EXPECT_EQ(file->record().fileExtension, QStringLiteral("png"));
    EXPECT_EQ(file->metadata().size, 5);
    EXPECT_FALSE(file->shareInfo());

    facade->settings()->setSyncRoot(std::nullopt);
    EXPECT_FALSE(localFile());
}

TEST_F(ShareItemTest, ALinkIsMadeListedChangedAndRemovedWithAnswersOnTheMainThread) {
    auto item = localFile();
    ASSERT_TRUE(item);
    auto& shareable = dynamic_cast<Shareable&>(*item);
    const auto url = await<BusinessResult<QUrl>>([&](auto done) { shareable.share(ShareSettings{}, done); });
    ASSERT_TRUE(url.isSuccess());
    const QString token = url.value().path().section(u'/', -1);
    EXPECT_EQ(url.value().toString(), QStringLiteral("https://www.site.example/s/") + token);
    ASSERT_TRUE(shareable.shareInfo());
    EXPECT_EQ(shareable.shareInfo()->remotePath, QStringLiteral("root/Trip%202026/map%20100%25.png"));

    using Items = BusinessResult<std::vector<std::shared_ptr<BasicItem>>>;
    const auto listed = await<Items>([&](auto done) { facade->sharedItems(done); });
    ASSERT_TRUE(listed.isSuccess());
    ASSERT_EQ(listed.value().size(), 1u);
    auto* listedShareable = dynamic_cast<Shareable*>(listed.value()[0].get());
    ASSERT_TRUE(listedShareable);
    EXPECT_TRUE(dynamic_cast<File*>(listed.value()[0].get()));
    EXPECT_EQ(listed.value()[0]->record().name, QStringLiteral("map 100%.png"));
    EXPECT_EQ(listedShareable->shareInfo()->maxDownloads, OVFacadeConstants::unlimitedValue);
    EXPECT_EQ(listedShareable->shareInfo()->ttl, double(OVFacadeConstants::unlimitedValue));

    ShareSettings settings;
    settings.maxDownloads = 3;
    settings.ttl = 2 * 86400;
    settings.writable = true;  // a file: not passed on
    settings.password = QStringLiteral("letmein");
    const auto updated = await<BusinessResult<ShareInfo>>([&](auto done) { shareable.updateShare(settings, done); });
    ASSERT_TRUE(updated.isSuccess());
    EXPECT_EQ(updated.value().maxDownloads, 3);
    EXPECT_EQ(updated.value().remainingDownloads, 3);
    EXPECT_NEAR(updated.value().ttl, 2 * 86400, 5);
    EXPECT_FALSE(updated.value().isWritable);
    EXPECT_TRUE(updated.value().isPasswordProtected);
    EXPECT_EQ(updated.value().status, ShareStatus::active);

    ShareStore store(service);
    EXPECT_EQ(store.open(token, QStringLiteral("nope")).error(), ServiceError::wrongCredentials);
    ASSERT_TRUE(store.open(token, QStringLiteral("letmein")));

    settings = ShareSettings{};
    settings.maxDownloads = OVFacadeConstants::unlimitedValue;
    settings.ttl = double(OVFacadeConstants::unlimitedValue);
    const auto unlimited = await<BusinessResult<ShareInfo>>([&](auto done) { shareable.updateShare(settings, done); });
    ASSERT_TRUE(unlimited.isSuccess());
    EXPECT_EQ(unlimited.value().maxDownloads, OVFacadeConstants::unlimitedValue);
    EXPECT_EQ(unlimited.value().downloadCount, 1);
    EXPECT_FALSE(unlimited.value().validUntil.isValid());

    const auto removed = await<VoidResult>([&](auto done) { shareable.removeShare(done); });
    ASSERT_TRUE(removed.isSuccess());
    EXPECT_FALSE(shareable.shareInfo());
    EXPECT_EQ(store.open(token, QStringLiteral("letmein")).error(), ServiceError::notFound);
    const auto again = await<VoidResult>([&](auto done) { shareable.removeShare(done); });
    ASSERT_FALSE(again.isSuccess());
    EXPECT_EQ(again.error().apiError, APIError::notFound);
}

TEST_F(ShareItemTest, MailingOpensTheMailProgramAndNotesTheRecipients) {
    auto item = localFile();
    auto& shareable = dynamic_cast<Shareable&>(*item);
    const std::vector<Recipient> to{{QString(), QStringLiteral("eva@x.example")}, {QString(), QStringLiteral("tom@y.example")}};
    // No link yet: nothing to mail.
    auto mailed = await<VoidResult>([&](auto done) { shareable.mailLink(to, QStringLiteral("See"), done); });
    ASSERT_FALSE(mailed.isSuccess());
    EXPECT_TRUE(opened.empty());

    const auto url = await<BusinessResult<QUrl>>([&](auto done) { shareable.share(ShareSettings{}, done); });
    ASSERT_TRUE(url.isSuccess());
    mailed = await<VoidResult>([&](auto done) { shareable.mailLink(to, QStringLiteral("See"), done); });
    ASSERT_TRUE(mailed.isSuccess());
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0].path(), QStringLiteral("eva@x.example,tom@y.example"));
    EXPECT_TRUE(QUrlQuery(opened[0]).queryItemValue(QStringLiteral("body"), QUrl::FullyDecoded).endsWith(url.value().toString()));
    auto stored = facade->client()->shares();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored.value()[0].recipients, (QStringList{QStringLiteral("eva@x.example"), QStringLiteral("tom@y.example")}));

    // A mail program that does not take the mail: reported, and nobody is noted.
    acceptMail = false;
    mailed = await<VoidResult>([&](auto done) {
        shareable.mailLink({{QString(), QStringLiteral("zoe@z.example")}}, QString(), done);
    });
    EXPECT_FALSE(mailed.isSuccess());
    mailed = await<VoidResult>([&](auto done) {
        shareable.mailLink({{QString(), QStringLiteral("zoe@z.example&cc=x@y.example")}}, QString(), done);
    });
    EXPECT_FALSE(mailed.isSuccess());
    EXPECT_EQ(opened.size(), 2u);
    stored = facade->client()->shares();
    EXPECT_EQ(stored.value()[0].recipients.size(), 2);
}

// The application tells the user the item is not synced yet by this answer alone.
TEST_F(ShareItemTest, AnItemTheOnlineStorageDoesNotHoldIsNotFound) {
    ASSERT_TRUE(QDir().mkpath(syncFolder + QStringLiteral("/New folder")));
    writeFile(syncFolder + QStringLiteral("/Trip 2026/new.txt"), 1);
    const LocalMacFileSystemItemFactory factory(*facade);
    for (const auto& item : {factory.makeFile(syncFolder + QStringLiteral("/Trip 2026/new.txt")),
                             factory.makeDirectory(syncFolder + QStringLiteral("/New folder"))}) {
        ASSERT_TRUE(item);
        SCOPED_TRACE(item->record().name.toStdString());
        const auto url = await<BusinessResult<QUrl>>([&](auto done) { dynamic_cast<Shareable&>(*item).share(ShareSettings{}, done); });
        ASSERT_FALSE(url.isSuccess());
        EXPECT_EQ(url.error().kind, BusinessError::Kind::api);
        EXPECT_EQ(url.error().apiError, APIError::notFound);
    }
}

TEST_F(ShareItemTest, WithoutAUserOrAWebAddressNothingIsShared) {
    auto item = localFile();
    ASSERT_TRUE(item);
    Outcome<VoidResult> loggedOut;
    facade->logout(false, loggedOut.handler());
    ASSERT_TRUE(loggedOut.wait());
    EXPECT_FALSE(localFile());
    using Items = BusinessResult<std::vector<std::shared_ptr<BasicItem>>>;
    const auto listed = await<Items>([&](auto done) { facade->sharedItems(done); });
    ASSERT_FALSE(listed.isSuccess());
    EXPECT_EQ(listed.error().kind, BusinessError::Kind::invalidSession);
    // The item made before still speaks for the ended session, which the service refuses.
    const auto url = await<BusinessResult<QUrl>>([&](auto done) { dynamic_cast<Shareable&>(*item).share(ShareSettings{}, done); });
    ASSERT_FALSE(url.isSuccess());
    EXPECT_EQ(url.error().kind, BusinessError::Kind::invalidSession);
}

}  // namespace
