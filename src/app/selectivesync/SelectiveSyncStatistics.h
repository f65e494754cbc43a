#pragma once

#include <cstdint>

// Counts of the selection in the store, and the select-all check box they call for.
struct SelectiveSyncStatistics {
    // What the select-all check box shows, by the rule that decided it.
    enum class State {
        everythingOn,       // on
        firstRunNothingStored,  // on
        rootOnNothingBelow, // on
        everythingOff,      // off
        oneFolderOn,        // on
        partialSelection,   // mixed
    };

    int on = 0;          // non-root nodes in state 1
    int off = 0;         // non-root nodes in state 0
    int mixed = 0;       // non-root nodes in state -1
    int total = 0;       // non-root nodes
    int unfiltered = 0;  // all nodes, the root included

    // `remoteChildCount`: the remote root's children that the store would keep. Reads the setting
    // `isAlreadyLaunched` for a store with nothing in it.
    State state(std::int16_t rootSyncState, int remoteChildCount) const;
    // The same with the setting given.
    State state(std::int16_t rootSyncState, int remoteChildCount, bool isAlreadyLaunched) const;

    // The check box's value for an outcome: 1 on, 0 off, -1 mixed.
    static int checkboxState(State state);

    bool operator==(const SelectiveSyncStatistics&) const = default;
};
