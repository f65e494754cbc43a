#include "app/shell/onboarding/OnboardingWindowController.h"

#include <QCloseEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "app/common/LocalizationController.h"
#include "app/common/LogChannels.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/SettingsController.h"
#include "app/core/SyncFolderPaths.h"
#include "app/core/UserController.h"
#include "app/selectivesync/SelectiveSyncSpaceCheck.h"
#include "app/selectivesync/StoreController.h"
#include "app/shell/onboarding/InfoViewController.h"
#include "app/shell/onboarding/OnboardingPages.h"
#include "app/shell/onboarding/SyncRootSelectionViewController.h"
#include "app/sync/OVFileSystemMetadataController.h"
#include "frameworks/business/XViewControllerReloadable.h"
#include "frameworks/businessui/SignInPage.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/appkit/Alert.h"
#include "platform/appkit/Application.h"
#include "platform/foundation/UserDefaults.h"

namespace {

// Runs the controller's close steps when the window closes; a close the user asks for while the
// page disables it is refused.
class OnboardingWindow : public QWidget {
public:
    OnboardingWindow(std::function<bool()> isClosable, std::function<void()> onClose)
        : isClosable_(std::move(isClosable)), onClose_(std::move(onClose)) {}

protected:
    void closeEvent(QCloseEvent* event) override {
        if (event->spontaneous() && isClosable_ && !isClosable_()) {
            event->ignore();
            return;
        }
        if (onClose_) onClose_();
        event->accept();
    }

private:
    std::function<bool()> isClosable_;
    std::function<void()> onClose_;
};

// A plain page, for identifiers without a page of their own.
QWidget* plainPage() { return new QWidget; }

}  // namespace

OnboardingWindowController::OnboardingWindowController(OnboardingWindowControllerDelegate* delegate, QObject* parent)
    : QObject(parent), delegate_(delegate), reachability_(std::make_unique<ReachabilityController>()) {
    reachability_->setDelegate(this);
}

OnboardingWindowController::~OnboardingWindowController() {
    reachability_->setDelegate(nullptr);
    if (pageController_) pageController_->setDelegate(nullptr);
    // Pages still on screen must not call back into a half-destroyed controller.
    if (auto* page = qobject_cast<SelectiveSyncOnboardingViewController*>(currentPage())) page->setDelegate(nullptr);
    if (auto* page = qobject_cast<WelcomeViewController*>(currentPage())) page->setDelegate(nullptr);
    window_.reset();
}

// --- The window ---

void OnboardingWindowController::showWindow() {
    if (!window_) {
        window_ = std::make_unique<OnboardingWindow>([this] { return closable_; }, [this] { windowDidClose(); });
        window_->setObjectName(QStringLiteral("onboardingWindow"));
        window_->setWindowTitle(LocalizationController().obWindowTitleWelcome());
        auto* layout = new QVBoxLayout(window_.get());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->setSpacing(0);

        pageController_ = new OnboardingPageController(window_.get());
        pageController_->setObjectName(QStringLiteral("pageController"));
        layout->addWidget(pageController_, 1);

        bottomBox_ = new QFrame(window_.get());
        bottomBox_->setObjectName(QStringLiteral("bottomBox"));
        bottomBox_->setAutoFillBackground(true);
        auto* bar = new QHBoxLayout(bottomBox_);
        bar->setContentsMargins(16, 10, 16, 14);
        LocalizationController texts;
        backButton_ = new QPushButton(texts.obButtonGoBack(), bottomBox_);
        backButton_->setObjectName(QStringLiteral("backButton"));
        refreshButton_ = new QPushButton(bottomBox_);
        refreshButton_->setObjectName(QStringLiteral("refreshButton"));
        refreshButton_->setIcon(window_->style()->standardIcon(QStyle::SP_BrowserReload));
        refreshButton_->setFlat(true);
        progressIndicator_ = new QProgressBar(bottomBox_);
        progressIndicator_->setObjectName(QStringLiteral("progressIndicator"));
        progressIndicator_->setRange(0, 0);
        progressIndicator_->setTextVisible(false);
        progressIndicator_->setMaximumWidth(120);
        progressIndicator_->setVisible(false);
        forwardButton_ = new QPushButton(texts.obButtonContinue(), bottomBox_);
        forwardButton_->setObjectName(QStringLiteral("forwardButton"));
        forwardButton_->setDefault(true);
        bar->addWidget(backButton_);
        bar->addWidget(refreshButton_);
        bar->addStretch(1);
        bar->addWidget(progressIndicator_);
        bar->addWidget(forwardButton_);
        layout->addWidget(bottomBox_);
        // The bar keeps its height while the buttons come and go.
        bottomBox_->setMinimumHeight(forwardButton_->sizeHint().height() + 24);

        connect(backButton_, &QPushButton::clicked, this, [this] { navigateBack(backButton_); });
        connect(forwardButton_, &QPushButton::clicked, this, [this] { navigateForward(forwardButton_); });
        connect(refreshButton_, &QPushButton::clicked, this, [this] { refresh(refreshButton_); });

        window_->resize(640, 520);
        windowDidLoad();
    }
    window_->show();
    window_->raise();
    Application::shared().activate(true);
}

