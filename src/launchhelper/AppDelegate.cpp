#include "launchhelper/AppDelegate.h"

#include <QCoreApplication>

#include "app/common/ConfigurationProvider.h"

namespace Orvella_LaunchHelper {

AppDelegate::AppDelegate(LaunchHelper helper, Completion completion)
    : helper_(std::move(helper)), completion_(std::move(completion)) {}

void AppDelegate::applicationDidFinishLaunching() {
    helper_.launchMainApplicationAsync(infoPlistString(QStringLiteral("AppBundleIdentifier")), completion_);
}

void AppDelegate::quitWithOutcome(LaunchHelper::Outcome outcome) {
    if (outcome == LaunchHelper::Outcome::noApplication)
        qWarning("Orvella_LaunchHelper: the main application was not found");
    else if (outcome == LaunchHelper::Outcome::launchFailed)
        qWarning("Orvella_LaunchHelper: the main application could not be started");
    QCoreApplication::exit(LaunchHelper::exitCode(outcome));
}

}  // namespace Orvella_LaunchHelper
