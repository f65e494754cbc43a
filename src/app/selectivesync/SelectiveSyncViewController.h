#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QString>

#include "app/selectivesync/SelectiveSyncBrowserController.h"

class QLabel;
class QProgressBar;
class QWidget;

// The preferences' sheet for changing which folders are synced: it embeds the folder browser,
// seeds the store with the subscriptions the sync engine holds, mirrors the browser's state for
// its buttons, and offers Save (after a disk-space check) and Cancel. Main thread only.
class SelectiveSyncViewController : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool hasChanges READ hasChanges NOTIFY hasChangesChanged)
    Q_PROPERTY(bool didLoadData READ didLoadData NOTIFY didLoadDataChanged)

public:
    static inline const QString storyboardIdentifier = QStringLiteral("SelectiveSyncViewController");
    // The embedding of the browser into the sheet.
    static inline const QString browserSegueIdentifier = QStringLiteral("SelectiveSyncBrowser");

    explicit SelectiveSyncViewController(QObject* parent = nullptr);
    ~SelectiveSyncViewController() override;

    // The sheet's content, built on first use; building it embeds the browser made by the main
    // storyboard's "SelectiveSyncBrowserController" scene (none when there is no such scene).
    QWidget* view();
    // Shows the sheet modal to `window`.
    void presentAsSheet(QWidget* window);
    // Closes the sheet; `dismissed` follows.
    void dismiss(QObject* sender);

    // A copy of the browser's hasChanges.
    bool hasChanges() const { return hasChanges_; }
    // A copy of the browser's isUpdating: true while it loads.
    bool didLoadData() const { return didLoadData_; }
    SelectiveSyncBrowserController* browserController() const { return browserController_; }
    // The sync controller, set by the preferences before the sheet shows; may stay unset. Only
    // its presence counts: while it is there, a save asks the engine for a run at once.
    QObject* syncController() const { return syncController_; }
    void setSyncController(QObject* controller) { syncController_ = controller; }

    // For the "SelectiveSyncBrowser" embedding with a browser controller as destination: keeps
    // it, seeds the store from the engine's subscriptions (the browser reloads when that is done)
    // and mirrors its state from now on. Anything else is left alone.
    void prepareForSegue(const QString& identifier, QObject* destination);

    Q_INVOKABLE void cancel(QObject* sender);
    Q_INVOKABLE void save(QObject* sender);

    QPushButton* saveButton() const { return saveButton_; }
    QPushButton* cancelButton() const { return cancelButton_; }

signals:
    void hasChangesChanged();
    void didLoadDataChanged();
    void dismissed();

private:
    void loadView();
    void setHasChanges(bool value);
    void setDidLoadData(bool value);
    void triggerSync();

    bool hasChanges_ = false;
    bool didLoadData_ = false;
    QMetaObject::Connection hasChangesObservation_;
    QMetaObject::Connection didLoadDataObservation_;
    QPointer<SelectiveSyncBrowserController> browserController_;
    QPointer<QObject> syncController_;

    QPointer<QWidget> view_;
    QPointer<QWidget> container_;
    QPointer<QPushButton> saveButton_;
    QPointer<QPushButton> cancelButton_;
    QPointer<QProgressBar> activity_;
};

// Registers the browser ("SelectiveSyncBrowserController") and the sheet
// ("SelectiveSyncViewController") with the main storyboard. Call once at start-up.
void registerSelectiveSyncScenes();
