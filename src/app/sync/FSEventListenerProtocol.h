#pragma once

class FileEventStream;

// A source of the sync folder's file-system events, as the local observer holds it.
class FSEventListenerProtocol {
public:
    virtual ~FSEventListenerProtocol() = default;
    // The running stream; none when it could not be created (or for a source without one).
    virtual FileEventStream* eventStream() const = 0;
};
