#include "app/shell/backup/BackupRestoreWindowController.h"

#include <QEvent>
#include <QMainWindow>
#include <QProgressBar>
#include <QToolBar>
#include <QToolButton>

#include "app/backup/BackupController.h"
#include "app/common/AppActions.h"
#include "app/common/LocalizationController.h"
#include "app/shell/backup/BackupRestoreViewController.h"
#include "app/shell/backup/BackupSplitViewController.h"
#include "app/shell/backup/RestoreSuccessWindowController.h"
#include "app/shell/backup/RestoreToolbarItem.h"
#include "platform/appkit/WindowSheet.h"
#include "platform/appkit/Storyboard.h"

namespace {

// The application's action name as a toolbar item sends it, without the trailing colon.
QByteArray applicationAction(const QString& action) { return action.chopped(1).toLatin1(); }

}  // namespace

BackupRestoreWindowController::BackupRestoreWindowController(QObject* parent)
    : QObject(parent), contentViewController_(new BackupSplitViewController(this)) {}

BackupRestoreWindowController::~BackupRestoreWindowController() {
    // A window on its way out is no longer a main window; it must not reach the filter.
    if (window_) window_->removeEventFilter(this);
    delete restoreViewController_.data();
    delete contentViewController_;
    delete window_.data();
}

QMainWindow* BackupRestoreWindowController::window() {
    if (window_) return window_;
    window_ = new QMainWindow;
    window_->setObjectName(QStringLiteral("BackupRestoreWindow"));
    window_->setWindowTitle(LocalizationController().brWindowTitleRestoreBackup());
    window_->resize(760, 440);
    window_->installEventFilter(this);

    auto* toolbar = new QToolBar(window_);
    toolbar->setObjectName(QStringLiteral("BackupRestoreToolbar"));
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    window_->addToolBar(toolbar);
    const auto item = [&](const QString& identifier, const QByteArray& action, QObject* target) {
        auto* toolbarItem = new ToolbarItem(identifier, toolbar);
        toolbarItem->setActionName(action);
        toolbarItem->setTarget(target);
        toolbar->addAction(toolbarItem);
        return toolbarItem;
    };
    refreshToolbarItem_ = item(QStringLiteral("refresh"), "refreshBackups", contentViewController_);
    toolbar->addSeparator();
    openPhotosToolbarItem_ = item(QStringLiteral("openPhotos"), applicationAction(AppAction::openPictures), nullptr);
    openVideosToolbarItem_ = item(QStringLiteral("openVideos"), applicationAction(AppAction::openMovies), nullptr);
    openContactsToolbarItem_ = item(QStringLiteral("openContacts"), applicationAction(AppAction::openContacts), nullptr);
    openCalendarsToolbarItem_ = item(QStringLiteral("openCalendars"), applicationAction(AppAction::openCalendars), nullptr);
    auto* spacer = new QWidget;
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    toolbar->addWidget(spacer);
    progressIndicator_ = new QProgressBar;
    progressIndicator_->setObjectName(QStringLiteral("BackupListProgress"));
    progressIndicator_->setTextVisible(false);
    progressIndicator_->setFixedWidth(80);
    progressIndicator_->setVisible(false);
    toolbar->addWidget(progressIndicator_);
    restoreBackupToolbarItem_ = new RestoreToolbarItem(BackupSplitViewController::restoreItemIdentifier, toolbar);
    auto* restoreButton = new QToolButton;
    restoreButton->setObjectName(QStringLiteral("RestoreButton"));
    restoreButton->setEnabled(false);
    restoreBackupToolbarItem_->setView(restoreButton);
    restoreBackupToolbarItem_->setActionName("restoreBackup");
    restoreBackupToolbarItem_->setTarget(this);
    toolbar->addAction(restoreBackupToolbarItem_);

    window_->setCentralWidget(contentViewController_->view());
    windowDidLoad();
    return window_;
}

