// A session reaches its own tree and nothing else; requests are bounded in size and time; sign-ins
// are rate-limited; the server's files and keys are the owner's alone.
#include "ServerTestSupport.h"

#include <QDirIterator>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

#include "server/SignInLimiter.h"

namespace {

using namespace ServerTest;
using Headers = QList<QPair<QByteArray, QByteArray>>;

const QByteArray rootSecret = "the root's sentinel";
const QByteArray bobSecret = "bob's secret";
const QString modified = QStringLiteral("2024-05-01T10%3A00%3A00.000Z");

QByteArray json(const QJsonObject& object) { return ServiceWire::toBytes(object); }
QByteArray pathBody(const QString& path) { return json(ServiceWire::encodePathBody(path)); }

class SecurityTest : public ServerFixture {
protected:
    void SetUp() override {
        ServerFixture::SetUp();
        bob = std::make_unique<Client>(server->baseUrl(), server->caFile());
        bob->signUp(QStringLiteral("bob"));
        ASSERT_EQ(bob->upload(QStringLiteral("secret.txt"), bobSecret).status, 201);
        ASSERT_EQ(anna->upload(QStringLiteral("ok.txt"), "anna's").status, 201);
        QFile sentinel(server->root() + QStringLiteral("/sentinel.txt"));
        ASSERT_TRUE(sentinel.open(QIODevice::WriteOnly));
        sentinel.write(rootSecret);
        sentinel.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        sentinel.close();
        before = outsideAnna();
    }

    // What anna must never change: the root's own items (by name) and the sentinel, and bob's tree.
    std::map<QString, QByteArray> outsideAnna() const {
        std::map<QString, QByteArray> seen;
        for (const QString& name : QDir(server->root()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden))
            seen[name] = {};
        QFile sentinel(server->root() + QStringLiteral("/sentinel.txt"));
        seen[QStringLiteral("sentinel.txt")] = sentinel.open(QIODevice::ReadOnly) ? sentinel.readAll() : "gone";
        QDirIterator it(server->home(QStringLiteral("bob")), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            seen[QStringLiteral("bob/") + it.fileName()] = file.open(QIODevice::ReadOnly) ? file.readAll() : "/";
        }
        return seen;
    }
    // The reply, checked to carry nothing of the sentinels.
    Reply send(const QByteArray& method, const QString& target, const QByteArray& body = {}, const Headers& headers = {}) {
        Reply reply = anna->send(method, target, body, headers);
        EXPECT_FALSE(reply.body.contains(rootSecret) || reply.body.contains(bobSecret)) << target.toStdString();
        return reply;
    }
    QString backupItems() {
        const Reply begun = anna->post(QStringLiteral("/2.1/backups"), ServiceWire::encode(ServiceWire::BackupStart{
                                                                          QStringLiteral("Mine"), QStringLiteral("dev1"), QStringLiteral("Laptop"), QStringLiteral("Linux")}));
        EXPECT_EQ(begun.status, 200);
        return QStringLiteral("/2.1/backups/") + begun.json().value(QStringLiteral("identifier")).toString() + QStringLiteral("/items");
    }

