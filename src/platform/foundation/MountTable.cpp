#include "platform/foundation/MountTable.h"

#include <QByteArray>
#include <QFile>
#include <QList>

namespace {

// The table writes blanks, tabs, newlines and backslashes as octal escapes.
QString unescape(const QByteArray& field) {
    QByteArray out;
    for (qsizetype i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            bool ok = false;
            const int code = field.mid(i + 1, 3).toInt(&ok, 8);
            if (ok) {
                out.append(char(code));
                i += 3;
                continue;
            }
        }
        out.append(field[i]);
    }
    return QString::fromUtf8(out);
}

}  // namespace

namespace MountTable {

std::vector<Mount> read(const QString& mountInfoPath) {
    QFile file(mountInfoPath);
    if (!file.open(QIODevice::ReadOnly)) return {};
    std::vector<Mount> mounts;
    for (const QByteArray& line : file.readAll().split('\n')) {
        // "id parent major:minor root mount-point options [optional fields] - type source super-options"
        const QList<QByteArray> fields = line.split(' ');
        const qsizetype dash = fields.indexOf("-");
        if (fields.size() < 5 || dash < 5 || dash + 1 >= fields.size()) continue;
        mounts.push_back({unescape(fields[4]), unescape(fields[dash + 1]),
                          dash + 2 < fields.size() ? unescape(fields[dash + 2]) : QString()});
    }
    return mounts;
}

}  // namespace MountTable
