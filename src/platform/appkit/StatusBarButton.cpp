#include "platform/appkit/StatusBarButton.h"

void StatusBarButton::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    emit changed();
}

void StatusBarButton::setImage(const QIcon& image) {
    // Icons do not compare; every assignment counts as a change.
    image_ = image;
    emit changed();
}

void StatusBarButton::setToolTip(const QString& toolTip) {
    if (toolTip_ == toolTip) return;
    toolTip_ = toolTip;
    emit changed();
}
