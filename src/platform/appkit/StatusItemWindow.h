#pragma once

#include <QPointer>
#include <QWidget>

class QAction;
class QLabel;
class QMenu;
class QVBoxLayout;

// A status item's menu laid out as a window, for desktops with no tray to put the item in: the
// menu's informational lines as text, its commands as buttons that trigger the same actions, its
// separators as rules. It follows the menu it is given as the menu changes (texts, visibility,
// enabled state), so it can never offer what the menu would not.
class StatusItemWindow : public QWidget {
    Q_OBJECT

public:
    explicit StatusItemWindow(QWidget* parent = nullptr);
    ~StatusItemWindow() override;

    // The menu to show; not owned. nullptr for none.
    void setMenu(QMenu* menu);
    QMenu* menu() const { return menu_; }
    // The image above the menu's contents, beside the window's title, and the summary it explains.
    void setStatus(const QIcon& image, const QString& summary);
    // Whether its commands take clicks.
    void setCommandsEnabled(bool enabled);

    // An action marked so reads as a line of information, never as a button, even when enabled.
    static void markAsLine(QAction* action);
    static bool isLine(const QAction* action);

    // What the window shows right now, top to bottom: "line:<text>", "command:<text>" for a
    // command that takes clicks, "disabled:<text>" for one that does not, and "-" for a rule.
    QStringList contents() const;
    // Clicks the command shown with `text`; false when there is none that takes clicks.
    bool click(const QString& text);

signals:
    // The window came to the front: what its menu shows may be refreshed, as when a menu opens.
    void willShowMenu(QMenu* menu);

protected:
    bool event(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void scheduleRebuild();
    void rebuild();
    void watch(QMenu* menu);

    QPointer<QMenu> menu_;
    QLabel* image_;
    QLabel* summary_;
    QWidget* body_ = nullptr;
    QVBoxLayout* layout_;
    bool commandsEnabled_ = true;
    bool rebuildPending_ = false;
    QList<QMetaObject::Connection> watched_;
};
