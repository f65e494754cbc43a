#pragma once

#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>

#include "app/common/LocalizationController.h"
#include "app/sharing/ShareController.h"
#include "app/shell/preferences/PreferencesPane.h"

class ObjCShare;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The sheet with which the service mails a share link: the recipients, typed or picked from the
// user's contacts, and a message. Every showing starts empty, so that a link never goes to the
// people the previous one went to. Main thread only.
class ShareItemViewController : public PreferencesPane {
    Q_OBJECT

public:
    static inline const QString storyboardIdentifier = QStringLiteral("ShareItemWindowController");

    explicit ShareItemViewController(QObject* parent = nullptr);

    void setShareController(ShareController* controller) { shareController_ = controller; }
    const std::shared_ptr<ObjCShare>& representedObject() const { return share_; }
    void setRepresentedObject(std::shared_ptr<ObjCShare> share) { share_ = std::move(share); }

    const QStringList& emails() const { return emails_; }
    void setEmails(const QStringList& emails);
    const QString& message() const { return message_; }
    void setMessage(const QString& message);
    bool isSending() const { return isSending_; }
    // Send is offered only for at least one address, every one well-formed.
    bool canSend() const;
    QPushButton* sendButton() { return view(), sendButton_; }

    void viewWillAppear() override;

    // Lists the contacts' addresses (read away from the main thread) in a menu under the sender.
    Q_INVOKABLE void showContactPicker(QObject* sender = nullptr);
    // A picked address goes after those already there.
    void contactPicked(const QString& address);
    Q_INVOKABLE void send(QObject* sender = nullptr);
    Q_INVOKABLE void cancel(QObject* sender = nullptr);

protected:
    QWidget* loadView() override;

private:
    void setIsSending(bool sending);
    void showEmails();

    QPointer<ShareController> shareController_;
    std::shared_ptr<ObjCShare> share_;
    QStringList emails_;
    QString message_;
    bool isSending_ = false;
    LocalizationController localizationController_;
    QLineEdit* recipientTokenField_ = nullptr;
    QPlainTextEdit* messageView_ = nullptr;
    QPushButton* sendButton_ = nullptr;
    QPushButton* contactsButton_ = nullptr;
};
