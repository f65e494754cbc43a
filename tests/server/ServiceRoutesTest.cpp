#include "ServerTestSupport.h"

#include <QDir>
#include <QFile>

namespace {

using namespace ServerTest;

class ServiceRoutesTest : public ServerFixture {
protected:
    void SetUp() override {
        ServerFixture::SetUp();
        ASSERT_EQ(anna->upload(QStringLiteral("Docs/a.txt"), "hello world").status, 201);
        ASSERT_EQ(anna->post(QStringLiteral("/2.1/folders"), {{QStringLiteral("path"), QStringLiteral("Empty")}}).status, 201);
    }
    QString rev(const QString& path) { return anna->entry(path).revision(); }
};

TEST_F(ServiceRoutesTest, TokensSignInRefreshAndEndWithTheirSession) {
    EXPECT_EQ(annaTokens.tokenType, QStringLiteral("Bearer"));
    EXPECT_EQ(annaTokens.scope, QStringLiteral("admin,rw"));
    EXPECT_GT(annaTokens.expiresIn, 0);
    const Reply info = anna->get(QStringLiteral("/oauth2/tokeninfo"));
    ASSERT_EQ(info.status, 200);
    const auto decoded = ServiceWire::decodeTokenInfo(info.json());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->userName, QStringLiteral("anna"));

    const struct {
        QString user;
        QString secret;
        int status;
        const char* code;
    } signIns[] = {
        {QStringLiteral("anna"), password, 200, ""},
        {QStringLiteral("anna"), QStringLiteral("wrong password"), 400, "invalid_grant"},
        {QStringLiteral("nobody"), password, 400, "invalid_grant"},
    };
    for (const auto& c : signIns) {
        const Reply reply = anna->signIn(c.user, c.secret);
        EXPECT_EQ(reply.status, c.status) << c.user.toStdString();
        if (c.status != 200) {
            EXPECT_EQ(reply.code(), QLatin1String(c.code));
        }
    }

