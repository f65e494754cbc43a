#pragma once

#include <QString>

#include <functional>
#include <vector>

#include "frameworks/business/BackupTypes.h"

// Where this machine keeps what a backup covers, read only:
// - contacts: vCard files ("*.vcf", "*.vcard") below "$XDG_DATA_HOME/contacts";
// - calendars: iCalendar files ("*.ics", "*.ifb") below "$XDG_DATA_HOME/calendars";
// - photos: image files below the user's Pictures folder (XDG "PICTURES");
// - videos: video files below the user's Videos folder (XDG "VIDEOS").
// Each folder can be replaced by an environment variable: ORVELLA_BACKUP_CONTACTS,
// ORVELLA_BACKUP_CALENDARS, ORVELLA_BACKUP_PICTURES, ORVELLA_BACKUP_VIDEOS. A restore writes into
// the same folders.
struct BackupSources {
    QString contacts;
    QString calendars;
    QString images;
    QString videos;

    static BackupSources fromEnvironment();
    QString folder(BackupCategory category) const;

    // Whether a file name belongs to the category (by its suffix, case-insensitive).
    static bool matches(BackupCategory category, const QString& fileName);

    struct File {
        QString relativePath;
        QString path;
        std::int64_t size = 0;
        QDateTime modified;
    };
    // The category's files, sorted by relative path. Hidden files and folders are left out and
    // links are not followed, so nothing outside the folder is read. A folder that is the home
    // folder itself or missing gives nothing. `shouldStop` is asked between entries.
    std::vector<File> scan(BackupCategory category, const std::function<bool()>& shouldStop = {}) const;
};
