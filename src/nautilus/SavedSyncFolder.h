#pragma once

#include <optional>
#include <string>

// The sync folder the application last named, kept beside the module's log: "Share Link with
// Orvella" is offered while the application is not running (sharing starts it), and Nautilus may
// start before it.
namespace SavedSyncFolder {

std::string path();
std::optional<std::string> load();
// Replaces the saved folder whole, so that a reader never finds half of it.
void save(const std::string& folder);

}  // namespace SavedSyncFolder
