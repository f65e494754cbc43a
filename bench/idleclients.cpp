// Measures what clients waiting for changes cost the server: one Orvella_Service on loopback (TLS),
// first with no client (the baseline), then with 100 clients, each an HttpServiceClient signed in
// as an account of its own whose thread asks for the changes after its cursor, waiting up to 60 s
// (as the engine's remote watcher does), then once they left. Over each stretch the server
// process's CPU (utime + stime from /proc) and at its end the resident set (VmRSS). Prints the
// CPU share of one core and the memory per waiting client.
//
//   bench_idleclients [base folder] [seconds] [clients]   (defaults: /dev/shm, 10, 100)
#include "ServerBench.h"
#include "SyncBench.h"

#include <QThread>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

struct Stretch {
    double cpuMs = 0;  // counted in clock ticks (10 ms)
    double cpuPercent = 0;
    qint64 rssKiB = 0;
    bool ok = false;
};

Stretch watch(qint64 pid, int seconds) {
    const auto before = serverbench::processUse(pid);
    const auto start = Clock::now();
    QThread::sleep(seconds);
    const auto after = serverbench::processUse(pid);
    const double wall = std::chrono::duration<double>(Clock::now() - start).count();
    if (!before || !after) return {};
    const double cpu = after->cpuSeconds - before->cpuSeconds;
    return {1000.0 * cpu, 100.0 * cpu / wall, after->rssKiB, true};
}

// One client's question for changes, asked again as soon as it is answered.
struct Waiter {
    std::shared_ptr<HttpServiceClient> client;
    std::atomic<int> asked{0};
    std::atomic<int> answered{0};
    std::atomic<int> failed{0};
    std::jthread thread;

    void start() {
        thread = std::jthread([this](std::stop_token stop) {
            QString cursor;
            while (!stop.stop_requested()) {
                ++asked;
                const auto changes = client->changes(cursor, 60s, stop);
                if (changes) {
                    cursor = changes.value().cursor;
                    ++answered;
                } else if (!stop.stop_requested()) {
                    ++failed;
                    std::this_thread::sleep_for(1s);  // the engine's poll interval
                }
            }
        });
    }
};

QString userName(int i) { return QStringLiteral("idle%1").arg(i, 3, 10, QLatin1Char('0')); }

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Logger::setConsoleOutputEnabled(false);
    const auto [base, seconds] = syncbench::arguments(argc, argv, 10);
    const int count = argc > 3 ? std::max(1, std::atoi(argv[3])) : 100;
    QTemporaryDir dir(base + QStringLiteral("/bench-idleclients-XXXXXX"));
    const QString root = dir.filePath(QStringLiteral("server"));

    // The accounts and their sessions are made in the root before the server starts: through it,
    // the limit of sign-ins per address would stretch 100 of them over minutes.
    std::vector<QString> sessions(count);
    {
        StorageService service(root);
        service.ensureCreated();
        for (int i = 0; i < count; ++i) {
            const bool made = bool(service.createAccount(userName(i), userName(i) + QStringLiteral("@example.org"),
                                                         serverbench::password));
            const auto session = service.signIn(userName(i), serverbench::password);
            if (!made || !session) return std::fprintf(stderr, "cannot sign %s in\n", qPrintable(userName(i))), 1;
            sessions[i] = session.value().token;
        }
    }
    const auto server = serverbench::startServer(root);
    if (!server) return 1;
    // A known refresh token and an access token the server does not know: the first question
    // gets a fresh one, as a client back from a long sleep does.
    const auto signedIn = [&](int i) {
        auto client = serverbench::clientOf(*server);
        client->setTokens(ServiceClient::Tokens{QStringLiteral("stale"), sessions[i]});
        return client;
    };
    // The baseline's server has answered a client once, so that what any first call sets up is in both.
    {
        const auto client = signedIn(0);
        if (!client->changes(QString(), 0ms)) return std::fprintf(stderr, "the server does not answer\n"), 1;
    }
    std::printf("Orvella_Service (pid %lld) over TLS on loopback, %d s a stretch, in %s\n", static_cast<long long>(server->pid()),
                seconds, qPrintable(base));
    const auto show = [&](const char* what, const Stretch& s) {
        std::printf("%-34s %7.3f %% of a core (%6.0f ms CPU)   VmRSS %8.1f MiB\n", what, s.cpuPercent, s.cpuMs,
                    double(s.rssKiB) / 1024.0);
        std::fflush(stdout);
    };
    QThread::sleep(1);
    const Stretch idle = watch(server->pid(), seconds);
    show("no client (baseline):", idle);

    std::vector<std::unique_ptr<Waiter>> waiters;
    for (int i = 0; i < count; ++i) {
        waiters.push_back(std::make_unique<Waiter>());
        waiters.back()->client = signedIn(i);
        waiters.back()->start();
    }
    // Waiting: each was answered its cursor and asked again.
    const auto deadline = Clock::now() + 60s;
    const auto waiting = [&] {
        return std::all_of(waiters.begin(), waiters.end(), [](const auto& w) { return w->answered >= 1 && w->asked >= 2; });
    };
    while (!waiting() && Clock::now() < deadline) QThread::msleep(50);
    if (!waiting()) return std::fprintf(stderr, "not every client got to wait for changes\n"), 1;
    QThread::sleep(1);
    const auto answers = [&] {
        int answered = 0, failed = 0;
        for (const auto& w : waiters) answered += w->answered, failed += w->failed;
        return std::pair{answered, failed};
    };
    const auto [answeredBefore, failedBefore] = answers();
    const Stretch busy = watch(server->pid(), seconds);
    const auto [answeredAfter, failedAfter] = answers();
    show(qPrintable(QStringLiteral("%1 clients waiting:").arg(count)), busy);
    // Still waiting at the end, not cut off unseen: a change of the first account wakes its client.
    const auto wokenAfter = [&]() -> double {
        const int before = waiters[0]->answered;
        const auto start = Clock::now();
        if (!signedIn(0)->makeFolder(QStringLiteral("woken"))) return -1;
        while (waiters[0]->answered == before && Clock::now() - start < 10s) QThread::msleep(1);
        return waiters[0]->answered == before ? -1 : std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }();
    waiters.clear();
    QThread::sleep(1);
    const Stretch left = watch(server->pid(), seconds);
    show("after they left:", left);

    std::printf("with the clients waiting:          %+7.3f percentage points of a core, %+.1f KiB per client\n",
                busy.cpuPercent - idle.cpuPercent, double(busy.rssKiB - idle.rssKiB) / count);
    std::printf("answers and failures meanwhile:    %d answered, %d failed (nothing changed: both should be 0)\n",
                answeredAfter - answeredBefore, failedAfter - failedBefore);
    std::printf("a change woke its waiting client:  %s\n",
                wokenAfter < 0 ? "NOT within 10 s" : qPrintable(QStringLiteral("after %1 ms (the change's call included)").arg(wokenAfter, 0, 'f', 1)));
    const bool ok = idle.ok && busy.ok && left.ok && failedAfter == failedBefore && wokenAfter >= 0;
    if (!ok) std::fprintf(stderr, "a figure is missing or a client failed\n");
    return ok ? 0 : 1;
}
