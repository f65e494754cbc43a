#include "platform/loginitem/LoginItem.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QtGlobal>

namespace {

const QString kAutostart = QStringLiteral("/autostart/");
const QString kSuffix = QStringLiteral(".desktop");

bool isUsableIdentifier(const QString& identifier) {
    // Reverse-DNS names only: nothing that could climb out of the folder or hide a newline.
    static const QRegularExpression pattern(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9._-]*$"));
    return identifier.size() <= 200 && pattern.match(identifier).hasMatch() &&
           identifier != QLatin1String("..");
}

// The escapes every string value of a desktop entry takes.
QString escapeValue(const QString& value) {
    QString out;
    out.reserve(value.size() + 8);
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\')) out += QLatin1String("\\\\");
        else if (c == QLatin1Char('\n')) out += QLatin1String("\\n");
        else if (c == QLatin1Char('\t')) out += QLatin1String("\\t");
        else if (c == QLatin1Char('\r')) out += QLatin1String("\\r");
        else if (c == QLatin1Char(' ') && i == 0) out += QLatin1String("\\s");
        else out += c;
    }
    return out;
}

// 1 when the entry at `path` starts its program, 0 when it is hidden or off, -1 when unreadable.
int entryEnabled(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    bool inGroup = false;
    bool enabled = true;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inGroup || line.startsWith(QLatin1Char('#'))) continue;
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("Hidden") && value == QLatin1String("true")) enabled = false;
        if (key == QLatin1String("X-GNOME-Autostart-enabled") && value == QLatin1String("false"))
            enabled = false;
    }
    return enabled ? 1 : 0;
}

bool writeAtomically(const QString& path, const QString& text) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        qWarning("Login item: cannot create %s", qPrintable(QFileInfo(path).absolutePath()));
        return false;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        qWarning("Login item: cannot write %s: %s", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    file.write(text.toUtf8());
    if (!file.commit()) {
        qWarning("Login item: cannot replace %s: %s", qPrintable(path), qPrintable(file.errorString()));
        return false;
    }
    return true;
}

}  // namespace

QString LoginItem::configHome() {
    // Relative values are invalid by the base-directory rules and are ignored.
    const QString configured = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (QDir::isAbsolutePath(configured)) return configured;
    return QDir::homePath() + QStringLiteral("/.config");
}

QStringList LoginItem::configDirs() {
    QStringList dirs;
    const QString configured = qEnvironmentVariable("XDG_CONFIG_DIRS");
    for (const QString& dir : configured.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        if (QDir::isAbsolutePath(dir)) dirs << dir;
    if (dirs.isEmpty()) dirs << QStringLiteral("/etc/xdg");
    return dirs;
}

QString LoginItem::autostartPath(const QString& bundleIdentifier) {
    if (!isUsableIdentifier(bundleIdentifier)) return {};
    return configHome() + kAutostart + bundleIdentifier + kSuffix;
}

QString LoginItem::execArgument(const QString& argument) {
    // Quoted always: inside quotes only " ` $ and \ need a backslash. A literal % is doubled so it
    // is not read as a field code. The string escapes come last, so a backslash ends up as four.
    QString quoted = QStringLiteral("\"");
    for (const QChar c : argument) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
            c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        if (c == QLatin1Char('%')) quoted += QLatin1Char('%');
        quoted += c;
    }
    quoted += QLatin1Char('"');
    return escapeValue(quoted);
}

QString LoginItem::desktopEntry(const QString& name, const QString& executablePath, const QString& icon) {
    const QString iconLine = icon.isEmpty() ? QString() : QStringLiteral("Icon=") + escapeValue(icon) + u'\n';
    return QStringLiteral("[Desktop Entry]\n"
                          "Type=Application\n"
                          "Name=%1\n"
                          "%3"
                          "Exec=%2\n"
                          "X-GNOME-Autostart-enabled=true\n"
                          "Hidden=false\n")
        .arg(escapeValue(name), execArgument(executablePath), iconLine);
}

bool LoginItem::setEnabled(const QString& bundleIdentifier, bool enabled,
                           const QString& executablePath, const QString& name, const QString& icon) {
    const QString path = autostartPath(bundleIdentifier);
    if (path.isEmpty()) {
        qWarning("Login item: unusable identifier \"%s\"", qPrintable(bundleIdentifier));
        return false;
    }
    if (enabled) {
        if (!QDir::isAbsolutePath(executablePath)) {
            qWarning("Login item: executable path \"%s\" is not absolute", qPrintable(executablePath));
            return false;
        }
        const QString shownName = name.isEmpty() ? QFileInfo(executablePath).fileName() : name;
        return writeAtomically(path, desktopEntry(shownName, executablePath, icon));
    }

    bool systemEntry = false;
    for (const QString& dir : configDirs())
        systemEntry = systemEntry || QFileInfo::exists(dir + kAutostart + bundleIdentifier + kSuffix);
    if (systemEntry) {
        return writeAtomically(path, QStringLiteral("[Desktop Entry]\nType=Application\n"
                                                    "Name=%1\nHidden=true\n")
                                         .arg(escapeValue(bundleIdentifier)));
    }
    if (!QFileInfo::exists(path)) return true;
    if (!QFile::remove(path)) {
        qWarning("Login item: cannot remove %s", qPrintable(path));
        return false;
    }
    return true;
}

bool LoginItem::isEnabled(const QString& bundleIdentifier) {
    const QString path = autostartPath(bundleIdentifier);
    if (path.isEmpty()) return false;
    // The user's entry masks the system's entries of the same name.
    if (QFileInfo::exists(path)) return entryEnabled(path) == 1;
    for (const QString& dir : configDirs()) {
        const QString systemPath = dir + kAutostart + bundleIdentifier + kSuffix;
        if (QFileInfo::exists(systemPath)) return entryEnabled(systemPath) == 1;
    }
    return false;
}
