#pragma once

#include <functional>
#include <vector>

class OrvellaSettingsManager;

struct OVPromptForCrashReportsControllerProvider {
    OrvellaSettingsManager* settings = nullptr;
};

// Asks once per installation whether crash reports may be sent.
class PromptForCrashReportsController {
public:
    explicit PromptForCrashReportsController(OVPromptForCrashReportsControllerProvider provider);

    // Runs the completion on the main thread once the question is settled.
    void promptIfNeeded(std::function<void()> completion);

    bool isShowingPrompt() const { return isShowingPrompt_; }
    // Others may queue work behind the prompt while it shows.
    void appendCompletion(std::function<void()> completion);

private:
    bool isShowingPrompt_ = false;
    std::vector<std::function<void()>> promptCompletions_;
    OVPromptForCrashReportsControllerProvider provider_;
};
