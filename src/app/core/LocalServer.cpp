#include "app/core/LocalServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <condition_variable>
#include <csignal>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/common/LogChannels.h"

extern char** environ;

namespace {
constexpr char listeningPrefix[] = "Listening on ";
}

struct LocalServer::State {
    std::mutex mutex;
    std::condition_variable changed;
    pid_t pid = -1;
    int input = -1;  // the write end of the server's standard input; closing it stops the server
    std::optional<QUrl> url;
    bool ended = false;
    QString lastLine;
};

QString LocalServer::executableBesideApplication() {
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("Orvella_Service"));
}

LocalServer::~LocalServer() { stop(); }

bool LocalServer::isRunning() const {
    if (!state_) return false;
    std::lock_guard lock(state_->mutex);
    return state_->pid > 0 && !state_->ended;
}

std::variant<QUrl, QString> LocalServer::start(const QString& executable, const QString& root,
                                               std::chrono::milliseconds timeout) {
    if (isRunning()) {
        std::lock_guard lock(state_->mutex);
        if (state_->url) return *state_->url;
    }
    if (!QFile::exists(executable)) return QStringLiteral("The storage service program is missing at %1.").arg(executable);
    int input[2], output[2];
    if (::pipe2(input, O_CLOEXEC) != 0) return QStringLiteral("Cannot start the storage service: no pipe.");
    if (::pipe2(output, O_CLOEXEC) != 0) {
        ::close(input[0]);
        ::close(input[1]);
        return QStringLiteral("Cannot start the storage service: no pipe.");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDERR_FILENO);
    const QByteArray program = QFile::encodeName(executable);
    const QByteArray rootArgument = QFile::encodeName(root);
    std::vector<QByteArray> arguments{program, "--root", rootArgument, "--listen", "127.0.0.1:0", "--exit-with-stdin"};
    std::vector<char*> argv;
    for (QByteArray& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned = ::posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    if (spawned != 0) {
        ::close(input[1]);
        ::close(output[0]);
        return QStringLiteral("Cannot start the storage service: %1.").arg(QString::fromLocal8Bit(::strerror(spawned)));
    }

    auto state = std::make_shared<State>();
    state->pid = pid;
    state->input = input[1];
    state_ = state;
    // Reads what the server says until it ends: the first "Listening on" line is its address,
    // every other line goes to the log. The thread holds the state, not this object.
    std::thread([state, reading = output[0]] {
        QByteArray pending;
        char buffer[4096];
        for (;;) {
            const ssize_t got = ::read(reading, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) break;
            pending.append(buffer, got);
            qsizetype end;
            while ((end = pending.indexOf('\n')) >= 0) {
                const QString line = QString::fromUtf8(pending.left(end)).trimmed();
                pending.remove(0, end + 1);
                std::lock_guard lock(state->mutex);
                if (!state->url && line.startsWith(QLatin1String(listeningPrefix))) {
                    state->url = QUrl(line.mid(int(sizeof listeningPrefix) - 1));
                    state->changed.notify_all();
                } else if (!line.isEmpty()) {
                    state->lastLine = line;
                    OVLOG_INFO(AppLog::setup(), QStringLiteral("Storage service: %1").arg(line));
                }
            }
        }
        ::close(reading);
        int status = 0;
        pid_t waited;
        do waited = ::waitpid(state->pid, &status, 0);
        while (waited < 0 && errno == EINTR);
        std::lock_guard lock(state->mutex);
        state->ended = true;
        state->changed.notify_all();
    }).detach();

    std::unique_lock lock(state->mutex);
    state->changed.wait_for(lock, timeout, [&] { return state->url || state->ended; });
    if (state->url && !state->ended) {
        OVLOG_INFO(AppLog::setup(), QStringLiteral("Storage service started at %1.").arg(state->url->toString()));
        return *state->url;
    }
    const QString why = state->ended ? QStringLiteral("The storage service ended at its start")
                                     : QStringLiteral("The storage service did not start in time");
    const QString detail = state->lastLine;
    lock.unlock();
    stop(std::chrono::milliseconds(0));
    return detail.isEmpty() ? why + u'.' : QStringLiteral("%1: %2").arg(why, detail);
}

void LocalServer::stop(std::chrono::milliseconds grace) {
    const auto state = state_;
    if (!state) return;
    std::unique_lock lock(state->mutex);
    if (state->input >= 0) {
        ::close(state->input);
        state->input = -1;
    }
    if (!state->changed.wait_for(lock, grace, [&] { return state->ended; })) {
        ::kill(state->pid, SIGKILL);
        state->changed.wait_for(lock, std::chrono::seconds(5), [&] { return state->ended; });
    }
}
