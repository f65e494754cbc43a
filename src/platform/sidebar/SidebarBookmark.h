#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// One entry of the file manager's sidebar bookmarks: a URI and the label shown for it.
struct SidebarBookmark {
    QString uri;    // as written in the file, percent-encoded ("file:///home/a/My%20Folder")
    QString label;  // empty when the line carries none

    // The local path of a "file:" URI, decoded; none for other schemes (network places).
    std::optional<QString> localPath() const;
    // The local path when something is there now. Nothing is mounted or asked of the user to find
    // out: a network place or a missing target does not resolve.
    std::optional<QString> resolvedPath() const;
    // What the sidebar shows: the label, else the target's last path component, else the URI.
    QString displayName() const;

    // The line's parts; none for a line that holds no bookmark (blank, or no URI with a scheme).
    static std::optional<SidebarBookmark> parse(const QByteArray& line);
    // The line written for a bookmark.
    QByteArray line() const;
    // The URI the file managers write for a local path: "file://" and the path percent-encoded.
    static QString uriForPath(const QString& path);
};
