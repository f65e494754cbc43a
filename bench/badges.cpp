// Times the badges of a folder of 10,000 items, end to end: `Orvella_FinderHost --list` loads the
// real extension plug-in, which registers with the application side and asks it for every item the
// host shows. The application side runs in this process as the application runs it: its badge and
// registration servers over a real sync engine that has synced the folder.
//
// Beside it, the baseline: a second process that asks the same badge server for the same 10,000
// items over one reused connection. And the file managers' path: a process whose Qt-free port
// client (the one the Nautilus module and the Dolphin plug-ins run on) registers and asks for the
// 10,000 items together, until each is answered and mapped to its emblem. All are timed from
// process start to exit, 5 times each.
//
//   bench_badges
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string_view>
#include <vector>

#include "app/core/SyncFolderPaths.h"
#include "app/core/support/TestBusinessFacade.h"
#include "app/sync/AppServer.h"
#include "app/sync/CommServer.h"
#include "frameworks/logger/Logger.h"
#include "frameworks/sync/OrvellaSyncEngine.h"
#include "platform/foundation/Bundle.h"
#include "platform/messageport/MessagePort.h"
#include "protocol/MessagePortProtocol.h"
#include "protocol/core/BadgeEmblems.h"
#include "protocol/core/ExtensionClient.h"
#include "service/StorageService.h"
#include "support/TestEnvironment.h"

QByteArray orvellaInfo();

namespace {

constexpr int folderItems = 10'000;
constexpr int runs = 5;
const QString folderName = QStringLiteral("Folder");

using Clock = std::chrono::steady_clock;

QString itemName(int index) { return QStringLiteral("item %1.txt").arg(index, 5, 10, QLatin1Char('0')); }

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QString appGroup() { return Bundle::main().object(QStringLiteral("AppGroupIdentifier")).toString(); }

// The baseline's process: every item of the folder over one connection; fails unless each is synced.
int runClient(const QString& folder) {
    auto port = MessagePort::createRemote(MessagePortProtocol::badgePortName(appGroup()));
    if (!port) {
        std::fputs("client: nobody serves the badge port\n", stderr);
        return 1;
    }
    for (int i = 0; i < folderItems; ++i) {
        const QByteArray url = QUrl::fromLocalFile(folder + QLatin1Char('/') + itemName(i)).toEncoded();
        const MessagePortReply reply = port->sendRequest(MessagePortProtocol::messageId, url, MessagePortProtocol::sendTimeout,
                                                         MessagePortProtocol::receiveTimeout, true);
        if (reply.result != MessagePortResult::success || reply.data != QByteArray("synced")) {
            std::fprintf(stderr, "client: item %d answered %d\n", i, reply.result);
            return 1;
        }
    }
    return 0;
}

// The file managers' process: the port client asks for every item at once, as a folder's items
// are asked when the folder opens; fails unless each is answered with the synced emblem.
int runCore(const QString& folder) {
    std::mutex mutex;
    std::condition_variable changed;
    bool registered = false;
    int emblems = 0;
    OrvellaPorts::ExtensionClient::Callbacks callbacks;
    callbacks.syncFolderChanged = [&](const std::string&) {
        std::lock_guard lock(mutex);
        registered = true;
        changed.notify_all();
    };
    callbacks.badgeChanged = [&](const std::string&, const std::string& badge) {
        std::lock_guard lock(mutex);
        if (OrvellaPorts::emblemForBadge(badge) == std::optional<std::string>("emblem-orvella-synced")) ++emblems;
        changed.notify_all();
    };
    OrvellaPorts::ExtensionClient::Options options;
    options.appGroupIdentifier = appGroup().toStdString();
    OrvellaPorts::ExtensionClient client(std::move(options), std::move(callbacks));
    std::unique_lock lock(mutex);
    if (!changed.wait_for(lock, std::chrono::seconds(30), [&] { return registered; })) {
        std::fputs("core: the application never answered the registration\n", stderr);
        return 1;
    }
    std::vector<std::string> paths;
    for (int i = 0; i < folderItems; ++i)
        paths.push_back(QFile::encodeName(folder + QLatin1Char('/') + itemName(i)).toStdString());
    client.requestBadges(std::move(paths));
    if (!changed.wait_for(lock, std::chrono::seconds(60), [&] { return emblems == folderItems; })) {
        std::fprintf(stderr, "core: %d of %d items shown synced\n", emblems, folderItems);
        return 1;
    }
    return 0;
}

// The application's business facade, with the sync engine the bench set up.
class BenchFacade : public TestBusinessFacade {
public:
    using TestBusinessFacade::TestBusinessFacade;
    SyncFacade* syncFacade() const override { return engine.get(); }
    std::unique_ptr<OrvellaSyncEngine> engine;
};

// Waits until the engine, up to date, has looked at everything changed since it said so.
bool waitUpToDate(OrvellaSyncEngine& engine) {
    const auto deadline = Clock::now() + std::chrono::minutes(5);
    while (Clock::now() < deadline) {
        if (engine.currentStatus().kind == SyncStatus::Kind::upToDate) {
            const auto check = engine.requestCheck();
            while (engine.checkedCount() < check && Clock::now() < deadline) QThread::msleep(10);
            if (engine.currentStatus().kind == SyncStatus::Kind::upToDate) return true;
        }
        QThread::msleep(20);
    }
    return false;
}

// Runs a program to its end with the event loop going (the servers' registrations need it); the
// wall time in seconds, or a negative number when it failed.
double timedRun(const QString& program, const QStringList& arguments, QByteArray* output) {
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart) loop.quit();
    });
    const auto start = Clock::now();
    process.start(program, arguments);
    loop.exec();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (output) *output = process.readAllStandardOutput();
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed: %s\n", qPrintable(program), process.readAllStandardError().constData());
        return -1;
    }
    return seconds;
}

