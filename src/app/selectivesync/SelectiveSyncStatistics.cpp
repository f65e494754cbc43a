#include "app/selectivesync/SelectiveSyncStatistics.h"

#include "app/core/SettingsController.h"

SelectiveSyncStatistics::State SelectiveSyncStatistics::state(std::int16_t rootSyncState, int remoteChildCount) const {
    // Only an empty tree needs the setting.
    const bool empty = on == 0 && mixed == 0 && off == 0 && total == 0;
    const bool isAlreadyLaunched = !empty || SettingsController().settings()->isAlreadyLaunched();
    return state(rootSyncState, remoteChildCount, isAlreadyLaunched);
}

SelectiveSyncStatistics::State SelectiveSyncStatistics::state(std::int16_t rootSyncState, int remoteChildCount,
                                                              bool isAlreadyLaunched) const {
    // Everything counts as on only with two or more folders; a single one needs the remote root
    // to have no other (below).
    if (on >= 2 && off == 0 && mixed == 0 && on == total) return State::everythingOn;
    if (on == 0 && mixed == 0) {
        if (off == 0 && total == 0 && !isAlreadyLaunched) return State::firstRunNothingStored;
        if (off == total) return rootSyncState == 1 ? State::rootOnNothingBelow : State::everythingOff;
    }
    if (off == 0 && mixed == 0 && remoteChildCount == 1) return State::oneFolderOn;
    return State::partialSelection;
}

int SelectiveSyncStatistics::checkboxState(State state) {
    switch (state) {
    case State::everythingOn:
    case State::firstRunNothingStored:
    case State::rootOnNothingBelow:
    case State::oneFolderOn: return 1;
    case State::everythingOff: return 0;
    case State::partialSelection: return -1;
    }
    return -1;
}
