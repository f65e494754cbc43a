#include "app/shell/preferences/UpsellView.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

UpsellView makeUpsellView(const QString& titleText, const QString& descriptionText, const QString& upgradeTitle) {
    UpsellView page;
    page.view = new QWidget;
    auto* layout = new QVBoxLayout(page.view);
    layout->setContentsMargins(20, 20, 20, 20);
    auto* title = new QLabel(titleText, page.view);
    QFont font = title->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.3);
    title->setFont(font);
    layout->addWidget(title);
    auto* description = new QLabel(descriptionText, page.view);
    description->setWordWrap(true);
    layout->addWidget(description);
    auto* buttons = new QHBoxLayout;
    page.upgradeButton = new QPushButton(upgradeTitle, page.view);
    buttons->addWidget(page.upgradeButton);
    buttons->addStretch(1);
    page.helpButton = new QPushButton(QStringLiteral("?"), page.view);
    page.helpButton->setFixedSize(24, 24);
    buttons->addWidget(page.helpButton);
    layout->addLayout(buttons);
    layout->addStretch(1);
    return page;
}
