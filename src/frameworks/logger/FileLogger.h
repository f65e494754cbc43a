#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QStringList>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "frameworks/logger/LogEntry.h"
#include "frameworks/logger/LogFormatter.h"
#include "frameworks/logger/Logger.h"

// Writes entries to rolling log files in one folder, on a thread of its own so that callers only
// queue. Files are named "<prefix> <UTC yyyy-MM-dd--HH-mm-ss-zzz>.log", so their names sort by age.
// A new file begins with the header and is started when the current one would outgrow the size
// limit, when it has reached the rolling age, or when it disappeared from disk. After every change
// the oldest files go until the count and the disk quota hold.
class FileLogger {
public:
    struct HeaderValues {
        QString applicationName;
        QString applicationVersion;
        QString operatingSystem;
    };

    FileLogger(QString folderPath, QString filePrefix, Logger::FileConfiguration configuration,
               std::shared_ptr<const LogFormatter> formatter, Logger::Clock clock, HeaderValues header);
    ~FileLogger();
    FileLogger(const FileLogger&) = delete;
    FileLogger& operator=(const FileLogger&) = delete;

    // Makes the folder, drops what the limits no longer allow, opens the first file and starts
    // the writer. False when the folder or the file cannot be made.
    bool start();

    // Queues an entry; waits only while a large backlog is being written.
    void enqueue(LogEntry entry);
    // Waits until every entry queued so far is in the file.
    void flush();

    const QString& folderPath() const { return folderPath_; }
    const Logger::FileConfiguration& configuration() const { return configuration_; }
    QStringList logFilePaths();
    std::optional<QString> currentLogFilePath();
    QString content(std::int64_t maxSize);
    std::optional<QString> exportTo(const QString& parentFolder);
    void removeAllLogFiles();

    static QString headerText(const QList<Logger::HeaderElement>& elements, const HeaderValues& values,
                              const QDateTime& date);
    static QString fileName(const QString& prefix, const QDateTime& created);

private:
    struct FileRecord {
        QString path;
        std::int64_t size = 0;
    };

    void run();
    // The members below are guarded by ioMutex_.
    void writeEntry(const LogEntry& entry);
    bool openNewFile(const QDateTime& created);
    void closeCurrent();
    void enforceLimits();
    void deleteOldest();
    std::int64_t effectiveFileLimit() const;
    QStringList matchingFiles(const QString& folder) const;
    QStringList pathsLocked() const;
    void reportFailure(const QString& what);

    const QString folderPath_;
    const QString filePrefix_;
    const Logger::FileConfiguration configuration_;
    const std::shared_ptr<const LogFormatter> formatter_;
    const Logger::Clock clock_;
    const HeaderValues header_;

    std::mutex queueMutex_;
    std::condition_variable queueFilled_;
    std::condition_variable queueDrained_;
    std::deque<LogEntry> queue_;
    std::uint64_t enqueued_ = 0;
    std::uint64_t written_ = 0;
    bool stopping_ = false;
    std::thread thread_;

    std::mutex ioMutex_;
    std::deque<FileRecord> archived_;  // oldest first, without the current file
    QFile current_;
    std::int64_t currentSize_ = 0;
    std::int64_t headerSize_ = 0;
    QDateTime currentCreated_;
    QDateTime latestName_;  // the time in the newest file name
    bool failureReported_ = false;
};
