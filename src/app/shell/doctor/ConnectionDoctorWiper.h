#pragma once

// A tab of the connection doctor that the clear button empties.
class ConnectionDoctorWiper {
public:
    virtual ~ConnectionDoctorWiper() = default;
    virtual void wipe() = 0;
};
