#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

#include "platform/sidebar/SidebarBookmark.h"

// The file manager's sidebar favourites, kept in the GTK bookmarks file
// ($XDG_CONFIG_HOME/gtk-3.0/bookmarks, one "URI[ label]" per line) that GTK file managers and the
// file chooser share.
//
// Every call reads the file afresh, and every change rewrites it atomically (temporary file, then
// rename) so that a file manager reading it never sees half a list. Lines this class does not change,
// including ones it cannot make sense of, are written back byte for byte. A missing file or folder
// is an empty list; the folder is made on the first write. Not thread-safe per file: callers keep to
// one thread.
class SidebarBookmarks {
public:
    // "$XDG_CONFIG_HOME/gtk-3.0/bookmarks" (XDG_CONFIG_HOME defaulting to ~/.config).
    static QString defaultFilePath();

    explicit SidebarBookmarks(QString filePath = defaultFilePath());

    const QString& filePath() const { return filePath_; }

    // The bookmarks in file order; none when the file exists but cannot be read.
    std::optional<QList<SidebarBookmark>> bookmarks() const;
    // Appends a bookmark for the local path with the label (none: the sidebar shows the folder's
    // name). A path already bookmarked is left as it is. False when the file could not be read or
    // written.
    bool add(const QString& path, const QString& label = {});
    // Removes every bookmark the predicate picks, each looked at once, in file order. The number
    // removed, or none when the file could not be read or written (then nothing is removed).
    std::optional<int> removeIf(const std::function<bool(const SidebarBookmark&)>& shouldRemove);
    // Removes every bookmark of the local path.
    std::optional<int> removePath(const QString& path);

private:
    // The file's lines without their line ends; an empty list for a missing file; none when
    // unreadable.
    std::optional<QList<QByteArray>> readLines() const;
    bool writeLines(const QList<QByteArray>& lines) const;

    QString filePath_;
};
