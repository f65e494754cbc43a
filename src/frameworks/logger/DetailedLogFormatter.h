#pragma once

#include <memory>

#include "frameworks/logger/LogFormatter.h"

// "2026-03-01 14:05:09.042 [INFO] [Sync.upload] Uploader.cpp:88 void Uploader::start() - text":
// local time, level, channel, the source file's name and line, the function and the message, on
// one line; line breaks inside the message are written as "\n" so that an entry never spans lines.
class DetailedLogFormatter final : public LogFormatter {
public:
    static std::shared_ptr<const DetailedLogFormatter> shared();

    QString format(const LogEntry& entry) const override;
};
