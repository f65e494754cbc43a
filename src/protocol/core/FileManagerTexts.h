#pragma once

namespace OrvellaPorts {

// The file managers' menu item that hands one item of the sync folder to the application to share.
inline constexpr const char* shareMenuTitle = "Share Link with Orvella";

}  // namespace OrvellaPorts
