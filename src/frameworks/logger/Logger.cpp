#include "frameworks/logger/Logger.h"

#include <QCoreApplication>
#include <QDir>
#include <QSysInfo>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <mutex>
#include <vector>

#include "frameworks/logger/DetailedLogFormatter.h"
#include "frameworks/logger/FileLogger.h"
#include "platform/foundation/Bundle.h"

namespace {

using SinkList = std::vector<std::pair<Logger::SinkId, std::shared_ptr<const Logger::Sink>>>;

// Never destroyed: channels are handed out by reference and may be used from static destructors
// and from threads that outlive main().
struct State {
    std::mutex channelsMutex;
    std::map<QString, std::unique_ptr<Log::Channel>> channels;

    std::atomic<bool> consoleEnabled{true};
    std::mutex consoleMutex;

    std::mutex sinksMutex;
    std::shared_ptr<const SinkList> sinks = std::make_shared<const SinkList>();
    Logger::SinkId nextSinkId = 1;
    std::atomic<bool> hasSinks{false};

    std::mutex fileMutex;
    std::shared_ptr<FileLogger> fileLogger;
    std::atomic<bool> hasFileLogger{false};
    bool exitHandlerInstalled = false;
    // What was logged before the first file logger existed, so start-up lines reach the file too.
    std::deque<LogEntry> earlyEntries;
    bool hadFileLogger = false;

    std::mutex clockMutex;
    std::shared_ptr<const Logger::Clock> clock;
    std::atomic<bool> hasClock{false};
};

State& state() {
    static State* instance = new State;
    return *instance;
}

std::shared_ptr<FileLogger> currentFileLogger() {
    State& s = state();
    std::lock_guard lock(s.fileMutex);
    return s.fileLogger;
}

QString safePart(QString part) {
    part.replace(QLatin1Char('/'), QLatin1Char('_'));
    part.replace(QLatin1Char('\\'), QLatin1Char('_'));
    part.replace(QChar(u'\0'), QLatin1Char('_'));
    part = part.trimmed();
    if (part == QLatin1String(".") || part == QLatin1String("..")) part = QStringLiteral("_");
    return part;
}

QString infoText(const char* key) {
    return Bundle::main().object(QLatin1String(key)).toString();
}

FileLogger::HeaderValues headerValues() {
    FileLogger::HeaderValues values;
    values.applicationName = infoText("CFBundleName");
    if (values.applicationName.isEmpty()) values.applicationName = infoText("CFBundleExecutable");
    if (values.applicationName.isEmpty()) values.applicationName = QCoreApplication::applicationName();
    const QString shortVersion = infoText("CFBundleShortVersionString");
    const QString build = infoText("CFBundleVersion");
    values.applicationVersion = shortVersion.isEmpty() ? QCoreApplication::applicationVersion() : shortVersion;
    if (!build.isEmpty()) values.applicationVersion += QStringLiteral(" (") + build + QLatin1Char(')');
    values.operatingSystem = QSysInfo::prettyProductName() + QStringLiteral(", ") + QSysInfo::kernelType() +
                             QLatin1Char(' ') + QSysInfo::kernelVersion() + QStringLiteral(", ") +
                             QSysInfo::currentCpuArchitecture();
    return values;
}

}  // namespace

Log::Channel& Logger::channel(const QString& name, int verbosity) {
    State& s = state();
    std::lock_guard lock(s.channelsMutex);
    auto it = s.channels.find(name);
    if (it == s.channels.end())
        it = s.channels.emplace(name, std::make_unique<Log::Channel>(name, verbosity)).first;
    return *it->second;
}

Log::Channel* Logger::existingChannel(const QString& name) {
    State& s = state();
    std::lock_guard lock(s.channelsMutex);
    const auto it = s.channels.find(name);
    return it == s.channels.end() ? nullptr : it->second.get();
}

QString Logger::logFolderPath(const QString& appGroup, const QString& folderName) {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.local/share");
    QString path = QDir::cleanPath(base);
    const QString group = safePart(appGroup);
    if (!group.isEmpty()) path += QLatin1Char('/') + group;
    QString folder = safePart(folderName);
    if (folder.isEmpty()) folder = QStringLiteral("Application");
    return path + QStringLiteral("/Logs/") + folder;
}

bool Logger::addFileLogger(const QString& appGroup, const FileConfiguration& configuration,
                           std::shared_ptr<const LogFormatter> formatter) {
    removeFileLogger();
    if (!formatter) formatter = DetailedLogFormatter::shared();
    const QString folder = logFolderPath(appGroup, configuration.folderName);
    auto logger = std::make_shared<FileLogger>(folder, QDir(folder).dirName(), configuration, std::move(formatter),
                                               [] { return Logger::now(); }, headerValues());
    if (!logger->start()) return false;
    State& s = state();
    std::lock_guard lock(s.fileMutex);
    if (!s.hadFileLogger) {
        for (const LogEntry& early : s.earlyEntries) logger->enqueue(early);
        s.earlyEntries.clear();
        s.hadFileLogger = true;
    }
    s.fileLogger = std::move(logger);
    s.hasFileLogger = true;
    if (!s.exitHandlerInstalled) {
        s.exitHandlerInstalled = true;
        // Whatever is still queued at exit reaches the file.
        std::atexit([] { Logger::removeFileLogger(); });
    }
    return true;
}

