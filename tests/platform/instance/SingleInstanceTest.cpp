#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QUrl>
#include <QtEndian>

#include <algorithm>
#include <future>
#include <memory>
#include <vector>

#include <signal.h>

#include "platform/instance/SingleInstance.h"
#include "platform/messageport/MessagePort.h"
#include "support/TestEnvironment.h"

namespace {

using Command = InstanceRequest::Command;

QString uniqueName() {
    static int counter = 0;
    return QStringLiteral("test.instance.%1.%2").arg(QCoreApplication::applicationPid()).arg(++counter);
}

// Another start of the program (see the peer's usage).
class Start {
public:
    explicit Start(const QString& name, const QStringList& paths = {}, int timeoutMs = 5000) {
        process.start(QStringLiteral(INSTANCE_TEST_PEER), QStringList{name, QString::number(timeoutMs)} + paths);
    }
    ~Start() {
        signal(SIGCONT);
        signal(SIGKILL);
        process.waitForFinished(2000);
    }
    QByteArray line() {
        TestEnvironment::waitUntil([&] { return process.canReadLine(); });
        return process.readLine().trimmed();
    }
    // The exit code; -1 while it runs or when it crashed.
    int exitCode() {
        TestEnvironment::waitUntil([&] { return process.state() == QProcess::NotRunning; }, 10000);
        if (process.state() != QProcess::NotRunning || process.exitStatus() != QProcess::NormalExit) return -1;
        return process.exitCode();
    }
    void signal(int number) {
        if (process.state() != QProcess::NotRunning) ::kill(pid_t(process.processId()), number);
    }
    QProcess process;
};

QByteArray expectedLine(Command command, const QStringList& paths = {}) {
    QByteArray line = command == Command::share ? "share" : "activate";
    for (const QString& path : paths) line += ' ' + QUrl::toPercentEncoding(path);
    return line;
}

QByteArray number(std::uint32_t value) {
    QByteArray out(4, '\0');
    qToBigEndian(value, out.data());
    return out;
}

const QByteArray shareHeader("\x01\x02", 2);

}  // namespace

TEST(InstanceRequestTest, RefusesAnythingThatDoesNotDecodeExactly) {
    const QByteArray onePath = shareHeader + number(1) + number(3) + "/ab";
    ASSERT_TRUE(InstanceRequest::decode(onePath));
    const QByteArray cases[] = {
        {},
        "GET / HTTP/1.1\r\n\r\n",
        QByteArray("\x02\x01", 2) + number(0),                          // another version
        QByteArray("\x01\x07", 2) + number(0),                          // unknown command
        shareHeader,                                                    // no count
        shareHeader + number(1) + number(0xFFFFFFF0u) + "/ab",          // length beyond the end
        shareHeader + number(0x7FFFFFFFu) + number(3) + "/ab",          // count beyond the paths
        onePath + "x",                                                  // a byte left over
        shareHeader + number(1) + number(2) + "ab",                     // relative path
        shareHeader + number(1) + number(3) + QByteArray("/a\0", 3),    // NUL inside a path
        QByteArray("\x01\x01", 2) + number(1) + number(3) + "/ab",      // activation with a path
        shareHeader + number(1) + number(InstanceRequest::maximumSize) + '/' +
            QByteArray(InstanceRequest::maximumSize - 1, 'a'),
    };
    for (const QByteArray& bytes : cases)
        EXPECT_FALSE(InstanceRequest::decode(bytes)) << bytes.left(40).toHex().constData();
    EXPECT_FALSE((InstanceRequest{Command::share, {QStringLiteral("relative/file")}}.encode()));
}

