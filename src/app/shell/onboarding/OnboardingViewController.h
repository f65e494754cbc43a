#pragma once

#include <QWidget>

#include <memory>

// A page of the onboarding window: the page controller hands it its page model and tells it when
// it is about to be shown and about to go.
class OnboardingViewController : public QWidget {
    Q_OBJECT

public:
    using QWidget::QWidget;

    const std::shared_ptr<QObject>& representedObject() const { return representedObject_; }
    virtual void setRepresentedObject(std::shared_ptr<QObject> object) { representedObject_ = std::move(object); }

    virtual void viewWillAppear() {}
    virtual void viewWillDisappear() {}

private:
    std::shared_ptr<QObject> representedObject_;
};
