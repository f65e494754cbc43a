#include "platform/sidebar/SidebarBookmarks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

QString SidebarBookmarks::defaultFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/gtk-3.0/bookmarks");
}

SidebarBookmarks::SidebarBookmarks(QString filePath) : filePath_(std::move(filePath)) {}

std::optional<QList<QByteArray>> SidebarBookmarks::readLines() const {
    QFile file(filePath_);
    if (!file.exists()) return QList<QByteArray>{};
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    const QByteArray content = file.readAll();
    if (file.error() != QFileDevice::NoError) return std::nullopt;
    QList<QByteArray> lines = content.split('\n');
    // The line end of the last line leaves an empty piece behind it.
    if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
    return lines;
}

bool SidebarBookmarks::writeLines(const QList<QByteArray>& lines) const {
    QString target = filePath_;
    // A bookmarks file that is a link (kept in a dotfiles folder, say) stays one: write where it
    // points.
    const QFileInfo info(filePath_);
    if (info.isSymLink()) {
        const QString canonical = info.canonicalFilePath();
        target = canonical.isEmpty() ? info.symLinkTarget() : canonical;
    }
    if (!QDir().mkpath(QFileInfo(target).absolutePath())) return false;
    QSaveFile file(target);
    file.setDirectWriteFallback(false);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QByteArray content;
    for (const QByteArray& line : lines) content += line + '\n';
    if (file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

std::optional<QList<SidebarBookmark>> SidebarBookmarks::bookmarks() const {
    const auto lines = readLines();
    if (!lines) return std::nullopt;
    QList<SidebarBookmark> result;
    for (const QByteArray& line : *lines) {
        if (auto bookmark = SidebarBookmark::parse(line)) result.append(std::move(*bookmark));
    }
    return result;
}

bool SidebarBookmarks::add(const QString& path, const QString& label) {
    auto lines = readLines();
    if (!lines) return false;
    const QString cleanPath = QDir::cleanPath(path);
    for (const QByteArray& line : *lines) {
        const auto bookmark = SidebarBookmark::parse(line);
        if (bookmark && bookmark->localPath() == cleanPath) return true;
    }
    lines->append(SidebarBookmark{SidebarBookmark::uriForPath(cleanPath), label}.line());
    return writeLines(*lines);
}

std::optional<int> SidebarBookmarks::removeIf(const std::function<bool(const SidebarBookmark&)>& shouldRemove) {
    const auto lines = readLines();
    if (!lines) return std::nullopt;
    QList<QByteArray> kept;
    int removed = 0;
    for (const QByteArray& line : *lines) {
        const auto bookmark = SidebarBookmark::parse(line);
        if (bookmark && shouldRemove(*bookmark)) {
            ++removed;
            continue;
        }
        kept.append(line);
    }
    if (removed == 0) return 0;
    if (!writeLines(kept)) return std::nullopt;
    return removed;
}

std::optional<int> SidebarBookmarks::removePath(const QString& path) {
    const QString cleanPath = QDir::cleanPath(path);
    return removeIf([&](const SidebarBookmark& bookmark) { return bookmark.localPath() == cleanPath; });
}
