#pragma once

#include <QString>
#include <QWidget>

#include "frameworks/business/BusinessError.h"
#include "frameworks/business/SignInBackend.h"
#include "frameworks/business/XViewControllerReloadable.h"

class BusinessFacade;
class QLabel;
class QLineEdit;
class QPushButton;

// The framework's sign-in page: user name and password, or, in its second mode, a new account
// with mail address and the password typed twice. Problems are shown on the page itself. While a
// request runs the page is busy and takes no input.
//
// It reports every attempt that reached the service, always on the main thread: loadingChanged
// when a request starts and ends, then didFinishSignIn on success (the user is then signed in,
// also after creating an account) or didFailSignIn with the error.
class SignInPage : public QWidget, public XViewControllerReloadable {
    Q_OBJECT

public:
    enum class Mode { signIn, createAccount };

    explicit SignInPage(SignInBackend backend, QWidget* parent = nullptr);
    // A page over the facade's backend, owned by `parent`; none when the facade offers no sign-in.
    static SignInPage* make(BusinessFacade& facade, QWidget* parent);
    ~SignInPage() override;

    Mode mode() const { return mode_; }
    void setMode(Mode mode);
    bool isLoading() const { return loading_; }
    // The problem shown on the page; empty when there is none.
    QString errorText() const;

    // Sends the form: checks it, then signs in or creates the account.
    void submit();
    // Clears the shown problem, or says that the service cannot be reached.
    void reload() override;

    // The text shown for a failed attempt.
    static QString errorText(const BusinessError& error, Mode mode);

    QLineEdit* userNameField() const { return userName_; }
    QLineEdit* mailAddressField() const { return mailAddress_; }
    QLineEdit* passwordField() const { return password_; }
    QLineEdit* repeatPasswordField() const { return repeatPassword_; }
    QPushButton* submitButton() const { return submit_; }
    QPushButton* modeButton() const { return switchMode_; }
    // "Use another server…" shows the field; a server chosen before shows it from the start.
    QPushButton* serverButton() const { return showServer_; }
    QLineEdit* serverField() const { return server_; }

signals:
    void loadingChanged(bool loading);
    void didFinishSignIn();
    void didFailSignIn(const BusinessError& error);

private:
    void setLoading(bool loading);
    void showError(const QString& text);
    void finish(const VoidResult& result);
    void updateTexts();
    void showServerField();
    // False (with the problem shown) when the server field names no server that can be used.
    bool takeServer();

    SignInBackend backend_;
    Mode mode_ = Mode::signIn;
    bool loading_ = false;
    QLabel* title_ = nullptr;
    QLineEdit* userName_ = nullptr;
    QLabel* mailAddressLabel_ = nullptr;
    QLineEdit* mailAddress_ = nullptr;
    QLineEdit* password_ = nullptr;
    QLabel* repeatPasswordLabel_ = nullptr;
    QLineEdit* repeatPassword_ = nullptr;
    QLabel* error_ = nullptr;
    QLabel* busy_ = nullptr;
    QPushButton* submit_ = nullptr;
    QPushButton* switchMode_ = nullptr;
    QLabel* serverLabel_ = nullptr;
    QLineEdit* server_ = nullptr;
    QPushButton* showServer_ = nullptr;
};
