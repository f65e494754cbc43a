#include "app/shell/OnboardingWindowController.h"

#include <QLabel>
#include <QVBoxLayout>
#include <QWidget>

#include "app/common/LocalizationController.h"
#include "app/core/ReachabilityController.h"

OnboardingWindowController::OnboardingWindowController(OnboardingWindowControllerDelegate* delegate,
                                                       QObject* parent)
    : QObject(parent), delegate_(delegate), reachability_(std::make_unique<ReachabilityController>()) {}

OnboardingWindowController::~OnboardingWindowController() = default;

void OnboardingWindowController::showWindow() {
    if (!window_) {
        // The pages (sign-in, sync folder) arrive with the onboarding; the window already greets.
        LocalizationController texts;
        window_ = std::make_unique<QWidget>();
        window_->setWindowTitle(QStringLiteral("Orvella"));
        auto* layout = new QVBoxLayout(window_.get());
        auto* title = new QLabel(texts.obLabelTitle1());
        title->setObjectName(QStringLiteral("title"));
        layout->addWidget(title);
        window_->resize(640, 440);
    }
    window_->show();
    window_->raise();
}
