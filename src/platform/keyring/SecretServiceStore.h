#pragma once

#include <QList>
#include <QPair>

#include <chrono>

#include "platform/keyring/SecretStore.h"

// One item of the desktop's keyring through the Secret Service (org.freedesktop.secrets on the
// session bus: GNOME Keyring, KWallet's Secret Service, KeePassXC), on libsecret's synchronous
// calls: they run on the calling thread, need no event loop there and may come from any thread.
// Every call ends within its time-out; a keyring that asks to be unlocked shows its own prompt,
// and one that is refused, dismissed or not answered in time counts as unavailable, as does a
// service that went away. Never call it on the main thread.
class SecretServiceStore : public SecretStore {
public:
    enum class Presence {
        running,      // someone owns the service's name
        activatable,  // nobody does, but the bus starts it on the first call
        absent,       // a session bus without a Secret Service
        noBus,        // no session bus could be reached
    };
    // Asks the session bus (not the service) whether a Secret Service is there or can be started.
    static Presence presence(std::chrono::milliseconds timeout = std::chrono::seconds(5));

    using Attributes = QList<QPair<QString, QString>>;
    // The item that `attributes` pick out among the items of `schema`, which names their kind.
    // Unlocking waits for the user, so the time-out leaves time to type a password.
    SecretServiceStore(QString schema, Attributes attributes,
                       std::chrono::milliseconds timeout = std::chrono::seconds(30));

    Answer read() const override;
    // Into the keyring's default collection, replacing the item the attributes pick out.
    Answer write(const QByteArray& secret, const QString& label) const override;
    // Every item the attributes pick out; unavailable while one of them is locked.
    Answer remove() const override;
    QString description() const override;

private:
    QString schema_;
    Attributes attributes_;
    std::chrono::milliseconds timeout_;
};
