#pragma once

#include <QString>

#include <memory>

class BasicItem;
class BusinessFacade;

// Shareable items for local files and folders of the sync folder, through the given facade.
class LocalMacFileSystemItemFactory {
public:
    explicit LocalMacFileSystemItemFactory(const BusinessFacade& facade) : facade_(facade) {}

    // None unless a file (or folder) is at the path, inside the sync folder.
    std::shared_ptr<BasicItem> makeFile(const QString& localPath) const;
    std::shared_ptr<BasicItem> makeDirectory(const QString& localPath) const;

private:
    const BusinessFacade& facade_;
};
