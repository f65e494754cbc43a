#include "app/core/RemotePath.h"

#include <QByteArray>
#include <QUrl>

QString RemotePath::percentEncoded(const QString& path) {
    // toPercentEncoding keeps letters, digits and "-._~"; the rest of a URL path's set is added.
    return QString::fromLatin1(QUrl::toPercentEncoding(path, QByteArrayLiteral("!$&'()*+,/:;=@")));
}
