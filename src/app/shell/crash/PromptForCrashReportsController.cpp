#include "app/shell/crash/PromptForCrashReportsController.h"

#include "app/common/LocalizationController.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"

PromptForCrashReportsController::PromptForCrashReportsController(OVPromptForCrashReportsControllerProvider provider)
    : provider_(provider) {}

void PromptForCrashReportsController::appendCompletion(std::function<void()> completion) {
    if (completion) promptCompletions_.push_back(std::move(completion));
}

void PromptForCrashReportsController::promptIfNeeded(std::function<void()> completion) {
    OrvellaSettingsManager* settings = provider_.settings;
    if (settings->hasPromptedToSendCrashReports()) {
        if (completion) completion();
        return;
    }
    if (settings->crashReportsEnabled()) {
        settings->setHasPromptedToSendCrashReports(true);
        if (completion) completion();
        return;
    }
    appendCompletion(std::move(completion));
    // A request while the question is on screen waits for the same answer.
    if (isShowingPrompt_) return;
    isShowingPrompt_ = true;

    LocalizationController texts;
    Application::shared().activate(true);
    const bool yes = Alert::runModal(texts.appPromptSendCrashReportsTitle(), texts.appPromptSendCrashReportsInformative(),
                                     texts.appPromptSendCrashReportsYes(),
                                     texts.appPromptSendCrashReportsNo()) == Alert::FirstButtonReturn;

    isShowingPrompt_ = false;
    if (yes) settings->setCrashReportsEnabled(true);
    settings->setHasPromptedToSendCrashReports(true);
    // Completions may queue further work; run the ones queued so far, in order.
    auto completions = std::move(promptCompletions_);
    promptCompletions_.clear();
    for (auto& c : completions) c();
}
