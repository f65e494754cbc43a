#include "app/selectivesync/OVLocalDirectorySizeCalculator.h"

#include <QStringView>

#include <limits>

namespace {

constexpr std::int64_t blockSize = 512;

}  // namespace

OVLocalDirectorySizeCalculator::OVLocalDirectorySizeCalculator(ProcessLauncher processLauncher)
    : processLauncher_([processLauncher](const QString& path, const QStringList& arguments) {
          return processLauncher.launchAndWait(path, arguments);
      }) {}

OVLocalDirectorySizeCalculator::OVLocalDirectorySizeCalculator(Launcher processLauncher)
    : processLauncher_(std::move(processLauncher)) {}

QStringList OVLocalDirectorySizeCalculator::arguments(const QStringList& paths) {
    // GNU du counts 1024-byte blocks unless told otherwise; the sum is read in 512-byte blocks.
    // Records end in NUL, not a line feed, so a folder name holding a line feed and digits cannot
    // pass for a record of its own. "--" keeps a path starting with "-" from reading as an option.
    QStringList arguments{QStringLiteral("-s"), QStringLiteral("-B"), QString::number(blockSize),
                          QStringLiteral("-0"), QStringLiteral("--")};
    arguments += paths;
    return arguments;
}

std::optional<std::int64_t> OVLocalDirectorySizeCalculator::parse(const QString& output) {
    std::int64_t blocks = 0;
    for (const QStringView record : QStringView(output).split(QChar(u'\0'), Qt::SkipEmptyParts)) {
        const qsizetype tab = record.indexOf(QChar(u'\t'));
        bool ok = false;
        const qlonglong value = (tab < 0 ? record : record.first(tab)).toLongLong(&ok);
        if (!ok || value < 0) continue;
        if (value > std::numeric_limits<std::int64_t>::max() - blocks) return std::nullopt;
        blocks += value;
    }
    if (blocks > std::numeric_limits<std::int64_t>::max() / blockSize) return std::nullopt;
    return blocks * blockSize;
}

std::int64_t OVLocalDirectorySizeCalculator::size(const QStringList& ofPaths) const {
    if (ofPaths.isEmpty() || !processLauncher_) return 0;
    const auto [output, status] = processLauncher_(toolPath, arguments(ofPaths));
    // One unreadable folder makes the whole answer 0: better to claim too little freed than too much.
    if (!output || output->isEmpty() || status != 0) return 0;
    return parse(*output).value_or(0);
}
