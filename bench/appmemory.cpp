// Measures the idle memory of the whole application, the binary `scripts/run` starts, signed in with
// 100,000 synced files (1,000 folders of 100 small files), beside the same application signed in
// with an empty sync folder. Each case runs in a tree of its own (home, XDG folders, runtime folder,
// service), prepared as a finished onboarding leaves it by the classes the onboarding writes through:
// the sign-in page's account creation, the crash-report answer, the sync root, the selective-sync
// store and the launched flag. The files lie in the user's remote tree before the start, so the
// first sync downloads them; then two rounds delete them from the sync folder (the service follows)
// and write them again (uploaded). Each figure is taken once both trees hold what they should, the
// process's CPU time has stood still for 3 s, and 12 s more have passed (the engine lets go of
// memory after 10 s idle). Memory is the resident set (VmRSS, with its anonymous and file parts).
// The first sync down and the first upload (the folders moved into the sync folder at once) are
// also timed through the application, beside `cp -r` of the same tree, and checked byte for byte.
//
//   bench_appmemory [base folder]   (default: /dev/shm)
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <future>
#include <optional>
#include <thread>
#include <vector>

#include "MemoryBench.h"
#include "SyncBench.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/SettingsController.h"
#include "app/core/SyncFolderPaths.h"
#include "app/selectivesync/ObjectContext.h"
#include "app/selectivesync/StoreController.h"
#include "frameworks/business/OrvellaFacade.h"
#include "frameworks/logger/Logger.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/UserDefaults.h"
#include "service/StorageService.h"

QByteArray orvellaInfo();

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr auto waitLimit = 5min;
constexpr auto quietSpan = 3s;
constexpr auto releaseSpan = 12s;
const QString userName = QStringLiteral("bench");

// --- In the child that prepares the signed-in state ---

// Runs the event loop until `start`'s completion has run, on whichever thread it runs.
void await(const std::function<void(std::function<void()>)>& start) {
    QEventLoop loop;
    start([&loop] { QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection); });
    loop.exec();
}

// Writes what the first launch's prompt and onboarding write when the user declines crash reports,
// creates an account on the sign-in page, keeps the proposed sync root and selects the whole remote
// tree; prints the sync folder and the remote tree.
int prepare(int argc, char** argv, bool full) {
    QApplication app(argc, argv);
    // Named as the application's own process is, so that its data folder (the selective-sync store) is the same.
    QCoreApplication::setApplicationName(QFileInfo(QStringLiteral(ORVELLA_APPLICATION)).fileName());
    Logger::setConsoleOutputEnabled(false);
    Bundle::main().setInfoJson(orvellaInfo());
    BusinessFacade& facade = BusinessFacadeHolder::facade();
    SettingsController settingsController;
    OrvellaSettingsManager* settings = settingsController.settings();
    settings->setHasPromptedToSendCrashReports(true);

    const auto backend = facade.signInBackend();
    if (!backend) return std::fprintf(stderr, "the facade offers no sign-in\n"), 1;
    std::promise<VoidResult> created;
    backend->createAccount(userName, QStringLiteral("bench@example.org"), QStringLiteral("a bench password"),
                           [&](VoidResult result) { created.set_value(std::move(result)); });
    if (const VoidResult result = created.get_future().get(); !result.isSuccess())
        return std::fprintf(stderr, "cannot create the account: %s\n", qPrintable(result.error().message)), 1;
    settingsController.removeBackupDefaults();
    const auto user = facade.currentUser();
    const auto* orvella = dynamic_cast<const OrvellaFacade*>(&facade);
    if (!user || !orvella) return std::fprintf(stderr, "nobody is signed in\n"), 1;
    const QString remoteRoot = orvella->service().homeFolder(user->name());
    // Before the selective-sync page loads the root level, as it would find them.
    if (full && !memorybench::makeTree(remoteRoot)) return std::fprintf(stderr, "cannot write the remote tree\n"), 1;

    const QString syncRoot = SettingsController::realHomeDirectory();
    settings->setSyncRoot(syncRoot);

    StoreController& store = StoreController::shared();
    await([&](std::function<void()> done) { store.merge(facade.subscriptionItems(), std::move(done)); });
    bool loaded = false;
    await([&](std::function<void()> done) {
        store.rootNode({}, [&, done](SelectiveSyncLevelResult result) {
            loaded = result.isSuccess();
            done();
        });
    });
    if (!loaded) return std::fprintf(stderr, "cannot load the remote root level\n"), 1;
    settings->setIsAlreadyLaunched(true);
    store.viewContext().performAndWait([&] { (void)store.viewContext().save(); });
    // There is no engine yet to hand the list to; its empty list keeps the whole tree, as the
    // onboarding's closing "/" does.
    store.selectiveSyncItems([](const std::vector<SelectiveSyncItem>&) {});
    UserDefaults::standard().setObject(user->accountId(), syncRoot);

    const auto syncFolder = syncFolderPath();
    if (!syncFolder) return std::fprintf(stderr, "no sync folder\n"), 1;
    std::printf("%s\n%s\n", qPrintable(*syncFolder), qPrintable(remoteRoot));
    return 0;
}

