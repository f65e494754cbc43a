#pragma once

#include <QString>

#include <optional>

// Where the facade keeps a session token: one file per keychain account, owner-only (0600), in an
// owner-only folder (0700). Only the token and the user's name are kept, never a password.
class TokenKeychain {
public:
    // "$XDG_DATA_HOME/<group>/keychain", with "Orvella" for an empty group.
    static QString defaultFolder(const QString& group);
    // A name that is one harmless file name, whatever the account or group is called.
    static QString safeFileName(const QString& name);

    TokenKeychain(QString folder, const QString& account);

    const QString& path() const { return path_; }
    const QString& folder() const { return folder_; }

    // The stored token; none when nothing (readable and well-formed) is stored.
    std::optional<QString> token() const;
    bool store(const QString& token, const QString& userName) const;
    // Answers true when nothing is stored afterwards.
    bool remove() const;

private:
    QString folder_;
    QString path_;
};
