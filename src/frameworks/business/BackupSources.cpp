#include "frameworks/business/BackupSources.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace {

QString fromEnvironment(const char* variable, const QString& fallback) {
    const QString value = qEnvironmentVariable(variable);
    return value.isEmpty() ? fallback : value;
}

const QStringList& suffixes(BackupCategory category) {
    static const QStringList contacts{QStringLiteral("vcf"), QStringLiteral("vcard")};
    static const QStringList calendars{QStringLiteral("ics"), QStringLiteral("ifb")};
    static const QStringList images{QStringLiteral("jpg"), QStringLiteral("jpeg"), QStringLiteral("png"),
                                    QStringLiteral("gif"), QStringLiteral("heic"), QStringLiteral("heif"),
                                    QStringLiteral("webp"), QStringLiteral("tif"), QStringLiteral("tiff"),
                                    QStringLiteral("bmp"), QStringLiteral("dng"), QStringLiteral("cr2"),
                                    QStringLiteral("nef"), QStringLiteral("arw"), QStringLiteral("raw")};
    static const QStringList videos{QStringLiteral("mp4"), QStringLiteral("m4v"), QStringLiteral("mov"),
                                    QStringLiteral("avi"), QStringLiteral("mkv"), QStringLiteral("webm"),
                                    QStringLiteral("mpg"), QStringLiteral("mpeg"), QStringLiteral("3gp"),
                                    QStringLiteral("wmv"), QStringLiteral("ogv")};
    switch (category) {
    case BackupCategory::contacts: return contacts;
    case BackupCategory::calendars: return calendars;
    case BackupCategory::images: return images;
    case BackupCategory::videos: return videos;
    }
    return contacts;
}

}  // namespace

BackupSources BackupSources::fromEnvironment() {
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    BackupSources s;
    s.contacts = ::fromEnvironment("ORVELLA_BACKUP_CONTACTS", data + QStringLiteral("/contacts"));
    s.calendars = ::fromEnvironment("ORVELLA_BACKUP_CALENDARS", data + QStringLiteral("/calendars"));
    s.images = ::fromEnvironment("ORVELLA_BACKUP_PICTURES", QStandardPaths::writableLocation(QStandardPaths::PicturesLocation));
    s.videos = ::fromEnvironment("ORVELLA_BACKUP_VIDEOS", QStandardPaths::writableLocation(QStandardPaths::MoviesLocation));
    return s;
}

QString BackupSources::folder(BackupCategory category) const {
    switch (category) {
    case BackupCategory::contacts: return contacts;
    case BackupCategory::calendars: return calendars;
    case BackupCategory::images: return images;
    case BackupCategory::videos: return videos;
    }
    return {};
}

bool BackupSources::matches(BackupCategory category, const QString& fileName) {
    return suffixes(category).contains(QFileInfo(fileName).suffix().toLower());
}

std::vector<BackupSources::File> BackupSources::scan(BackupCategory category, const std::function<bool()>& shouldStop) const {
    std::vector<File> files;
    const QString base = folder(category);
    if (base.isEmpty() || !QFileInfo(base).isDir()) return files;
    // Without an XDG user folder the desktop answers the home folder: backing that up whole was
    // never asked for.
    if (QDir(base).canonicalPath() == QDir(QDir::homePath()).canonicalPath()) return files;
    const QDir root(base);
    QDirIterator it(base, QDir::Files | QDir::NoSymLinks | QDir::Readable, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        if (shouldStop && shouldStop()) break;
        it.next();
        const QFileInfo info = it.fileInfo();
        const QString relative = root.relativeFilePath(info.filePath());
        const QStringList parts = relative.split(u'/');
        const bool hidden = std::any_of(parts.begin(), parts.end(), [](const QString& part) { return part.startsWith(u'.'); });
        if (hidden || !matches(category, info.fileName())) continue;
        files.push_back({relative, info.filePath(), info.size(), info.lastModified().toUTC()});
    }
    std::sort(files.begin(), files.end(), [](const File& a, const File& b) { return a.relativePath < b.relativePath; });
    return files;
}
