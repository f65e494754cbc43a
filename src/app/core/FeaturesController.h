#pragma once

#include <QObject>

#include <memory>

#include "app/core/ObjCFeatures.h"

class UserController;

// The signed-in account's feature flags, refreshed from the business facade whenever the signed-in
// user changes. Before the first sign-in `features` is an object with no members; after a sign-out
// it is none.
class FeaturesController : public QObject {
    Q_OBJECT
    // nullptr when none.
    Q_PROPERTY(ObjCFeatures* features READ featuresObject NOTIFY featuresChanged)

public:
    explicit FeaturesController(UserController& userController, QObject* parent = nullptr);

    const std::shared_ptr<ObjCFeatures>& features() const { return features_; }
    void setFeatures(std::shared_ptr<ObjCFeatures> value);
    ObjCFeatures* featuresObject() const { return features_.get(); }

    // Only an explicitly enabled backup member counts.
    bool isBackupEnabled() const;

    UserController& userController() const { return userController_; }

signals:
    void featuresChanged();

private:
    void userDidChange();
    // The facade's current user's features; an object without members when there are none.
    static std::shared_ptr<ObjCFeatures> currentFeatures();

    std::shared_ptr<ObjCFeatures> features_;
    UserController& userController_;
};
