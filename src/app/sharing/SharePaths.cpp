#include "app/sharing/SharePaths.h"

#include <QStringDecoder>
#include <QStringList>

#include "app/core/SyncFolderPaths.h"

namespace SharePaths {

namespace {

int hexValue(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    return -1;
}

}  // namespace

std::optional<QString> percentDecoded(const QString& text) {
    QByteArray bytes;
    const QByteArray utf8 = text.toUtf8();
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '%') {
            bytes += utf8[i];
            continue;
        }
        if (i + 2 >= utf8.size()) return std::nullopt;
        const int high = hexValue(QChar::fromLatin1(utf8[i + 1]));
        const int low = hexValue(QChar::fromLatin1(utf8[i + 2]));
        if (high < 0 || low < 0) return std::nullopt;
        bytes += char(high * 16 + low);
        i += 2;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return decoded;
}

QString withoutRootPrefix(const QString& remotePath) {
    if (remotePath == QStringLiteral("root")) return QString();
    if (remotePath.startsWith(QStringLiteral("root/"))) return remotePath.mid(4);
    return remotePath;
}

std::optional<QString> localPath(const QString& remotePath) {
    const auto decoded = percentDecoded(withoutRootPrefix(remotePath));
    if (!decoded) return std::nullopt;
    const QString relative = decoded->startsWith(u'/') ? *decoded : u'/' + *decoded;
    // A path from the service must not climb out of the sync folder.
    for (const QString& part : relative.split(u'/'))
        if (part == QStringLiteral("..") || part == QStringLiteral(".")) return std::nullopt;
    return syncRootPath(SyncFolderPaths::folderName + relative);
}

}  // namespace SharePaths
