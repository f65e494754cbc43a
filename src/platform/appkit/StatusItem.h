#pragma once

#include <QObject>
#include <QMenu>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>

class QSystemTrayIcon;
class StatusBarButton;
class StatusItemWindow;

// The application's item in the desktop's tray: an image with a tooltip and a menu.
//
// A disabled button takes no clicks, opens no menu and shows its image greyed. Without a tray
// (some desktops, headless sessions) the item keeps its state and answers every call, but shows
// nothing until a tray appears: isTrayAvailable() says so. With a window title given, the item
// offers its menu in a window of its own whenever there is no tray, and closes it when one comes.
class StatusItem : public QObject {
    Q_OBJECT

public:
    explicit StatusItem(QObject* parent = nullptr);
    ~StatusItem() override;

    StatusBarButton* button() const { return button_; }
    // The menu the item opens; not owned. nullptr for none.
    QMenu* menu() const { return menu_; }
    void setMenu(QMenu* menu);

    // Whether the desktop has a tray right now.
    static bool isTrayAvailable();
    // Whether the item is on screen; never true without a tray.
    bool isVisible() const;
    void setVisible(bool visible);

    // The menu the tray offers right now: the item's menu while the button is enabled.
    QMenu* effectiveMenu() const;
    QSystemTrayIcon* trayIcon() const { return tray_; }

    // Shows the item's menu in a window with this title while no tray is there (at once when
    // there is none now); an empty title stops it and closes the window.
    void setWindowWithoutTray(const QString& title);
    // Brings the window to the front when there is no tray; answers whether it did.
    bool raiseWindowWithoutTray();
    // The window, once made.
    StatusItemWindow* window() const { return window_.get(); }
    // Whether a tray is there, asked again every few seconds while a window title is set; tests
    // answer it themselves. nullptr restores the desktop's answer.
    static void setTrayProbe(std::function<bool()> probe);
    // Asks the probe now instead of at the next tick.
    void checkTray();

signals:
    // A click on an enabled item without a menu.
    void clicked();
    // The window came to the front showing `menu`: its lines may be refreshed.
    void menuWillShowInWindow(QMenu* menu);
    void trayAvailabilityChanged(bool available);

private:
    void sync();
    void ensureWindow();
    void onActivated(int reason);

    StatusBarButton* button_;
    QSystemTrayIcon* tray_;
    QPointer<QMenu> menu_;
    bool wantVisible_ = true;
    QString windowTitle_;
    std::unique_ptr<StatusItemWindow> window_;
    QTimer trayPoll_;
    bool trayAvailable_ = false;
};
