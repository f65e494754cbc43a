#include "app/shell/onboarding/SelectiveSyncOnboardingViewController.h"

#include <QLabel>
#include <QVBoxLayout>

#include "platform/appkit/Storyboard.h"

SelectiveSyncOnboardingViewController::SelectiveSyncOnboardingViewController(QWidget* parent)
    : InfoViewController(parent) {
    imageView()->hide();  // the browser takes the image's room
    containerView_ = new QWidget(this);
    containerView_->setObjectName(QStringLiteral("containerView"));
    containerView_->setMinimumHeight(220);
    auto* containerLayout = new QVBoxLayout(containerView_);
    containerLayout->setContentsMargins(0, 0, 0, 0);
    // The browser takes nearly all the room the page has.
    addContentWidget(containerView_, 20);

    browserController_.reset(Storyboard::instantiateAs<SelectiveSyncBrowserController>(
        Storyboard::main(), SelectiveSyncBrowserController::storyboardIdentifier));
    if (!browserController_) return;
    QWidget* browserView = browserController_->view();
    browserController_->setDelegate(this);
    browserView->setGeometry(containerView_->rect());
    containerLayout->addWidget(browserView);
}

SelectiveSyncOnboardingViewController::~SelectiveSyncOnboardingViewController() {
    if (!browserController_) return;
    browserController_->setDelegate(nullptr);
    // The browser's view lives in our widget tree; the browser deletes it when it goes first.
    browserController_.reset();
}

void SelectiveSyncOnboardingViewController::selectiveSyncBrowserControllerDidLoadRootLevel(
    SelectiveSyncBrowserController&) {
    // Nothing to record: the onboarding is finished when its window closes, not when the tree shows.
}