void Logger::removeFileLogger() {
    State& s = state();
    std::shared_ptr<FileLogger> old;
    {
        std::lock_guard lock(s.fileMutex);
        old.swap(s.fileLogger);
        s.hasFileLogger = false;
    }
    if (old) old->flush();
    // The writer stops when the last holder lets go, here unless a caller is still queueing.
}

bool Logger::hasFileLogger() {
    return state().hasFileLogger.load();
}

QString Logger::logFilesContent(std::int64_t maxSize) {
    const auto logger = currentFileLogger();
    return logger ? logger->content(maxSize) : QString();
}

QStringList Logger::logFilePaths() {
    const auto logger = currentFileLogger();
    return logger ? logger->logFilePaths() : QStringList();
}

std::optional<QString> Logger::currentLogFilePath() {
    const auto logger = currentFileLogger();
    return logger ? logger->currentLogFilePath() : std::nullopt;
}

std::optional<QString> Logger::exportLogs() {
    const auto logger = currentFileLogger();
    if (!logger || !logger->configuration().exportParentFolderPath) return std::nullopt;
    const QString parent = *logger->configuration().exportParentFolderPath;
    if (parent.isEmpty()) return std::nullopt;
    return logger->exportTo(parent);
}

void Logger::removeAllLogFiles() {
    if (const auto logger = currentFileLogger()) logger->removeAllLogFiles();
}

void Logger::flush() {
    if (const auto logger = currentFileLogger()) logger->flush();
}

void Logger::setConsoleOutputEnabled(bool enabled) {
    state().consoleEnabled = enabled;
}

bool Logger::isConsoleOutputEnabled() {
    return state().consoleEnabled.load();
}

Logger::SinkId Logger::addSink(Sink sink) {
    State& s = state();
    std::lock_guard lock(s.sinksMutex);
    auto sinks = std::make_shared<SinkList>(*s.sinks);
    const SinkId id = s.nextSinkId++;
    sinks->emplace_back(id, std::make_shared<const Sink>(std::move(sink)));
    s.sinks = std::move(sinks);
    s.hasSinks = true;
    return id;
}

void Logger::removeSink(SinkId id) {
    State& s = state();
    std::lock_guard lock(s.sinksMutex);
    auto sinks = std::make_shared<SinkList>(*s.sinks);
    std::erase_if(*sinks, [id](const auto& entry) { return entry.first == id; });
    s.hasSinks = !sinks->empty();
    s.sinks = std::move(sinks);
}

void Logger::setClock(Clock clock) {
    State& s = state();
    std::lock_guard lock(s.clockMutex);
    s.clock = clock ? std::make_shared<const Clock>(std::move(clock)) : nullptr;
    s.hasClock = static_cast<bool>(s.clock);
}

QDateTime Logger::now() {
    State& s = state();
    if (s.hasClock.load(std::memory_order_acquire)) {
        std::shared_ptr<const Clock> clock;
        {
            std::lock_guard lock(s.clockMutex);
            clock = s.clock;
        }
        if (clock) return (*clock)().toUTC();
    }
    return QDateTime::currentDateTimeUtc();
}

bool Logger::keepsEarlyEntries() {
    State& s = state();
    std::lock_guard lock(s.fileMutex);
    return !s.hadFileLogger;
}

bool Logger::hasOutputs() {
    const State& s = state();
    return s.consoleEnabled.load(std::memory_order_relaxed) || s.hasSinks.load(std::memory_order_relaxed) ||
           s.hasFileLogger.load(std::memory_order_relaxed);
}

void Logger::write(const LogEntry& entry) {
    State& s = state();
    if (s.consoleEnabled.load(std::memory_order_relaxed)) {
        const QByteArray line = (DetailedLogFormatter::shared()->format(entry) + QLatin1Char('\n')).toUtf8();
        std::lock_guard lock(s.consoleMutex);
        std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    }
    if (s.hasSinks.load(std::memory_order_acquire)) {
        std::shared_ptr<const SinkList> sinks;
        {
            std::lock_guard lock(s.sinksMutex);
            sinks = s.sinks;
        }
        for (const auto& sink : *sinks) (*sink.second)(entry);
    }
    if (s.hasFileLogger.load(std::memory_order_acquire)) {
        if (const auto logger = currentFileLogger()) logger->enqueue(entry);
    } else {
        constexpr std::size_t kMaximumEarlyEntries = 1000;
        std::lock_guard lock(s.fileMutex);
        if (!s.hadFileLogger) {
            if (s.earlyEntries.size() == kMaximumEarlyEntries) s.earlyEntries.pop_front();
            s.earlyEntries.push_back(entry);
        }
    }
}
