#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <functional>

#include "ServiceTestSupport.h"
#include "service/AtomicFile.h"
#include "service/ShareStore.h"

namespace {

const QString password = QStringLiteral("password1");

class ShareStoreTest : public ServiceFixture {
protected:
    void SetUp() override {
        ServiceFixture::SetUp();
        shared = std::shared_ptr<StorageService>(service.get(), [](StorageService*) {});
        store = std::make_unique<ShareStore>(shared);
        session = signIn(QStringLiteral("anna"));
        home = service->homeFolder(QStringLiteral("anna"));
        writeFile(home + QStringLiteral("/Docs/report.pdf"), 10);
        QDir().mkpath(home + QStringLiteral("/Photos"));
    }

    QString signIn(const QString& name) {
        EXPECT_TRUE(service->createAccount(name, name + QStringLiteral("@example.org"), password));
        auto s = service->signIn(name, password);
        EXPECT_TRUE(s);
        return s ? s.value().token : QString();
    }

    std::shared_ptr<StorageService> shared;
    std::unique_ptr<ShareStore> store;
    QString session;
    QString home;
};

TEST_F(ShareStoreTest, LinksAreMadeOncePerItemWithRandomTokensAndSurviveARestart) {
    auto first = store->createShare(session, QStringLiteral("/Docs/report.pdf"));
    ASSERT_TRUE(first);
    auto again = store->createShare(session, QStringLiteral("/Docs/report.pdf"));
    ASSERT_TRUE(again);
    EXPECT_EQ(again.value().token, first.value().token);
    EXPECT_EQ(first.value().token.size(), 43);
    EXPECT_FALSE(first.value().isDirectory);

    auto folder = store->createShare(session, QStringLiteral("/Photos"));
    ASSERT_TRUE(folder);
    EXPECT_TRUE(folder.value().isDirectory);
    EXPECT_NE(folder.value().token, first.value().token);

    // Another store object on the same root sees the same links, in the order made.
    auto listed = ShareStore(shared).shares(session);
    ASSERT_TRUE(listed);
    ASSERT_EQ(listed.value().size(), 2u);
    EXPECT_EQ(listed.value()[0].itemPath, QStringLiteral("/Docs/report.pdf"));
    EXPECT_EQ(listed.value()[1].itemPath, QStringLiteral("/Photos"));
}

TEST_F(ShareStoreTest, ItemsOutsideTheHomeFolderOrMissingCannotBeShared) {
    QDir().mkpath(tempPath(QStringLiteral("outside")));
    writeFile(tempPath(QStringLiteral("outside/secret.txt")), 3);
    ASSERT_TRUE(QFile::link(tempPath(QStringLiteral("outside")), home + QStringLiteral("/escape")));
    ASSERT_TRUE(QFile::link(home + QStringLiteral("/Docs/report.pdf"), home + QStringLiteral("/alias.pdf")));
    const QString rows[] = {
        QStringLiteral("/"), QStringLiteral(""), QStringLiteral("Docs/report.pdf"), QStringLiteral("/Docs/../Docs/report.pdf"),
        QStringLiteral("/../anna/Docs/report.pdf"), QStringLiteral("/missing.txt"), QStringLiteral("/Docs/report.pdf/"),
        QStringLiteral("/escape/secret.txt"), QStringLiteral("/alias.pdf"),
    };
    for (const QString& path : rows) {
        SCOPED_TRACE(path.toStdString());
        auto made = store->createShare(session, path);
        ASSERT_FALSE(made);
        EXPECT_EQ(made.error(), ServiceError::notFound);
    }
    auto listed = store->shares(session);
    ASSERT_TRUE(listed);
    EXPECT_TRUE(listed.value().empty());
}

TEST_F(ShareStoreTest, PasswordsAreKeptOnlyAsSaltedHashes) {
    const QString secret = QStringLiteral("Very-Secret-Link-Word");
    ASSERT_TRUE(store->createShare(session, QStringLiteral("/Docs/report.pdf")));
    ServiceShareChanges changes;
    changes.password = secret;
    auto updated = store->updateShare(session, QStringLiteral("/Docs/report.pdf"), changes);
    ASSERT_TRUE(updated);
    EXPECT_TRUE(updated.value().isPasswordProtected);
    const auto bytes = AtomicFile::read(store->sharesFile(QStringLiteral("anna")));
    ASSERT_TRUE(bytes);
    EXPECT_FALSE(bytes->contains(secret.toUtf8()));
    EXPECT_FALSE(bytes->contains(secret.toUtf8().toBase64()));
    EXPECT_EQ(QFile::permissions(store->sharesFile(QStringLiteral("anna"))) & (QFileDevice::ReadOther | QFileDevice::ReadGroup), 0);

    changes.password = QString();
    updated = store->updateShare(session, QStringLiteral("/Docs/report.pdf"), changes);
    ASSERT_TRUE(updated);
    EXPECT_FALSE(updated.value().isPasswordProtected);
    EXPECT_TRUE(store->open(updated.value().token));
}

// What opening a link answers after a given change.
struct OpenRow {
    const char* name;
    QString item;
    std::function<void(ShareStore&, const QString& session, const QString& home, StorageService&)> prepare;
    QString password;
    int opensBefore;  // successful opens before the one checked
    std::optional<ServiceError> expected;
};

class ShareStoreOpenTest : public ShareStoreTest, public ::testing::WithParamInterface<OpenRow> {};

TEST_P(ShareStoreOpenTest, AnswersOnlyLiveLinksWithTheirPassword) {
    const OpenRow& row = GetParam();
    auto made = store->createShare(session, row.item);
    ASSERT_TRUE(made);
    if (row.prepare) row.prepare(*store, session, home, *service);
    for (int i = 0; i < row.opensBefore; ++i) ASSERT_TRUE(store->open(made.value().token, row.password));
    auto opened = store->open(made.value().token, row.password);
    if (row.expected) {
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.error(), *row.expected);
        return;
    }
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened.value().absolutePath, home + row.item);
    EXPECT_EQ(opened.value().share.downloadCount, row.opensBefore + 1);
    auto stored = store->share(session, row.item);
    ASSERT_TRUE(stored && stored.value());
    EXPECT_EQ(stored.value()->downloadCount, row.opensBefore + 1);
}

