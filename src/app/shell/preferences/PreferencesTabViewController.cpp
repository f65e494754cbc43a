#include "app/shell/preferences/PreferencesTabViewController.h"

#include <QAction>
#include <QActionGroup>
#include <QLayout>
#include <QPropertyAnimation>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWidget>

#include "app/backup/BackupController.h"
#include "app/common/LocalizationController.h"
#include "app/core/FeaturesController.h"
#include "app/core/UserController.h"
#include "app/shell/preferences/EncryptionViewController.h"
#include "app/shell/preferences/GeneralViewController.h"
#include "app/shell/preferences/PreferencesPane.h"
#include "app/shell/preferences/PreferencesToolbarImages.h"
#include "app/shell/preferences/SyncViewController.h"
#include "app/shell/update/SparkleUpdaterController.h"
#include "app/sync/SyncController.h"
#include "platform/appkit/Storyboard.h"

namespace {

// Hands `argument` to the pane's invokable `method` when the pane declares exactly that setter.
// `typeName` is the setter's parameter type as written in its signature.
template <typename T>
void handTo(PreferencesPane* pane, const char* method, const char* typeName, T* argument) {
    if (!pane) return;
    const QByteArray signature = QByteArray(method) + '(' + typeName + ')';
    if (pane->metaObject()->indexOfMethod(QMetaObject::normalizedSignature(signature.constData())) < 0) return;
    QMetaObject::invokeMethod(pane, method, Qt::DirectConnection, QArgument<T*>(typeName, argument));
}

}  // namespace

PreferencesTabViewController::PreferencesTabViewController(QObject* parent)
    : QObject(parent), tabView_(new PreferencesTabView(this)) {
    const LocalizationController texts;
    generalTabViewItem_ = makeItem(generalScene, texts.prToolbarItemTitleGeneral());
    selectiveSyncTabViewItem_ = makeItem(selectiveSyncScene, texts.prToolbarItemTitleSync());
    encryptionTabViewItem_ = makeItem(encryptionScene, texts.prToolbarItemTitleEncryption());
    encryptionUpsellTabViewItem_ = makeItem(encryptionUpsellScene, texts.prToolbarItemTitleEncryption());
    backupTabViewItem_ = makeItem(backupScene, texts.prToolbarItemTitleBackup());
    backupUpsellTabViewItem_ = makeItem(backupUpsellScene, texts.prToolbarItemTitleBackup());
    autoImportTabViewItem_ = makeItem(autoImportScene, texts.prToolbarItemTitleImport());
    softwareUpdateTabViewItem_ = makeItem(softwareUpdateScene, texts.prToolbarItemTitleUpdates());

    for (PreferencesTabViewItem* item : {generalTabViewItem_.data(), selectiveSyncTabViewItem_.data(),
                                         encryptionTabViewItem_.data(), encryptionUpsellTabViewItem_.data(),
                                         backupTabViewItem_.data(), autoImportTabViewItem_.data(),
                                         softwareUpdateTabViewItem_.data()})
        tabView_->addTabViewItem(item);
    tabView_->setDelegate(this);
}

PreferencesTabViewController::~PreferencesTabViewController() {
    tabView_->setDelegate(nullptr);
    if (resizeAnimation_) resizeAnimation_->stop();
}

PreferencesTabViewItem* PreferencesTabViewController::makeItem(const QString& scene, const QString& label) {
    auto* pane = Storyboard::instantiateAs<PreferencesPane>(Storyboard::main(), scene);
    auto* item = new PreferencesTabViewItem(scene, label, pane, this);
    if (pane) pane->setParent(item);
    connect(item, &PreferencesTabViewItem::labelChanged, this, &PreferencesTabViewController::rebuildToolbar);
    connect(item, &PreferencesTabViewItem::imageChanged, this, &PreferencesTabViewController::rebuildToolbar);
    return item;
}

QWidget* PreferencesTabViewController::view() {
    if (!view_) {
        view_ = new QWidget;
        auto* layout = new QVBoxLayout(view_);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);
        toolbar_ = new QToolBar(view_);
        toolbar_->setMovable(false);
        toolbar_->setFloatable(false);
        toolbar_->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        toolbar_->setIconSize(QSize(32, 32));
        layout->addWidget(toolbar_);
        content_ = new QWidget(view_);
        auto* contentLayout = new QVBoxLayout(content_);
        contentLayout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(content_, 1);
        rebuildToolbar();
        showSelectedPane();
    }
    return view_;
}

