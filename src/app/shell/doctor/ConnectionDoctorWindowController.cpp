#include "app/shell/doctor/ConnectionDoctorWindowController.h"

#include <QVBoxLayout>
#include <QWidget>

#include "app/common/LocalizationController.h"
#include "app/shell/doctor/ConnectionDoctorViewController.h"
#include "platform/appkit/Storyboard.h"

ConnectionDoctorWindowController::ConnectionDoctorWindowController(QObject* parent)
    : QObject(parent), contentViewController_(new ConnectionDoctorViewController(this)) {}

ConnectionDoctorWindowController::~ConnectionDoctorWindowController() {
    delete contentViewController_;
    delete window_.data();
}

QWidget* ConnectionDoctorWindowController::window() {
    if (!window_) {
        window_ = new QWidget(nullptr, Qt::Window);
        window_->setObjectName(QStringLiteral("ConnectionDoctorWindow"));
        window_->setWindowTitle(LocalizationController().cdWindowTitleMainWindow());
        window_->setMinimumSize(640, 400);
        auto* layout = new QVBoxLayout(window_);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(contentViewController_->view());
    }
    return window_;
}

void ConnectionDoctorWindowController::showWindow(QObject*) {
    QWidget* w = window();
    w->show();
    w->raise();
    w->activateWindow();
}

void registerConnectionDoctorScenes() {
    Storyboard::registerScene(ConnectionDoctorWindowController::storyboardName,
                              ConnectionDoctorWindowController::storyboardIdentifier,
                              [] { return new ConnectionDoctorWindowController; });
}
