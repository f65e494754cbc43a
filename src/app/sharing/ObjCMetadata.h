#pragma once

#include <QDateTime>
#include <QObject>

#include <cstdint>

#include "frameworks/business/BasicItem.h"

// An item's metadata for bindings; made once from the item's values, never changed.
class ObjCMetadata : public QObject {
    Q_OBJECT
    Q_PROPERTY(QDateTime modificationDate READ modificationDate CONSTANT)
    Q_PROPERTY(qint64 size READ size CONSTANT)

public:
    explicit ObjCMetadata(const BasicItem::Metadata& metadata, QObject* parent = nullptr)
        : QObject(parent), modificationDate_(metadata.modificationDate), size_(metadata.size) {}

    QDateTime modificationDate() const { return modificationDate_; }
    qint64 size() const { return size_; }

private:
    const QDateTime modificationDate_;
    const qint64 size_;
};
