#include "app/selectivesync/SelectiveSyncError.h"

QString textualDescription(SelectiveSyncError error) {
    switch (error) {
    case SelectiveSyncError::unknownLocalNode: return QStringLiteral("SelectiveSyncError.unknownLocalNode");
    case SelectiveSyncError::unknownRemoteNode: return QStringLiteral("SelectiveSyncError.unknownRemoteNode");
    }
    return QStringLiteral("SelectiveSyncError");
}
