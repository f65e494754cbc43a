#pragma once

#include <optional>
#include <string>

// The sync folder the application last named, kept in the user's cache folder for every file
// manager's plug-in: "Share Link with Orvella" is offered while the application is not running
// (sharing starts it), and the file manager may start before it.
namespace SavedSyncFolder {

// $XDG_CACHE_HOME, or ~/.cache.
std::string cacheFolder();
std::string path();
std::optional<std::string> load();
// Replaces the saved folder whole, so that a reader never finds half of it.
void save(const std::string& folder);

}  // namespace SavedSyncFolder
