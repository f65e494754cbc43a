#pragma once

#include <QFile>
#include <QList>
#include <QString>

#include <mutex>
#include <ostream>
#include <vector>

#include "frameworks/logger/LogEntry.h"
#include "frameworks/logger/Logger.h"

// Collects the entries that pass while it lives.
class CapturingSink {
public:
    CapturingSink() : id_(Logger::addSink([this](const LogEntry& entry) { add(entry); })) {}
    ~CapturingSink() { Logger::removeSink(id_); }
    CapturingSink(const CapturingSink&) = delete;
    CapturingSink& operator=(const CapturingSink&) = delete;

    std::vector<LogEntry> entries() const {
        std::lock_guard lock(mutex_);
        return entries_;
    }
    std::size_t count() const {
        std::lock_guard lock(mutex_);
        return entries_.size();
    }

private:
    void add(const LogEntry& entry) {
        std::lock_guard lock(mutex_);
        entries_.push_back(entry);
    }

    mutable std::mutex mutex_;
    std::vector<LogEntry> entries_;
    Logger::SinkId id_;
};

// Readable failure messages for Qt strings.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& list, std::ostream* os) {
    *os << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}
inline void PrintTo(const QByteArray& data, std::ostream* os) {
    *os << '"' << data.toStdString() << '"';
}

inline QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
