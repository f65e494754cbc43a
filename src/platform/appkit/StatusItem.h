#pragma once

#include <QObject>
#include <QMenu>
#include <QPointer>

class QSystemTrayIcon;
class StatusBarButton;

// The application's item in the desktop's tray: an image with a tooltip and a menu.
//
// A disabled button takes no clicks, opens no menu and shows its image greyed. Without a tray
// (some desktops, headless sessions) the item keeps its state and answers every call, but shows
// nothing until a tray appears: isTrayAvailable() says so, so that the application can offer its
// commands another way.
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

signals:
    // A click on an enabled item without a menu.
    void clicked();

private:
    void sync();
    void onActivated(int reason);

    StatusBarButton* button_;
    QSystemTrayIcon* tray_;
    QPointer<QMenu> menu_;
    bool wantVisible_ = true;
};
