#include "platform/pluginkit/PluginKitTool.h"

#include <QCoreApplication>
#include <QMutex>

#include <optional>

#include "platform/pluginkit/ExtensionRegistry.h"

namespace {

QMutex& pathMutex() {
    static QMutex mutex;
    return mutex;
}

QString& overriddenPath() {
    static QString path;
    return path;
}

struct CommandLine {
    std::optional<QString> election;
    std::optional<QString> identifier;
    bool match = false;
    bool all = false;
};

// Nothing for a malformed line: an option twice, a missing value, an unknown word.
std::optional<CommandLine> parse(const QStringList& arguments) {
    CommandLine line;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& word = arguments.at(i);
        if (word == QLatin1String("-e") || word == QLatin1String("-i")) {
            std::optional<QString>& slot = word == QLatin1String("-e") ? line.election : line.identifier;
            if (slot || i + 1 >= arguments.size()) return std::nullopt;
            slot = arguments.at(++i);
        } else if (word == QLatin1String("-m") && !line.match) {
            line.match = true;
        } else if (word == QLatin1String("-A") && !line.all) {
            line.all = true;
        } else {
            return std::nullopt;
        }
    }
    return line;
}

}  // namespace

QString PluginKitTool::path() {
    QMutexLocker locker(&pathMutex());
    if (!overriddenPath().isEmpty()) return overriddenPath();
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(fileName);
}

void PluginKitTool::setPath(const QString& path) {
    QMutexLocker locker(&pathMutex());
    overriddenPath() = path;
}

int PluginKitTool::run(const QStringList& arguments, ExtensionRegistry& registry, QTextStream& out,
                       QTextStream& err) {
    const std::optional<CommandLine> line = parse(arguments);
    const auto usage = [&] {
        err << "usage: " << fileName << " -e use|ignore -i identifier\n"
            << "       " << fileName << " -m -A -i identifier\n";
        err.flush();
        return exitUsage;
    };
    if (!line || !line->identifier) return usage();
    const QString& id = *line->identifier;
    if (!ExtensionRegistry::isValidIdentifier(id)) {
        err << fileName << ": not an extension identifier: " << id << '\n';
        err.flush();
        return exitUsage;
    }

    if (line->election && !line->match && !line->all) {
        std::optional<ExtensionRegistry::Election> election;
        if (*line->election == QLatin1String("use")) election = ExtensionRegistry::Election::use;
        else if (*line->election == QLatin1String("ignore")) election = ExtensionRegistry::Election::ignore;
        if (!election) return usage();
        if (!registry.setElection(id, *election)) {
            err << fileName << ": cannot write " << registry.path() << '\n';
            err.flush();
            return exitFailure;
        }
        return 0;
    }

    if (line->match && !line->election) {
        // Without -A only the extensions the host would load are listed, as enabled ones.
        const ExtensionRegistry::State state = registry.state(id);
        if (state == ExtensionRegistry::State::enabled) out << "+    " << id << '\n';
        else if (state == ExtensionRegistry::State::ignored && line->all) out << "-    " << id << '\n';
        out.flush();
        return 0;
    }
    return usage();
}
