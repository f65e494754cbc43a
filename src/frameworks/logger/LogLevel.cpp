#include "frameworks/logger/LogLevel.h"

QString logLevelName(LogLevel level) {
    switch (level) {
    case LogLevel::debug: return QStringLiteral("DEBUG");
    case LogLevel::info: return QStringLiteral("INFO");
    case LogLevel::warning: return QStringLiteral("WARNING");
    case LogLevel::error: return QStringLiteral("ERROR");
    }
    return QStringLiteral("INFO");
}