    std::unique_ptr<Client> bob;
    std::map<QString, QByteArray> before;
};

TEST_F(SecurityTest, NoPathOfAnyRouteReachesOutsideTheUsersTree) {
    QByteArray longPath;
    while (longPath.size() <= ServiceWire::maximumPathBytes) longPath += QByteArray(200, 'p') + '/';
    // As they stand in a query; the JSON bodies carry them decoded.
    const QByteArray refused[] = {
        "..", "../bob/secret.txt", "..%2Fbob%2Fsecret.txt", "a/../../sentinel.txt", "%2e%2e", "%2E%2E/sentinel.txt",
        "a%252Fb", "..%252F..%252Fsentinel.txt", "..%255C..%255Csentinel.txt", "/etc/passwd", "%2Fetc%2Fpasswd", "a%00b",
        "./ok.txt", "ok.txt/.", "a//b", QByteArray(ServiceWire::maximumNameBytes + 1, 'n'), longPath + "x",
    };
    const QString okRev = anna->entry(QStringLiteral("ok.txt")).revision();
    const QString items = backupItems();
    before = outsideAnna();  // with the backups' folder
    for (const QByteArray& wire : refused) {
        const QString path = ServiceWire::percentDecode(wire).value_or(QString());
        const QString query = QStringLiteral("?path=") + QString::fromLatin1(wire);
        const struct {
            QByteArray method;
            QString target;
            QByteArray body;
            Headers headers;
        } routes[] = {
            {"GET", QStringLiteral("/2.1/entry") + query, {}, {}},
            {"GET", QStringLiteral("/2.1/content") + query, {}, {}},
            {"GET", QStringLiteral("/2.1/tree") + query, {}, {}},
            {"DELETE", QStringLiteral("/2.1/entry") + query, {}, {{"If-Match", ServiceWire::ifMatch(okRev)}}},
            {"POST", QStringLiteral("/2.1/folders"), pathBody(path), {}},
            {"POST", QStringLiteral("/2.1/move"), json(ServiceWire::encode(ServiceWire::MoveRequest{QStringLiteral("ok.txt"), path, okRev})), {}},
            {"POST", QStringLiteral("/2.1/move"), json(ServiceWire::encode(ServiceWire::MoveRequest{path, QStringLiteral("moved.txt"), okRev})), {}},
            {"POST", QStringLiteral("/2.1/uploads"), json(ServiceWire::encode(Client::uploadRequest(path, "x"))), {}},
            {"POST", QStringLiteral("/2.1/shares"), pathBody(path), {}},
            {"GET", QStringLiteral("/2.1/shares/item") + query, {}, {}},
            {"PUT", items + QStringLiteral("?category=images&modified=") + modified + QStringLiteral("&path=") + QString::fromLatin1(wire), "x", {}},
            {"GET", items + QStringLiteral("/content?category=images&path=") + QString::fromLatin1(wire), {}, {}},
        };
        for (const auto& route : routes) {
            const Reply reply = send(route.method, route.target, route.body, route.headers);
            EXPECT_EQ(reply.status, 400) << route.method.toStdString() << ' ' << route.target.left(200).toStdString() << ' '
                                         << reply.body.toStdString();
            EXPECT_EQ(reply.code(), QStringLiteral("invalidPath")) << route.method.toStdString() << ' ' << route.target.left(200).toStdString();
        }
    }
    // A backslash is a character of a name here, not a separator: it names an item of the tree.
    EXPECT_EQ(anna->upload(QStringLiteral("..\\..\\sentinel.txt"), "x").status, 201);
    EXPECT_TRUE(QFileInfo(server->home(QStringLiteral("anna")) + QStringLiteral("/..\\..\\sentinel.txt")).isFile());
    EXPECT_EQ(anna->entry(QStringLiteral("ok.txt")).revision(), okRev);
    EXPECT_EQ(outsideAnna(), before);
}

TEST_F(SecurityTest, ALinkInTheTreeIsListedButNeverFollowed) {
    const QString home = server->home(QStringLiteral("anna"));
    const QString bobHome = server->home(QStringLiteral("bob"));
    const struct {
        const char* name;
        QString target;
    } links[] = {
        {"outFolder", server->root()},
        {"outFile", server->root() + QStringLiteral("/sentinel.txt")},
        {"bobFile", bobHome + QStringLiteral("/secret.txt")},
        {"bobFolder", bobHome},
        {"relative", QStringLiteral("../bob")},
    };
    for (const auto& link : links)
        ASSERT_EQ(::symlink(QFile::encodeName(link.target).constData(), QFile::encodeName(home + u'/' + QLatin1String(link.name)).constData()), 0);
    for (const auto& entry : anna->tree()) {
        const QString top = entry.path.section(u'/', 0, 0);
        if (top.isEmpty() || top == QStringLiteral("ok.txt")) continue;
        EXPECT_EQ(entry.path, top) << "nothing is listed below a link";
        EXPECT_EQ(entry.type, ServiceEntry::Type::other) << entry.path.toStdString();
    }
    EXPECT_EQ(anna->tree(QStringLiteral("bobFolder")).size(), 1u);

    const QString okRev = anna->entry(QStringLiteral("ok.txt")).revision();
    const QString bobRev = bob->entry(QStringLiteral("secret.txt")).revision();
    const auto move = [&](const QString& to) { return json(ServiceWire::encode(ServiceWire::MoveRequest{QStringLiteral("ok.txt"), to, okRev})); };
    const auto upload = [](const QString& path, std::optional<QString> rev = std::nullopt) {
        return json(ServiceWire::encode(Client::uploadRequest(path, "overwritten", std::move(rev))));
    };
    const struct {
        QByteArray method;
        QString target;
        QByteArray body;
        Headers headers;
        int status;
    } cases[] = {
        {"GET", QStringLiteral("/2.1/content?path=outFile"), {}, {}, 404},
        {"GET", QStringLiteral("/2.1/content?path=bobFile"), {}, {}, 404},
        {"GET", QStringLiteral("/2.1/content?path=bobFolder%2Fsecret.txt"), {}, {}, 409},
        {"GET", QStringLiteral("/2.1/content?path=outFolder%2Fsentinel.txt"), {}, {}, 409},
        {"GET", QStringLiteral("/2.1/content?path=relative%2Fsecret.txt"), {}, {}, 409},
        {"GET", QStringLiteral("/2.1/entry?path=bobFolder%2Fsecret.txt"), {}, {}, 409},
        {"GET", QStringLiteral("/2.1/tree?path=bobFolder%2Fsecret.txt"), {}, {}, 409},
        {"POST", QStringLiteral("/2.1/uploads"), upload(QStringLiteral("bobFile")), {}, 409},
        {"POST", QStringLiteral("/2.1/uploads"), upload(QStringLiteral("bobFile"), anna->entry(QStringLiteral("bobFile")).revision()), {}, 409},
        {"POST", QStringLiteral("/2.1/uploads"), upload(QStringLiteral("bobFolder/secret.txt"), bobRev), {}, 409},
        {"POST", QStringLiteral("/2.1/uploads"), upload(QStringLiteral("outFolder/new.txt")), {}, 409},
        {"POST", QStringLiteral("/2.1/move"), move(QStringLiteral("bobFolder/ok.txt")), {}, 409},
        {"POST", QStringLiteral("/2.1/move"), move(QStringLiteral("outFolder/ok.txt")), {}, 409},
        {"POST", QStringLiteral("/2.1/folders"), pathBody(QStringLiteral("bobFolder/sub")), {}, 409},
        {"POST", QStringLiteral("/2.1/folders"), pathBody(QStringLiteral("relative/sub")), {}, 409},
        {"POST", QStringLiteral("/2.1/folders"), pathBody(QStringLiteral("outFolder")), {}, 409},
        {"DELETE", QStringLiteral("/2.1/entry?path=bobFolder%2Fsecret.txt"), {}, {{"If-Match", ServiceWire::ifMatch(bobRev)}}, 409},
        {"POST", QStringLiteral("/2.1/shares"), pathBody(QStringLiteral("bobFile")), {}, 404},
        {"POST", QStringLiteral("/2.1/shares"), pathBody(QStringLiteral("bobFolder/secret.txt")), {}, 404},
    };
    for (const auto& c : cases) {
        const Reply reply = send(c.method, c.target, c.body, c.headers);
        EXPECT_EQ(reply.status, c.status) << c.method.toStdString() << ' ' << c.target.toStdString() << ' ' << reply.body.toStdString();
    }

    // A link put on the way while an upload is under way does not lead its commit out either.
    const Reply made = anna->post(QStringLiteral("/2.1/uploads"), ServiceWire::encode(Client::uploadRequest(QStringLiteral("later/new.txt"), "late")));
    ASSERT_EQ(made.status, 201);
    const QString id = made.json().value(QStringLiteral("id")).toString();
    ASSERT_EQ(anna->send("PUT", QStringLiteral("/2.1/uploads/") + id, "late", {{"Content-Range", ServiceWire::contentRange(0, 3, 4)}}).status, 200);
    ASSERT_EQ(::symlink(QFile::encodeName(bobHome).constData(), QFile::encodeName(home + QStringLiteral("/later")).constData()), 0);
    EXPECT_EQ(send("POST", QStringLiteral("/2.1/uploads/") + id + QStringLiteral("/commit")).status, 409);

    // Removing or moving a link changes the link alone.
    const QString linkRev = anna->entry(QStringLiteral("bobFile")).revision();
    EXPECT_EQ(send("POST", QStringLiteral("/2.1/move"), json(ServiceWire::encode(ServiceWire::MoveRequest{QStringLiteral("bobFile"), QStringLiteral("moved"), linkRev}))).status, 200);
    EXPECT_EQ(send("DELETE", QStringLiteral("/2.1/entry?path=moved"), {}, {{"If-Match", ServiceWire::ifMatch(linkRev)}}).status, 204);
    EXPECT_FALSE(QFileInfo::exists(home + QStringLiteral("/moved")));
    EXPECT_EQ(outsideAnna(), before);
}

TEST_F(SecurityTest, OversizedRequestsAreRefusedAndTheConnectionEnds) {
    const QByteArray auth = "Authorization: Bearer " + anna->token.toLatin1() + "\r\n";
    QByteArray manyHeaders;  // none of them long
    while (manyHeaders.size() <= 20 * 1024) manyHeaders += "X-Header-" + QByteArray::number(manyHeaders.size()) + ": v\r\n";
    QByteArray overJsonLimit = "POST /2.1/folders HTTP/1.1\r\nHost: 127.0.0.1\r\n" + auth + "Transfer-Encoding: chunked\r\n\r\n";
    for (int i = 0; i < 20; ++i) overJsonLimit += "10000\r\n" + QByteArray(0x10000, ' ') + "\r\n";
    const struct {
        const char* what;
        QByteArray request;
        int status;
    } cases[] = {
        {"a header line over 16 KiB", "GET /2.1/account HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Big: " + QByteArray(17 * 1024, 'a') + "\r\n\r\n", 431},
        {"many short headers, together over 16 KiB", "GET /2.1/account HTTP/1.1\r\nHost: 127.0.0.1\r\n" + manyHeaders + "\r\n", 431},
        {"a JSON body announced over its limit", "POST /2.1/folders HTTP/1.1\r\nHost: 127.0.0.1\r\n" + auth + "Content-Length: 2000000\r\n\r\n", 413},
        {"a chunked JSON body over its limit", overJsonLimit, 413},
    };
    for (const auto& c : cases) {
        RawConnection raw(server->port());
        ASSERT_TRUE(raw.connected());
        for (qsizetype at = 0; at < c.request.size() && raw.send(c.request.mid(at, 64 * 1024)); at += 64 * 1024) {
        }
        const QByteArray answer = raw.readUntilClosed();
        EXPECT_EQ(RawConnection::statusOf(answer), c.status) << c.what << ": " << answer.left(300).toStdString();
        EXPECT_NE(raw.socket().state(), QAbstractSocket::ConnectedState) << c.what;
    }
    EXPECT_EQ(anna->get(QStringLiteral("/2.1/account")).status, 200) << "the server goes on";
}

class TrickleTest : public SecurityTest {
protected:
    ServiceProcess::Options options() override {
        return {{}, false, {QStringLiteral("--header-timeout-ms"), QStringLiteral("500"), QStringLiteral("--body-grace-ms"),
                            QStringLiteral("500"), QStringLiteral("--minimum-body-rate"), QStringLiteral("1000")}};
    }
};

TEST_F(TrickleTest, ARequestTrickledAByteAtATimeIsCutOff) {
    const QByteArray auth = "Authorization: Bearer " + anna->token.toLatin1() + "\r\n";
    const QByteArray body = pathBody(QStringLiteral("Trickled")) + QByteArray(400, ' ');
    const struct {
        const char* what;
        QByteArray whole;  // sent at once
        QByteArray trickled;  // then a byte at a time
    } cases[] = {
        {"header", {}, "GET /2.1/account HTTP/1.1\r\nHost: 127.0.0.1\r\n" + auth + "X-Pad: " + QByteArray(300, 'p') + "\r\n\r\n"},
        {"body", "POST /2.1/folders HTTP/1.1\r\nHost: 127.0.0.1\r\n" + auth + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n", body},
    };
    for (const auto& c : cases) {
        RawConnection raw(server->port());
        ASSERT_TRUE(raw.connected());
        ASSERT_TRUE(c.whole.isEmpty() || raw.send(c.whole));
        qsizetype sent = 0;
        while (sent < c.trickled.size() && raw.send(c.trickled.mid(sent, 1))) {
            ++sent;
            QThread::msleep(20);
        }
        EXPECT_LT(sent, c.trickled.size()) << c.what << ": the connection stayed open for all of it";
        EXPECT_EQ(RawConnection::statusOf(raw.readUntilClosed(2000)), 0) << c.what << ": nothing was carried out";
    }
    EXPECT_EQ(anna->get(QStringLiteral("/2.1/entry?path=Trickled")).status, 404);
}

TEST_F(SecurityTest, SignInsAreLimitedPerAccountAndPerAddress) {
    const SignInLimiter::Limits limits;  // the server's
    int attempts = 2;  // anna's and bob's accounts were made from this address
    for (int i = 0; i < limits.failuresPerAccount; ++i, ++attempts)
        EXPECT_EQ(anna->signIn(QStringLiteral("anna"), QStringLiteral("wrong password")).status, 400);
    const auto expectLimited = [](const Reply& reply, std::chrono::seconds window, const char* what) {
        EXPECT_EQ(reply.status, 429) << what;
        EXPECT_EQ(reply.code(), QStringLiteral("rateLimited")) << what;
        const int after = reply.header("Retry-After").toInt();
        EXPECT_GT(after, 0) << what;
        EXPECT_LE(after, window.count()) << what;
    };
    expectLimited(anna->signIn(QStringLiteral("anna"), password), limits.accountWindow, "the right password after too many wrong ones");
    // Another account from the same address goes on until the address has had its attempts.
    for (; attempts < limits.attemptsPerAddress; ++attempts) ASSERT_EQ(bob->signIn(QStringLiteral("bob"), password).status, 200) << attempts;
    expectLimited(bob->signIn(QStringLiteral("bob"), password), limits.addressWindow, "an account whose password is right");
    expectLimited(bob->signIn(QStringLiteral("carl"), password), limits.addressWindow, "a name never tried");
    expectLimited(bob->post(QStringLiteral("/2.1/accounts"), ServiceWire::encode(ServiceWire::NewAccount{
                                                                QStringLiteral("dora"), QStringLiteral("dora@example.org"), password})),
                  limits.addressWindow, "a new account");
    EXPECT_EQ(anna->get(QStringLiteral("/2.1/account")).status, 200) << "sessions already signed in go on";
}

void expectOwnerOnly(const QString& path) {
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &st), 0) << path.toStdString();
    EXPECT_EQ(st.st_mode & 077, 0u) << path.toStdString() << " has mode " << std::oct << (st.st_mode & 07777);
}

