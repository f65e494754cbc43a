#pragma once

#include <QHash>
#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QSizeF>
#include <QString>
#include <QPropertyAnimation>
#include <QToolBar>
#include <QWidget>

#include "app/backup/BackupController.h"
#include "app/core/FeaturesController.h"
#include "app/core/UserController.h"
#include "app/sync/SyncController.h"

#include "app/shell/preferences/PreferencesTabView.h"
#include "app/shell/preferences/PreferencesTabViewItem.h"

class SparkleUpdaterController;

// The preferences window's content: a toolbar of tabs over the selected pane. It decides which tabs
// the user sees (general, sync, one of the two backup tabs, software update), hands the long-lived
// controllers to the panes, titles the window after the selected tab and animates the window to
// each pane's own size. Main thread only.
//
// The panes come from the main storyboard's scenes of the names below; a tab whose scene is not
// registered has no pane and shows an empty page. Panes of other libraries receive their
// controllers through these invokable setters, when they declare them:
//   backup:          setBackupController(BackupController*)
//   software update: setSparkleController(SparkleUpdaterController*)
class PreferencesTabViewController : public QObject, public PreferencesTabViewDelegate {
    Q_OBJECT
    Q_PROPERTY(PreferencesTabViewItem* generalTabViewItem READ generalTabViewItem WRITE setGeneralTabViewItem)
    Q_PROPERTY(PreferencesTabViewItem* selectiveSyncTabViewItem READ selectiveSyncTabViewItem WRITE
                   setSelectiveSyncTabViewItem)
    Q_PROPERTY(PreferencesTabViewItem* encryptionTabViewItem READ encryptionTabViewItem WRITE setEncryptionTabViewItem)
    Q_PROPERTY(PreferencesTabViewItem* encryptionUpsellTabViewItem READ encryptionUpsellTabViewItem WRITE
                   setEncryptionUpsellTabViewItem)
    Q_PROPERTY(PreferencesTabViewItem* backupTabViewItem READ backupTabViewItem WRITE setBackupTabViewItem)
    Q_PROPERTY(PreferencesTabViewItem* backupUpsellTabViewItem READ backupUpsellTabViewItem WRITE
                   setBackupUpsellTabViewItem)
    Q_PROPERTY(PreferencesTabViewItem* autoImportTabViewItem READ autoImportTabViewItem WRITE setAutoImportTabViewItem)
    Q_PROPERTY(PreferencesTabViewItem* softwareUpdateTabViewItem READ softwareUpdateTabViewItem WRITE
                   setSoftwareUpdateTabViewItem)

public:
    // The scenes of the panes, in the main storyboard.
    static inline const QString generalScene = QStringLiteral("GeneralViewController");
    static inline const QString selectiveSyncScene = QStringLiteral("SyncViewController");
    static inline const QString encryptionScene = QStringLiteral("EncryptionViewController");
    static inline const QString encryptionUpsellScene = QStringLiteral("EncryptionUpsellViewController");
    static inline const QString backupScene = QStringLiteral("BackupViewController");
    static inline const QString backupUpsellScene = QStringLiteral("BackupUpsellViewController");
    static inline const QString autoImportScene = QStringLiteral("AutoImportViewController");
    static inline const QString softwareUpdateScene = QStringLiteral("SoftwareUpdateViewController");

    // How long the window takes to change size, in milliseconds.
    static inline int resizeAnimationDuration = 200;

    // Makes the eight tab items and their panes; the tab view starts with all of them but the
    // backup upsell.
    explicit PreferencesTabViewController(QObject* parent = nullptr);
    ~PreferencesTabViewController() override;

    // Set by the application delegate before it shows the window.
    QPointer<BackupController> backupController;
    QPointer<UserController> userController;
    QPointer<FeaturesController> featuresController;
    QPointer<SyncController> syncController;
    SparkleUpdaterController* sparkleController = nullptr;

    // The toolbar over the selected pane; built on first use.
    QWidget* view();
    PreferencesTabView* tabView() const { return tabView_; }
    int selectedTabViewItemIndex() const { return tabView_->indexOfSelectedTabViewItem(); }
    // The window holding the view; nullptr while it is in none.
    QWidget* window() const;
    QToolBar* toolbar() const { return toolbar_; }

