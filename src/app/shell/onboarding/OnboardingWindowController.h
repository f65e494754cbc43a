#pragma once

#include <QObject>
#include <QPointer>

#include <memory>
#include <optional>

#include "app/core/AppError.h"
#include "app/core/ReachabilityController.h"
#include "app/shell/onboarding/OnboardingPageController.h"
#include "app/shell/onboarding/SelectiveSyncOnboardingViewController.h"
#include "app/shell/onboarding/WelcomeViewController.h"

class OVFileSystemMetadataController;
class OnboardingWindowController;
class QFrame;
class QProgressBar;
class QPushButton;
class QWidget;
class UserController;

class OnboardingWindowControllerDelegate {
public:
    virtual ~OnboardingWindowControllerDelegate() = default;
    // After every sign-in attempt on the sign-in page: signed in, or the error.
    virtual void onboardingWindowControllerDidFinishSignIn(OnboardingWindowController& controller, bool didFinish,
                                                          const std::optional<AppError>& error) = 0;
    // The window closed with a user signed in on the first launch (the flag has just been switched on).
    virtual void onboardingDidFinishFirstLaunch() = 0;
    // The window closed with a user signed in after the first launch was recorded.
    virtual void onboardingWindowWillClose() = 0;
};

// The first-run assistant: one page area driven by the page controller over the onboarding page
// models (welcome, sign-in, three information pages, the sync folder's place, selective sync),
// and a bottom bar with back, forward and refresh buttons and a progress indicator whose
// visibility and the window's close button follow each page's model. Closing the window hands
// the result to the delegate. Main thread only.
class OnboardingWindowController : public QObject,
                                   public OnboardingPageControllerDelegate,
                                   public WelcomeViewControllerDelegate,
                                   public SelectiveSyncOnboardingViewControllerDelegate,
                                   public ReachabilityControllerDelegate {
    Q_OBJECT

public:
    static inline const QString welcomeIdentifier = QStringLiteral("WelcomeViewController");
    static inline const QString loginIdentifier = QStringLiteral("LoginViewController");
    static inline const QString syncRootIdentifier = QStringLiteral("SyncRootSelectionViewController");
    static inline const QString selectiveSyncIdentifier = QStringLiteral("SelectiveSyncOnboardingViewController");
    static inline const QString infoIdentifier = QStringLiteral("InfoViewController");

    // Not owned; the delegate outlives the window controller.
    explicit OnboardingWindowController(OnboardingWindowControllerDelegate* delegate, QObject* parent = nullptr);
    ~OnboardingWindowController() override;

    // Set by the creator before the window is shown.
    UserController* userController = nullptr;
    std::shared_ptr<OVFileSystemMetadataController> fileSystemMetadataController;

    // Makes the window on first use (with its pages), shows it and brings it to the front.
    void showWindow();
    // Closes the window as the program does (also when the close button is disabled); the close
    // steps run.
    void close();
    // Hides the window without its close steps: onboarding is abandoned, not finished.
    void dismiss();
    // The page controller back on the first page; the window stays as it is.
    void showFirstPage();
    // From the welcome page, goes on to the first page after the sign-in page: a user who signed
    // in before the set-up ended (a quit on the way) would be signed out by arriving there again.
    void skipSignInIfOnWelcome();
    // Asks the page on screen to refresh, when it can.
    void reloadCurrentPage();

    QWidget* window() const { return window_.get(); }
    // The page on screen; nullptr before the window exists.
    QWidget* currentPage() const;
    OnboardingWindowControllerDelegate* delegate() const { return delegate_; }
    ReachabilityController& reachability() const { return *reachability_; }

    OnboardingPageController* pageController() const { return pageController_; }
    QProgressBar* progressIndicator() const { return progressIndicator_; }
    QFrame* bottomBox() const { return bottomBox_; }
    QPushButton* refreshButton() const { return refreshButton_; }
    QPushButton* backButton() const { return backButton_; }
    QPushButton* forwardButton() const { return forwardButton_; }
    // Whether the user may close the window (the page's model decides).
    bool isWindowClosable() const { return closable_; }
    // The bottom bar's current fill colour.
    QColor bottomBoxFillColor() const { return bottomBoxFillColor_; }

    // Actions of the bottom bar's buttons.
    void navigateForward(QObject* sender);
    void navigateBack(QObject* sender);
    void refresh(QObject* sender);

    // What the window does as it closes: settles the sync folder's place and tells the delegate.
    void windowWillClose();

    // OnboardingPageControllerDelegate
    QString pageControllerIdentifierForObject(OnboardingPageController& controller,
                                              const std::shared_ptr<QObject>& object) override;
    QWidget* pageControllerViewControllerForIdentifier(OnboardingPageController& controller,
                                                       const QString& identifier) override;
    void pageControllerDidTransitionToObject(OnboardingPageController& controller,
                                             const std::shared_ptr<QObject>& object) override;
    void pageControllerDidEndLiveTransition(OnboardingPageController& controller) override;

    // WelcomeViewControllerDelegate
    void welcomeViewControllerDidFinish(WelcomeViewController& controller) override;
    // ReachabilityControllerDelegate
    void reachabilityChanged(ReachabilityController& controller, bool isConnected) override;

private:
    void windowDidLoad();
    QWidget* makeSignInPage();
    void signInDidFinish(bool succeeded, const std::optional<AppError>& error);
    void setProgressAnimating(bool animating);
    void applyChrome(const QColor& fill);
    void arriveOnLogin();
    void arriveOnSyncRoot();
    void arriveOnSelectiveSync();
    void continueForward(QObject* sender);
    void validateSyncRootAndNavigateForward(QObject* sender);
    void windowDidClose();

    OnboardingWindowControllerDelegate* delegate_;
    std::unique_ptr<ReachabilityController> reachability_;
    std::unique_ptr<QWidget> window_;
    OnboardingPageController* pageController_ = nullptr;
    QProgressBar* progressIndicator_ = nullptr;
    QFrame* bottomBox_ = nullptr;
    QPushButton* refreshButton_ = nullptr;
    QPushButton* backButton_ = nullptr;
    QPushButton* forwardButton_ = nullptr;
    bool closable_ = true;
    bool dismissing_ = false;
    // The selective-sync page's choice went to the sync engine, after its free-space check.
    bool selectionApplied_ = false;
    QColor bottomBoxFillColor_ = Qt::transparent;
};
