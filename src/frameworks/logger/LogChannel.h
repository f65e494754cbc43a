#pragma once

#include <QString>

#include <atomic>
#include <functional>

#include "frameworks/logger/LogLevel.h"

namespace Log {

// A named log channel. Channels are process-wide and never destroyed: get one with
// `Logger::channel(name, verbosity)`. Logging and changing the verbosity are safe from any thread.
class Channel {
public:
    using Message = std::function<QString()>;

    Channel(QString name, int verbosity);
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    const QString& name() const { return name_; }
    int verbosity() const { return verbosity_.load(std::memory_order_relaxed); }
    void setVerbosity(int verbosity);
    // Whether an entry of `level` would be written now.
    bool isEnabled(LogLevel level) const;

    // The message is built only when the entry passes the verbosity and something takes it in
    // (console, file logger or sink). `file` and `function` are the caller's source path and
    // function signature.
    void debug(const Message& message, const char* file, const char* function, unsigned line) const;
    void info(const Message& message, const char* file, const char* function, unsigned line) const;
    void warning(const Message& message, const char* file, const char* function, unsigned line) const;
    void error(const Message& message, const char* file, const char* function, unsigned line) const;
    void log(LogLevel level, const Message& message, const char* file, const char* function,
             unsigned line) const;

private:
    const QString name_;
    std::atomic<int> verbosity_;
};

}  // namespace Log

// Short call sites: OVLOG_INFO(AppLog::gui(), "Window shown: " + title). The expression is
// evaluated only when the entry is written; nothing is built when the level is filtered out.
#define OVLOG_AT(channelExpr, levelValue, expr)                                                    \
    do {                                                                                           \
        const ::Log::Channel& ovlogChannel_ = (channelExpr);                                       \
        if (ovlogChannel_.isEnabled(levelValue))                                                   \
            ovlogChannel_.log((levelValue), [&]() -> QString { return (expr); }, __FILE__,         \
                              Q_FUNC_INFO, __LINE__);                                              \
    } while (false)

#define OVLOG_DEBUG(channel, expr) OVLOG_AT(channel, ::LogLevel::debug, expr)
#define OVLOG_INFO(channel, expr) OVLOG_AT(channel, ::LogLevel::info, expr)
#define OVLOG_WARNING(channel, expr) OVLOG_AT(channel, ::LogLevel::warning, expr)
#define OVLOG_ERROR(channel, expr) OVLOG_AT(channel, ::LogLevel::error, expr)
