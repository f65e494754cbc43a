#pragma once

#include <string>

// The module's own log, one line per event, in $XDG_CACHE_HOME/orvella-nautilus.log (or
// ~/.cache/): Nautilus keeps a module's messages to itself, and a user asking why no emblems show
// needs to see whether the module loaded and whom it reached.
namespace ModuleLog {

// $XDG_CACHE_HOME, or ~/.cache when that is unset or relative.
std::string cacheFolder();
std::string path();
void write(const std::string& line);

}  // namespace ModuleLog
