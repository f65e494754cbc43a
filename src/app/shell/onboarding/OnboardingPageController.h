#pragma once

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

class OnboardingPageController;
class QStackedLayout;

// The window behind the page controller: names each page model, makes its page and hears about
// every transition.
class OnboardingPageControllerDelegate {
public:
    virtual ~OnboardingPageControllerDelegate() = default;
    virtual QString pageControllerIdentifierForObject(OnboardingPageController& controller,
                                                      const std::shared_ptr<QObject>& object) = 0;
    // A new page, owned by the page controller from then on.
    virtual QWidget* pageControllerViewControllerForIdentifier(OnboardingPageController& controller,
                                                               const QString& identifier) = 0;
    virtual void pageControllerDidTransitionToObject(OnboardingPageController& controller,
                                                     const std::shared_ptr<QObject>& object) = 0;
    virtual void pageControllerDidEndLiveTransition(OnboardingPageController& controller) = 0;
};

// One page at a time out of a list of page models. Only navigateForward/navigateBack (a live
// transition: the delegate hears didTransitionToObject, then didEndLiveTransition) and
// setSelectedIndex (no live transition) change the page; scroll-wheel and trackpad swipes do
// nothing. Each transition asks the delegate for a new page and lets the old one go.
class OnboardingPageController : public QWidget {
    Q_OBJECT

public:
    explicit OnboardingPageController(QWidget* parent = nullptr);
    ~OnboardingPageController() override;

    OnboardingPageControllerDelegate* delegate() const { return delegate_; }
    void setDelegate(OnboardingPageControllerDelegate* delegate) { delegate_ = delegate; }

    const std::vector<std::shared_ptr<QObject>>& arrangedObjects() const { return arrangedObjects_; }
    // Shows the first object's page.
    void setArrangedObjects(std::vector<std::shared_ptr<QObject>> objects);
    // -1 without arranged objects.
    int selectedIndex() const { return selectedIndex_; }
    std::shared_ptr<QObject> selectedObject() const;
    void setSelectedIndex(int index);
    QWidget* selectedViewController() const { return selected_; }
    // How many transitions ended without completeTransition() yet.
    int pendingTransitionCount() const { return pendingTransitions_; }

    void navigateForward(QObject* sender);
    void navigateBack(QObject* sender);
    void completeTransition();
    // Tells the page on screen that it goes (the window closes).
    void viewWillDisappear();

protected:
    void wheelEvent(QWheelEvent* event) override;

private:
    void transition(int index, bool live);

    OnboardingPageControllerDelegate* delegate_ = nullptr;
    std::vector<std::shared_ptr<QObject>> arrangedObjects_;
    int selectedIndex_ = -1;
    QStackedLayout* stack_ = nullptr;
    QPointer<QWidget> selected_;
    int pendingTransitions_ = 0;
};
