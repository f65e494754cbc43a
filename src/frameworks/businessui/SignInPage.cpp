#include "frameworks/businessui/SignInPage.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "frameworks/api/ServerChoice.h"
#include "frameworks/business/BusinessFacade.h"
#include "platform/foundation/MainQueue.h"
#include "service/ServiceWire.h"

SignInPage::SignInPage(SignInBackend backend, QWidget* parent) : QWidget(parent), backend_(std::move(backend)) {
    setObjectName(QStringLiteral("SignInPage"));
    title_ = new QLabel(this);
    QFont titleFont = title_->font();
    titleFont.setPointSizeF(titleFont.pointSizeF() * 1.4);
    titleFont.setBold(true);
    title_->setFont(titleFont);

    const auto field = [this](const char* name, bool secret) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(name));
        if (secret) edit->setEchoMode(QLineEdit::Password);
        connect(edit, &QLineEdit::returnPressed, this, &SignInPage::submit);
        connect(edit, &QLineEdit::textEdited, this, [this] { showError({}); });
        return edit;
    };
    userName_ = field("userName", false);
    mailAddress_ = field("mailAddress", false);
    password_ = field("password", true);
    repeatPassword_ = field("repeatPassword", true);
    userName_->setMaxLength(256);

    auto* form = new QFormLayout;
    mailAddressLabel_ = new QLabel(tr("Mail address"), this);
    repeatPasswordLabel_ = new QLabel(tr("Repeat password"), this);
    form->addRow(tr("User name"), userName_);
    form->addRow(mailAddressLabel_, mailAddress_);
    form->addRow(tr("Password"), password_);
    form->addRow(repeatPasswordLabel_, repeatPassword_);
    server_ = field("server", false);
    server_->setPlaceholderText(ServerChoice::describe(std::nullopt));
    serverLabel_ = new QLabel(tr("Server"), this);
    form->addRow(serverLabel_, server_);
    serverLabel_->hide();
    server_->hide();

    error_ = new QLabel(this);
    error_->setObjectName(QStringLiteral("errorText"));
    error_->setWordWrap(true);
    error_->setStyleSheet(QStringLiteral("color: #c0392b;"));
    error_->hide();
    busy_ = new QLabel(this);
    busy_->hide();

    submit_ = new QPushButton(this);
    submit_->setObjectName(QStringLiteral("submit"));
    submit_->setDefault(true);
    connect(submit_, &QPushButton::clicked, this, &SignInPage::submit);
    switchMode_ = new QPushButton(this);
    switchMode_->setObjectName(QStringLiteral("switchMode"));
    switchMode_->setFlat(true);
    connect(switchMode_, &QPushButton::clicked, this,
            [this] { setMode(mode_ == Mode::signIn ? Mode::createAccount : Mode::signIn); });

    showServer_ = new QPushButton(tr("Use another server…"), this);
    showServer_->setObjectName(QStringLiteral("showServer"));
    showServer_->setFlat(true);
    connect(showServer_, &QPushButton::clicked, this, &SignInPage::showServerField);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(switchMode_);
    buttons->addWidget(showServer_);
    buttons->addStretch();
    buttons->addWidget(submit_);

    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    layout->addWidget(title_);
    layout->addLayout(form);
    layout->addWidget(error_);
    layout->addWidget(busy_);
    layout->addLayout(buttons);
    layout->addStretch();

    updateTexts();
    if (const auto chosen = ServerChoice::chosen()) {
        server_->setText(ServerChoice::describe(chosen));
        showServerField();
    }
    // The environment decides for this run; the page only shows it.
    server_->setReadOnly(ServerChoice::isFromEnvironment());
}

SignInPage::~SignInPage() = default;

void SignInPage::showServerField() {
    serverLabel_->show();
    server_->show();
    showServer_->hide();
    server_->setFocus();
}

bool SignInPage::takeServer() {
    if (server_->isHidden() || server_->isReadOnly()) return true;
    const ServerChoice::Parsed parsed = ServerChoice::parse(server_->text());
    if (!parsed.problem.isEmpty()) {
        showError(parsed.problem);
        server_->setFocus();
        return false;
    }
    ServerChoice::store(parsed.url);
    return true;
}

SignInPage* SignInPage::make(BusinessFacade& facade, QWidget* parent) {
    std::optional<SignInBackend> backend = facade.signInBackend();
    if (!backend) return nullptr;
    return new SignInPage(std::move(*backend), parent);
}

void SignInPage::setMode(Mode mode) {
    if (loading_ || mode == mode_) return;
    mode_ = mode;
    showError({});
    updateTexts();
    // The user types on where the form starts, not into whatever kept the focus.
    userName_->setFocus();
}

