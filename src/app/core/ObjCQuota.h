#pragma once

#include <QMetaType>
#include <QObject>

#include <cstdint>
#include <memory>

struct OVQuota;

// The account's storage in bytes, for bindings. Handed around as std::shared_ptr<ObjCQuota>; a
// QVariant carries it in that form (QVariant::fromValue(std::shared_ptr<ObjCQuota>)).
class ObjCQuota : public QObject {
    Q_OBJECT
    Q_PROPERTY(qint64 overall READ overall CONSTANT)
    Q_PROPERTY(qint64 used READ used CONSTANT)
    Q_PROPERTY(qint64 free READ free CONSTANT)

public:
    ObjCQuota(std::int64_t overall, std::int64_t used, std::int64_t free, QObject* parent = nullptr)
        : QObject(parent), overall_(overall), used_(used), free_(free) {}
    explicit ObjCQuota(const OVQuota& quota, QObject* parent = nullptr);

    qint64 overall() const { return overall_; }
    qint64 used() const { return used_; }
    qint64 free() const { return free_; }

private:
    const qint64 overall_;
    const qint64 used_;
    const qint64 free_;
};

Q_DECLARE_METATYPE(std::shared_ptr<ObjCQuota>)