TEST_F(SecurityTest, EveryFileAndFolderOfTheServerIsTheOwnersAlone) {
    ASSERT_EQ(anna->upload(QStringLiteral("Deep/er/file.txt"), "bytes").status, 201);
    ASSERT_EQ(anna->upload(QStringLiteral("Deep/er/file.txt"), "again", anna->entry(QStringLiteral("Deep/er/file.txt")).revision()).status, 200);
    ASSERT_EQ(anna->post(QStringLiteral("/2.1/folders"), ServiceWire::encodePathBody(QStringLiteral("Made/Here"))).status, 201);
    ASSERT_EQ(anna->post(QStringLiteral("/2.1/move"), ServiceWire::encode(ServiceWire::MoveRequest{
                                                          QStringLiteral("ok.txt"), QStringLiteral("New/ok.txt"), anna->entry(QStringLiteral("ok.txt")).revision()}))
                  .status,
              200);
    ASSERT_EQ(anna->post(QStringLiteral("/2.1/shares"), ServiceWire::encodePathBody(QStringLiteral("New/ok.txt"))).status, 200);
    ASSERT_EQ(anna->send("PUT", backupItems() + QStringLiteral("?category=images&path=2024%2Fp.jpg&modified=") + modified, "picture").status, 200);
    const Reply unfinished = anna->post(QStringLiteral("/2.1/uploads"), ServiceWire::encode(Client::uploadRequest(QStringLiteral("part"), "0123")));
    ASSERT_EQ(unfinished.status, 201);
    ASSERT_EQ(anna->send("PUT", QStringLiteral("/2.1/uploads/") + unfinished.json().value(QStringLiteral("id")).toString(), "01",
                         {{"Content-Range", "bytes 0-1/4"}})
                  .status,
              200);
    ASSERT_EQ(anna->signIn(QStringLiteral("anna"), password).status, 200);
    ASSERT_TRUE(server->terminate()) << "it writes what it keeps as it stops";

    int checked = 0;
    expectOwnerOnly(server->root());
    QDirIterator it(server->root(), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        expectOwnerOnly(it.next());
        ++checked;
    }
    EXPECT_GT(checked, 20);
}

