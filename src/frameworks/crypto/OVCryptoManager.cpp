#include "frameworks/crypto/OVCryptoManager.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QString>

QByteArray OVCryptoManager::randomBytes(int count) const {
    QByteArray out(count, Qt::Uninitialized);
    auto* gen = QRandomGenerator::system();
    for (int i = 0; i < count; ++i) out[i] = static_cast<char>(gen->bounded(256));
    return out;
}

QByteArray OVCryptoManager::passwordHash(const QString& password, const QByteArray& salt, int iterations) const {
    QByteArray digest = salt + password.toUtf8();
    for (int i = 0; i < qMax(1, iterations); ++i)
        digest = QCryptographicHash::hash(salt + digest, QCryptographicHash::Sha256);
    return digest;
}

bool OVCryptoManager::constantTimeEquals(const QByteArray& a, const QByteArray& b) {
    if (a.size() != b.size()) return false;
    unsigned char diff = 0;
    for (qsizetype i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
    return diff == 0;
}
