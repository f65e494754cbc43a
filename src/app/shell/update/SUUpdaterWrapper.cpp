#include "app/shell/update/SUUpdaterWrapper.h"

#include "app/shell/update/SUUpdater.h"

bool SUUpdaterWrapper::automaticallyChecksForUpdates() const {
    SUUpdater* updater = SUUpdater::sharedUpdater();
    return updater && updater->automaticallyChecksForUpdates();
}

void SUUpdaterWrapper::setAutomaticallyChecksForUpdates(bool value) {
    SUUpdater* updater = SUUpdater::sharedUpdater();
    if (!updater) return;
    updater->setAutomaticallyChecksForUpdates(value);
    emit automaticallyChecksForUpdatesChanged();
}

double SUUpdaterWrapper::updateCheckInterval() const {
    SUUpdater* updater = SUUpdater::sharedUpdater();
    return updater ? updater->updateCheckInterval() : 0;
}

void SUUpdaterWrapper::setUpdateCheckInterval(double seconds) {
    SUUpdater* updater = SUUpdater::sharedUpdater();
    if (!updater) return;
    updater->setUpdateCheckInterval(seconds);
    emit updateCheckIntervalChanged();
}

void SUUpdaterWrapper::checkForUpdates(QObject* sender) {
    if (SUUpdater* updater = SUUpdater::sharedUpdater()) updater->checkForUpdates(sender);
}
