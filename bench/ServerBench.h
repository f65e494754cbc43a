#pragma once
// A real Orvella_Service on loopback for the benches (TLS with a certificate of its own, as
// tests/support/ServiceProcess.h starts it), clients of it, and what the kernel says the server
// process costs.
#include <QFile>
#include <QUrl>

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <optional>

#include "frameworks/net/HttpServiceClient.h"
#include "support/ServiceProcess.h"

namespace serverbench {

inline const QString password = QStringLiteral("a bench password");

// Started with its root in `folder`; nullptr (and why on stderr) when it did not come up.
inline std::unique_ptr<ServiceProcess> startServer(const QString& folder) {
    auto server = std::make_unique<ServiceProcess>(ServiceProcess::Options{folder, true, {}});
    if (server->start()) return server;
    std::fprintf(stderr, "the server did not start: %s\n", qPrintable(server->lastError()));
    return nullptr;
}

// Trusts the server's certificate; signed in as nobody yet.
inline std::shared_ptr<HttpServiceClient> clientOf(const ServiceProcess& server) {
    HttpServiceClient::Options options;
    options.baseUrl = QUrl(server.baseUrl());
    options.caFile = server.caFile();
    return std::make_shared<HttpServiceClient>(options);
}

// A client of a new account `user` (signed in by its creation).
inline std::shared_ptr<HttpServiceClient> newAccount(const ServiceProcess& server, const QString& user) {
    auto client = clientOf(server);
    if (client->createAccount({user, user + QStringLiteral("@example.org"), password})) return client;
    std::fprintf(stderr, "cannot create the account %s\n", qPrintable(user));
    return nullptr;
}

// What /proc says of a process: CPU time (user and system) and resident set.
struct ProcessUse {
    double cpuSeconds = 0;
    qint64 rssKiB = 0;
};

inline std::optional<ProcessUse> processUse(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!stat.open(QIODevice::ReadOnly) || !status.open(QIODevice::ReadOnly)) return std::nullopt;
    // The command name may hold spaces and parentheses: fields count from the last ')'.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13) return std::nullopt;
    ProcessUse use;
    // utime and stime, fields 14 and 15 of the whole line.
    use.cpuSeconds = double(fields[11].toLongLong() + fields[12].toLongLong()) / double(::sysconf(_SC_CLK_TCK));
    for (const QByteArray& entry : status.readAll().split('\n'))
        if (entry.startsWith("VmRSS:")) use.rssKiB = entry.mid(6).trimmed().split(' ').first().toLongLong();
    return use;
}

}  // namespace serverbench
