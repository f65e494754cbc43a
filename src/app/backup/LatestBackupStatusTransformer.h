#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>

#include "platform/appkit/ValueTransformer.h"

// The outcome of the latest backup for an ObjCBackupStatus: its date when it succeeded, the failed
// or skipped label otherwise, "-" without a status. One way; registered as
// "LatestBackupStatusTransformer".
class LatestBackupStatusTransformer : public ValueTransformer {
public:
    QVariant transformedValue(const QVariant& value) const override;
    // The type of every value it gives.
    static QMetaType transformedValueClass() { return QMetaType::fromType<QString>(); }
};
