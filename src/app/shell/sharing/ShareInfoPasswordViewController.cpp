#include "app/shell/sharing/ShareInfoPasswordViewController.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

#include "app/core/AppError.h"
#include "app/sharing/ObjCShare.h"
#include "app/sharing/ObjCShareInfo.h"
#include "app/sharing/ShareController.h"
#include "app/shell/transformers/StringIsValidPasswordTransformer.h"

ShareInfoPasswordViewController::ShareInfoPasswordViewController(QObject* parent) : PreferencesPane(parent) {}

QWidget* ShareInfoPasswordViewController::loadView() {
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("SharePasswordSheet"));
    auto* grid = new QGridLayout(view);
    auto* description = new QLabel(localizationController_.shPasswordLabelDescription());
    description->setWordWrap(true);
    grid->addWidget(description, 0, 0, 1, 2);
    passwordTextField_ = new QLineEdit;
    verifyPasswordTextField_ = new QLineEdit;
    for (QLineEdit* field : {passwordTextField_, verifyPasswordTextField_}) field->setEchoMode(QLineEdit::Password);
    grid->addWidget(new QLabel(localizationController_.shPasswordLabelPassword()), 1, 0);
    grid->addWidget(passwordTextField_, 1, 1);
    grid->addWidget(new QLabel(localizationController_.shPasswordLabelVerify()), 2, 0);
    grid->addWidget(verifyPasswordTextField_, 2, 1);
    errorLabel_ = new QLabel;
    errorLabel_->setWordWrap(true);
    errorLabel_->setStyleSheet(QStringLiteral("color: #c0392b"));
    grid->addWidget(errorLabel_, 3, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    auto* remove = new QPushButton(localizationController_.shPasswordButtonRemovePassword());
    auto* cancelButton = new QPushButton(localizationController_.shPasswordButtonCancel());
    auto* set = new QPushButton(localizationController_.shPasswordButtonSetPassword());
    set->setDefault(true);
    connect(remove, &QPushButton::clicked, this, [this] { removePassword(); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancel(); });
    connect(set, &QPushButton::clicked, this, [this] { updatePassword(); });
    buttons->addWidget(remove);
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    buttons->addWidget(set);
    grid->addLayout(buttons, 4, 0, 1, 2);
    return view;
}

void ShareInfoPasswordViewController::viewWillAppear() { setPasswordError(std::nullopt); }

void ShareInfoPasswordViewController::setPasswordError(std::optional<QString> error) {
    passwordError_ = std::move(error);
    if (errorLabel_) errorLabel_->setText(passwordError_.value_or(QString()));
}

void ShareInfoPasswordViewController::updatePassword(QObject*) {
    view();
    const QString password = passwordTextField_->text();
    if (!StringIsValidPasswordTransformer::isValidPassword(password)) {
        setPasswordError(localizationController_.shPasswordLabelPasswordInvalid());
        return;
    }
    if (verifyPasswordTextField_->text() != password) {
        setPasswordError(localizationController_.shPasswordLabelPasswordsDoNotMatch());
        return;
    }
    update(password);
}

void ShareInfoPasswordViewController::removePassword(QObject*) { update(QString()); }

void ShareInfoPasswordViewController::cancel(QObject*) { dismissController(); }

void ShareInfoPasswordViewController::update(const QString& password) {
    if (!share_) {
        dismissController();
        return;
    }
    if (!shareController_) return;
    isUpdating_ = true;
    QPointer<ShareInfoPasswordViewController> self(this);
    std::shared_ptr<ObjCShare> share = share_;
    shareController_->setPassword(password, share, [self, share, password](std::optional<AppError> error) {
        if (self) self->isUpdating_ = false;
        if (error) presentError(*error);
        else if (ObjCShareInfo* info = share->shareInfo()) info->setIsPasswordProtected(!password.isEmpty());
        if (self) self->dismissController();
    });
}