void BackupRestoreWindowController::windowDidLoad() {
    BackupSplitViewController* split = contentViewController_;
    split->setProgressIndicator(progressIndicator_);
    split->setBackupController(backupController_);
    restoreBackupToolbarItem_->setValidator(split);

    const LocalizationController texts;
    refreshToolbarItem_->setText(texts.brToolbarItemTitleRefresh());
    openPhotosToolbarItem_->setText(texts.brToolbarItemTitleOpenPhotos());
    openVideosToolbarItem_->setText(texts.brToolbarItemTitleOpenVideos());
    openContactsToolbarItem_->setText(texts.brToolbarItemTitleOpenContacts());
    openCalendarsToolbarItem_->setText(texts.brToolbarItemTitleOpenCalendars());
    restoreBackupToolbarItem_->setText(texts.brToolbarItemTitleRestoreBackup());
    openPhotosToolbarItem_->setToolTip(texts.brToolbarItemToolTipOpenPhotos());
    openVideosToolbarItem_->setToolTip(texts.brToolbarItemToolTipOpenVideos());
    openContactsToolbarItem_->setToolTip(texts.brToolbarItemToolTipOpenContacts());
    openCalendarsToolbarItem_->setToolTip(texts.brToolbarItemToolTipOpenCalendars());
    restoreBackupToolbarItem_->setToolTip(texts.brToolbarItemToolTipRestoreBackup());
    if (auto* button = qobject_cast<QToolButton*>(restoreBackupToolbarItem_->view())) {
        button->setText(texts.brToolbarItemTitleRestoreBackup());
        button->setToolTip(texts.brToolbarItemToolTipRestoreBackup());
    }
}

BackupController* BackupRestoreWindowController::backupController() const { return backupController_; }

void BackupRestoreWindowController::setBackupController(BackupController* controller) { backupController_ = controller; }

BackupRestoreViewController* BackupRestoreWindowController::restoreViewController() const { return restoreViewController_; }

bool BackupRestoreWindowController::isWindowVisible() const { return window_ && window_->isVisible(); }

void BackupRestoreWindowController::showWindow() {
    QMainWindow* w = window();
    w->show();
    w->raise();
    w->activateWindow();
}

void BackupRestoreWindowController::close() {
    if (!window_) return;
    for (QWidget* sheet : WindowSheet::attachedSheets(window_)) WindowSheet::end(sheet);
    window_->close();
}

bool BackupRestoreWindowController::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_) {
        switch (event->type()) {
        case QEvent::Show:
            if (!event->spontaneous()) {
                if (backupController_) contentViewController_->setBackupController(backupController_);
                contentViewController_->viewWillAppear();
            }
            break;
        case QEvent::Hide:
            if (!event->spontaneous()) contentViewController_->viewDidDisappear();
            break;
        case QEvent::Close:
            // The title bar closes the window with its sheets, as the application's close does.
            for (QWidget* sheet : WindowSheet::attachedSheets(window_)) WindowSheet::end(sheet);
            break;
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void BackupRestoreWindowController::restoreBackup(QObject* sender) { performSegue(restoreSegueIdentifier, sender); }

void BackupRestoreWindowController::performSegue(const QString& identifier, QObject* sender) {
    if (identifier != restoreSegueIdentifier || restoreViewController_) return;
    auto* destination = Storyboard::instantiateAs<BackupRestoreViewController>(Storyboard::main(),
                                                                               BackupRestoreViewController::storyboardIdentifier);
    if (!destination) return;
    destination->setParent(this);
    prepareForSegue(identifier, destination, sender);
    restoreViewController_ = destination;
    connect(destination, &BackupRestoreViewController::dismissed, this, [this, destination] {
        if (restoreViewController_ == destination) restoreViewController_ = nullptr;
        destination->deleteLater();
    });
    destination->presentAsSheet(window());
}

void BackupRestoreWindowController::prepareForSegue(const QString& identifier, QObject* destination, QObject*) {
    auto* restoreSheet = qobject_cast<BackupRestoreViewController*>(destination);
    if (identifier != restoreSegueIdentifier || !restoreSheet) return;
    restoreSheet->setRepresentedObject(contentViewController_->representedObject());
    restoreSheet->setBackupController(contentViewController_->backupController());
}

void registerBackupBrowserScenes() {
    const QString main = Storyboard::main();
    Storyboard::registerScene(main, BackupRestoreWindowController::storyboardIdentifier,
                              [] { return new BackupRestoreWindowController; });
    Storyboard::registerScene(main, BackupRestoreViewController::storyboardIdentifier,
                              [] { return new BackupRestoreViewController; });
    Storyboard::registerScene(main, RestoreSuccessWindowController::storyboardIdentifier,
                              [] { return new RestoreSuccessWindowController; });
}
