#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryFile>
#include <QThread>

#include <thread>

#include "frameworks/net/HttpServiceClient.h"
#include "support/ServiceProcess.h"

namespace {

using namespace std::chrono_literals;
const QString password = QStringLiteral("password1");

QByteArray randomBytes(qsizetype size, quint32 seed) {
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}
QString sha256(QByteArrayView bytes) { return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()); }

// The bytes in a file of their own, for calls that read a descriptor.
struct LocalFile {
    explicit LocalFile(const QByteArray& bytes) : file(QDir::tempPath() + QStringLiteral("/net-XXXXXX")) {
        file.open();
        file.write(bytes);
        file.flush();
    }
    int fd() { return int(file.handle()); }
    QTemporaryFile file;
};

ServiceWire::UploadRequest requestFor(const QString& path, const QByteArray& bytes, std::optional<QString> revision = std::nullopt) {
    return {path, bytes.size(), sha256(bytes), 1600000000123456789, std::move(revision)};
}

class HttpServiceClientTest : public ::testing::Test {
protected:
    virtual QStringList serverArguments() { return {}; }
    void SetUp() override {
        server = std::make_unique<ServiceProcess>(ServiceProcess::Options{{}, true, serverArguments()});
        ASSERT_TRUE(server->start()) << server->lastError().toStdString();
        anna = signedUp(QStringLiteral("anna"));
    }
    void TearDown() override {
        if (HasFailure() && server) std::cerr << server->log().toStdString();
    }
    HttpServiceClient::Options options(const QString& caFile) {
        HttpServiceClient::Options o;
        o.baseUrl = QUrl(server->baseUrl());
        o.caFile = caFile;
        o.stallTimeout = 5s;
        o.maximumAttempts = 8;
        o.firstBackoff = 50ms;
        o.maximumBackoff = 1s;
        return o;
    }
    std::unique_ptr<HttpServiceClient> client() { return std::make_unique<HttpServiceClient>(options(server->caFile())); }
    std::unique_ptr<HttpServiceClient> signedUp(const QString& name) {
        auto made = client();
        const auto account = made->createAccount({name, name + QStringLiteral("@example.org"), password});
        EXPECT_TRUE(account) << account.failure().message.toStdString();
        return made;
    }
    ServiceResult<ServiceEntry> put(HttpServiceClient& to, const QString& path, const QByteArray& bytes,
                                    std::optional<QString> revision = std::nullopt) {
        LocalFile local(bytes);
        return to.upload(requestFor(path, bytes, std::move(revision)), local.fd());
    }
    QByteArray fetch(const QString& path, std::int64_t offset = 0) {
        QByteArray bytes;
        const auto got = anna->download(path, std::nullopt, offset, [&](const char* data, std::size_t size) {
            bytes.append(data, qsizetype(size));
            return true;
        });
        EXPECT_TRUE(got) << got.failure().message.toStdString();
        return bytes;
    }

    std::unique_ptr<ServiceProcess> server;
    std::unique_ptr<HttpServiceClient> anna;
};

TEST_F(HttpServiceClientTest, SignsInAndReadsTheAccount) {
    const auto account = anna->account();
    ASSERT_TRUE(account);
    EXPECT_EQ(account.value().account.userName, QStringLiteral("anna"));
    EXPECT_EQ(anna->tokenInfo().value().userName, QStringLiteral("anna"));
    EXPECT_EQ(anna->describe(), server->baseUrl());

    const struct {
        QString user;
        QString secret;
        std::optional<ServiceError> error;
    } signIns[] = {
        {QStringLiteral("anna"), password, std::nullopt},
        {QStringLiteral("anna"), QStringLiteral("wrong password"), ServiceError::wrongCredentials},
        {QStringLiteral("nobody"), password, ServiceError::wrongCredentials},
    };
    for (const auto& c : signIns) {
        auto other = client();
        const auto tokens = other->signIn(c.user, c.secret);
        EXPECT_EQ(tokens ? std::nullopt : std::optional(tokens.error()), c.error) << c.user.toStdString();
        EXPECT_EQ(other->tokens().has_value(), !c.error);
        EXPECT_TRUE(other->isReachable());
    }
    ASSERT_TRUE(put(*anna, QStringLiteral("a.txt"), "hello world"));
    const auto quota = anna->quota();
    ASSERT_TRUE(quota);
    EXPECT_EQ(quota.value().used, 11);

    // Revoking ends the session: the tokens are gone here and useless elsewhere.
    const auto kept = anna->tokens();
    ASSERT_TRUE(anna->revoke());
    EXPECT_FALSE(anna->tokens());
    EXPECT_EQ(anna->account().error(), ServiceError::invalidSession);
    auto other = client();
    other->setTokens(kept);
    EXPECT_EQ(other->account().error(), ServiceError::invalidSession);
}

