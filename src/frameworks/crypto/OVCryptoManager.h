#pragma once

#include <QByteArray>

// Cryptographic helpers handed to the business facade: random material and password hashing for
// the embedded service's accounts and sessions.
class OVCryptoManager {
public:
    QByteArray randomBytes(int count) const;
    // Salted, iterated SHA-256 of a password; the same inputs always give the same hash.
    QByteArray passwordHash(const QString& password, const QByteArray& salt, int iterations = 10000) const;
    // Compares in time independent of where the inputs differ.
    static bool constantTimeEquals(const QByteArray& a, const QByteArray& b);
};
