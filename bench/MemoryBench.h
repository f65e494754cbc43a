#pragma once
// What the memory benches share: the tree of 100,000 small files (1,000 folders of 100) they sync,
// and the resident set read from /proc.
#include <QDir>
#include <QFile>
#include <QString>

namespace memorybench {

constexpr int folderCount = 1000;
constexpr int filesPerFolder = 100;
constexpr int fileCount = folderCount * filesPerFolder;

inline QString folderPath(const QString& root, int folder) {
    return QStringLiteral("%1/folder %2").arg(root).arg(folder, 4, 10, QLatin1Char('0'));
}

inline bool makeTree(const QString& root) {
    const QByteArray data("a small file\n");
    for (int f = 0; f < folderCount; ++f) {
        const QString folder = folderPath(root, f);
        if (!QDir().mkpath(folder)) return false;
        for (int i = 0; i < filesPerFolder; ++i) {
            QFile file(QStringLiteral("%1/file %2.txt").arg(folder).arg(i, 3, 10, QLatin1Char('0')));
            if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size()) return false;
        }
    }
    return true;
}

inline bool removeFiles(const QString& root) {
    for (int f = 0; f < folderCount; ++f)
        if (!QDir(folderPath(root, f)).removeRecursively()) return false;
    return true;
}

// The files one level below the root's visible folders, where makeTree puts them.
inline int countFiles(const QString& root) {
    int files = 0;
    for (const QString& folder : QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        files += int(QDir(root + QLatin1Char('/') + folder).entryList(QDir::Files).size());
    return files;
}

// A size field of /proc/<process>/status ("VmRSS:", "RssAnon:", ...) in MB; 0 when the process is gone.
inline double statusMb(const QString& process, const char* field) {
    QFile status(QStringLiteral("/proc/%1/status").arg(process));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field)) return line.mid(qstrlen(field)).trimmed().split(' ').first().toDouble() / 1024;
    return 0;
}

inline double residentMb() { return statusMb(QStringLiteral("self"), "VmRSS:"); }

}  // namespace memorybench