// Whether the host listed every item of the folder with the synced badge.
bool everyItemSynced(const QByteArray& listing) {
    const QList<QByteArray> lines = listing.trimmed().split('\n');
    if (lines.size() != folderItems) return false;
    return std::all_of(lines.begin(), lines.end(), [](const QByteArray& line) { return line.endsWith("\tsynced"); });
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::string_view(argv[1]) == "--core") {
        QCoreApplication app(argc, argv);
        Bundle::main().setInfoJson(orvellaInfo());
        return runCore(QString::fromLocal8Bit(argv[2]));
    }
    if (argc == 3 && std::string_view(argv[1]) == "--client") {
        QCoreApplication app(argc, argv);
        Bundle::main().setInfoJson(orvellaInfo());
        return runClient(QString::fromLocal8Bit(argv[2]));
    }

    QTemporaryDir base(QStringLiteral("/dev/shm/orvella-bench-badges-XXXXXX"));
    if (!base.isValid()) {
        std::fputs("cannot make a temp folder under /dev/shm\n", stderr);
        return 1;
    }
    // A private home: settings, ports and logs of this run stay in the temp tree, and the host
    // started from here finds them there too.
    TestEnvironment::useHome(base.path());
    QCoreApplication app(argc, argv);
    Bundle::main().setInfoJson(orvellaInfo());
    Logger::setConsoleOutputEnabled(false);

    auto facade = std::make_shared<BenchFacade>(appGroup());
    BusinessFacadeHolder::setFacadeForTesting(facade);
    facade->settings()->setSyncRoot(base.path() + QStringLiteral("/home"));
    const QString syncFolder = syncFolderPath().value_or(QString());
    const QString folder = syncFolder + QLatin1Char('/') + folderName;
    QDir().mkpath(folder);
    for (int i = 0; i < folderItems; ++i) {
        QFile file(folder + QLatin1Char('/') + itemName(i));
        if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray::number(i)) <= 0) {
            std::fputs("cannot write the folder's items\n", stderr);
            return 1;
        }
    }

    auto service = std::make_shared<StorageService>(base.path() + QStringLiteral("/service-tree"));
    service->ensureCreated();
    const QString remoteRoot = service->usersFolder() + QStringLiteral("/alice");
    QDir().mkpath(remoteRoot);
    SyncFacadeConfiguration configuration;
    configuration.rootDirectoryLocalURL = syncFolder;
    configuration.conflictSuffix = QStringLiteral("conflicted copy");
    facade->engine = std::make_unique<OrvellaSyncEngine>(configuration, service, remoteRoot,
                                                         base.path() + QStringLiteral("/SyncData"));
    if (!waitUpToDate(*facade->engine)) {
        std::fputs("the sync engine did not bring the folder up to date\n", stderr);
        return 1;
    }

    AppServer appServer;
    CommServer commServer;
    if (!appServer.addSourceForNewLocalMessagePort(MessagePortProtocol::badgePortName(appGroup())) ||
        !commServer.addSourceForNewLocalMessagePort(MessagePortProtocol::registrationPortName(appGroup()))) {
        std::fputs("cannot open the application's ports\n", stderr);
        return 1;
    }

    std::vector<double> host, client, core;
    for (int run = 0; run < runs; ++run) {
        QByteArray listing;
        const double hostSeconds =
            timedRun(QStringLiteral(FINDERSYNC_HOST),
                     {QStringLiteral("--plugin"), QStringLiteral(EXTENSION_PLUGIN), QStringLiteral("--list"), folder,
                      QStringLiteral("--wait"), QStringLiteral("30000")},
                     &listing);
        if (hostSeconds < 0 || !everyItemSynced(listing)) {
            std::fputs("the host did not list every item as synced\n", stderr);
            return 1;
        }
        host.push_back(hostSeconds);
        const double clientSeconds =
            timedRun(QCoreApplication::applicationFilePath(), {QStringLiteral("--client"), folder}, nullptr);
        if (clientSeconds < 0) return 1;
        client.push_back(clientSeconds);
        const double coreSeconds =
            timedRun(QCoreApplication::applicationFilePath(), {QStringLiteral("--core"), folder}, nullptr);
        if (coreSeconds < 0) return 1;
        core.push_back(coreSeconds);
    }

    const double figure = median(host);
    const double baseline = median(client);
    std::printf("badges of a folder of %d items, end to end (median of %d runs, process start to exit):\n",
                folderItems, runs);
    std::printf("  Orvella_FinderHost --list                  %7.3f s\n", figure);
    std::printf("  baseline: one client, one reused connection %7.3f s\n", baseline);
    std::printf("  ratio %.2f\n", figure / baseline);
    const double files = median(core);
    std::printf("  file managers' port client, query to emblem %7.3f s\n", files);
    std::printf("  ratio to the host %.2f\n", files / figure);
    facade->engine.reset();
    BusinessFacadeHolder::setFacadeForTesting(nullptr);
    return 0;
}
