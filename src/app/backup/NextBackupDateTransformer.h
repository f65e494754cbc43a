#pragma once

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include <functional>

#include "platform/appkit/ValueTransformer.h"

// The date and time of the next automatic backup for the settings' next backup date, whose time of
// day is the daily backup time; "-" when backups are not automatic or there is no date. Reads the
// settings at each call. One way; registered as "NextBackupDateTransformer".
class NextBackupDateTransformer : public ValueTransformer {
public:
    using Clock = std::function<QDateTime()>;
    // `now` stands in for the wall clock in tests.
    explicit NextBackupDateTransformer(Clock now = {}) : now_(std::move(now)) {}
    QString text(const QVariant& value) const;
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QString>(); }

private:
    Clock now_;
};