TEST_F(HttpServiceClientTest, FileOperationsNameTheRevisionTheySaw) {
    ASSERT_TRUE(put(*anna, QStringLiteral("Docs/a.txt"), "first"));
    ASSERT_TRUE(put(*anna, QStringLiteral("Docs/Sub/z.txt"), "deep"));
    const QString seen = anna->entry(QStringLiteral("Docs/a.txt")).value().revision();
    ASSERT_TRUE(put(*anna, QStringLiteral("Docs/a.txt"), "second", seen));
    const auto rev = [&](const QString& path) { return anna->entry(path).value().revision(); };
    const auto errorOf = [](const auto& result) { return result ? std::nullopt : std::optional(result.error()); };

    const struct {
        const char* what;
        std::function<std::optional<ServiceError>()> run;
        std::optional<ServiceError> error;
    } cases[] = {
        {"stale upload", [&] { return errorOf(put(*anna, QStringLiteral("Docs/a.txt"), "third", seen)); }, ServiceError::revisionMismatch},
        {"upload over", [&] { return errorOf(put(*anna, QStringLiteral("Docs/a.txt"), "third")); }, ServiceError::exists},
        {"bytes not the ones announced", [&] {
             LocalFile local("wrong");
             return errorOf(anna->upload(requestFor(QStringLiteral("Docs/w.txt"), "right"), local.fd()));
         }, ServiceError::hashMismatch},
        {"never placed", [&] { return errorOf(anna->entry(QStringLiteral("Docs/w.txt"))); }, ServiceError::notFound},
        {"new file", [&] { return errorOf(put(*anna, QStringLiteral("Docs/n.txt"), "new")); }, std::nullopt},
        // As when the answer was lost and the request sent again: the bytes are there.
        {"new file again", [&] { return errorOf(put(*anna, QStringLiteral("Docs/n.txt"), "new")); }, std::nullopt},
        {"other bytes over it", [&] { return errorOf(put(*anna, QStringLiteral("Docs/n.txt"), "old")); }, ServiceError::exists},
        {"stale remove", [&] { return errorOf(anna->remove(QStringLiteral("Docs/a.txt"), seen)); }, ServiceError::revisionMismatch},
        {"stale move", [&] { return errorOf(anna->move({QStringLiteral("Docs/a.txt"), QStringLiteral("b.txt"), seen})); }, ServiceError::revisionMismatch},
        {"folder", [&] { return errorOf(anna->makeFolder(QStringLiteral("Empty"))); }, std::nullopt},
        {"folder again", [&] { return errorOf(anna->makeFolder(QStringLiteral("Empty"))); }, std::nullopt},
        {"folder on a file", [&] { return errorOf(anna->makeFolder(QStringLiteral("Docs/a.txt"))); }, ServiceError::exists},
        {"move", [&] { return errorOf(anna->move({QStringLiteral("Docs/a.txt"), QStringLiteral("Moved/b.txt"), rev(QStringLiteral("Docs/a.txt"))})); }, std::nullopt},
        {"gone", [&] { return errorOf(anna->entry(QStringLiteral("Docs/a.txt"))); }, ServiceError::notFound},
        {"not empty", [&] { return errorOf(anna->remove(QStringLiteral("Docs"), rev(QStringLiteral("Docs")))); }, ServiceError::notEmpty},
        {"remove", [&] { return errorOf(anna->remove(QStringLiteral("Empty"), rev(QStringLiteral("Empty")))); }, std::nullopt},
        {"bad path", [&] { return errorOf(anna->entry(QStringLiteral("../x"))); }, ServiceError::invalidPath},
    };
    for (const auto& c : cases) EXPECT_EQ(c.run(), c.error) << c.what;
    EXPECT_EQ(fetch(QStringLiteral("Moved/b.txt")), "second");
    EXPECT_EQ(fetch(QStringLiteral("Docs/n.txt")), "new");
    // Each of those small files went up in one request.
    EXPECT_EQ(server->log().count("POST /2.1/uploads "), 0);

    const struct {
        QString path;
        int depth;
        QStringList paths;
    } trees[] = {
        {{}, -1, {{}, "Docs", "Docs/Sub", "Docs/Sub/z.txt", "Docs/n.txt", "Moved", "Moved/b.txt"}},
        {{}, 1, {{}, "Docs", "Moved"}},
        {"Docs", 0, {"Docs"}},
        {"Docs", 1, {"Docs", "Docs/Sub", "Docs/n.txt"}},
        {"Docs", 2, {"Docs", "Docs/Sub", "Docs/Sub/z.txt", "Docs/n.txt"}},
    };
    for (const auto& c : trees) {
        QStringList paths;
        ASSERT_TRUE(anna->tree(c.path, [&](const ServiceEntry& e) { return paths << e.path, true; }, c.depth));
        EXPECT_EQ(paths, c.paths) << c.path.toStdString() << ' ' << c.depth;
    }
    int seenEntries = 0;
    EXPECT_TRUE(anna->tree({}, [&](const ServiceEntry&) { return ++seenEntries < 2; }));
    EXPECT_EQ(seenEntries, 2);
}

