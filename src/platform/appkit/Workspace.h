#pragma once

#include <QStringList>
#include <QUrl>

#include <functional>

// Handing things to the desktop: web pages, files, folders.
class Workspace {
public:
    // Opens the URL with the desktop's handler. Answers false when none can be started at all;
    // a handler that starts and then finds no program for the URL is only known later, and goes
    // to the failure handler like every other failure.
    static bool openUrl(const QUrl& url);
    // Opens an address given as text (a localized string, say). Text that forms no absolute URL
    // opens nothing; answers whether a handler took it.
    static bool openUrlText(const QString& text);
    // Shows the items in the file manager, selected where the file manager can (through its
    // FileManager1 D-Bus service), else opens their folders. Never blocks.
    static void activateFileViewerSelecting(const QStringList& paths);
    // The distinct folders holding `paths`, in order.
    static QStringList containingFolders(const QStringList& paths);
    // A folder that the desktop shows as one file: its name ends in a bundle suffix such as
    // ".app" or ".bundle" (any case). False for anything that is not an existing folder.
    static bool isFilePackageAtPath(const QString& path);

    // Tests and demos: while set, every URL goes to `opener` instead of the desktop, and items to
    // reveal go there as their folders' URLs.
    static void setOpener(std::function<bool(const QUrl&)> opener);
    // Told, on the main queue, of every URL that nothing could open (no browser, no file
    // manager), so that its owner can say so; none set: failures are dropped.
    static void setFailureHandler(std::function<void(const QUrl&)> handler);
};
