// Elects and queries the file-manager extensions the host loads; see PluginKitTool.h.
#include <QStringList>
#include <QTextStream>

#include <cstdio>

#include "platform/pluginkit/ExtensionRegistry.h"
#include "platform/pluginkit/PluginKitTool.h"

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
    QTextStream out(stdout);
    QTextStream err(stderr);
    ExtensionRegistry registry;
    return PluginKitTool::run(arguments, registry, out, err);
}
