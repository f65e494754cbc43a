#pragma once

class SyncController;

// A part of the connection doctor that is handed the sync controller.
class ConnectionDoctorManageable {
public:
    virtual ~ConnectionDoctorManageable() = default;
    virtual SyncController* syncController() const = 0;
    // Not owned; the application delegate outlives the window.
    virtual void setSyncController(SyncController* controller) = 0;
};
