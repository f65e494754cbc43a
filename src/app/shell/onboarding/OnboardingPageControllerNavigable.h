#pragma once

#include <QColor>

#include <memory>

class Alert;

// How a page may be left by going back: at all, backwards, and the question asked first (the
// first button, 1000, goes back; any other keeps the page). Shared between the page model and
// every display of its alert.
class ScrollingBehavior {
public:
    ScrollingBehavior(bool isScrollable, bool isBackwardsScrollable, std::shared_ptr<Alert> navigateBackAlert = nullptr)
        : isScrollable(isScrollable),
          isBackwardsScrollable(isBackwardsScrollable),
          navigateBackAlert(std::move(navigateBackAlert)) {}

    bool isScrollable;
    bool isBackwardsScrollable;
    std::shared_ptr<Alert> navigateBackAlert;
};

// What an onboarding page model tells the window about its chrome; the window applies it after
// every transition and reads the scrolling behaviour when the user goes back.
class OnboardingPageControllerNavigable {
public:
    virtual ~OnboardingPageControllerNavigable() = default;
    virtual bool isRefreshButtonHidden() const = 0;
    virtual bool isBackButtonHidden() const = 0;
    virtual bool isForwardButtonHidden() const = 0;
    virtual bool isWindowCloseButtonDisabled() const = 0;
    virtual std::shared_ptr<ScrollingBehavior> scrollingBehavior() const = 0;
    virtual QColor bottomBoxFillColor() const = 0;
};
