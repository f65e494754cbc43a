#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <fcntl.h>
#include <unistd.h>

#include "service/EmbeddedServiceClient.h"

namespace {

class EmbeddedServiceClientTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        service = std::make_shared<StorageService>(dir_.filePath(QStringLiteral("service")));
        ASSERT_TRUE(service->ensureCreated());
        ASSERT_TRUE(service->createAccount(QStringLiteral("anna"), QStringLiteral("anna@example.com"), QStringLiteral("Secret-123")));
        client = std::make_unique<EmbeddedServiceClient>(service);
        ASSERT_TRUE(client->signIn(QStringLiteral("anna"), QStringLiteral("Secret-123")));
    }
    void TearDown() override {
        client.reset();
        service.reset();
    }

    QString remote(const QString& path) const { return service->homeFolder(QStringLiteral("anna")) + u'/' + path; }
    static void write(const QString& path, const QByteArray& bytes) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    static QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // A local file to upload from, open for reading.
    int source(const QByteArray& bytes) {
        const QString path = dir_.filePath(QStringLiteral("source-%1").arg(++sources_));
        write(path, bytes);
        fds_.emplace_back(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
        return fds_.back().get();
    }
    static ServiceWire::UploadRequest request(const QString& path, const QByteArray& bytes, std::optional<QString> revision) {
        return {path, bytes.size(), QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()),
                1'600'000'000'000'000'000, std::move(revision)};
    }

    std::shared_ptr<StorageService> service;
    std::unique_ptr<EmbeddedServiceClient> client;

private:
    QTemporaryDir dir_;
    int sources_ = 0;
    std::vector<UniqueFd> fds_;
};

// A change that names the revision seen before someone else rewrote the file must leave the
// rewritten file alone, wherever it comes from.
TEST_F(EmbeddedServiceClientTest, aStaleRevisionChangesNothing) {
    struct Case {
        const char* name;
        std::function<ServiceError(const QString& staleRevision)> change;
    };
    const QByteArray replacement("my new text");
    const std::vector<Case> cases{
        {"remove", [this](const QString& rev) { return client->remove(QStringLiteral("a.txt"), rev).error(); }},
        {"move",
         [this](const QString& rev) {
             return client->move({QStringLiteral("a.txt"), QStringLiteral("b.txt"), rev}).error();
         }},
        {"createUpload",
         [&](const QString& rev) {
             return client->createUpload(request(QStringLiteral("a.txt"), replacement, rev)).error();
         }},
        {"upload",
         [&](const QString& rev) {
             return client->upload(request(QStringLiteral("a.txt"), replacement, rev), source(replacement)).error();
         }},
        {"upload without revision",
         [&](const QString&) {
             return client->upload(request(QStringLiteral("a.txt"), replacement, std::nullopt), source(replacement)).error();
         }},
    };
    const std::map<std::string, ServiceError> expected{{"upload without revision", ServiceError::exists}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        write(remote(QStringLiteral("a.txt")), "old");
        const auto seen = client->entry(QStringLiteral("a.txt"));
        ASSERT_TRUE(seen);
        write(remote(QStringLiteral("a.txt")), "theirs, newer");
        const auto it = expected.find(c.name);
        EXPECT_EQ(c.change(seen.value().revision()), it == expected.end() ? ServiceError::revisionMismatch : it->second);
        EXPECT_EQ(read(remote(QStringLiteral("a.txt"))), QByteArray("theirs, newer"));
        EXPECT_FALSE(QFile::exists(remote(QStringLiteral("b.txt"))));
    }
}

TEST_F(EmbeddedServiceClientTest, anUploadAppearsOnlyWhenCommittedWhole) {
    const QByteArray bytes("the whole file");
    const int fd = source(bytes);
    auto created = client->createUpload(request(QStringLiteral("new.txt"), bytes, std::nullopt));
    ASSERT_TRUE(created);
    const QString id = created.value().id;
    ASSERT_TRUE(client->putChunk(id, fd, 0, 4, bytes.size()));
    EXPECT_EQ(client->commitUpload(id).error(), ServiceError::uploadOffset);
    // A chunk that does not start where the upload stands would leave a hole.
    EXPECT_EQ(client->putChunk(id, fd, 8, 4, bytes.size()).error(), ServiceError::uploadOffset);
    auto rest = client->putChunk(id, fd, 4, bytes.size() - 4, bytes.size());
    ASSERT_TRUE(rest);
    EXPECT_EQ(rest.value().offset, bytes.size());
    EXPECT_EQ(client->entry(QStringLiteral("new.txt")).error(), ServiceError::notFound);
    ASSERT_TRUE(client->commitUpload(id));
    EXPECT_EQ(read(remote(QStringLiteral("new.txt"))), bytes);

    // Bytes that are not the announced ones never reach the tree.
    auto wrong = client->upload(request(QStringLiteral("other.txt"), bytes, std::nullopt), source("something else!"));
    EXPECT_EQ(wrong.error(), ServiceError::hashMismatch);
    EXPECT_FALSE(QFile::exists(remote(QStringLiteral("other.txt"))));
}

TEST_F(EmbeddedServiceClientTest, anEndedSessionIsToldOnceAndDropsTheTokens) {
    int ended = 0;
    client->setSessionEnded([&] { ++ended; });
    ASSERT_TRUE(service->revokeSession(client->tokens()->accessToken));
    EXPECT_EQ(client->quota().error(), ServiceError::invalidSession);
    EXPECT_EQ(client->entry(QString()).error(), ServiceError::invalidSession);
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(client->tokens());
}

TEST_F(EmbeddedServiceClientTest, aFolderListsToTheDepthAskedFor) {
    ASSERT_TRUE(QDir().mkpath(remote(QStringLiteral("a/b/c"))));
    write(remote(QStringLiteral("a/f.txt")), "x");
    QStringList listed;
    ASSERT_TRUE(client->tree(QStringLiteral("a"), [&](const ServiceEntry& e) { listed << e.path; return true; }, 1));
    EXPECT_EQ(listed, QStringList({QStringLiteral("a"), QStringLiteral("a/b"), QStringLiteral("a/f.txt")}));
}

}  // namespace
