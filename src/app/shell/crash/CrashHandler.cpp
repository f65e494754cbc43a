#include "app/shell/crash/CrashHandler.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <execinfo.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr int maximumFrames = 128;
constexpr std::size_t pathCapacity = 4096;
constexpr std::size_t alternateStackSize = 256 * 1024;

const std::vector<int> fatalSignals{SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT, SIGTRAP, SIGSYS};

// Everything the handler touches, ready before any signal arrives.
char finalPath[pathCapacity];
char partialPath[pathCapacity];
char versionText[512];
struct sigaction previousActions[NSIG];
bool installed = false;
void* alternateStack = nullptr;
volatile sig_atomic_t handling = 0;

const char* nameOf(int signal) {
    switch (signal) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGILL: return "SIGILL";
    case SIGFPE: return "SIGFPE";
    case SIGABRT: return "SIGABRT";
    case SIGTRAP: return "SIGTRAP";
    case SIGSYS: return "SIGSYS";
    default: return nullptr;
    }
}

// Async-signal-safe writing: no allocation, no stdio, no locale.
void writeText(int fd, const char* text) {
    std::size_t length = 0;
    while (text[length]) ++length;
    while (length > 0) {
        const ssize_t written = ::write(fd, text, length);
        if (written <= 0) return;
        text += written;
        length -= std::size_t(written);
    }
}

void writeNumber(int fd, unsigned long long value, unsigned base = 10) {
    char buffer[32];
    int position = int(sizeof buffer) - 1;
    buffer[position] = '\0';
    do {
        const unsigned digit = unsigned(value % base);
        buffer[--position] = char(digit < 10 ? '0' + digit : 'a' + digit - 10);
        value /= base;
    } while (value > 0 && position > 0);
    writeText(fd, buffer + position);
}

void writeSigned(int fd, long long value) {
    if (value < 0) {
        writeText(fd, "-");
        writeNumber(fd, 0ULL - static_cast<unsigned long long>(value));
    } else {
        writeNumber(fd, static_cast<unsigned long long>(value));
    }
}

void handleSignal(int signal, siginfo_t* info, void*) {
    // A second fault while writing the report ends the process the ordinary way.
    if (handling) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    handling = 1;
    const int savedErrno = errno;
    const int fd = ::open(partialPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd >= 0) {
        writeText(fd, "Orvella crash report\nVersion: ");
        writeText(fd, versionText);
        writeText(fd, "\nProcess: ");
        writeNumber(fd, static_cast<unsigned long long>(::getpid()));
        writeText(fd, "\nSignal: ");
        writeSigned(fd, signal);
        writeText(fd, " (");
        const char* name = nameOf(signal);
        writeText(fd, name ? name : "unknown");
        writeText(fd, ")\nCode: ");
        writeSigned(fd, info ? info->si_code : 0);
        writeText(fd, "\nAddress: 0x");
        writeNumber(fd, info ? reinterpret_cast<unsigned long long>(info->si_addr) : 0ULL, 16);
        struct timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        writeText(fd, "\nTime: ");
        writeSigned(fd, now.tv_sec);
        writeText(fd, "\nBacktrace:\n");
        void* frames[maximumFrames];
        const int count = ::backtrace(frames, maximumFrames);
        ::backtrace_symbols_fd(frames, count, fd);
        writeText(fd, "End of report\n");
        ::fsync(fd);
        ::close(fd);
        // Only a complete report gets its final name.
        ::rename(partialPath, finalPath);
    }
    // Hand the signal back to whoever had it, and let it end the process as it would have.
    ::sigaction(signal, &previousActions[signal], nullptr);
    errno = savedErrno;
    // The signal stays blocked until the handler returns and is then delivered to the restored
    // disposition, before a faulting instruction could run again.
    ::raise(signal);
}

bool copyInto(char* target, std::size_t capacity, const QByteArray& text) {
    if (std::size_t(text.size()) >= capacity) return false;
    std::memcpy(target, text.constData(), std::size_t(text.size()));
    target[text.size()] = '\0';
    return true;
}

}  // namespace

bool CrashHandler::install(const QString& reportsFolder, const QString& version) {
    if (!QDir().mkpath(reportsFolder)) return false;
    const QString name = QStringLiteral("crash-%1-%2%3")
                             .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmsszzz")))
                             .arg(::getpid())
                             .arg(QString::fromLatin1(reportSuffix));
    const QByteArray path = QFile::encodeName(QDir(reportsFolder).absoluteFilePath(name));
    QByteArray versionBytes = version.toUtf8();
    versionBytes.replace('\n', ' ');
    if (versionBytes.size() >= qsizetype(sizeof versionText)) versionBytes.truncate(sizeof versionText - 1);
    if (!copyInto(finalPath, pathCapacity, path) || !copyInto(partialPath, pathCapacity, path + ".part")) return false;
    copyInto(versionText, sizeof versionText, versionBytes);

    // The first call of backtrace() may load libgcc, which is not safe inside a handler.
    void* warmUp[1];
    ::backtrace(warmUp, 1);

    // A stack overflow leaves no stack for the handler: give it one of its own.
    if (!alternateStack) {
        alternateStack = std::malloc(alternateStackSize);
        if (alternateStack) {
            stack_t stack{};
            stack.ss_sp = alternateStack;
            stack.ss_size = alternateStackSize;
            ::sigaltstack(&stack, nullptr);
        }
    }
    struct sigaction action {};
    action.sa_sigaction = handleSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : fatalSignals) {
        // Installed already, the handler may still have been replaced since (a library, or
        // whoever reset the signals): take each signal back that is no longer ours, and hand it
        // on to what replaced it.
        if (installed) {
            struct sigaction current {};
            ::sigaction(signal, nullptr, &current);
            if ((current.sa_flags & SA_SIGINFO) && current.sa_sigaction == handleSignal) continue;
        }
        ::sigaction(signal, &action, &previousActions[signal]);
    }
    installed = true;
    handling = 0;
    return true;
}

void CrashHandler::uninstall() {
    if (!installed) return;
    for (int signal : fatalSignals) ::sigaction(signal, &previousActions[signal], nullptr);
    installed = false;
}

bool CrashHandler::isInstalled() { return installed; }

QString CrashHandler::reportPath() { return QFile::decodeName(QByteArray(finalPath)); }

const std::vector<int>& CrashHandler::handledSignals() { return fatalSignals; }

QString CrashHandler::signalName(int signal) {
    const char* name = nameOf(signal);
    return name ? QString::fromLatin1(name) : QStringLiteral("SIG%1").arg(signal);
}
