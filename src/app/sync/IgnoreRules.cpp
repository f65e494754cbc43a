#include "app/sync/IgnoreRules.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/common/LogChannels.h"

namespace IgnoreRules {

namespace {

// The text after the last dot, when the dot does not begin the name ("~lock.tmp" has "tmp",
// ".tmp" has none).
QString pathExtension(const QString& name) {
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0) return {};
    return name.mid(dot + 1);
}

// Whether this process may access the item in `mode`; none when the kernel cannot say.
std::optional<bool> mayAccess(const QByteArray& path, int mode) {
    if (::faccessat(AT_FDCWD, path.constData(), mode, AT_EACCESS) == 0) return true;
    if (errno == EACCES || errno == EROFS || errno == ETXTBSY || errno == EPERM) return false;
    return std::nullopt;
}

}  // namespace

const QString& ignoreCharacters() {
    static const QString characters = QStringLiteral("\\?*\u2018<>|");
    return characters;
}

std::optional<NameRule> nameRule(const QString& name) {
    if (name.isEmpty()) return NameRule::emptyName;

    static const QStringList reserved{QStringLiteral(".download"), QStringLiteral(".DS_Store"),
                                      QStringLiteral(".TemporaryItems"), QStringLiteral("Icon\r"),
                                      QStringLiteral(".ovmd.db")};
    if (reserved.contains(name)) return NameRule::reservedName;

    if (name.startsWith(QStringLiteral("~$")) || name.startsWith(QStringLiteral(".~"))) return NameRule::lockFilePrefix;

    const QString extension = pathExtension(name);
    if (name.startsWith(u'~') && extension == QStringLiteral("tmp")) return NameRule::temporaryLockFile;

    if (name == QStringLiteral("desktop.ini") || name == QStringLiteral("thumbs.db")) return NameRule::windowsMetadata;

    if (extension == QStringLiteral("crdownload") || extension == QStringLiteral("tmp"))
        return NameRule::temporaryExtension;

    for (const QChar c : ignoreCharacters())
        if (name.contains(c)) return NameRule::forbiddenCharacter;
    return std::nullopt;
}

namespace {

// What the item says of itself once it is known whether it is a link.
std::optional<ResourceValues> valuesOf(const QString& path, const QByteArray& native, bool isLink) {
    ResourceValues values;
    values.isSymbolicLink = isLink;
    // The desktop has no alias files of its own; a link plays their part.
    values.isAliasFile = isLink;
    values.isHidden = QFileInfo(path).fileName().startsWith(u'.');
    if (isLink) {
        // A link is ignored whatever its target allows; its own mode says nothing.
        values.isReadable = true;
        values.isWritable = true;
        return values;
    }
    const std::optional<bool> both = mayAccess(native, R_OK | W_OK);
    if (both == true) {
        // Nearly every item is both: one question then, and two only to tell which it is not.
        values.isReadable = true;
        values.isWritable = true;
    } else if (!both && errno == ENOENT) {
        return std::nullopt;  // gone since it was looked at
    } else {
        values.isReadable = mayAccess(native, R_OK);
        values.isWritable = mayAccess(native, W_OK);
    }
    return values;
}

}  // namespace

std::optional<ResourceValues> readResourceValues(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat status {};
    if (::lstat(native.constData(), &status) != 0) return std::nullopt;
    return valuesOf(path, native, S_ISLNK(status.st_mode));
}

bool ignoresByResourceValues(const ResourceValues& values) {
    return values.isSymbolicLink.value_or(false) || values.isAliasFile.value_or(false) ||
           values.isHidden.value_or(false) || !(values.isWritable.value_or(true) && values.isReadable.value_or(true));
}

bool shouldIgnoreItem(const QString& itemPath, bool knownFileOrFolder) {
    // A folder may come with a trailing separator; its name is still its last component.
    QString path = itemPath;
    while (path.size() > 1 && path.endsWith(u'/')) path.chop(1);
    const QString name = path == QStringLiteral("/") ? path : QFileInfo(path).fileName();
    if (nameRule(name)) return true;

    const std::optional<ResourceValues> values =
        knownFileOrFolder ? valuesOf(path, QFile::encodeName(path), false) : readResourceValues(path);
    if (!values) return false;
    if (!values->isSymbolicLink || !values->isWritable || !values->isReadable || !values->isAliasFile ||
        !values->isHidden) {
        OVLOG_WARNING(AppLog::frameworkSync(),
                      QStringLiteral("Cannot get resourceValues for ") + QUrl::fromLocalFile(path).toString());
        return false;
    }
    return ignoresByResourceValues(*values);
}

bool isRegularItem(const QString& name, const QString& parentName, const std::optional<QString>& userName) {
    if (parentName.isEmpty())
        return name != QStringLiteral("root") && name != QStringLiteral("users") && name != QStringLiteral("public");
    if (!userName || name != *userName) return true;
    return parentName != QStringLiteral("users");
}

bool isSystemFolder(const QString& name, const QString& path) {
    if (name == QStringLiteral("root")) return true;
    // A path has no components only when it is empty ("/" is one component).
    if (path.isEmpty()) return true;
    return name == QStringLiteral("users");
}

}  // namespace IgnoreRules
