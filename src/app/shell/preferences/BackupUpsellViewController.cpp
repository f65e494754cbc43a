#include "app/shell/preferences/BackupUpsellViewController.h"

#include <QPushButton>

#include "app/shell/preferences/UpsellView.h"
#include "platform/appkit/Workspace.h"

BackupUpsellViewController::BackupUpsellViewController(QObject* parent)
    : PreferencesPane(parent), reachability_(std::make_unique<ReachabilityController>()) {}

BackupUpsellViewController::~BackupUpsellViewController() = default;

QWidget* BackupUpsellViewController::loadView() {
    const UpsellView page = makeUpsellView(localizationController_.brLabelUpsellTitle(),
                                           localizationController_.brLabelUpsellDescription(),
                                           localizationController_.brButtonUpsellUpgradeNow());
    QPushButton* upgradeButton = page.upgradeButton;
    // The upgrade page is on the web.
    upgradeButton->setEnabled(reachability_->isConnected());
    connect(reachability_.get(), &ReachabilityController::isConnectedChanged, upgradeButton,
            [this, upgradeButton] { upgradeButton->setEnabled(reachability_->isConnected()); });
    connect(upgradeButton, &QPushButton::clicked, this, [this, upgradeButton] { upgrade(upgradeButton); });
    connect(page.helpButton, &QPushButton::clicked, this, [this, button = page.helpButton] { openHelp(button); });
    return page.view;
}

void BackupUpsellViewController::upgrade(QObject*) {
    Workspace::openUrlText(localizationController_.brButtonUpsellURL());
}

void BackupUpsellViewController::openHelp(QObject*) {
    Workspace::openUrlText(localizationController_.brButtonUpsellHelpURL());
}
