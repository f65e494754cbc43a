#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <utility>

// Runs a command-line tool and hands back what it wrote to its standard output. Blocks the
// calling thread, so callers keep it off the main thread.
class ProcessLauncher {
public:
    // The tool's whole standard output as UTF-8; none when it is not valid UTF-8 or the tool
    // cannot be started. Standard input and error stay the application's.
    std::optional<QString> launch(const QString& path, const std::optional<QStringList>& arguments = {}) const;

    // The output as above, and the tool's exit status. A tool that cannot be started gives no
    // output and a failure status (-1); one killed by a signal gives 128 plus the signal number.
    std::pair<std::optional<QString>, int> launchAndWait(const QString& path,
                                                         const std::optional<QStringList>& arguments = {}) const;
};