TEST_F(HttpServiceClientTest, DownloadsStreamFromAnOffsetAndOnlyTheRevisionAskedFor) {
    const QByteArray bytes = randomBytes(20 << 20, 7);
    const auto stored = put(*anna, QStringLiteral("big.bin"), bytes);
    ASSERT_TRUE(stored) << stored.failure().message.toStdString();

    const struct {
        std::int64_t offset;
        qsizetype length;
    } ranges[] = {{0, bytes.size()}, {15 << 20, 5 << 20}, {bytes.size() - 1, 1}, {bytes.size(), 0}};
    for (const auto& c : ranges) {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        std::int64_t received = 0;
        const auto served = anna->download(QStringLiteral("big.bin"), stored.value().revision(), c.offset, [&](const char* data, std::size_t size) {
            hash.addData(QByteArrayView(data, qsizetype(size)));
            received += std::int64_t(size);
            return true;
        });
        ASSERT_TRUE(served) << c.offset << served.failure().message.toStdString();
        EXPECT_EQ(served.value().revision(), stored.value().revision());
        EXPECT_EQ(received, c.length) << c.offset;
        EXPECT_EQ(QString::fromLatin1(hash.result().toHex()), sha256(QByteArrayView(bytes).sliced(c.offset))) << c.offset;
    }
    const auto ignore = [](const char*, std::size_t) { return true; };
    EXPECT_EQ(anna->download(QStringLiteral("big.bin"), QStringLiteral("1-2-3"), 0, ignore).error(), ServiceError::revisionMismatch);
    EXPECT_EQ(anna->download(QStringLiteral("big.bin"), std::nullopt, 0, [](const char*, std::size_t) { return false; }).error(),
              ServiceError::storageFailure);
    std::atomic<bool> cancel{true};
    EXPECT_FALSE(anna->download(QStringLiteral("big.bin"), std::nullopt, 0, ignore, &cancel));
}

TEST_F(HttpServiceClientTest, AnUploadCutByAServerCrashResumesAndCommitsExactly) {
    const QByteArray bytes = randomBytes(12 << 20, 11);
    const std::int64_t chunk = anna->chunkSizes().value().chunkSize;
    ASSERT_LT(chunk * 2, bytes.size());
    int renewals = 0;
    anna->setTokensChanged([&](const ServiceClient::Tokens&) { ++renewals; });
    LocalFile local(bytes);
    QString resumeId;
    ServiceResult<ServiceEntry> placed(ServiceError::storageFailure);
    std::thread uploader([&] { placed = anna->upload(requestFor(QStringLiteral("clip.mp4"), bytes), local.fd(), nullptr, &resumeId); });
    // Killed once the second chunk is on its way.
    const auto partSize = [&] {
        QDirIterator it(server->root() + QStringLiteral("/uploads"), {QStringLiteral("*.part")}, QDir::Files, QDirIterator::Subdirectories);
        return it.hasNext() ? QFileInfo(it.next()).size() : 0;
    };
    QDeadlineTimer deadline(10000);
    while (partSize() <= chunk && !deadline.hasExpired()) QThread::msleep(2);
    server->kill();
    QThread::msleep(150);
    ASSERT_TRUE(server->restart()) << server->lastError().toStdString();
    uploader.join();
    ASSERT_TRUE(placed) << placed.failure().message.toStdString();
    EXPECT_EQ(placed.value().size, bytes.size());
    EXPECT_TRUE(resumeId.isEmpty());
    EXPECT_EQ(renewals, 1);  // the new process knew no access token
    EXPECT_EQ(sha256(fetch(QStringLiteral("clip.mp4"))), sha256(bytes));
}