QWidget* PreferencesTabViewController::window() const {
    if (!view_ || !view_->parentWidget()) return nullptr;
    return view_->window();
}

void PreferencesTabViewController::viewWillAppear() {
    view();
    if (QWidget* w = window())
        if (auto* item = tabView_->tabViewItemAtIndex(selectedTabViewItemIndex())) w->setWindowTitle(item->label());

    handControllersToPanes();

    QObject::disconnect(observation_);
    QObject::disconnect(logoutObservation_);
    observation_ = {};
    logoutObservation_ = {};
    if (userController) {
        observation_ = connect(userController.data(), &UserController::isLoggedInChanged, this,
                               &PreferencesTabViewController::updateTabViewItems);
        logoutObservation_ = connect(userController.data(), &UserController::isLogoutInProgressChanged, this,
                                     &PreferencesTabViewController::updateTabViewItems);
    }

    updateTabViewItems();

    // The selected pane appears with the window.
    if (PreferencesTabViewItem* item = tabView_->selectedTabViewItem(); item && item->viewController())
        item->viewController()->viewWillAppear();
}

void PreferencesTabViewController::handControllersToPanes() {
    if (generalTabViewItem_)
        if (auto* pane = qobject_cast<GeneralViewController*>(generalTabViewItem_->viewController())) {
            pane->setUserController(userController);
            pane->setBackupController(backupController);
        }
    if (encryptionTabViewItem_)
        if (auto* pane = qobject_cast<EncryptionViewController*>(encryptionTabViewItem_->viewController()))
            pane->setUserController(userController);
    if (backupTabViewItem_)
        handTo<BackupController>(backupTabViewItem_->viewController(), "setBackupController",
                                 "BackupController*", backupController.data());
    if (selectiveSyncTabViewItem_)
        if (auto* pane = qobject_cast<SyncViewController*>(selectiveSyncTabViewItem_->viewController())) {
            pane->setSyncController(syncController);
            pane->setUserController(userController);
        }
    if (softwareUpdateTabViewItem_)
        handTo<SparkleUpdaterController>(softwareUpdateTabViewItem_->viewController(), "setSparkleController",
                                         "SparkleUpdaterController*", sparkleController);
}

void PreferencesTabViewController::updateTabViewItems() {
    for (PreferencesTabViewItem* item : {encryptionUpsellTabViewItem_.data(), encryptionTabViewItem_.data()})
        if (item && item->tabView()) item->tabView()->removeTabViewItem(item);
    updateBackupTabViewItem();
    updateTabViewItemImages();
    if (autoImportTabViewItem_ && autoImportTabViewItem_->tabView())
        autoImportTabViewItem_->tabView()->removeTabViewItem(autoImportTabViewItem_);
}

void PreferencesTabViewController::updateBackupTabViewItem() {
    const int slot = tabView_->indexOfTabViewItem(selectiveSyncTabViewItem_) + 1;
    PreferencesTabViewItem* selected = tabView_->selectedTabViewItem();
    const bool backupSelected = selected && (selected == backupTabViewItem_ || selected == backupUpsellTabViewItem_);

    const bool backupEnabled = featuresController && featuresController->isBackupEnabled();
    if (backupEnabled || !userController || !userController->isLoggedIn())
        replaceTabViewItem(backupUpsellTabViewItem_, backupTabViewItem_, slot, backupSelected);
    else
        replaceTabViewItem(backupTabViewItem_, backupUpsellTabViewItem_, slot, backupSelected);
}

void PreferencesTabViewController::replaceTabViewItem(PreferencesTabViewItem* item,
                                                      PreferencesTabViewItem* replacement, int index, bool select) {
    if (!item || !replacement || !item->tabView()) return;
    PreferencesTabView* view = item->tabView();
    view->removeTabViewItem(item);
    view->insertTabViewItem(replacement, index);
    if (select) view->selectTabViewItemAtIndex(index);
}

void PreferencesTabViewController::updateTabViewItemImages() {
    using PreferencesToolbarImages::Tab;
    const bool modern = PreferencesToolbarImages::isModernSystem();
    const std::pair<PreferencesTabViewItem*, Tab> items[] = {
        {generalTabViewItem_, Tab::general},
        {selectiveSyncTabViewItem_, Tab::selectiveSync},
        {encryptionTabViewItem_, Tab::encryption},
        {encryptionUpsellTabViewItem_, Tab::encryptionUpsell},
        {backupTabViewItem_, Tab::backup},
        {backupUpsellTabViewItem_, Tab::backupUpsell},
        {autoImportTabViewItem_, Tab::autoImport},
        {softwareUpdateTabViewItem_, Tab::softwareUpdate},
    };
    for (const auto& [item, tab] : items)
        if (item) item->setImage(PreferencesToolbarImages::imageNamed(PreferencesToolbarImages::imageName(tab, modern)));
}

