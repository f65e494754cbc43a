#include "app/shell/menubar/DebugMenu.h"

DebugMenu::DebugMenu(QWidget* parent)
    : QMenu(parent), lastRemoteActivityItem_(addAction(QString())), lastRemoteActivitySeparator_(addSeparator()) {
    lastRemoteActivityItem_->setEnabled(false);
}