void OnboardingWindowController::windowDidLoad() {
    pageController_->setDelegate(this);
    pageController_->setArrangedObjects(C::onboardingPages());
}

void OnboardingWindowController::close() {
    if (window_ && window_->isVisible()) window_->close();  // its close event runs the close steps
}

void OnboardingWindowController::dismiss() {
    if (!window_ || !window_->isVisible()) return;
    dismissing_ = true;
    window_->close();
    dismissing_ = false;
}

void OnboardingWindowController::showFirstPage() {
    if (pageController_) pageController_->setSelectedIndex(0);
}

void OnboardingWindowController::skipSignInIfOnWelcome() {
    if (!pageController_ || pageController_->selectedIndex() != 0) return;
    const auto& pages = pageController_->arrangedObjects();
    for (std::size_t i = 0; i + 1 < pages.size(); ++i) {
        if (!qobject_cast<Login*>(pages[i].get())) continue;
        pageController_->setSelectedIndex(int(i + 1));
        return;
    }
}

QWidget* OnboardingWindowController::currentPage() const {
    return pageController_ ? pageController_->selectedViewController() : nullptr;
}

void OnboardingWindowController::reloadCurrentPage() {
    if (auto* reloadable = dynamic_cast<XViewControllerReloadable*>(currentPage())) reloadable->reload();
}

void OnboardingWindowController::setProgressAnimating(bool animating) {
    if (progressIndicator_) progressIndicator_->setVisible(animating);
}

void OnboardingWindowController::applyChrome(const QColor& fill) {
    bottomBoxFillColor_ = fill;
    QPalette palette = bottomBox_->palette();
    palette.setColor(QPalette::Window, fill.alpha() == 0 ? window_->palette().color(QPalette::Window) : fill);
    bottomBox_->setPalette(palette);
    // Window managers differ in honouring the hints; the window refuses the close itself as well.
    const Qt::WindowFlags flags = closable_ ? Qt::WindowFlags(Qt::Window)
                                            : Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                                  Qt::WindowMinimizeButtonHint;
    if (window_->windowFlags() == flags) return;
    // Changing the flags hides a shown window.
    const bool visible = window_->isVisible();
    window_->setWindowFlags(flags);
    if (visible) window_->show();
}

// --- The page controller's delegate ---

QString OnboardingWindowController::pageControllerIdentifierForObject(OnboardingPageController&,
                                                                      const std::shared_ptr<QObject>& object) {
    QObject* model = object.get();
    // Subclasses before Info.
    if (qobject_cast<Welcome*>(model)) return welcomeIdentifier;
    if (qobject_cast<Login*>(model)) return loginIdentifier;
    if (qobject_cast<SyncRoot*>(model)) return syncRootIdentifier;
    if (qobject_cast<SelectiveSync*>(model)) return selectiveSyncIdentifier;
    if (qobject_cast<Info*>(model)) return infoIdentifier;
    return {};
}

QWidget* OnboardingWindowController::pageControllerViewControllerForIdentifier(OnboardingPageController&,
                                                                               const QString& identifier) {
    if (identifier == welcomeIdentifier) {
        auto* page = new WelcomeViewController;
        page->setDelegate(this);
        return page;
    }
    if (identifier == loginIdentifier) return makeSignInPage();
    if (identifier == syncRootIdentifier) return new SyncRootSelectionViewController(fileSystemMetadataController);
    if (identifier == selectiveSyncIdentifier) {
        auto* page = new SelectiveSyncOnboardingViewController;
        page->setDelegate(this);
        return page;
    }
    if (identifier == infoIdentifier) return new InfoViewController;
    return plainPage();
}

QWidget* OnboardingWindowController::makeSignInPage() {
    if (!userController) return plainPage();
    SignInPage* page = SignInPage::make(BusinessFacadeHolder::facade(), nullptr);
    if (!page) return plainPage();
    // The framework's form spans its page; the window gives it the assistant's margins.
    page->setContentsMargins(100, 0, 100, 0);
    // The page dies with the window controller's window; the connections die with either side.
    connect(page, &SignInPage::loadingChanged, this, [this](bool loading) { setProgressAnimating(loading); });
    connect(page, &SignInPage::didFinishSignIn, this, [this] { signInDidFinish(true, std::nullopt); });
    connect(page, &SignInPage::didFailSignIn, this,
            [this](const BusinessError& error) { signInDidFinish(false, AppError(error)); });
    return page;
}

