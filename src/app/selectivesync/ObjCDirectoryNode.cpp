#include "app/selectivesync/ObjCDirectoryNode.h"

#include <QByteArray>
#include <QFileInfo>
#include <QStringDecoder>

#include "app/core/SyncFolderPaths.h"
#include "platform/appkit/Workspace.h"

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Fails on a stray "%" and on escapes that do not spell UTF-8.
std::optional<QString> removingPercentEncoding(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    QByteArray bytes;
    bytes.reserve(utf8.size());
    for (qsizetype i = 0; i < utf8.size(); ++i) {
        if (utf8[i] != '%') {
            bytes += utf8[i];
            continue;
        }
        if (i + 2 >= utf8.size()) return std::nullopt;
        const int high = hexValue(utf8[i + 1]);
        const int low = hexValue(utf8[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes += char(high * 16 + low);
        i += 2;
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return decoded;
}

}  // namespace

ObjCDirectoryNode::ObjCDirectoryNode(int state, QString title, QString path, std::shared_ptr<DirectoryHierarchyNode> item)
    : state_(state), title_(std::move(title)), path_(std::move(path)), item_(std::move(item)) {
    const std::optional<QString> local = localPath(path_);
    if (local && QFileInfo::exists(*local)) isPackage_ = Workspace::isFilePackageAtPath(*local);
}

std::shared_ptr<ObjCDirectoryNode> ObjCDirectoryNode::copy() const {
    return std::make_shared<ObjCDirectoryNode>(state_, title_, path_, item_);
}

std::optional<QString> ObjCDirectoryNode::localPath(const QString& path) {
    QString relative = path;
    if (relative.startsWith(QStringLiteral("root"))) relative.remove(0, 4);
    const std::optional<QString> decoded = removingPercentEncoding(relative);
    if (!decoded) return std::nullopt;
    return syncRootPath(SyncFolderPaths::appendingPathComponent(SyncFolderPaths::folderName, *decoded));
}
