#pragma once

#include <QDateTime>
#include <QString>

// A signed-in session. Only its holder knows the token; the service keeps a hash of it.
struct ServiceSession {
    QString token;
    QString userName;
    QString accountId;
    QDateTime expires;
};
