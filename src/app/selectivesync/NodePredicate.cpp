#include "app/selectivesync/NodePredicate.h"

#include <QSet>

namespace {

QString quoted(const QString& text) {
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + escaped + u'"';
}

const QString kRoot = QStringLiteral("/");

}  // namespace

NodePredicate::NodePredicate(QString predicateFormat, Test test, std::optional<QString> path)
    : format_(std::move(predicateFormat)), test_(std::move(test)), path_(std::move(path)) {}

NodePredicate NodePredicate::all() { return NodePredicate(QStringLiteral("TRUEPREDICATE"), {}); }

NodePredicate NodePredicate::pathEquals(const QString& path) {
    return NodePredicate(QStringLiteral("cachedRelativePath == ") + quoted(path),
                         [path](const FileSystemNode::Values& v) { return v.cachedRelativePath == path; }, path);
}

NodePredicate NodePredicate::isRoot() {
    return NodePredicate(QStringLiteral("cachedRelativePath == '/'"),
                         [](const FileSystemNode::Values& v) { return v.cachedRelativePath == kRoot; }, kRoot);
}

NodePredicate NodePredicate::notRoot() {
    return NodePredicate(QStringLiteral("cachedRelativePath != '/'"),
                         [](const FileSystemNode::Values& v) { return v.cachedRelativePath != kRoot; });
}

NodePredicate NodePredicate::syncStateExcludingRoot(std::int16_t state) {
    return NodePredicate(QStringLiteral("(syncState == %1) AND (cachedRelativePath != '/')").arg(state),
                         [state](const FileSystemNode::Values& v) {
                             return v.syncState == state && v.cachedRelativePath != kRoot;
                         });
}

NodePredicate NodePredicate::pathNotIn(const QStringList& paths) {
    QStringList shown;
    for (const QString& path : paths) shown << quoted(path);
    const QSet<QString> set(paths.begin(), paths.end());
    return NodePredicate(QStringLiteral("NOT (cachedRelativePath IN {%1})").arg(shown.join(QStringLiteral(", "))),
                         [set](const FileSystemNode::Values& v) {
                             return !(v.cachedRelativePath && set.contains(*v.cachedRelativePath));
                         });
}
