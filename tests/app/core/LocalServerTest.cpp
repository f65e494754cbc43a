#include <gtest/gtest.h>

#include <QDir>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <thread>

#include <sys/wait.h>
#include <unistd.h>

#include "app/core/LocalServer.h"

namespace {

const QString service = QStringLiteral(ORVELLA_SERVICE_EXECUTABLE);

bool answers(const QUrl& url) {
    QTcpSocket socket;
    socket.connectToHost(url.host(), quint16(url.port()));
    return socket.waitForConnected(1000);
}

bool stopsAnswering(const QUrl& url) {
    for (int i = 0; i < 100; ++i) {
        if (!answers(url)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

}  // namespace

TEST(LocalServer, ListensOnLoopbackOverItsRootAndStopsWithTheApplication) {
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/local-server-XXXXXX"));
    const QString root = dir.filePath(QStringLiteral("service"));
    QUrl url;
    {
        LocalServer server;
        auto started = server.start(service, root);
        ASSERT_TRUE(std::holds_alternative<QUrl>(started)) << std::get<QString>(started).toStdString();
        url = std::get<QUrl>(started);
        EXPECT_EQ(url.scheme(), QStringLiteral("http"));
        EXPECT_EQ(url.host(), QStringLiteral("127.0.0.1"));
        EXPECT_TRUE(answers(url));
        EXPECT_TRUE(QDir(root).exists(QStringLiteral("users")));
        // A second start hands back the running one rather than a rival over the same root.
        auto again = server.start(service, root);
        ASSERT_TRUE(std::holds_alternative<QUrl>(again));
        EXPECT_EQ(std::get<QUrl>(again), url);
    }
    EXPECT_TRUE(stopsAnswering(url));
}

TEST(LocalServer, EndsWhenTheApplicationDiesWithoutStoppingIt) {
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/local-server-XXXXXX"));
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto* server = new LocalServer;  // never destroyed: the process just ends
        auto started = server->start(service, dir.filePath(QStringLiteral("service")));
        const QByteArray text = std::holds_alternative<QUrl>(started) ? std::get<QUrl>(started).toEncoded() : QByteArray();
        (void)!::write(report[1], text.constData(), size_t(text.size()));
        ::_exit(0);
    }
    ::close(report[1]);
    char buffer[256] = {};
    const ssize_t got = ::read(report[0], buffer, sizeof buffer - 1);
    ::close(report[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_GT(got, 0);
    EXPECT_TRUE(stopsAnswering(QUrl(QString::fromUtf8(buffer, int(got)))));
}

TEST(LocalServer, AStartThatFailsSaysWhy) {
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/local-server-XXXXXX"));
    QFile blocker(dir.filePath(QStringLiteral("file")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const struct {
        QString executable;
        QString root;
        QString says;
    } cases[] = {
        {dir.filePath(QStringLiteral("missing/Orvella_Service")), dir.filePath(QStringLiteral("a")), QStringLiteral("missing")},
        {service, dir.filePath(QStringLiteral("file/below-a-file")), QStringLiteral("Cannot create")},
    };
    for (const auto& c : cases) {
        LocalServer server;
        auto started = server.start(c.executable, c.root);
        ASSERT_TRUE(std::holds_alternative<QString>(started)) << c.root.toStdString();
        EXPECT_TRUE(std::get<QString>(started).contains(c.says)) << std::get<QString>(started).toStdString();
        EXPECT_FALSE(server.isRunning());
    }
}
