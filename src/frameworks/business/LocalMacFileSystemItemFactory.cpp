#include "frameworks/business/LocalMacFileSystemItemFactory.h"

#include "frameworks/business/BasicItem.h"
#include "frameworks/business/BusinessFacade.h"

std::shared_ptr<BasicItem> LocalMacFileSystemItemFactory::makeFile(const QString& localPath) const {
    return facade_.makeLocalItem(localPath, false);
}

std::shared_ptr<BasicItem> LocalMacFileSystemItemFactory::makeDirectory(const QString& localPath) const {
    return facade_.makeLocalItem(localPath, true);
}