// --- In the bench ---

struct Environment {
    QString base;
    std::vector<QByteArray> variables;

    // A home, XDG folders and a service of its own, offscreen, with no session bus or display.
    explicit Environment(const QString& b) : base(b) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS"})
            environment.remove(QString::fromLatin1(name));
        const std::pair<const char*, const char*> folders[] = {
            {"HOME", "home"}, {"ORVELLA_HOME", "home"}, {"XDG_DATA_HOME", "data"}, {"XDG_CONFIG_HOME", "config"},
            {"XDG_RUNTIME_DIR", "runtime"}, {"ORVELLA_SERVICE_ROOT", "service"}};
        for (const auto& [name, folder] : folders) {
            const QString path = base + u'/' + QLatin1String(folder);
            QDir().mkpath(path);
            environment.insert(QString::fromLatin1(name), path);
        }
        QFile::setPermissions(base + QStringLiteral("/runtime"),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        for (const QString& entry : environment.toStringList()) variables.push_back(entry.toLocal8Bit());
    }

    // Started with this environment, its output and errors in files.
    pid_t spawn(const QString& program, const QStringList& arguments, const QString& output, const QString& errors) const {
        std::vector<QByteArray> argumentBytes{program.toLocal8Bit()};
        for (const QString& argument : arguments) argumentBytes.push_back(argument.toLocal8Bit());
        std::vector<char*> argv, envp;
        for (const QByteArray& argument : argumentBytes) argv.push_back(const_cast<char*>(argument.constData()));
        for (const QByteArray& variable : variables) envp.push_back(const_cast<char*>(variable.constData()));
        argv.push_back(nullptr);
        envp.push_back(nullptr);
        const QByteArray outputPath = output.toLocal8Bit(), errorsPath = errors.toLocal8Bit();
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outputPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorsPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        pid_t pid = -1;
        const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        return error == 0 ? pid : -1;
    }
};

// The application under measurement, stopped when this goes.
class Application {
public:
    explicit Application(pid_t pid) : pid_(pid) {}
    ~Application() { stop(); }

    bool isRunning() {
        if (pid_ <= 0) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
        pid_ = -1;
        return false;
    }

    // User and system CPU time in clock ticks.
    long long cpuTicks() const {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid_));
        if (!stat.open(QIODevice::ReadOnly)) return -1;
        const QByteArray line = stat.readAll();
        // After the parenthesised name: the state is the first field, utime the 12th, stime the 13th.
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
    }

    double statusMb(const char* field) const { return memorybench::statusMb(QString::number(pid_), field); }

    pid_t pid() const { return pid_; }

    void stop() {
        if (!isRunning()) return;
        ::kill(pid_, SIGTERM);
        for (int i = 0; i < 300 && isRunning(); ++i) std::this_thread::sleep_for(100ms);
        if (!isRunning()) return;
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

private:
    pid_t pid_;
};