    // A refresh gives a new access token for the same session; the old one goes on working.
    Client other(server->baseUrl());
    const Reply refreshed = other.form(QStringLiteral("/oauth2/token"), {{QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
                                                                        {QStringLiteral("refresh_token"), annaTokens.refreshToken}});
    ASSERT_EQ(refreshed.status, 200) << refreshed.body.toStdString();
    const auto again = ServiceWire::decodeTokenResponse(refreshed.json());
    ASSERT_TRUE(again);
    EXPECT_NE(again->accessToken, annaTokens.accessToken);
    EXPECT_EQ(again->refreshToken, annaTokens.refreshToken);
    other.token = again->accessToken;
    EXPECT_EQ(other.get(QStringLiteral("/2.1/account")).status, 200);

    // Revoking one access token ends the whole session: both access tokens and the refresh token.
    EXPECT_EQ(other.form(QStringLiteral("/oauth2/revoke"), {{QStringLiteral("token"), again->accessToken}}).status, 200);
    for (Client* client : {anna.get(), &other}) {
        const Reply refused = client->get(QStringLiteral("/2.1/account"));
        EXPECT_EQ(refused.status, 401);
        EXPECT_EQ(refused.code(), QStringLiteral("invalid_token"));
        EXPECT_TRUE(refused.header("WWW-Authenticate").contains("invalid_token"));
    }
    EXPECT_EQ(other.form(QStringLiteral("/oauth2/token"), {{QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
                                                          {QStringLiteral("refresh_token"), annaTokens.refreshToken}})
                  .code(),
              QStringLiteral("invalid_grant"));
}

TEST_F(ServiceRoutesTest, EachRouteAnswersWithItsStatusAndBody) {
    const QString fileRev = rev(QStringLiteral("Docs/a.txt"));
    const QString emptyRev = rev(QStringLiteral("Empty"));
    const QByteArray stale = ServiceWire::ifMatch(fileRev + QStringLiteral("0"));
    // A one-request upload of `bytes` announced as `announced`.
    const auto whole = [](const QString& path, const QByteArray& announced, std::optional<QString> revision = std::nullopt) {
        return QStringLiteral("/2.1/content?") +
               QString::fromLatin1(ServiceWire::encodeQuery(ServiceWire::encodeUploadQuery(Client::uploadRequest(path, announced, revision))));
    };
    const QList<QPair<QByteArray, QByteArray>> octets{{"Content-Type", "application/octet-stream"}};
    const struct {
        QByteArray method;
        QString target;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        int status;
        const char* code;
    } cases[] = {
        {"GET", QStringLiteral("/macos/chunksize.json"), {}, {}, 200, ""},
        {"GET", QStringLiteral("/2.1/account"), {}, {}, 200, ""},
        {"GET", QStringLiteral("/2.1/quota"), {}, {}, 200, ""},
        {"GET", QStringLiteral("/2.1/entry?path=Docs%2Fa.txt"), {}, {}, 200, ""},
        {"GET", QStringLiteral("/2.1/entry?path=Docs%2Fnone"), {}, {}, 404, "notFound"},
        {"GET", QStringLiteral("/2.1/entry?path=Docs%2Fa.txt%2Fx"), {}, {}, 409, "notAFolder"},
        {"GET", QStringLiteral("/2.1/entry"), {}, {}, 400, "invalid_request"},
        {"GET", QStringLiteral("/2.1/tree?path=none"), {}, {}, 404, "notFound"},
        {"GET", QStringLiteral("/2.1/tree?path=&depth=one"), {}, {}, 400, "invalid_request"},
        {"GET", QStringLiteral("/2.1/content?path=Docs"), {}, {}, 404, "notFound"},
        {"GET", QStringLiteral("/2.1/content?path=Docs%2Fa.txt"), {}, {{"If-Match", stale}}, 412, "revisionMismatch"},
        {"GET", QStringLiteral("/2.1/content?path=Docs%2Fa.txt"), {}, {{"Range", "bytes=50-60"}}, 416, "invalid_request"},
        {"POST", QStringLiteral("/2.1/folders"), R"({"path":"Docs/a.txt"})", {}, 409, "exists"},
        {"POST", QStringLiteral("/2.1/folders"), R"({"path":"Empty"})", {}, 200, ""},
        {"POST", QStringLiteral("/2.1/folders"), R"({"path":"New/Deep"})", {}, 201, ""},
        {"POST", QStringLiteral("/2.1/folders"), R"({"path":"Docs/a.txt/x"})", {}, 409, "notAFolder"},
        {"POST", QStringLiteral("/2.1/folders"), "not json", {}, 400, "invalid_request"},
        {"DELETE", QStringLiteral("/2.1/entry?path=Docs%2Fa.txt"), {}, {}, 428, "invalid_request"},
        {"DELETE", QStringLiteral("/2.1/entry?path=Docs%2Fa.txt"), {}, {{"If-Match", stale}}, 412, "revisionMismatch"},
        {"DELETE", QStringLiteral("/2.1/entry?path=Docs"), {}, {{"If-Match", ServiceWire::ifMatch(rev(QStringLiteral("Docs")))}}, 409, "notEmpty"},
        {"DELETE", QStringLiteral("/2.1/entry?path=Empty"), {}, {{"If-Match", ServiceWire::ifMatch(emptyRev)}}, 204, ""},
        {"DELETE", QStringLiteral("/2.1/entry?path=Empty"), {}, {{"If-Match", ServiceWire::ifMatch(emptyRev)}}, 404, "notFound"},
        {"POST", QStringLiteral("/2.1/move"), ServiceWire::toBytes(ServiceWire::encode(ServiceWire::MoveRequest{QStringLiteral("Docs/a.txt"), QStringLiteral("b.txt"), fileRev + u'1'})), {}, 412, "revisionMismatch"},
        {"POST", QStringLiteral("/2.1/move"), ServiceWire::toBytes(ServiceWire::encode(ServiceWire::MoveRequest{QStringLiteral("Docs/a.txt"), QStringLiteral("New"), fileRev})), {}, 409, "exists"},
        {"POST", QStringLiteral("/2.1/move"), ServiceWire::toBytes(ServiceWire::encode(ServiceWire::MoveRequest{QStringLiteral("Docs/a.txt"), QStringLiteral("Moved/b.txt"), fileRev})), {}, 200, ""},
        {"GET", QStringLiteral("/2.1/entry?path=Docs%2Fa.txt"), {}, {}, 404, "notFound"},
        {"POST", QStringLiteral("/2.1/uploads"), ServiceWire::toBytes(ServiceWire::encode(Client::uploadRequest(QStringLiteral("Moved/b.txt"), "x"))), {}, 409, "exists"},
        {"POST", QStringLiteral("/2.1/uploads"), ServiceWire::toBytes(ServiceWire::encode(Client::uploadRequest(QStringLiteral("Moved/b.txt"), "x", QStringLiteral("1-2-3")))), {}, 412, "revisionMismatch"},
        {"POST", QStringLiteral("/2.1/uploads"), ServiceWire::toBytes(ServiceWire::encode(Client::uploadRequest(QStringLiteral("gone.txt"), "x", QStringLiteral("1-2-3")))), {}, 412, "revisionMismatch"},
        {"POST", QStringLiteral("/2.1/uploads"), ServiceWire::toBytes(ServiceWire::encode(Client::uploadRequest(QStringLiteral("big"), QByteArray(0, 'x')))).replace("\"size\":0", "\"size\":99999999999999"), {}, 507, "insufficientStorage"},
        {"GET", QStringLiteral("/2.1/uploads/0123456789abcdef0123456789abcdef"), {}, {}, 404, "notFound"},
        {"PUT", whole(QStringLiteral("Whole/w.txt"), "whole"), "whole", octets, 201, ""},
        {"PUT", whole(QStringLiteral("Whole/w.txt"), "again"), "again", octets, 409, "exists"},
        {"PUT", whole(QStringLiteral("Whole/w.txt"), "stale", QStringLiteral("1-2-3")), "stale", octets, 412, "revisionMismatch"},
        {"PUT", whole(QStringLiteral("Whole/bad.txt"), "whole"), "wrong", octets, 422, "hashMismatch"},
        {"GET", QStringLiteral("/2.1/entry?path=Whole%2Fbad.txt"), {}, {}, 404, "notFound"},
        {"PUT", whole(QStringLiteral("Whole/short.txt"), "longer"), "short", octets, 400, "invalid_request"},
        {"PUT", whole(QStringLiteral("Whole/big.txt"), QByteArray(17 << 20, 'x')), "x", octets, 413, "tooLarge"},
        {"PUT", whole(QStringLiteral("../w.txt"), "whole"), "whole", octets, 400, "invalidPath"},
        {"POST", QStringLiteral("/2.1/shares"), R"({"path":"Moved/b.txt"})", {}, 200, ""},
        {"GET", QStringLiteral("/2.1/shares/item?path=Moved%2Fb.txt"), {}, {}, 200, ""},
        {"PATCH", QStringLiteral("/2.1/shares/item?path=Moved%2Fb.txt"), R"({"maxDownloads":3,"password":"pw"})", {}, 200, ""},
        {"POST", QStringLiteral("/2.1/shares/recipients?path=Moved%2Fb.txt"), R"({"recipients":["x@y.org"]})", {}, 200, ""},
        {"GET", QStringLiteral("/2.1/shares/item?path=New"), {}, {}, 404, "notFound"},
        {"DELETE", QStringLiteral("/2.1/shares/item?path=Moved%2Fb.txt"), {}, {}, 204, ""},
        {"GET", QStringLiteral("/2.1/backups/none"), {}, {}, 404, "notFound"},
        {"POST", QStringLiteral("/2.1/account/cryptokey"), R"({"key":"k","password":"wrong password"})", {}, 400, "invalid_grant"},
        {"POST", QStringLiteral("/2.1/account/cryptokey"), R"({"key":"k","password":"password1"})", {}, 204, ""},
        {"GET", QStringLiteral("/2.1/nothing"), {}, {}, 404, "notFound"},
        {"PUT", QStringLiteral("/2.1/account"), {}, {}, 405, "invalid_request"},
    };
    for (const auto& c : cases) {
        const Reply reply = anna->send(c.method, c.target, c.body, c.headers);
        EXPECT_EQ(reply.status, c.status) << c.method.toStdString() << ' ' << c.target.toStdString() << ' ' << reply.body.toStdString();
        EXPECT_EQ(reply.code(), QLatin1String(c.code)) << c.method.toStdString() << ' ' << c.target.toStdString();
    }
    EXPECT_EQ(anna->get(QStringLiteral("/2.1/content?path=Whole%2Fw.txt")).body, "whole");
    // Nothing of a refused body stays staged.
    EXPECT_TRUE(QDir(server->root() + QStringLiteral("/uploads/anna")).entryList(QDir::Files).isEmpty());
    EXPECT_TRUE(ServiceWire::decodeAccount(anna->get(QStringLiteral("/2.1/account")).json())->hasCryptoKey);
    const auto sizes = ServiceWire::decodeChunkSizes(anna->get(QStringLiteral("/macos/chunksize.json")).json());
    ASSERT_TRUE(sizes);
    EXPECT_LE(sizes->minimumChunkSize, sizes->chunkSize);
    EXPECT_LE(sizes->chunkSize, sizes->maximumChunkSize);
    const auto quota = ServiceWire::decodeQuota(anna->get(QStringLiteral("/2.1/quota")).json());
    ASSERT_TRUE(quota);
    EXPECT_EQ(quota->used, 11 + 5);  // "hello world" and "whole"
    EXPECT_EQ(quota->free, quota->overall - 11 - 5);
}

TEST_F(ServiceRoutesTest, TreeListsParentsFirstAndContentComesInRanges) {
    ASSERT_EQ(anna->upload(QStringLiteral("Docs/Sub/z.bin"), "0123456789").status, 201);
    const auto entries = anna->tree();
    QStringList paths;
    for (const auto& e : entries) paths << e.path;
    EXPECT_EQ(paths, (QStringList{QString(), QStringLiteral("Docs"), QStringLiteral("Docs/Sub"), QStringLiteral("Docs/Sub/z.bin"),
                                  QStringLiteral("Docs/a.txt"), QStringLiteral("Empty")}));
    EXPECT_EQ(entries[3].size, 10);
    EXPECT_EQ(entries[3].mtimeNs, 1600000000123456789);
    EXPECT_EQ(entries[3], anna->entry(QStringLiteral("Docs/Sub/z.bin")));
    EXPECT_EQ(anna->tree(QStringLiteral("Docs/Sub")).size(), 2u);

    const struct {
        QByteArray range;
        int status;
        QByteArray body;
        QByteArray contentRange;
    } ranges[] = {
        {{}, 200, "0123456789", {}},
        {"bytes=2-4", 206, "234", "bytes 2-4/10"},
        {"bytes=7-", 206, "789", "bytes 7-9/10"},
        {"bytes=-2", 206, "89", "bytes 8-9/10"},
        {"bytes=8-100", 206, "89", "bytes 8-9/10"},
    };
    for (const auto& c : ranges) {
        QList<QPair<QByteArray, QByteArray>> headers;
        if (!c.range.isEmpty()) headers.append({"Range", c.range});
        const Reply reply = anna->send("GET", QStringLiteral("/2.1/content?path=Docs%2FSub%2Fz.bin"), {}, headers);
        EXPECT_EQ(reply.status, c.status) << c.range.toStdString();
        EXPECT_EQ(reply.body, c.body) << c.range.toStdString();
        EXPECT_EQ(reply.header("Content-Range"), c.contentRange);
        EXPECT_EQ(reply.header("ETag"), ServiceWire::ifMatch(entries[3].revision()));
    }
}

TEST_F(ServiceRoutesTest, ARevisionSeenIsTheOnlyOneAChangeMayReplace) {
    const QString seen = rev(QStringLiteral("Docs/a.txt"));
    ASSERT_EQ(anna->upload(QStringLiteral("Docs/a.txt"), "second", seen).status, 200);
    // Another client still holding the first revision may neither overwrite, move nor remove it.
    EXPECT_EQ(anna->upload(QStringLiteral("Docs/a.txt"), "third", seen).status, 412);
    EXPECT_EQ(anna->send("DELETE", QStringLiteral("/2.1/entry?path=Docs%2Fa.txt"), {}, {{"If-Match", ServiceWire::ifMatch(seen)}}).status, 412);
    EXPECT_EQ(anna->post(QStringLiteral("/2.1/move"), ServiceWire::encode(ServiceWire::MoveRequest{QStringLiteral("Docs/a.txt"), QStringLiteral("b"), seen})).status, 412);
    EXPECT_EQ(anna->get(QStringLiteral("/2.1/content?path=Docs%2Fa.txt")).body, "second");
    const QString now = rev(QStringLiteral("Docs/a.txt"));
    EXPECT_EQ(anna->send("DELETE", QStringLiteral("/2.1/entry?path=Docs%2Fa.txt"), {}, {{"If-Match", ServiceWire::ifMatch(now)}}).status, 204);
    EXPECT_FALSE(QFile::exists(server->home(QStringLiteral("anna")) + QStringLiteral("/Docs/a.txt")));
}

TEST_F(ServiceRoutesTest, BackupsKeepTheirItemsAndRecords) {
    const Reply begun = anna->post(QStringLiteral("/2.1/backups"), ServiceWire::encode(ServiceWire::BackupStart{
                                                                       QStringLiteral("Mine"), QStringLiteral("dev1"), QStringLiteral("Laptop"), QStringLiteral("Linux")}));
    ASSERT_EQ(begun.status, 200) << begun.body.toStdString();
    const QString id = begun.json().value(QStringLiteral("identifier")).toString();
    const QString items = QStringLiteral("/2.1/backups/") + id + QStringLiteral("/items");
    const QString item = QStringLiteral("?category=images&path=2024%2Fp.jpg&modified=2024-05-01T10%3A00%3A00.000Z");
    const Reply stored = anna->send("PUT", items + item, "picture bytes", {{"Content-Type", "application/octet-stream"}});
    ASSERT_EQ(stored.status, 200) << stored.body.toStdString();
    EXPECT_EQ(anna->get(items + QStringLiteral("/content") + item).body, "picture bytes");
    const auto listed = ServiceWire::decodeBackupItems(ServiceWire::arrayOf(anna->get(items).body).value_or(QJsonArray()));
    ASSERT_TRUE(listed);
    ASSERT_EQ(listed->size(), 1u);
    EXPECT_EQ(listed->front().relativePath, QStringLiteral("2024/p.jpg"));
    EXPECT_EQ(listed->front().modified, QDateTime::fromString(QStringLiteral("2024-05-01T10:00:00.000Z"), Qt::ISODateWithMs));
    EXPECT_EQ(anna->send("PUT", items + QStringLiteral("?category=images&path=..%2Fx&modified=2024-05-01T10%3A00%3A00Z"), "x").code(),
              QStringLiteral("invalidPath"));
    const Reply finished = anna->post(QStringLiteral("/2.1/backups/") + id + QStringLiteral("/finish"),
                                      ServiceWire::encode(ServiceWire::BackupFinish{true, {ServiceBackupCategory::contacts}}));
    ASSERT_EQ(finished.status, 200);
    const auto record = ServiceWire::decodeBackupRecord(finished.json());
    ASSERT_TRUE(record);
    EXPECT_TRUE(record->isCompleted);
    EXPECT_EQ(record->itemCounts.images, 1u);
    EXPECT_TRUE(record->containsContacts);
    EXPECT_EQ(anna->send("DELETE", items + item).status, 204);
    EXPECT_EQ(anna->get(items + QStringLiteral("/content") + item).status, 404);
}

}  // namespace