void SignInPage::updateTexts() {
    const bool creating = mode_ == Mode::createAccount;
    title_->setText(creating ? tr("Create an account") : tr("Sign in"));
    submit_->setText(creating ? tr("Create account") : tr("Sign in"));
    switchMode_->setText(creating ? tr("I already have an account") : tr("Create an account…"));
    for (QWidget* w : {static_cast<QWidget*>(mailAddressLabel_), static_cast<QWidget*>(mailAddress_),
                       static_cast<QWidget*>(repeatPasswordLabel_), static_cast<QWidget*>(repeatPassword_)})
        w->setVisible(creating);
}

QString SignInPage::errorText() const { return error_->isHidden() ? QString() : error_->text(); }

void SignInPage::showError(const QString& text) {
    error_->setText(text);
    error_->setVisible(!text.isEmpty());
}

void SignInPage::setLoading(bool loading) {
    if (loading == loading_) return;
    loading_ = loading;
    for (QWidget* w : std::initializer_list<QWidget*>{userName_, mailAddress_, password_, repeatPassword_, submit_,
                                                      switchMode_, server_, showServer_})
        w->setEnabled(!loading);
    busy_->setText(mode_ == Mode::createAccount ? tr("Creating your account…") : tr("Signing in…"));
    busy_->setVisible(loading);
    emit loadingChanged(loading);
}

void SignInPage::submit() {
    if (loading_) return;
    const QString userName = userName_->text().trimmed();
    const QString password = password_->text();
    const bool creating = mode_ == Mode::createAccount;
    // Plain omissions are pointed out here; everything else is for the service to judge.
    if (userName.isEmpty()) return showError(tr("Enter your user name."));
    if (creating && mailAddress_->text().trimmed().isEmpty()) return showError(tr("Enter your mail address."));
    if (password.isEmpty()) return showError(tr("Enter your password."));
    if (creating && repeatPassword_->text() != password) return showError(tr("The two passwords do not match."));

    if ((creating && !backend_.createAccount) || (!creating && !backend_.signIn))
        return showError(tr("Signing in is not available."));
    if (!takeServer()) return;

    showError({});
    setLoading(true);
    // The answer may come on any thread; the page is only touched back on the main thread, and
    // not at all once it is gone.
    QPointer<SignInPage> guard(this);
    auto done = [guard](VoidResult result) {
        MainQueue::async([guard, result = std::move(result)] {
            if (guard) guard->finish(result);
        });
    };
    if (creating) backend_.createAccount(userName, mailAddress_->text().trimmed(), password, std::move(done));
    else backend_.signIn(userName, password, std::move(done));
}

void SignInPage::finish(const VoidResult& result) {
    setLoading(false);
    if (result.isSuccess()) {
        // Secrets do not linger in the widgets once they served.
        password_->clear();
        repeatPassword_->clear();
        showError({});
        emit didFinishSignIn();
        return;
    }
    showError(errorText(result.error(), mode_));
    password_->setFocus();
    password_->selectAll();
    emit didFailSignIn(result.error());
}

void SignInPage::reload() {
    if (loading_) return;
    if (backend_.isReachable && !backend_.isReachable())
        showError(errorText(BusinessError::make(BusinessError::Kind::noConnection), mode_));
    else
        showError({});
}

QString SignInPage::errorText(const BusinessError& error, Mode mode) {
    using Kind = BusinessError::Kind;
    switch (error.kind) {
    case Kind::noConnection:
        if (error.message.startsWith(QLatin1String(ServiceWire::untrustedCertificate)))
            return tr("The server cannot be trusted. %1").arg(error.message);
        return tr("The service cannot be reached. Check your connection and try again.");
    case Kind::timeout: return tr("The service did not answer in time. Please try again.");
    case Kind::api:
        switch (error.apiError.value_or(APIError::unknown)) {
        case APIError::unauthorized:
        case APIError::noLongerAuthorized: return tr("The user name or password is incorrect.");
        case APIError::notAuthorized: return tr("This account may not use this application.");
        case APIError::conflict: return tr("This user name is already taken. Choose another one.");
        case APIError::unprocessableEntity:
        case APIError::badRequest:
            if (!error.message.isEmpty()) return error.message;
            break;
        default: break;
        }
        break;
    default: break;
    }
    const QString failed = mode == Mode::createAccount ? tr("The account could not be created.") : tr("Signing in failed.");
    return error.message.isEmpty() ? failed : failed + u' ' + error.message;
}
