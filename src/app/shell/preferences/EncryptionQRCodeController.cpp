#include "app/shell/preferences/EncryptionQRCodeController.h"

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

#include "app/common/LocalizationController.h"
#include "app/core/ObjCCryptoKey.h"
#include "app/core/UserController.h"

EncryptionQRCodeController::EncryptionQRCodeController(QObject* parent) : PreferencesPane(parent) {}

QWidget* EncryptionQRCodeController::loadView() {
    auto* view = new QWidget;
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(20, 20, 20, 20);
    imageView_ = new QLabel(view);
    imageView_->setFixedSize(220, 220);
    imageView_->setAlignment(Qt::AlignCenter);
    imageView_->setScaledContents(true);
    layout->addWidget(imageView_, 0, Qt::AlignHCenter);
    auto* doneButton = new QPushButton(LocalizationController().brButtonDone(), view);
    doneButton->setDefault(true);
    connect(doneButton, &QPushButton::clicked, this, [this, doneButton] { done(doneButton); });
    layout->addWidget(doneButton, 0, Qt::AlignRight);
    return view;
}

void EncryptionQRCodeController::viewWillAppear() {
    view();
    QObject::disconnect(observation_);
    observation_ = {};
    if (userController_) {
        observation_ = connect(userController_.data(), &UserController::isLoggedInChanged, this, [this] {
            if (userController_ && userController_->user()) showKey();
            else imageView_->clear();
        });
    }
    showKey();
}

void EncryptionQRCodeController::showKey() {
    if (!userController_) return;
    const std::shared_ptr<ObjCUser> user = userController_->user();
    if (!user || !user->cryptoKey() || !user->cryptoKey()->qrCodeImageData()) return;
    const QImage image = QImage::fromData(*user->cryptoKey()->qrCodeImageData());
    imageView_->setPixmap(QPixmap::fromImage(image));
}

void EncryptionQRCodeController::done(QObject* sender) {
    dismissController(sender);
}
