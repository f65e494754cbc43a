#pragma once

#include <QByteArray>
#include <QString>

// A place that keeps one secret: an item of the desktop's keyring, or an owner-only file. Calls
// may block for a while (a keyring may ask the user to unlock it), never on the main thread.
class SecretStore {
public:
    enum class Status {
        done,         // read: found; write and remove: carried out (remove also when nothing was kept)
        none,         // read: nothing is kept
        unavailable,  // the store cannot be reached now (locked, not answering, gone); what it keeps stays
        failed,       // the store answered but could not do it (a disk that is full, a folder refused)
    };
    struct Answer {
        Status status = Status::none;
        QByteArray secret;  // what a read found
        QString error;      // why not, for the log
    };

    virtual ~SecretStore() = default;

    virtual Answer read() const = 0;
    // Replaces what is kept. The label names the secret where a person can see it (a keyring's
    // manager); a file has no use for it.
    virtual Answer write(const QByteArray& secret, const QString& label) const = 0;
    virtual Answer remove() const = 0;
    // Where the secret is kept, for log lines.
    virtual QString description() const = 0;
};
