#include "platform/appkit/StatusItem.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

#include "platform/appkit/StatusBarButton.h"

StatusItem::StatusItem(QObject* parent)
    : QObject(parent), button_(new StatusBarButton(this)), tray_(new QSystemTrayIcon(this)) {
    connect(button_, &StatusBarButton::changed, this, &StatusItem::sync);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { onActivated(int(reason)); });
    sync();
}

StatusItem::~StatusItem() {
    // The menu is not ours: the tray must let go of it before either goes away.
    tray_->setContextMenu(nullptr);
}

void StatusItem::setMenu(QMenu* menu) {
    menu_ = menu;
    sync();
}

QMenu* StatusItem::effectiveMenu() const { return button_->isEnabled() ? menu_.data() : nullptr; }

bool StatusItem::isTrayAvailable() { return QSystemTrayIcon::isSystemTrayAvailable(); }

bool StatusItem::isVisible() const { return isTrayAvailable() && tray_->isVisible(); }

void StatusItem::setVisible(bool visible) {
    wantVisible_ = visible;
    sync();
}

void StatusItem::sync() {
    QIcon icon = button_->image();
    if (!button_->isEnabled() && !icon.isNull()) {
        // Trays draw icons as given: a disabled look has to be baked in.
        const QList<QSize> sizes = icon.availableSizes();
        const QSize size = sizes.isEmpty() ? QSize(22, 22) : sizes.last();
        icon = QIcon(icon.pixmap(size, QIcon::Disabled));
    }
    tray_->setIcon(icon);
    tray_->setToolTip(button_->toolTip());
    if (tray_->contextMenu() != effectiveMenu()) tray_->setContextMenu(effectiveMenu());
    // Shown even while no tray is there: the tray icon joins a tray that starts later. An icon
    // without an image would be an empty slot, so it waits for one.
    tray_->setVisible(wantVisible_ && !icon.isNull());
}

void StatusItem::onActivated(int reason) {
    if (!button_->isEnabled()) return;
    if (reason != QSystemTrayIcon::Trigger) return;
    // A plain click opens the menu too, as the menu bar item it stands in for would.
    if (menu_) menu_->popup(QCursor::pos());
    else emit clicked();
}
