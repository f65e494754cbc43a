#pragma once

#include <QObject>

#include "app/shell/backup/BackupBrowserPane.h"

class QPushButton;

// The sheet that tells the user the restore succeeded: which categories came back, with a way to
// open each one's folder. Its done button ends it. Main thread only.
class BackupRestoreSuccessViewController : public BackupBrowserPane {
    Q_OBJECT
    Q_PROPERTY(bool shouldRestoreContacts READ shouldRestoreContacts WRITE setShouldRestoreContacts NOTIFY flagsChanged)
    Q_PROPERTY(bool shouldRestoreVideos READ shouldRestoreVideos WRITE setShouldRestoreVideos NOTIFY flagsChanged)
    Q_PROPERTY(bool shouldRestoreImages READ shouldRestoreImages WRITE setShouldRestoreImages NOTIFY flagsChanged)
    Q_PROPERTY(bool shouldRestoreCalendars READ shouldRestoreCalendars WRITE setShouldRestoreCalendars NOTIFY flagsChanged)

public:
    explicit BackupRestoreSuccessViewController(QObject* parent = nullptr);

    bool shouldRestoreContacts() const { return contacts_; }
    void setShouldRestoreContacts(bool value) { setFlag(contacts_, value); }
    bool shouldRestoreVideos() const { return videos_; }
    void setShouldRestoreVideos(bool value) { setFlag(videos_, value); }
    bool shouldRestoreImages() const { return images_; }
    void setShouldRestoreImages(bool value) { setFlag(images_, value); }
    bool shouldRestoreCalendars() const { return calendars_; }
    void setShouldRestoreCalendars(bool value) { setFlag(calendars_, value); }

    QPushButton* doneButton() const { return doneButton_; }
    // The open buttons, in the order photos, videos, contacts, calendars; hidden for a category
    // that was not restored.
    QList<QPushButton*> openButtons() const { return openButtons_; }

    // Ends the sheet this view is shown in.
    Q_INVOKABLE void done(QObject* sender = nullptr);

signals:
    void flagsChanged();

protected:
    QWidget* loadView() override;
    void viewDidLoad() override { showFlags(); }

private:
    void setFlag(bool& flag, bool value);
    void showFlags();

    bool contacts_ = true, videos_ = true, images_ = true, calendars_ = true;
    QPushButton* doneButton_ = nullptr;
    QList<QPushButton*> openButtons_;
};
