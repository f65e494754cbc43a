#pragma once

#include <QString>

class QPushButton;
class QWidget;

// The page of a pane that offers a plan with more: a title, a description, the upgrade button and
// the help button; the pane connects the buttons.
struct UpsellView {
    QWidget* view = nullptr;
    QPushButton* upgradeButton = nullptr;
    QPushButton* helpButton = nullptr;
};
UpsellView makeUpsellView(const QString& title, const QString& description, const QString& upgradeTitle);
