#pragma once

#include <QObject>

#include <memory>
#include <optional>

#include "app/core/AppError.h"

class OVFileSystemMetadataController;
class OnboardingWindowController;
class QWidget;
class ReachabilityController;
class UserController;

class OnboardingWindowControllerDelegate {
public:
    virtual ~OnboardingWindowControllerDelegate() = default;
    // The sign-in page finished, signed in or with the error.
    virtual void onboardingWindowControllerDidFinishSignIn(OnboardingWindowController& controller, bool didFinish,
                                                          const std::optional<AppError>& error) = 0;
    // The window closed with a user signed in on the first launch (the flag has just been switched on).
    virtual void onboardingDidFinishFirstLaunch() = 0;
    // The window closed with a user signed in on a later sign-in.
    virtual void onboardingWindowWillClose() = 0;
};

// The first-run window. It hosts the business facade's sign-in page; the further pages (the sync
// folder's place, selective sync) arrive with the onboarding pages.
class OnboardingWindowController : public QObject {
    Q_OBJECT

public:
    explicit OnboardingWindowController(OnboardingWindowControllerDelegate* delegate, QObject* parent = nullptr);
    ~OnboardingWindowController() override;

    UserController* userController = nullptr;
    std::shared_ptr<OVFileSystemMetadataController> fileSystemMetadataController;

    void showWindow();
    // Closes the window and runs the close completions.
    void close();
    // Back to the first page (a fresh sign-in page).
    void showFirstPage();
    QWidget* window() const { return window_.get(); }
    QWidget* currentPage() const { return page_; }
    OnboardingWindowControllerDelegate* delegate() const { return delegate_; }

    // What the window does as it closes: prepares the sync folder's place and tells the delegate.
    void windowWillClose();

private:
    void makePage();

    OnboardingWindowControllerDelegate* delegate_;
    std::unique_ptr<ReachabilityController> reachability_;
    std::unique_ptr<QWidget> window_;
    QWidget* page_ = nullptr;
};
