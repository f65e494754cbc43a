// The remote tree as a service client serves it: what each refusal means to the engine, the bytes
// both ways, and the engine syncing through it.
#include "SyncTestSupport.h"

#include <sys/stat.h>
#include <QRandomGenerator>

#include <QDeadlineTimer>
#include <QDirIterator>
#include <QThread>

#include <functional>
#include <thread>
#include <iostream>
#include <variant>

#include "frameworks/net/HttpServiceClient.h"
#include "frameworks/sync/ServiceRemoteTree.h"
#include "service/EmbeddedServiceClient.h"
#include "support/FaultProxy.h"
#include "support/ServiceProcess.h"

namespace {

namespace fs = SyncFileSystem;
using Tree = std::map<QString, QByteArray>;

class ServiceRemoteTreeTest : public EngineFixture {
public:
    void SetUp() override {
        EngineFixture::SetUp();
        ASSERT_TRUE(service->createAccount(QStringLiteral("alice"), QStringLiteral("alice@example.org"),
                                           QStringLiteral("password1")));
        // Small chunks, so that an upload takes several.
        client = std::make_shared<EmbeddedServiceClient>(service, ServiceWire::ChunkSizes{64 * 1024, 64 * 1024, 64 * 1024});
        ASSERT_TRUE(client->signIn(QStringLiteral("alice"), QStringLiteral("password1")));
        remoteTree = std::make_shared<ServiceRemoteTree>(client);
    }

    FsEntry seen(const QString& path) { return remoteTree->stat(path).value_or(FsEntry{}); }
    // The local file as it is now unless the engine saw another version.
    fs::TransferResult upload(const QString& localName, const QString& target, const std::optional<FsEntry>& expected,
                              std::optional<FsEntry> source = std::nullopt) {
        fs::FolderHandles handles(4);
        fs::FolderLookup folders(handles);
        if (!source) source = fs::stat(local(localName));
        return remoteTree->upload(folders, localRoot, localName, *source, target, expected, cancel, {});
    }
    fs::TransferResult download(const QString& source, const FsEntry& expected, const QString& localName,
                                const std::optional<FsEntry>& replacing = std::nullopt) {
        fs::FolderHandles handles(4);
        fs::FolderLookup folders(handles);
        return remoteTree->download(folders, source, expected, localRoot, localName, replacing, cancel, {});
    }

    // A client of a server on the network, started here, with alice's account made on it.
    static std::shared_ptr<HttpServiceClient> signedUpOver(ServiceProcess& server) {
        EXPECT_TRUE(server.start()) << server.lastError().toStdString();
        HttpServiceClient::Options options;
        options.baseUrl = QUrl(server.baseUrl());
        options.caFile = server.caFile();
        auto http = std::make_shared<HttpServiceClient>(options);
        EXPECT_TRUE(http->createAccount({QStringLiteral("alice"), QStringLiteral("alice@example.org"), QStringLiteral("password1")}));
        return http;
    }