TEST(ServerKeyTest, AKeyReadableByOthersIsMadeOwnerOnlyOrRefused) {
    ServiceProcess server(ServiceProcess::Options{{}, true, {}});
    const QByteArray key = QFile::encodeName(server.keyFile());
    ASSERT_TRUE(ServiceProcess::makeCertificate(server.caFile(), server.keyFile()));
    ASSERT_EQ(::chmod(key.constData(), 0644), 0);
    ASSERT_TRUE(server.start()) << server.lastError().toStdString();
    expectOwnerOnly(server.keyFile());
    server.kill();

    // Another's key it cannot make owner-only: it does not start with it.
    ASSERT_EQ(::chmod(key.constData(), 0644), 0);
    if (::chown(key.constData(), 65534, 65534) != 0) GTEST_SKIP() << "only root can give the key to another owner";
    QByteArray output;
    EXPECT_EQ(ServiceProcess::runToEnd({QStringLiteral("--root"), server.tempPath(QStringLiteral("other-root")), QStringLiteral("--listen"),
                                        QStringLiteral("127.0.0.1:0"), QStringLiteral("--certificate"), server.caFile(),
                                        QStringLiteral("--key"), server.keyFile()},
                                       &output),
              2)
        << output.toStdString();
    EXPECT_TRUE(output.contains("readable by others")) << output.toStdString();
}

}  // namespace
