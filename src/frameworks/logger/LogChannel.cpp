#include "frameworks/logger/LogChannel.h"

#include "frameworks/logger/Logger.h"

namespace Log {

Channel::Channel(QString name, int verbosity)
    : name_(std::move(name)), verbosity_(LogVerbosity::clamped(verbosity)) {}

void Channel::setVerbosity(int verbosity) {
    verbosity_.store(LogVerbosity::clamped(verbosity), std::memory_order_relaxed);
}

bool Channel::isEnabled(LogLevel level) const {
    return LogVerbosity::passes(level, verbosity());
}

void Channel::log(LogLevel level, const Message& message, const char* file, const char* function,
                  unsigned line) const {
    if (!isEnabled(level) || !Logger::hasOutputs()) return;
    LogEntry entry;
    entry.timestamp = Logger::now();
    entry.level = level;
    entry.channel = name_;
    if (message) entry.message = message();
    entry.file = QString::fromUtf8(file ? file : "");
    entry.function = QString::fromUtf8(function ? function : "");
    entry.line = line;
    Logger::write(entry);
}

void Channel::debug(const Message& message, const char* file, const char* function, unsigned line) const {
    log(LogLevel::debug, message, file, function, line);
}

void Channel::info(const Message& message, const char* file, const char* function, unsigned line) const {
    log(LogLevel::info, message, file, function, line);
}

void Channel::warning(const Message& message, const char* file, const char* function, unsigned line) const {
    log(LogLevel::warning, message, file, function, line);
}

void Channel::error(const Message& message, const char* file, const char* function, unsigned line) const {
    log(LogLevel::error, message, file, function, line);
}

}  // namespace Log
