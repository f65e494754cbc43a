#include "app/shell/doctor/ConnectionDoctorViewController.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "app/common/LogChannels.h"
#include "app/core/SettingsController.h"
#include "app/shell/doctor/ConnectionDoctorTabViewController.h"
#include "app/sync/SyncController.h"
#include "frameworks/logger/Logger.h"
#include "frameworks/settings/OrvellaSettingsManager.h"
#include "platform/appkit/Workspace.h"

ConnectionDoctorViewController::ConnectionDoctorViewController(QObject* parent) : QObject(parent) {}

ConnectionDoctorViewController::~ConnectionDoctorViewController() {
    // The tab view's widget is inside this view; let its controller take it down first.
    delete tabViewController_;
    delete view_.data();
}

QWidget* ConnectionDoctorViewController::view() {
    if (!view_) loadView();
    return view_;
}

void ConnectionDoctorViewController::loadView() {
    const LocalizationController& texts = localizationController_;
    view_ = new QWidget;
    view_->setObjectName(QStringLiteral("ConnectionDoctorView"));
    auto* layout = new QVBoxLayout(view_);

    auto* tabs = new ConnectionDoctorTabViewController(this);
    tabViewController_ = tabs;
    prepareForSegue(tabsSegueIdentifier, tabs);
    layout->addWidget(tabs->view(), 1);

    continuouslyUpdateCheckBox_ = new QCheckBox(texts.cdLabelContinuouslyUpdateErrorLogs());
    OrvellaSettingsManager* settings = SettingsController().settings();
    continuouslyUpdateCheckBox_->setChecked(settings->continuouslyUpdateDebugInterface());
    connect(continuouslyUpdateCheckBox_, &QCheckBox::toggled, settings,
            &OrvellaSettingsManager::setContinuouslyUpdateDebugInterface);
    connect(settings, &OrvellaSettingsManager::continuouslyUpdateDebugInterfaceChanged, continuouslyUpdateCheckBox_,
            [box = continuouslyUpdateCheckBox_, settings] { box->setChecked(settings->continuouslyUpdateDebugInterface()); });
    layout->addWidget(continuouslyUpdateCheckBox_);

    auto* buttons = new QHBoxLayout;
    helpButton_ = new QPushButton(QStringLiteral("?"));
    helpButton_->setObjectName(QStringLiteral("helpButton"));
    helpButton_->setFixedWidth(helpButton_->sizeHint().height());
    showLogsButton_ = new QPushButton(texts.cdButtonShowLogs());
    clearLogsButton_ = new QPushButton(texts.cdButtonClearLogs());
    buttons->addWidget(helpButton_);
    buttons->addStretch();
    buttons->addWidget(showLogsButton_);
    buttons->addWidget(clearLogsButton_);
    layout->addLayout(buttons);

    connect(helpButton_, &QPushButton::clicked, this, [this] { openHelp(helpButton_); });
    connect(showLogsButton_, &QPushButton::clicked, this, [this] { showLogs(showLogsButton_); });
    connect(clearLogsButton_, &QPushButton::clicked, this,
            [this] { tabViewController_->clearConnectionDoctorTabViews(clearLogsButton_); });
}

void ConnectionDoctorViewController::prepareForSegue(const QString&, QObject* destination) {
    if (auto* manageable = dynamic_cast<ConnectionDoctorManageable*>(destination)) {
        destinationController_ = manageable;
        // A controller handed down before the embedding reaches the tabs too.
        if (syncController_) manageable->setSyncController(syncController_);
    }
}

void ConnectionDoctorViewController::setSyncController(SyncController* controller) {
    syncController_ = controller;
    if (destinationController_) destinationController_->setSyncController(controller);
}

void ConnectionDoctorViewController::openHelp(QObject*) {
    Workspace::openUrlText(localizationController_.cdButtonHelpURL());
}

void ConnectionDoctorViewController::showLogs(QObject*) {
    const std::optional<QString> file = Logger::hasFileLogger() ? Logger::currentLogFilePath() : std::nullopt;
    if (!file) {
        OVLOG_ERROR(AppLog::flow(), QStringLiteral("No file logger has been configured"));
        return;
    }
    Workspace::openUrl(QUrl::fromLocalFile(QFileInfo(*file).absolutePath()));
}
