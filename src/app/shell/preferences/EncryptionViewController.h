#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QVariant>

#include <functional>

#include "app/common/LocalizationController.h"
#include "app/core/UserController.h"
#include "app/shell/preferences/PreferencesPane.h"

class QPushButton;

// Has the signed-in user import an encryption key protected by the account's password. The
// completion runs once, on the main queue: whether the import succeeded, false when nobody is
// signed in. The check runs off the main thread (the service hashes the password).
void importCryptoKey(const QString& key, const QString& password, std::function<void(bool)> completion);

// The encryption tab. The preferences window never shows it; its create and import buttons do
// nothing, and its sheets are reached by segues.
class EncryptionViewController : public PreferencesPane {
    Q_OBJECT
    Q_PROPERTY(UserController* userController READ userController WRITE setUserController NOTIFY userControllerChanged)

public:
    static inline const QString qrCodeSegue = QStringLiteral("EncryptionQRCode");
    static inline const QString createKeySegue = QStringLiteral("CreateEncryptionKey");
    static inline const QString importKeySegue = QStringLiteral("ImportEncryptionKey");

    // The bundled debug keys: a list of maps with "name", "key" and "password"; invalid when the
    // bundle has none.
    using KeysResource = std::function<QVariant()>;

    explicit EncryptionViewController(QObject* parent = nullptr);

    UserController* userController() const { return userController_; }
    void setUserController(UserController* controller);
    void setKeysResource(KeysResource resource) { keysResource_ = std::move(resource); }

    Q_INVOKABLE void createKey(QObject* sender);
    Q_INVOKABLE void importKey(QObject* sender);
    Q_INVOKABLE void importDebugKeys(QObject* sender);
    void prepareForSegue(const QString& identifier, QObject* destination);
    // Makes the sheet of a segue from the main storyboard, prepares it and shows it on the window.
    void performSegue(const QString& identifier);

    QPushButton* importDebugKeysButton() const { return importDebugKeysButton_; }

signals:
    void userControllerChanged();

protected:
    QWidget* loadView() override;
    void viewDidLoad() override;

private:
    QPointer<UserController> userController_;
    KeysResource keysResource_;
    const LocalizationController localizationController_;
    QPushButton* importDebugKeysButton_ = nullptr;
};
