#include "app/shell/preferences/CreateEncryptionKeyViewController.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPointer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QWidget>

#include <pwd.h>
#include <unistd.h>

#include "platform/appkit/Workspace.h"

CreateEncryptionKeyViewController::CreateEncryptionKeyViewController(QObject* parent)
    : PreferencesPane(parent), openPanel_(standardEncryptionKeyOpenPanel()) {}

QString CreateEncryptionKeyViewController::defaultBackupKeyPath() {
    QString home;
    if (const passwd* record = getpwuid(getuid()); record && record->pw_dir) home = QString::fromLocal8Bit(record->pw_dir);
    if (home.isEmpty()) home = QDir::homePath();
    return QDir(home).filePath(QStringLiteral("Downloads"));
}

void CreateEncryptionKeyViewController::setPassword(const QString& value) {
    if (password_ == value) return;
    password_ = value;
    refresh();
    emit passwordChanged();
}

void CreateEncryptionKeyViewController::setVerifyPassword(const QString& value) {
    if (verifyPassword_ == value) return;
    verifyPassword_ = value;
    refresh();
    emit verifyPasswordChanged();
}

void CreateEncryptionKeyViewController::setBackupKeyPath(const QString& value) {
    if (backupKeyPath_ == value) return;
    backupKeyPath_ = value;
    refresh();
    emit backupKeyPathChanged();
}

void CreateEncryptionKeyViewController::setHasUserAgreed(bool value) {
    if (hasUserAgreed_ == value) return;
    hasUserAgreed_ = value;
    refresh();
    emit hasUserAgreedChanged();
}

bool CreateEncryptionKeyViewController::canCreate() const {
    return !password_.isEmpty() && password_ == verifyPassword_ && hasUserAgreed_;
}

QWidget* CreateEncryptionKeyViewController::loadView() {
    const LocalizationController& t = localizationController_;
    auto* view = new QWidget;
    gridView_ = new QGridLayout(view);
    gridView_->setContentsMargins(20, 20, 20, 20);
    gridView_->setColumnStretch(1, 1);
    int row = 0;
    descriptionCell_ = new QLabel(t.crLabelCreateKeyDescription(), view);
    descriptionCell_->setWordWrap(true);
    gridView_->addWidget(descriptionCell_, row++, 0);
    passwordSeparatorCell_ = makeSeparatorLine(view);
    gridView_->addWidget(passwordSeparatorCell_, row++, 0);

    gridView_->addWidget(new QLabel(t.crLabelCreateKeyPassword(), view), row, 0, Qt::AlignRight);
    passwordField_ = new QLineEdit(view);
    passwordField_->setEchoMode(QLineEdit::Password);
    connect(passwordField_, &QLineEdit::textChanged, this, &CreateEncryptionKeyViewController::setPassword);
    gridView_->addWidget(passwordField_, row++, 1);
    gridView_->addWidget(new QLabel(t.crLabelCreateKeyVerify(), view), row, 0, Qt::AlignRight);
    verifyField_ = new QLineEdit(view);
    verifyField_->setEchoMode(QLineEdit::Password);
    connect(verifyField_, &QLineEdit::textChanged, this, &CreateEncryptionKeyViewController::setVerifyPassword);
    gridView_->addWidget(verifyField_, row++, 1);

    gridView_->addWidget(new QLabel(t.crLabelCreateKeySaveKeyCopyTo(), view), row, 0, Qt::AlignRight);
    backupKeyMenu_ = new QComboBox(view);
    backupKeyMenu_->addItem(QString());
    backupKeyMenu_->addItem(t.crMenuItemOtherFolder());
    connect(backupKeyMenu_, &QComboBox::activated, this, [this](int index) {
        if (index == 1) showOpenPanel(backupKeyMenu_);
    });
    gridView_->addWidget(backupKeyMenu_, row++, 1);

    userConsentSeparatorCell_ = makeSeparatorLine(view);
    gridView_->addWidget(userConsentSeparatorCell_, row++, 0);
    checkbox_ = new QCheckBox(t.crLabelCreateKeyUserConsent(), view);
    connect(checkbox_, &QCheckBox::toggled, this, &CreateEncryptionKeyViewController::setHasUserAgreed);
    gridView_->addWidget(checkbox_, row++, 0, 1, 2);

    const SheetButtons buttons = makeSheetButtons(view, t.crButtonCreateKeyCancel(), t.crButtonCreateKey());
    connect(buttons.help, &QPushButton::clicked, this, [this, help = buttons.help] { openHelp(help); });
    connect(buttons.cancel, &QPushButton::clicked, this, [this, cancelButton = buttons.cancel] { cancel(cancelButton); });
    createButton_ = buttons.confirm;
    connect(createButton_, &QPushButton::clicked, this, [this] { create(createButton_); });
    gridView_->addLayout(buttons.layout, row++, 0, 1, 2);
    return view;
}

void CreateEncryptionKeyViewController::viewDidLoad() {
    for (QWidget* cell : {static_cast<QWidget*>(descriptionCell_), passwordSeparatorCell_, userConsentSeparatorCell_})
        mergeRowAcrossColumns(gridView_, cell);
    setBackupKeyPath(defaultBackupKeyPath());
    refresh();
}

void CreateEncryptionKeyViewController::refresh() {
    if (!backupKeyMenu_) return;
    backupKeyMenu_->setItemText(0, QDir(backupKeyPath_).dirName());
    backupKeyMenu_->setItemData(0, backupKeyPath_, Qt::ToolTipRole);
    createButton_->setEnabled(canCreate());
    const QSignalBlocker blocker(checkbox_);
    checkbox_->setChecked(hasUserAgreed_);
}

void CreateEncryptionKeyViewController::showOpenPanel(QObject*) {
    // The pop-up goes back to the folder chosen so far; "Other…" is a command, not a choice.
    if (backupKeyMenu_) backupKeyMenu_->setCurrentIndex(0);
    if (!isViewLoaded() || !view()->parentWidget() || !openPanel_) return;
    QPointer<CreateEncryptionKeyViewController> self(this);
    openPanel_(view()->window(), true, [self](const QStringList& paths) {
        if (self && !paths.isEmpty()) self->setBackupKeyPath(paths.first());
    });
}

void CreateEncryptionKeyViewController::openHelp(QObject*) {
    Workspace::openUrlText(localizationController_.crButtonCreateKeyHelpURL());
}

void CreateEncryptionKeyViewController::create(QObject* sender) {
    dismissController(sender);
}

void CreateEncryptionKeyViewController::cancel(QObject* sender) {
    dismissController(sender);
}
