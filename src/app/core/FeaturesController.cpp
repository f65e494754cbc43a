#include "app/core/FeaturesController.h"

#include "app/core/BusinessFacadeHolder.h"
#include "app/core/UserController.h"

FeaturesController::FeaturesController(UserController& userController, QObject* parent)
    : QObject(parent), features_(currentFeatures()), userController_(userController) {
    // The connection ends with this object, so a gone controller is never called.
    connect(&userController_, &UserController::userChanged, this, &FeaturesController::userDidChange);
}

void FeaturesController::setFeatures(std::shared_ptr<ObjCFeatures> value) {
    if (features_ == value) return;
    features_ = std::move(value);
    emit featuresChanged();
}

bool FeaturesController::isBackupEnabled() const {
    return features_ && features_->backup() && features_->backup()->isEnabled();
}

void FeaturesController::userDidChange() {
    if (!userController_.user()) {
        setFeatures(nullptr);
        return;
    }
    setFeatures(currentFeatures());
}

std::shared_ptr<ObjCFeatures> FeaturesController::currentFeatures() {
    const auto user = BusinessFacadeHolder::facade().currentUser();
    const auto set = user ? user->features() : std::nullopt;
    if (set) return std::make_shared<ObjCFeatures>(*set);
    return std::make_shared<ObjCFeatures>(nullptr, nullptr, nullptr);
}
