#pragma once

#include <QString>

#include <optional>

// Which local items the sync engine leaves alone, and which remote folders are the service's own.
// Stateless and free of locks: the engine asks from its own threads.
namespace IgnoreRules {

// The rule that ignores an item by its name alone, tried in this order.
enum class NameRule {
    emptyName,            // no name at all
    reservedName,         // ".download", ".DS_Store", ".TemporaryItems", "Icon\r", ".ovmd.db"
    lockFilePrefix,       // "~$…" or ".~…"
    temporaryLockFile,    // "~….tmp"
    windowsMetadata,      // "desktop.ini", "thumbs.db"
    temporaryExtension,   // ".crdownload" or ".tmp"
    forbiddenCharacter,   // any of \ ? * ‘ < > |
};

// The characters a synced name may not contain.
const QString& ignoreCharacters();

// The first name rule that ignores `name` (compared whole and case-sensitively), if any.
std::optional<NameRule> nameRule(const QString& name);

// What the item on disk says about itself; a value that could not be learnt is none.
struct ResourceValues {
    std::optional<bool> isSymbolicLink;
    std::optional<bool> isWritable;
    std::optional<bool> isReadable;
    std::optional<bool> isAliasFile;
    std::optional<bool> isHidden;
};

// The item's values, without following a symbolic link; none when the item cannot be examined
// (it does not exist, or a folder on its way cannot be entered). Readable and writable mean: for
// this process, as the kernel decides it.
std::optional<ResourceValues> readResourceValues(const QString& path);

// Ignored for what it is on disk: a link, an alias, hidden, or not both readable and writable by
// us. Every value must be known; the caller decides about unknown ones.
bool ignoresByResourceValues(const ResourceValues& values);

// The whole decision for an item at an absolute path: the name rules, then what the disk says.
// An item the disk cannot tell about is synced (a missing value is logged). `knownFileOrFolder`:
// the caller has just found it to be a plain file or folder, not a link, so it is not looked at
// again for that, only asked about access.
bool shouldIgnoreItem(const QString& path, bool knownFileOrFolder = false);

// Whether a remote folder is an ordinary one: not the top-level "root", "users" or "public", and
// not the signed-in user's own folder right below "users". `userName` is none when nobody is
// signed in. An empty parent name means a top-level folder.
bool isRegularItem(const QString& name, const QString& parentName, const std::optional<QString>& userName);

// Whether a remote folder is one of the service's system folders: "root", "users" anywhere, or
// any folder given without a path.
bool isSystemFolder(const QString& name, const QString& path);

}  // namespace IgnoreRules
