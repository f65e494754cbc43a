#pragma once

#include <QDateTime>
#include <QString>

#include <memory>

#include "frameworks/caching/Filter.h"

// Collects the conditions of a Filter; each configuring call returns the builder for chaining.
class FilterBuilder {
public:
    enum class Kind { any, file, directory };

    virtual ~FilterBuilder() = default;

    virtual FilterBuilder& withParentPath(const QString& parentPath, bool recursive) = 0;
    virtual FilterBuilder& withNameContaining(const QString& text) = 0;
    virtual FilterBuilder& withKind(Kind kind) = 0;
    virtual FilterBuilder& withModifiedAfter(const QDateTime& date) = 0;
    virtual FilterBuilder& withModifiedBefore(const QDateTime& date) = 0;
    virtual FilterBuilder& withMinimumSize(qint64 bytes) = 0;
    virtual FilterBuilder& withMaximumCount(int count) = 0;
    virtual std::shared_ptr<const Filter> build() = 0;
};
