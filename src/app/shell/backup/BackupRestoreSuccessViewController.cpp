#include "app/shell/backup/BackupRestoreSuccessViewController.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/common/AppActions.h"
#include "app/common/LocalizationController.h"
#include "platform/appkit/WindowSheet.h"
#include "platform/appkit/Application.h"

BackupRestoreSuccessViewController::BackupRestoreSuccessViewController(QObject* parent) : BackupBrowserPane(parent) {}

QWidget* BackupRestoreSuccessViewController::loadView() {
    const LocalizationController texts;
    auto* view = new QWidget;
    view->setObjectName(QStringLiteral("RestoreSuccess"));
    auto* layout = new QVBoxLayout(view);
    layout->setContentsMargins(20, 20, 20, 20);
    auto* title = new QLabel(texts.brLabelSuccessfullyRestored());
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    layout->addWidget(title);
    // The restored files are back in the folders the user's programs read; each button shows one.
    const std::pair<QString, QString> opens[] = {
        {texts.brButtonOpenPhotos(), AppAction::openPictures},
        {texts.brButtonOpenVideos(), AppAction::openMovies},
        {texts.brButtonOpenContacts(), AppAction::openContacts},
        {texts.brButtonOpenCalendars(), AppAction::openCalendars},
    };
    for (const auto& [title, action] : opens) {
        auto* button = new QPushButton(title);
        connect(button, &QPushButton::clicked, this, [button, action] { Application::shared().sendAction(action, button); });
        layout->addWidget(button, 0, Qt::AlignLeft);
        openButtons_ << button;
    }
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    doneButton_ = new QPushButton(texts.brButtonDone());
    doneButton_->setDefault(true);
    connect(doneButton_, &QPushButton::clicked, this, [this] { done(doneButton_); });
    buttons->addWidget(doneButton_);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    return view;
}

void BackupRestoreSuccessViewController::setFlag(bool& flag, bool value) {
    flag = value;
    if (isViewLoaded()) showFlags();
    emit flagsChanged();
}

void BackupRestoreSuccessViewController::showFlags() {
    const bool shown[] = {images_, videos_, contacts_, calendars_};
    for (int i = 0; i < openButtons_.size(); ++i) openButtons_[i]->setVisible(shown[i]);
}

void BackupRestoreSuccessViewController::done(QObject*) {
    QWidget* window = view()->window();
    if (WindowSheet::sheetParent(window)) WindowSheet::end(window);
}
