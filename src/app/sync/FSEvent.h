#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>

#include "app/sync/FSEventAction.h"
#include "app/sync/FSEventFlags.h"

// One file-system event of the sync folder, as the stream reports it and the observer reads it.
struct FSEvent {
    using Flags = FSEventFlags;

    QString path;          // absolute path of the item
    Flags flags;           // the stream's item flags
    std::uint64_t id = 0;  // the stream's event id
    C::FSEvent::Action action = C::FSEvent::Action::none;  // what it means for sync
    QString oldPath;       // the path before a rename; empty when there is none

    // Identity is the id, the path and the flags: the action and the old path are what the
    // observer makes of an event, not part of it.
    bool operator==(const FSEvent& other) const {
        return id == other.id && path == other.path && flags == other.flags;
    }

    // For log lines: "<id> <action> [<oldPath> -> ]<path> < | flag | ... |  >>".
    QString description() const;
    // The flag part of the description.
    static QString describe(Flags flags);
};

std::size_t qHash(const FSEvent& event, std::size_t seed = 0) noexcept;

template <>
struct std::hash<FSEvent> {
    std::size_t operator()(const FSEvent& event) const noexcept { return qHash(event); }
};
