#pragma once

#include <QString>

// Failures of the selective-sync tree that never reach the user.
enum class SelectiveSyncError {
    unknownLocalNode,   // no stored node for a path
    unknownRemoteNode,  // declared, never raised
};

// "SelectiveSyncError.unknownLocalNode"
QString textualDescription(SelectiveSyncError error);
