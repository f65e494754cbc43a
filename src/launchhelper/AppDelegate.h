#pragma once

#include <functional>

#include "launchhelper/LaunchHelper.h"
#include "platform/appkit/ApplicationDelegate.h"

namespace Orvella_LaunchHelper {

// The helper process's delegate: once launching finishes, starts the main application named by
// the information key "AppBundleIdentifier", then reports how that went.
class AppDelegate final : public ApplicationDelegate {
public:
    using Completion = std::function<void(LaunchHelper::Outcome)>;

    // The default completion ends the helper with the outcome's exit code: its one job is done,
    // and a helper left idle would stay in the session for nothing.
    explicit AppDelegate(LaunchHelper helper = LaunchHelper(), Completion completion = quitWithOutcome);

    void applicationDidFinishLaunching() override;

    static void quitWithOutcome(LaunchHelper::Outcome outcome);

private:
    LaunchHelper helper_;
    Completion completion_;
};

}  // namespace Orvella_LaunchHelper
