#pragma once

#include <functional>
#include <optional>

class QWidget;

// What a changed folder selection meets once the free-space check has answered: applied when it
// fits; refused with the not-enough-space alert when it does not; and when the check could not
// tell (the disk's free space unreadable, the tree not loaded), applied only after the user, told
// so, agrees. The alerts are sheets on `window` (application-modal without one). Main thread.
namespace SelectiveSyncSpaceCheck {

void proceed(std::optional<bool> enoughSpace, QWidget* window, std::function<void()> apply);

}  // namespace SelectiveSyncSpaceCheck
