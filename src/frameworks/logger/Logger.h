#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

#include "frameworks/logger/LogChannel.h"
#include "frameworks/logger/LogEntry.h"
#include "frameworks/logger/LogFormatter.h"

// The process-wide logger: the registry of channels, the console output, the rolling file logger
// and the sinks that other code (tests, diagnostics) can hook in. All functions are safe from any
// thread.
class Logger {
public:
    // What the first lines of every new log file say.
    enum class HeaderElement { applicationName, applicationVersion, operatingSystem, date };

    // One day, in seconds.
    static constexpr std::int64_t defaultRollingFrequency = 24 * 60 * 60;

    struct FileConfiguration {
        // The log folder's name (the application's bundle identifier).
        QString folderName;
        // Where `exportLogs()` puts its copies (a folder named like the log folder inside it).
        std::optional<QString> exportParentFolderPath;
        // A new file is started once the current one is this old (seconds; 0: never by age).
        std::int64_t rollingFrequency = defaultRollingFrequency;
        // Files kept, the current one included (0: no limit).
        int maximumNumberOfLogFiles = 5;
        // A new file is started before one would grow beyond this (bytes; 0: no limit).
        std::int64_t maximumFileSize = 10 * 1024 * 1024;
        // All log files together stay within this; the oldest go first (bytes; 0: no limit).
        std::int64_t logFilesDiskQuota = 50 * 1024 * 1024;
        QList<HeaderElement> headerElements{HeaderElement::applicationName,
                                            HeaderElement::applicationVersion,
                                            HeaderElement::operatingSystem, HeaderElement::date};
    };

    using Clock = std::function<QDateTime()>;
    using Sink = std::function<void(const LogEntry&)>;
    using SinkId = std::uint64_t;

    // The one channel of that name, created with `verbosity` on first use; later calls return the
    // same channel and leave its verbosity alone.
    static Log::Channel& channel(const QString& name, int verbosity);
    // The channel of that name when it exists.
    static Log::Channel* existingChannel(const QString& name);

    // Starts writing entries to rolling files in `logFolderPath(appGroup, folderName)`, replacing
    // an earlier file logger. Every call starts a new file. False (and no file logger) when the
    // folder cannot be made or the first file cannot be opened.
    static bool addFileLogger(const QString& appGroup, const FileConfiguration& configuration,
                              std::shared_ptr<const LogFormatter> formatter);
    static void removeFileLogger();
    static bool hasFileLogger();
    // Entries are kept for the first file logger until one is added (at most the latest 1000).
    static bool keepsEarlyEntries();

    // The log folder: $XDG_DATA_HOME (or ~/.local/share), the app group, "Logs", the folder name.
    // Path separators and dot names in the parts are neutralised so it never leaves that base.
    static QString logFolderPath(const QString& appGroup, const QString& folderName);

    // The text of the log files, oldest first, at most `maxSize` bytes of UTF-8; when cut, the
    // newest part is kept, starting at a line when one begins inside it. Empty without files.
    static QString logFilesContent(std::int64_t maxSize);
    // The log files, oldest first; empty without a file logger.
    static QStringList logFilePaths();
    static std::optional<QString> currentLogFilePath();
    // Copies the log files into a folder named like the log folder inside the configured export
    // parent, replacing earlier copies; answers that folder, or nothing when there is no file
    // logger, no export parent, or a copy failed.
    static std::optional<QString> exportLogs();
    // Deletes every log file and starts a fresh one.
    static void removeAllLogFiles();
    // Waits until every entry handed in so far is in the file.
    static void flush();

    // Console output goes to stderr; on by default.
    static void setConsoleOutputEnabled(bool enabled);
    static bool isConsoleOutputEnabled();

    // Sinks see every entry that passes its channel, on the logging thread. The id removes it.
    static SinkId addSink(Sink sink);
    static void removeSink(SinkId id);

    // The time source of entries and log files (UTC); an empty clock restores the system's.
    static void setClock(Clock clock);
    static QDateTime now();

    // Whether anything would take an entry in; channels skip building messages otherwise.
    static bool hasOutputs();
    // Hands a built entry to the console, the sinks and the file logger.
    static void write(const LogEntry& entry);
};
