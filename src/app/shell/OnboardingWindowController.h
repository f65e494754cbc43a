#pragma once

#include <QObject>

#include <memory>

class QWidget;
class ReachabilityController;
class UserController;

class OnboardingWindowControllerDelegate {
public:
    virtual ~OnboardingWindowControllerDelegate() = default;
};

// The first-run window with sign-in and the choice of the sync folder.
class OnboardingWindowController : public QObject {
    Q_OBJECT

public:
    explicit OnboardingWindowController(OnboardingWindowControllerDelegate* delegate, QObject* parent = nullptr);
    ~OnboardingWindowController() override;

    UserController* userController = nullptr;

    void showWindow();
    QWidget* window() const { return window_.get(); }
    OnboardingWindowControllerDelegate* delegate() const { return delegate_; }

private:
    OnboardingWindowControllerDelegate* delegate_;
    std::unique_ptr<ReachabilityController> reachability_;
    std::unique_ptr<QWidget> window_;
};
