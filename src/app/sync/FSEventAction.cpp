#include "app/sync/FSEventAction.h"

#include <array>
#include <utility>

namespace C::FSEvent {

namespace {

struct ActionInfo {
    Action action;
    const char* name;
    int rank;
};

// Creation first so that a folder exists before what goes into it, deletion late, and what
// means nothing last.
constexpr std::array<ActionInfo, 14> actions{{
    {Action::none, "none", 99},
    {Action::ignore, "ignore", 200},
    {Action::fileAdded, "fileAdded", 10},
    {Action::fileUpdated, "fileUpdated", 25},
    {Action::directoryAdded, "directoryAdded", 5},
    {Action::fileDeleted, "fileDeleted", 70},
    {Action::fileReplaced, "fileReplaced", 15},
    {Action::directoryDeleted, "directoryDeleted", 60},
    {Action::directoryReplaced, "directoryReplaced", 15},
    {Action::itemDeleted, "itemDeleted", 50},
    {Action::fileMovedOrRenamed, "fileMovedOrRenamed", 20},
    {Action::directoryMovedOrRenamed, "directoryMovedOrRenamed", 30},
    {Action::mustScanSubDirs, "mustScanSubDirs", 1},
    {Action::itemPermissionChanged, "itemPermissionChanged", 120},
}};

const ActionInfo& info(Action action) { return actions[static_cast<std::size_t>(action)]; }

}  // namespace

QString rawValue(Action action) { return QString::fromLatin1(info(action).name); }

std::optional<Action> actionFromRawValue(const QString& rawValue) {
    for (const ActionInfo& entry : actions)
        if (rawValue == QLatin1String(entry.name)) return entry.action;
    return std::nullopt;
}

int sortRank(Action action) { return info(action).rank; }

}  // namespace C::FSEvent
