#include "extension/FinderSync.h"
#include "platform/findersync/FinderSyncController.h"
#include "platform/foundation/Bundle.h"

QByteArray extensionInfo();
QByteArray localizableStrings();

// Fills the extension's own bundle when the host loads the plug-in.
extern "C" __attribute__((visibility("default"))) void OrvellaExtensionLoadBundle() {
    Bundle::main().setInfoJson(extensionInfo());
    Bundle::main().setStringsTable({}, Bundle::parseStrings(localizableStrings()));
}

// The host's entry: the extension works on the host's controller from here on.
ORVELLA_FINDERSYNC_EXPORT FinderSyncExtension* OrvellaCreateFinderSyncExtension(FinderSyncController* controller) {
    FinderSyncController::setDefaultController(controller);
    OrvellaExtensionLoadBundle();
    return new FinderSync;
}
