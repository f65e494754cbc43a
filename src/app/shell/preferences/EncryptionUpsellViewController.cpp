#include "app/shell/preferences/EncryptionUpsellViewController.h"

#include <QPushButton>

#include "app/shell/preferences/UpsellView.h"
#include "platform/appkit/Workspace.h"

EncryptionUpsellViewController::EncryptionUpsellViewController(QObject* parent) : PreferencesPane(parent) {}

QWidget* EncryptionUpsellViewController::loadView() {
    const UpsellView page = makeUpsellView(localizationController_.crLabelUpsellTitle(),
                                           localizationController_.crLabelUpsellDescription(),
                                           localizationController_.crButtonUpsellUpgradeNow());
    connect(page.upgradeButton, &QPushButton::clicked, this, [this, button = page.upgradeButton] { upgrade(button); });
    connect(page.helpButton, &QPushButton::clicked, this, [this, button = page.helpButton] { openHelp(button); });
    return page.view;
}

void EncryptionUpsellViewController::upgrade(QObject*) {
    Workspace::openUrlText(localizationController_.crButtonUpsellURL());
}

void EncryptionUpsellViewController::openHelp(QObject*) {
    Workspace::openUrlText(localizationController_.crButtonUpsellHelpURL());
}
