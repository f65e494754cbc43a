#pragma once

#include <QPointer>

#include <memory>

#include "app/selectivesync/SelectiveSyncBrowserController.h"
#include "app/shell/onboarding/InfoViewController.h"

class SelectiveSyncOnboardingViewController;

// The window the page sits in. The page tells it nothing: leaving the page or loading its tree does
// not finish the onboarding, only the window's close does.
class SelectiveSyncOnboardingViewControllerDelegate {
public:
    virtual ~SelectiveSyncOnboardingViewControllerDelegate() = default;
};

// The last onboarding page: the selective-sync browser of the main storyboard inside the page's
// container. Without that scene the page shows no browser.
class SelectiveSyncOnboardingViewController : public InfoViewController,
                                              public SelectiveSyncBrowserControllerDelegate {
    Q_OBJECT

public:
    explicit SelectiveSyncOnboardingViewController(QWidget* parent = nullptr);
    ~SelectiveSyncOnboardingViewController() override;

    SelectiveSyncOnboardingViewControllerDelegate* delegate() const { return delegate_; }
    void setDelegate(SelectiveSyncOnboardingViewControllerDelegate* delegate) { delegate_ = delegate; }

    QWidget* containerView() const { return containerView_; }
    SelectiveSyncBrowserController* browserController() const { return browserController_.get(); }

    // SelectiveSyncBrowserControllerDelegate
    void selectiveSyncBrowserControllerDidLoadRootLevel(SelectiveSyncBrowserController& controller) override;

private:
    SelectiveSyncOnboardingViewControllerDelegate* delegate_ = nullptr;
    QWidget* containerView_ = nullptr;
    std::unique_ptr<SelectiveSyncBrowserController> browserController_;
};
