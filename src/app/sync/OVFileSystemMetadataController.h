#pragma once

#include <QString>
#include <QUrl>

#include <optional>
#include <variant>

class UserController;

enum class OVFileSystemMetadataError {
    unknownAccountId,  // nobody is signed in
};

// An answer of the metadata controller, or the reason there is none.
template <typename T>
class OVFileSystemMetadataResult {
public:
    OVFileSystemMetadataResult(T value) : value_(std::move(value)) {}
    OVFileSystemMetadataResult(OVFileSystemMetadataError error) : value_(error) {}
    bool isSuccess() const { return std::holds_alternative<T>(value_); }
    const T& value() const { return std::get<T>(value_); }
    OVFileSystemMetadataError error() const { return std::get<OVFileSystemMetadataError>(value_); }

private:
    std::variant<T, OVFileSystemMetadataError> value_;
};

// Whether a sync folder may be synced into the signed-in account.
enum class OVSyncFolderClaim {
    usable,        // no marker yet (set-up writes one), this account's marker, or a mended one
    otherAccount,  // the marker names another account
    unproven,      // the marker is damaged and nothing shows that the folder is this account's
};

// The account marker of a sync folder: a hidden folder ".ovmd.db" holding a file "accountId" with
// the identifier of the account the folder belongs to. It is written on every set-up and read when
// the user picks a new sync root, so that one account's folder is never taken over by another.
// Paths are absolute local paths. Used on the main thread; every call reads the disk afresh.
class OVFileSystemMetadataController {
public:
    // The user controller must outlive this controller.
    explicit OVFileSystemMetadataController(const UserController& userController);

    static inline const QString markerFolderName = QStringLiteral(".ovmd.db");
    static inline const QString accountIdFileName = QStringLiteral("accountId");

    // Writes the signed-in account's marker into the sync folder, owner-only. A marker folder or
    // file that is there already is kept as it is, whichever account it names. Without a user it
    // does nothing; a failure is logged and set-up goes on.
    void createAccountInfoFile(const QString& syncFolder) const;
    // The sync folder under the candidate sync root carries the marker of another account. A
    // missing or unreadable marker belongs to no other account.
    OVFileSystemMetadataResult<bool> belongsToOtherAccount(const QString& syncRoot) const;
    // The folder or one of its ancestors (up to, not including, "/") holds a marker folder.
    bool isInsideSyncRoot(const QString& folder) const;
    // The sync root to use for the candidate, as a file URL: the candidate itself, unless its
    // "Orvella" folder exists and belongs to another account or the candidate lies inside a sync
    // folder; then the first free "Orvella <n>" in the nearest folder above that does not lie inside
    // a sync folder.
    OVFileSystemMetadataResult<QUrl> proposedSyncRootURL(const QString& syncRoot) const;

    // Whether the sync folder may be synced into the signed-in account. A damaged marker (not a
    // folder, no readable file, empty, or no account id) is rewritten only for the folder this
    // account's marker was last written or found in, when it is still the same folder (same
    // device and inode); otherwise the folder is not this account's to sync.
    OVFileSystemMetadataResult<OVSyncFolderClaim> claimSyncFolder(const QString& syncFolder) const;

    // The account a sync folder's marker names; none when the marker is missing or damaged.
    static std::optional<QString> markedAccountId(const QString& syncFolder);

    // Leaves the item readable and writable by its owner only (folders also searchable by the owner);
    // links are not followed. The error text on failure, empty on success.
    static QString makeItemOwnerExclusive(const QString& path);

private:
    struct Marker;
    static Marker readMarker(const QString& syncFolder);
    // The marker is damaged and the folder is not the one this account's marker was last seen in.
    bool isUnprovenDamage(const Marker& marker, const QString& syncFolder, const QString& accountId) const;
    void rememberSyncFolder(const QString& syncFolder, const QString& accountId) const;

    const UserController& userController_;
};
