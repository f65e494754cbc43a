#pragma once

#include <QPointer>
#include <QString>

#include <memory>
#include <optional>

#include "app/common/LocalizationController.h"
#include "app/sharing/ShareController.h"
#include "app/shell/preferences/PreferencesPane.h"

class ObjCShare;
class QLabel;
class QLineEdit;

// The sheet that sets or removes a share link's password. The password is checked here first:
// 6 to 20 characters, each a letter, a digit or one of the allowed marks. Main thread only.
class ShareInfoPasswordViewController : public PreferencesPane {
    Q_OBJECT

public:
    explicit ShareInfoPasswordViewController(QObject* parent = nullptr);

    void setShareController(ShareController* controller) { shareController_ = controller; }
    const std::shared_ptr<ObjCShare>& representedObject() const { return share_; }
    void setRepresentedObject(std::shared_ptr<ObjCShare> share) { share_ = std::move(share); }

    bool isUpdating() const { return isUpdating_; }
    const std::optional<QString>& passwordError() const { return passwordError_; }
    QLineEdit* passwordTextField() { return view(), passwordTextField_; }
    QLineEdit* verifyPasswordTextField() { return view(), verifyPasswordTextField_; }

    void viewWillAppear() override;

    Q_INVOKABLE void updatePassword(QObject* sender = nullptr);
    Q_INVOKABLE void removePassword(QObject* sender = nullptr);
    Q_INVOKABLE void cancel(QObject* sender = nullptr);

protected:
    QWidget* loadView() override;

private:
    void update(const QString& password);
    void setPasswordError(std::optional<QString> error);

    QPointer<ShareController> shareController_;
    std::shared_ptr<ObjCShare> share_;
    bool isUpdating_ = false;
    std::optional<QString> passwordError_;
    LocalizationController localizationController_;
    QLineEdit* passwordTextField_ = nullptr;
    QLineEdit* verifyPasswordTextField_ = nullptr;
    QLabel* errorLabel_ = nullptr;
};
