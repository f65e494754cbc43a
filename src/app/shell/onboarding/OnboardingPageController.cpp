#include "app/shell/onboarding/OnboardingPageController.h"

#include <QStackedLayout>
#include <QWheelEvent>

#include "app/shell/onboarding/OnboardingViewController.h"

OnboardingPageController::OnboardingPageController(QWidget* parent)
    : QWidget(parent), stack_(new QStackedLayout(this)) {
    stack_->setContentsMargins(0, 0, 0, 0);
}

OnboardingPageController::~OnboardingPageController() = default;

void OnboardingPageController::setArrangedObjects(std::vector<std::shared_ptr<QObject>> objects) {
    arrangedObjects_ = std::move(objects);
    if (arrangedObjects_.empty()) {
        selectedIndex_ = -1;
        if (selected_) selected_->deleteLater();
        selected_ = nullptr;
        return;
    }
    transition(0, false);
}

std::shared_ptr<QObject> OnboardingPageController::selectedObject() const {
    if (selectedIndex_ < 0 || selectedIndex_ >= int(arrangedObjects_.size())) return nullptr;
    return arrangedObjects_[std::size_t(selectedIndex_)];
}

void OnboardingPageController::setSelectedIndex(int index) {
    if (index < 0 || index >= int(arrangedObjects_.size())) return;
    transition(index, false);
}

void OnboardingPageController::navigateForward(QObject*) {
    if (selectedIndex_ + 1 >= int(arrangedObjects_.size())) return;
    transition(selectedIndex_ + 1, true);
}

void OnboardingPageController::navigateBack(QObject*) {
    if (selectedIndex_ <= 0) return;
    transition(selectedIndex_ - 1, true);
}

void OnboardingPageController::completeTransition() {
    if (pendingTransitions_ > 0) --pendingTransitions_;
}

void OnboardingPageController::viewWillDisappear() {
    if (auto* page = qobject_cast<OnboardingViewController*>(selected_.data())) page->viewWillDisappear();
}

void OnboardingPageController::wheelEvent(QWheelEvent* event) {
    // Swipes never change the page: only the buttons and code navigate.
    event->accept();
}

void OnboardingPageController::transition(int index, bool live) {
    const std::shared_ptr<QObject> object = arrangedObjects_[std::size_t(index)];
    QWidget* page = nullptr;
    if (delegate_) page = delegate_->pageControllerViewControllerForIdentifier(
                       *this, delegate_->pageControllerIdentifierForObject(*this, object));
    if (!page) page = new QWidget;
    if (auto* viewController = qobject_cast<OnboardingViewController*>(page)) viewController->setRepresentedObject(object);

    QPointer<QWidget> old = selected_;
    if (auto* leaving = qobject_cast<OnboardingViewController*>(old.data())) leaving->viewWillDisappear();
    if (auto* arriving = qobject_cast<OnboardingViewController*>(page)) arriving->viewWillAppear();
    stack_->addWidget(page);
    stack_->setCurrentWidget(page);
    selected_ = page;
    selectedIndex_ = index;
    if (old) {
        stack_->removeWidget(old);
        old->hide();
        // The old page may be the one whose button started this transition.
        old->deleteLater();
    }

    if (!delegate_) return;
    delegate_->pageControllerDidTransitionToObject(*this, object);
    if (live) {
        ++pendingTransitions_;
        delegate_->pageControllerDidEndLiveTransition(*this);
    }
}
