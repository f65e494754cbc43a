#pragma once

#include <QString>

// The badge words: what the application answers for an item and pushes in a URLSyncStatus, and the
// identifiers the extension registers its badge images under.
namespace BadgeWords {

inline constexpr QLatin1String error{"error"};
inline constexpr QLatin1String readOnly{"readOnly"};
inline constexpr QLatin1String syncing{"syncing"};
inline constexpr QLatin1String synced{"synced"};
inline constexpr QLatin1String selectivelyNotSynced{"selectivelyNotSynced"};
inline constexpr QLatin1String ignored{"ignored"};

}  // namespace BadgeWords
