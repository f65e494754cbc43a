#pragma once

#include <QString>

// One subscription of the sync engine: a remote folder, alone or with everything below it.
struct SelectiveSyncItem {
    QString path;
    bool recursive = true;
    QString remoteIdentifier;
    bool operator==(const SelectiveSyncItem&) const = default;
};
