#include "frameworks/logger/DetailedLogFormatter.h"

#include <QStringBuilder>

std::shared_ptr<const DetailedLogFormatter> DetailedLogFormatter::shared() {
    static const auto instance = std::make_shared<const DetailedLogFormatter>();
    return instance;
}

namespace {

QString singleLine(const QString& text) {
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) return text;
    QString result = text;
    result.replace(QLatin1String("\r\n"), QLatin1String("\\n"));
    result.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    result.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return result;
}

QString fileName(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? path : path.mid(slash + 1);
}

}  // namespace

QString DetailedLogFormatter::format(const LogEntry& entry) const {
    const QString time = entry.timestamp.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    return time % QLatin1String(" [") % logLevelName(entry.level) % QLatin1String("] [") %
           singleLine(entry.channel) % QLatin1String("] ") % fileName(entry.file) % QLatin1Char(':') %
           QString::number(entry.line) % QLatin1Char(' ') % singleLine(entry.function) %
           QLatin1String(" - ") % singleLine(entry.message);
}