// Polls until `done`; false (with a word on stderr) when the application ends or time runs out.
bool waitUntil(Application& app, const char* what, const std::function<bool()>& done) {
    const auto end = Clock::now() + waitLimit;
    while (Clock::now() < end) {
        if (!app.isRunning()) return std::fprintf(stderr, "the application ended while waiting %s\n", what), false;
        if (done()) return true;
        std::this_thread::sleep_for(250ms);
    }
    std::fprintf(stderr, "timed out waiting %s\n", what);
    return false;
}

bool waitUntilQuiet(Application& app) {
    long long ticks = app.cpuTicks();
    auto changed = Clock::now();
    return waitUntil(app, "for the application to be idle", [&] {
        const long long now = app.cpuTicks();
        if (now != ticks) {
            ticks = now;
            changed = Clock::now();
        }
        return Clock::now() - changed >= quietSpan;
    });
}

struct Memory {
    double rss = 0;
    double anon = 0;
    double file = 0;
};

// Idle, then idle long enough for the engine to let go, and idle again after it did.
std::optional<Memory> settledMemory(Application& app) {
    if (!waitUntilQuiet(app)) return std::nullopt;
    const auto release = Clock::now() + releaseSpan;
    if (!waitUntil(app, "for the engine to let go", [&] { return Clock::now() >= release; })) return std::nullopt;
    if (!waitUntilQuiet(app)) return std::nullopt;
    return Memory{app.statusMb("VmRSS:"), app.statusMb("RssAnon:"), app.statusMb("RssFile:")};
}

bool waitUntilSynced(Application& app, const QString& syncFolder, const QString& remoteRoot, int files) {
    return waitUntil(app, "for the sync", [&] {
        return QFileInfo(syncFolder).isDir() && memorybench::countFiles(syncFolder) == files &&
               memorybench::countFiles(remoteRoot) == files;
    });
}

void printTail(const QString& log) {
    QFile file(log);
    if (file.open(QIODevice::ReadOnly)) std::fprintf(stderr, "--- %s:\n%s\n", qPrintable(log), file.readAll().right(4000).constData());
}

// The figures of one case: after the first sync, then after each round when the tree is full.
// The application's first sync of the full tree, down (started with it remotely) and up (its
// folders moved into the sync folder at once), each beside `cp -r` of the same tree, in seconds.
struct Timings {
    double down = 0, downCopy = 0, up = 0, upCopy = 0;
    bool complete = false;
};