// A batch is many requests in one: each item is carried out or refused on its own, and a refused
// one leaves the tree as it was.
TEST_F(HttpServiceClientTest, EachItemOfABatchIsPlacedOrRefusedOnItsOwn) {
    const auto kept = put(*anna, QStringLiteral("keep.txt"), "old");
    const auto replaced = put(*anna, QStringLiteral("replace.txt"), "v1");
    ASSERT_TRUE(kept && replaced && put(*anna, QStringLiteral("other.txt"), "x"));
    const std::optional<ServiceError> accepted;
    const struct {
        const char* path;
        QByteArray bytes;
        QByteArray hashedBytes;  // what the announced hash is of
        std::optional<QString> revision;
        std::optional<ServiceError> refused;
        std::optional<QByteArray> after;  // what the path holds afterwards; none: nothing
    } items[] = {
        {"new/a.txt", "alpha", "alpha", std::nullopt, accepted, QByteArray("alpha")},
        {"keep.txt", "NEW", "NEW", QStringLiteral("bogus"), ServiceError::revisionMismatch, QByteArray("old")},
        {"other.txt", "y", "y", std::nullopt, ServiceError::exists, QByteArray("x")},
        {"b.txt", "beta", "not beta", std::nullopt, ServiceError::hashMismatch, std::nullopt},
        {"../escape", "e", "e", std::nullopt, ServiceError::invalidPath, std::nullopt},
        {"replace.txt", "v2", "v2", replaced.value().revision(), accepted, QByteArray("v2")},
        {"empty.txt", "", "", std::nullopt, accepted, QByteArray("")},
    };
    std::vector<ServiceWire::BatchFile> files;
    for (const auto& item : items) {
        auto request = requestFor(QString::fromLatin1(item.path), item.hashedBytes, item.revision);
        request.size = item.bytes.size();
        files.push_back({request, item.bytes});
    }
    const auto placed = anna->uploadBatch(files);
    ASSERT_EQ(placed.size(), std::size(items));
    std::vector<ServiceWire::WantedFile> wanted;
    for (std::size_t i = 0; i < placed.size(); ++i) {
        const auto& item = items[i];
        const QString path = QString::fromLatin1(item.path);
        if (item.refused) {
            EXPECT_EQ(placed[i] ? std::nullopt : std::optional(placed[i].error()), item.refused) << item.path;
        } else {
            ASSERT_TRUE(placed[i]) << item.path << ": " << placed[i].failure().message.toStdString();
            EXPECT_EQ(placed[i].value().size, item.bytes.size()) << item.path;
            wanted.push_back({path, placed[i].value().revision()});
        }
        if (item.path[0] == '.') continue;
        const auto there = anna->entry(path);
        EXPECT_EQ(bool(there), item.after.has_value()) << item.path;
        if (there && item.after) {
            EXPECT_EQ(fetch(path), *item.after) << item.path;
        }
    }

    // Downloads: only the revision asked for, and never anything but a file.
    wanted.push_back({QStringLiteral("keep.txt"), QStringLiteral("bogus")});
    wanted.push_back({QStringLiteral("missing.txt"), kept.value().revision()});
    wanted.push_back({QStringLiteral("new"), kept.value().revision()});
    const auto served = anna->downloadBatch(wanted);
    ASSERT_EQ(served.size(), wanted.size());
    const QByteArray contents[] = {"alpha", "v2", ""};
    for (std::size_t i = 0; i < std::size(contents); ++i) {
        ASSERT_TRUE(served[i]) << wanted[i].path.toStdString() << ": " << served[i].failure().message.toStdString();
        EXPECT_EQ(served[i].value().bytes, contents[i]);
        EXPECT_EQ(served[i].value().entry.path, wanted[i].path);
    }
    const ServiceError refusals[] = {ServiceError::revisionMismatch, ServiceError::notFound, ServiceError::notFound};
    for (std::size_t i = 0; i < std::size(refusals); ++i) {
        const auto& refused = served[std::size(contents) + i];
        EXPECT_EQ(refused ? std::nullopt : std::optional(refused.error()), refusals[i]) << i;
    }
}

