#include "app/shell/update/SparkleUpdaterController.h"

#include <QUrl>

#include "app/common/ConfigurationProvider.h"
#include "app/shell/update/SUUpdater.h"
#include "platform/foundation/UserDefaults.h"

namespace {

const QString alternativeFeedKey = QStringLiteral("KVTSUAlternativeFeedURL");
const QString useAlternativeFeedDefault = QStringLiteral("KVTUseAlternativeFeedURL");

bool makesURL(const QString& text) {
    const QUrl url(text.trimmed(), QUrl::StrictMode);
    return !text.trimmed().isEmpty() && url.isValid() && !url.scheme().isEmpty();
}

}  // namespace

SparkleUpdaterController::SparkleUpdaterController(bool isRunningUnitTests, QObject* parent)
    : SparkleUpdaterController(isRunningUnitTests, UserDefaults::standard(), parent) {}

SparkleUpdaterController::SparkleUpdaterController(bool isRunningUnitTests, UserDefaults& defaults, QObject* parent)
    : QObject(parent), defaults_(defaults), isRunningUnitTests_(isRunningUnitTests) {
    if (isRunningUnitTests) {
        defaults_.setObject(QStringLiteral("SUEnableAutomaticChecks"), false);
        return;
    }
    defaults_.registerDefaults({{QStringLiteral("SUScheduledCheckInterval"), defaultScheduledCheckInterval}});
    if (makesURL(infoPlistString(alternativeFeedKey))) {
        canUseAlternativeUpdateURL_ = true;
        useAlternativeUpdateURL_ = defaults_.boolForKey(useAlternativeFeedDefault);
    }
    if (SUUpdater* updater = SUUpdater::sharedUpdater()) {
        updater->setDelegate(this);
        updater->checkForUpdatesInBackground();
    }
}

SparkleUpdaterController::~SparkleUpdaterController() {
    SUUpdater* updater = SUUpdater::sharedUpdater();
    if (updater && updater->delegate() == this) updater->setDelegate(nullptr);
}

void SparkleUpdaterController::setUseAlternativeUpdateURL(bool value) {
    const bool newValue = canUseAlternativeUpdateURL_ && value;
    defaults_.setObject(useAlternativeFeedDefault, newValue);
    if (newValue == useAlternativeUpdateURL_) return;
    useAlternativeUpdateURL_ = newValue;
    emit useAlternativeUpdateURLChanged();
}

bool SparkleUpdaterController::sendsSystemProfile() const {
    SUUpdater* updater = SUUpdater::sharedUpdater();
    return updater && updater->sendsSystemProfile();
}

void SparkleUpdaterController::setSendsSystemProfile(bool value) {
    if (SUUpdater* updater = SUUpdater::sharedUpdater()) updater->setSendsSystemProfile(value);
}

QString SparkleUpdaterController::feedURLStringForUpdater(const SUUpdater&) const {
    return infoPlistString(useAlternativeUpdateURL_ ? alternativeFeedKey : QStringLiteral("SUFeedURL"));
}
