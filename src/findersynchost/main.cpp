// Orvella_FinderHost: stands in for the file manager. Loads the extension plug-in into this process,
// shows folders to it as a file manager window would, and prints what the user would see.
//
//   Orvella_FinderHost [--plugin PATH] [--list FOLDER]... [--wait MS] [--watch] [--id ID]
//
// --list prints "name<TAB>badge" for every item of each folder once all its items show a badge or
// the wait (default 3000 ms) is over. --watch keeps running and prints "path<TAB>badge" whenever an
// item's badge changes. Control characters in names and paths are printed escaped.
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTextStream>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#include "platform/findersync/FinderSyncHost.h"
#include "platform/pluginkit/ExtensionRegistry.h"

namespace {

void printListing(const FinderSyncHost& host, const QStringList& folders) {
    QTextStream out(stdout);
    for (const QString& folder : folders) {
        if (folders.size() > 1) out << FinderSyncHost::escapedForListing(folder) << ":\n";
        for (const FinderSyncHost::Item& item : host.listing(folder))
            out << FinderSyncHost::escapedForListing(item.name) << '\t' << item.badge << '\n';
    }
    out.flush();
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Orvella_FinderHost"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Loads the file-manager extension and shows folders to it."));
    parser.addHelpOption();
    const QCommandLineOption pluginOption(QStringLiteral("plugin"), QStringLiteral("The extension plug-in."),
                                          QStringLiteral("path"), FinderSyncHost::defaultPluginPath());
    const QCommandLineOption listOption(QStringLiteral("list"), QStringLiteral("A folder to list with badges."),
                                        QStringLiteral("folder"));
    const QCommandLineOption waitOption(QStringLiteral("wait"),
                                        QStringLiteral("How long to wait for badges to settle."),
                                        QStringLiteral("ms"), QStringLiteral("3000"));
    const QCommandLineOption watchOption(QStringLiteral("watch"),
                                         QStringLiteral("Keep running and print badge changes."));
    const QCommandLineOption idOption(QStringLiteral("id"),
                                      QStringLiteral("The extension's identifier in the registry of enabled extensions."),
                                      QStringLiteral("identifier"), QStringLiteral("example.orvella.desktop.findersync"));
    parser.addOptions({pluginOption, listOption, waitOption, watchOption, idOption});
    parser.process(app);

    bool waitOk = false;
    const int waitMs = parser.value(waitOption).toInt(&waitOk);
    if (!waitOk || waitMs < 0) {
        std::fputs("--wait takes a number of milliseconds\n", stderr);
        return 2;
    }
    const QStringList folders = parser.values(listOption);
    const bool watch = parser.isSet(watchOption);
    if (folders.isEmpty() && !watch) {
        std::fputs("nothing to do: give --list FOLDER or --watch\n", stderr);
        return 2;
    }

    // A file manager leaves an extension the user switched off unloaded.
    if (ExtensionRegistry().state(parser.value(idOption)) == ExtensionRegistry::State::ignored) {
        std::fprintf(stderr, "the extension %s is switched off\n", qPrintable(parser.value(idOption)));
        return 3;
    }

    FinderSyncHost host;
    if (!host.load(parser.value(pluginOption))) {
        std::fprintf(stderr, "cannot load the extension: %s\n", qPrintable(host.errorString()));
        return 1;
    }
    for (const QString& folder : folders) host.showFolder(folder);

    if (!folders.isEmpty()) {
        // Badges arrive from our own calls into the extension and from its pushes; the loop runs both.
        const QDeadlineTimer deadline(waitMs);
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &app, [&] {
            const bool settled = std::all_of(folders.begin(), folders.end(), [&](const QString& folder) {
                return host.allItemsBadged(folder);
            });
            if (settled || deadline.hasExpired()) app.exit(0);
        });
        poll.start(20);
        app.exec();
        poll.stop();
        printListing(host, folders);
        if (!watch) return 0;
    }

    // Watching: the watched folders themselves are shown, and every badge change is printed.
    const auto showWatched = [&] {
        for (const QUrl& url : host.controller().directoryURLs())
            if (url.isLocalFile()) host.showFolder(url.toLocalFile());
    };
    QObject::connect(&host, &FinderSyncHost::directoriesChanged, &app, showWatched);
    showWatched();
    QObject::connect(&host, &FinderSyncHost::badgeChanged, &app, [&](const QUrl& url, const QString& identifier) {
        // An identifier without a registered badge shows nothing, like a cleared one.
        const bool shown = host.controller().registeredBadge(identifier).has_value();
        QTextStream out(stdout);
        out << FinderSyncHost::escapedForListing(url.toLocalFile()) << '\t' << (shown ? identifier : QString()) << '\n';
        out.flush();
    });
    return app.exec();
}