// Removals in one request: each only while the item is as it was seen, a folder only while empty.
TEST_F(HttpServiceClientTest, EachRemovalOfABatchGoesOrStaysOnItsOwn) {
    const auto seen = put(*anna, QStringLiteral("seen.txt"), "a");
    const auto stale = put(*anna, QStringLiteral("stale.txt"), "b");
    ASSERT_TRUE(seen && stale && put(*anna, QStringLiteral("stale.txt"), "b, changed", stale.value().revision()));
    ASSERT_TRUE(anna->makeFolder(QStringLiteral("empty")) && anna->makeFolder(QStringLiteral("full")));
    ASSERT_TRUE(put(*anna, QStringLiteral("full/in.txt"), "c") && put(*anna, QStringLiteral("file"), "d"));
    const struct {
        const char* path;
        std::optional<QString> revision;
        std::optional<ServiceError> refused;
        bool stays;
    } items[] = {
        {"seen.txt", seen.value().revision(), std::nullopt, false},
        {"stale.txt", stale.value().revision(), ServiceError::revisionMismatch, true},
        {"full/in.txt", QStringLiteral("bogus"), ServiceError::revisionMismatch, true},
        {"full", std::nullopt, ServiceError::notEmpty, true},
        {"file", std::nullopt, ServiceError::notEmpty, true},
        {"empty", std::nullopt, std::nullopt, false},
        {"missing", std::nullopt, ServiceError::notFound, false},
    };
    std::vector<ServiceWire::Removal> batch;
    for (const auto& item : items) batch.push_back({QString::fromLatin1(item.path), item.revision});
    const auto outcomes = anna->removeBatch(batch);
    ASSERT_EQ(outcomes.size(), std::size(items));
    for (std::size_t i = 0; i < std::size(items); ++i) {
        EXPECT_EQ(outcomes[i] ? std::nullopt : std::optional(outcomes[i].error()), items[i].refused) << items[i].path;
        EXPECT_EQ(bool(anna->entry(QString::fromLatin1(items[i].path))), items[i].stays) << items[i].path;
    }
}

class ShortTokensTest : public HttpServiceClientTest {
protected:
    QStringList serverArguments() override { return {QStringLiteral("--access-token-lifetime"), QStringLiteral("1")}; }
};

TEST_F(ShortTokensTest, AnExpiredTokenIsRenewedOnceAndARefusedRenewalEndsTheSession) {
    std::atomic<int> renewals = 0;
    int ended = 0;
    anna->setTokensChanged([&](const ServiceClient::Tokens&) { ++renewals; });
    anna->setSessionEnded([&] { ++ended; });
    const auto first = anna->tokens();
    QThread::msleep(1100);
    // Calls that meet the expired token together share one renewal.
    std::vector<std::thread> callers;
    std::atomic<int> answered = 0;
    for (int i = 0; i < 4; ++i) callers.emplace_back([&] { answered += anna->quota().isSuccess(); });
    for (auto& t : callers) t.join();
    EXPECT_EQ(answered, 4);
    EXPECT_EQ(renewals, 1);
    EXPECT_NE(anna->tokens()->accessToken, first->accessToken);
    EXPECT_EQ(anna->tokens()->refreshToken, first->refreshToken);

    auto elsewhere = client();
    elsewhere->setTokens(anna->tokens());
    ASSERT_TRUE(elsewhere->revoke());
    EXPECT_EQ(anna->account().error(), ServiceError::invalidSession);
    EXPECT_EQ(anna->quota().error(), ServiceError::invalidSession);
    EXPECT_FALSE(anna->tokens());
    EXPECT_EQ(ended, 1);
}

