#pragma once

#include <QString>
#include <QStringList>

// Starting a program at log-in through an XDG autostart entry,
// $XDG_CONFIG_HOME/autostart/<bundleIdentifier>.desktop. Entries are replaced atomically, so a
// session starting while we write never reads half an entry.
class LoginItem {
public:
    // Writes the entry (enabled) or takes it away (disabled). `executablePath` must be absolute
    // when enabling; `name` defaults to the executable's file name; `icon`, an icon name of the
    // desktop's theme, is what session settings show beside it. When the system ships an entry
    // of the same name, disabling writes a hidden override instead of removing ours, since removing
    // would let the system's entry start the program anyway. Answers whether it worked.
    static bool setEnabled(const QString& bundleIdentifier, bool enabled,
                           const QString& executablePath = {}, const QString& name = {},
                           const QString& icon = {});
    // Whether the entry that the session would use (ours, else the system's) starts the program.
    static bool isEnabled(const QString& bundleIdentifier);

    // Where our entry lives; empty when the identifier cannot name a file safely.
    static QString autostartPath(const QString& bundleIdentifier);
    // The entry's text.
    static QString desktopEntry(const QString& name, const QString& executablePath, const QString& icon = {});
    // One argument of an Exec line, quoted and escaped as desktop entries require.
    static QString execArgument(const QString& argument);

private:
    static QString configHome();
    static QStringList configDirs();
};
