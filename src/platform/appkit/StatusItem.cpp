#include "platform/appkit/StatusItem.h"

#include <QCursor>
#include <QMenu>
#include <QSystemTrayIcon>

#include "platform/appkit/StatusBarButton.h"
#include "platform/appkit/StatusItemWindow.h"

namespace {

std::function<bool()>& trayProbe() {
    static std::function<bool()> probe;
    return probe;
}

// A tray that comes or goes says nothing to us: it is looked for again this often.
constexpr int kTrayPollMs = 3000;

}  // namespace

StatusItem::StatusItem(QObject* parent)
    : QObject(parent), button_(new StatusBarButton(this)), tray_(new QSystemTrayIcon(this)) {
    connect(button_, &StatusBarButton::changed, this, &StatusItem::sync);
    connect(tray_, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { onActivated(int(reason)); });
    trayPoll_.setInterval(kTrayPollMs);
    connect(&trayPoll_, &QTimer::timeout, this, &StatusItem::checkTray);
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

bool StatusItem::isTrayAvailable() {
    return trayProbe() ? trayProbe()() : QSystemTrayIcon::isSystemTrayAvailable();
}

void StatusItem::setTrayProbe(std::function<bool()> probe) { trayProbe() = std::move(probe); }

void StatusItem::ensureWindow() {
    if (window_) return;
    window_ = std::make_unique<StatusItemWindow>();
    connect(window_.get(), &StatusItemWindow::willShowMenu, this, &StatusItem::menuWillShowInWindow);
    sync();
}

void StatusItem::setWindowWithoutTray(const QString& title) {
    windowTitle_ = title;
    if (title.isEmpty()) {
        trayPoll_.stop();
        if (window_) window_->hide();
        return;
    }
    trayAvailable_ = isTrayAvailable();
    trayPoll_.start();
    if (window_) window_->setWindowTitle(title);
    if (!trayAvailable_) raiseWindowWithoutTray();
}

bool StatusItem::raiseWindowWithoutTray() {
    if (windowTitle_.isEmpty() || isTrayAvailable()) return false;
    ensureWindow();
    window_->setWindowTitle(windowTitle_);
    window_->show();
    window_->raise();
    window_->activateWindow();
    return true;
}

void StatusItem::checkTray() {
    const bool available = isTrayAvailable();
    if (available == trayAvailable_) return;
    trayAvailable_ = available;
    if (available) {
        if (window_) window_->hide();
        // Shown again so that the icon docks in the tray that has just appeared.
        tray_->setVisible(false);
        sync();
    } else {
        raiseWindowWithoutTray();
    }
    emit trayAvailabilityChanged(available);
}

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
    if (window_) {
        window_->setStatus(button_->image(), button_->toolTip());
        window_->setCommandsEnabled(button_->isEnabled());
        window_->setMenu(menu_);
    }
}

void StatusItem::onActivated(int reason) {
    if (!button_->isEnabled()) return;
    if (reason != QSystemTrayIcon::Trigger) return;
    // A plain click opens the menu too, as the menu bar item it stands in for would.
    if (menu_) menu_->popup(QCursor::pos());
    else emit clicked();
}
