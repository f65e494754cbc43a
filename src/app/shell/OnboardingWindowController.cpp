#include "app/shell/OnboardingWindowController.h"

#include <QCloseEvent>
#include <QLabel>
#include <QUrl>
#include <QVBoxLayout>
#include <QWidget>

#include "app/common/LocalizationController.h"
#include "app/common/LogChannels.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/ReachabilityController.h"
#include "app/core/SettingsController.h"
#include "app/core/UserController.h"
#include "app/sync/OVFileSystemMetadataController.h"
#include "frameworks/business/SignInPage.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/foundation/UserDefaults.h"

namespace {
// Tells the controller when the user closes the window.
class OnboardingWindow : public QWidget {
public:
    explicit OnboardingWindow(std::function<void()> onClose) : onClose_(std::move(onClose)) {}

protected:
    void closeEvent(QCloseEvent* event) override {
        if (onClose_) onClose_();
        event->accept();
    }

private:
    std::function<void()> onClose_;
};
}  // namespace

OnboardingWindowController::OnboardingWindowController(OnboardingWindowControllerDelegate* delegate,
                                                       QObject* parent)
    : QObject(parent), delegate_(delegate), reachability_(std::make_unique<ReachabilityController>()) {}

OnboardingWindowController::~OnboardingWindowController() = default;

void OnboardingWindowController::makePage() {
    delete page_;
    page_ = nullptr;
    auto* layout = static_cast<QVBoxLayout*>(window_->layout());
    if (SignInPage* page = BusinessFacadeHolder::facade().makeSignInPage(window_.get())) {
        connect(page, &SignInPage::didFinishSignIn, this, [this] {
            if (delegate_) delegate_->onboardingWindowControllerDidFinishSignIn(*this, true, std::nullopt);
            // The sync folder's place and selective sync are not offered yet: the defaults stand.
            close();
        });
        connect(page, &SignInPage::didFailSignIn, this, [this](const BusinessError& error) {
            if (delegate_) delegate_->onboardingWindowControllerDidFinishSignIn(*this, false, AppError(error));
        });
        page_ = page;
    } else {
        page_ = new QLabel(LocalizationController().obLabelTitle1(), window_.get());
    }
    layout->addWidget(page_);
}

void OnboardingWindowController::showWindow() {
    if (!window_) {
        window_ = std::make_unique<OnboardingWindow>([this] { windowWillClose(); });
        window_->setWindowTitle(QStringLiteral("Orvella"));
        auto* layout = new QVBoxLayout(window_.get());
        auto* title = new QLabel(LocalizationController().obLabelTitle1(), window_.get());
        title->setObjectName(QStringLiteral("title"));
        QFont font = title->font();
        font.setPointSizeF(font.pointSizeF() * 1.6);
        font.setBold(true);
        title->setFont(font);
        layout->addWidget(title);
        makePage();
        window_->resize(520, 420);
    }
    window_->show();
    window_->raise();
}

void OnboardingWindowController::showFirstPage() {
    if (window_) makePage();
}

void OnboardingWindowController::close() {
    if (window_ && window_->isVisible()) window_->close();  // its close event runs windowWillClose
}

void OnboardingWindowController::windowWillClose() {
    if (!userController || !userController->isLoggedIn()) return;
    OrvellaSettingsManager* settings = SettingsController().settings();
    if (const auto root = settings->syncRoot()) {
        if (!fileSystemMetadataController) {
            settings->setSyncRoot(std::nullopt);
        } else {
            const auto proposed = fileSystemMetadataController->proposedSyncRootURL(*root);
            if (proposed.isSuccess()) settings->setSyncRoot(proposed.value().toLocalFile());
            else OVLOG_ERROR(AppLog::setup(), QStringLiteral("Could not prepare the sync folder at ") + *root);
        }
    }
    if (!settings->isAlreadyLaunched()) {
        settings->setIsAlreadyLaunched(true);
        if (delegate_) delegate_->onboardingDidFinishFirstLaunch();
    } else if (delegate_) {
        delegate_->onboardingWindowWillClose();
    }
    userController->setIsOnboarding(false);
    if (auto user = userController->user()) {
        const auto root = settings->syncRoot();
        if (root) UserDefaults::standard().setObject(user->accountId(), *root);
        else UserDefaults::standard().removeObject(user->accountId());
    }
}
