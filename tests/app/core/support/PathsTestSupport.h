#pragma once

// Small file trees for the path, marker and sidebar tests.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <initializer_list>
#include <memory>
#include <utility>


// Makes items below `root`: a name with content is a file, one without (nullptr) a folder.
inline bool makeTree(const QString& root, std::initializer_list<std::pair<const char*, const char*>> items) {
    for (const auto& [name, content] : items) {
        const QString path = root + u'/' + QString::fromUtf8(name);
        if (!content) {
            if (!QDir().mkpath(path)) return false;
            continue;
        }
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) < 0) return false;
    }
    return true;
}
