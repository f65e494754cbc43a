#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QTimeZone>

#include "service/ServiceWire.h"

namespace {

TEST(ServiceWireTest, UserPathsThatLeaveTheTreeOrCannotBeNamedAreRefused) {
    const QString longName(256, u'n');
    const QString fullName(255, u'n');
    QString longPath;
    while (longPath.size() <= ServiceWire::maximumPathBytes) longPath += QStringLiteral("abcdefg/");
    longPath += QStringLiteral("x");
    const struct {
        QString path;
        bool accepted;
    } cases[] = {
        {QString(), true},
        {QStringLiteral("a"), true},
        {QStringLiteral("Docs/report 1.pdf"), true},
        {QStringLiteral("..hidden/..x"), true},
        {QStringLiteral("a%20b"), true},
        {fullName, true},
        {QStringLiteral(".."), false},
        {QStringLiteral("a/../b"), false},
        {QStringLiteral("./a"), false},
        {QStringLiteral("a/."), false},
        {QStringLiteral("/etc/passwd"), false},
        {QStringLiteral("a//b"), false},
        {QStringLiteral("a/"), false},
        {QStringLiteral("a") + QChar(0) + QStringLiteral("b"), false},
        {QStringLiteral("a%2Fb"), false},
        {QStringLiteral("a%2f..%2fb"), false},
        {QStringLiteral("a%5Cb"), false},
        {longName, false},
        {QString(128, QChar(0x00e9)), false},  // 128 characters, 256 bytes of UTF-8
        {longPath, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(!ServiceWire::checkUserPath(c.path).has_value(), c.accepted) << c.path.left(40).toStdString();
}

TEST(ServiceWireTest, QueriesAndFormsDecodeToWhatWasEncoded) {
    const QString values[] = {QStringLiteral("a+b c&d=e/f%g"), QStringLiteral("Grüße/😀"), QString(), QStringLiteral("..")};
    for (const QString& value : values) {
        const QByteArray query = ServiceWire::encodeQuery({{QStringLiteral("path"), value}, {QStringLiteral("x"), QStringLiteral("1")}});
        EXPECT_FALSE(query.mid(5).contains('/')) << query.toStdString();
        const auto decoded = ServiceWire::decodeQuery(query);
        ASSERT_TRUE(decoded) << query.toStdString();
        EXPECT_EQ(decoded->value(QStringLiteral("path")), value);
        const auto form = ServiceWire::decodeForm(ServiceWire::encodeForm({{QStringLiteral("password"), value}}));
        ASSERT_TRUE(form);
        EXPECT_EQ(form->value(QStringLiteral("password")), value);
    }
    const struct {
        QByteArray encoded;
        bool plusIsSpace;
        std::optional<QString> decoded;
    } cases[] = {
        {"a+b", true, QStringLiteral("a b")},
        {"a+b", false, QStringLiteral("a+b")},
        {"%2e%2e", false, QStringLiteral("..")},
        {"a%2Fb", false, QStringLiteral("a/b")},
        {"a%00b", false, QStringLiteral("a") + QChar(0) + QStringLiteral("b")},
        {"%", false, std::nullopt},
        {"%4", false, std::nullopt},
        {"%zz", false, std::nullopt},
        {"%ff%fe", false, std::nullopt},  // not UTF-8
    };
    for (const auto& c : cases) EXPECT_EQ(ServiceWire::percentDecode(c.encoded, c.plusIsSpace), c.decoded) << c.encoded.toStdString();
}

TEST(ServiceWireTest, EveryErrorCodeMapsToItsStatusAndBack) {
    const struct {
        ServiceError error;
        const char* code;
        int status;
        ServiceError decoded;
    } cases[] = {
        {ServiceError::invalidRequest, "invalid_request", 400, ServiceError::invalidRequest},
        {ServiceError::wrongCredentials, "invalid_grant", 400, ServiceError::wrongCredentials},
        {ServiceError::invalidClient, "invalid_client", 401, ServiceError::invalidClient},
        {ServiceError::invalidSession, "invalid_token", 401, ServiceError::invalidSession},
        {ServiceError::invalidUserName, "invalidUserName", 422, ServiceError::invalidUserName},
        {ServiceError::invalidMailAddress, "invalidMailAddress", 422, ServiceError::invalidMailAddress},
        {ServiceError::invalidPassword, "invalidPassword", 422, ServiceError::invalidPassword},
        {ServiceError::userExists, "userExists", 409, ServiceError::userExists},
        {ServiceError::notFound, "notFound", 404, ServiceError::notFound},
        {ServiceError::invalidPath, "invalidPath", 400, ServiceError::invalidPath},
        {ServiceError::revisionMismatch, "revisionMismatch", 412, ServiceError::revisionMismatch},
        {ServiceError::exists, "exists", 409, ServiceError::exists},
        {ServiceError::notEmpty, "notEmpty", 409, ServiceError::notEmpty},
        {ServiceError::notAFolder, "notAFolder", 409, ServiceError::notAFolder},
        {ServiceError::readOnly, "readOnly", 403, ServiceError::readOnly},
        {ServiceError::insufficientStorage, "insufficientStorage", 507, ServiceError::insufficientStorage},
        {ServiceError::tooLarge, "tooLarge", 413, ServiceError::tooLarge},
        {ServiceError::hashMismatch, "hashMismatch", 422, ServiceError::hashMismatch},
        {ServiceError::uploadOffset, "uploadOffset", 409, ServiceError::uploadOffset},
        {ServiceError::rateLimited, "rateLimited", 429, ServiceError::rateLimited},
        {ServiceError::unavailable, "unavailable", 503, ServiceError::unavailable},
        {ServiceError::storageFailure, "storageFailure", 500, ServiceError::storageFailure},
        {ServiceError::timeout, "unavailable", 503, ServiceError::unavailable},
        {ServiceError::noConnection, "unavailable", 503, ServiceError::unavailable},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ServiceWire::errorCode(c.error), QLatin1String(c.code));
        EXPECT_EQ(ServiceWire::httpStatus(c.error), c.status) << c.code;
        const ServiceWire::Error sent{{c.error, QStringLiteral("why")}, 17, std::nullopt};
        const auto received = ServiceWire::decodeError(c.status, ServiceWire::encodeError(sent), "12");
        EXPECT_EQ(received.failure, (ServiceFailure{c.decoded, QStringLiteral("why")})) << c.code;
        EXPECT_EQ(received.offset, 17);
        EXPECT_EQ(received.retryAfterSeconds, 12);
    }
    // A body from something else in between (a proxy's page) still gives an error by its status.
    const struct {
        int status;
        ServiceError error;
    } bare[] = {{401, ServiceError::invalidSession}, {404, ServiceError::notFound}, {412, ServiceError::revisionMismatch},
                {429, ServiceError::rateLimited}, {431, ServiceError::tooLarge}, {502, ServiceError::storageFailure},
                {507, ServiceError::insufficientStorage}, {418, ServiceError::invalidRequest}};
    for (const auto& c : bare) EXPECT_EQ(ServiceWire::decodeError(c.status, "<html>").failure.error, c.error) << c.status;
}

template <typename T, typename Decode>
void expectRoundTrip(const T& value, Decode decode) {
    const auto json = ServiceWire::objectOf(ServiceWire::toBytes(ServiceWire::encode(value)));
    ASSERT_TRUE(json);
    const auto back = decode(*json);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, value);
}

TEST(ServiceWireTest, EveryTypeComesBackAsItWasSent) {
    const QDateTime date = QDateTime::fromMSecsSinceEpoch(1700000000123, QTimeZone::utc());
    // Nanoseconds and inodes beyond 2^53 must stay exact: a revision made of them is compared as text.
    const ServiceEntry entries[] = {
        {QStringLiteral("Docs/ä b.txt"), ServiceEntry::Type::file, 12345, 1700000000123456789, (1ULL << 60) + 3, 0644},
        {QString(), ServiceEntry::Type::folder, 0, 1, 2, 0700},
        {QStringLiteral("link"), ServiceEntry::Type::other, 0, 5, 6, 0777},
    };
    for (const auto& entry : entries) {
        expectRoundTrip(entry, ServiceWire::decodeEntry);
        EXPECT_EQ(ServiceWire::decodeEntryLine(ServiceWire::encodeEntryLine(entry)), entry);
    }
    EXPECT_EQ(entries[0].revision(), QStringLiteral("1152921504606846979-12345-1700000000123456789"));
    EXPECT_EQ(entries[1].revision(), QStringLiteral("2"));
    QJsonObject forged = ServiceWire::encode(entries[0]);
    forged[QStringLiteral("rev")] = QStringLiteral("1-2-3");
    EXPECT_FALSE(ServiceWire::decodeEntry(forged));

    expectRoundTrip(ServiceWire::TokenResponse{QStringLiteral("a"), QStringLiteral("Bearer"), 60, QStringLiteral("r"), QStringLiteral("admin,rw")},
                    ServiceWire::decodeTokenResponse);
    expectRoundTrip(ServiceWire::TokenInfo{QStringLiteral("anna"), QStringLiteral("id"), 59, QStringLiteral("admin,rw")},
                    ServiceWire::decodeTokenInfo);
    expectRoundTrip(ServiceQuota{100, 40, 60}, ServiceWire::decodeQuota);
    expectRoundTrip(ServiceWire::ChunkSizes{}, ServiceWire::decodeChunkSizes);
    expectRoundTrip(ServiceChanges{QStringLiteral("g:4"), true, {QStringLiteral("a"), QStringLiteral("b/c")}, {}}, ServiceWire::decodeChanges);
    // What each path was: an mtime in nanoseconds needs all 64 bits of the number.
    expectRoundTrip(ServiceChanges{QStringLiteral("g:5"), false, {QStringLiteral("a"), QStringLiteral("b/c")},
                                   {ServicePathState{}, ServicePathState{ServicePathState::Kind::file, 7, 1'700'000'000'123'456'789, 42}}},
                    ServiceWire::decodeChanges);
    expectRoundTrip(ServiceWire::MoveRequest{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("1-2-3")}, ServiceWire::decodeMoveRequest);
    const QString hash(64, u'a');
    expectRoundTrip(ServiceWire::UploadRequest{QStringLiteral("a"), 5, hash, 7, QStringLiteral("1-2-3")}, ServiceWire::decodeUploadRequest);
    expectRoundTrip(ServiceWire::UploadRequest{QStringLiteral("a"), 0, hash, 7, std::nullopt}, ServiceWire::decodeUploadRequest);
    expectRoundTrip(ServiceWire::BackupStart{QStringLiteral("n"), QStringLiteral("d"), QStringLiteral("dn"), QStringLiteral("os")},
                    ServiceWire::decodeBackupStart);
    expectRoundTrip(ServiceWire::BackupFinish{true, {ServiceBackupCategory::images, ServiceBackupCategory::contacts}},
                    ServiceWire::decodeBackupFinish);
    for (const auto& features : {ServiceFeatures{}, ServiceFeatures::defaults(),
                                 ServiceFeatures{false, true, ServiceFeatures::Sharing{false, true, false}}}) {
        ServiceAccount account{QStringLiteral("anna"), QStringLiteral("id"), QStringLiteral("a@b.c"), date, 5LL << 40, features, {}};
        const auto back = ServiceWire::decodeAccount(ServiceWire::encode(account));
        ASSERT_TRUE(back);
        EXPECT_EQ(back->account, account);
        EXPECT_FALSE(back->hasCryptoKey);
    }
    // The key itself never travels.
    const ServiceAccount keyed{QStringLiteral("anna"), QStringLiteral("id"), QString(), date, 1, {}, QStringLiteral("secret")};
    EXPECT_FALSE(ServiceWire::toBytes(ServiceWire::encode(keyed)).contains("secret"));
    EXPECT_TRUE(ServiceWire::decodeAccount(ServiceWire::encode(keyed))->hasCryptoKey);

    ServiceShare share{QStringLiteral("t"), QStringLiteral("/Docs/a"), false, date, date.addDays(1), 3, 1, false, true, {QStringLiteral("x@y.z")}};
    expectRoundTrip(share, ServiceWire::decodeShare);
    EXPECT_EQ(ServiceWire::encode(share).value(QStringLiteral("itemPath")).toString(), QStringLiteral("Docs/a"));
    share.validUntil.reset();
    share.maxDownloads.reset();
    EXPECT_EQ(ServiceWire::decodeShares(ServiceWire::encodeShares({share, share})), (std::vector<ServiceShare>{share, share}));
    const auto changes = ServiceWire::decodeShareChanges(ServiceWire::encode(ServiceShareChanges{5, QString(), true, -1.0}));
    ASSERT_TRUE(changes);
    EXPECT_EQ(changes->maxDownloads, 5);
    EXPECT_EQ(changes->password, QString());
    EXPECT_EQ(changes->writable, true);
    EXPECT_EQ(changes->timeToLive, -1.0);

    ServiceBackupRecord record;
    record.identifier = QStringLiteral("id");
    record.name = QStringLiteral("n");
    record.startDate = record.modificationDate = date;
    record.endDate = date.addSecs(5);
    record.sizes.images = 1ULL << 40;
    record.itemCounts.contacts = 4;
    expectRoundTrip(record, ServiceWire::decodeBackupRecord);
    ServiceBackupItem item{ServiceBackupCategory::videos, QStringLiteral("a/b.mov"), 9, date, QStringLiteral("/server/only")};
    const QByteArray itemBytes = ServiceWire::toBytes(ServiceWire::encode(item));
    EXPECT_FALSE(itemBytes.contains("server/only"));
    const auto itemBack = ServiceWire::decodeBackupItem(*ServiceWire::objectOf(itemBytes));
    ASSERT_TRUE(itemBack);
    EXPECT_EQ(itemBack->relativePath, item.relativePath);
    EXPECT_EQ(itemBack->modified, date);
}

TEST(ServiceWireTest, MalformedDocumentsAndHeadersAreRefused) {
    const char* uploads[] = {
        R"({"path":"a","size":-1,"sha256":"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa","mtime":1})",
        R"({"path":"a","size":1,"sha256":"abc","mtime":1})",
        R"({"path":"a","size":1,"sha256":"gggggggggggggggggggggggggggggggggggggggggggggggggggggggggggggggg","mtime":1})",
        R"({"path":"a","size":1.5,"sha256":"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa","mtime":1})",
        R"({"path":"a","size":1,"sha256":"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa","mtime":1,"rev":5})",
        R"({"size":1,"sha256":"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa","mtime":1})",
    };
    for (const char* text : uploads) EXPECT_FALSE(ServiceWire::decodeUploadRequest(*ServiceWire::objectOf(text))) << text;
    EXPECT_FALSE(ServiceWire::objectOf("[1]"));
    EXPECT_FALSE(ServiceWire::objectOf("{"));

    const struct {
        QByteArray header;
        bool valid;
    } ranges[] = {{"bytes 0-9/10", true}, {"bytes 5-5/6", true}, {"bytes 9-0/10", false}, {"bytes 0-10/10", false},
                  {"bytes -1-2/3", false}, {"bytes 0-1/*", false}, {"items 0-1/2", false}, {"bytes 0-/2", false}};
    for (const auto& c : ranges) EXPECT_EQ(ServiceWire::parseContentRange(c.header).has_value(), c.valid) << c.header.toStdString();
    EXPECT_EQ(ServiceWire::revisionOfIfMatch(ServiceWire::ifMatch(QStringLiteral("1-2-3"))), QStringLiteral("1-2-3"));
    EXPECT_EQ(ServiceWire::revisionOfIfMatch("W/\"7\""), QStringLiteral("7"));
    EXPECT_FALSE(ServiceWire::revisionOfIfMatch("*"));
    EXPECT_FALSE(ServiceWire::revisionOfIfMatch(""));
}

}  // namespace
