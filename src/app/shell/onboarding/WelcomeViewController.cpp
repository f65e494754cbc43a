#include "app/shell/onboarding/WelcomeViewController.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/common/LocalizationController.h"
#include "app/core/C.h"
#include "app/sync/SyncStatusImages.h"

WelcomeViewController::WelcomeViewController(QWidget* parent) : OnboardingViewController(parent) {
    LocalizationController texts;
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(48, 36, 48, 24);
    layout->setSpacing(14);
    layout->addStretch(2);

    auto* logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("logo"));
    logo->setPixmap(QPixmap::fromImage(SyncStatusImages::image(SyncStatusImages::finderSyncRootIcon, QSize(96, 96))));
    logo->setAlignment(Qt::AlignCenter);
    layout->addWidget(logo);

    messageLabel_ = new QLabel(texts.obLabelWelcomeMessage(), this);
    messageLabel_->setObjectName(QStringLiteral("messageLabel"));
    messageLabel_->setAlignment(Qt::AlignCenter);
    QFont title = C::titleFont().value_or(messageLabel_->font());
    if (!C::titleFont()) {
        title.setBold(true);
        title.setPointSizeF(19);
    }
    messageLabel_->setFont(title);
    layout->addWidget(messageLabel_);

    informativeLabel_ = new QLabel(texts.obLabelWelcomeInformative(), this);
    informativeLabel_->setObjectName(QStringLiteral("informativeLabel"));
    informativeLabel_->setAlignment(Qt::AlignCenter);
    informativeLabel_->setWordWrap(true);
    layout->addWidget(informativeLabel_);
    layout->addSpacing(12);

    loginButton_ = new QPushButton(texts.obButtonSignIn(), this);
    loginButton_->setObjectName(QStringLiteral("loginButton"));
    loginButton_->setDefault(true);
    loginButton_->setMinimumWidth(180);
    loginButton_->setStyleSheet(QStringLiteral(
        "QPushButton { background: #1f6fd6; color: white; border: none; border-radius: 6px; padding: 8px 24px; }"
        "QPushButton:pressed { background: #1858ab; }"));
    layout->addWidget(loginButton_, 0, Qt::AlignHCenter);
    layout->addStretch(3);

    connect(loginButton_, &QPushButton::clicked, this, [this] { finish(loginButton_); });
}

void WelcomeViewController::finish(QObject*) {
    if (delegate_) delegate_->welcomeViewControllerDidFinish(*this);
}
