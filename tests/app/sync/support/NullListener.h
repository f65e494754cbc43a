#pragma once

#include "frameworks/sync/LocalChangesListener.h"

// A listener for tests whose engine never hears of local changes.
class NullListener : public LocalChangesListener {
public:
    void fileChanged(const QString&) override {}
    void fileMoved(const QString&, const QString&) override {}
    void fileReplaced(const QString&, const QString&) override {}
    void directoryAdded(const QString&) override {}
    void directoryMoved(const QString&, const QString&) override {}
    void directoryReplaced(const QString&, const QString&) override {}
    void itemDeleted(const QString&) override {}
    void itemPermissionChanged(const QString&, bool) override {}
    void mustScanSubDirectories() override {}
};
