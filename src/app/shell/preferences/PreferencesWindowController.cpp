#include "app/shell/preferences/PreferencesWindowController.h"

#include <QToolBar>
#include <QVBoxLayout>
#include <QWidget>

#include "app/shell/preferences/AutoImportViewController.h"
#include "app/shell/preferences/BackupPreferencesViewController.h"
#include "app/shell/preferences/BackupUpsellViewController.h"
#include "app/shell/preferences/BackupViewController.h"
#include "app/shell/preferences/CreateEncryptionKeyViewController.h"
#include "app/shell/preferences/EncryptionQRCodeController.h"
#include "app/shell/preferences/EncryptionUpsellViewController.h"
#include "app/shell/preferences/EncryptionViewController.h"
#include "app/shell/preferences/GeneralViewController.h"
#include "app/shell/preferences/ImportEncryptionKeyViewController.h"
#include "app/shell/preferences/PreferencesPane.h"
#include "app/shell/preferences/PreferencesSoftwareUpdatePane.h"
#include "app/shell/preferences/PreferencesTabViewController.h"
#include "app/shell/preferences/SyncViewController.h"
#include "platform/appkit/Storyboard.h"

PreferencesWindowController::PreferencesWindowController(QObject* parent)
    : QObject(parent), contentViewController_(new PreferencesTabViewController(this)), window_(new QWidget) {
    window_->setAttribute(Qt::WA_DeleteOnClose, false);
    window_->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                            Qt::WindowMinimizeButtonHint);
    auto* layout = new QVBoxLayout(window_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QWidget* content = contentViewController_->view();
    layout->addWidget(content);
    if (auto* item = contentViewController_->tabView()->selectedTabViewItem()) window_->setWindowTitle(item->label());
}

PreferencesWindowController::~PreferencesWindowController() {
    // The panes' views leave the window with their panes.
    delete contentViewController_;
    delete window_.data();
}

bool PreferencesWindowController::isWindowVisible() const {
    return window_ && window_->isVisible();
}

void PreferencesWindowController::showWindow() {
    if (!window_) return;
    if (!window_->isVisible()) {
        contentViewController_->viewWillAppear();
        // The window opens at the size of the pane it shows.
        PreferencesTabViewItem* item = contentViewController_->tabView()->selectedTabViewItem();
        if (item && item->viewController()) {
            const QSizeF recorded = contentViewController_->tabViewSizes().value(
                item, QSizeF(item->viewController()->view()->size()));
            window_->resize(recorded.toSize() + QSize(0, contentViewController_->toolbar()->sizeHint().height()));
        }
        window_->show();
    }
    window_->raise();
    window_->activateWindow();
}

void PreferencesWindowController::close() {
    if (window_) window_->close();
}

void PreferencesWindowController::present(BackupController* backupController, UserController* userController,
                                          FeaturesController* featuresController, SyncController* syncController,
                                          SparkleUpdaterController* sparkleController, bool showBackupTab) {
    const bool wasVisible = isWindowVisible();
    PreferencesTabViewController* content = contentViewController_;
    content->backupController = backupController;
    content->userController = userController;
    content->featuresController = featuresController;
    content->syncController = syncController;
    content->sparkleController = sparkleController;
    showWindow();
    PreferencesTabView* tabView = content->tabView();
    if (showBackupTab) {
        // The account may be shown the upsell twin instead of the backup tab itself.
        if (content->backupTabViewItem() && content->backupTabViewItem()->tabView())
            tabView->selectTabViewItem(content->backupTabViewItem());
        else if (content->backupUpsellTabViewItem())
            tabView->selectTabViewItem(content->backupUpsellTabViewItem());
    } else if (!wasVisible) {
        tabView->selectTabViewItem(content->generalTabViewItem());
    }
}

void registerPreferencesScenes() {
    const QString main = Storyboard::main();
    Storyboard::registerScene(main, PreferencesWindowController::storyboardIdentifier,
                              [] { return new PreferencesWindowController; });
    Storyboard::registerScene(main, PreferencesTabViewController::generalScene,
                              [] { return new GeneralViewController; });
    Storyboard::registerScene(main, PreferencesTabViewController::selectiveSyncScene,
                              [] { return new SyncViewController; });
    Storyboard::registerScene(main, PreferencesTabViewController::autoImportScene,
                              [] { return new AutoImportViewController; });
    Storyboard::registerScene(main, PreferencesTabViewController::encryptionScene,
                              [] { return new EncryptionViewController; });
    Storyboard::registerScene(main, PreferencesTabViewController::encryptionUpsellScene,
                              [] { return new EncryptionUpsellViewController; });
    Storyboard::registerScene(main, PreferencesTabViewController::backupScene, [] { return new BackupViewController; });
    Storyboard::registerScene(main, PreferencesTabViewController::backupUpsellScene,
                              [] { return new BackupUpsellViewController; });
    Storyboard::registerScene(main, BackupPreferencesViewController::storyboardIdentifier,
                              [] { return new BackupPreferencesViewController; });
    Storyboard::registerScene(main, PreferencesTabViewController::softwareUpdateScene,
                              [] { return new PreferencesSoftwareUpdatePane; });
    Storyboard::registerScene(main, QStringLiteral("EncryptionQRCodeController"),
                              [] { return new EncryptionQRCodeController; });
    Storyboard::registerScene(main, QStringLiteral("CreateEncryptionKeyViewController"),
                              [] { return new CreateEncryptionKeyViewController; });
    Storyboard::registerScene(main, QStringLiteral("ImportEncryptionKeyViewController"),
                              [] { return new ImportEncryptionKeyViewController; });
}
