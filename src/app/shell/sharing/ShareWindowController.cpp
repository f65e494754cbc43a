#include "app/shell/sharing/ShareWindowController.h"

#include <QMainWindow>
#include <QMetaObject>
#include <QToolBar>

#include "app/core/FeaturesController.h"
#include "app/core/ObjCFeatures.h"
#include "app/core/ObjCSharingFeature.h"
#include "app/shell/controls/ToolbarItem.h"
#include "app/shell/sharing/ShareInfoViewController.h"
#include "app/shell/sharing/ShareInfoWindowController.h"
#include "app/shell/sharing/ShareItemViewController.h"
#include "app/shell/sharing/ShareSplitViewController.h"
#include "platform/appkit/ColumnBrowser.h"
#include "platform/appkit/Storyboard.h"

namespace {

bool hasInvokable(const QObject* object, const QByteArray& action) {
    return object && object->metaObject()->indexOfMethod(action + "(QObject*)") >= 0;
}

}  // namespace

ShareWindowController::ShareWindowController(QObject* parent) : QObject(parent) {}

ShareWindowController::~ShareWindowController() {
    delete window_.data();
    delete contentViewController_;
}

QObject* ShareWindowController::makeContentViewController() { return new ShareSplitViewController; }

QWidget* ShareWindowController::contentView() {
    return static_cast<ShareSplitViewController*>(contentViewController_)->view();
}

QWidget* ShareWindowController::window() {
    if (window_) return window_;
    if (!contentViewController_) contentViewController_ = makeContentViewController();
    window_ = new QMainWindow;
    window_->setObjectName(QStringLiteral("ShareWindow"));
    window_->setWindowTitle(l10n.shWindowTitleSharedItems());
    window_->resize(760, 460);
    // The window is the last stop of its controls' actions: from here they go to the content.
    window_->setProperty(ResponderChain::viewControllerProperty, QVariant::fromValue<QObject*>(this));
    window_->setCentralWidget(contentView());
    fullToolbar_ = makeToolbar(true);
    partialFeaturesToolbar_ = makeToolbar(false);
    windowDidLoad();
    return window_;
}

QToolBar* ShareWindowController::makeToolbar(bool full) {
    auto* toolbar = new QToolBar(window_);
    toolbar->setObjectName(full ? QStringLiteral("fullToolbar") : QStringLiteral("partialFeaturesToolbar"));
    toolbar->setMovable(false);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const auto add = [&](const QString& identifier, const char* action, const QString& label) {
        auto* item = new ToolbarItem(identifier, toolbar);
        item->setActionName(action);
        item->setText(label);
        toolbar->addAction(item);
    };
    add(QStringLiteral("refresh"), "refreshShares", l10n.shToolbarItemTitleRefresh());
    add(full ? deleteFull : deletePartial, "removeShare", l10n.shToolbarItemTitleDelete());
    add(full ? openInBrowserFull : openInBrowserPartial, "openShareInExternalBrowser",
        l10n.shToolbarItemTitleOpenInBrowser());
    if (full) add(sendEmailFull, "sendEmail", l10n.shToolbarItemTitleSendEmail());
    add(full ? shareItemFull : shareItemPartial, "shareItem", l10n.shToolbarItemTitleShareItem());
    return toolbar;
}

void ShareWindowController::windowDidLoad() {
    bool emailViaService = false;
    if (featuresController_ && featuresController_->features())
        if (const auto& sharing = featuresController_->features()->sharing())
            emailViaService = sharing->isShareEmailViaBackendFeatureAvailable();
    QToolBar* shown = emailViaService ? fullToolbar_ : partialFeaturesToolbar_;
    QToolBar* hidden = emailViaService ? partialFeaturesToolbar_ : fullToolbar_;
    hidden->hide();
    window_->addToolBar(shown);
    shown->show();
}

QToolBar* ShareWindowController::toolbar() const {
    if (!window_) return nullptr;
    for (QToolBar* bar : {fullToolbar_, partialFeaturesToolbar_})
        if (bar && !bar->isHidden()) return bar;
    return nullptr;
}

void ShareWindowController::showWindow() {
    QWidget* w = window();
    if (!w->isVisible())
        if (auto* split = qobject_cast<ShareSplitViewController*>(contentViewController_)) split->viewWillAppear();
    w->show();
    w->raise();
    w->activateWindow();
    ToolbarItem::validateItems(toolbar());
}

void ShareWindowController::close() {
    if (window_) window_->close();
}

QObject* ShareWindowController::responderFor(const QByteArray& action) const {
    if (auto* split = qobject_cast<ShareSplitViewController*>(contentViewController_))
        return split->supplementalTargetForAction(action);
    return hasInvokable(contentViewController_, action) ? contentViewController_ : nullptr;
}

void ShareWindowController::forward(const QByteArray& action, QObject* sender) {
    if (QObject* target = responderFor(action))
        QMetaObject::invokeMethod(target, action.constData(), Qt::DirectConnection, Q_ARG(QObject*, sender));
}

void ShareWindowController::refreshShares(QObject* sender) { forward("refreshShares", sender); }
void ShareWindowController::removeShare(QObject* sender) { forward("removeShare", sender); }
void ShareWindowController::openShareInExternalBrowser(QObject* sender) { forward("openShareInExternalBrowser", sender); }
void ShareWindowController::sendEmail(QObject* sender) { forward("sendEmail", sender); }
void ShareWindowController::shareItem(QObject* sender) { forward("shareItem", sender); }

bool ShareWindowController::validateToolbarItem(QObject* item) {
    auto* toolbarItem = qobject_cast<ToolbarItem*>(item);
    if (!toolbarItem) return true;
    QObject* target = responderFor(toolbarItem->actionName());
    if (!target) return false;
    return ToolbarItem::validation(target, item).value_or(true);
}

void registerShareScenes() {
    const QString share = ShareWindowController::storyboardName;
    Storyboard::registerScene(share, ShareWindowController::storyboardIdentifier, [] { return new ShareWindowController; });
    Storyboard::registerScene(share, ShareInfoWindowController::storyboardIdentifier,
                              [] { return new ShareInfoWindowController; });
    Storyboard::registerScene(share, ShareItemViewController::storyboardIdentifier, [] { return new ShareItemViewController; });
}
