#pragma once

// Hears from the local observer that the sync folder itself is gone. Called on the observer's
// event queue.
class LocalFSObserverDelegate {
public:
    virtual ~LocalFSObserverDelegate() = default;
    virtual void rootFolderRemoved() = 0;
};
