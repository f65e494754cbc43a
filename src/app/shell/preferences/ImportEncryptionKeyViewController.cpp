#include "app/shell/preferences/ImportEncryptionKeyViewController.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QWidget>

#include "app/common/LocalizationController.h"

ImportEncryptionKeyViewController::ImportEncryptionKeyViewController(QObject* parent)
    : PreferencesPane(parent), openPanel_(standardEncryptionKeyOpenPanel()) {}

QWidget* ImportEncryptionKeyViewController::loadView() {
    const LocalizationController t;
    auto* view = new QWidget;
    auto* grid = new QGridLayout(view);
    grid->setContentsMargins(20, 20, 20, 20);
    grid->setColumnStretch(1, 1);
    descriptionCell_ = new QLabel(t.crLabelCreateKeyDescription(), view);
    descriptionCell_->setWordWrap(true);
    grid->addWidget(descriptionCell_, 0, 0, 1, 3);
    keyTextField_ = new QLineEdit(view);
    keyTextField_->setReadOnly(true);
    grid->addWidget(keyTextField_, 1, 0, 1, 2);
    auto* choose = new QPushButton(QStringLiteral("…"), view);
    connect(choose, &QPushButton::clicked, this, [this, choose] { chooseKey(choose); });
    grid->addWidget(choose, 1, 2);
    grid->addWidget(new QLabel(t.crLabelCreateKeyPassword(), view), 2, 0, Qt::AlignRight);
    passwordTextField_ = new QLineEdit(view);
    passwordTextField_->setEchoMode(QLineEdit::Password);
    grid->addWidget(passwordTextField_, 2, 1, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto* cancelButton = new QPushButton(t.crButtonCreateKeyCancel(), view);
    connect(cancelButton, &QPushButton::clicked, this, [this, cancelButton] { cancel(cancelButton); });
    buttons->addWidget(cancelButton);
    auto* importButton = new QPushButton(t.crButtonCreateKey(), view);
    importButton->setDefault(true);
    connect(importButton, &QPushButton::clicked, this, [this, importButton] { importKey(importButton); });
    buttons->addWidget(importButton);
    grid->addLayout(buttons, 3, 0, 1, 3);
    return view;
}

void ImportEncryptionKeyViewController::chooseKey(QObject*) {
    if (!isViewLoaded() || !view()->parentWidget() || !openPanel_) return;
    QPointer<ImportEncryptionKeyViewController> self(this);
    openPanel_(view()->window(), false, [self](const QStringList& paths) {
        if (self && !paths.isEmpty()) self->keyTextField_->setText(paths.first());
    });
}

void ImportEncryptionKeyViewController::importKey(QObject* sender) {
    dismissController(sender);
}

void ImportEncryptionKeyViewController::cancel(QObject* sender) {
    dismissController(sender);
}