ServiceShareChanges with(std::function<void(ServiceShareChanges&)> f) {
    ServiceShareChanges c;
    f(c);
    return c;
}

auto update(ServiceShareChanges changes) {
    return [changes](ShareStore& s, const QString& session, const QString&, StorageService&) {
        ASSERT_TRUE(s.updateShare(session, QStringLiteral("/Docs/report.pdf"), changes));
    };
}

const QString file = QStringLiteral("/Docs/report.pdf");

INSTANTIATE_TEST_SUITE_P(
    Rows, ShareStoreOpenTest,
    ::testing::Values(
        OpenRow{"Plain", file, nullptr, {}, 2, std::nullopt},
        OpenRow{"Folder", QStringLiteral("/Photos"), nullptr, {}, 0, std::nullopt},
        OpenRow{"RightPassword", file, update(with([](auto& c) { c.password = QStringLiteral("opensesame"); })),
                QStringLiteral("opensesame"), 1, std::nullopt},
        OpenRow{"WrongPassword", file, update(with([](auto& c) { c.password = QStringLiteral("opensesame"); })),
                QStringLiteral("OpenSesame"), 0, ServiceError::wrongCredentials},
        OpenRow{"MissingPassword", file, update(with([](auto& c) { c.password = QStringLiteral("opensesame"); })), {}, 0,
                ServiceError::wrongCredentials},
        OpenRow{"LimitNotReached", file, update(with([](auto& c) { c.maxDownloads = 2; })), {}, 1, std::nullopt},
        OpenRow{"LimitUsedUp", file, update(with([](auto& c) { c.maxDownloads = 2; })), {}, 2, ServiceError::notFound},
        OpenRow{"LimitRemoved", file, update(with([](auto& c) { c.maxDownloads = 0; })), {}, 3, std::nullopt},
        OpenRow{"Expired", file, update(with([](auto& c) { c.timeToLive = 0; })), {}, 0, ServiceError::notFound},
        OpenRow{"NotYetExpired", file, update(with([](auto& c) { c.timeToLive = 3600; })), {}, 0, std::nullopt},
        OpenRow{"ExpiryRemoved", file,
                [](ShareStore& s, const QString& session, const QString&, StorageService&) {
                    ASSERT_TRUE(s.updateShare(session, file, with([](auto& c) { c.timeToLive = 0; })));
                    ASSERT_TRUE(s.updateShare(session, file, with([](auto& c) { c.timeToLive = -1; })));
                },
                {}, 0, std::nullopt},
        OpenRow{"Removed", file,
                [](ShareStore& s, const QString& session, const QString&, StorageService&) {
                    ASSERT_TRUE(s.removeShare(session, file));
                },
                {}, 0, ServiceError::notFound},
        OpenRow{"ItemDeleted", file,
                [](ShareStore&, const QString&, const QString& home, StorageService&) {
                    ASSERT_TRUE(QFile::remove(home + file));
                },
                {}, 0, ServiceError::notFound},
        OpenRow{"ServiceAway", file,
                [](ShareStore&, const QString&, const QString&, StorageService& service) { service.setReachable(false); }, {},
                0, ServiceError::noConnection}),
    [](const ::testing::TestParamInfo<OpenRow>& info) { return std::string(info.param.name); });

