#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include "app/core/UserController.h"
#include "app/shell/preferences/PreferencesPane.h"

class QLabel;

// The sheet that shows the account's encryption key as a QR code, emptied when the user signs out.
class EncryptionQRCodeController : public PreferencesPane {
    Q_OBJECT
    Q_PROPERTY(UserController* userController READ userController WRITE setUserController)

public:
    explicit EncryptionQRCodeController(QObject* parent = nullptr);

    UserController* userController() const { return userController_; }
    void setUserController(UserController* controller) { userController_ = controller; }

    void viewWillAppear() override;
    Q_INVOKABLE void done(QObject* sender);

    QLabel* imageView() const { return imageView_; }

protected:
    QWidget* loadView() override;

private:
    void showKey();

    QPointer<UserController> userController_;
    QMetaObject::Connection observation_;
    QLabel* imageView_ = nullptr;
};
