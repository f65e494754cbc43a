#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

#include "app/selectivesync/FileSystemNode.h"

// A condition on a node's stored values, with the text it stands for in log lines. A missing path
// equals nothing and is unequal to everything, and is in no list.
class NodePredicate {
public:
    using Test = std::function<bool(const FileSystemNode::Values&)>;

    NodePredicate(QString predicateFormat, Test test, std::optional<QString> path = std::nullopt);

    // Every node (no predicate).
    static NodePredicate all();
    // "cachedRelativePath == %@"
    static NodePredicate pathEquals(const QString& path);
    // "cachedRelativePath == '/'"
    static NodePredicate isRoot();
    // "cachedRelativePath != '/'"
    static NodePredicate notRoot();
    // "(syncState == %@) AND (cachedRelativePath != '/')"
    static NodePredicate syncStateExcludingRoot(std::int16_t state);
    // "NOT (cachedRelativePath IN %@)"
    static NodePredicate pathNotIn(const QStringList& paths);

    // With the arguments written in, e.g. cachedRelativePath == "/Documents".
    QString predicateFormat() const { return format_; }
    bool evaluate(const FileSystemNode::Values& values) const { return !test_ || test_(values); }
    // The path a node must have to match, for a predicate that is a path equality: a context
    // answers it from its path index instead of testing every node.
    const std::optional<QString>& requiredPath() const { return path_; }

private:
    QString format_;
    Test test_;
    std::optional<QString> path_;
};
