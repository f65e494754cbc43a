#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace C::FSEvent {

// What a file-system event means for sync. The raw values are the case names.
enum class Action : std::uint8_t {
    none,
    ignore,
    fileAdded,
    fileUpdated,
    directoryAdded,
    fileDeleted,
    fileReplaced,
    directoryDeleted,
    directoryReplaced,
    itemDeleted,
    fileMovedOrRenamed,
    directoryMovedOrRenamed,
    mustScanSubDirs,
    itemPermissionChanged,
};

QString rawValue(Action action);
// None for any text that is not exactly one of the case names.
std::optional<Action> actionFromRawValue(const QString& rawValue);
// The place of the action when a batch is put in order; lower goes first.
int sortRank(Action action);

}  // namespace C::FSEvent
