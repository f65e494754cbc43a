#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>
#include <utility>

#include "app/core/ProcessLauncher.h"
#include "app/selectivesync/LocalDirectorySizeCalculator.h"

// Measures folders with du. Runs the tool and waits for it: never call it on the main thread.
class OVLocalDirectorySizeCalculator : public LocalDirectorySizeCalculator {
public:
    // Runs a tool, waits for it and answers its standard output and exit status, as
    // `ProcessLauncher::launchAndWait` does. Tests put a fake tool in its place.
    using Launcher =
        std::function<std::pair<std::optional<QString>, int>(const QString& path, const QStringList& arguments)>;

    static inline const QString toolPath = QStringLiteral("/usr/bin/du");

    explicit OVLocalDirectorySizeCalculator(ProcessLauncher processLauncher = ProcessLauncher());
    explicit OVLocalDirectorySizeCalculator(Launcher processLauncher);

    // The arguments du is run with for these paths.
    static QStringList arguments(const QStringList& paths);
    // Bytes in du's output; none when the output is not usable.
    static std::optional<std::int64_t> parse(const QString& output);

    std::int64_t size(const QStringList& ofPaths) const override;

private:
    Launcher processLauncher_;
};