void OnboardingWindowController::signInDidFinish(bool succeeded, const std::optional<AppError>& error) {
    QPointer<OnboardingWindowController> self(this);
    if (delegate_) delegate_->onboardingWindowControllerDidFinishSignIn(*this, succeeded, error);
    if (!self || !succeeded || !pageController_) return;
    reloadCurrentPage();
    pageController_->navigateForward(this);
}

void OnboardingWindowController::pageControllerDidTransitionToObject(OnboardingPageController&,
                                                                     const std::shared_ptr<QObject>& object) {
    const auto* navigable = dynamic_cast<const OnboardingPageControllerNavigable*>(object.get());
    if (!navigable || !window_) return;
    refreshButton_->setHidden(navigable->isRefreshButtonHidden());
    backButton_->setHidden(navigable->isBackButtonHidden());
    forwardButton_->setHidden(navigable->isForwardButtonHidden());
    closable_ = !navigable->isWindowCloseButtonDisabled();
    applyChrome(navigable->bottomBoxFillColor());
}

void OnboardingWindowController::pageControllerDidEndLiveTransition(OnboardingPageController& controller) {
    controller.completeTransition();
    if (qobject_cast<WelcomeViewController*>(controller.selectedViewController())) return;
    QObject* model = controller.selectedObject().get();
    if (qobject_cast<Login*>(model)) arriveOnLogin();
    else if (qobject_cast<SyncRoot*>(model)) arriveOnSyncRoot();
    else if (qobject_cast<SelectiveSync*>(model)) arriveOnSelectiveSync();
}

void OnboardingWindowController::arriveOnLogin() {
    // Back on the sign-in page: whoever signed in on the way signs out again.
    if (!userController) return;
    userController->setIsLogoutInProgress(true);
    QPointer<UserController> user(userController);
    QPointer<OnboardingWindowController> self(this);
    BusinessFacadeHolder::facade().logout(false, [user, self](VoidResult result) {
        UserController::finishLogout(user, result, [user, self](bool) {
            if (self && user) user->setIsOnboarding(true);
        });
    });
}

void OnboardingWindowController::arriveOnSyncRoot() {
    auto* page = qobject_cast<SyncRootSelectionViewController*>(currentPage());
    const auto stored = syncRootPath(QStringLiteral("/"));
    if (!page || !stored) return;
    OrvellaSettingsManager* settings = SettingsController().settings();
    const auto check = page->checkRootDirectory(*stored);
    if (!check.isPassed()) {
        settings->setSyncRoot(SettingsController::realHomeDirectory());
        OVLOG_ERROR(AppLog::setup(), QStringLiteral("Cannot perform root directory checks."));
        page->updateSyncRootMenu();
        return;
    }
    QPointer<SyncRootSelectionViewController> weakPage(page);
    const QString folder = *stored;
    page->confirmSyncFolderLocation(folder, [weakPage, folder](bool accepted, bool move) {
        if (weakPage) weakPage->setSyncRoot(accepted, move, {}, folder);
    });
}

void OnboardingWindowController::arriveOnSelectiveSync() {
    auto* page = qobject_cast<SelectiveSyncOnboardingViewController*>(currentPage());
    if (!page || !page->browserController()) return;
    // The browser starts from the account's present selection.
    QPointer<SelectiveSyncBrowserController> browser(page->browserController());
    browser->store()->merge(BusinessFacadeHolder::facade().subscriptionItems(), [browser] {
        if (browser) browser->reloadBrowser();
    });
}

// --- Navigation ---

void OnboardingWindowController::navigateForward(QObject* sender) {
    if (!pageController_) return;
    auto* selectiveSync = qobject_cast<SelectiveSyncOnboardingViewController*>(currentPage());
    if (!selectiveSync) {
        continueForward(sender);
        return;
    }
    SelectiveSyncBrowserController* browser = selectiveSync->browserController();
    if (!browser) return;
    QPointer<OnboardingWindowController> self(this);
    QPointer<QObject> weakSender(sender);
    QPointer<SelectiveSyncBrowserController> weakBrowser(browser);
    browser->hasEnoughFreeDiskSpaceToApplyChanges([self, weakSender, weakBrowser](std::optional<bool> enough) {
        if (!self) return;
        if (enough != true && !self->window_) return;
        SelectiveSyncSpaceCheck::proceed(enough, self->window_.get(), [self, weakSender, weakBrowser] {
            if (!self) return;
            if (weakBrowser) {
                weakBrowser->applyChanges([] {
                    OVLOG_INFO(AppLog::setup(), QStringLiteral("Selective Sync Onboarding controller applied user changes."));
                });
                self->selectionApplied_ = true;
            }
            self->continueForward(weakSender);
        });
    });
}

