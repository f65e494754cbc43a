#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

class BackupRestoreSuccessViewController;

// The window of the restore-success sheet around its content. Main thread only.
class RestoreSuccessWindowController : public QObject {
    Q_OBJECT

public:
    static inline const QString storyboardIdentifier = QStringLiteral("RestoreSuccessWindowController");

    explicit RestoreSuccessWindowController(QObject* parent = nullptr);
    ~RestoreSuccessWindowController() override;

    BackupRestoreSuccessViewController* contentViewController() const { return contentViewController_; }
    // Made on first use.
    QWidget* window();

private:
    BackupRestoreSuccessViewController* contentViewController_;
    QPointer<QWidget> window_;
};
