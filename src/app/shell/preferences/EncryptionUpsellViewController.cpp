#include "app/shell/preferences/EncryptionUpsellViewController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include "platform/appkit/Workspace.h"

EncryptionUpsellViewController::EncryptionUpsellViewController(QObject* parent) : PreferencesPane(parent) {}

QWidget* EncryptionUpsellViewController::loadView() {
    auto* view = new QWidget;
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(20, 20, 20, 20);
    auto* title = new QLabel(localizationController_.crLabelUpsellTitle(), view);
    QFont font = title->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.3);
    title->setFont(font);
    layout->addWidget(title);
    auto* description = new QLabel(localizationController_.crLabelUpsellDescription(), view);
    description->setWordWrap(true);
    layout->addWidget(description);
    auto* buttons = new QHBoxLayout;
    auto* upgradeButton = new QPushButton(localizationController_.crButtonUpsellUpgradeNow(), view);
    connect(upgradeButton, &QPushButton::clicked, this, [this, upgradeButton] { upgrade(upgradeButton); });
    buttons->addWidget(upgradeButton);
    buttons->addStretch(1);
    auto* help = new QPushButton(QStringLiteral("?"), view);
    help->setFixedSize(24, 24);
    connect(help, &QPushButton::clicked, this, [this, help] { openHelp(help); });
    buttons->addWidget(help);
    layout->addLayout(buttons);
    layout->addStretch(1);
    return view;
}

void EncryptionUpsellViewController::upgrade(QObject*) {
    Workspace::openUrlText(localizationController_.crButtonUpsellURL());
}

void EncryptionUpsellViewController::openHelp(QObject*) {
    Workspace::openUrlText(localizationController_.crButtonUpsellHelpURL());
}