TEST_F(ShareStoreTest, WriteAccessOnlyForFoldersAndEveryChangeNeedsALink) {
    ASSERT_TRUE(store->createShare(session, file));
    ASSERT_TRUE(store->createShare(session, QStringLiteral("/Photos")));
    const auto writable = with([](auto& c) { c.writable = true; });
    auto fileShare = store->updateShare(session, file, writable);
    ASSERT_TRUE(fileShare);
    EXPECT_FALSE(fileShare.value().isWritable);
    auto folderShare = store->updateShare(session, QStringLiteral("/Photos"), writable);
    ASSERT_TRUE(folderShare);
    EXPECT_TRUE(folderShare.value().isWritable);

    ASSERT_TRUE(store->removeShare(session, file));
    EXPECT_EQ(store->removeShare(session, file).error(), ServiceError::notFound);
    EXPECT_EQ(store->updateShare(session, file, writable).error(), ServiceError::notFound);
    EXPECT_EQ(store->addRecipients(session, file, {QStringLiteral("a@b.example")}).error(), ServiceError::notFound);
    // A new link for the same item is a new link: the old address stays dead.
    auto renewed = store->createShare(session, file);
    ASSERT_TRUE(renewed);
    EXPECT_NE(renewed.value().token, fileShare.value().token);
    EXPECT_FALSE(store->open(fileShare.value().token));
}

TEST_F(ShareStoreTest, RecipientsAreNotedOnceEach) {
    ASSERT_TRUE(store->createShare(session, file));
    ASSERT_TRUE(store->addRecipients(session, file, {QStringLiteral("a@b.example"), QStringLiteral("c@d.example")}));
    auto noted = store->addRecipients(session, file, {QStringLiteral("A@B.example"), QStringLiteral("e@f.example")});
    ASSERT_TRUE(noted);
    EXPECT_EQ(noted.value().recipients,
              (QStringList{QStringLiteral("a@b.example"), QStringLiteral("c@d.example"), QStringLiteral("e@f.example")}));
}

TEST_F(ShareStoreTest, AccountsSeeOnlyTheirOwnLinksAndNeedAValidSession) {
    ASSERT_TRUE(store->createShare(session, file));
    const QString other = signIn(QStringLiteral("bert"));
    auto bertsLinks = store->shares(other);
    ASSERT_TRUE(bertsLinks);
    EXPECT_TRUE(bertsLinks.value().empty());
    // Bert's home has no such item, so he cannot reach Anna's by its path either.
    EXPECT_EQ(store->removeShare(other, file).error(), ServiceError::notFound);
    ASSERT_TRUE(store->share(session, file).value());

    ASSERT_TRUE(service->revokeSession(session));
    EXPECT_EQ(store->shares(session).error(), ServiceError::invalidSession);
    EXPECT_EQ(store->createShare(session, file).error(), ServiceError::invalidSession);
}

TEST_F(ShareStoreTest, AFailedWriteKeepsTheLinksAsTheyWere) {
    auto made = store->createShare(session, file);
    ASSERT_TRUE(made);
    AtomicFile::failNextWritesForTesting(1);
    auto removed = store->removeShare(session, file);
    ASSERT_FALSE(removed);
    EXPECT_EQ(removed.error(), ServiceError::storageFailure);
    EXPECT_TRUE(store->open(made.value().token));
}

}  // namespace
