#include "app/core/ProcessLauncher.h"

#include <QByteArray>
#include <QStringDecoder>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <vector>

extern char** environ;

namespace {

std::optional<QString> decodeUtf8(const QByteArray& data) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(data);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

struct Child {
    pid_t pid = -1;
    int outFd = -1;
};

// posix_spawn rather than QProcess: it needs no event loop on the calling thread and leaves
// standard input and error to the application.
Child spawn(const QString& path, const std::optional<QStringList>& arguments) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return {};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);

    const QByteArray program = path.toLocal8Bit();
    std::vector<QByteArray> storage{program};
    if (arguments)
        for (const QString& a : *arguments) storage.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& s : storage) argv.push_back(s.data());
    argv.push_back(nullptr);

    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        return {};
    }
    return {pid, fds[0]};
}

QByteArray readToEnd(int fd) {
    QByteArray out;
    char buffer[65536];
    while (true) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) out.append(buffer, n);
        else if (n == 0 || errno != EINTR) break;
    }
    close(fd);
    return out;
}

int waitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

std::optional<QString> ProcessLauncher::launch(const QString& path, const std::optional<QStringList>& arguments) const {
    return launchAndWait(path, arguments).first;
}

std::pair<std::optional<QString>, int> ProcessLauncher::launchAndWait(const QString& path,
                                                                      const std::optional<QStringList>& arguments) const {
    const Child child = spawn(path, arguments);
    if (child.pid < 0) return {std::nullopt, -1};
    const QByteArray output = readToEnd(child.outFd);
    const int status = waitFor(child.pid);
    return {decodeUtf8(output), status};
}
