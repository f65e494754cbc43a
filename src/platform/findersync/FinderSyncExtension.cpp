#include "platform/findersync/FinderSyncExtension.h"

void FinderSyncExtension::beginObservingDirectoryAtURL(const QUrl&) {}
void FinderSyncExtension::endObservingDirectoryAtURL(const QUrl&) {}
void FinderSyncExtension::requestBadgeIdentifierForURL(const QUrl&) {}
