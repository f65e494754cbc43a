#pragma once

#include <QString>

#include <memory>
#include <optional>

#include "platform/keyring/SecretStore.h"
#include "service/ServiceClient.h"

// Where the facade keeps its session's tokens: in the desktop's keyring (Secret Service) when the
// session bus has one, else in one owner-only file (0600) per keychain account in an owner-only
// folder (0700), with one warning in the log. Only the tokens and the user's name are kept, never a
// password: {"userName": ..., "token": "{\"access\": ..., \"refresh\": ...}"}, the same text in the
// keyring as in the file.
//
// The choice is made at the first call and holds for the keychain's life: a keyring that was there
// and went away (locked, killed) answers unavailable, never the file in its place. A file (left by
// an earlier version, or by a launch that found no keyring) is moved into the keyring at the next
// read, replacing what it held, and removed only once the keyring has it. Calls block (a keyring may ask the user to unlock it, for at most its time-out): call
// them on a worker thread, from any one.
class TokenKeychain {
public:
    // "$XDG_DATA_HOME/<group>/keychain", with "Orvella" for an empty group.
    static QString defaultFolder(const QString& group);
    // A name that is one harmless file name, whatever the account or group is called.
    static QString safeFileName(const QString& name);

    // What tokens() found: the tokens, or none. None also when the store cannot be read now, which
    // `unavailable` tells apart from nothing stored: what it keeps must then be left alone.
    struct Stored {
        std::optional<ServiceClient::Tokens> tokens;
        bool unavailable = false;

        explicit operator bool() const { return tokens.has_value(); }
        const ServiceClient::Tokens* operator->() const { return &*tokens; }
        // Unavailable equals nothing, not even none.
        bool operator==(const std::optional<ServiceClient::Tokens>& other) const { return !unavailable && tokens == other; }
    };
    // What store() and remove() did; true when carried out.
    struct Outcome {
        SecretStore::Status status = SecretStore::Status::done;
        QString error;
        explicit operator bool() const { return status == SecretStore::Status::done; }
        bool unavailable() const { return status == SecretStore::Status::unavailable; }
    };

    // One keyring item per folder and account, as there was one file. Copies share what they
    // learnt (the store chosen, a keyring found unavailable).
    TokenKeychain(QString folder, const QString& account);

    // The file's path, whether or not the tokens are kept there.
    const QString& path() const { return path_; }
    const QString& folder() const { return folder_; }

    // A bare token, as kept before there were two, is the embedded service's session: it stands
    // for both. After a read found the keyring unavailable, later reads answer so at once (no
    // prompt, no wait) until a store() reaches it again.
    Stored tokens() const;
    Outcome store(const ServiceClient::Tokens& tokens, const QString& userName) const;
    // Nothing stored is used afterwards. A keyring that cannot be reached keeps its item until
    // the next read that reaches it removes it first: a session signed out stays signed out.
    Outcome remove() const;

private:
    struct State;

    QString folder_;
    QString path_;
    std::shared_ptr<State> state_;
};
