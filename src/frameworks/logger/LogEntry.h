#pragma once

#include <QDateTime>
#include <QString>

#include "frameworks/logger/LogLevel.h"

// One entry that passed its channel's verbosity, with its message already built.
struct LogEntry {
    QDateTime timestamp;  // UTC, from the logger's clock
    LogLevel level = LogLevel::info;
    QString channel;
    QString message;
    QString file;      // the caller's source path
    QString function;  // the caller's function signature
    unsigned line = 0;
};