void PreferencesTabViewController::tabViewWillSelectTabViewItem(PreferencesTabViewItem* item) {
    if (!item || !item->viewController()) return;
    // Not in the window yet, so this is the pane's own size.
    tabViewSizes_.insert(item, QSizeF(item->viewController()->view()->size()));
}

void PreferencesTabViewController::tabViewDidSelectTabViewItem(PreferencesTabViewItem* item) {
    showSelectedPane();
    if (!item) return;
    if (QWidget* w = window()) w->setWindowTitle(item->label());
    resizeWindow(item);
}

void PreferencesTabViewController::tabViewDidChangeNumberOfTabViewItems() {
    rebuildToolbar();
}

void PreferencesTabViewController::showSelectedPane() {
    if (!content_) return;
    PreferencesTabViewItem* item = tabView_->selectedTabViewItem();
    QWidget* paneView = item && item->viewController() ? item->viewController()->view() : nullptr;
    if (paneView == shownPaneView_) return;
    if (shownPaneView_) {
        // Out of the window the pane keeps its size, which the next selection of its tab records.
        content_->layout()->removeWidget(shownPaneView_);
        shownPaneView_->hide();
        shownPaneView_->setParent(nullptr);
    }
    shownPaneView_ = paneView;
    if (paneView) {
        // A pane selected in a window on screen appears now; otherwise it appears with the window.
        if (QWidget* w = window(); w && w->isVisible()) item->viewController()->viewWillAppear();
        content_->layout()->addWidget(paneView);
        paneView->show();
    }
    if (toolbar_)
        for (QAction* action : toolbar_->actions())
            action->setChecked(item && action->data().toString() == item->identifier());
}

void PreferencesTabViewController::rebuildToolbar() {
    if (!toolbar_) return;
    const QList<QAction*> old = toolbar_->actions();
    toolbar_->clear();
    qDeleteAll(old);
    qDeleteAll(toolbar_->findChildren<QActionGroup*>(QString(), Qt::FindDirectChildrenOnly));
    auto* group = new QActionGroup(toolbar_);
    group->setExclusive(true);
    PreferencesTabViewItem* selected = tabView_->selectedTabViewItem();
    for (PreferencesTabViewItem* item : tabView_->tabViewItems()) {
        QAction* action = toolbar_->addAction(item->image(), item->label());
        action->setCheckable(true);
        action->setChecked(item == selected);
        action->setData(item->identifier());
        action->setObjectName(item->identifier());
        group->addAction(action);
        QPointer<PreferencesTabViewItem> weakItem(item);
        connect(action, &QAction::triggered, this, [this, weakItem] {
            if (weakItem) tabView_->selectTabViewItem(weakItem);
        });
    }
}

void PreferencesTabViewController::resizeWindow(PreferencesTabViewItem* item) {
    const auto found = tabViewSizes_.constFind(item);
    if (found == tabViewSizes_.constEnd()) return;
    QWidget* w = window();
    if (!w) return;

    // The window's frame around the pane: the toolbar and the margins of whatever holds this view.
    QSize chrome(0, toolbar_ ? toolbar_->sizeHint().height() : 0);
    if (const QLayout* layout = w->layout()) {
        const QMargins margins = layout->contentsMargins();
        chrome += QSize(margins.left() + margins.right(), margins.top() + margins.bottom());
    }
    const QSize newSize = found->toSize() + chrome;
    // The top edge stays where it is; the window grows or shrinks downwards.
    const QRect target(w->geometry().topLeft(), newSize);

    if (resizeAnimation_) {
        resizeAnimation_->stop();
        resizeAnimation_->deleteLater();
    }
    auto* animation = new QPropertyAnimation(w, "geometry", this);
    animation->setDuration(resizeAnimationDuration);
    animation->setStartValue(w->geometry());
    animation->setEndValue(target);
    resizeAnimation_ = animation;
    view_->hide();
    QPointer<QWidget> weakView(view_);
    connect(animation, &QPropertyAnimation::finished, this, [weakView, animation, this] {
        if (weakView && resizeAnimation_ == animation) weakView->show();
    });
    connect(animation, &QPropertyAnimation::finished, animation, &QObject::deleteLater);
    animation->start();
}