void OnboardingWindowController::continueForward(QObject* sender) {
    if (!pageController_) return;
    const int index = pageController_->selectedIndex();
    if (index + 1 == int(pageController_->arrangedObjects().size())) {
        close();
        return;
    }
    if (qobject_cast<SyncRoot*>(pageController_->selectedObject().get())) {
        validateSyncRootAndNavigateForward(sender);
        return;
    }
    pageController_->navigateForward(sender);
}

void OnboardingWindowController::validateSyncRootAndNavigateForward(QObject* sender) {
    const auto stored = SettingsController().settings()->syncRoot();
    if (!stored) return;
    // A page of its own, off screen, so that its alerts run application-modal.
    std::unique_ptr<QWidget> made(pageControllerViewControllerForIdentifier(*pageController_, syncRootIdentifier));
    auto* checker = qobject_cast<SyncRootSelectionViewController*>(made.get());
    if (!checker) return;
    const auto check = checker->checkRootDirectory(*stored);
    if (!check.isPassed()) {
        if (check.refusal) checker->showRootDirectoryError(*check.refusal, nullptr);
        return;
    }
    bool accepted = false;
    bool move = false;
    // Without a window the confirmation answers before it returns.
    checker->confirmSyncFolderLocation(*stored, [&](bool a, bool m) {
        accepted = a;
        move = m;
    });
    checker->setSyncRoot(accepted, move, {}, *stored);
    if (pageController_) pageController_->navigateForward(sender);
}

void OnboardingWindowController::navigateBack(QObject* sender) {
    if (!pageController_) return;
    const auto* navigable = dynamic_cast<const OnboardingPageControllerNavigable*>(pageController_->selectedObject().get());
    const auto behaviour = navigable ? navigable->scrollingBehavior() : nullptr;
    if (window_ && behaviour && behaviour->isScrollable && !behaviour->isBackwardsScrollable &&
        behaviour->navigateBackAlert) {
        QPointer<OnboardingWindowController> self(this);
        QPointer<QObject> weakSender(sender);
        const int index = pageController_->selectedIndex();
        behaviour->navigateBackAlert->beginSheetModal(window_.get(), [self, weakSender, index](int response) {
            if (!self || !self->pageController_ || response != Alert::FirstButtonReturn) return;
            // The page may have changed under the sheet; only the page that asked goes back.
            if (self->pageController_->selectedIndex() != index) return;
            self->pageController_->navigateBack(weakSender);
        });
        return;
    }
    pageController_->navigateBack(sender);
}

void OnboardingWindowController::refresh(QObject*) { reloadCurrentPage(); }

// --- Pages and reachability ---

void OnboardingWindowController::welcomeViewControllerDidFinish(WelcomeViewController&) {
    if (pageController_) pageController_->navigateForward(this);
}

void OnboardingWindowController::reachabilityChanged(ReachabilityController&, bool isConnected) {
    if (!isConnected || !pageController_) return;
    if (qobject_cast<Login*>(pageController_->selectedObject().get())) reloadCurrentPage();
}

// --- Closing ---

void OnboardingWindowController::windowDidClose() {
    // Put away by the application (a sign-out): onboarding did not finish, so nothing is settled.
    if (dismissing_) {
        if (userController) userController->setIsOnboarding(false);
    } else {
        windowWillClose();
    }
    // A later onboarding (after a sign-out) makes its own choice.
    selectionApplied_ = false;
    if (pageController_) pageController_->viewWillDisappear();
}

void OnboardingWindowController::windowWillClose() {
    OrvellaSettingsManager* settings = SettingsController().settings();
    const std::shared_ptr<ObjCUser> user = userController ? userController->user() : nullptr;
    if (user) {
        if (const auto root = settings->syncRoot()) {
            if (!fileSystemMetadataController) {
                settings->setSyncRoot(std::nullopt);
            } else {
                const auto proposed = fileSystemMetadataController->proposedSyncRootURL(*root);
                if (proposed.isSuccess())
                    settings->setSyncRoot(proposed.value().toLocalFile());
                else
                    OVLOG_ERROR(AppLog::setup(),
                                QStringLiteral("Cannot determine the location for a conflictless root directory."));
            }
        }
        // Set up only now: a quit anywhere before leaves the onboarding to be done next time.
        if (!settings->isAlreadyLaunched()) {
            settings->setIsAlreadyLaunched(true);
            // The folders chosen on the selective-sync page stand; closed before, all of them sync.
            if (delegate_ && selectionApplied_) delegate_->onboardingWindowWillClose();
            else if (delegate_) delegate_->onboardingDidFinishFirstLaunch();
        } else if (delegate_) {
            delegate_->onboardingWindowWillClose();
        }
    }
    if (userController) userController->setIsOnboarding(false);
    if (user) {
        const auto root = settings->syncRoot();
        if (root) UserDefaults::standard().setObject(user->accountId(), *root);
        else UserDefaults::standard().removeObject(user->accountId());
    }
}
