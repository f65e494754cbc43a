#pragma once

#include <QString>

#include <optional>

#include "service/ServiceClient.h"

// Where the facade keeps its session's tokens: one file per keychain account, owner-only (0600), in
// an owner-only folder (0700). Only the tokens and the user's name are kept, never a password; the
// tokens are one small JSON text, {"access": ..., "refresh": ...}.
class TokenKeychain {
public:
    // "$XDG_DATA_HOME/<group>/keychain", with "Orvella" for an empty group.
    static QString defaultFolder(const QString& group);
    // A name that is one harmless file name, whatever the account or group is called.
    static QString safeFileName(const QString& name);

    TokenKeychain(QString folder, const QString& account);

    const QString& path() const { return path_; }
    const QString& folder() const { return folder_; }

    // The stored tokens; none when nothing (readable and well-formed) is stored. A bare token, as
    // kept before there were two, is the embedded service's session: it stands for both.
    std::optional<ServiceClient::Tokens> tokens() const;
    bool store(const ServiceClient::Tokens& tokens, const QString& userName) const;
    // Answers true when nothing is stored afterwards.
    bool remove() const;

private:
    QString folder_;
    QString path_;
};
