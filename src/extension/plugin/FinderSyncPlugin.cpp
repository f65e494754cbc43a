#include "platform/foundation/Bundle.h"

QByteArray extensionInfo();
QByteArray localizableStrings();

// Fills the extension's own bundle when the host loads the plug-in.
extern "C" __attribute__((visibility("default"))) void OrvellaExtensionLoadBundle() {
    Bundle::main().setInfoJson(extensionInfo());
    Bundle::main().setStringsTable({}, Bundle::parseStrings(localizableStrings()));
}
