#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <zip.h>

#include <optional>

namespace ziptest {

// The entry names of an archive, in archive order, with the top-level UUID folder written "<top>";
// nothing when the file is not a readable archive or its top level is not one UUID folder.
inline std::optional<QStringList> entries(const QString& archivePath) {
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(archivePath).constData(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
    if (!archive) return std::nullopt;
    static const QRegularExpression top(
        QStringLiteral("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}/"));
    QStringList names;
    QString topName;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i) {
        QString name = QString::fromUtf8(zip_get_name(archive, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_GUESS));
        const QRegularExpressionMatch match = top.match(name);
        if (!match.hasMatch() || (!topName.isEmpty() && match.captured() != topName)) {
            zip_discard(archive);
            return std::nullopt;
        }
        topName = match.captured();
        names << QStringLiteral("<top>/") + name.mid(topName.size());
    }
    zip_discard(archive);
    return names;
}

// The bytes of one entry, named with "<top>" as entries() gives them.
inline std::optional<QByteArray> content(const QString& archivePath, const QString& entry) {
    int error = 0;
    zip_t* archive = zip_open(QFile::encodeName(archivePath).constData(), ZIP_RDONLY, &error);
    if (!archive) return std::nullopt;
    std::optional<QByteArray> result;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0) && !result; ++i) {
        const QString name = QString::fromUtf8(zip_get_name(archive, static_cast<zip_uint64_t>(i), 0));
        if (QStringLiteral("<top>") + name.mid(name.indexOf(u'/')) != entry) continue;
        zip_stat_t stat;
        if (zip_stat_index(archive, static_cast<zip_uint64_t>(i), 0, &stat) != 0) break;
        zip_file_t* file = zip_fopen_index(archive, static_cast<zip_uint64_t>(i), 0);
        if (!file) break;
        QByteArray data(static_cast<qsizetype>(stat.size), '\0');
        if (zip_fread(file, data.data(), stat.size) == static_cast<zip_int64_t>(stat.size)) result = data;
        zip_fclose(file);
    }
    zip_discard(archive);
    return result;
}

inline bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

}  // namespace ziptest
