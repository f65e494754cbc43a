#pragma once

#include <QPointer>

#include "app/shell/onboarding/OnboardingViewController.h"

class QLabel;
class QPushButton;
class WelcomeViewController;

class WelcomeViewControllerDelegate {
public:
    virtual ~WelcomeViewControllerDelegate() = default;
    // The user pressed the sign-in button.
    virtual void welcomeViewControllerDidFinish(WelcomeViewController& controller) = 0;
};

// The first onboarding page: a greeting and the button that leads to the sign-in page.
class WelcomeViewController : public OnboardingViewController {
    Q_OBJECT

public:
    explicit WelcomeViewController(QWidget* parent = nullptr);

    // Not owned; it outlives the page or unsets itself.
    WelcomeViewControllerDelegate* delegate() const { return delegate_; }
    void setDelegate(WelcomeViewControllerDelegate* delegate) { delegate_ = delegate; }

    QPushButton* loginButton() const { return loginButton_; }
    QLabel* messageLabel() const { return messageLabel_; }
    QLabel* informativeLabel() const { return informativeLabel_; }

    void finish(QObject* sender);

private:
    WelcomeViewControllerDelegate* delegate_ = nullptr;
    QPushButton* loginButton_ = nullptr;
    QLabel* messageLabel_ = nullptr;
    QLabel* informativeLabel_ = nullptr;
};
