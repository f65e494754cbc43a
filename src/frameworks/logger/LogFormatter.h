#pragma once

#include <QString>

#include "frameworks/logger/LogEntry.h"

// Turns an entry into the text of one log line (without the line break). Formatters are shared
// between threads, so `format` must not change the formatter.
class LogFormatter {
public:
    virtual ~LogFormatter() = default;
    virtual QString format(const LogEntry& entry) const = 0;
};