TEST_F(HttpServiceClientTest, OnlyATrustedCertificateIsAccepted) {
    const struct {
        QString caFile;
        QByteArray environment;
        bool trusted;
    } cases[] = {
        {{}, {}, false},
        {server->caFile(), {}, true},
        {{}, server->caFile().toUtf8(), true},
    };
    for (const auto& c : cases) {
        qputenv("ORVELLA_CA_FILE", c.environment);
        HttpServiceClient other(options(c.caFile));
        const auto tokens = other.signIn(QStringLiteral("anna"), password);
        qunsetenv("ORVELLA_CA_FILE");
        EXPECT_EQ(tokens.isSuccess(), c.trusted) << c.caFile.toStdString();
        if (c.trusted) continue;
        EXPECT_EQ(tokens.error(), ServiceError::noConnection);
        EXPECT_TRUE(tokens.failure().message.contains(QStringLiteral("certificate"))) << tokens.failure().message.toStdString();
    }
}

TEST_F(HttpServiceClientTest, ALongPollAnswersSoonAfterAChangeAndStopsWhenTold) {
    const auto start = anna->changes({}, 0ms);
    ASSERT_TRUE(start);
    auto other = client();
    ASSERT_TRUE(other->signIn(QStringLiteral("anna"), password));
    std::thread writer([&] {
        QThread::msleep(300);
        (void)other->makeFolder(QStringLiteral("New"));
    });
    QElapsedTimer clock;
    clock.start();
    const auto changed = anna->changes(start.value().cursor, 20s);
    writer.join();
    ASSERT_TRUE(changed) << changed.failure().message.toStdString();
    EXPECT_TRUE(changed.value().paths.contains(QStringLiteral("New"))) << changed.value().paths.join(u' ').toStdString();
    EXPECT_LT(clock.elapsed(), 5000);

    std::stop_source stop;
    std::thread stopper([&] {
        QThread::msleep(200);
        stop.request_stop();
    });
    clock.restart();
    EXPECT_EQ(anna->changes(changed.value().cursor, 20s, stop.get_token()).error(), ServiceError::timeout);
    stopper.join();
    EXPECT_LT(clock.elapsed(), 2000);
}

TEST_F(HttpServiceClientTest, SharesAndBackupsTravelBothWays) {
    ASSERT_TRUE(put(*anna, QStringLiteral("p.txt"), "shared"));
    EXPECT_FALSE(anna->share(QStringLiteral("p.txt")).value());
    ASSERT_TRUE(anna->createShare(QStringLiteral("p.txt")));
    ServiceShareChanges changes;
    changes.maxDownloads = 3;
    EXPECT_EQ(anna->updateShare(QStringLiteral("p.txt"), changes).value().maxDownloads, 3);
    EXPECT_TRUE(anna->addRecipients(QStringLiteral("p.txt"), {QStringLiteral("x@y.org")}));
    EXPECT_EQ(anna->shares().value().size(), 1u);
    EXPECT_TRUE(anna->removeShare(QStringLiteral("p.txt")));
    EXPECT_FALSE(anna->share(QStringLiteral("p.txt")).value());

    const auto record = anna->beginBackup({QStringLiteral("Mine"), QStringLiteral("dev1"), QStringLiteral("Laptop"), QStringLiteral("Linux")});
    ASSERT_TRUE(record);
    const QString id = record.value().identifier;
    LocalFile picture("picture bytes");
    const QDateTime when = QDateTime::fromString(QStringLiteral("2024-05-01T10:00:00.000Z"), Qt::ISODateWithMs);
    ASSERT_TRUE(anna->storeBackupItem(id, ServiceBackupCategory::images, QStringLiteral("2024/p.jpg"), when, picture.fd(), 13));
    EXPECT_EQ(anna->backupItems(id).value().front().modified, when);
    QByteArray content;
    EXPECT_TRUE(anna->backupItemContent(id, ServiceBackupCategory::images, QStringLiteral("2024/p.jpg"), [&](const char* d, std::size_t n) {
        return content.append(d, qsizetype(n)), true;
    }));
    EXPECT_EQ(content, "picture bytes");
    EXPECT_EQ(anna->finishBackup(id, {true, {}}).value().itemCounts.images, 1u);
    EXPECT_EQ(anna->backups().value().size(), 1u);
    EXPECT_TRUE(anna->removeBackupItem(id, ServiceBackupCategory::images, QStringLiteral("2024/p.jpg")));
    EXPECT_TRUE(anna->backupItems(id).value().empty());
}

}  // namespace
