// A start of a program, for the single-instance tests: instance_test_peer NAME TIMEOUT_MS [PATH...]
// claims NAME with an activation, or a share of the paths when there are any. The owner prints
// "owner", then one line per request it receives ("activate", or "share" and the paths
// percent-encoded), until its standard input closes. Any other start exits: 0 handed over,
// 3 the owner did not answer, 4 refused or nothing could be decided.
#include <QCoreApplication>
#include <QSocketNotifier>
#include <QUrl>

#include <cstdio>

#include <unistd.h>

#include "platform/instance/SingleInstance.h"

namespace {
void say(const QByteArray& line) {
    std::printf("%s\n", line.constData());
    std::fflush(stdout);
}
}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3) return 64;
    InstanceRequest request;
    if (args.size() > 3) request = {InstanceRequest::Command::share, args.mid(3)};
    auto claim = SingleInstance::claim(args[1], request, args[2].toInt());
    switch (claim.status) {
    case SingleInstance::Status::handedOver: return 0;
    case SingleInstance::Status::ownerNotAnswering:
        std::fprintf(stderr, "%s\n", qPrintable(claim.error));
        return 3;
    case SingleInstance::Status::refused:
    case SingleInstance::Status::unavailable:
        std::fprintf(stderr, "%s\n", qPrintable(claim.error));
        return 4;
    case SingleInstance::Status::owner: break;
    }
    say("owner");
    claim.instance->setHandler([](const InstanceRequest& received) {
        QByteArray line = received.command == InstanceRequest::Command::share ? "share" : "activate";
        for (const QString& path : received.paths) line += ' ' + QUrl::toPercentEncoding(path);
        say(line);
    });
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[64];
        if (::read(STDIN_FILENO, buffer, sizeof(buffer)) <= 0) app.quit();
    });
    return app.exec();
}
