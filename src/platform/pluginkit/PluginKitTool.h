#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

class ExtensionRegistry;

// The command-line tool that elects and queries file-manager extensions, and where the
// application finds it. Understood command lines (each word one argument, in any order):
//   -e use|ignore -i ID   elect the extension; exit 0 once recorded
//   -m -A -i ID           print "<mark>    ID" with mark "+" (enabled) or "-" (ignored); nothing
//                         for an unknown extension; without -A an ignored one is not listed;
//                         exit 0
// Anything else prints a usage line on the error stream and exits 64; a registry that cannot be
// written exits 1.
class PluginKitTool {
public:
    static constexpr const char* fileName = "Orvella_pluginkit";

    // The tool beside the running application's executable, unless a test chose another.
    static QString path();
    // An empty path returns to the default.
    static void setPath(const QString& path);

    // Runs one command line (without the program name) against `registry`.
    static int run(const QStringList& arguments, ExtensionRegistry& registry, QTextStream& out, QTextStream& err);

    static constexpr int exitUsage = 64;
    static constexpr int exitFailure = 1;
};