    std::shared_ptr<EmbeddedServiceClient> client;
    std::shared_ptr<ServiceRemoteTree> remoteTree;
    std::atomic<bool> cancel{false};
};

QByteArray randomBytes(qsizetype size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (char& byte : bytes) byte = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

using Answer = std::variant<int, fs::Outcome>;
struct Refusal {
    const char* name;
    std::function<Answer(ServiceRemoteTreeTest&)> act;
    Answer expected;
    Tree remoteAfter;
};

TEST_F(ServiceRemoteTreeTest, RefusalsKeepWhatTheEngineHasNotSeen) {
    const Tree before{{"a.txt", "one"}, {"d", "/"}, {"d/x.txt", "x"}, {"e", "/"}};
    const Tree changed{{"a.txt", "changed"}, {"d", "/"}, {"d/x.txt", "x"}, {"e", "/"}};
    const Tree withoutA{{"d", "/"}, {"d/x.txt", "x"}, {"e", "/"}};
    using T = ServiceRemoteTreeTest;
    const auto changeA = [](T& t) { t.write(t.remote("a.txt"), "changed"); };
    const auto away = [](T& t) { t.service->setReachable(false); };
    const std::vector<Refusal> cases{
        {"removeStaleFile", [&](T& t) { const auto e = t.seen("a.txt"); changeA(t); return Answer(t.remoteTree->removeFile("a.txt", e)); }, ESTALE, changed},
        {"removeGoneFile", [](T& t) { const auto e = t.seen("a.txt"); QFile::remove(t.remote("a.txt")); return Answer(t.remoteTree->removeFile("a.txt", e)); }, 0, withoutA},
        {"removeFullFolder", [](T& t) { return Answer(t.remoteTree->removeFolder("d")); }, ENOTEMPTY, before},
        {"removeGoneFolder", [](T& t) { return Answer(t.remoteTree->removeFolder("gone")); }, 0, before},
        {"moveStale", [&](T& t) { const auto e = t.seen("a.txt"); changeA(t); return Answer(t.remoteTree->move("a.txt", "b.txt", e)); }, ESTALE, changed},
        {"moveOntoAnother", [](T& t) { return Answer(t.remoteTree->move("a.txt", "d/x.txt", t.seen("a.txt"))); }, EEXIST, before},
        {"moveGone", [](T& t) { const auto e = t.seen("a.txt"); QFile::remove(t.remote("a.txt")); return Answer(t.remoteTree->move("a.txt", "b.txt", e)); }, ENOENT, withoutA},
        {"uploadOverStale", [&](T& t) { const auto e = t.seen("a.txt"); changeA(t); return Answer(t.upload("l.txt", "a.txt", e).outcome); }, fs::Outcome::targetChanged, changed},
        {"uploadOverUnseen", [](T& t) { return Answer(t.upload("l.txt", "a.txt", std::nullopt).outcome); }, fs::Outcome::targetChanged, before},
        {"uploadChangedSource", [](T& t) {
             const auto e = fs::stat(t.local("l.txt"));
             t.write(t.local("l.txt"), "local!");
             const auto outcome = t.upload("l.txt", "new.txt", std::nullopt, e).outcome;
             t.write(t.local("l.txt"), "local");
             return Answer(outcome);
         }, fs::Outcome::sourceChanged, before},
        {"downloadStale", [&](T& t) { const auto e = t.seen("a.txt"); changeA(t); return Answer(t.download("a.txt", e, "got.txt").outcome); }, fs::Outcome::sourceChanged, changed},
        // A service that cannot be reached: nothing reads as gone, nothing changes.
        {"statAway", [&](T& t) { int error = 0; away(t); t.remoteTree->stat("a.txt", &error); return Answer(error); }, ENOTCONN, before},
        {"removeFileAway", [&](T& t) { const auto e = t.seen("a.txt"); away(t); return Answer(t.remoteTree->removeFile("a.txt", e)); }, ENOTCONN, before},
        {"removeFolderAway", [&](T& t) { away(t); return Answer(t.remoteTree->removeFolder("e")); }, ENOTCONN, before},
        {"scanAway", [&](T& t) {
             FileTree tree;
             fs::Unreadable unknown;
             away(t);
             const int error = t.remoteTree->scan("d", tree, unknown, nullptr, {});
             return Answer(unknown.count("d") ? error : -1);
         }, ENOTCONN, before},
        {"uploadAway", [&](T& t) { away(t); return Answer(t.upload("l.txt", "new.txt", std::nullopt).outcome); }, fs::Outcome::failed, before},
        {"downloadAway", [&](T& t) { const auto e = t.seen("a.txt"); away(t); return Answer(t.download("a.txt", e, "got.txt").outcome); }, fs::Outcome::failed, before},
    };
    write(local("l.txt"), "local");
    for (const Refusal& c : cases) {
        SCOPED_TRACE(c.name);
        for (const auto& [path, content] : tree(remoteRoot)) removeTree(remote(path));
        write(remote("a.txt"), "one");
        write(remote("d/x.txt"), "x");
        ASSERT_TRUE(QDir().mkpath(remote("e")));
        const Answer answer = c.act(*this);
        service->setReachable(true);
        EXPECT_TRUE(answer == c.expected) << "errno " << (std::holds_alternative<int>(answer) ? std::get<int>(answer) : -1);
        EXPECT_EQ(tree(remoteRoot), c.remoteAfter);
        EXPECT_EQ(tree(localRoot), (Tree{{"l.txt", "local"}}));
    }
}

// Small files of a folder go in one batch, here and across the network: each one's outcome is its
// own, and what changed on either side since the engine looked is never overwritten.
TEST_F(ServiceRemoteTreeTest, EachFileOfABatchEndsOnItsOwn) {
    ServiceProcess server(ServiceProcess::Options{{}, true, {}});
    std::shared_ptr<HttpServiceClient> http;
    ASSERT_NO_FATAL_FAILURE(http = signedUpOver(server));
    const QString networkRoot = server.home(QStringLiteral("alice"));
    const std::pair<std::shared_ptr<ServiceClient>, QString> sides[] = {{client, remoteRoot}, {http, networkRoot}};
    for (const auto& [service, root] : sides) {
        SCOPED_TRACE(root.toStdString());
        ServiceRemoteTree tree(service);
        for (const QString& folder : {localRoot, root}) {
            removeTree(folder);
            ASSERT_TRUE(QDir().mkpath(folder));
        }
        const auto at = [&](const char* name) { return root + u'/' + QLatin1String(name); };
        write(local("new.txt"), "new");
        write(local("over.txt"), "mine");
        write(at("over.txt"), "theirs");
        write(local("edited.txt"), "seen");
        write(at("gone.txt"), "remote");
        write(at("get.txt"), "fetched");
        const auto localSeen = [&](const char* name) { return fs::stat(local(QLatin1String(name))).value(); };
        const auto remoteSeen = [&](const char* name) { return tree.stat(QLatin1String(name)).value(); };
        std::vector<RemoteTree::Transfer> transfers{
            {"new.txt", true, localRoot, localSeen("new.txt"), std::nullopt, {}},
            {"over.txt", true, localRoot, localSeen("over.txt"), remoteSeen("over.txt"), {}},
            {"edited.txt", true, localRoot, localSeen("edited.txt"), std::nullopt, {}},
            {"gone.txt", false, localRoot, remoteSeen("gone.txt"), std::nullopt, {}},
            {"get.txt", false, localRoot, remoteSeen("get.txt"), std::nullopt, {}},
        };
        // Changed since the engine looked: the remote target, the local source, the remote source.
        write(at("over.txt"), "theirs, changed");
        write(local("edited.txt"), "edited since");
        write(at("gone.txt"), "remote, changed");
        std::vector<RemoteTree::Transfer*> batch;
        for (auto& t : transfers) batch.push_back(&t);
        fs::FolderHandles handles(4);
        fs::FolderLookup folders(handles);
        tree.transferAll(batch, folders, cancel, {});
        const fs::Outcome outcomes[] = {fs::Outcome::done, fs::Outcome::targetChanged, fs::Outcome::sourceChanged,
                                        fs::Outcome::sourceChanged, fs::Outcome::done};
        for (std::size_t i = 0; i < transfers.size(); ++i)
            EXPECT_EQ(int(transfers[i].result.outcome), int(outcomes[i])) << transfers[i].path.toStdString();
        EXPECT_EQ(this->tree(root), (Tree{{"new.txt", "new"}, {"over.txt", "theirs, changed"}, {"gone.txt", "remote, changed"},
                                          {"get.txt", "fetched"}}));
        EXPECT_EQ(this->tree(localRoot), (Tree{{"new.txt", "new"}, {"over.txt", "mine"}, {"edited.txt", "edited since"},
                                               {"get.txt", "fetched"}}));
    }
    if (HasFailure()) std::cerr << server.log().toStdString();
}

TEST_F(ServiceRemoteTreeTest, BytesGoBothWaysUnchanged) {
    const QByteArray content = randomBytes(300 * 1024 + 7);
    write(local("big.bin"), content);
    const auto uploaded = upload("big.bin", "sub/big.bin", std::nullopt);
    ASSERT_EQ(uploaded.outcome, fs::Outcome::done);
    EXPECT_EQ(read(remote("sub/big.bin")), content);
    EXPECT_EQ(uploaded.written, seen("sub/big.bin")) << "the engine keeps the revision it wrote";
    EXPECT_EQ(uploaded.written.mtimeNs, fs::stat(local("big.bin"))->mtimeNs);
    EXPECT_TRUE(remoteTree->sameContent(local("big.bin"), "sub/big.bin"));

    const auto downloaded = download("sub/big.bin", uploaded.written, "back.bin");
    ASSERT_EQ(downloaded.outcome, fs::Outcome::done);
    EXPECT_EQ(read(local("back.bin")), content);
    EXPECT_EQ(downloaded.written.mtimeNs, uploaded.written.mtimeNs);
    // An owner-only copy on the server makes no owner-only file here; a file this side keeps its mode.
    ::chmod(QFile::encodeName(remote("sub/big.bin")).constData(), 0600);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(fs::stat(local("back.bin"))->mode & 0777, 0666 & ~mask);
    ::chmod(QFile::encodeName(local("back.bin")).constData(), 0640);
    const auto again = download("sub/big.bin", seen("sub/big.bin"), "back.bin", fs::stat(local("back.bin")));
    ASSERT_EQ(again.outcome, fs::Outcome::done);
    EXPECT_EQ(fs::stat(local("back.bin"))->mode & 0777, 0640u);

    QByteArray other = content;
    other[other.size() / 2] = char(other[other.size() / 2] ^ 1);
    write(local("other.bin"), other);
    EXPECT_FALSE(remoteTree->sameContent(local("other.bin"), "sub/big.bin")) << "same size, other bytes";

    write(local("big.bin"), "replaced");
    const auto replaced = upload("big.bin", "sub/big.bin", uploaded.written);
    ASSERT_EQ(replaced.outcome, fs::Outcome::done) << "over the version the engine saw";
    EXPECT_EQ(read(remote("sub/big.bin")), "replaced");
}

// Syncs a few files and folders both ways through `through`, whose user's tree is `home` on disk.
void syncBothWays(ServiceRemoteTreeTest& t, std::shared_ptr<ServiceClient> through, const QString& home) {
    t.remoteRoot = home;
    t.engine = std::make_unique<OrvellaSyncEngine>(t.configuration(), std::make_shared<ServiceRemoteTree>(std::move(through)),
                                                   t.dataFolder, OrvellaSyncEngine::Options{t.pollMs, t.longPollMs, t.compactAfterIdleMs});
    ASSERT_TRUE(t.waitUpToDate());
    const auto converged = [&] {
        return TestEnvironment::waitUntil([&] { return t.tree(t.localRoot) == t.tree(home); }, 10000) && t.waitUpToDate();
    };
    t.write(t.local("a.txt"), "local a");
    t.write(t.local("L/inner/b.txt"), "local b");
    t.engine->directoryAdded(t.local("L"));
    t.engine->fileChanged(t.local("a.txt"));
    t.write(t.remote("r.txt"), "remote r");
    t.write(t.remote("R/s.txt"), "remote s");
    ASSERT_TRUE(converged());
    EXPECT_EQ(t.tree(t.localRoot).size(), 7u);

    t.write(t.local("a.txt"), "local a, changed");
    t.engine->fileChanged(t.local("a.txt"));
    t.write(t.remote("r.txt"), "remote r, changed");
    QDir(t.local("L")).removeRecursively();
    t.engine->itemDeleted(t.local("L"));
    t.removeTree(t.remote("R"));
    ASSERT_TRUE(converged());
    EXPECT_EQ(t.tree(home), (Tree{{"a.txt", "local a, changed"}, {"r.txt", "remote r, changed"}}));
}

TEST_F(ServiceRemoteTreeTest, TheEngineSyncsBothWaysThroughTheService) { syncBothWays(*this, client, remoteRoot); }

TEST_F(ServiceRemoteTreeTest, TheEngineSyncsBothWaysThroughAServerOnTheNetwork) {
    ServiceProcess server(ServiceProcess::Options{{}, true, {}});
    std::shared_ptr<HttpServiceClient> http;
    ASSERT_NO_FATAL_FAILURE(http = signedUpOver(server));
    ASSERT_TRUE(http->signIn(QStringLiteral("alice"), QStringLiteral("password1")));
    syncBothWays(*this, http, server.home(QStringLiteral("alice")));
    engine.reset();  // before the server goes
    if (HasFailure()) std::cerr << server.log().toStdString();
}

TEST_F(ServiceRemoteTreeTest, AnUploadCutOffGoesOnAtTheNextTryUnlessTheFileChanged) {
    using namespace std::chrono_literals;
    ServiceProcess server;
    ASSERT_TRUE(server.start()) << server.lastError().toStdString();
    FaultProxy proxy(server.port());
    ASSERT_TRUE(proxy.start());
    HttpServiceClient::Options options;
    options.baseUrl = QUrl(proxy.baseUrl());
    options.maximumAttempts = 2;
    options.firstBackoff = 20ms;
    options.maximumBackoff = 50ms;
    auto http = std::make_shared<HttpServiceClient>(options);
    ASSERT_TRUE(http->createAccount({QStringLiteral("alice"), QStringLiteral("alice@example.org"), QStringLiteral("password1")}));
    remoteTree = std::make_shared<ServiceRemoteTree>(http);
    const qsizetype chunk = qsizetype(http->chunkSizes().value().chunkSize);
    const auto partBytes = [&] {
        QDirIterator it(server.root() + QStringLiteral("/uploads"), {QStringLiteral("*.part")}, QDir::Files, QDirIterator::Subdirectories);
        qint64 bytes = 0;
        while (it.hasNext()) bytes = std::max(bytes, QFileInfo(it.next()).size());
        return bytes;
    };
    // The line goes away once the first chunk is in, until the upload gave up.
    const auto cutOff = [&](const QString& name) {
        fs::TransferResult result;
        std::thread uploader([&] { result = upload(name, name, std::nullopt); });
        QDeadlineTimer deadline(10000);
        while (partBytes() < chunk && !deadline.hasExpired()) QThread::msleep(2);
        proxy.refuseFor(60s);
        proxy.cutAfter(1);
        uploader.join();
        proxy.refuseFor(0ms);
        proxy.cutAfter(0);
        return result;
    };
    const QByteArray one = randomBytes(3 * chunk);
    write(local("one.bin"), one);
    EXPECT_EQ(cutOff("one.bin").error, ENOTCONN);
    EXPECT_EQ(upload("one.bin", "one.bin", std::nullopt).outcome, fs::Outcome::done);
    EXPECT_EQ(server.log().count("POST /2.1/uploads "), 1) << "the second try went on with the first upload";

    write(local("two.bin"), randomBytes(3 * chunk));
    EXPECT_EQ(cutOff("two.bin").error, ENOTCONN);
    const QByteArray two = randomBytes(2 * chunk + 1);
    write(local("two.bin"), two);
    EXPECT_EQ(upload("two.bin", "two.bin", std::nullopt).outcome, fs::Outcome::done);
    EXPECT_EQ(server.log().count("POST /2.1/uploads "), 3) << "a changed file is uploaded anew";
    EXPECT_EQ(server.log().count("DELETE /2.1/uploads/"), 1) << "and the upload of its old version dropped";
    EXPECT_EQ(read(server.home(QStringLiteral("alice")) + QStringLiteral("/one.bin")), one);
    EXPECT_EQ(read(server.home(QStringLiteral("alice")) + QStringLiteral("/two.bin")), two);
    EXPECT_EQ(partBytes(), 0);
    if (HasFailure()) std::cerr << server.log().toStdString();
}

}  // namespace