double copySeconds(const QString& from, const QString& to) {
    const auto start = Clock::now();
    if (QProcess::execute(QStringLiteral("cp"), {QStringLiteral("-r"), from, to}) != 0) return -1;
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::vector<Memory> measureCase(const QString& parent, bool full, Timings* timings = nullptr) {
    QTemporaryDir dir(parent + QStringLiteral("/bench-appmemory-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot create a folder in %s\n", qPrintable(parent));
        return {};
    }
    const Environment environment(dir.path());
    const QString prepareOutput = dir.filePath(QStringLiteral("prepare.out"));
    const QString prepareLog = dir.filePath(QStringLiteral("prepare.log"));
    const pid_t preparing = environment.spawn(QCoreApplication::applicationFilePath(),
                                              {QStringLiteral("--prepare"), full ? QStringLiteral("full") : QStringLiteral("empty")},
                                              prepareOutput, prepareLog);
    int status = 0;
    if (preparing <= 0 || ::waitpid(preparing, &status, 0) != preparing || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "cannot prepare the signed-in state\n");
        printTail(prepareLog);
        return {};
    }
    QFile prepared(prepareOutput);
    const QList<QByteArray> paths = prepared.open(QIODevice::ReadOnly) ? prepared.readAll().trimmed().split('\n') : QList<QByteArray>();
    if (paths.size() != 2) return {};
    const QString syncFolder = QString::fromLocal8Bit(paths[0]);
    const QString remoteRoot = QString::fromLocal8Bit(paths[1]);

    const QString appLog = dir.filePath(QStringLiteral("application.log"));
    const auto spawned = Clock::now();
    Application app(environment.spawn(QStringLiteral(ORVELLA_APPLICATION), {}, appLog, appLog + QStringLiteral(".err")));
    const int files = full ? memorybench::fileCount : 0;
    std::vector<Memory> figures;
    const auto fail = [&] {
        printTail(appLog + QStringLiteral(".err"));
        return std::vector<Memory>{};
    };
    if (!waitUntilSynced(app, syncFolder, remoteRoot, files)) return fail();
    if (timings) {
        timings->down = std::chrono::duration<double>(Clock::now() - spawned).count();
        timings->downCopy = copySeconds(remoteRoot, dir.filePath(QStringLiteral("copy-down")));
        timings->complete = syncbench::sameFiles(remoteRoot, syncFolder);
    }
    auto memory = settledMemory(app);
    if (!memory) return fail();
    figures.push_back(*memory);
    std::fprintf(stderr, "%s: first sync done, pid %d, RSS %.1f MB\n", full ? "full" : "empty", int(app.pid()), memory->rss);
    for (int round = 1; full && round <= 2; ++round) {
        if (!memorybench::removeFiles(syncFolder)) return fail();
        if (!waitUntilSynced(app, syncFolder, remoteRoot, 0) || !waitUntilQuiet(app)) return fail();
        if (round == 1 && timings) {
            // Written aside first, so that what is timed is the sync, not the writing.
            const QString staging = dir.filePath(QStringLiteral("staging"));
            if (!memorybench::makeTree(staging)) return fail();
            timings->upCopy = copySeconds(staging, dir.filePath(QStringLiteral("copy-up")));
            const auto moved = Clock::now();
            for (const QString& folder : QDir(staging).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
                if (!QDir().rename(staging + u'/' + folder, syncFolder + u'/' + folder)) return fail();
            if (!waitUntilSynced(app, syncFolder, remoteRoot, files)) return fail();
            timings->up = std::chrono::duration<double>(Clock::now() - moved).count();
            timings->complete = timings->complete && syncbench::sameFiles(syncFolder, remoteRoot);
        } else if (!memorybench::makeTree(syncFolder)) {
            return fail();
        }
        if (!waitUntilSynced(app, syncFolder, remoteRoot, files) || !(memory = settledMemory(app))) return fail();
        figures.push_back(*memory);
        std::fprintf(stderr, "full: round %d done, RSS %.1f MB\n", round, memory->rss);
    }
    app.stop();
    return figures;
}

void print(const QByteArray& what, const Memory& memory, const Memory& baseline) {
    std::printf("%-36s RSS %7.1f MB (baseline %6.1f, ratio %5.2f)   anonymous %6.1f MB, file %6.1f MB\n", what.constData(),
                memory.rss, baseline.rss, memory.rss / baseline.rss, memory.anon, memory.file);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && QByteArray(argv[1]) == "--prepare") return prepare(argc, argv, QByteArray(argv[2]) == "full");
    QCoreApplication app(argc, argv);
    const QString parent = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/dev/shm");
    std::printf("Idle memory of %s, signed in, %d files in %d folders, in %s\n", ORVELLA_APPLICATION,
                memorybench::fileCount, memorybench::folderCount, qPrintable(parent));
    std::fflush(stdout);

    const std::vector<Memory> baseline = measureCase(parent, false);
    if (baseline.empty()) return 1;
    Timings timings;
    const std::vector<Memory> full = measureCase(parent, true, &timings);
    if (full.empty()) return 1;
    std::printf("first sync through the application, down %6.2f s (cp -r %5.2f s, ratio %5.2f), up %6.2f s "
                "(cp -r %5.2f s, ratio %5.2f)%s\n",
                timings.down, timings.downCopy, timings.down / timings.downCopy, timings.up, timings.upCopy,
                timings.up / timings.upCopy, timings.complete ? "" : "   INCOMPLETE");
    print("after the first sync", full.front(), baseline.front());
    for (size_t round = 1; round < full.size(); ++round)
        print("after round " + QByteArray::number(qsizetype(round)) + " of remove and add", full[round], baseline.front());
    print("empty sync folder (baseline)", baseline.front(), baseline.front());
    return 0;
}
