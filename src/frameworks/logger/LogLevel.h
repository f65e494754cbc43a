#pragma once

#include <QString>

// The four levels of a log entry, from the most talkative to the most severe.
enum class LogLevel { debug, info, warning, error };

// A channel's verbosity is a raw ordinal from 0 to 4; each step lets one more level through:
//   0  nothing
//   1  error
//   2  error, warning
//   3  error, warning, info
//   4  error, warning, info, debug
// Values outside the range are clamped to it.
namespace LogVerbosity {
inline constexpr int nothing = 0;
inline constexpr int error = 1;
inline constexpr int warning = 2;
inline constexpr int info = 3;
inline constexpr int debug = 4;

constexpr int clamped(int verbosity) {
    return verbosity < nothing ? nothing : (verbosity > debug ? debug : verbosity);
}

// The least verbosity at which entries of `level` are written.
constexpr int threshold(LogLevel level) {
    switch (level) {
    case LogLevel::error: return error;
    case LogLevel::warning: return warning;
    case LogLevel::info: return info;
    case LogLevel::debug: return debug;
    }
    return debug;
}

constexpr bool passes(LogLevel level, int verbosity) {
    return clamped(verbosity) >= threshold(level);
}
}  // namespace LogVerbosity

// The upper-case name written into log lines ("DEBUG", "INFO", "WARNING", "ERROR").
QString logLevelName(LogLevel level);
