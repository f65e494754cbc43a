// Orvella_Service: the storage service on the network.
//   Orvella_Service --root DIR --listen ADDRESS:PORT [--certificate PEM --key PEM]
//                   [--access-token-lifetime SECONDS] [--exit-with-stdin]
// Prints "Listening on <scheme>://<address>:<port>" once it listens; SIGTERM or SIGINT stop it.
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include "server/HttpServer.h"
#include "server/ServiceApi.h"
#include "service/StorageService.h"
#include "service/UploadStore.h"
#include "service/UserTree.h"

namespace {

constexpr char usage[] =
    "Usage: Orvella_Service --root DIR --listen ADDRESS:PORT [--certificate PEM --key PEM]\n"
    "                       [--access-token-lifetime SECONDS] [--exit-with-stdin]\n"
    "Serves the storage service under DIR over HTTPS, or over plain HTTP on a loopback address only.\n"
    "With --exit-with-stdin it stops once its standard input ends (the program that started it is gone).\n"
    "Port 0 picks a free port. Tests may also shorten --header-timeout-ms, --body-grace-ms and set\n"
    "--minimum-body-rate (bytes a second).\n";

int fail(const QString& message) {
    std::fprintf(stderr, "Orvella_Service: %s\n", message.toLocal8Bit().constData());
    return 2;
}

// A key readable by others is no secret any more: made owner-only when it is ours, else refused.
std::optional<QString> ownerOnly(const QString& path) {
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    if (::stat(name.constData(), &st) != 0) return QStringLiteral("Cannot read %1.").arg(path);
    if ((st.st_mode & 077) == 0) return std::nullopt;
    if (st.st_uid != ::geteuid() || ::chmod(name.constData(), 0600) != 0)
        return QStringLiteral("%1 is readable by others; make it owner-only (chmod 600).").arg(path);
    std::fprintf(stderr, "Orvella_Service: made %s owner-only\n", name.constData());
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    // Whatever it makes under its root is its own alone: the users' trees, backups and state.
    ::umask(077);
    UserTree::makeNewItemsOwnerOnly();
    QString root = StorageService::defaultRoot();
    QString listen;
    HttpServer::Config config;
    ServiceApi::Options options;
    bool exitWithStdin = false;
    for (int i = 1; i < argc; ++i) {
        const QString option = QString::fromLocal8Bit(argv[i]);
        if (option == QStringLiteral("--help")) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (option == QStringLiteral("--exit-with-stdin")) {
            exitWithStdin = true;
            continue;
        }
        if (i + 1 >= argc) return fail(QStringLiteral("%1 needs a value.\n%2").arg(option, QString::fromLatin1(usage)));
        const QString value = QString::fromLocal8Bit(argv[++i]);
        bool number = true;
        if (option == QStringLiteral("--root")) root = value;
        else if (option == QStringLiteral("--listen")) listen = value;
        else if (option == QStringLiteral("--certificate")) config.certificateFile = value;
        else if (option == QStringLiteral("--key")) config.keyFile = value;
        else if (option == QStringLiteral("--access-token-lifetime")) options.accessTokenLifetime = std::chrono::seconds(value.toLongLong(&number));
        else if (option == QStringLiteral("--header-timeout-ms")) config.headerDeadline = std::chrono::milliseconds(value.toLongLong(&number));
        else if (option == QStringLiteral("--body-grace-ms")) config.bodyGrace = std::chrono::milliseconds(value.toLongLong(&number));
        else if (option == QStringLiteral("--minimum-body-rate")) config.minimumBodyRate = value.toLongLong(&number);
        else return fail(QStringLiteral("Unknown option %1.\n%2").arg(option, QString::fromLatin1(usage)));
        if (!number) return fail(QStringLiteral("%1 takes a number.").arg(option));
    }
    const qsizetype colon = listen.lastIndexOf(u':');
    bool portOk = false;
    const uint port = colon > 0 ? listen.mid(colon + 1).toUInt(&portOk) : 0;
    if (!portOk || port > 65535) return fail(QStringLiteral("--listen takes ADDRESS:PORT, e.g. 127.0.0.1:8443 or [::1]:0."));
    config.address = listen.left(colon);
    if (config.address.startsWith(u'[') && config.address.endsWith(u']')) config.address = config.address.mid(1, config.address.size() - 2);
    config.port = std::uint16_t(port);
    if (config.certificateFile.isEmpty() != config.keyFile.isEmpty()) return fail(QStringLiteral("--certificate and --key go together."));
    if (config.certificateFile.isEmpty() && !HttpServer::isLoopback(config.address))
        return fail(QStringLiteral("Plain HTTP is served on a loopback address only (127.0.0.1, ::1); to listen on %1 give "
                                   "--certificate and --key.").arg(config.address));
    for (const QString& file : {config.certificateFile, config.keyFile})
        if (!file.isEmpty())
            if (auto problem = ownerOnly(file)) return fail(*problem);

    auto service = std::make_shared<StorageService>(QDir::cleanPath(QDir(root).absolutePath()));
    if (!service->ensureCreated()) return fail(QStringLiteral("Cannot create the service's folders at %1.").arg(root));
    UploadStore(*service).removeLeftovers(true);

    ServiceApi api(service, options);
    HttpServer server(config, api);
    if (auto problem = server.listen()) return fail(*problem);
    const auto journal = service->changeJournal();
    const int listener = journal->addListener([&server](const QString& user) { server.notifyChanges(user); });
    std::fprintf(stdout, "Listening on %s\n", server.url().toUtf8().constData());
    std::fflush(stdout);
    if (exitWithStdin) {
        // The signal takes the same way out as a SIGTERM, so that nothing here outlives the server.
        std::thread([] {
            char ignored[256];
            while (::read(STDIN_FILENO, ignored, sizeof ignored) > 0) {
            }
            ::kill(::getpid(), SIGTERM);
        }).detach();
    }
    server.run();
    journal->removeListener(listener);
    journal->save();
    std::fprintf(stderr, "Orvella_Service: stopped\n");
    return 0;
}
