#include "app/selectivesync/SelectiveSyncViewController.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>
#include <QWidget>

#include "app/common/LocalizationController.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/selectivesync/SelectiveSyncSpaceCheck.h"
#include "app/selectivesync/StoreController.h"
#include "frameworks/sync/SyncFacade.h"
#include "platform/appkit/Storyboard.h"
#include "platform/appkit/WindowSheet.h"
#include "platform/foundation/MainQueue.h"

SelectiveSyncViewController::SelectiveSyncViewController(QObject* parent) : QObject(parent) {}

SelectiveSyncViewController::~SelectiveSyncViewController() {
    QObject::disconnect(hasChangesObservation_);
    QObject::disconnect(didLoadDataObservation_);
    delete view_.data();
}

QWidget* SelectiveSyncViewController::view() {
    if (!view_) loadView();
    return view_;
}

void SelectiveSyncViewController::loadView() {
    LocalizationController texts;
    auto* view = new QWidget;
    view->setProperty(ResponderChain::viewControllerProperty, QVariant::fromValue<QObject*>(this));
    view->setWindowTitle(texts.ssButtonSelectFoldersToSync().remove(QStringLiteral("…")));
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(20, 20, 20, 16);
    auto* description = new QLabel(texts.ssLabelFolderSelectionDescription(), view);
    description->setWordWrap(true);
    layout->addWidget(description);
    auto* container = new QWidget(view);
    auto* containerLayout = new QVBoxLayout(container);
    containerLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(container, 1);

    auto* bottom = new QHBoxLayout;
    auto* activity = new QProgressBar(view);
    activity->setRange(0, 0);
    activity->setTextVisible(false);
    activity->setMaximumWidth(120);
    activity->setVisible(false);
    auto* buttons = new QDialogButtonBox(view);
    auto* cancel = buttons->addButton(texts.ssButtonCancel(), QDialogButtonBox::RejectRole);
    auto* save = buttons->addButton(texts.ssButtonOK(), QDialogButtonBox::AcceptRole);
    save->setDefault(true);
    save->setEnabled(false);
    bottom->addWidget(activity);
    bottom->addStretch(1);
    bottom->addWidget(buttons);
    layout->addLayout(bottom);
    view->resize(720, 480);

    view_ = view;
    container_ = container;
    activity_ = activity;
    saveButton_ = save;
    cancelButton_ = cancel;
    connect(cancel, &QPushButton::clicked, this, [this, cancel] { this->cancel(cancel); });
    connect(save, &QPushButton::clicked, this, [this, save] { this->save(save); });
    // The buttons follow the mirrored state, as a binding would.
    connect(this, &SelectiveSyncViewController::hasChangesChanged, save, [this, save] { save->setEnabled(hasChanges_); });
    connect(this, &SelectiveSyncViewController::didLoadDataChanged, activity,
            [this, activity] { activity->setVisible(didLoadData_); });

    // The embedding: the browser scene goes into the container.
    auto* browser =
        Storyboard::instantiateAs<SelectiveSyncBrowserController>(Storyboard::main(), SelectiveSyncBrowserController::storyboardIdentifier);
    if (!browser) return;
    browser->setParent(this);
    prepareForSegue(browserSegueIdentifier, browser);
    containerLayout->addWidget(browser->view());
}

void SelectiveSyncViewController::presentAsSheet(QWidget* window) {
    WindowSheet::begin(view(), window);
}

void SelectiveSyncViewController::dismiss(QObject*) {
    WindowSheet::end(view_);
    if (view_ && view_->isVisible()) view_->close();
    emit dismissed();
}

void SelectiveSyncViewController::prepareForSegue(const QString& identifier, QObject* destination) {
    auto* browser = qobject_cast<SelectiveSyncBrowserController*>(destination);
    if (identifier != browserSegueIdentifier || !browser) return;
    browserController_ = browser;

    QPointer<SelectiveSyncBrowserController> weakBrowser(browser);
    browser->store()->merge(BusinessFacadeHolder::facade().subscriptionItems(), [weakBrowser] {
        if (weakBrowser) weakBrowser->reloadBrowser();
    });

    // The sheet's copies follow every later change; the connections die with either side.
    QObject::disconnect(hasChangesObservation_);
    hasChangesObservation_ = connect(browser, &SelectiveSyncBrowserController::hasChangesChanged, this,
                                     [this, weakBrowser] {
                                         if (weakBrowser) setHasChanges(weakBrowser->hasChanges());
                                     });
    QObject::disconnect(didLoadDataObservation_);
    didLoadDataObservation_ = connect(browser, &SelectiveSyncBrowserController::isUpdatingChanged, this,
                                      [this, weakBrowser] {
                                          if (weakBrowser) setDidLoadData(weakBrowser->isUpdating());
                                      });
}

void SelectiveSyncViewController::cancel(QObject* sender) {
    if (browserController_) browserController_->discardChanges();
    dismiss(sender);
}

void SelectiveSyncViewController::save(QObject* sender) {
    if (!browserController_) return;
    QPointer<SelectiveSyncViewController> self(this);
    QPointer<QObject> weakSender(sender);
    browserController_->hasEnoughFreeDiskSpaceToApplyChanges([self, weakSender](std::optional<bool> enough) {
        if (!self) return;
        // An answer short of "it fits" is told, or asked, on the sheet; without it on screen
        // there is nobody to tell, and nothing is applied.
        const bool onScreen = self->view_ && self->view_->isVisible();
        if (enough != true && !onScreen) return;
        SelectiveSyncSpaceCheck::proceed(enough, onScreen ? self->view_->window() : nullptr, [self, weakSender] {
            if (!self) return;
            if (self->browserController_) {
                self->browserController_->applyChanges([self] {
                    if (self) self->triggerSync();
                });
            }
            self->dismiss(weakSender.data());
        });
    });
}

void SelectiveSyncViewController::triggerSync() {
    if (!syncController_) return;
    if (SyncFacade* sync = BusinessFacadeHolder::facade().syncFacade()) sync->triggerSync();
}

void SelectiveSyncViewController::setHasChanges(bool value) {
    if (hasChanges_ == value) return;
    hasChanges_ = value;
    emit hasChangesChanged();
}

void SelectiveSyncViewController::setDidLoadData(bool value) {
    if (didLoadData_ == value) return;
    didLoadData_ = value;
    emit didLoadDataChanged();
}

void registerSelectiveSyncScenes() {
    Storyboard::registerScene(Storyboard::main(), SelectiveSyncBrowserController::storyboardIdentifier,
                              [] { return new SelectiveSyncBrowserController; });
    Storyboard::registerScene(Storyboard::main(), SelectiveSyncViewController::storyboardIdentifier,
                              [] { return new SelectiveSyncViewController; });
}
