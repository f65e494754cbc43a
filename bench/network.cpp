// Times the engine's first sync of 2,000 small files and a few large ones, up and down, through
// ServiceRemoteTree over HttpServiceClient to an Orvella_Service on loopback (TLS), beside the
// same engine over LocalRemoteTree (the folder on this machine) in the same run: the ratio is
// what the network path costs.
//
//   bench_network [base folder] [runs]   (default: /dev/shm, 1 run)
#include "SyncBench.h"

#include <QUrl>

#include "frameworks/net/HttpServiceClient.h"
#include "frameworks/sync/LocalRemoteTree.h"
#include "frameworks/sync/ServiceRemoteTree.h"
#include "support/ServiceProcess.h"

namespace {

using namespace syncbench;

const Shape small{20, 100, 2000LL * 4096};
constexpr int largeFiles = 4;
constexpr qint64 largeBytes = 16 << 20;
const QString user = QStringLiteral("bench");

bool makeLarge(const QString& root) {
    if (!QDir().mkpath(root + QStringLiteral("/large"))) return false;
    QRandomGenerator random(7);
    for (int i = 0; i < largeFiles; ++i) {
        QByteArray data(largeBytes, Qt::Uninitialized);
        random.fillRange(reinterpret_cast<quint32*>(data.data()), data.size() / 4);
        QFile file(QStringLiteral("%1/large/%2.bin").arg(root).arg(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) return false;
    }
    return true;
}

struct Run {
    double seconds = 0;
    bool complete = false;
};

// One first sync with `remote` as the other side, whose files lie in `remoteFolder` on disk.
Run sync(const QString& folder, const std::shared_ptr<RemoteTree>& remote, const QString& remoteFolder, bool up) {
    const QString syncFolder = folder + QStringLiteral("/Orvella");
    QDir().mkpath(syncFolder);
    const QString full = up ? syncFolder : remoteFolder;
    if (!makeTree(full, small) || !makeLarge(full)) {
        std::fprintf(stderr, "cannot write the tree\n");
        return {};
    }
    WaitingDelegate delegate;
    SyncFacadeConfiguration configuration;
    configuration.rootDirectoryLocalURL = syncFolder;
    configuration.syncStatusDelegate = &delegate;
    configuration.conflictSuffix = QStringLiteral("conflicted copy");
    QElapsedTimer timer;
    timer.start();
    {
        OrvellaSyncEngine engine(configuration, remote, folder + QStringLiteral("/SyncData"), OrvellaSyncEngine::Options{});
        delegate.waitUntilDone();
    }
    Run run{seconds(timer), false};
    const auto [files, bytes] = measure(up ? remoteFolder : syncFolder);
    run.complete = files == small.files() + largeFiles && bytes == small.totalBytes + largeFiles * largeBytes;
    return run;
}

Run overTheNetwork(const QString& base, bool up) {
    QTemporaryDir dir(base + QStringLiteral("/bench-network-XXXXXX"));
    ServiceProcess server(ServiceProcess::Options{dir.filePath(QStringLiteral("server")), true, {}});
    if (!server.start()) {
        std::fprintf(stderr, "the server did not start: %s\n", qPrintable(server.lastError()));
        return {};
    }
    HttpServiceClient::Options options;
    options.baseUrl = QUrl(server.baseUrl());
    options.caFile = server.caFile();
    auto client = std::make_shared<HttpServiceClient>(options);
    if (!client->createAccount({user, QStringLiteral("bench@example.org"), QStringLiteral("password1")})) {
        std::fprintf(stderr, "no account\n");
        return {};
    }
    return sync(dir.path(), std::make_shared<ServiceRemoteTree>(client), server.home(user), up);
}

Run onThisMachine(const QString& base, bool up) {
    QTemporaryDir dir(base + QStringLiteral("/bench-network-XXXXXX"));
    auto service = std::make_shared<StorageService>(dir.filePath(QStringLiteral("service")));
    service->ensureCreated();
    const QString remoteRoot = service->usersFolder() + u'/' + user;
    QDir().mkpath(remoteRoot);
    return sync(dir.path(), std::make_shared<LocalRemoteTree>(remoteRoot, service), remoteRoot, up);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Logger::setConsoleOutputEnabled(false);
    const auto [base, runs] = arguments(argc, argv, 1);
    std::printf("First sync of %d files of %lld bytes and %d of %lld, %d run(s), in %s\n", small.files(),
                small.totalBytes / small.files(), largeFiles, largeBytes, runs, qPrintable(base));
    bool complete = true;
    for (const bool up : {true, false}) {
        std::vector<double> network, local, ratio;
        for (int i = 0; i < runs; ++i) {
            const Run there = overTheNetwork(base, up);
            const Run here = onThisMachine(base, up);
            complete = complete && there.complete && here.complete;
            network.push_back(there.seconds);
            local.push_back(here.seconds);
            ratio.push_back(there.seconds / here.seconds);
            std::printf("%-4s network %8.3f s   local tree %8.3f s   ratio %5.2f%s\n", up ? "up" : "down", there.seconds,
                        here.seconds, ratio.back(), there.complete && here.complete ? "" : "   INCOMPLETE");
            std::fflush(stdout);
        }
        if (runs > 1)
            std::printf("%-4s median of %d: network %8.3f s   local tree %8.3f s   ratio %5.2f (median of the runs' ratios)\n",
                        up ? "up" : "down", runs, median(network), median(local), median(ratio));
    }
    if (!complete) std::fprintf(stderr, "a tree was not complete\n");
    return complete ? 0 : 1;
}
