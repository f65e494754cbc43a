#include "app/shell/doctor/DebugMenuViewController.h"

#include <QDir>
#include <QEvent>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <QUrl>

#include "app/common/ConfigurationProvider.h"
#include "app/core/BusinessFacadeHolder.h"
#include "app/core/SyncFolderPaths.h"
#include "platform/appkit/Workspace.h"

DebugMenuViewController::DebugMenuViewController(QObject* parent) : QObject(parent) {}

DebugMenuViewController::~DebugMenuViewController() { delete view_.data(); }

QWidget* DebugMenuViewController::view() {
    if (!view_) {
        view_ = new QWidget;
        view_->setObjectName(QStringLiteral("DebugMenuView"));
        auto* layout = new QFormLayout(view_);
        accessTokenTextField_ = new QLineEdit;
        refreshTokenTextField_ = new QLineEdit;
        for (QLineEdit* field : {accessTokenTextField_, refreshTokenTextField_}) field->setReadOnly(true);
        layout->addRow(QStringLiteral("Access token"), accessTokenTextField_);
        layout->addRow(QStringLiteral("Refresh token"), refreshTokenTextField_);
        showDatabaseButton_ = new QPushButton;
        triggerCrashButton_ = new QPushButton;
        layout->addRow(showDatabaseButton_);
        layout->addRow(triggerCrashButton_);
        connect(showDatabaseButton_, &QPushButton::clicked, this, [this] { showDatabase(showDatabaseButton_); });
        connect(triggerCrashButton_, &QPushButton::clicked, this, [this] { triggerCrash(triggerCrashButton_); });
        viewDidLoad();
    }
    return view_;
}

void DebugMenuViewController::viewDidLoad() {
    showDatabaseButton_->setText(localizationController_.cdDebugMenuShowDatabaseButton());
    triggerCrashButton_->setText(localizationController_.cdDebugMenuCrashButton());
}

void DebugMenuViewController::viewWillAppear() {
    view();
    const auto tokens = BusinessFacadeHolder::facade().sessionTokens();
    accessTokenTextField_->setText(tokens ? tokens->accessToken : QString());
    refreshTokenTextField_->setText(tokens ? tokens->refreshToken : QString());
}

QString DebugMenuViewController::syncDataFolderPath() { return syncDataDirectoryPath().value_or(QString()); }

void DebugMenuViewController::showDatabase(QObject*) { Workspace::openUrl(QUrl::fromLocalFile(syncDataFolderPath())); }

void DebugMenuViewController::triggerCrash(QObject*) { qFatal("Test crash from the connection doctor"); }