TEST(SingleInstanceTest, SecondStartHandsItsRequestOverAndExits) {
    const QString name = uniqueName();
    const QStringList firstPaths{QStringLiteral("/dev/shm/first file")};
    Start first(name, firstPaths);
    ASSERT_EQ(first.line(), "owner");
    // A first start keeps its own share for when it has launched.
    EXPECT_EQ(first.line(), expectedLine(Command::share, firstPaths));

    const QStringList paths{QStringLiteral("/dev/shm/with blanks/a b.txt"), QStringLiteral("/tmp/new\nline"),
                            QStringLiteral("/tmp/\"double\" 'single' $(echo x);%20"), QStringLiteral("/tmp/ümlaut")};
    Start share(name, paths);
    EXPECT_EQ(share.exitCode(), 0);
    EXPECT_EQ(first.line(), expectedLine(Command::share, paths));
    Start activate(name);
    EXPECT_EQ(activate.exitCode(), 0);
    EXPECT_EQ(first.line(), expectedLine(Command::activate));
}

TEST(SingleInstanceTest, StartsAtTheSameMomentGiveExactlyOneOwner) {
    const QString name = uniqueName();
    std::vector<std::unique_ptr<Start>> starts;
    for (int i = 0; i < 6; ++i) starts.push_back(std::make_unique<Start>(name));
    const auto running = [&] {
        return std::count_if(starts.begin(), starts.end(),
                             [](const auto& start) { return start->process.state() != QProcess::NotRunning; });
    };
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return running() <= 1; }, 10000));
    ASSERT_EQ(running(), 1);
    for (auto& start : starts) {
        if (start->process.state() == QProcess::NotRunning) {
            EXPECT_EQ(start->exitCode(), 0);
            continue;
        }
        EXPECT_EQ(start->line(), "owner");
        for (int i = 0; i < 5; ++i) EXPECT_EQ(start->line(), expectedLine(Command::activate));
    }
}

TEST(SingleInstanceTest, PortLeftByACrashIsTakenOverAndMalformedRequestsAreRefused) {
    const QString name = uniqueName();
    {
        Start crashed(name);
        ASSERT_EQ(crashed.line(), "owner");
        crashed.signal(SIGKILL);
        EXPECT_EQ(crashed.exitCode(), -1);
    }
    ASSERT_TRUE(QFile::exists(*MessagePort::portsDirectory() + u'/' + name + QStringLiteral(".sock")));
    auto claim = SingleInstance::claim(name, {});
    ASSERT_EQ(claim.status, SingleInstance::Status::owner) << claim.error.toStdString();
    std::vector<InstanceRequest> received;
    claim.instance->setHandler([&](const InstanceRequest& request) { received.push_back(request); });

    const auto send = [&](const QByteArray& bytes) {
        auto reply = std::async(std::launch::async, [&] {
            return MessagePort::createRemote(name)->sendRequest(1, bytes, 2, 2, true).data;
        });
        TestEnvironment::waitUntil(
            [&] { return reply.wait_for(std::chrono::seconds(0)) == std::future_status::ready; });
        return reply.get();
    };
    const QByteArray refused(1, '\0');
    EXPECT_EQ(send(QByteArray("\xff\x00garbage", 9)), refused);
    EXPECT_EQ(send(shareHeader + number(1) + number(0xFFFFFFFFu)), refused);
    EXPECT_EQ(send(QByteArray(MessagePort::maximumPayloadSize, '\x01')), refused);

    Start second(name, {QStringLiteral("/dev/shm/x")});
    EXPECT_EQ(second.exitCode(), 0);
    ASSERT_TRUE(TestEnvironment::waitUntil([&] { return !received.empty(); }));
    EXPECT_EQ(received, (std::vector<InstanceRequest>{{Command::share, {QStringLiteral("/dev/shm/x")}}}));
}

TEST(SingleInstanceTest, OwnerThatDoesNotAnswerMakesTheSecondStartFail) {
    const QString name = uniqueName();
    Start hung(name);
    ASSERT_EQ(hung.line(), "owner");
    hung.signal(SIGSTOP);
    Start second(name, {}, 500);
    EXPECT_EQ(second.exitCode(), 3);
    EXPECT_TRUE(second.process.readAllStandardError().contains("does not answer"));
}