    void viewWillAppear();
    void updateTabViewItems();
    void updateBackupTabViewItem();
    void replaceTabViewItem(PreferencesTabViewItem* item, PreferencesTabViewItem* replacement, int index, bool select);
    void updateTabViewItemImages();
    void resizeWindow(PreferencesTabViewItem* item);

    // The pane size recorded as each tab was about to be selected.
    const QHash<PreferencesTabViewItem*, QSizeF>& tabViewSizes() const { return tabViewSizes_; }
    bool isObservingUser() const { return static_cast<bool>(observation_); }

    PreferencesTabViewItem* generalTabViewItem() const { return generalTabViewItem_; }
    PreferencesTabViewItem* selectiveSyncTabViewItem() const { return selectiveSyncTabViewItem_; }
    PreferencesTabViewItem* encryptionTabViewItem() const { return encryptionTabViewItem_; }
    PreferencesTabViewItem* encryptionUpsellTabViewItem() const { return encryptionUpsellTabViewItem_; }
    PreferencesTabViewItem* backupTabViewItem() const { return backupTabViewItem_; }
    PreferencesTabViewItem* backupUpsellTabViewItem() const { return backupUpsellTabViewItem_; }
    PreferencesTabViewItem* autoImportTabViewItem() const { return autoImportTabViewItem_; }
    PreferencesTabViewItem* softwareUpdateTabViewItem() const { return softwareUpdateTabViewItem_; }
    void setGeneralTabViewItem(PreferencesTabViewItem* item) { generalTabViewItem_ = item; }
    void setSelectiveSyncTabViewItem(PreferencesTabViewItem* item) { selectiveSyncTabViewItem_ = item; }
    void setEncryptionTabViewItem(PreferencesTabViewItem* item) { encryptionTabViewItem_ = item; }
    void setEncryptionUpsellTabViewItem(PreferencesTabViewItem* item) { encryptionUpsellTabViewItem_ = item; }
    void setBackupTabViewItem(PreferencesTabViewItem* item) { backupTabViewItem_ = item; }
    void setBackupUpsellTabViewItem(PreferencesTabViewItem* item) { backupUpsellTabViewItem_ = item; }
    void setAutoImportTabViewItem(PreferencesTabViewItem* item) { autoImportTabViewItem_ = item; }
    void setSoftwareUpdateTabViewItem(PreferencesTabViewItem* item) { softwareUpdateTabViewItem_ = item; }

    void tabViewWillSelectTabViewItem(PreferencesTabViewItem* item) override;
    void tabViewDidSelectTabViewItem(PreferencesTabViewItem* item) override;
    void tabViewDidChangeNumberOfTabViewItems() override;

private:
    PreferencesTabViewItem* makeItem(const QString& scene, const QString& label);
    void handControllersToPanes();
    void showSelectedPane();
    void rebuildToolbar();

    PreferencesTabView* tabView_;
    QHash<PreferencesTabViewItem*, QSizeF> tabViewSizes_;
    QMetaObject::Connection observation_;
    QMetaObject::Connection logoutObservation_;

    QPointer<PreferencesTabViewItem> generalTabViewItem_;
    QPointer<PreferencesTabViewItem> selectiveSyncTabViewItem_;
    QPointer<PreferencesTabViewItem> encryptionTabViewItem_;
    QPointer<PreferencesTabViewItem> encryptionUpsellTabViewItem_;
    QPointer<PreferencesTabViewItem> backupTabViewItem_;
    QPointer<PreferencesTabViewItem> backupUpsellTabViewItem_;
    QPointer<PreferencesTabViewItem> autoImportTabViewItem_;
    QPointer<PreferencesTabViewItem> softwareUpdateTabViewItem_;

    QPointer<QWidget> view_;
    QPointer<QToolBar> toolbar_;
    QPointer<QWidget> content_;
    QPointer<QWidget> shownPaneView_;
    QPointer<QPropertyAnimation> resizeAnimation_;
};
