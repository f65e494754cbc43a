#include <gtest/gtest.h>

#include <QUrl>

#include <variant>

#include "platform/messageport/MessagePort.h"
#include "protocol/MessagePortProtocol.h"
#include "protocol/RootDirectory.h"
#include "protocol/URLSyncStatus.h"

namespace {

TEST(MessagePortProtocolTest, PortNamesAreTheGroupWithTheirSuffixesAndValid) {
    struct Row {
        const char* group;
        const char* badge;
        const char* registration;
    };
    const Row rows[] = {
        {"group.example.orvella", "group.example.orvella.fseserver", "group.example.orvella.fsereg"},
        {"G", "G.fseserver", "G.fsereg"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.group);
        const QString badge = MessagePortProtocol::badgePortName(QString::fromUtf8(row.group));
        const QString registration = MessagePortProtocol::registrationPortName(QString::fromUtf8(row.group));
        EXPECT_EQ(badge, QString::fromUtf8(row.badge));
        EXPECT_EQ(registration, QString::fromUtf8(row.registration));
        EXPECT_TRUE(MessagePort::isValidName(badge));
        EXPECT_TRUE(MessagePort::isValidName(registration));
    }
}

TEST(MessagePortProtocolTest, RecordsHaveTheirExactByteForms) {
    EXPECT_EQ(URLSyncStatus(QStringLiteral("file:///srv/home/Orvella/a%20b.txt"), QStringLiteral("synced")).encoded(),
              QByteArray(R"({"itemStatusDescription":"synced","url":"file:\/\/\/srv\/home\/Orvella\/a%20b.txt"})"));
    EXPECT_EQ(RootDirectory{QStringLiteral("/srv/home/Orvella")}.encoded(), QByteArray(R"({"path":"\/srv\/home\/Orvella"})"));
}

TEST(MessagePortProtocolTest, PushesDecodeAsStatusFirstThenFolder) {
    struct Row {
        const char* json;
        int kind;  // 0 neither, 1 URLSyncStatus, 2 RootDirectory
        QString value;
    };
    const Row rows[] = {
        {R"({"url":"file:\/\/\/a","itemStatusDescription":"syncing"})", 1, QStringLiteral("file:///a syncing")},
        {R"({"url":"file:///a","itemStatusDescription":"syncing"})", 1, QStringLiteral("file:///a syncing")},
        {R"({"path":"\/a\/Orvella"})", 2, QStringLiteral("/a/Orvella")},
        {R"({"path":"/a","url":"file:///b","itemStatusDescription":"ignored"})", 1, QStringLiteral("file:///b ignored")},
        {R"({"url":"file:///a","path":"/p"})", 2, QStringLiteral("/p")},
        {R"({"url":"file:///a"})", 0, {}},
        {R"({"url":1,"itemStatusDescription":"synced"})", 0, {}},
        {R"({"path":null})", 0, {}},
        {R"(["path"])", 0, {}},
        {"not json", 0, {}},
        {"", 0, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.json);
        const auto push = MessagePortProtocol::decodePush(QByteArray(row.json));
        ASSERT_EQ(int(push.index()), row.kind);
        if (const auto* status = std::get_if<URLSyncStatus>(&push)) {
            EXPECT_EQ(status->url + u' ' + status->itemStatusDescription, row.value);
        }
        if (const auto* root = std::get_if<RootDirectory>(&push)) {
            EXPECT_EQ(root->path, row.value);
        }
    }
}

TEST(MessagePortProtocolTest, AStatusWhoseURLDoesNotParseIsNoStatus) {
    struct Row {
        const char* json;
        int kind;  // 0 neither, 1 URLSyncStatus, 2 RootDirectory
    };
    const Row rows[] = {
        {R"({"url":"file:///a%zz","itemStatusDescription":"synced"})", 0},
        {R"({"url":"file:///a b","itemStatusDescription":"synced"})", 0},
        {R"({"url":"http://[::1","itemStatusDescription":"synced"})", 0},
        {R"({"url":"file:///a%zz","itemStatusDescription":"synced","path":"/p"})", 2},
        {R"({"url":"file:///a%20b","itemStatusDescription":"synced"})", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.json);
        EXPECT_EQ(int(MessagePortProtocol::decodePush(QByteArray(row.json)).index()), row.kind);
    }
}

TEST(MessagePortProtocolTest, RecordsReadBackAsTheyWereWritten) {
    const char* paths[] = {"/h/Orvella", "/h/r\u00e9sum\u00e9 #1.txt", "/h/a\"b\\c/%41?x", "/", "/h/\u6587\u4ef6\t.txt"};
    for (const char* raw : paths) {
        const QString path = QString::fromUtf8(raw);
        SCOPED_TRACE(raw);
        const URLSyncStatus status(QString::fromUtf8(QUrl::fromLocalFile(path).toEncoded()), QStringLiteral("syncing"));
        const auto statusPush = MessagePortProtocol::decodePush(status.encoded());
        ASSERT_TRUE(std::holds_alternative<URLSyncStatus>(statusPush));
        EXPECT_EQ(std::get<URLSyncStatus>(statusPush), status);
        EXPECT_EQ(QUrl(std::get<URLSyncStatus>(statusPush).url, QUrl::StrictMode).toLocalFile(), path);

        const RootDirectory root{path};
        const auto rootPush = MessagePortProtocol::decodePush(root.encoded());
        ASSERT_TRUE(std::holds_alternative<RootDirectory>(rootPush));
        EXPECT_EQ(std::get<RootDirectory>(rootPush), root);
    }
}

}  // namespace
