#pragma once

#include <QObject>

class UserController;

// The signed-in account's feature flags.
class FeaturesController : public QObject {
    Q_OBJECT

public:
    explicit FeaturesController(UserController& userController, QObject* parent = nullptr)
        : QObject(parent), userController_(userController) {}

    UserController& userController() const { return userController_; }

private:
    UserController& userController_;
};
