#pragma once

#include <QUrl>

class FinderSyncController;

// The base of a file-manager extension: the host calls these on its main thread while the user looks
// at folders inside the extension's watched folders. The defaults do nothing.
class FinderSyncExtension {
public:
    FinderSyncExtension() = default;
    FinderSyncExtension(const FinderSyncExtension&) = delete;
    FinderSyncExtension& operator=(const FinderSyncExtension&) = delete;
    virtual ~FinderSyncExtension() = default;

    // A folder inside the watched folders is now shown.
    virtual void beginObservingDirectoryAtURL(const QUrl& url);
    // It is no longer shown.
    virtual void endObservingDirectoryAtURL(const QUrl& url);
    // An item inside the watched folders is about to be shown; the extension answers, now or later,
    // with the controller's setBadgeIdentifier.
    virtual void requestBadgeIdentifierForURL(const QUrl& url);
};

// The one symbol a plug-in exports: it makes `controller` the plug-in's default controller and
// answers a new extension object, owned by the host; none when the extension cannot start.
using FinderSyncExtensionFactory = FinderSyncExtension* (*)(FinderSyncController* controller);
inline constexpr const char* kFinderSyncExtensionFactorySymbol = "OrvellaCreateFinderSyncExtension";

#define ORVELLA_FINDERSYNC_EXPORT extern "C" __attribute__((visibility("default")))
