#pragma once

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QStringList>

#include <zip.h>

#include <optional>

namespace ziptest {

// The entry names in archive order, the one top-level UUID folder written "<top>"; nothing when the
// file is not a sound archive or has anything else at its top level.
inline std::optional<QStringList> entries(const QString& archivePath) {
    zip_t* archive = zip_open(QFile::encodeName(archivePath).constData(), ZIP_RDONLY | ZIP_CHECKCONS, nullptr);
    if (!archive) return std::nullopt;
    static const QRegularExpression uuid(QStringLiteral("^[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}/"));
    std::optional<QStringList> names = QStringList();
    QString top;
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0) && names; ++i) {
        const QString name = QString::fromUtf8(zip_get_name(archive, static_cast<zip_uint64_t>(i), 0));
        const QString prefix = uuid.match(name).captured();
        if (prefix.isEmpty() || (!top.isEmpty() && prefix != top)) names.reset();
        else *names << QStringLiteral("<top>/") + name.mid((top = prefix).size());
    }
    zip_discard(archive);
    return names;
}

inline bool writeFile(const QString& path, const QByteArray& data) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

}  // namespace ziptest
