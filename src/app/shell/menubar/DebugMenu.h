#pragma once

#include <QMenu>

// A menu with the last-remote-activity line and its separator; the menu bar hides both whenever a
// menu of this kind opens.
class DebugMenu : public QMenu {
    Q_OBJECT

public:
    explicit DebugMenu(QWidget* parent = nullptr);

    QAction* lastRemoteActivityItem() const { return lastRemoteActivityItem_; }
    QAction* lastRemoteActivitySeparator() const { return lastRemoteActivitySeparator_; }

private:
    QAction* lastRemoteActivityItem_;
    QAction* lastRemoteActivitySeparator_;
};
