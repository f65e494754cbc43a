#include "platform/sidebar/SidebarBookmark.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

std::optional<QString> SidebarBookmark::localPath() const {
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().compare(QLatin1String("file"), Qt::CaseInsensitive) != 0) return std::nullopt;
    // A host other than this machine makes it a network place, even with a "file" scheme.
    const QString host = url.host();
    if (!host.isEmpty() && host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) != 0) return std::nullopt;
    const QString path = url.path(QUrl::FullyDecoded);
    if (!path.startsWith(u'/')) return std::nullopt;
    return QDir::cleanPath(path);
}

std::optional<QString> SidebarBookmark::resolvedPath() const {
    auto path = localPath();
    if (!path || !QFileInfo::exists(*path)) return std::nullopt;
    return path;
}

QString SidebarBookmark::displayName() const {
    if (!label.isEmpty()) return label;
    if (const auto path = localPath()) {
        const QString name = QFileInfo(*path).fileName();
        return name.isEmpty() ? *path : name;
    }
    const QUrl url(uri);
    const QString name = url.fileName(QUrl::FullyDecoded);
    if (!name.isEmpty()) return name;
    return url.host().isEmpty() ? uri : url.host();
}

std::optional<SidebarBookmark> SidebarBookmark::parse(const QByteArray& line) {
    QByteArray text = line;
    if (text.endsWith('\r')) text.chop(1);
    const qsizetype space = text.indexOf(' ');
    const QByteArray uriPart = space < 0 ? text : text.left(space);
    if (uriPart.isEmpty()) return std::nullopt;
    const QString uri = QString::fromUtf8(uriPart);
    const QUrl url(uri, QUrl::StrictMode);
    if (!url.isValid() || url.scheme().isEmpty()) return std::nullopt;
    SidebarBookmark bookmark;
    bookmark.uri = uri;
    if (space >= 0) bookmark.label = QString::fromUtf8(text.mid(space + 1));
    return bookmark;
}

QByteArray SidebarBookmark::line() const {
    QByteArray result = uri.toUtf8();
    if (!label.isEmpty()) {
        // A line end in a label would split the entry in two.
        QString safeLabel = label;
        safeLabel.replace(u'\n', u' ').replace(u'\r', u' ');
        result += ' ' + safeLabel.toUtf8();
    }
    return result;
}

QString SidebarBookmark::uriForPath(const QString& path) {
    return QString::fromLatin1(QUrl::fromLocalFile(QDir::cleanPath(path)).toEncoded());
}
