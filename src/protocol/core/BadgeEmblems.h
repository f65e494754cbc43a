#pragma once

#include <optional>
#include <string>

namespace OrvellaPorts {

// The icon-theme name of a badge word's emblem, the same in every file manager; none for
// "unknown" and for words this version does not know. The icons are installed under these names.
inline std::optional<std::string> emblemForBadge(const std::string& badge) {
    static constexpr const char* shown[][2] = {
        {"synced", "emblem-orvella-synced"},
        {"syncing", "emblem-orvella-syncing"},
        {"error", "emblem-orvella-error"},
        {"readOnly", "emblem-orvella-readonly"},
        {"selectivelyNotSynced", "emblem-orvella-not-synced"},
        {"ignored", "emblem-orvella-ignored"},
    };
    for (const auto& [word, emblem] : shown)
        if (badge == word) return std::string(emblem);
    return std::nullopt;
}

}  // namespace OrvellaPorts
