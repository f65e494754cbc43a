#include "app/shell/sharing/ShareItemViewController.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QWidget>

#include <thread>

#include "app/core/AppError.h"
#include "app/sharing/ObjCShare.h"
#include "app/sharing/ShareController.h"
#include "app/sharing/StringHasValidEmails.h"
#include "app/shell/sharing/ContactAddresses.h"
#include "platform/foundation/MainQueue.h"

ShareItemViewController::ShareItemViewController(QObject* parent) : PreferencesPane(parent) {}

QWidget* ShareItemViewController::loadView() {
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("ShareEmailSheet"));
    view->setWindowTitle(localizationController_.shItemWindowTitleNewMessage());
    auto* grid = new QGridLayout(view);
    recipientTokenField_ = new QLineEdit;
    recipientTokenField_->setObjectName(QStringLiteral("recipientTokenField"));
    contactsButton_ = new QPushButton(QStringLiteral("+"));
    contactsButton_->setFixedWidth(32);
    auto* to = new QHBoxLayout;
    to->addWidget(recipientTokenField_, 1);
    to->addWidget(contactsButton_);
    grid->addWidget(new QLabel(localizationController_.shItemLabelTo()), 0, 0);
    grid->addLayout(to, 0, 1);
    messageView_ = new QPlainTextEdit;
    grid->addWidget(messageView_, 1, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    auto* cancelButton = new QPushButton(localizationController_.shItemButtonCancel());
    sendButton_ = new QPushButton(localizationController_.shItemButtonSend());
    sendButton_->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(cancelButton);
    buttons->addWidget(sendButton_);
    grid->addLayout(buttons, 2, 0, 1, 2);

    connect(recipientTokenField_, &QLineEdit::textEdited, this, [this](const QString& text) {
        QStringList emails;
        for (const QString& token : text.split(u',', Qt::SkipEmptyParts))
            if (!token.trimmed().isEmpty()) emails << token.trimmed();
        emails_ = emails;
        setIsSending(isSending_);
    });
    connect(messageView_, &QPlainTextEdit::textChanged, this, [this] { message_ = messageView_->toPlainText(); });
    connect(contactsButton_, &QPushButton::clicked, this, [this] { showContactPicker(contactsButton_); });
    connect(cancelButton, &QPushButton::clicked, this, [this] { cancel(); });
    connect(sendButton_, &QPushButton::clicked, this, [this] { send(); });
    showEmails();
    return view;
}

void ShareItemViewController::viewWillAppear() {
    setEmails({});
    setMessage(QString());
}

void ShareItemViewController::setEmails(const QStringList& emails) {
    emails_ = emails;
    showEmails();
}

void ShareItemViewController::setMessage(const QString& message) {
    message_ = message;
    if (messageView_ && messageView_->toPlainText() != message) {
        const QSignalBlocker blocker(messageView_);
        messageView_->setPlainText(message);
    }
}

void ShareItemViewController::showEmails() {
    if (!recipientTokenField_) return;
    recipientTokenField_->setText(emails_.isEmpty() ? QString() : emails_.join(QStringLiteral(", ")) + QStringLiteral(", "));
    setIsSending(isSending_);
}

bool ShareItemViewController::canSend() const { return !isSending_ && hasValidEmails(emails_.join(u',')); }

void ShareItemViewController::setIsSending(bool sending) {
    isSending_ = sending;
    if (sendButton_) sendButton_->setEnabled(canSend());
}

void ShareItemViewController::showContactPicker(QObject* sender) {
    auto* button = qobject_cast<QPushButton*>(sender);
    if (!button) return;
    QPointer<ShareItemViewController> self(this);
    QPointer<QPushButton> anchor(button);
    std::thread([self, anchor] {
        const QStringList addresses = ContactAddresses::inContactsFolder();
        MainQueue::async([self, anchor, addresses] {
            if (!self || !anchor) return;
            auto* menu = new QMenu(anchor);
            menu->setAttribute(Qt::WA_DeleteOnClose);
            for (const QString& address : addresses)
                menu->addAction(address, self, [self, address] {
                    if (self) self->contactPicked(address);
                });
            if (addresses.isEmpty()) menu->addAction(QStringLiteral("—"))->setEnabled(false);
            menu->popup(anchor->mapToGlobal(QPoint(anchor->width(), 0)));
        });
    }).detach();
}

void ShareItemViewController::contactPicked(const QString& address) {
    setEmails(emails_ + QStringList{address});
    // Typing goes on after the picked address.
    if (recipientTokenField_) {
        recipientTokenField_->setFocus();
        recipientTokenField_->end(false);
    }
}

void ShareItemViewController::send(QObject*) {
    if (!share_) {
        dismissController();
        return;
    }
    if (!shareController_ || !canSend()) return;
    setIsSending(true);
    QPointer<ShareItemViewController> self(this);
    shareController_->sendShareLink(share_, emails_, message_, [self](std::optional<AppError> error) {
        if (!self) return;
        self->setIsSending(false);
        // A failed send keeps the sheet and what was typed, so the user can try again.
        if (error) presentError(*error);
        else self->dismissController();
    });
}

void ShareItemViewController::cancel(QObject*) { dismissController(); }
