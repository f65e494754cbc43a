#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QString>

#include <memory>
#include <vector>

#include "app/common/LocalizationController.h"
#include "app/core/ReachabilityController.h"
#include "app/core/UserController.h"
#include "app/selectivesync/SelectiveSyncViewController.h"
#include "app/shell/preferences/PreferencesPane.h"
#include "app/sync/SyncController.h"

class QLabel;
class QPushButton;

// The sync tab: the sync state and the button that opens the selective-sync sheet, which gets this
// pane's sync controller. The button works only while signed in and online. Main thread only.
class SyncViewController : public PreferencesPane {
    Q_OBJECT
    Q_PROPERTY(UserController* userController READ userController WRITE setUserController NOTIFY userControllerChanged)
    Q_PROPERTY(ReachabilityController* reachability READ reachability WRITE setReachability NOTIFY reachabilityChanged)

public:
    // The sheet's scene and the segue that opens it.
    static inline const QString selectiveSyncSegue = QStringLiteral("SelectiveSync");

    explicit SyncViewController(QObject* parent = nullptr);
    ~SyncViewController() override;

    SyncController* syncController() const { return syncController_; }
    void setSyncController(SyncController* controller);
    UserController* userController() const { return userController_; }
    void setUserController(UserController* controller);
    ReachabilityController* reachability() const { return reachability_; }
    // The pane takes the controller over.
    void setReachability(ReachabilityController* controller);

    // Hands a selective-sync sheet this pane's sync controller (none when the pane has none).
    void prepareForSegue(const QString& identifier, QObject* destination);
    // Makes the sheet from the main storyboard, prepares it and shows it on the pane's window.
    Q_INVOKABLE void showSelectiveSync(QObject* sender);
    // The sheet on screen, if any.
    SelectiveSyncViewController* presentedSheet() const { return sheet_; }

    QPushButton* selectiveSyncButton() const { return selectiveSyncButton_; }
    QLabel* statusLabel() const { return statusLabel_; }
    QLabel* latestErrorLabel() const { return latestErrorLabel_; }
    // "Latest problem: <path>: <reason>" for the newest error; empty without errors.
    static QString latestErrorText(const std::vector<std::shared_ptr<ObjCSyncError>>& errors,
                                   const LocalizationController& texts);

signals:
    void userControllerChanged();
    void reachabilityChanged();

protected:
    QWidget* loadView() override;
    void viewDidLoad() override;
    // The engine tells no news of its error list: it is read afresh whenever the tab shows.
    void viewWillAppear() override { refresh(); }

private:
    void refresh();

    QPointer<SyncController> syncController_;
    QPointer<UserController> userController_;
    ReachabilityController* reachability_;
    const LocalizationController localizationController_;
    QMetaObject::Connection userObservation_;
    QMetaObject::Connection statusObservation_;
    QMetaObject::Connection reachabilityObservation_;
    QPointer<SelectiveSyncViewController> sheet_;

    QLabel* statusLabel_ = nullptr;
    QLabel* latestErrorLabel_ = nullptr;
    QPushButton* selectiveSyncButton_ = nullptr;
};
